// PngSuite end to end: every image of an accepted kind decodes through the five operations
// to the bitmap that tests/png/make_pngsuite_expected.py computed with Pillow (header,
// colour table, pixels), and every corrupt image fails at the right step with the right
// code, or decodes when its only fault is a CRC, which the decoder does not check.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "platform/platform.h"
#include "tests/png/png_test_support.h"

namespace {

const int kResourceId = 9100;

struct Decoded {
  int loaded = 0, decoded = 0;
  DWORD errorCode = 0;
  PngBitmapInfo info = {};
  Bytes pixels;  // the DIB's rows
};

Decoded DecodeSuiteImage(const std::string& name) {
  Bytes file = PngReadFixture("pngsuite/" + name);
  EXPECT_FALSE(file.empty()) << name;
  PngAddResource(kResourceId, file);
  Decoded out;
  PngDecoder decoder;
  PngInit(&decoder);
  out.loaded = PngLoadResource(&decoder, GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kResourceId));
  if (out.loaded) out.decoded = PngDecode(&decoder);
  out.errorCode = decoder.errorCode;
  if (out.decoded) {
    HBITMAP bitmap = PngCreateBitmap(&decoder, nullptr);
    EXPECT_NE(bitmap, nullptr) << name;
    if (bitmap) {
      PngPixelFormat format;
      PngDescribeBitmap(&decoder, &out.info, &format);  // the description the bitmap was made from
      BITMAP bm = {};
      GetObjectA(bitmap, sizeof bm, &bm);
      const BYTE* bits = (const BYTE*)bm.bmBits;
      out.pixels.assign(bits, bits + (size_t)bm.bmWidthBytes * decoder.height);
      DeleteObject(bitmap);
    }
  }
  PngCleanup(&decoder);
  PlatRemoveAddedResources();
  return out;
}

uint32_t Little32(const Bytes& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | ((uint32_t)b[at + 3] << 24);
}

TEST(PngSuite, EveryAcceptedImageDecodesToItsExpectedBitmap) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(std::string(ORVENNE_PNG_FIXTURES) + "/pngsuite/expected")) {
    names.push_back(entry.path().stem().string());
  }
  std::sort(names.begin(), names.end());
  ASSERT_GE(names.size(), 160u);
  SIZE_T liveBlocks = PlatHeapLiveBlocks(GetProcessHeap());
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    Bytes bmp = PngReadFixture("pngsuite/expected/" + name + ".bmp");
    Decoded got = DecodeSuiteImage(name + ".png");
    ASSERT_EQ(got.decoded, 1) << std::hex << got.errorCode;
    // The .bmp: 14-byte file header, 40-byte info header, colour table, rows.
    const BITMAPINFOHEADER& h = got.info.bmiHeader;
    ASSERT_EQ(0, memcmp(&h, &bmp[14], 40)) << "info header";
    size_t tableBytes = Little32(bmp, 10) - 54;
    EXPECT_EQ(0, memcmp(got.info.bmiColors, &bmp[54], tableBytes)) << "colour table";
    Bytes expectedPixels(bmp.begin() + Little32(bmp, 10), bmp.end());
    ASSERT_EQ(got.pixels.size(), expectedPixels.size());
    // Row padding is not written by the decoder; compare the bytes that hold pixels.
    size_t stride = got.pixels.size() / (size_t)-h.biHeight;
    size_t used = ((size_t)h.biWidth * h.biBitCount + 7) / 8;
    for (size_t y = 0; y < (size_t)-h.biHeight; y++) {
      ASSERT_EQ(0, memcmp(&got.pixels[y * stride], &expectedPixels[y * stride], used)) << "row " << y;
    }
  }
  EXPECT_EQ(PlatHeapLiveBlocks(GetProcessHeap()), liveBlocks);
}

TEST(PngSuite, CorruptImagesFailAtTheRightStep) {
  const struct {
    const char* name;
    int loaded, decoded;
    DWORD errorCode;
  } cases[] = {
      {"xs1n0g01.png", 0, 0, PNG_ERR_BAD_DATA},     // signature byte 1 damaged
      {"xs2n0g01.png", 0, 0, PNG_ERR_BAD_DATA},     // signature byte 2
      {"xs4n0g01.png", 0, 0, PNG_ERR_BAD_DATA},     // signature byte 4
      {"xs7n0g01.png", 0, 0, PNG_ERR_BAD_DATA},     // signature byte 7
      {"xcrn0g04.png", 0, 0, PNG_ERR_BAD_DATA},     // line ends rewritten
      {"xlfn0g04.png", 0, 0, PNG_ERR_BAD_DATA},     // line feeds rewritten
      {"xc1n0g08.png", 0, 0, PNG_ERR_UNSUPPORTED},  // colour type 1
      {"xc9n2c08.png", 0, 0, PNG_ERR_UNSUPPORTED},  // colour type 9
      {"xd0n2c08.png", 0, 0, PNG_ERR_UNSUPPORTED},  // bit depth 0
      {"xd3n2c08.png", 0, 0, PNG_ERR_UNSUPPORTED},  // bit depth 3
      {"xd9n2c08.png", 0, 0, PNG_ERR_UNSUPPORTED},  // bit depth 99
      {"xdtn0g01.png", 1, 0, PNG_ERR_BAD_DATA},     // no IDAT: the empty stream fails
      {"xcsn0g01.png", 1, 1, PNG_ERR_NONE},         // wrong IDAT CRC: not checked
      {"xhdn0g08.png", 1, 1, PNG_ERR_NONE},         // wrong IHDR CRC: not checked
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Decoded got = DecodeSuiteImage(c.name);
    EXPECT_EQ(got.loaded, c.loaded);
    EXPECT_EQ(got.decoded, c.decoded);
    EXPECT_EQ(got.errorCode, c.errorCode);
  }
}

}  // namespace
