// Inflate: the zlib stream (RFC 1950) of deflate blocks (RFC 1951) carried by the IDAT
// chunks, decompressed straight into imageData.
//
// Format facts: bits are taken least-significant first; fixed-width fields are assembled
// least-significant bit first, Huffman codes most-significant bit first. Blocks are stored
// (type 0), fixed Huffman (1) or dynamic Huffman (2). The output buffer is the history
// window: a match copies from anywhere earlier in imageData. Codes are decoded one bit at a
// time against per-length limits, with no multi-bit lookup table. FCHECK and Adler-32 are
// not verified. Every length, distance and table index is checked before it is used, so a
// damaged stream ends in PNG_ERR_BAD_DATA and never reads or writes outside the buffers.
#include <cstring>

#include "png/pipeline.h"

namespace {

const BYTE PNG_CODE_LENGTH_ORDER[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
const WORD PNG_LENGTH_BASE[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                              31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const BYTE PNG_LENGTH_EXTRA[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const WORD PNG_DISTANCE_BASE[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const BYTE PNG_DISTANCE_EXTRA[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
const WORD PNG_LOW_BITS[17] = {0x0,   0x1,   0x3,   0x7,   0xF,    0x1F,   0x3F,   0x7F,  0xFF,
                           0x1FF, 0x3FF, 0x7FF, 0xFFF, 0x1FFF, 0x3FFF, 0x7FFF, 0xFFFF};

// Enough bits for the longest step taken between refills: a 15-bit length code with 5 extra
// bits and a 15-bit distance code with 13 extra bits.
const unsigned PNG_REFILL_BELOW = 48;

// Bits not yet used, the next one lowest. After the stream has ended the reader appends
// zero bytes ("phantom" bits, at the top); once any of them is used the input has run out.
struct BitReader {
  PngFeed feed;
  uint64_t bits;
  unsigned count;
  unsigned phantomBits;
};

void Refill(BitReader* r) {
  while (r->count <= 56) {
    r->bits |= (uint64_t)PngNextDataByte(&r->feed) << r->count;
    if (!r->feed.next) r->phantomBits += 8;  // the stream has ended: the byte was a zero
    r->count += 8;
  }
}

inline bool RanOut(const BitReader* r) {
  return r->count < r->phantomBits;
}

// The caller has made sure that `n` bits are there.
inline unsigned TakeBits(BitReader* r, unsigned n) {
  unsigned value = (unsigned)r->bits & PNG_LOW_BITS[n];
  r->bits >>= n;
  r->count -= n;
  return value;
}

inline void SkipToByteBoundary(BitReader* r) {
  TakeBits(r, r->count & 7);
}

// One symbol, read bit by bit; -1 when the bits match no code up to maxLength.
inline int DecodeSymbol(BitReader* r, const PngHuffmanTable* table, unsigned maxLength) {
  uint64_t bits = r->bits;
  unsigned code = 0;
  for (unsigned length = 1; length <= maxLength; length++) {
    code = (code << 1) | (unsigned)(bits & 1);
    bits >>= 1;
    unsigned limit = table->limit[length];
    if (code < limit) {
      r->bits = bits;
      r->count -= length;
      return table->symbol[table->start[length] + limit - code - 1];
    }
  }
  return -1;
}

// Counts the code lengths (each 0..15) and builds their table; false when they
// over-subscribe the code.
bool BuildTable(PngHuffmanTable* table, const BYTE* lengths, unsigned symbols, unsigned maxLength) {
  WORD counts[16] = {};
  for (unsigned i = 0; i < symbols; i++) counts[lengths[i]]++;
  return PngBuildHuffmanTable(table, lengths, counts, symbols, maxLength);
}

struct Output {
  BYTE* start;
  BYTE* next;
  BYTE* end;
};

bool CopyStored(BitReader* r, Output* out) {
  SkipToByteBoundary(r);
  if (r->count < 32) Refill(r);
  unsigned length = TakeBits(r, 16);
  unsigned complement = TakeBits(r, 16);
  if (RanOut(r) || length != (~complement & 0xFFFF)) return false;
  if (length > (size_t)(out->end - out->next)) return false;
  // Whole bytes already in the bit reader come first, then the feed's bytes directly.
  while (length && r->count >= 8) {
    *out->next++ = (BYTE)TakeBits(r, 8);
    length--;
  }
  if (RanOut(r)) return false;
  while (length) {
    if (!r->feed.left && !PngFeedEnterChunk(&r->feed)) return false;
    unsigned run = r->feed.left < length ? r->feed.left : length;
    memcpy(out->next, r->feed.next, run);
    out->next += run;
    r->feed.next += run;
    r->feed.left -= run;
    length -= run;
  }
  return true;
}

// Decodes symbols up to the end of the block.
bool InflateCodes(BitReader* r, Output* out, const PngHuffmanTable* literals, const PngHuffmanTable* distances) {
  BYTE* next = out->next;
  for (;;) {
    if (r->count < PNG_REFILL_BELOW) Refill(r);
    int symbol = DecodeSymbol(r, literals, 15);
    if (symbol < 0 || RanOut(r)) return false;
    if (symbol < 256) {
      if (next == out->end) return false;
      *next++ = (BYTE)symbol;
      continue;
    }
    if (symbol == 256) break;
    if (symbol > 285) return false;  // 286 and 287 may have codes but mean nothing
    unsigned length = PNG_LENGTH_BASE[symbol - 257] + TakeBits(r, PNG_LENGTH_EXTRA[symbol - 257]);
    int code = DecodeSymbol(r, distances, 15);
    if (code < 0 || code > 29) return false;  // 30 and 31 likewise
    size_t distance = PNG_DISTANCE_BASE[code] + TakeBits(r, PNG_DISTANCE_EXTRA[code]);
    if (RanOut(r) || distance > (size_t)(next - out->start) || length > (size_t)(out->end - next)) return false;
    const BYTE* from = next - distance;
    if (distance >= length) {
      memcpy(next, from, length);
      next += length;
    } else {
      // Overlapping: each byte may be one this match has just written.
      for (unsigned i = 0; i < length; i++) *next++ = *from++;
    }
  }
  out->next = next;
  return true;
}

bool InflateFixed(BitReader* r, Output* out) {
  BYTE lengths[288];
  memset(lengths, 8, 144);
  memset(lengths + 144, 9, 112);
  memset(lengths + 256, 7, 24);
  memset(lengths + 280, 8, 8);
  PngHuffmanTable literals;
  BuildTable(&literals, lengths, 288, 9);
  // Thirty-two distance codes of 5 bits; 30 and 31 are refused when they occur.
  memset(lengths, 5, 32);
  PngHuffmanTable distances;
  BuildTable(&distances, lengths, 32, 5);
  return InflateCodes(r, out, &literals, &distances);
}

// Reads the code lengths of a dynamic block into `lengths`; 0 on a malformed header.
bool ReadCodeLengths(BitReader* r, BYTE* lengths, unsigned total) {
  if (r->count < 32) Refill(r);
  unsigned codeLengthCount = TakeBits(r, 4) + 4;
  BYTE codeLengths[19] = {};
  for (unsigned i = 0; i < codeLengthCount; i++) {
    if (r->count < 3) Refill(r);
    codeLengths[PNG_CODE_LENGTH_ORDER[i]] = (BYTE)TakeBits(r, 3);
  }
  PngHuffmanTable table;
  if (!BuildTable(&table, codeLengths, 19, 7)) return false;

  unsigned stored = 0;
  while (stored < total) {
    if (r->count < 16) Refill(r);
    int symbol = DecodeSymbol(r, &table, 7);
    if (symbol < 0 || RanOut(r)) return false;
    if (symbol < 16) {
      lengths[stored++] = (BYTE)symbol;
      continue;
    }
    BYTE value = 0;
    unsigned repeat;
    if (symbol == 16) {
      if (stored == 0) return false;  // nothing to repeat yet
      value = lengths[stored - 1];
      repeat = 3 + TakeBits(r, 2);
    } else if (symbol == 17) {
      repeat = 3 + TakeBits(r, 3);
    } else {
      repeat = 11 + TakeBits(r, 7);
    }
    if (repeat > total - stored) return false;
    memset(lengths + stored, value, repeat);
    stored += repeat;
  }
  return !RanOut(r);
}

bool InflateDynamic(BitReader* r, Output* out) {
  if (r->count < 32) Refill(r);
  unsigned literalCount = TakeBits(r, 5) + 257;
  unsigned distanceCount = TakeBits(r, 5) + 1;
  BYTE lengths[320];
  if (!ReadCodeLengths(r, lengths, literalCount + distanceCount)) return false;

  PngHuffmanTable literals;
  PngHuffmanTable distances;
  if (!BuildTable(&literals, lengths, literalCount, 15)) return false;
  if (!BuildTable(&distances, lengths + literalCount, distanceCount, 15)) return false;
  return InflateCodes(r, out, &literals, &distances);
}

bool InflateStream(BitReader* r, Output* out) {
  Refill(r);
  unsigned cmf = TakeBits(r, 8);
  unsigned flg = TakeBits(r, 8);
  if (RanOut(r) || (cmf & 0x0F) != 8 || (cmf >> 4) > 7 || (flg & 0x20)) return false;

  bool final = false;
  while (!final) {
    if (r->count < 3) Refill(r);
    final = TakeBits(r, 1);
    unsigned type = TakeBits(r, 2);
    if (RanOut(r)) return false;  // the input ended before the final block
    bool ok = false;
    if (type == 0) ok = CopyStored(r, out);
    if (type == 1) ok = InflateFixed(r, out);
    if (type == 2) ok = InflateDynamic(r, out);
    if (!ok) return false;  // also block type 3
  }
  // The Adler-32 trailer follows; it is not checked, so it is not read either.
  return true;
}

}  // namespace

int PngBuildHuffmanTable(PngHuffmanTable* table, const BYTE* lengths, WORD* counts, unsigned symbols,
                         unsigned maxLength) {
  counts[0] = 0;
  unsigned code = 0;
  unsigned place = 0;
  WORD next[16] = {};
  for (unsigned length = 1; length < 16; length++) {
    code = (code + counts[length - 1]) << 1;
    WORD count = length <= maxLength ? counts[length] : 0;
    table->limit[length] = 0;
    table->start[length] = (WORD)place;
    next[length] = (WORD)place;
    if (count == 0) continue;
    if (code + count > (1u << length)) return 0;  // over-subscribed
    table->limit[length] = (WORD)(code + count);
    place += count;
  }
  for (unsigned symbol = symbols; symbol-- > 0;) {
    BYTE length = lengths[symbol];
    if (length && length <= maxLength) table->symbol[next[length]++] = (WORD)symbol;
  }
  return 1;
}

int PngInflate(PngDecoder* decoder) {
  decoder->errorCode = PNG_ERR_BAD_DATA;
  BitReader reader = {};
  PngStartFeed(&reader.feed, decoder);
  Output out = {decoder->imageData, decoder->imageData, decoder->imageData + decoder->imageDataSize};
  if (!InflateStream(&reader, &out)) return 0;
  // A stream that ends early leaves zero rows rather than uninitialised memory.
  memset(out.next, 0, (size_t)(out.end - out.next));
  decoder->errorCode = PNG_ERR_NONE;
  return 1;
}
