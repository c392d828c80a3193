// The song clock and the block conversion: tick lengths, ticks cut at block boundaries,
// rows, orders and the song's end, pattern delay and speed 0, the 16-bit rounding and
// clamps, and where a rendered block lands in the wave buffer.
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "platform/platform.h"
#include "player/control.h"
#include "player/model.h"
#include "player/render.h"
#include "tests/player/fixture_songs.h"
#include "tests/player/xm_writer.h"

// Counts the C++ allocations made while `countAllocations` is set. The replaced operators
// pair malloc with free, which the compiler cannot see through.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
static std::atomic<bool> countAllocations{false};
static std::atomic<int> allocations{0};
void* operator new(size_t size) {
  if (countAllocations) allocations++;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {

class RenderTest : public ::testing::Test {
 protected:
  void TearDown() override { ModStop(); }
  void Load(const XmModule& m) {
    file = XmWrite(m);
    ASSERT_TRUE(ModLoadFromMemory(file.data(), (DWORD)file.size()));
  }
  std::vector<uint8_t> file;
};

// An empty module of `orders` patterns of `rows` rows each.
XmModule EmptySong(uint16_t speed, uint16_t bpm, int orders = 1, uint16_t rows = 64) {
  XmModule m;
  m.tempo = speed;
  m.bpm = bpm;
  m.orders.clear();
  m.patterns.clear();
  for (int i = 0; i < orders; i++) {
    m.orders.push_back((uint8_t)i);
    XmPattern p;
    p.rows = rows;
    m.patterns.push_back(p);
  }
  return m;
}

TEST(BpmTest, TickLengthFromTempo) {
  const std::pair<uint32_t, uint32_t> cases[] = {
      {125, 960}, {32, 3750}, {255, 470}, {150, 800}, {1, 120000}, {0, 120000}, {65535, 1}};
  for (auto [bpm, frames] : cases) {
    ModSetBpm(bpm);
    EXPECT_EQ(modSong.samplesPerTick, frames) << bpm;
  }
}

TEST(ConversionTest, RoundsHalfUpInMagnitudeAndClamps) {
  const std::pair<int32_t, int16_t> cases[] = {
      {0, 0},          {4079, 0},          {4080, 1},          {12239, 1},
      {12240, 2},      {-4079, 0},         {-4080, -1},        {-12240, -2},
      {8160 * 100, 100}, {267374639, 32766}, {267374640, 32767}, {-267374640, -32767},
      {INT32_MAX, 32767}, {INT32_MIN, -32767},
  };
  for (auto [mix, sample] : cases) EXPECT_EQ(ModConvertSample(mix), sample) << mix;
}

// Tempo 125: 960 frames a tick, so the first block holds a whole tick and the first 64
// frames of the next; every tick is processed once, in the block where it begins.
TEST_F(RenderTest, TicksAreCutAtBlockBoundaries) {
  for (uint16_t bpm : {125, 32}) {
    Load(EmptySong(1, bpm));
    uint32_t frames = 120000 / bpm;
    for (uint32_t blocks = 1; blocks <= 12; blocks++) {
      ModRenderBlock();
      uint32_t ticks = (1024 * blocks + frames - 1) / frames;
      EXPECT_EQ(modSong.rowsPlayed, ticks) << bpm << " " << blocks;
      EXPECT_EQ(modSong.tickSamplesLeft, ticks * frames - 1024 * blocks) << bpm << " " << blocks;
    }
  }
}

TEST_F(RenderTest, RowsLastSpeedTicks) {
  Load(EmptySong(6, 125));
  for (uint32_t blocks = 1; blocks <= 40; blocks++) {
    ModRenderBlock();
    uint32_t ticks = (1024 * blocks + 959) / 960;
    EXPECT_EQ(modSong.row, (int32_t)((ticks - 1) / 6)) << blocks;
    EXPECT_EQ(modSong.tick, (int32_t)(ticks % 6)) << blocks;
  }
}

// The (order, row) of each row as it begins, over `rows` rows, one row per tick at tempo
// 32, which spans several blocks per tick.
std::vector<std::pair<int, int>> PlayedRows(int rows) {
  std::vector<std::pair<int, int>> played;
  while ((int)played.size() < rows) {
    uint32_t before = modSong.rowsPlayed;
    ModRenderBlock();
    if (modSong.rowsPlayed != before) played.push_back({modSong.orderPos, modSong.row});
  }
  return played;
}

TEST_F(RenderTest, SongEndContinuesAtTheRestartPosition) {
  struct Case {
    uint16_t restartPos;
    std::vector<std::pair<int, int>> rows;
  };
  const Case cases[] = {
      {1, {{0, 0}, {0, 1}, {1, 0}, {1, 1}, {2, 0}, {2, 1}, {1, 0}, {1, 1}, {2, 0}}},
      {3, {{0, 0}, {0, 1}, {1, 0}, {1, 1}, {2, 0}, {2, 1}, {0, 0}, {0, 1}, {1, 0}}},
  };
  for (const Case& c : cases) {
    XmModule m = EmptySong(1, 32, 3, 2);
    m.restartPos = c.restartPos;
    Load(m);
    EXPECT_EQ(PlayedRows(9), c.rows) << c.restartPos;
    EXPECT_EQ(modSong.songLoops, 1u) << c.restartPos;
  }
}

// A pattern break on the song's last row chooses the next position itself: D01 there goes
// to row 1 of order 0, not to the restart position's row 0.
TEST_F(RenderTest, PositionSetByARowStandsAtTheSongsEnd) {
  XmModule m = EmptySong(1, 32, 2, 2);
  m.restartPos = 1;
  m.patterns[1].cells.assign(8, XmCell{});
  m.patterns[1].cells[4] = XmNote(0, 0, 0, 0x0D, 0x01);
  Load(m);
  std::vector<std::pair<int, int>> want = {{0, 0}, {0, 1}, {1, 0}, {1, 1}, {0, 1}, {1, 0}};
  EXPECT_EQ(PlayedRows(6), want);
}

// A 0-row pattern plays one empty row; a pattern break to a row past a pattern's end plays
// that row as empty cells and goes on with the next order; notes in a module without
// instruments play nothing. None of it reads outside the model (the sanitizers watch).
TEST_F(RenderTest, RowsOutsideThePatternsAndNoInstrumentsPlaySilence) {
  XmModule m = EmptySong(1, 32, 2, 2);
  m.patterns[0].storeData = false;
  m.patterns[0].rows = 0;
  m.patterns[1].cells = {XmNote(49, 1, 0x40), XmNote(50, 0, 0, 0x0D, 0x05), XmNote(51, 1, 0, 0x03, 0x10)};
  Load(m);
  std::vector<std::pair<int, int>> want = {{0, 0}, {1, 0}, {0, 5}, {1, 0}, {0, 5}, {1, 0}};
  EXPECT_EQ(PlayedRows(6), want);
  for (int32_t v : modPlayer.mixBuffer) ASSERT_EQ(v, 0);
  // The 19 blocks rendered filled the whole wave buffer, the rows with notes included.
  for (uint8_t byte : modPlayer.waveBuffer) ASSERT_EQ(byte, 0);
}

TEST_F(RenderTest, OrdersPlayTheirOwnPatternsRowCounts) {
  XmModule m = EmptySong(1, 32, 2, 1);
  m.patterns[1].rows = 3;
  m.orders = {1, 0, 1};
  Load(m);
  std::vector<std::pair<int, int>> want = {{0, 0}, {0, 1}, {0, 2}, {1, 0}, {2, 0}, {2, 1}, {2, 2}, {0, 0}};
  EXPECT_EQ(PlayedRows(8), want);
}

// The pattern delay adds ticks to the row in which it is set; speed 6 and 12 extra ticks
// make a row of 18 ticks, after which the row lasts 6 ticks again.
TEST_F(RenderTest, ExtraTicksLengthenOnlyTheCurrentRow) {
  Load(EmptySong(6, 32));
  ModRenderBlock();  // row 0, tick 0 begins
  ASSERT_EQ(modSong.rowsPlayed, 1u);
  modSong.rowExtraTicks = 12;
  int ticks = 1;
  while (modSong.rowsPlayed == 1) {
    int before = modSong.tick;
    ModRenderBlock();
    if (modSong.tick != before) ticks++;
  }
  EXPECT_EQ(ticks, 19);  // the 19th tick begins row 1
  EXPECT_EQ(modSong.rowExtraTicks, 0);
  int rowOneTicks = 1;
  while (modSong.rowsPlayed == 2) {
    int before = modSong.tick;
    ModRenderBlock();
    if (modSong.tick != before) rowOneTicks++;
  }
  EXPECT_EQ(rowOneTicks, 7);
}

TEST_F(RenderTest, SpeedZeroMakesEveryTickARowTick) {
  Load(EmptySong(0, 125));
  for (uint32_t blocks = 1; blocks <= 5; blocks++) {
    ModRenderBlock();
    EXPECT_EQ(modSong.rowsPlayed, (1024 * blocks + 959) / 960) << blocks;
    EXPECT_EQ(modSong.tick, 0) << blocks;
  }
}

// After a block, the wave buffer's block holds the mix buffer converted, little-endian, and
// the other blocks are untouched.
TEST_F(RenderTest, BlockLandsAtNextBlockAsConvertedMix) {
  XmModule m = EmptySong(3, 125);
  XmSample s;
  for (int i = 0; i < 64; i++) s.values.push_back((i * 37) % 256 - 128);
  s.loopLength = 64, s.loopType = 1;
  m.instruments.push_back(XmSingleSampleInstrument(s));
  m.patterns[0].cells = {XmNote(49, 1)};
  Load(m);
  for (int32_t& v : modPlayer.mixBuffer) v = 12345678;  // cleared by the render
  memset(modPlayer.waveBuffer, 0xA5, sizeof modPlayer.waveBuffer);
  modPlayer.nextBlock = 15;
  ModRenderBlock();
  ModRenderBlock();
  EXPECT_EQ(modPlayer.nextBlock, 1u);
  int nonZero = 0;
  for (int32_t v : modPlayer.mixBuffer) nonZero += v != 0;
  EXPECT_GT(nonZero, 1000);
  const uint8_t* block = modPlayer.waveBuffer;
  for (uint32_t i = 0; i < MOD_BLOCK_FRAMES * 2; i++) {
    uint16_t want = (uint16_t)ModConvertSample(modPlayer.mixBuffer[i]);
    ASSERT_EQ(block[2 * i] | block[2 * i + 1] << 8, want) << i;
  }
  for (uint32_t i = MOD_BLOCK_BYTES; i < 15 * MOD_BLOCK_BYTES; i++) ASSERT_EQ(modPlayer.waveBuffer[i], 0xA5) << i;
}

TEST_F(RenderTest, RenderingAllocatesNothing) {
  Load(XmFixtureSong(16));
  SIZE_T playerBlocks = PlatHeapLiveBlocks(modPlayer.heap);
  SIZE_T processBlocks = PlatHeapLiveBlocks(GetProcessHeap());
  countAllocations = true;
  for (int i = 0; i < 300; i++) ModRenderBlock();
  countAllocations = false;
  EXPECT_EQ(allocations.load(), 0);
  EXPECT_EQ(PlatHeapLiveBlocks(modPlayer.heap), playerBlocks);
  EXPECT_EQ(PlatHeapLiveBlocks(GetProcessHeap()), processBlocks);
}

}  // namespace
