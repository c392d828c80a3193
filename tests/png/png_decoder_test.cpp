// The decoder record's life through its five operations on raw-data resources: states,
// error codes, out-of-memory paths and cleanup, with a count of the process heap's blocks
// to show that nothing leaks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "platform/platform.h"
#include "tests/png/png_test_support.h"

namespace {

const int kGood = 9001, kNotPng = 9002, kEmpty = 9003, kDamaged = 9004, kInterlaced = 9005, kShort = 9006,
          kBadFilter = 9007, kNoPalette = 9008, kMissing = 9099;

HMODULE Module() {
  return GetModuleHandleA(nullptr);
}
LPCSTR Id(int id) {
  return MAKEINTRESOURCEA(id);
}

int FilterCycle(size_t row) {
  return (int)(row % 5);
}

std::vector<Bytes> Rows(uint32_t width, uint32_t height, uint32_t bytesPerPixel) {
  std::vector<Bytes> rows(height, Bytes(width * bytesPerPixel));
  for (uint32_t y = 0; y < height; y++) {
    for (size_t i = 0; i < rows[y].size(); i++) rows[y][i] = (uint8_t)(y * 31 + i * 7);
  }
  return rows;
}

class PngDecoderTest : public testing::Test {
 protected:
  void SetUp() override {
    std::vector<Bytes> rows = Rows(20, 10, 3);
    good_ = PngImage(20, 10, 8, 2, PngScanlines(rows, 20, 24, false, FilterCycle));
    PngAddResource(kGood, good_);
    PngAddResource(kNotPng, Bytes(100, 'x'));
    PlatAddResource(RT_RCDATA, Id(kEmpty), "", 0);
    Bytes damaged = good_;
    damaged[8 + 25 + 8 + 2] |= 0x06;  // first block header of the stream: type 3
    PngAddResource(kDamaged, damaged);
    PngAddResource(kInterlaced, PngImage(20, 10, 8, 2, PngScanlines(rows, 20, 24, true, FilterCycle), 1));
    // A stream that ends properly after two of the ten rows.
    Bytes scanlines = PngScanlines(rows, 20, 24, false, FilterCycle);
    PngAddResource(kShort, PngImage(20, 10, 8, 2, Bytes(scanlines.begin(), scanlines.begin() + 2 * 61)));
    scanlines[scanlines.size() - 61] = 5;
    PngAddResource(kBadFilter, PngImage(20, 10, 8, 2, scanlines));
    PngAddResource(kNoPalette, PngImage(4, 2, 2, 3, Bytes{0, 0x1B, 0, 0x1B}));
    liveBlocks_ = PlatHeapLiveBlocks(GetProcessHeap());
    PngInit(&decoder_);
  }
  void TearDown() override {
    PngCleanup(&decoder_);
    PlatHeapFailNone();
    EXPECT_EQ(PlatHeapLiveBlocks(GetProcessHeap()), liveBlocks_) << "heap blocks leaked";
    PlatRemoveAddedResources();
  }
  static bool IsZeroed(const PngDecoder& d) {
    PngDecoder zero;
    memset(&zero, 0, sizeof zero);
    return memcmp(&d, &zero, sizeof d) == 0;
  }
  // The bitmap's rows as the DIB holds them.
  static Bytes Pixels(HBITMAP bitmap) {
    BITMAP bm = {};
    EXPECT_EQ(GetObjectA(bitmap, sizeof bm, &bm), (int)sizeof bm);
    const BYTE* bits = (const BYTE*)bm.bmBits;
    return Bytes(bits, bits + (size_t)bm.bmWidthBytes * (bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight));
  }
  static Bytes ExpectedPixels(const std::vector<Bytes>& rows) {
    Bytes out;
    for (const Bytes& row : rows) {
      for (size_t i = 0; i < row.size(); i += 3) out.insert(out.end(), {row[i + 2], row[i + 1], row[i]});
    }
    return out;
  }

