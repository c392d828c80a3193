// The pixel writer on decoded image data, into plain memory laid out as the DIB is: rows
// written at the stride, padding untouched, interlaced images equal to their plain twins.
#include <gtest/gtest.h>

#include <random>

#include "tests/png/png_test_support.h"

namespace {

const BYTE kCanary = 0xEE;

struct Written {
  int ok;
  DWORD stride;
  Bytes pixels;  // stride x height, filled with kCanary before the write
};

Written WriteImage(const Bytes& png) {
  ExactBytes bytes = ExactCopy(png);
  PngDecoder decoder;
  Written w{0, 0, {}};
  EXPECT_EQ(PngInflateBytes(&decoder, bytes), 1);
  PngBitmapInfo info;
  PngPixelFormat format;
  PngDescribeBitmap(&decoder, &info, &format);
  w.stride = PngBitmapStride(decoder.width, info.bmiHeader.biBitCount);
  w.pixels.assign((size_t)w.stride * decoder.height, kCanary);
  w.ok = PngWritePixels(&decoder, w.pixels.data(), format);
  PngCleanup(&decoder);
  return w;
}

std::vector<Bytes> RandomRows(uint32_t width, uint32_t height, uint32_t bitsPerPixel, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<Bytes> rows(height, Bytes((width * bitsPerPixel + 7) / 8));
  for (Bytes& row : rows) {
    for (uint8_t& b : row) b = (uint8_t)random();
    // Spare bits past the last pixel are zero, as encoders leave them.
    if ((width * bitsPerPixel) % 8) row.back() &= (uint8_t)(0xFF << (8 - (width * bitsPerPixel) % 8));
  }
  return rows;
}

int FilterCycle(size_t row) {
  return (int)(row % 5);
}
int FilterNoneThenUp(size_t row) {
  return row % 2 ? 2 : 0;
}

TEST(PngWritePixels, RgbRowsFillTheirPixelsAndLeaveThePadding) {
  std::vector<Bytes> rows = RandomRows(227, 27, 24, 1);
  Written w = WriteImage(PngImage(227, 27, 8, 2, PngScanlines(rows, 227, 24, false, FilterCycle)));
  ASSERT_EQ(w.ok, 1);
  ASSERT_EQ(w.stride, 684u);
  for (size_t y = 0; y < 27; y++) {
    const BYTE* out = &w.pixels[y * 684];
    for (size_t x = 0; x < 227; x++) {
      ASSERT_EQ(out[3 * x], rows[y][3 * x + 2]);
      ASSERT_EQ(out[3 * x + 1], rows[y][3 * x + 1]);
      ASSERT_EQ(out[3 * x + 2], rows[y][3 * x]);
    }
    EXPECT_TRUE(out[681] == kCanary && out[682] == kCanary && out[683] == kCanary) << y;
  }
}

TEST(PngWritePixels, RgbaRowsAndRowsUsedInPlaceAsPriorRows) {
  std::vector<Bytes> rows = RandomRows(450, 212, 32, 2);
  // Rows alternate None (used in place in imageData) and Up (which reads the row before).
  Written w = WriteImage(PngImage(450, 212, 8, 6, PngScanlines(rows, 450, 32, false, FilterNoneThenUp)));
  ASSERT_EQ(w.ok, 1);
  ASSERT_EQ(w.stride, 1800u);
  for (size_t y = 0; y < 212; y++) {
    for (size_t x = 0; x < 450; x++) {
      const BYTE* p = &w.pixels[y * 1800 + 4 * x];
      const BYTE* q = &rows[y][4 * x];
      ASSERT_TRUE(p[0] == q[2] && p[1] == q[1] && p[2] == q[0] && p[3] == q[3]) << x << "," << y;
    }
  }
}

TEST(PngWritePixels, InterlacedImagesEqualTheirPlainTwins) {
  const struct {
    uint32_t width, height;
    uint8_t depth, colour;
  } cases[] = {
      {35, 19, 8, 2}, {10, 7, 1, 0},  {13, 11, 4, 0}, {13, 11, 2, 0}, {17, 9, 2, 3}, {9, 9, 16, 6},
      {3, 2, 8, 6},   {1, 1, 1, 0},   {7, 5, 16, 4},  {11, 13, 8, 4}, {5, 3, 16, 0}, {33, 3, 1, 3},
      {2, 9, 4, 3},   {6, 1, 16, 2},  {64, 64, 8, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " depth " << (int)c.depth << " colour "
                                    << (int)c.colour);
    uint32_t bits = PngBitsPerPixel(c.colour, c.depth);
    std::vector<Bytes> rows = RandomRows(c.width, c.height, bits, c.width * 100 + c.height);
    Bytes palette(256 * 3, 1);
    if (c.colour != 3) palette.clear();
    Written plain =
        WriteImage(PngImage(c.width, c.height, c.depth, c.colour, PngScanlines(rows, c.width, bits, false, FilterCycle),
                            0, palette));
    Written interlaced =
        WriteImage(PngImage(c.width, c.height, c.depth, c.colour, PngScanlines(rows, c.width, bits, true, FilterCycle),
                            1, palette));
    ASSERT_EQ(plain.ok, 1);
    ASSERT_EQ(interlaced.ok, 1);
    // Compare the pixel bytes of each row; padding is the writer's to leave or clear.
    WORD bitCount = PngBitmapBitCount(c.colour, c.depth);
    size_t used = ((size_t)c.width * bitCount + 7) / 8;
    for (size_t y = 0; y < c.height; y++) {
      EXPECT_TRUE(std::equal(&plain.pixels[y * plain.stride], &plain.pixels[y * plain.stride + used],
                             &interlaced.pixels[y * interlaced.stride]))
          << "row " << y;
    }
  }
}

TEST(PngWritePixels, SubBytePassPixelsLandInTheirBitsAndNibbles) {
  // 1-bit, width 10: only the pass-2 pixel (column 4 of row 0) set: bit 3 of byte 0.
  std::vector<Bytes> rows(1, Bytes(2, 0));
  rows[0][0] = 0x08;
  Written w = WriteImage(PngImage(10, 1, 1, 0, PngScanlines(rows, 10, 1, true, FilterCycle), 1));
  ASSERT_EQ(w.ok, 1);
  EXPECT_EQ(w.pixels[0], 0x08);
  EXPECT_EQ(w.pixels[1], 0x00);
  // 4-bit, 4 x 2: pass 6 holds columns 1 and 3 (low nibbles), the others high nibbles.
  rows.assign(2, Bytes{0x12, 0x34});
  w = WriteImage(PngImage(4, 2, 4, 0, PngScanlines(rows, 4, 4, true, FilterCycle), 1));
  ASSERT_EQ(w.ok, 1);
  EXPECT_TRUE(w.pixels[0] == 0x12 && w.pixels[1] == 0x34 && w.pixels[4] == 0x12 && w.pixels[5] == 0x34);
}

TEST(PngWritePixels, FilterTypeAboveFourFails) {
  for (bool interlace : {false, true}) {
    std::vector<Bytes> rows = RandomRows(6, 5, 8, 3);
    Bytes scanlines = PngScanlines(rows, 6, 8, interlace, FilterCycle);
    // The last scanline's filter byte: plain rows are 7 bytes; pass 7 rows are too.
    scanlines[scanlines.size() - 7] = 5;
    Written w = WriteImage(PngImage(6, 5, 8, 0, scanlines, interlace));
    EXPECT_EQ(w.ok, 0) << interlace;
  }
}

}  // namespace
