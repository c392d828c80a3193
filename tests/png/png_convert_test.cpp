// Bitmap description (natural formats, grey ramps, palettes, the format word) and the row
// converters.
#include <gtest/gtest.h>

#include "tests/png/png_test_support.h"

namespace {

struct Described {
  PngBitmapInfo info;
  PngPixelFormat format;
};

Described Describe(uint32_t width, uint32_t height, uint8_t depth, uint8_t colour, const Bytes* palette = nullptr) {
  PngDecoder d = PngHeaderOnly(width, height, depth, colour);
  if (palette) {
    d.paletteData = palette->data();
    d.paletteCount = (DWORD)(palette->size() / 3);
  }
  Described out;
  memset(&out.info, 0xAB, sizeof out.info);  // what the call leaves alone shows
  EXPECT_EQ(PngDescribeBitmap(&d, &out.info, &out.format), 1);
  return out;
}

TEST(PngDescribeBitmap, NaturalFormatOfEveryKind) {
  const struct {
    uint8_t colour, depth;
    WORD bitCount;
    DWORD clrUsed;
    BYTE converter;
  } cases[] = {
      {0, 1, 1, 2, 0},    {0, 2, 4, 4, 11},  {0, 4, 4, 16, 0},   {0, 8, 8, 256, 0},  {0, 16, 8, 256, 6},
      {2, 8, 24, 0, 12},  {2, 16, 24, 0, 7}, {3, 1, 1, 0, 0},    {3, 2, 4, 0, 11},   {3, 4, 4, 0, 0},
      {3, 8, 8, 0, 0},    {4, 8, 8, 256, 6}, {4, 16, 8, 256, 10}, {6, 8, 32, 0, 14}, {6, 16, 32, 0, 9},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << (int)c.colour << "/" << (int)c.depth);
    Bytes palette(9, 50);
    Described d = Describe(227, 27, c.depth, c.colour, &palette);
    const BITMAPINFOHEADER& h = d.info.bmiHeader;
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 227);
    EXPECT_EQ(h.biHeight, -27);  // top-down
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, c.bitCount);
    EXPECT_EQ(h.biCompression, (DWORD)BI_RGB);
    EXPECT_EQ(h.biSizeImage | (DWORD)h.biXPelsPerMeter | (DWORD)h.biYPelsPerMeter | h.biClrImportant, 0u);
    EXPECT_EQ(h.biClrUsed, c.clrUsed);
    EXPECT_EQ(d.format, ((DWORD)c.colour << 24) | ((DWORD)c.depth << 16) | 0x100u | c.converter);
  }
  EXPECT_EQ(Describe(1, 1, 8, 6).format, 0x0608010Eu);
  EXPECT_EQ(Describe(1, 1, 8, 2).format, 0x0208010Cu);
}

TEST(PngDescribeBitmap, GreyRamps) {
  const struct {
    uint8_t colour, depth;
    std::vector<BYTE> levels;
  } cases[] = {
      {0, 1, {0, 255}},
      {0, 2, {0, 85, 170, 255}},
      {0, 4, {0, 17, 34, 51, 68, 85, 102, 119, 136, 153, 170, 187, 204, 221, 238, 255}},
  };
  for (const auto& c : cases) {
    Described d = Describe(4, 4, c.depth, c.colour);
    for (size_t i = 0; i < c.levels.size(); i++) {
      const RGBQUAD& q = d.info.bmiColors[i];
      EXPECT_TRUE(q.rgbBlue == c.levels[i] && q.rgbGreen == c.levels[i] && q.rgbRed == c.levels[i] && q.rgbReserved == 0)
          << "depth " << (int)c.depth << " level " << i;
    }
  }
  for (uint8_t colour : {0, 4}) {
    for (uint8_t depth : {8, 16}) {
      Described d = Describe(4, 4, depth, colour);
      for (int i = 0; i < 256; i++) ASSERT_EQ(d.info.bmiColors[i].rgbGreen, i);
    }
  }
}

TEST(PngDescribeBitmap, PaletteShortLongAndMissing) {
  Bytes three = {0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80, 0x90};
  Described d = Describe(3, 3, 4, 3, &three);
  EXPECT_EQ(d.info.bmiHeader.biClrUsed, 0u);
  EXPECT_TRUE(d.info.bmiColors[0].rgbBlue == 0x30 && d.info.bmiColors[0].rgbGreen == 0x20 &&
              d.info.bmiColors[0].rgbRed == 0x10 && d.info.bmiColors[0].rgbReserved == 0);
  EXPECT_EQ(d.info.bmiColors[2].rgbBlue, 0x90);
  for (int i = 3; i < 16; i++) EXPECT_EQ(*(DWORD*)&d.info.bmiColors[i], 0u) << i;  // unset entries are black

  // More PLTE entries than the table holds: only what fits is copied.
  Bytes many(300 * 3, 0x77);
  d = Describe(3, 3, 8, 3, &many);
  EXPECT_EQ(d.info.bmiColors[255].rgbRed, 0x77);
  d = Describe(3, 3, 1, 3, &many);
  EXPECT_EQ(d.info.bmiColors[1].rgbRed, 0x77);
  EXPECT_EQ(d.info.bmiColors[2].rgbRed, 0xAB);  // beyond the 1-bit table: untouched

  // A palette image without PLTE gets an all-black table and reads nothing.
  d = Describe(3, 3, 2, 3);
  for (int i = 0; i < 16; i++) EXPECT_EQ(*(DWORD*)&d.info.bmiColors[i], 0u) << i;
}

TEST(PngConverters, RowsInDibOrder) {
  const struct {
    const char* what;
    BYTE converter;
    Bytes in, out;
  } cases[] = {
      {"copy", 0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19},
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19}},
      {"keep 1 of 2 (16-bit grey: high bytes)", 6, {0xAB, 0xCD, 0x12, 0x34, 0x99}, {0xAB, 0x12}},
      {"keep 1 of 4 (16-bit grey + alpha: high grey)", 10, {1, 2, 3, 4, 5, 6, 7, 8}, {1, 5}},
      {"2 to 4 bits", 11, {0x1B, 0xE4, 0xFF}, {0x01, 0x23, 0x32, 0x10, 0x33, 0x33}},
      {"RGB 8", 12, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66}, {0x33, 0x22, 0x11, 0x66, 0x55, 0x44}},
      {"RGB 16", 7, {0x12, 0x01, 0x56, 0x02, 0x9A, 0x03}, {0x9A, 0x56, 0x12}},
      {"RGBA 8", 14, {0x11, 0x22, 0x33, 0x44}, {0x33, 0x22, 0x11, 0x44}},
      {"RGBA 16, three pixels", 9,
       {0x11, 0, 0x22, 0, 0x33, 0, 0x44, 0, 0x55, 1, 0x66, 1, 0x77, 1, 0x88, 1, 0x99, 2, 0xAA, 2, 0xBB, 2, 0xCC, 2},
       {0x33, 0x22, 0x11, 0x44, 0x77, 0x66, 0x55, 0x88, 0xBB, 0xAA, 0x99, 0xCC}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_NE(PngConverters[c.converter], nullptr);
    Bytes out(c.out.size() + 4, 0xEE);
    BYTE* end = PngConverters[c.converter](c.in.data(), (DWORD)c.in.size(), out.data());
    EXPECT_EQ(end, out.data() + c.out.size());
    EXPECT_TRUE(Bytes(out.begin(), out.begin() + c.out.size()) == c.out);
    EXPECT_TRUE(Bytes(out.end() - 4, out.end()) == Bytes(4, 0xEE));  // nothing written past
  }
}

}  // namespace
