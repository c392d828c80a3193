// The XM loader on fixtures from our XM writer: the rejections, the model it builds (header,
// cells, blank patterns, instruments, samples and their loops), header-size seeks and files
// that end early.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/platform.h"
#include "player/channel.h"
#include "player/control.h"
#include "player/loader.h"
#include "player/mixer.h"
#include "player/model.h"
#include "player/source.h"
#include "tests/player/xm_writer.h"

namespace {

class LoaderTest : public ::testing::Test {
 protected:
  void TearDown() override {
    PlatHeapFailNone();
    ModStop();
  }
  BOOL Load(const std::vector<uint8_t>& bytes) {
    file = bytes;
    return ModLoadFromMemory(file.data(), (DWORD)file.size());
  }
  BOOL Load(const XmModule& m) { return Load(XmWrite(m)); }
  std::vector<uint8_t> file;
};

XmSample Sample8(std::vector<int32_t> values) {
  XmSample s;
  s.values = std::move(values);
  return s;
}

// A module with one instrument holding `samples`.
XmModule WithSamples(std::vector<XmSample> samples) {
  XmModule m;
  XmInstrument ins;
  ins.samples = std::move(samples);
  m.instruments.push_back(ins);
  return m;
}

const ModSample* LoadedSample(int instrument, int slot) {
  return modSong.instruments[instrument].samples[slot];
}

std::vector<int16_t> Data(const ModSample* s, uint32_t count) {
  return std::vector<int16_t>(s->data, s->data + count);
}

TEST(SourceTest, ReadsPastTheEndAndSeeksOutsideTheData) {
  const uint8_t bytes[6] = {1, 2, 3, 4, 5, 6};
  ModSourceOpenMemory(bytes, 6);
  uint8_t out[4] = {9, 9, 9, 9};
  EXPECT_EQ(ModSourceRead(out, 4), 4);
  EXPECT_EQ(ModSourceRead(out, 4), 2);  // copies what remains, moves by the full count
  EXPECT_EQ(modSource.position, 8);
  EXPECT_EQ(out[0], 5);
  EXPECT_EQ(out[2], 3);  // not copied: kept
  EXPECT_EQ(ModSourceRead(out, 1), 0);
  EXPECT_EQ(modSource.position, 8);  // nothing left: the position stays
  ModSourceSeek(-3, TRUE);
  EXPECT_EQ(modSource.position, 5);
  ModSourceSeek(7, FALSE);  // past the end: ignored
  EXPECT_EQ(modSource.position, 5);
  ModSourceSeek(-6, TRUE);  // before the start: ignored
  EXPECT_EQ(modSource.position, 5);
  ModSourceSeek(6, FALSE);  // the end itself is allowed
  EXPECT_EQ(modSource.position, 6);
}

TEST_F(LoaderTest, RejectsExactlyTheEightCases) {
  struct Case {
    const char* name;
    void (*spoil)(XmModule&);
    ModError error;
  };
  const Case cases[] = {
      {"no patterns", [](XmModule& m) { m.rawPatternCount = 0; }, MOD_ERR_NO_PATTERNS},
      {"song length 0", [](XmModule& m) { m.rawSongLength = 0; }, MOD_ERR_SONG_LENGTH},
      {"song length 257", [](XmModule& m) { m.rawSongLength = 257; }, MOD_ERR_SONG_LENGTH},
      {"0 channels", [](XmModule& m) { m.channels = 0x100; }, MOD_ERR_CHANNEL_COUNT},
      {"65 channels", [](XmModule& m) { m.channels = 65; }, MOD_ERR_CHANNEL_COUNT},
      {"0 rows with data", [](XmModule& m) { m.patterns[0].rows = 0, m.patterns[0].rawData = {{0x80}}; },
       MOD_ERR_ROW_COUNT},
      {"257 rows", [](XmModule& m) { m.patterns[0].rows = 257; }, MOD_ERR_ROW_COUNT},
      {"17 samples",
       [](XmModule& m) { m.instruments.push_back(XmSingleSampleInstrument(Sample8({1}))), m.instruments[0].rawSampleCount = 17; },
       MOD_ERR_TOO_MANY_SAMPLES},
      {"sample header of 41 bytes",
       [](XmModule& m) { m.instruments.push_back(XmSingleSampleInstrument(Sample8({1}))), m.instruments[0].sampleHeaderSize = 41; },
       MOD_ERR_SAMPLE_HEADER_SIZE},
      {"sample of 2^22 values",
       [](XmModule& m) { m.instruments.push_back(XmSingleSampleInstrument(Sample8({1}))), m.instruments[0].samples[0].rawLength = 1u << 22; },
       MOD_ERR_SAMPLE_TOO_LONG},
      {"16-bit sample of 2^22 values",
       [](XmModule& m) {
         XmSample s;
         s.is16Bit = true, s.rawLength = 1u << 23;
         m.instruments.push_back(XmSingleSampleInstrument(s));
       },
       MOD_ERR_SAMPLE_TOO_LONG},
  };
  for (const Case& c : cases) {
    XmModule m;
    c.spoil(m);
    EXPECT_FALSE(Load(m)) << c.name;
    EXPECT_EQ(modLoadError, c.error) << c.name;
    EXPECT_EQ(modPlayer.lastError, c.error) << c.name;
    EXPECT_EQ(modPlayer.heap, nullptr) << c.name;
  }
}

TEST_F(LoaderTest, AcceptsTheLimits) {
  XmModule m;
  m.channels = 64;
  m.orders.assign(256, 0);
  m.patterns[0].rows = 256;
  XmInstrument ins;
  ins.samples.assign(16, Sample8({1, 2}));
  ins.samples[0].rawLength = (1u << 22) - 1;  // the data ends early; the sample still loads
  m.instruments.push_back(ins);
  ASSERT_TRUE(Load(m));
  EXPECT_EQ(modSong.songLength, 256);
  EXPECT_EQ(modSong.channelCount, 64);
  EXPECT_EQ(modSong.patterns[0].rows, 256);
  EXPECT_EQ(LoadedSample(0, 0)->length, (1u << 22) - 1);
}

TEST_F(LoaderTest, OutOfMemoryAtEveryAllocationRejectsTheModule) {
  XmModule m = WithSamples({Sample8({1, 2, 3})});
  m.patterns.push_back(XmPattern{});
  // The heap itself, then the tables, two patterns' cells and one sample fail in turn.
  for (unsigned successes = 0; successes < 5; successes++) {
    PlatHeapFailAfter(successes, 1);
    EXPECT_FALSE(Load(m)) << successes;
    EXPECT_EQ(modPlayer.lastError, successes ? MOD_ERR_OUT_OF_MEMORY : MOD_ERR_HEAP) << successes;
    EXPECT_EQ(PlatLivePrivateHeaps(), 0u) << successes;
    PlatHeapFailNone();
  }
  EXPECT_TRUE(Load(m));
}

TEST_F(LoaderTest, HeaderFieldsAndSongClock) {
  XmModule m;
  m.channels = 0x0203;  // high byte goes to the global volume slide memory
  m.flags = 1;
  m.tempo = 5;
  m.bpm = 150;
  m.restartPos = 1;
  m.orders = {0, 0, 0};
  XmInstrument empty;
  m.instruments = {empty, empty};
  ASSERT_TRUE(Load(m));
  EXPECT_EQ(modSong.songLength, 3);
  EXPECT_EQ(modSong.restartPos, 1);
  EXPECT_EQ(modSong.channelCount, 3);
  EXPECT_EQ(modSong.fileChannels, 3);
  EXPECT_EQ(modSong.globalVolSlideMem, 2);
  EXPECT_EQ(modSong.instrumentCount, 2);
  EXPECT_EQ(modSong.flags, 1);
  EXPECT_EQ(modSong.speed, 5);
  EXPECT_EQ(modSong.defaultBpm, 150);
  EXPECT_EQ(modSong.samplesPerTick, 800u);
  EXPECT_EQ(modSong.globalVolume, 64);
  EXPECT_EQ(modSong.tickSamplesLeft, 0u);
  EXPECT_EQ(modSong.tick, 0);
  EXPECT_EQ(modSong.rowExtraTicks, 0);
  EXPECT_EQ(modSong.nextOrder, 0);
  EXPECT_EQ(modSong.nextRow, 0);
}

TEST_F(LoaderTest, ChannelsPointAtTheFirstOfTheirTwoVoices) {
  XmModule m;
  m.channels = 5;
  ASSERT_TRUE(Load(m));
  for (int i = 0; i < 5; i++) {
    EXPECT_EQ(modSong.channels[i].voice, &modSong.voices[2 * i]);
    EXPECT_EQ(modSong.voices[2 * i].stepInt, 1u);
    EXPECT_EQ(modSong.voices[2 * i + 1].stepInt, 0u);
    EXPECT_EQ(modSong.voices[2 * i].sample, nullptr);
  }
  // One block, in the order voices, channels, patterns, instruments.
  EXPECT_LE((void*)(modSong.voices + 10), (void*)modSong.channels);
  EXPECT_LE((void*)(modSong.channels + 5), (void*)modSong.patterns);
  EXPECT_LE((void*)(modSong.patterns + 1), (void*)modSong.instruments);
}

TEST_F(LoaderTest, DecodesPackedAndPlainCells) {
  XmModule m;
  m.channels = 4;
  m.rawInstrumentCount = 3;  // the file ends with the pattern
  // Row 0: 0x80 alone (empty), 0x9F with all five fields, 0x05 plain (note 5 + four bytes),
  // and 0x8A (instrument and effect only).
  m.patterns[0].rows = 2;
  m.patterns[0].rawData = std::vector<uint8_t>{0x80, 0x9F, 49, 2, 0x40, 0x0F, 0x06, 0x05, 3, 0x10, 0x0C, 0x20,
                                               0x8A, 1, 0x0A};
  ASSERT_TRUE(Load(m));
  const ModCell* c = modSong.patterns[0].cells;
  auto same = [](const ModCell& a, ModCell b) { return memcmp(&a, &b, sizeof a) == 0; };
  EXPECT_TRUE(same(c[0], ModCell{0, 0, 0, 0, 0}));
  EXPECT_TRUE(same(c[1], ModCell{49, 2, 0x40, 0x0F, 0x06}));
  EXPECT_TRUE(same(c[2], ModCell{5, 3, 0x10, 0x0C, 0x20}));
  EXPECT_TRUE(same(c[3], ModCell{0, 1, 0, 0x0A, 0}));
  // Row 1 lies beyond the data: its cells stay empty.
  for (int i = 4; i < 8; i++) EXPECT_TRUE(same(c[i], ModCell{})) << i;
}

TEST_F(LoaderTest, InstrumentNumbersAboveTheCountBecomeZero) {
  XmModule m;
  m.channels = 2;
  m.instruments.assign(2, XmInstrument{});
  m.patterns[0].cells = {XmNote(1, 2), XmNote(1, 3)};
  ASSERT_TRUE(Load(m));
  EXPECT_EQ(modSong.patterns[0].cells[0].instrument, 2);
  EXPECT_EQ(modSong.patterns[0].cells[1].instrument, 0);
  EXPECT_EQ(modSong.patterns[0].cells[1].note, 1);
}

TEST_F(LoaderTest, OrderListBeyondTheStoredPatternsGetsBlankPatterns) {
  XmModule m;
  m.channels = 2;
  m.orders = {0, 20, 1};
  m.patterns.assign(18, XmPattern{});
  m.patterns[17].rows = 3;
  ASSERT_TRUE(Load(m));
  EXPECT_EQ(modSong.patternCount, 21);
  EXPECT_EQ(modSong.patterns[17].rows, 3);
  for (int p = 18; p <= 20; p++) {
    EXPECT_EQ(modSong.patterns[p].rows, 64) << p;
    EXPECT_EQ(modSong.patterns[p].packedSize, 0) << p;
    ASSERT_NE(modSong.patterns[p].cells, nullptr) << p;
    EXPECT_EQ(modSong.patterns[p].cells[64 * 2 - 1].note, 0) << p;
  }
}

TEST_F(LoaderTest, PatternWithoutDataIsBlankWithItsOwnRowCount) {
  XmModule m;
  m.patterns.assign(3, XmPattern{});
  m.orders = {0, 1, 2};
  m.patterns[0].storeData = false;
  m.patterns[0].rows = 300;  // not checked without data
  m.patterns[1].storeData = false;
  m.patterns[1].rows = 0;
  m.patterns[2].cells = {XmNote(30, 0)};
  ASSERT_TRUE(Load(m));
  EXPECT_EQ(modSong.patterns[0].rows, 300);
  EXPECT_EQ(modSong.patterns[0].cells[300 * 4 - 1].note, 0);
  EXPECT_EQ(modSong.patterns[1].rows, 0);
  EXPECT_EQ(modSong.patterns[2].cells[0].note, 30);  // the next pattern is read where it starts
}

TEST_F(LoaderTest, RowsAPatternDoesNotHaveReadAsEmpty) {
  XmModule m;
  m.patterns.assign(2, XmPattern{});
  m.patterns[0].storeData = false;
  m.patterns[0].rows = 0;
  m.patterns[1].rows = 2;
  m.patterns[1].cells.assign(8, XmNote(12, 0));
  ASSERT_TRUE(Load(m));
  const ModCell* empty = ModPatternRow(&modSong.patterns[0], 0);
  for (int i = 0; i < 4; i++) EXPECT_EQ(empty[i].note, 0);
  EXPECT_EQ(ModPatternRow(&modSong.patterns[1], 1), modSong.patterns[1].cells + 4);
  EXPECT_EQ(ModPatternRow(&modSong.patterns[1], 1)[3].note, 12);
  EXPECT_EQ(ModPatternRow(&modSong.patterns[1], 2)[0].note, 0);
}

TEST_F(LoaderTest, ModuleWithoutInstrumentsHasOneEmptyInstrumentRecord) {
  XmModule m;
  m.patterns[0].cells = {XmNote(49, 1)};
  ASSERT_TRUE(Load(m));
  EXPECT_EQ(modSong.instrumentCount, 0);
  EXPECT_EQ(modSong.patterns[0].cells[0].instrument, 0);
  EXPECT_EQ(ModInstrumentSample(&modSong.instruments[0], 48), &ModSilentSample);
}

TEST_F(LoaderTest, InstrumentFieldsEnvelopesAndKeymap) {
  XmInstrument ins;
  ins.samples = {Sample8({1}), Sample8({2})};
  ins.keymap[48] = 1;
  ins.keymap[50] = 16;
  ins.volEnv.points = {{0, 64}, {10, 32}, {20, 0}};
  ins.volEnv.sustain = 1, ins.volEnv.loopStart = 0, ins.volEnv.loopEnd = 2, ins.volEnv.flags = 7;
  ins.panEnv.points = {{0, 32}};
  ins.panEnv.flags = 1;  // one point: switched off
  ins.vibType = 1, ins.vibSweep = 2, ins.vibDepth = 3, ins.vibRate = 4;
  ins.fadeout = 0x9000;  // doubled in 16 bits
  XmModule m;
  m.instruments.push_back(ins);
  ASSERT_TRUE(Load(m));
  const ModInstrument& r = modSong.instruments[0];
  EXPECT_EQ(r.volEnvPoints, 3);
  EXPECT_EQ(r.volEnv[1].tick, 10);
  EXPECT_EQ(r.volEnv[1].value, 32);
  EXPECT_EQ(r.volSustain, 1);
  EXPECT_EQ(r.volLoopEnd, 2);
  EXPECT_EQ(r.volEnvFlags, 7);
  EXPECT_EQ(r.panEnvFlags, 0);
  EXPECT_EQ(r.vibType, 1);
  EXPECT_EQ(r.vibSweep, 2);
  EXPECT_EQ(r.vibDepth, 3);
  EXPECT_EQ(r.vibRate, 4);
  EXPECT_EQ(r.fadeout, 0x2000);
  EXPECT_EQ(ModInstrumentSample(&r, 48), r.samples[1]);
  EXPECT_EQ(ModInstrumentSample(&r, 0), r.samples[0]);
  EXPECT_EQ(ModInstrumentSample(&r, 50), &ModSilentSample);  // keymap value 16
  EXPECT_EQ(r.samples[2], nullptr);
}

TEST_F(LoaderTest, PointCountsAndEnvelopePointsAreTakenAsTheyAre) {
  XmInstrument ins = XmSingleSampleInstrument(Sample8({1}));
  ins.volEnv.points = {{0, 64}, {5, 0}};
  ins.volEnv.rawPointCount = 200;
  ins.volEnv.sustain = 40;
  ins.volEnv.flags = 3;
  XmModule m;
  m.instruments.push_back(ins);
  ASSERT_TRUE(Load(m));
  EXPECT_EQ(modSong.instruments[0].volEnvPoints, 200);
  EXPECT_EQ(modSong.instruments[0].volSustain, 40);
  EXPECT_EQ(modSong.instruments[0].volEnvFlags, 3);
}

// The next instrument header starts header-size bytes after the start of the previous one,
// whatever the size: 263 with samples skips 22 bytes, 29 without samples seeks 4 back.
TEST_F(LoaderTest, InstrumentHeaderSizesPlaceTheNextHeader) {
  XmModule m;
  XmInstrument small;
  small.headerSize = 29;
  XmInstrument exact;
  exact.headerSize = 33;
  XmInstrument large = XmSingleSampleInstrument(Sample8({5, 6}));
  large.headerSize = 300;
  XmInstrument last = XmSingleSampleInstrument(Sample8({7}));
  last.samples[0].volume = 33;
  m.instruments = {small, exact, large, small, XmSingleSampleInstrument(Sample8({9, 10, 11})), last};
  ASSERT_TRUE(Load(m));
  EXPECT_EQ(LoadedSample(2, 0)->length, 2u);
  EXPECT_EQ(LoadedSample(2, 0)->data[1], 6 << 8);
  EXPECT_EQ(LoadedSample(4, 0)->length, 3u);
  EXPECT_EQ(LoadedSample(4, 0)->data[2], 11 << 8);
  EXPECT_EQ(LoadedSample(5, 0)->volume, 33);
  EXPECT_EQ(LoadedSample(5, 0)->data[0], 7 << 8);
}

TEST_F(LoaderTest, ShortSampleHeadersAreReadAtTheirOwnSize) {
  XmInstrument ins;
  ins.samples = {Sample8({1, 2}), Sample8({3, 4, 5})};
  ins.samples[1].volume = 20;
  ins.sampleHeaderSize = 18;  // everything but the name
  XmModule m;
  m.instruments.push_back(ins);
  ASSERT_TRUE(Load(m));
  EXPECT_EQ(LoadedSample(0, 1)->length, 3u);
  EXPECT_EQ(LoadedSample(0, 1)->volume, 20);
  EXPECT_EQ(Data(LoadedSample(0, 1), 3), (std::vector<int16_t>{3 << 8, 4 << 8, 5 << 8}));
}

TEST_F(LoaderTest, SampleHeaderFields) {
  XmSample s = Sample8({1});
  s.volume = 48, s.finetune = -16, s.panning = 200, s.relativeNote = -12;
  ASSERT_TRUE(Load(WithSamples({s})));
  const ModSample* r = LoadedSample(0, 0);
  EXPECT_EQ(r->volume, 48);
  EXPECT_EQ(r->finetune, -16);
  EXPECT_EQ(r->panning, 200);
  EXPECT_EQ(r->relativeNote, -12);
  EXPECT_EQ(r->is16Bit, 0);
  EXPECT_EQ(r->packing, 0);
}

TEST_F(LoaderTest, DeltaDecoding8And16Bit) {
  XmSample s8;
  s8.rawData = std::vector<uint8_t>{0x10, 0x10, 0xF0};
  s8.rawLength = 3;
  XmSample s16;
  s16.is16Bit = true;
  s16.values = {1000, -32768, 32767, 0};
  ASSERT_TRUE(Load(WithSamples({s8, s16})));
  EXPECT_EQ(Data(LoadedSample(0, 0), 6), (std::vector<int16_t>{0x1000, 0x2000, 0x1000, 0, 0, 0}));
  EXPECT_EQ(Data(LoadedSample(0, 1), 7), (std::vector<int16_t>{1000, -32768, 32767, 0, 0, 0, 0}));
  EXPECT_EQ(LoadedSample(0, 1)->is16Bit, 1);
}

TEST_F(LoaderTest, SixteenBitSampleWithAnOddByteCount) {
  XmSample odd;
  odd.is16Bit = true;
  odd.values.assign(500, 0);
  odd.values[499] = 77;
  odd.rawLength = 1001;
  XmSample next = Sample8({-5});
  ASSERT_TRUE(Load(WithSamples({odd, next})));
  EXPECT_EQ(LoadedSample(0, 0)->length, 500u);
  EXPECT_EQ(LoadedSample(0, 0)->data[499], 77);
  // 1000 bytes were read for it, so the next sample's data starts right after them.
  EXPECT_EQ(LoadedSample(0, 1)->data[0], (int16_t)(uint16_t)(0xFB << 8));
}

TEST_F(LoaderTest, Adpcm4BitDeltas) {
  std::vector<uint8_t> packed;
  int8_t table[16] = {0, 1, 2, 4, 8, 16, 32, 64, -1, -2, -4, -8, -16, -32, -64, -128};
  packed.insert(packed.end(), (uint8_t*)table, (uint8_t*)table + 16);
  packed.insert(packed.end(), {0x21, 0x98, 0x0F});
  XmSample odd;
  odd.packing = XM_PACKING_ADPCM;
  odd.rawLength = 5;
  odd.rawData = packed;
  XmSample tiny;
  tiny.packing = XM_PACKING_ADPCM;
  tiny.rawLength = 1;
  tiny.rawData = std::vector<uint8_t>(16, 0);
  tiny.rawData->at(3) = 4;
  tiny.rawData->at(5) = 16;
  tiny.rawData->push_back(0x53);
  XmSample after = Sample8({3});
  ASSERT_TRUE(Load(WithSamples({odd, tiny, after})));
  // Byte 0x21: +table[1] = 1, then +table[2] = 3. Byte 0x98: +table[8] = 2, +table[9] = 0.
  // Byte 0x0F: +table[15] = -128, +table[0] = -128, which for the odd length lands in data[5].
  auto v = [](int x) { return (int16_t)(uint16_t)((uint8_t)x << 8); };
  EXPECT_EQ(Data(LoadedSample(0, 0), 8), (std::vector<int16_t>{v(1), v(3), v(2), v(0), v(-128), v(-128), 0, 0}));
  // Length 1: one byte, values 4 (low nibble 3) then 20 (high nibble 5) behind the length.
  EXPECT_EQ(Data(LoadedSample(0, 1), 4), (std::vector<int16_t>{v(4), v(20), 0, 0}));
  EXPECT_EQ(LoadedSample(0, 2)->data[0], v(3));
}

TEST_F(LoaderTest, AdpcmEvenLengthLeavesNothingBehindTheValues) {
  std::vector<uint8_t> packed(16, 0x11);  // every table entry is 17
  packed.insert(packed.end(), {0xFF, 0xFF, 0xFF});
  XmSample s;
  s.packing = XM_PACKING_ADPCM;
  s.rawLength = 6;
  s.rawData = packed;
  ASSERT_TRUE(Load(WithSamples({s})));
  auto v = [](int x) { return (int16_t)(uint16_t)((uint8_t)x << 8); };
  EXPECT_EQ(Data(LoadedSample(0, 0), 9), (std::vector<int16_t>{v(17), v(34), v(51), v(68), v(85), v(102), 0, 0, 0}));
}

TEST_F(LoaderTest, LoopClampsAndLoopTypes) {
  struct Case {
    uint32_t length, loopStart, loopLength;
    uint8_t type;
    uint32_t wantStart, wantLength;
    uint8_t wantType;
  };
  const Case cases[] = {
      {500, 100, 1000, 1, 100, 400, 1},  // loop end clamped to the length
      {500, 100, 50, 2, 100, 50, 2},
      {500, 600, 10, 1, 0, 500, 0},   // start at the end: the loop clamps to 0 values
      {500, 100, 50, 0, 0, 500, 0},   // no loop type
      {500, 100, 0, 1, 0, 500, 0},    // empty loop
      {500, 100, 50, 3, 100, 50, 3},  // type 3 stays
      {0, 0, 0, 1, 0, 0, 0},
      // Values of 2^31 or more pass the signed clamps; the loop would lie beyond the sample.
      {500, 0x80000000u, 10, 1, 0, 500, 0},
      {500, 5, 0xFFFFFFF0u, 2, 0, 500, 0},  // the 32-bit end wraps below the length
  };
  for (const Case& c : cases) {
    XmSample s;
    s.values.assign(c.length, 1);
    s.loopStart = c.loopStart, s.loopLength = c.loopLength, s.loopType = c.type;
    ASSERT_TRUE(Load(WithSamples({s}))) << c.loopStart;
    const ModSample* r = LoadedSample(0, 0);
    EXPECT_EQ(r->loopStart, c.wantStart) << c.length << " " << c.loopStart << " " << c.loopLength;
    EXPECT_EQ(r->loopLength, c.wantLength) << c.length << " " << c.loopStart << " " << c.loopLength;
    EXPECT_EQ(r->loopType, c.wantType) << c.length << " " << c.loopStart << " " << c.loopLength;
  }
}

TEST_F(LoaderTest, SixteenBitLoopsAreHalvedToValues) {
  XmSample s;
  s.is16Bit = true;
  s.values.assign(100, 1);
  s.rawLoopStart = 21;  // 10 values
  s.rawLoopLength = 61;  // 30 values
  s.loopType = 1;
  ASSERT_TRUE(Load(WithSamples({s})));
  EXPECT_EQ(LoadedSample(0, 0)->loopStart, 10u);
  EXPECT_EQ(LoadedSample(0, 0)->loopLength, 30u);
}

// Loop values of 2^31 or more in an 8-bit sample pass the signed clamps; the loop would lie
// outside the sample, so it is dropped.
TEST_F(LoaderTest, LoopLeftOutsideTheSampleBySignedClampsIsDropped) {
  const uint32_t starts[] = {0x80000000u, 0xFFFFFFF0u, 10};
  const uint32_t lengths[] = {0, 8, 0xFFFFFFFFu};
  for (int i = 0; i < 3; i++) {
    XmSample s;
    s.values.assign(100, 3);
    s.rawLoopStart = starts[i];
    s.rawLoopLength = lengths[i];
    s.loopType = 1;
    ASSERT_TRUE(Load(WithSamples({s}))) << i;
    const ModSample* r = LoadedSample(0, 0);
    EXPECT_EQ(r->loopType, XM_LOOP_NONE) << i;
    EXPECT_EQ(r->loopStart, 0u) << i;
    EXPECT_EQ(r->loopLength, 100u) << i;
    EXPECT_EQ(r->data[100], 0) << i;
  }
}

TEST_F(LoaderTest, ValueBehindTheLoopEnd) {
  std::vector<int32_t> values;
  for (int i = 0; i < 34; i++) values.push_back(i - 17);
  XmSample forward = Sample8(values);
  forward.loopStart = 8, forward.loopLength = 26, forward.loopType = 1;
  XmSample pingpong = forward;
  pingpong.loopType = 2;
  XmSample inner = forward;
  inner.loopLength = 10;  // loop end 18 inside the sample
  XmSample none = Sample8(values);
  ASSERT_TRUE(Load(WithSamples({forward, pingpong, inner, none})));
  EXPECT_EQ(LoadedSample(0, 0)->data[34], LoadedSample(0, 0)->data[8]);
  EXPECT_EQ(LoadedSample(0, 1)->data[34], LoadedSample(0, 1)->data[33]);
  EXPECT_EQ(LoadedSample(0, 2)->data[18], LoadedSample(0, 2)->data[8]);
  EXPECT_EQ(LoadedSample(0, 2)->data[34], 0);
  EXPECT_EQ(Data(LoadedSample(0, 3), 37)[34], 0);
  EXPECT_EQ(Data(LoadedSample(0, 3), 37)[36], 0);
}

// The example of a real module's shape: 26 channels, 18 patterns, 15 orders, 20
// instruments of which 8 have no samples and a 33-byte header.
TEST_F(LoaderTest, ModuleWithInstrumentsWithoutSamples) {
  XmModule m;
  m.channels = 26;
  m.orders.clear();
  for (int i = 0; i < 15; i++) m.orders.push_back((uint8_t)(i % 18));
  m.patterns.assign(18, XmPattern{});
  for (int p = 0; p < 18; p++) {
    m.patterns[p].rows = 16;
    m.patterns[p].cells = {XmNote((uint8_t)(p + 1), (uint8_t)(p + 1))};
  }
  for (int i = 0; i < 20; i++) {
    if (i % 5 == 1 || i % 5 == 3) {
      XmInstrument empty;
      empty.headerSize = 33;
      m.instruments.push_back(empty);
    } else {
      XmSample s = Sample8({i, i + 1, i + 2, i + 3});
      if (i % 2) s.loopStart = 1, s.loopLength = 2, s.loopType = 1;
      m.instruments.push_back(XmSingleSampleInstrument(s));
    }
  }
  ASSERT_TRUE(Load(m));
  EXPECT_EQ(modSong.patternCount, 18);
  EXPECT_EQ(modSong.patterns[17].cells[0].note, 18);
  EXPECT_EQ(modSong.patterns[17].cells[0].instrument, 18);
  for (int i = 0; i < 20; i++) {
    const ModSample* s = LoadedSample(i, 0);
    if (i % 5 == 1 || i % 5 == 3) {
      EXPECT_EQ(s, nullptr) << i;
      continue;
    }
    ASSERT_NE(s, nullptr) << i;
    EXPECT_EQ(s->data[2], (int16_t)((i + 2) << 8)) << i;
    EXPECT_EQ(s->loopType, i % 2 ? 1 : 0) << i;
  }
}

TEST_F(LoaderTest, FileEndingInsideSampleDataHoldsTheLastValue) {
  XmSample s8 = Sample8({10, 20, 30, 40, 50, 60});
  std::vector<uint8_t> bytes = XmWrite(WithSamples({s8}));
  bytes.resize(bytes.size() - 3);
  ASSERT_TRUE(Load(bytes));
  EXPECT_EQ(Data(LoadedSample(0, 0), 7),
            (std::vector<int16_t>{10 << 8, 20 << 8, 30 << 8, 30 << 8, 30 << 8, 30 << 8, 0}));

  XmSample s16;
  s16.is16Bit = true;
  s16.values = {-300, 400, 500};
  bytes = XmWrite(WithSamples({s16}));
  bytes.resize(bytes.size() - 3);  // half of the second value's bytes remain
  ASSERT_TRUE(Load(bytes));
  int16_t second = (int16_t)(-300 + (uint8_t)(700 & 0xFF));
  EXPECT_EQ(Data(LoadedSample(0, 0), 3), (std::vector<int16_t>{-300, second, second}));
}

TEST_F(LoaderTest, TruncatedFilesLoadOrRejectWithoutReadingOutside) {
  XmModule m;
  m.channels = 3;
  m.orders = {0, 1};
  m.patterns.assign(2, XmPattern{});
  m.patterns[1].cells = {XmNote(1, 1, 0x40, 0x0C, 0x20), XmNote(2, 1)};
  XmInstrument ins = XmSingleSampleInstrument(Sample8({1, 2, 3, 4, 5}));
  ins.volEnv.points = {{0, 1}, {4, 2}};
  m.instruments = {ins, XmSingleSampleInstrument(Sample8({9, 9}))};
  std::vector<uint8_t> full = XmWrite(m);
  for (size_t size = 0; size < full.size(); size++) {
    std::vector<uint8_t> cut(full.begin(), full.begin() + size);
    BOOL loaded = Load(cut);
    // Without the low byte of the pattern count (offset 70) the file stores no pattern.
    EXPECT_EQ(loaded, size >= 71) << size;
  }
}

TEST_F(LoaderTest, FileEndingInsideAnInstrumentHeaderKeepsTheInstrumentsBefore) {
  XmModule m = WithSamples({Sample8({4, 5})});
  m.instruments.push_back(XmSingleSampleInstrument(Sample8({6})));
  m.instruments.push_back(XmSingleSampleInstrument(Sample8({7})));
  std::vector<uint8_t> bytes = XmWrite(m);
  bytes.resize(bytes.size() - 1 - 40 - 263 + 20);  // 20 bytes of the third header remain
  ASSERT_TRUE(Load(bytes));
  EXPECT_EQ(LoadedSample(0, 0)->data[1], 5 << 8);
  EXPECT_EQ(LoadedSample(1, 0)->data[0], 6 << 8);
  EXPECT_EQ(LoadedSample(2, 0), nullptr);
}

TEST_F(LoaderTest, PatternDataEndingEarlyLeavesTheRestEmpty) {
  XmModule m;
  m.channels = 2;
  m.patterns[0].rows = 4;
  m.patterns[0].cells.assign(8, XmNote(60, 0, 0, 0, 0));
  std::vector<uint8_t> bytes = XmWrite(m);
  bytes.resize(bytes.size() - 2 * 3);  // three packed cells of two bytes each are missing
  ASSERT_TRUE(Load(bytes));
  for (int i = 0; i < 8; i++) EXPECT_EQ(modSong.patterns[0].cells[i].note, i < 5 ? 60 : 0) << i;
}

// A failed load of a file without a header, after a good load, does not see the earlier
// module's header values.
TEST_F(LoaderTest, EmptyFileAfterAGoodModuleIsRejected) {
  ASSERT_TRUE(Load(XmModule{}));
  EXPECT_FALSE(Load(std::vector<uint8_t>{}));
  EXPECT_EQ(modLoadError, MOD_ERR_NO_PATTERNS);
  EXPECT_EQ(modSong.patterns, nullptr);
}

TEST_F(LoaderTest, HeaderSizeMovesTheFirstPattern) {
  XmModule m;
  m.headerSize = 300;  // 24 bytes of padding after the order table
  m.patterns[0].cells = {XmNote(7, 0)};
  ASSERT_TRUE(Load(m));
  EXPECT_EQ(modSong.patterns[0].cells[0].note, 7);
}

TEST_F(LoaderTest, LoadedModuleMemoryIsInThePrivateHeap) {
  XmModule m = WithSamples({Sample8(std::vector<int32_t>(1000, 1))});
  ASSERT_TRUE(Load(m));
  // Tables, one pattern's cells and one sample.
  EXPECT_EQ(PlatHeapLiveBlocks(modPlayer.heap), 3u);
  EXPECT_GE(PlatHeapLiveBytes(modPlayer.heap), 64 * 4 * sizeof(ModCell) + 1003 * sizeof(int16_t));
  ModStop();
  EXPECT_EQ(PlatLivePrivateHeaps(), 0u);
}

}  // namespace
