// The decoder's pipeline behind the five operations of png.h: chunk walk and byte feed,
// inflate, scanline geometry and filters, bitmap description and row converters, pixel
// writer. The operations in decoder.cpp call these; tests drive them directly.
#pragma once

#include "platform/win32.h"
#include "png/png.h"

// ---- Chunks (chunks.cpp) ---------------------------------------------------------------
enum PngChunkKind : DWORD {
  PNG_CHUNK_ANCILLARY = 0,
  PNG_CHUNK_IHDR = 1,
  PNG_CHUNK_PLTE = 2,
  PNG_CHUNK_IDAT = 3,
  PNG_CHUNK_IEND = 4,
  PNG_CHUNK_UNKNOWN_CRITICAL = 5,
};

struct PngChunkInfo {
  DWORD kind;    // PngChunkKind
  DWORD length;  // data length
  DWORD crc;     // stored CRC, never checked
};

int PngReadChunk(PngDecoder* decoder, PngChunkInfo* info);
int PngReadHeader(PngDecoder* decoder);

// The compressed stream: the data of the first IDAT chunk and of the IDAT chunks that
// follow it directly. `next` is null once the stream has ended.
struct PngFeed {
  const BYTE* next;  // next data byte; just past a chunk's data when `left` is 0
  DWORD left;        // data bytes left in the current chunk
  const BYTE* end;   // just past the last source byte
};

void PngStartFeed(PngFeed* feed, const PngDecoder* decoder);
// Moves into the next IDAT chunk when the current one is used up; returns 0 when the stream
// has ended (and sets `next` to null).
int PngFeedEnterChunk(PngFeed* feed);

// One byte of the stream, or 0 once it has ended (then feed->next is null).
inline BYTE PngNextDataByte(PngFeed* feed) {
  if (feed->left == 0 && !PngFeedEnterChunk(feed)) return 0;
  feed->left--;
  return *feed->next++;
}

// ---- Inflate (inflate.cpp) -------------------------------------------------------------
// Canonical Huffman code: for each length L (1..15), limit[L] is the first code of length L
// plus the number of such codes (0 when none) and start[L] the index in `symbol` where the
// group of length-L symbols begins; each group lists its symbols from highest to lowest.
struct PngHuffmanTable {
  WORD limit[16];
  WORD start[16];
  WORD symbol[288];
};

// Builds the table for `symbols` code lengths (counts[L] = codes of length L, counts[0]
// ignored). Returns 0, leaving the table unusable, when the lengths over-subscribe the code.
int PngBuildHuffmanTable(PngHuffmanTable* table, const BYTE* lengths, WORD* counts, unsigned symbols,
                         unsigned maxLength);
// Fills imageData from the IDAT stream. 1 on success, 0 with PNG_ERR_BAD_DATA.
int PngInflate(PngDecoder* decoder);

// ---- Scanlines (scanline.cpp) ----------------------------------------------------------
struct PngPass {
  BYTE firstColumn;
  BYTE columnShift;  // column step = 1 << columnShift
  BYTE firstRow;
  BYTE rowShift;  // row step = 1 << rowShift
};
extern const PngPass PngPassGeometry[7];  // Adam7 passes 1 to 7

// Bit k-1 set for each pass k that holds at least one pixel.
BYTE PngPassMask(DWORD width, DWORD height);
DWORD PngPassColumns(int pass, DWORD width);  // pass counted from 1; the pass must exist
DWORD PngPassRows(int pass, DWORD height);

DWORD PngBitsPerPixel(BYTE colourType, BYTE bitDepth);
DWORD PngRowLength(DWORD pixels, DWORD bitsPerPixel);
DWORD PngFilterDistance(DWORD bitsPerPixel);
DWORD PngImageDataSize(const PngDecoder* decoder);
// 1 when every size the decoder and its bitmap work with fits 32-bit arithmetic.
int PngSizesFit(const PngDecoder* decoder);

// Undoes one scanline's filter. Returns the reconstructed row (`raw` itself for filter 0,
// otherwise `dest`), or null for a filter type above 4. `prior` is null for a first row.
const BYTE* PngReconstructRow(BYTE filterType, const BYTE* raw, DWORD count, const BYTE* prior, DWORD distance,
                              BYTE* dest);

// ---- Pixel conversion (convert.cpp) ----------------------------------------------------
// PngPixelFormat: bits 24-31 colour type, 16-23 bit depth, 8-15 the value 1 (a format a DIB
// holds directly), 0-7 the converter number.
typedef DWORD PngPixelFormat;

struct PngBitmapInfo {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[256];
};

// A converter turns one reconstructed row of `length` bytes into DIB pixels at `out` and
// returns the address just past what it wrote.
typedef BYTE* (*PngConverter)(const BYTE* row, DWORD length, BYTE* out);
enum { PNG_CONVERTER_COUNT = 15 };
extern const PngConverter PngConverters[PNG_CONVERTER_COUNT];  // null where unused

BYTE* PngConvCopy(const BYTE* row, DWORD length, BYTE* out);
BYTE* PngConvKeep1of2(const BYTE* row, DWORD length, BYTE* out);
BYTE* PngConvKeep1of4(const BYTE* row, DWORD length, BYTE* out);
BYTE* PngConv2To4Bit(const BYTE* row, DWORD length, BYTE* out);
BYTE* PngConvRgb8ToBgr(const BYTE* row, DWORD length, BYTE* out);
BYTE* PngConvRgb16ToBgr(const BYTE* row, DWORD length, BYTE* out);
BYTE* PngConvRgba8ToBgra(const BYTE* row, DWORD length, BYTE* out);
BYTE* PngConvRgba16ToBgra(const BYTE* row, DWORD length, BYTE* out);

// biBitCount of the natural format of an accepted (colour type, bit depth) pair.
WORD PngBitmapBitCount(BYTE colourType, BYTE bitDepth);
// DIB row size in bytes: width x bit count rounded up to whole 32-bit words.
DWORD PngBitmapStride(DWORD width, WORD bitCount);
int PngDescribeBitmap(const PngDecoder* decoder, PngBitmapInfo* info, PngPixelFormat* format);

// ---- Pixel writer (pixel_writer.cpp) ---------------------------------------------------
int PngWritePixels(const PngDecoder* decoder, BYTE* pixels, PngPixelFormat format);
// ORs (or copies, for 8 bits and more, and for pass 7) one converted pass row into its
// output row. bitsPerPixel is the bitmap's: 1, 4, 8, 24 or 32.
void PngPlacePassRow(int pass, DWORD bitsPerPixel, DWORD stride, const BYTE* row, DWORD length, BYTE* out);
