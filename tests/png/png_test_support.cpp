// Helpers of the PNG decoder's tests: in-memory PNG files and decoders attached to them.
#include "tests/png/png_test_support.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/platform.h"

namespace {

void StoreBigEndian32(uint8_t* at, uint32_t value) {
  at[0] = (uint8_t)(value >> 24);
  at[1] = (uint8_t)(value >> 16);
  at[2] = (uint8_t)(value >> 8);
  at[3] = (uint8_t)value;
}

}  // namespace

Bytes PngChunk(const char* type, const Bytes& data) {
  Bytes chunk(data.size() + 12);
  StoreBigEndian32(&chunk[0], (uint32_t)data.size());
  memcpy(&chunk[4], type, 4);
  if (!data.empty()) memcpy(&chunk[8], data.data(), data.size());
  uLong crc = crc32(0, &chunk[4], (uInt)(data.size() + 4));
  StoreBigEndian32(&chunk[8 + data.size()], (uint32_t)crc);
  return chunk;
}

Bytes PngHeaderChunk(uint32_t width, uint32_t height, uint8_t bitDepth, uint8_t colourType, uint8_t interlace,
                     uint8_t compression, uint8_t filter) {
  Bytes data(13);
  StoreBigEndian32(&data[0], width);
  StoreBigEndian32(&data[4], height);
  data[8] = bitDepth;
  data[9] = colourType;
  data[10] = compression;
  data[11] = filter;
  data[12] = interlace;
  return PngChunk("IHDR", data);
}

Bytes PngFile(const std::vector<Bytes>& chunks) {
  Bytes file = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
  for (const Bytes& chunk : chunks) file.insert(file.end(), chunk.begin(), chunk.end());
  return file;
}

