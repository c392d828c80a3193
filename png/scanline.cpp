// Scanline geometry and reconstruction: pixel and row sizes, the Adam7 passes, the size of
// the decompressed image data, and the five PNG filters.
//
// Format facts: each scanline is a filter-type byte followed by the row's bytes; sub-byte
// pixels are packed from the most significant bit. An interlaced image stores its seven
// Adam7 passes one after the other, each as a small image; an empty pass has no bytes.
// Filters work on bytes, with the left neighbour `distance` bytes back (at least 1).
#include <cstdint>
#include <cstdlib>

#include "png/pipeline.h"

const PngPass PngPassGeometry[7] = {
    {0, 3, 0, 3}, {4, 3, 0, 3}, {0, 2, 4, 3}, {2, 2, 0, 2}, {0, 1, 2, 2}, {1, 1, 0, 1}, {0, 0, 1, 1},
};

namespace {

// Passes present for widths (or heights) 1, 2, 3, 4 and 5 or more.
const BYTE PNG_MASK_BY_WIDTH[5] = {0x55, 0x75, 0x7D, 0x7D, 0x7F};
const BYTE PNG_MASK_BY_HEIGHT[5] = {0x2B, 0x6B, 0x7B, 0x7B, 0x7F};

const BYTE PNG_SAMPLES_PER_PIXEL[7] = {1, 0, 3, 1, 2, 0, 4};  // by colour type

// The largest size any buffer or bitmap of the decoder may have.
const uint64_t PNG_LARGEST_SIZE = 0x7FFFFFFF;

uint64_t RowLength64(uint64_t pixels, uint64_t bitsPerPixel) {
  return (pixels * bitsPerPixel + 7) / 8;
}

uint64_t ImageDataSize64(const PngDecoder* decoder) {
  uint64_t bitsPerPixel = PngBitsPerPixel(decoder->colourType, decoder->bitDepth);
  if (decoder->interlaceMethod != 1) {
    return (RowLength64(decoder->width, bitsPerPixel) + 1) * decoder->height;
  }
  BYTE mask = PngPassMask(decoder->width, decoder->height);
  uint64_t total = 0;
  for (int pass = 1; pass <= 7; pass++) {
    if (!(mask & (1 << (pass - 1)))) continue;
    uint64_t columns = PngPassColumns(pass, decoder->width);
    total += (RowLength64(columns, bitsPerPixel) + 1) * PngPassRows(pass, decoder->height);
  }
  return total;
}

}  // namespace

BYTE PngPassMask(DWORD width, DWORD height) {
  DWORD w = width < 5 ? width : 5;
  DWORD h = height < 5 ? height : 5;
  if (w == 0 || h == 0) return 0;
  return PNG_MASK_BY_WIDTH[w - 1] & PNG_MASK_BY_HEIGHT[h - 1];
}

DWORD PngPassColumns(int pass, DWORD width) {
  const PngPass& p = PngPassGeometry[pass - 1];
  return ((width - p.firstColumn - 1) >> p.columnShift) + 1;
}

DWORD PngPassRows(int pass, DWORD height) {
  const PngPass& p = PngPassGeometry[pass - 1];
  return ((height - p.firstRow - 1) >> p.rowShift) + 1;
}

DWORD PngBitsPerPixel(BYTE colourType, BYTE bitDepth) {
  DWORD samples = colourType < 7 ? PNG_SAMPLES_PER_PIXEL[colourType] : 0;
  return samples * bitDepth;
}

DWORD PngRowLength(DWORD pixels, DWORD bitsPerPixel) {
  return (DWORD)RowLength64(pixels, bitsPerPixel);
}

DWORD PngFilterDistance(DWORD bitsPerPixel) {
  DWORD distance = bitsPerPixel / 8;
  return distance ? distance : 1;
}

DWORD PngImageDataSize(const PngDecoder* decoder) {
  return (DWORD)ImageDataSize64(decoder);
}

