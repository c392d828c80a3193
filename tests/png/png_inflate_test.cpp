// The inflater against zlib's own inflate: zlib-made streams of every block kind, hand-made
// streams covering every length and distance code, the stream split over IDAT chunks, and
// each malformed stream that must end in PNG_ERR_BAD_DATA without touching memory outside
// imageData (the address sanitizer build watches that).
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <random>

#include "tests/png/png_test_support.h"

namespace {

// ---- A deflate writer for hand-made streams -------------------------------------------
struct BitWriter {
  Bytes bytes;
  unsigned used = 8;  // bits used in the last byte

  // A fixed-width field, least-significant bit first.
  void Bits(uint32_t value, unsigned count) {
    for (unsigned i = 0; i < count; i++) {
      if (used == 8) {
        bytes.push_back(0);
        used = 0;
      }
      bytes.back() |= (uint8_t)(((value >> i) & 1) << used);
      used++;
    }
  }
  // A Huffman code, most-significant bit first.
  void Code(uint32_t code, unsigned length) {
    for (unsigned i = length; i-- > 0;) Bits((code >> i) & 1, 1);
  }
  void AlignToByte() { used = 8; }
};

const uint16_t PNG_LENGTH_BASE[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                  31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const uint8_t PNG_LENGTH_EXTRA[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const uint16_t PNG_DISTANCE_BASE[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const uint8_t PNG_DISTANCE_EXTRA[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// Canonical codes from code lengths.
std::vector<uint32_t> CanonicalCodes(const std::vector<uint8_t>& lengths) {
  uint32_t count[16] = {}, next[16] = {};
  for (uint8_t l : lengths) count[l]++;
  count[0] = 0;
  uint32_t code = 0;
  for (int l = 1; l < 16; l++) next[l] = code = (code + count[l - 1]) << 1;
  std::vector<uint32_t> codes(lengths.size());
  for (size_t s = 0; s < lengths.size(); s++) {
    if (lengths[s]) codes[s] = next[lengths[s]]++;
  }
  return codes;
}

struct DeflateWriter {
  BitWriter out;
  std::vector<uint8_t> literalLengths, distanceLengths;
  std::vector<uint32_t> literalCodes, distanceCodes;

  DeflateWriter() {
    out.Bits(0x78, 8);
    out.Bits(0x9C, 8);
  }
  void Symbol(unsigned s) { out.Code(literalCodes[s], literalLengths[s]); }
  void Distance(unsigned d) { out.Code(distanceCodes[d], distanceLengths[d]); }

  void FixedBlock(bool final) {
    out.Bits(final, 1);
    out.Bits(1, 2);
    literalLengths.assign(288, 8);
    for (int s = 144; s < 256; s++) literalLengths[s] = 9;
    for (int s = 256; s < 280; s++) literalLengths[s] = 7;
    distanceLengths.assign(32, 5);
    literalCodes = CanonicalCodes(literalLengths);
    distanceCodes = CanonicalCodes(distanceLengths);
  }
  // A dynamic block header with the given code lengths, sent without repeat codes through
  // a complete code-length code (symbols 0-9 and 16-18 of 4 bits, 10-15 of 5 bits).
  void DynamicBlock(bool final, const std::vector<uint8_t>& literals, const std::vector<uint8_t>& distances) {
    out.Bits(final, 1);
    out.Bits(2, 2);
    out.Bits((uint32_t)literals.size() - 257, 5);
    out.Bits((uint32_t)distances.size() - 1, 5);
    out.Bits(19 - 4, 4);
    const uint8_t order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    for (uint8_t s : order) out.Bits(CodeLengthLength(s), 3);
    for (uint8_t l : literals) CodeLengthSymbol(l);
    for (uint8_t l : distances) CodeLengthSymbol(l);
    literalLengths = literals;
    distanceLengths = distances;
    literalCodes = CanonicalCodes(literalLengths);
    distanceCodes = CanonicalCodes(distanceLengths);
  }
  static uint8_t CodeLengthLength(unsigned s) { return (s >= 10 && s <= 15) ? 5 : 4; }
  void CodeLengthSymbol(unsigned s) {
    std::vector<uint8_t> lengths(19);
    for (unsigned i = 0; i < 19; i++) lengths[i] = CodeLengthLength(i);
    out.Code(CanonicalCodes(lengths)[s], lengths[s]);
  }
  void Literal(uint8_t byte) { Symbol(byte); }
  void Match(unsigned length, unsigned distance) {
    int l = 28;
    while (PNG_LENGTH_BASE[l] > length) l--;
    if (length == 258) l = 28;
    Symbol(257 + l);
    out.Bits(length - PNG_LENGTH_BASE[l], PNG_LENGTH_EXTRA[l]);
    int d = 29;
    while (PNG_DISTANCE_BASE[d] > distance) d--;
    Distance(d);
    out.Bits(distance - PNG_DISTANCE_BASE[d], PNG_DISTANCE_EXTRA[d]);
  }
  void EndBlock() { Symbol(256); }
  void StoredBlock(bool final, const Bytes& data) {
    out.Bits(final, 1);
    out.Bits(0, 2);
    out.AlignToByte();
    out.Bits((uint32_t)data.size(), 16);
    out.Bits(~(uint32_t)data.size() & 0xFFFF, 16);
    for (uint8_t b : data) out.Bits(b, 8);
  }
  Bytes Finish() {
    out.AlignToByte();
    out.Bits(0, 32);  // Adler-32, unchecked by the decoder
    return out.bytes;
  }
};

// zlib's output for a stream, the reference (Z_DATA_ERROR on Adler-32 is tolerated).
Bytes ZlibInflate(const Bytes& stream, size_t expectedSize) {
  Bytes out(expectedSize + 1);
  z_stream z = {};
  inflateInit(&z);
  z.next_in = const_cast<Bytef*>(stream.data());
  z.avail_in = (uInt)stream.size();
  z.next_out = out.data();
  z.avail_out = (uInt)out.size();
  inflate(&z, Z_FINISH);
  out.resize(z.total_out);
  inflateEnd(&z);
  return out;
}

// A PNG around a zlib stream, so that the stream travels through the real chunk feed.
Bytes StreamPng(const Bytes& stream, const std::vector<size_t>& cuts = {}) {
  std::vector<Bytes> chunks = {PngHeaderChunk(1, 1, 8, 0)};
  for (Bytes& chunk : PngDataChunks(stream, cuts)) chunks.push_back(chunk);
  chunks.push_back(PngChunk("IEND", {}));
  return PngFile(chunks);
}

struct Inflated {
  int ok;
  DWORD errorCode;
  Bytes output;
};

Inflated InflateStream(const Bytes& stream, size_t outputSize, const std::vector<size_t>& cuts = {}) {
  ExactBytes png = ExactCopy(StreamPng(stream, cuts));
  PngDecoder decoder;
  Inflated result;
  result.ok = PngInflateBytes(&decoder, png, (uint32_t)outputSize);
  result.errorCode = decoder.errorCode;
  result.output.assign(decoder.imageData, decoder.imageData + outputSize);
  PngCleanup(&decoder);
  return result;
}

Bytes RandomBytes(size_t size, unsigned seed, int alphabet = 256) {
  std::mt19937 random(seed);
  Bytes data(size);
  for (uint8_t& b : data) b = (uint8_t)(random() % alphabet);
  return data;
}

// Text-like data with repeats at many distances: what dynamic blocks are made for.
Bytes StructuredBytes(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  Bytes data;
  while (data.size() < size) {
    if (data.size() > 16 && random() % 3) {
      size_t distance = 1 + random() % std::min<size_t>(data.size(), 40000);
      size_t length = 3 + random() % 300;
      for (size_t i = 0; i < length; i++) data.push_back(data[data.size() - distance]);
    } else {
      for (int i = 0; i < 20; i++) data.push_back((uint8_t)('a' + random() % 20));
    }
  }
  data.resize(size);
  return data;
}

TEST(PngInflate, MatchesZlibOnItsOwnStreams) {
  struct Case {
    const char* what;
    Bytes data;
    int level;
    int strategy;
  };
  const Case cases[] = {
      {"random data, stored blocks", RandomBytes(200000, 1), 0, Z_DEFAULT_STRATEGY},
      {"random data, best level", RandomBytes(100000, 2), 9, Z_DEFAULT_STRATEGY},
      {"small alphabet, dynamic", RandomBytes(150000, 3, 5), 6, Z_DEFAULT_STRATEGY},
      {"structured, dynamic", StructuredBytes(300000, 4), 9, Z_DEFAULT_STRATEGY},
      {"structured, fastest", StructuredBytes(300000, 5), 1, Z_DEFAULT_STRATEGY},
      {"structured, fixed blocks", StructuredBytes(200000, 6), 6, Z_FIXED},
      {"Huffman only", RandomBytes(100000, 7, 40), 6, Z_HUFFMAN_ONLY},
      {"runs at distance 1", StructuredBytes(100000, 8), 6, Z_RLE},
      {"one byte", Bytes{42}, 6, Z_DEFAULT_STRATEGY},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Inflated result = InflateStream(ZlibCompress(c.data, c.level, c.strategy), c.data.size());
    EXPECT_EQ(result.ok, 1);
    EXPECT_EQ(result.errorCode, PNG_ERR_NONE);
    EXPECT_TRUE(result.output == c.data);
  }
}

TEST(PngInflate, EveryLengthAndDistanceCodeMatchesZlib) {
  DeflateWriter w;
  w.FixedBlock(false);
  Bytes history = RandomBytes(32768, 9);
  for (uint8_t b : history) w.Literal(b);
  size_t produced = history.size();
  // Every length 3 to 258, at distances running over every distance code and extra value.
  const unsigned distances[] = {1,   2,    3,    4,    5,    6,    7,    8,    12,   13,    24,    25,    100,
                                193, 256,  257,  1024, 1025, 4096, 4097, 8192, 8193, 16384, 16385, 24576, 24577,
                                30000, 32767, 32768};
  int i = 0;
  for (unsigned length = 3; length <= 258; length++, i++) {
    w.Match(length, distances[i % (sizeof distances / sizeof *distances)]);
    produced += length;
  }
  w.EndBlock();
  // Complete dynamic codes of two lengths each: 226 x 8 + 60 x 9 bits, 2 x 4 + 28 x 5 bits.
  std::vector<uint8_t> literalLengths(286, 9), distanceLengths(30, 5);
  std::fill(literalLengths.begin(), literalLengths.begin() + 226, 8);
  distanceLengths[0] = distanceLengths[1] = 4;
  w.DynamicBlock(true, literalLengths, distanceLengths);
  for (unsigned d : distances) {
    w.Match(258, d);
    produced += 258;
  }
  w.EndBlock();
  Bytes stream = w.Finish();
  Bytes expected = ZlibInflate(stream, produced);
  ASSERT_EQ(expected.size(), produced);  // zlib accepts the hand-made stream
  Inflated result = InflateStream(stream, produced);
  EXPECT_EQ(result.ok, 1);
  EXPECT_TRUE(result.output == expected);
}

TEST(PngInflate, SmallStreamsOfEachBlockKind) {
  DeflateWriter stored;
  stored.StoredBlock(true, {});
  DeflateWriter fixedBlocks;  // the fixed table is rebuilt for each block
  for (int b = 0; b < 3; b++) {
    fixedBlocks.FixedBlock(b == 2);
    fixedBlocks.Literal((uint8_t)(200 + b));
    fixedBlocks.Match(4, 1);
    fixedBlocks.EndBlock();
  }
  DeflateWriter longRun;
  longRun.FixedBlock(true);
  longRun.Literal(7);
  longRun.Match(258, 1);
  longRun.EndBlock();
  DeflateWriter mixed;
  mixed.StoredBlock(false, {1, 2, 3});
  mixed.FixedBlock(true);
  mixed.Match(3, 3);
  mixed.EndBlock();

  const struct {
    const char* what;
    Bytes stream;
    Bytes expected;
  } cases[] = {
      {"empty stored block", stored.Finish(), {}},
      {"three fixed blocks", fixedBlocks.Finish(), {200, 200, 200, 200, 200, 201, 201, 201, 201, 201, 202, 202, 202, 202, 202}},
      {"length 258 at distance 1", longRun.Finish(), Bytes(259, 7)},
      {"stored then a match into it", mixed.Finish(), {1, 2, 3, 1, 2, 3}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_TRUE(ZlibInflate(c.stream, c.expected.size()) == c.expected);
    Inflated result = InflateStream(c.stream, c.expected.size() + 8);
    EXPECT_EQ(result.ok, 1);
    EXPECT_TRUE(Bytes(result.output.begin(), result.output.begin() + c.expected.size()) == c.expected);
    // What the stream leaves unwritten is cleared, not left uninitialised.
    EXPECT_TRUE(Bytes(result.output.begin() + c.expected.size(), result.output.end()) == Bytes(8, 0));
  }
}

TEST(PngInflate, HeaderBytes) {
  Bytes body = ZlibCompress({5, 6, 7});
  const struct {
    uint8_t cmf, flg;
    int ok;
  } cases[] = {
      {0x78, 0x9C, 1}, {0x78, 0x01, 1}, {0x78, 0xDA, 1},
      {0x78, 0x00, 1},  // wrong FCHECK, not tested
      {0x78, 0xBB, 0},  // preset dictionary
      {0x79, 0x9C, 0},  // method 9
      {0x88, 0x9C, 0},  // window field 8
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << (int)c.cmf << " " << (int)c.flg);
    Bytes stream = body;
    stream[0] = c.cmf;
    stream[1] = c.flg;
    Inflated result = InflateStream(stream, 3);
    EXPECT_EQ(result.ok, c.ok);
    EXPECT_EQ(result.errorCode, c.ok ? PNG_ERR_NONE : PNG_ERR_BAD_DATA);
    if (c.ok) {
      EXPECT_TRUE(result.output == Bytes({5, 6, 7}));
    }
  }
}

TEST(PngInflate, AdlerTrailerWrongOrMissingIsAccepted) {
  Bytes data = StructuredBytes(5000, 10);
  Bytes stream = ZlibCompress(data);
  Bytes wrong = stream;
  wrong.back() ^= 0xFF;
  Bytes missing(stream.begin(), stream.end() - 4);
  for (const Bytes& s : {wrong, missing}) {
    Inflated result = InflateStream(s, data.size());
    EXPECT_EQ(result.ok, 1);
    EXPECT_TRUE(result.output == data);
  }
}

TEST(PngInflate, StreamSplitOverDataChunksAtEveryByte) {
  Bytes data = StructuredBytes(3000, 11);
  DeflateWriter w;  // a stored block too, since it reads the feed directly
  w.StoredBlock(false, Bytes(data.begin(), data.begin() + 100));
  w.FixedBlock(true);
  for (size_t i = 100; i < 160; i++) w.Literal(data[i]);
  w.Match(200, 150);
  w.EndBlock();
  Bytes fixedStream = w.Finish();
  size_t fixedSize = 360;
  Bytes fixedExpected = ZlibInflate(fixedStream, fixedSize);
  ASSERT_EQ(fixedExpected.size(), fixedSize);

  Bytes dynamicStream = ZlibCompress(data, 9);
  for (const auto& [stream, expected] : {std::pair{fixedStream, fixedExpected}, std::pair{dynamicStream, data}}) {
    for (size_t cut = 1; cut < stream.size(); cut++) {
      SCOPED_TRACE(cut);
      // Two chunks cut at `cut`; then three, the middle one empty.
      for (const std::vector<size_t>& cuts : {std::vector<size_t>{cut}, std::vector<size_t>{cut, cut}}) {
        Inflated result = InflateStream(stream, expected.size(), cuts);
        ASSERT_EQ(result.ok, 1);
        ASSERT_TRUE(result.output == expected);
      }
    }
  }
}

// Each malformed stream, or one too long for imageData, fails with PNG_ERR_BAD_DATA.
TEST(PngInflate, MalformedStreamsFail) {
  std::vector<std::pair<std::string, Bytes>> cases;
  auto add = [&](const std::string& what, DeflateWriter& w) { cases.push_back({what, w.Finish()}); };

  DeflateWriter badNlen;
  badNlen.out.Bits(1, 1);
  badNlen.out.Bits(0, 2);
  badNlen.out.AlignToByte();
  badNlen.out.Bits(3, 16);
  badNlen.out.Bits(0x1234, 16);
  add("stored LEN not the complement of NLEN", badNlen);

  DeflateWriter type3;
  type3.out.Bits(1, 1);
  type3.out.Bits(3, 2);
  add("block type 3", type3);

  DeflateWriter tooLong;  // 16 bytes of room below
  tooLong.StoredBlock(true, Bytes(17, 1));
  add("stored block past the end of the output", tooLong);

  DeflateWriter literalsTooLong;
  literalsTooLong.FixedBlock(true);
  for (int i = 0; i < 17; i++) literalsTooLong.Literal(1);
  literalsTooLong.EndBlock();
  add("literals past the end of the output", literalsTooLong);

  DeflateWriter matchTooLong;
  matchTooLong.FixedBlock(true);
  matchTooLong.Literal(1);
  matchTooLong.Match(16, 1);
  matchTooLong.EndBlock();
  add("match past the end of the output", matchTooLong);

  DeflateWriter beforeStart;
  beforeStart.FixedBlock(true);
  beforeStart.Literal(1);
  beforeStart.Literal(2);
  beforeStart.Match(3, 3);
  beforeStart.EndBlock();
  add("distance before the start", beforeStart);

  for (unsigned symbol : {286u, 287u}) {
    DeflateWriter w;
    w.FixedBlock(true);
    w.Literal(1);
    w.Symbol(symbol);
    w.Distance(0);
    w.EndBlock();
    add("literal/length symbol " + std::to_string(symbol), w);
  }
  for (unsigned code : {30u, 31u}) {
    DeflateWriter w;
    w.FixedBlock(true);
    w.Literal(1);
    w.Symbol(257);
    w.Distance(code);
    w.EndBlock();
    add("distance code " + std::to_string(code), w);
  }

  DeflateWriter leadingRepeat;  // code-length symbol 16 before any length
  leadingRepeat.out.Bits(1, 1);
  leadingRepeat.out.Bits(2, 2);
  leadingRepeat.out.Bits(0, 5);
  leadingRepeat.out.Bits(0, 5);
  leadingRepeat.out.Bits(15, 4);
  const uint8_t order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  for (uint8_t s : order) leadingRepeat.out.Bits(DeflateWriter::CodeLengthLength(s), 3);
  leadingRepeat.CodeLengthSymbol(16);
  leadingRepeat.out.Bits(0, 2);
  add("repeat code 16 first", leadingRepeat);

  DeflateWriter repeatPast;  // 257 + 1 lengths expected; 138 zeros twice = 276
  repeatPast.out.Bits(1, 1);
  repeatPast.out.Bits(2, 2);
  repeatPast.out.Bits(0, 5);
  repeatPast.out.Bits(0, 5);
  repeatPast.out.Bits(15, 4);
  for (uint8_t s : order) repeatPast.out.Bits(DeflateWriter::CodeLengthLength(s), 3);
  repeatPast.CodeLengthSymbol(18);
  repeatPast.out.Bits(127, 7);
  repeatPast.CodeLengthSymbol(18);
  repeatPast.out.Bits(127, 7);
  add("repeats past the declared count", repeatPast);

  std::vector<uint8_t> overLiterals(257, 0);
  overLiterals[0] = overLiterals[1] = overLiterals[256] = 1;  // three codes of one bit
  DeflateWriter overSubscribed;
  overSubscribed.DynamicBlock(true, overLiterals, {1});
  add("over-subscribed literal code", overSubscribed);

  std::vector<uint8_t> sparse(257, 0);
  sparse[65] = sparse[256] = 2;  // codes 00 and 01; 1x matches nothing
  DeflateWriter noMatch;
  noMatch.DynamicBlock(true, sparse, {1});
  noMatch.Literal(65);
  noMatch.out.Code(3, 2);
  add("bits matching no code", noMatch);

  DeflateWriter notFinal;
  notFinal.FixedBlock(false);
  notFinal.Literal(9);
  notFinal.EndBlock();
  add("input ends before the final block", notFinal);

  // The all-zero code is literal 0: past the end of the input the zero bits would decode
  // as literals for ever.
  std::vector<uint8_t> zeroLiteral(257, 0);
  zeroLiteral[0] = zeroLiteral[256] = 1;
  DeflateWriter endless;
  endless.DynamicBlock(true, zeroLiteral, {1});
  add("input ends inside a block whose zero code is a literal", endless);

  for (auto& [what, stream] : cases) {
    SCOPED_TRACE(what);
    // Drop the writer's 4-byte trailer where the stream must end early.
    if (what.rfind("input ends", 0) == 0) stream = Bytes(stream.begin(), stream.end() - 4);
    Inflated result = InflateStream(stream, 16);
    EXPECT_EQ(result.ok, 0);
    EXPECT_EQ(result.errorCode, PNG_ERR_BAD_DATA);
  }
  // A real stream cut short anywhere in its blocks fails the same way.
  Bytes data = StructuredBytes(20000, 12);
  Bytes stream = ZlibCompress(data);
  for (size_t keep = 2; keep + 4 < stream.size(); keep += 97) {
    SCOPED_TRACE(keep);
    Inflated result = InflateStream(Bytes(stream.begin(), stream.begin() + keep), data.size());
    EXPECT_EQ(result.ok, 0);
    EXPECT_EQ(result.errorCode, PNG_ERR_BAD_DATA);
  }
  // A large output buffer does not turn the endless zero-literal stream into a long decode.
  Inflated large = InflateStream(cases.back().second, 16 << 20);
  EXPECT_EQ(large.ok, 0);
}

TEST(PngBuildHuffmanTable, CanonicalLayoutAndOverSubscription) {
  // Lengths of RFC 1951's example: A-H = 3 3 3 3 3 2 4 4 -> F=00, A..E=010..110, G,H=1110,1111.
  const BYTE lengths[8] = {3, 3, 3, 3, 3, 2, 4, 4};
  WORD counts[16] = {0, 0, 1, 5, 2};
  PngHuffmanTable table;
  ASSERT_EQ(PngBuildHuffmanTable(&table, lengths, counts, 8, 15), 1);
  EXPECT_EQ(table.limit[1], 0);
  EXPECT_EQ(table.limit[2], 1);   // first code 00, one code
  EXPECT_EQ(table.limit[3], 7);   // first code 010, five codes
  EXPECT_EQ(table.limit[4], 16);  // first code 1110, two codes
  // Groups by length, each from the highest symbol down.
  const WORD symbols[8] = {5, 4, 3, 2, 1, 0, 7, 6};
  for (int i = 0; i < 8; i++) EXPECT_EQ(table.symbol[i], symbols[i]) << i;
  EXPECT_EQ(table.start[2], 0);
  EXPECT_EQ(table.start[3], 1);
  EXPECT_EQ(table.start[4], 6);

  const BYTE tooMany[3] = {1, 1, 1};
  WORD tooManyCounts[16] = {0, 3};
  EXPECT_EQ(PngBuildHuffmanTable(&table, tooMany, tooManyCounts, 3, 15), 0);
}

}  // namespace
