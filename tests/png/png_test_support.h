// Helpers of the PNG decoder's tests: PNG files built in memory (chunks with real CRCs,
// image data compressed by zlib and split over IDAT chunks), and decoders attached to such
// bytes either directly or through a raw-data resource.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "png/pipeline.h"

typedef std::vector<uint8_t> Bytes;

Bytes PngChunk(const char* type, const Bytes& data);
Bytes PngHeaderChunk(uint32_t width, uint32_t height, uint8_t bitDepth, uint8_t colourType, uint8_t interlace = 0,
                     uint8_t compression = 0, uint8_t filter = 0);
// The signature followed by the given chunks.
Bytes PngFile(const std::vector<Bytes>& chunks);
// zlib's compression of `data` (level -1 is zlib's default).
Bytes ZlibCompress(const Bytes& data, int level = -1, int strategy = 0);
// IDAT chunks holding `stream`, cut before each offset in `cuts` (ascending).
std::vector<Bytes> PngDataChunks(const Bytes& stream, const std::vector<size_t>& cuts = {});
// A whole PNG: header, optional palette (RGB triples), the compressed scanlines, IEND.
Bytes PngImage(uint32_t width, uint32_t height, uint8_t bitDepth, uint8_t colourType, const Bytes& scanlines,
               uint8_t interlace = 0, const Bytes& palette = {});

// The PNG bytes in a block of exactly their size, so that the address sanitizer sees any
// read past the end.
struct ExactBytes {
  std::unique_ptr<uint8_t[]> data;
  size_t size;
};
ExactBytes ExactCopy(const Bytes& bytes);

// Attaches bytes to a fresh decoder without a resource and walks their chunks, as
// PngLoadResource does. Returns PngReadHeader's result.
int PngAttachBytes(PngDecoder* decoder, const ExactBytes& bytes);
// Attach, then allocate imageData of `size` bytes (the image's own size when 0) and inflate.
// The test releases the buffer with PngCleanup.
int PngInflateBytes(PngDecoder* decoder, const ExactBytes& bytes, uint32_t size = 0);

// Adds `bytes` as the raw-data resource `id` of the running module.
void PngAddResource(int id, const Bytes& bytes);
// Bytes of a file of the test fixtures (tests/png/...), or empty when missing.
Bytes PngReadFixture(const std::string& relativePath);

// A fresh decoder holding only the header fields, for the stages that read no bytes.
PngDecoder PngHeaderOnly(uint32_t width, uint32_t height, uint8_t bitDepth, uint8_t colourType, uint8_t interlace = 0);

// The encoder's side of filter `type` for one row (`prior` null for a first row).
Bytes PngFilterRow(int type, const Bytes& row, const Bytes* prior, size_t distance);

// Scanlines of an image given as unfiltered rows of `rowBytes` bytes: each row filtered
// with the type that `filterOf(row index)` gives (the encoder's side of the five filters),
// Adam7-split first when `interlace` is set (`bitsPerPixel` locates the pixels).
Bytes PngScanlines(const std::vector<Bytes>& rows, uint32_t width, uint32_t bitsPerPixel, bool interlace,
                   int (*filterOf)(size_t row));