int PngSizesFit(const PngDecoder* decoder) {
  if (decoder->width > PNG_LARGEST_SIZE || decoder->height > PNG_LARGEST_SIZE) return 0;
  uint64_t bitsPerPixel = PngBitsPerPixel(decoder->colourType, decoder->bitDepth);
  uint64_t rowBuffers = 2 * RowLength64(decoder->width, bitsPerPixel) + 24;
  uint64_t bitCount = PngBitmapBitCount(decoder->colourType, decoder->bitDepth);
  uint64_t stride = (decoder->width * bitCount + 31) / 32 * 4;
  return ImageDataSize64(decoder) <= PNG_LARGEST_SIZE && rowBuffers <= PNG_LARGEST_SIZE && stride + 16 <= PNG_LARGEST_SIZE &&
         stride * decoder->height <= PNG_LARGEST_SIZE;
}

namespace {

void UnfilterSub(const BYTE* raw, DWORD count, DWORD distance, BYTE* dest) {
  DWORD i = 0;
  for (; i < count && i < distance; i++) dest[i] = raw[i];
  for (; i < count; i++) dest[i] = (BYTE)(raw[i] + dest[i - distance]);
}

void UnfilterUp(const BYTE* raw, DWORD count, const BYTE* prior, BYTE* dest) {
  for (DWORD i = 0; i < count; i++) dest[i] = (BYTE)(raw[i] + prior[i]);
}

void UnfilterAverage(const BYTE* raw, DWORD count, const BYTE* prior, DWORD distance, BYTE* dest) {
  DWORD i = 0;
  for (; i < count && i < distance; i++) dest[i] = (BYTE)(raw[i] + (prior[i] >> 1));
  for (; i < count; i++) dest[i] = (BYTE)(raw[i] + (((unsigned)dest[i - distance] + prior[i]) >> 1));
}

// Exact Paeth rule: the neighbour nearest to left + above - upper-left, ties to left, then
// above.
inline BYTE PaethPredictor(int left, int above, int upperLeft) {
  int pa = abs(above - upperLeft);
  int pb = abs(left - upperLeft);
  int pc = abs(left + above - 2 * upperLeft);
  if (pa <= pb && pa <= pc) return (BYTE)left;
  return (BYTE)(pb <= pc ? above : upperLeft);
}

void UnfilterPaeth(const BYTE* raw, DWORD count, const BYTE* prior, DWORD distance, BYTE* dest) {
  DWORD i = 0;
  // With left and upper-left both 0 the predictor is above.
  for (; i < count && i < distance; i++) dest[i] = (BYTE)(raw[i] + prior[i]);
  for (; i < count; i++) {
    dest[i] = (BYTE)(raw[i] + PaethPredictor(dest[i - distance], prior[i], prior[i - distance]));
  }
}

// Without a previous row, above and upper-left are 0: Up copies, Average halves the left
// byte, Paeth predicts from the left like Sub.
void UnfilterAverageFirstRow(const BYTE* raw, DWORD count, DWORD distance, BYTE* dest) {
  DWORD i = 0;
  for (; i < count && i < distance; i++) dest[i] = raw[i];
  for (; i < count; i++) dest[i] = (BYTE)(raw[i] + (dest[i - distance] >> 1));
}

}  // namespace

const BYTE* PngReconstructRow(BYTE filterType, const BYTE* raw, DWORD count, const BYTE* prior, DWORD distance,
                              BYTE* dest) {
  switch (filterType) {
    case 0:
      return raw;
    case 1:
      UnfilterSub(raw, count, distance, dest);
      return dest;
    case 2:
      if (prior) {
        UnfilterUp(raw, count, prior, dest);
      } else {
        for (DWORD i = 0; i < count; i++) dest[i] = raw[i];
      }
      return dest;
    case 3:
      if (prior) {
        UnfilterAverage(raw, count, prior, distance, dest);
      } else {
        UnfilterAverageFirstRow(raw, count, distance, dest);
      }
      return dest;
    case 4:
      if (prior) {
        UnfilterPaeth(raw, count, prior, distance, dest);
      } else {
        UnfilterSub(raw, count, distance, dest);
      }
      return dest;
    default:
      return nullptr;
  }
}