  Bytes good_;
  SIZE_T liveBlocks_ = 0;
  PngDecoder decoder_;
};

TEST_F(PngDecoderTest, WholeLifeProducesTheBitmap) {
  ASSERT_EQ(PngLoadResource(&decoder_, Module(), Id(kGood)), 1);
  EXPECT_EQ(decoder_.state, (DWORD)PNG_STATE_LOADED);
  EXPECT_EQ(decoder_.sourceKind, (DWORD)PNG_SOURCE_RESOURCE);
  EXPECT_EQ(decoder_.sourceSize, good_.size());
  ASSERT_EQ(PngDecode(&decoder_), 1);
  EXPECT_EQ(decoder_.state, (DWORD)PNG_STATE_DECODED);
  EXPECT_EQ(decoder_.imageDataSize, 610u);
  HBITMAP bitmap = PngCreateBitmap(&decoder_, nullptr);
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(decoder_.state, (DWORD)PNG_STATE_DECODED);
  EXPECT_TRUE(Pixels(bitmap) == ExpectedPixels(Rows(20, 10, 3)));
  DeleteObject(bitmap);
  EXPECT_EQ(PngCleanup(&decoder_), 1);
  EXPECT_TRUE(IsZeroed(decoder_));
}

TEST_F(PngDecoderTest, OperationsInTheWrongState) {
  EXPECT_EQ(PngDecode(&decoder_), 0);
  EXPECT_EQ(decoder_.errorCode, (DWORD)PNG_ERR_WRONG_STATE);
  EXPECT_EQ(PngCreateBitmap(&decoder_, nullptr), nullptr);
  EXPECT_EQ(decoder_.errorCode, (DWORD)PNG_ERR_WRONG_STATE);
  EXPECT_EQ(decoder_.state, (DWORD)PNG_STATE_EMPTY);

  ASSERT_EQ(PngLoadResource(&decoder_, Module(), Id(kGood)), 1);
  const BYTE* source = decoder_.sourceData;
  EXPECT_EQ(PngCreateBitmap(&decoder_, nullptr), nullptr);
  EXPECT_EQ(decoder_.errorCode, (DWORD)PNG_ERR_WRONG_STATE);
  EXPECT_EQ(PngLoadResource(&decoder_, Module(), Id(kInterlaced)), 0);
  EXPECT_EQ(decoder_.errorCode, (DWORD)PNG_ERR_BUSY);
  EXPECT_EQ(decoder_.sourceData, source);  // the first source stays
  EXPECT_EQ(decoder_.state, (DWORD)PNG_STATE_LOADED);

  ASSERT_EQ(PngDecode(&decoder_), 1);
  EXPECT_EQ(PngDecode(&decoder_), 0);
  EXPECT_EQ(decoder_.errorCode, (DWORD)PNG_ERR_WRONG_STATE);
  EXPECT_EQ(PngLoadResource(&decoder_, Module(), Id(kGood)), 0);
  EXPECT_EQ(decoder_.errorCode, (DWORD)PNG_ERR_BUSY);
  EXPECT_EQ(decoder_.state, (DWORD)PNG_STATE_DECODED);
}

TEST_F(PngDecoderTest, ResourceFailuresLeaveTheRecordReusable) {
  const struct {
    int id;
    DWORD errorCode;
  } cases[] = {{kMissing, PNG_ERR_RES_NOT_FOUND}, {kEmpty, PNG_ERR_RES_LOAD}, {kNotPng, PNG_ERR_BAD_DATA}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(PngLoadResource(&decoder_, Module(), Id(c.id)), 0);
    EXPECT_EQ(decoder_.errorCode, c.errorCode);
    EXPECT_EQ(decoder_.state, (DWORD)PNG_STATE_EMPTY);
    EXPECT_EQ(decoder_.sourceKind, (DWORD)PNG_SOURCE_NONE);
  }
  // Bad data, then a good resource on the same record.
  EXPECT_EQ(PngLoadResource(&decoder_, Module(), Id(kGood)), 1);
  EXPECT_EQ(decoder_.errorCode, (DWORD)PNG_ERR_NONE);
}

TEST_F(PngDecoderTest, DecodeFailuresKeepTheSourceAndFreeTheBuffer) {
  ASSERT_EQ(PngLoadResource(&decoder_, Module(), Id(kDamaged)), 1);
  EXPECT_EQ(PngDecode(&decoder_), 0);
  EXPECT_EQ(decoder_.errorCode, (DWORD)PNG_ERR_BAD_DATA);
  EXPECT_EQ(decoder_.state, (DWORD)PNG_STATE_LOADED);
  EXPECT_EQ(decoder_.imageData, nullptr);
  EXPECT_EQ(PlatHeapLiveBlocks(GetProcessHeap()), liveBlocks_);
  PngCleanup(&decoder_);

  ASSERT_EQ(PngLoadResource(&decoder_, Module(), Id(kGood)), 1);
  PlatHeapFailAfter(0, 1);
  EXPECT_EQ(PngDecode(&decoder_), 0);
  PlatHeapFailNone();
  EXPECT_EQ(decoder_.errorCode, (DWORD)PNG_ERR_NO_MEMORY);
  EXPECT_EQ(decoder_.state, (DWORD)PNG_STATE_LOADED);
  EXPECT_EQ(decoder_.imageData, nullptr);
  EXPECT_EQ(PngDecode(&decoder_), 1);  // and it can be tried again
}

TEST_F(PngDecoderTest, BitmapFailuresLeaveNoBitmapAndNoBuffers) {
  ASSERT_EQ(PngLoadResource(&decoder_, Module(), Id(kInterlaced)), 1);
  ASSERT_EQ(PngDecode(&decoder_), 1);
  Bytes expected = ExpectedPixels(Rows(20, 10, 3));
  // Fail each allocation the creation makes in turn (the bitmap's, the row buffers, the
  // pass-row buffer): no bitmap, nothing left allocated; then a success.
  int failures = 0;
  for (unsigned n = 0; n < 8; n++) {
    SCOPED_TRACE(n);
    SIZE_T before = PlatHeapLiveBlocks(GetProcessHeap());
    PlatHeapFailAfter(n, 1);
    HBITMAP bitmap = PngCreateBitmap(&decoder_, nullptr);
    PlatHeapFailNone();
    if (bitmap) {
      EXPECT_TRUE(Pixels(bitmap) == expected);
      DeleteObject(bitmap);
    } else {
      failures++;
      EXPECT_TRUE(decoder_.errorCode == PNG_ERR_NONE || decoder_.errorCode == PNG_ERR_BITMAP);
    }
    EXPECT_EQ(PlatHeapLiveBlocks(GetProcessHeap()), before);
    EXPECT_EQ(decoder_.state, (DWORD)PNG_STATE_DECODED);
  }
  EXPECT_GE(failures, 2);
  PngCleanup(&decoder_);

  ASSERT_EQ(PngLoadResource(&decoder_, Module(), Id(kBadFilter)), 1);
  ASSERT_EQ(PngDecode(&decoder_), 1);
  EXPECT_EQ(PngCreateBitmap(&decoder_, nullptr), nullptr);  // filter type 5 in the last row
  EXPECT_EQ(decoder_.errorCode, (DWORD)PNG_ERR_NONE);
}

TEST_F(PngDecoderTest, TwoBitmapsFromOneRecordAreIndependent) {
  ASSERT_EQ(PngLoadResource(&decoder_, Module(), Id(kGood)), 1);
  ASSERT_EQ(PngDecode(&decoder_), 1);
  HBITMAP first = PngCreateBitmap(&decoder_, nullptr);
  HBITMAP second = PngCreateBitmap(&decoder_, nullptr);
  ASSERT_TRUE(first && second);
  EXPECT_NE(first, second);
  BITMAP bm = {};
  GetObjectA(first, sizeof bm, &bm);
  ((BYTE*)bm.bmBits)[0] ^= 0xFF;
  EXPECT_TRUE(Pixels(second) == ExpectedPixels(Rows(20, 10, 3)));
  DeleteObject(first);
  EXPECT_TRUE(Pixels(second) == ExpectedPixels(Rows(20, 10, 3)));
  DeleteObject(second);
}

// The stream ends correctly after two rows: the rest of the image is zero rows, never
// uninitialised memory.
TEST_F(PngDecoderTest, ShortStreamLeavesZeroRows) {
  ASSERT_EQ(PngLoadResource(&decoder_, Module(), Id(kShort)), 1);
  ASSERT_EQ(PngDecode(&decoder_), 1);
  HBITMAP bitmap = PngCreateBitmap(&decoder_, nullptr);
  ASSERT_NE(bitmap, nullptr);
  Bytes pixels = Pixels(bitmap);
  Bytes expected = ExpectedPixels(Rows(20, 10, 3));
  EXPECT_TRUE(std::equal(expected.begin(), expected.begin() + 120, pixels.begin()));
  EXPECT_TRUE(std::all_of(pixels.begin() + 120, pixels.end(), [](BYTE b) { return b == 0; }));
  DeleteObject(bitmap);
}

TEST_F(PngDecoderTest, PaletteImageWithoutPaletteGetsABlackTable) {
  ASSERT_EQ(PngLoadResource(&decoder_, Module(), Id(kNoPalette)), 1);
  ASSERT_EQ(PngDecode(&decoder_), 1);
  HBITMAP bitmap = PngCreateBitmap(&decoder_, nullptr);
  ASSERT_NE(bitmap, nullptr);
  Bytes pixels = Pixels(bitmap);
  EXPECT_TRUE(pixels[0] == 0x01 && pixels[1] == 0x23);  // indices kept
  DeleteObject(bitmap);
}

TEST_F(PngDecoderTest, CleanupIsHarmlessAnywhere) {
  EXPECT_EQ(PngCleanup(&decoder_), 1);
  EXPECT_EQ(PngCleanup(&decoder_), 1);
  EXPECT_TRUE(IsZeroed(decoder_));
  PngLoadResource(&decoder_, Module(), Id(kNotPng));
  EXPECT_EQ(PngCleanup(&decoder_), 1);
  EXPECT_TRUE(IsZeroed(decoder_));
  ASSERT_EQ(PngLoadResource(&decoder_, Module(), Id(kDamaged)), 1);
  PngDecode(&decoder_);
  EXPECT_EQ(PngCleanup(&decoder_), 1);
  EXPECT_EQ(PngCleanup(&decoder_), 1);
  EXPECT_TRUE(IsZeroed(decoder_));
  EXPECT_STREQ(PngErrorName(PNG_ERR_BAD_DATA), "not a PNG, or damaged data");
  EXPECT_STREQ(PngErrorName(0x2002), "unknown error");
}

}  // namespace