Bytes ZlibCompress(const Bytes& data, int level, int strategy) {
  z_stream z = {};
  deflateInit2(&z, level, Z_DEFLATED, 15, 9, strategy);
  Bytes out(deflateBound(&z, data.size()) + 16);
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = (uInt)data.size();
  z.next_out = out.data();
  z.avail_out = (uInt)out.size();
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

std::vector<Bytes> PngDataChunks(const Bytes& stream, const std::vector<size_t>& cuts) {
  std::vector<Bytes> chunks;
  size_t from = 0;
  for (size_t cut : cuts) {
    chunks.push_back(PngChunk("IDAT", Bytes(stream.begin() + from, stream.begin() + cut)));
    from = cut;
  }
  chunks.push_back(PngChunk("IDAT", Bytes(stream.begin() + from, stream.end())));
  return chunks;
}

Bytes PngImage(uint32_t width, uint32_t height, uint8_t bitDepth, uint8_t colourType, const Bytes& scanlines,
               uint8_t interlace, const Bytes& palette) {
  std::vector<Bytes> chunks = {PngHeaderChunk(width, height, bitDepth, colourType, interlace)};
  if (!palette.empty()) chunks.push_back(PngChunk("PLTE", palette));
  chunks.push_back(PngChunk("IDAT", ZlibCompress(scanlines)));
  chunks.push_back(PngChunk("IEND", {}));
  return PngFile(chunks);
}

ExactBytes ExactCopy(const Bytes& bytes) {
  ExactBytes copy{std::unique_ptr<uint8_t[]>(new uint8_t[bytes.size() ? bytes.size() : 1]), bytes.size()};
  if (!bytes.empty()) memcpy(copy.data.get(), bytes.data(), bytes.size());
  return copy;
}

int PngAttachBytes(PngDecoder* decoder, const ExactBytes& bytes) {
  PngInit(decoder);
  decoder->sourceData = decoder->chunkCursor = bytes.data.get();
  decoder->sourceSize = (DWORD)bytes.size;
  decoder->sourceKind = PNG_SOURCE_RESOURCE;
  if (!PngReadHeader(decoder)) return 0;
  decoder->state = PNG_STATE_LOADED;
  return 1;
}

int PngInflateBytes(PngDecoder* decoder, const ExactBytes& bytes, uint32_t size) {
  if (!PngAttachBytes(decoder, bytes)) return 0;
  decoder->imageDataSize = size ? size : PngImageDataSize(decoder);
  decoder->imageData = (BYTE*)PngAlloc(decoder->imageDataSize);
  decoder->state = PNG_STATE_DECODED;  // so that PngCleanup frees the buffer
  return PngInflate(decoder);
}

void PngAddResource(int id, const Bytes& bytes) {
  PlatAddResource(RT_RCDATA, MAKEINTRESOURCEA(id), bytes.data(), (DWORD)bytes.size());
}

Bytes PngReadFixture(const std::string& relativePath) {
  std::ifstream file(std::string(ORVENNE_PNG_FIXTURES) + "/" + relativePath, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

PngDecoder PngHeaderOnly(uint32_t width, uint32_t height, uint8_t bitDepth, uint8_t colourType, uint8_t interlace) {
  PngDecoder d;
  PngInit(&d);
  d.width = width;
  d.height = height;
  d.bitDepth = bitDepth;
  d.colourType = colourType;
  d.interlaceMethod = interlace;
  return d;
}

Bytes PngFilterRow(int type, const Bytes& row, const Bytes* prior, size_t distance) {
  Bytes out(row.size());
  for (size_t i = 0; i < row.size(); i++) {
    int a = i >= distance ? row[i - distance] : 0;
    int b = prior ? (*prior)[i] : 0;
    int c = prior && i >= distance ? (*prior)[i - distance] : 0;
    int predictor = 0;
    if (type == 1) predictor = a;
    if (type == 2) predictor = b;
    if (type == 3) predictor = (a + b) / 2;
    if (type == 4) {
      int p = a + b - c;
      int pa = abs(p - a), pb = abs(p - b), pc = abs(p - c);
      predictor = (pa <= pb && pa <= pc) ? a : pb <= pc ? b : c;
    }
    out[i] = (uint8_t)(row[i] - predictor);
  }
  return out;
}

namespace {

// Copies pixel `from` of `in` to pixel `to` of `out` (which starts cleared).
void CopyPixel(const Bytes& in, uint32_t from, Bytes* out, uint32_t to, uint32_t bits) {
  if (bits >= 8) {
    for (uint32_t i = 0; i < bits / 8; i++) (*out)[to * bits / 8 + i] = in[from * bits / 8 + i];
    return;
  }
  uint32_t value = (in[from * bits / 8] >> (8 - bits - from * bits % 8)) & ((1u << bits) - 1);
  (*out)[to * bits / 8] |= (uint8_t)(value << (8 - bits - to * bits % 8));
}

}  // namespace

Bytes PngScanlines(const std::vector<Bytes>& rows, uint32_t width, uint32_t bitsPerPixel, bool interlace,
                   int (*filterOf)(size_t row)) {
  // Each pass as a list of unfiltered rows; a plain image is one "pass" of all rows.
  std::vector<std::vector<Bytes>> passes;
  if (!interlace) {
    passes.push_back(rows);
  } else {
    const uint32_t start[7][2] = {{0, 0}, {4, 0}, {0, 4}, {2, 0}, {0, 2}, {1, 0}, {0, 1}};
    const uint32_t step[7][2] = {{8, 8}, {8, 8}, {4, 8}, {4, 4}, {2, 4}, {2, 2}, {1, 2}};
    for (int p = 0; p < 7; p++) {
      std::vector<Bytes> pass;
      for (uint32_t y = start[p][1]; y < rows.size(); y += step[p][1]) {
        uint32_t columns = 0;
        for (uint32_t x = start[p][0]; x < width; x += step[p][0]) columns++;
        if (!columns) break;
        Bytes out((columns * bitsPerPixel + 7) / 8);
        uint32_t k = 0;
        for (uint32_t x = start[p][0]; x < width; x += step[p][0]) {
          CopyPixel(rows[y], x, &out, k++, bitsPerPixel);
        }
        pass.push_back(out);
      }
      passes.push_back(pass);
    }
  }
  Bytes data;
  size_t index = 0;
  size_t distance = bitsPerPixel >= 8 ? bitsPerPixel / 8 : 1;
  for (const std::vector<Bytes>& pass : passes) {
    for (size_t r = 0; r < pass.size(); r++) {
      int type = filterOf(index++);
      data.push_back((uint8_t)type);
      Bytes filtered = PngFilterRow(type, pass[r], r ? &pass[r - 1] : nullptr, distance);
      data.insert(data.end(), filtered.begin(), filtered.end());
    }
  }
  return data;
}
