// The chunk walk of PngLoadResource's header reading and the byte feed over IDAT chunks.
#include <gtest/gtest.h>

#include "tests/png/png_test_support.h"

namespace {

const Bytes kIend = PngChunk("IEND", {});
const Bytes kData = PngChunk("IDAT", ZlibCompress({0, 0}));

struct Walked {
  int ok;
  DWORD errorCode;
  PngDecoder decoder;
  ExactBytes bytes;
};

Walked Walk(const Bytes& file) {
  Walked w{0, 0, {}, ExactCopy(file)};
  w.ok = PngAttachBytes(&w.decoder, w.bytes);
  w.errorCode = w.decoder.errorCode;
  return w;
}

TEST(PngReadHeader, RejectsWhatIsNotAPngHeader) {
  Bytes good = PngFile({PngHeaderChunk(1, 1, 8, 0), kData, kIend});
  Bytes signature(good.begin(), good.begin() + 8);
  Bytes badSignature = good;
  badSignature[1] = 'Q';
  Bytes shortIhdr = PngFile({PngChunk("IHDR", {0, 0, 0, 1})});  // complete, but 13 bytes don't fit
  Bytes truncatedIhdr(good.begin(), good.begin() + 8 + 20);
  const struct {
    const char* what;
    Bytes file;
  } cases[] = {
      {"15 bytes", Bytes(good.begin(), good.begin() + 15)},
      {"16 bytes, no complete chunk", Bytes(good.begin(), good.begin() + 16)},
      {"wrong signature", badSignature},
      {"signature only and padding", [&] { Bytes b = signature; b.resize(40, 0); return b; }()},
      {"first chunk not IHDR", PngFile({PngChunk("PLTE", Bytes(13, 0)), PngHeaderChunk(1, 1, 8, 0)})},
      {"IHDR cut short", truncatedIhdr},
      {"IHDR data shorter than its 13 fields at the end of the file", shortIhdr},
      {"width 0", PngFile({PngHeaderChunk(0, 1, 8, 0), kData, kIend})},
      {"height 0", PngFile({PngHeaderChunk(1, 0, 8, 0), kData, kIend})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Walked w = Walk(c.file);
    EXPECT_EQ(w.ok, 0);
    EXPECT_EQ(w.errorCode, PNG_ERR_BAD_DATA);
  }
}

TEST(PngReadHeader, AcceptsExactlyTheFifteenKinds) {
  const std::pair<int, unsigned> accepted[] = {{0, 1},  {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8}, {2, 16}, {3, 1},
                                               {3, 2},  {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};
  for (int colour = 0; colour < 8; colour++) {
    for (unsigned depth = 0; depth <= 32; depth++) {
      bool expected = false;
      for (const auto& pair : accepted) expected |= pair.first == colour && pair.second == depth;
      Walked w = Walk(PngFile({PngHeaderChunk(3, 3, (uint8_t)depth, (uint8_t)colour), kData, kIend}));
      EXPECT_EQ(w.ok, expected ? 1 : 0) << colour << "/" << depth;
      EXPECT_EQ(w.errorCode, expected ? PNG_ERR_NONE : PNG_ERR_UNSUPPORTED) << colour << "/" << depth;
    }
  }
  const struct {
    const char* what;
    Bytes header;
  } methods[] = {
      {"interlace 2", PngHeaderChunk(3, 3, 8, 2, 2)},
      {"compression 1", PngHeaderChunk(3, 3, 8, 2, 0, 1)},
      {"filter 1", PngHeaderChunk(3, 3, 8, 2, 0, 0, 1)},
  };
  for (const auto& m : methods) {
    Walked w = Walk(PngFile({m.header, kData, kIend}));
    EXPECT_EQ(w.errorCode, PNG_ERR_UNSUPPORTED) << m.what;
  }
}

TEST(PngReadHeader, RecordsHeaderPaletteAndFirstDataChunk) {
  Bytes header = PngHeaderChunk(300, 2, 4, 3, 1);
  Bytes palette = PngChunk("PLTE", Bytes(100, 7));
  Bytes file = PngFile({header, PngChunk("tEXt", Bytes(5, 'a')), palette, PngChunk("PLTE", Bytes(6, 1)), kData,
                        PngChunk("IDAT", Bytes(3, 0)), kIend});
  Walked w = Walk(file);
  ASSERT_EQ(w.ok, 1);
  const BYTE* base = w.bytes.data.get();
  EXPECT_EQ(w.decoder.width, 300u);
  EXPECT_EQ(w.decoder.height, 2u);
  EXPECT_EQ(w.decoder.bitDepth, 4);
  EXPECT_EQ(w.decoder.colourType, 3);
  EXPECT_EQ(w.decoder.interlaceMethod, 1);
  EXPECT_EQ(w.decoder.headerData, base + 16);
  size_t paletteAt = 8 + header.size() + 12 + 5;
  EXPECT_EQ(w.decoder.paletteData, base + paletteAt + 8);
  EXPECT_EQ(w.decoder.paletteCount, 33u);  // 100 / 3; the second PLTE changes nothing
  EXPECT_EQ(w.decoder.firstDataChunk, base + paletteAt + palette.size() + 18);  // its length field
}

TEST(PngReadHeader, ChunkNamesAndTheEndOfTheWalk) {
  Bytes header = PngHeaderChunk(2, 2, 8, 0);
  Bytes whole = PngFile({header, PngChunk("PLTE", Bytes(6, 1)), kData, kIend});
  Bytes cut(whole.begin(), whole.end() - 14);  // ends inside the IDAT chunk
  Bytes lowerFirst = PngFile({PngHeaderChunk(2, 2, 8, 0), kData, kIend});
  lowerFirst[12] = 'i';  // "iHDR"
  const struct {
    const char* what;
    Bytes file;
    int ok;
    DWORD errorCode;
  } cases[] = {
      {"first chunk iHDR", lowerFirst, 1, PNG_ERR_NONE},
      {"ancillary chunks anywhere", PngFile({header, PngChunk("tRNS", {1}), kData, PngChunk("zzzz", {}), kIend}), 1,
       PNG_ERR_NONE},
      {"unknown critical chunk", PngFile({header, PngChunk("ABCD", {}), kData, kIend}), 0, PNG_ERR_UNSUPPORTED},
      {"unknown critical chunk after IEND", PngFile({header, kData, kIend, PngChunk("QQQQ", {})}), 0,
       PNG_ERR_UNSUPPORTED},
      {"file cut inside a chunk", cut, 1, PNG_ERR_NONE},
      {"no image data", PngFile({header, kIend}), 1, PNG_ERR_NONE},
      {"a length that would wrap the address space", PngFile({header, Bytes{0xFF, 0xFF, 0xFF, 0xF8, 'A', 'B', 'C', 'D'},
                                                               Bytes(8, 0)}),
       1, PNG_ERR_NONE},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Walked w = Walk(c.file);
    EXPECT_EQ(w.ok, c.ok);
    EXPECT_EQ(w.errorCode, c.errorCode);
  }
  Walked w = Walk(cut);
  EXPECT_NE(w.decoder.paletteData, nullptr);  // recorded before the cut
  EXPECT_EQ(w.decoder.firstDataChunk, nullptr);
}

// Sizes whose arithmetic would pass 32 bits are refused before anything is allocated.
TEST(PngReadHeader, RefusesImagesTooLargeFor32BitSizes) {
  const struct {
    uint32_t width, height;
    uint8_t depth, colour, interlace;
    int ok;
  } cases[] = {
      {0x80000000, 1, 1, 0, 0, 0},   // wider than a bitmap's signed width
      {0x7FFFFFFF, 1, 8, 2, 0, 0},   // one row alone passes 2^31 bytes
      {0x20000000, 1, 16, 6, 0, 0},  // 64 bits per pixel
      {65536, 65536, 8, 0, 0, 0},    // 4 GiB of image data
      {65536, 65536, 8, 0, 1, 0},
      {0xFFFFFFFF, 0xFFFFFFFF, 1, 0, 1, 0},
      {30000, 30000, 8, 0, 0, 1},  // large but within range
      {1, 0x1FFF0000, 1, 0, 1, 1},  // 4-byte bitmap rows: just under 2^31 bytes
      {1, 0x20000000, 1, 0, 1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
    Walked w = Walk(PngFile({PngHeaderChunk(c.width, c.height, c.depth, c.colour, c.interlace), kData, kIend}));
    EXPECT_EQ(w.ok, c.ok);
    EXPECT_EQ(w.errorCode, c.ok ? PNG_ERR_NONE : PNG_ERR_UNSUPPORTED);
  }
}

// Everything the feed delivers until it ends.
Bytes FeedAll(const PngDecoder& decoder) {
  PngFeed feed;
  PngStartFeed(&feed, &decoder);
  Bytes out;
  for (;;) {
    BYTE b = PngNextDataByte(&feed);
    if (!feed.next) break;
    out.push_back(b);
  }
  EXPECT_EQ(PngNextDataByte(&feed), 0);  // stays ended
  return out;
}

TEST(PngNextDataByte, ReadsConsecutiveDataChunksOnly) {
  Bytes header = PngHeaderChunk(2, 2, 8, 0);
  Bytes a = PngChunk("IDAT", {1, 2, 3}), empty = PngChunk("IDAT", {}), b = PngChunk("IDAT", {4, 5});
  Bytes runsPastWhole = PngFile({header, a, PngChunk("IDAT", {6, 7, 8, 9})});
  Bytes runsPast(runsPastWhole.begin(), runsPastWhole.end() - 6);
  Bytes typeCutOffWhole = PngFile({header, a, b});
  Bytes typeCutOff(typeCutOffWhole.begin(), typeCutOffWhole.end() - 4 - 2 - 6);  // b's CRC, data, half its type
  Bytes lowerFourth = PngFile({header, a, b, kIend});
  lowerFourth[8 + header.size() + a.size() + 7] = 't';  // "IDAt" after an IDAT
  const struct {
    const char* what;
    Bytes file;
    Bytes expected;
    bool walk;  // false: the walk would refuse it, so the feed starts from the first chunk
  } cases[] = {
      {"three chunks, one empty", PngFile({header, a, empty, b, kIend}), {1, 2, 3, 4, 5}, true},
      {"ancillary chunk between", PngFile({header, a, PngChunk("tEXt", {9}), b, kIend}), {1, 2, 3}, true},
      {"IEND between", PngFile({header, a, kIend, b}), {1, 2, 3}, true},
      {"no image data", PngFile({header, kIend}), {}, true},
      {"data runs past the end", runsPast, {1, 2, 3}, true},
      {"next chunk's fields cut off", typeCutOff, {1, 2, 3}, true},
      // The feed's type test ignores bit 5 of the fourth letter, not of the first.
      {"IDAt continues the stream", lowerFourth, {1, 2, 3, 4, 5}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ExactBytes bytes = ExactCopy(c.file);
    PngDecoder decoder;
    if (c.walk) {
      ASSERT_EQ(PngAttachBytes(&decoder, bytes), 1);
    } else {
      PngInit(&decoder);
      decoder.sourceData = bytes.data.get();
      decoder.sourceSize = (DWORD)bytes.size;
      decoder.firstDataChunk = bytes.data.get() + 8 + header.size();
    }
    EXPECT_TRUE(FeedAll(decoder) == c.expected);
  }
}

}  // namespace
