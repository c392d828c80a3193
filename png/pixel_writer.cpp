// Pixel writer: walks the filtered scanlines in imageData (pass by pass for Adam7),
// reconstructs each row, converts it and stores it in the top-down DIB's pixel memory.
//
// Format facts: filters refer to the previous row of the same image or pass only, so two
// row buffers suffice; filter-0 rows are used in place. A non-interlaced row converts
// straight into its DIB row. An interlaced pass row is converted into a pass-row buffer and
// then spread over its columns; for 1- and 4-bit bitmaps the pixels are ORed into memory
// cleared beforehand, and pass 7, which fills whole rows, is copied.
#include <cstring>

#include "png/pipeline.h"

namespace {

// One walk over scanlines: the working buffers and the row shape of the image or pass.
struct RowWalk {
  const BYTE* data;   // next scanline's filter-type byte
  BYTE* buffers[2];   // the two row buffers
  DWORD distance;     // filter distance
  PngConverter convert;
  DWORD bitCount;     // the bitmap's bits per pixel
  DWORD stride;       // the bitmap's row size
  BYTE* passRow;      // interlaced images: one converted pass row
};

// Reconstructs and stores `rows` scanlines of `rowLength` bytes; `pass` is 0 for a
// non-interlaced image. The output rows start at `out` and lie `outStep` bytes apart.
bool WriteRows(RowWalk* walk, int pass, DWORD rows, DWORD rowLength, BYTE* out, size_t outStep) {
  const BYTE* prior = nullptr;
  BYTE* dest = walk->buffers[0];
  for (DWORD r = 0; r < rows; r++) {
    const BYTE* row = PngReconstructRow(walk->data[0], walk->data + 1, rowLength, prior, walk->distance, dest);
    if (!row) return false;
    BYTE* target = out + r * outStep;
    if (pass == 0) {
      walk->convert(row, rowLength, target);
    } else {
      BYTE* end = walk->convert(row, rowLength, walk->passRow);
      PngPlacePassRow(pass, walk->bitCount, walk->stride, walk->passRow, (DWORD)(end - walk->passRow), target);
    }
    // A row used in place in imageData counts as not being in the first buffer.
    dest = row == walk->buffers[0] ? walk->buffers[1] : walk->buffers[0];
    prior = row;
    walk->data += 1 + rowLength;
  }
  return true;
}

bool WriteInterlaced(RowWalk* walk, const PngDecoder* decoder, DWORD bitsPerPixel, BYTE* pixels) {
  if (walk->bitCount < 8) memset(pixels, 0, (size_t)walk->stride * decoder->height);
  BYTE mask = PngPassMask(decoder->width, decoder->height);
  for (int pass = 1; pass <= 7; pass++) {
    if (!(mask & (1 << (pass - 1)))) continue;
    const PngPass& geometry = PngPassGeometry[pass - 1];
    DWORD rowLength = PngRowLength(PngPassColumns(pass, decoder->width), bitsPerPixel);
    BYTE* out = pixels + (size_t)geometry.firstRow * walk->stride;
    size_t outStep = (size_t)walk->stride << geometry.rowShift;
    if (!WriteRows(walk, pass, PngPassRows(pass, decoder->height), rowLength, out, outStep)) return false;
  }
  return true;
}

// Of the first `pixels` pixels of a pass row, how many land inside an output row of
// `rowPixels` pixels; the others are spare bits of the pass row's last byte.
size_t PixelsInsideRow(int pass, size_t pixels, DWORD rowPixels) {
  if (rowPixels <= PngPassGeometry[pass - 1].firstColumn) return 0;
  size_t inside = PngPassColumns(pass, rowPixels);
  return pixels < inside ? pixels : inside;
}

void PlaceBytes(int pass, DWORD bitsPerPixel, DWORD stride, const BYTE* row, DWORD length, BYTE* out) {
  const PngPass& geometry = PngPassGeometry[pass - 1];
  DWORD bytes = bitsPerPixel / 8;
  size_t pixels = PixelsInsideRow(pass, length / bytes, stride / bytes);
  for (size_t k = 0; k < pixels; k++) {
    size_t column = geometry.firstColumn + (k << geometry.columnShift);
    memcpy(out + column * bytes, row + k * bytes, bytes);
  }
}

// 1- and 4-bit pixels: each is ORed into its place in the cleared row. `shift` is log2 of
// the pixels per byte (1 for 4-bit, 3 for 1-bit).
void PlacePacked(int pass, DWORD bitsPerPixel, DWORD shift, DWORD stride, const BYTE* row, DWORD length, BYTE* out) {
  if (pass == 7) {
    memcpy(out, row, length < stride ? length : stride);
    return;
  }
  const PngPass& geometry = PngPassGeometry[pass - 1];
  const size_t last = ((size_t)1 << shift) - 1;  // index of the last pixel within a byte
  const BYTE mask = (BYTE)((1u << bitsPerPixel) - 1);
  size_t pixels = PixelsInsideRow(pass, (size_t)length << shift, stride << shift);
  for (size_t k = 0; k < pixels; k++) {
    size_t column = geometry.firstColumn + (k << geometry.columnShift);
    BYTE value = (row[k >> shift] >> ((last - (k & last)) * bitsPerPixel)) & mask;
    out[column >> shift] |= (BYTE)(value << ((last - (column & last)) * bitsPerPixel));
  }
}

}  // namespace

void PngPlacePassRow(int pass, DWORD bitsPerPixel, DWORD stride, const BYTE* row, DWORD length, BYTE* out) {
  if (bitsPerPixel >= 8) {
    PlaceBytes(pass, bitsPerPixel, stride, row, length, out);
  } else if (bitsPerPixel == 4) {
    PlacePacked(pass, bitsPerPixel, 1, stride, row, length, out);
  } else if (bitsPerPixel == 1) {
    PlacePacked(pass, bitsPerPixel, 3, stride, row, length, out);
  }
}

int PngWritePixels(const PngDecoder* decoder, BYTE* pixels, PngPixelFormat format) {
  BYTE converter = (BYTE)(format & 0xFF);
  if (converter >= PNG_CONVERTER_COUNT || !PngConverters[converter] || decoder->interlaceMethod > 1) return 0;

  DWORD bitsPerPixel = PngBitsPerPixel(decoder->colourType, decoder->bitDepth);
  DWORD rowLength = PngRowLength(decoder->width, bitsPerPixel);
  DWORD bufferBytes = (2 * rowLength + 16 + 7) & ~7u;
  BYTE* block = (BYTE*)PngAlloc(bufferBytes);
  if (!block) return 0;

  RowWalk walk = {};
  walk.data = decoder->imageData;
  walk.buffers[0] = block;
  walk.buffers[1] = block + bufferBytes / 2;
  walk.distance = PngFilterDistance(bitsPerPixel);
  walk.convert = PngConverters[converter];
  walk.bitCount = PngBitmapBitCount(decoder->colourType, decoder->bitDepth);
  walk.stride = PngBitmapStride(decoder->width, (WORD)walk.bitCount);

  bool ok = false;
  if (decoder->interlaceMethod == 0) {
    ok = WriteRows(&walk, 0, decoder->height, rowLength, pixels, walk.stride);
  } else {
    walk.passRow = (BYTE*)PngAlloc(walk.stride + 16);
    ok = walk.passRow && WriteInterlaced(&walk, decoder, bitsPerPixel, pixels);
    if (walk.passRow) PngFree(walk.passRow);
  }
  PngFree(block);
  return ok ? 1 : 0;
}
