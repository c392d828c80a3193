// Scanline geometry (data sizes, Adam7 passes) and the five filters, checked against a
// forward filter written here: filtering then reconstructing must give the row back.
#include <gtest/gtest.h>

#include <random>

#include "tests/png/png_test_support.h"

namespace {

TEST(PngImageDataSize, PlainAndInterlaced) {
  const struct {
    uint32_t width, height;
    uint8_t depth, colour, interlace;
    DWORD size;
  } cases[] = {
      {1, 1, 1, 0, 0, 2},
      {450, 212, 8, 6, 0, 381812},
      {227, 27, 8, 2, 0, 18414},
      {1, 1, 16, 6, 1, 9},            // pass 1 only
      {3, 2, 8, 0, 1, 2 + 2 + 2 + 4},  // passes 1, 4, 6, 7: one row each
      {10, 1, 1, 0, 1, 2 + 2 + 2 + 2},  // passes 1, 2, 4, 6: 2 + 1 + 2 + 5 pixels
      {8, 8, 16, 6, 0, 8 * (1 + 64)},
  };
  for (const auto& c : cases) {
    PngDecoder d = PngHeaderOnly(c.width, c.height, c.depth, c.colour, c.interlace);
    EXPECT_EQ(PngImageDataSize(&d), c.size) << c.width << "x" << c.height;
  }
}

TEST(PngPassMask, PassesThatHoldPixels) {
  const struct {
    DWORD width, height;
    BYTE mask;
  } cases[] = {
      {1, 1, 0x01}, {3, 2, 0x69}, {8, 2, 0x6B}, {100, 3, 0x7B}, {5, 5, 0x7F}, {4, 1000, 0x7D}, {1, 2, 0x41},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PngPassMask(c.width, c.height), c.mask) << c.width << "x" << c.height;
    // The mask agrees with the pass geometry: a pass is there when its first pixel is.
    BYTE direct = 0;
    for (int p = 0; p < 7; p++) {
      if (c.width > PngPassGeometry[p].firstColumn && c.height > PngPassGeometry[p].firstRow) direct |= 1 << p;
    }
    EXPECT_EQ(direct, c.mask);
  }
  // Every pixel of a 13 x 11 image lies in exactly one pass.
  int seen[11][13] = {};
  for (int p = 1; p <= 7; p++) {
    const PngPass& g = PngPassGeometry[p - 1];
    for (DWORD r = 0; r < PngPassRows(p, 11); r++) {
      for (DWORD c = 0; c < PngPassColumns(p, 13); c++) seen[g.firstRow + (r << g.rowShift)][g.firstColumn + (c << g.columnShift)]++;
    }
  }
  for (auto& row : seen) {
    for (int n : row) EXPECT_EQ(n, 1);
  }
}

TEST(PngFilterDistance, BytesBackToTheLeftPixel) {
  EXPECT_EQ(PngFilterDistance(PngBitsPerPixel(6, 16)), 8u);
  EXPECT_EQ(PngFilterDistance(PngBitsPerPixel(2, 8)), 3u);
  EXPECT_EQ(PngFilterDistance(PngBitsPerPixel(0, 1)), 1u);
  EXPECT_EQ(PngFilterDistance(PngBitsPerPixel(3, 4)), 1u);
}

TEST(PngReconstructRow, UndoesEveryFilterWithAndWithoutPriorRow) {
  std::mt19937 random(5);
  for (size_t distance : {1, 2, 3, 4, 6, 8}) {
    for (int type = 0; type <= 4; type++) {
      for (bool first : {true, false}) {
        // Random rows, and rows of extremes where the Paeth ties and 9-bit sums matter.
        for (int pattern = 0; pattern < 2; pattern++) {
          Bytes prior(37), row(37), dest(37 + 8);
          for (size_t i = 0; i < row.size(); i++) {
            prior[i] = (uint8_t)(pattern ? (random() & 1) * 255 : random());
            row[i] = (uint8_t)(pattern ? ((random() % 3) * 127) : random());
          }
          Bytes filtered = PngFilterRow(type, row, first ? nullptr : &prior, distance);
          const BYTE* got = PngReconstructRow((BYTE)type, filtered.data(), (DWORD)filtered.size(),
                                              first ? nullptr : prior.data(), (DWORD)distance, dest.data());
          ASSERT_NE(got, nullptr);
          EXPECT_TRUE(Bytes(got, got + row.size()) == row) << "type " << type << " distance " << distance;
          EXPECT_EQ(got == filtered.data(), type == 0);  // filter 0 is used in place
        }
      }
    }
  }
}

TEST(PngReconstructRow, EdgeValuesAndBadTypes) {
  BYTE dest[4];
  const BYTE raw[2] = {10, 1};
  const BYTE prior[2] = {255, 255};
  // Average with left 255 and above 255 adds 255 (a 9-bit sum).
  const BYTE avgRaw[2] = {0, 0};
  const BYTE avgPrior[2] = {255, 255};
  const BYTE* r = PngReconstructRow(3, avgRaw, 2, avgPrior, 1, dest);
  EXPECT_EQ(r[0], 127);
  EXPECT_EQ(r[1], 191);  // raw 0 + (127 + 255) / 2
  const BYTE avgRaw2[2] = {128, 0};  // left becomes 255
  r = PngReconstructRow(3, avgRaw2, 2, avgPrior, 1, dest);
  EXPECT_EQ(r[1], 255);
  // First rows: Up copies, Average adds half the left byte, Paeth equals Sub.
  r = PngReconstructRow(2, raw, 2, nullptr, 1, dest);
  EXPECT_EQ(r[0], 10);
  EXPECT_EQ(r[1], 1);
  r = PngReconstructRow(3, raw, 2, nullptr, 1, dest);
  EXPECT_EQ(r[1], 1 + 5);
  r = PngReconstructRow(4, raw, 2, nullptr, 1, dest);
  EXPECT_EQ(r[1], 11);
  r = PngReconstructRow(4, raw, 2, prior, 1, dest);
  EXPECT_EQ(r[0], 9);  // above predicts: 10 + 255
  for (BYTE bad : {5, 0x84, 255}) EXPECT_EQ(PngReconstructRow(bad, raw, 2, prior, 1, dest), nullptr) << (int)bad;
}

}  // namespace
