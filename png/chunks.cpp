// The PNG container, read in place: the header walk over every chunk, and the byte feed
// that hands the compressed stream to the inflater.
//
// Format facts: an 8-byte signature, then chunks of a 4-byte big-endian data length, a
// 4-byte type, the data and a 4-byte CRC (chunk size = length + 12). Bit 5 of a type's first
// letter marks an ancillary chunk. IHDR data: width (4), height (4), bit depth, colour type,
// compression method, filter method, interlace method. CRCs are never checked.
#include <cstring>

#include "png/pipeline.h"

namespace {

const BYTE PNG_SIGNATURE[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};

DWORD ReadBigEndian32(const BYTE* p) {
  return ((DWORD)p[0] << 24) | ((DWORD)p[1] << 16) | ((DWORD)p[2] << 8) | (DWORD)p[3];
}

struct KnownChunk {
  char name[5];
  PngChunkKind kind;
};
const KnownChunk PNG_KNOWN_CHUNKS[] = {
    {"IHDR", PNG_CHUNK_IHDR},
    {"PLTE", PNG_CHUNK_PLTE},
    {"IDAT", PNG_CHUNK_IDAT},
    {"IEND", PNG_CHUNK_IEND},
};

PngChunkKind ClassifyChunk(const BYTE* type) {
  // Bit 5 of the first letter is ignored, so "iHDR" counts as IHDR.
  BYTE first = type[0] & ~0x20;
  for (const KnownChunk& known : PNG_KNOWN_CHUNKS) {
    if (first == (BYTE)known.name[0] && memcmp(type + 1, known.name + 1, 3) == 0) return known.kind;
  }
  return (type[0] & 0x20) ? PNG_CHUNK_ANCILLARY : PNG_CHUNK_UNKNOWN_CRITICAL;
}

// The fifteen (colour type, bit depth) pairs: bit d set in the mask for accepted depth d.
struct AcceptedDepths {
  BYTE colourType;
  DWORD depthMask;
};
const AcceptedDepths PNG_ACCEPTED_PAIRS[] = {
    {0, (1u << 1) | (1u << 2) | (1u << 4) | (1u << 8) | (1u << 16)},
    {2, (1u << 8) | (1u << 16)},
    {3, (1u << 1) | (1u << 2) | (1u << 4) | (1u << 8)},
    {4, (1u << 8) | (1u << 16)},
    {6, (1u << 8) | (1u << 16)},
};

bool IsAcceptedPair(BYTE colourType, BYTE bitDepth) {
  if (bitDepth > 16) return false;
  for (const AcceptedDepths& pair : PNG_ACCEPTED_PAIRS) {
    if (pair.colourType == colourType) return (pair.depthMask >> bitDepth) & 1;
  }
  return false;
}

int Fail(PngDecoder* decoder, DWORD code) {
  decoder->errorCode = code;
  return 0;
}

}  // namespace

int PngReadChunk(PngDecoder* decoder, PngChunkInfo* info) {
  const BYTE* end = decoder->sourceData + decoder->sourceSize;
  const BYTE* chunk = decoder->chunkCursor;
  if (chunk >= end || (size_t)(end - chunk) < 12) return 0;
  DWORD length = ReadBigEndian32(chunk);
  // Compared as sizes, not addresses, so a huge length cannot wrap around and pass.
  if ((size_t)(end - chunk) - 12 < length) return 0;
  info->kind = ClassifyChunk(chunk + 4);
  info->length = length;
  info->crc = ReadBigEndian32(chunk + 8 + length);
  return 1;
}

int PngReadHeader(PngDecoder* decoder) {
  decoder->chunkCursor = nullptr;
  decoder->headerData = nullptr;
  decoder->firstDataChunk = nullptr;
  decoder->paletteData = nullptr;
  decoder->errorCode = PNG_ERR_NONE;
  if (decoder->sourceSize < 16 || memcmp(decoder->sourceData, PNG_SIGNATURE, 8) != 0) {
    return Fail(decoder, PNG_ERR_BAD_DATA);
  }

  PngChunkInfo chunk;
  decoder->chunkCursor = decoder->sourceData + 8;
  if (!PngReadChunk(decoder, &chunk) || chunk.kind != PNG_CHUNK_IHDR) return Fail(decoder, PNG_ERR_BAD_DATA);
  const BYTE* header = decoder->chunkCursor + 8;
  // The IHDR length is not compared with 13, but the 13 bytes read must lie in the source.
  if ((size_t)(decoder->sourceData + decoder->sourceSize - header) < 13) return Fail(decoder, PNG_ERR_BAD_DATA);
  decoder->headerData = header;
  decoder->width = ReadBigEndian32(header);
  decoder->height = ReadBigEndian32(header + 4);
  if (decoder->width == 0 || decoder->height == 0) return Fail(decoder, PNG_ERR_BAD_DATA);

  for (;;) {
    decoder->chunkCursor += chunk.length + 12;
    if (!PngReadChunk(decoder, &chunk)) break;  // an incomplete chunk ends the walk quietly
    if (chunk.kind == PNG_CHUNK_UNKNOWN_CRITICAL) return Fail(decoder, PNG_ERR_UNSUPPORTED);
    if (chunk.kind == PNG_CHUNK_PLTE && !decoder->paletteData) {
      decoder->paletteData = decoder->chunkCursor + 8;
      decoder->paletteCount = chunk.length / 3;
    } else if (chunk.kind == PNG_CHUNK_IDAT && !decoder->firstDataChunk) {
      decoder->firstDataChunk = decoder->chunkCursor;
    }
  }

  decoder->bitDepth = header[8];
  decoder->colourType = header[9];
  decoder->interlaceMethod = header[12];
  if (!IsAcceptedPair(decoder->colourType, decoder->bitDepth) || header[10] != 0 || header[11] != 0 ||
      header[12] > 1) {
    return Fail(decoder, PNG_ERR_UNSUPPORTED);
  }
  // Width and height have no upper bound in the file; sizes past 32 bits are refused here,
  // before anything is allocated.
  if (!PngSizesFit(decoder)) return Fail(decoder, PNG_ERR_UNSUPPORTED);
  return 1;
}

void PngStartFeed(PngFeed* feed, const PngDecoder* decoder) {
  feed->end = decoder->sourceData + decoder->sourceSize;
  feed->left = 0;
  // As if a chunk whose CRC fills the 4 bytes before the first IDAT had just been read.
  feed->next = decoder->firstDataChunk ? decoder->firstDataChunk - 4 : nullptr;
}

int PngFeedEnterChunk(PngFeed* feed) {
  while (feed->next && feed->left == 0) {
    // The next chunk's length and type follow the CRC of the chunk just read.
    if ((size_t)(feed->end - feed->next) < 12) break;
    const BYTE* chunk = feed->next + 4;
    // The type test ignores bit 5 of the fourth letter.
    if (memcmp(chunk + 4, "IDA", 3) != 0 || (chunk[7] & ~0x20) != 'T') break;
    DWORD length = ReadBigEndian32(chunk);
    if ((size_t)(feed->end - chunk) - 8 < length) break;  // data runs past the source
    feed->next = chunk + 8;
    feed->left = length;
  }
  if (feed->next && feed->left) return 1;
  feed->next = nullptr;
  feed->left = 0;
  return 0;
}
