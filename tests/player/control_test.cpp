// Player control on the virtual wave device: starting, stopping and restarting, failed
// starts leaving the player idle, and the stream the device plays, which is bit-identical to
// rendering the same module block by block without a device.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include <sys/wait.h>

#include "platform/platform.h"
#include "player/control.h"
#include "player/player.h"
#include "player/render.h"
#include "tests/player/fixture_songs.h"

namespace {

constexpr UINT MODULE_ID = 400;

class ControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    song = XmWrite(XmFixtureSong(6));
    PlatWaveSelectDevice(PLAT_WAVE_VIRTUAL);
    PlatWaveUseManualClock(TRUE);
    PlatWaveRecordTo(nullptr);
    AddModule(song);
  }
  void TearDown() override {
    ModPlaySong(0, 0, 0);
    PlatHeapFailNone();
    PlatWaveSelectDevice(PLAT_WAVE_VIRTUAL);
    PlatRemoveAddedResources();
  }
  static void AddModule(const std::vector<uint8_t>& bytes) {
    PlatAddResource(RT_RCDATA, MAKEINTRESOURCEA(MODULE_ID), bytes.data(), (DWORD)bytes.size());
  }
  static DWORD Start() { return ModPlaySong(MODULE_ID, GetModuleHandleA(nullptr), 0); }

  // The first `blocks` blocks of the song rendered without a device, in playing order.
  std::vector<uint8_t> Offline(uint32_t blocks) {
    std::vector<uint8_t> out;
    EXPECT_TRUE(ModLoadFromMemory(song.data(), (DWORD)song.size()));
    for (uint32_t i = 0; i < blocks; i++) {
      uint32_t block = modPlayer.nextBlock;
      ModRenderBlock();
      const uint8_t* bytes = modPlayer.waveBuffer + block * MOD_BLOCK_BYTES;
      out.insert(out.end(), bytes, bytes + MOD_BLOCK_BYTES);
    }
    ModStop();
    return out;
  }

  std::vector<uint8_t> song;
};

// Waits until the device has recorded `bytes` bytes, which it does when the playback thread
// asks for the position.
bool WaitForRecording(size_t bytes) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (PlatWaveRecording().size() < bytes) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// Moves the device on block by block, each time until the thread has seen the new position.
void PlayBlocks(uint32_t from, uint32_t to) {
  for (uint32_t k = from + 1; k <= to; k++) {
    PlatWaveAdvanceClock(MOD_BLOCK_FRAMES);
    ASSERT_TRUE(WaitForRecording((size_t)k * MOD_BLOCK_BYTES)) << k;
  }
}

void ExpectIdle() {
  EXPECT_EQ(modPlayer.thread, nullptr);
  EXPECT_EQ(modPlayer.waveOut, nullptr);
  EXPECT_EQ(modPlayer.heap, nullptr);
  EXPECT_EQ(PlatLivePrivateHeaps(), 0u);
}

// Runs xm2wav on the module in `song` for `seconds`; its exit code.
int RunTool(const std::vector<uint8_t>& song, const char* seconds, const std::string& wav) {
  std::string xm = ::testing::TempDir() + "control_test.xm";
  FILE* f = fopen(xm.c_str(), "wb");
  if (!f) return -1;
  fwrite(song.data(), 1, song.size(), f);
  fclose(f);
  std::string command = std::string(XM2WAV_PATH) + " " + xm + " " + wav + " --seconds " + seconds + " > /dev/null 2>&1";
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The stream xm2wav writes for `seconds` of the module in `song`, or nothing if it failed.
std::vector<uint8_t> ToolRender(const std::vector<uint8_t>& song, const char* seconds) {
  std::string wav = ::testing::TempDir() + "control_test.wav";
  if (RunTool(song, seconds, wav) != 0) return {};
  FILE* f = fopen(wav.c_str(), "rb");
  if (!f) return {};
  std::vector<uint8_t> bytes;
  uint8_t chunk[4096];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  fclose(f);
  if (bytes.size() < 44) return {};
  return std::vector<uint8_t>(bytes.begin() + 44, bytes.end());
}

TEST(ToolTest, RejectedModuleExitsWithOne) {
  EXPECT_EQ(RunTool(std::vector<uint8_t>(100, 0), "1", ::testing::TempDir() + "rejected.wav"), 1);
  EXPECT_EQ(RunTool(XmWrite(XmFixtureSong(2)), "0.1", ::testing::TempDir() + "accepted.wav"), 0);
}

TEST_F(ControlTest, StopWhileIdleDoesNothing) {
  ModPlaySong(0, 0, 0);
  ExpectIdle();
  ModStop();
  ExpectIdle();
}

TEST_F(ControlTest, PlayedStreamIsTheOfflineRender) {
  std::vector<uint8_t> want = Offline(70);
  ASSERT_EQ(Start(), 1u);
  EXPECT_NE(modPlayer.thread, nullptr);
  EXPECT_EQ(PlatLivePrivateHeaps(), 1u);
  // All 16 blocks are rendered before the device starts.
  EXPECT_TRUE(std::equal(want.begin(), want.begin() + MOD_BUFFER_BYTES, modPlayer.waveBuffer));
  PlayBlocks(0, 70);
  ModPlaySong(0, 0, 0);
  ExpectIdle();
  std::vector<uint8_t> played = PlatWaveRecording();
  ASSERT_EQ(played.size(), want.size());
  EXPECT_TRUE(played == want);
  // 70 blocks of 1024 frames are 1.49333... seconds.
  EXPECT_TRUE(ToolRender(song, "1.4933333333") == want);
}

// Block 0 is rendered again only once the device reports a position of 4096 bytes or more.
TEST_F(ControlTest, BlockIsRenderedOnlyAfterTheDeviceHasPassedIt) {
  std::vector<uint8_t> want = Offline(17);
  ASSERT_EQ(Start(), 1u);
  PlatWaveAdvanceClock(MOD_BLOCK_FRAMES - 1);
  ASSERT_TRUE(WaitForRecording(MOD_BLOCK_BYTES - 4));
  std::this_thread::sleep_for(std::chrono::milliseconds(30));  // several polls of the thread
  ModPlaySong(0, 0, 0);
  EXPECT_TRUE(std::equal(want.begin(), want.begin() + MOD_BLOCK_BYTES, modPlayer.waveBuffer));

  ASSERT_EQ(Start(), 1u);
  PlayBlocks(0, 1);
  ASSERT_TRUE(WaitForRecording(MOD_BLOCK_BYTES));
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  ModPlaySong(0, 0, 0);
  EXPECT_TRUE(std::equal(want.begin() + 16 * MOD_BLOCK_BYTES, want.end(), modPlayer.waveBuffer));
}

// A device that moved on by several blocks at once gets each missed block rendered in turn.
TEST_F(ControlTest, MissedBlocksAreRenderedInTurn) {
  std::vector<uint8_t> want = Offline(48);
  ASSERT_EQ(Start(), 1u);
  PlatWaveAdvanceClock(6 * MOD_BLOCK_FRAMES);
  ASSERT_TRUE(WaitForRecording(6 * MOD_BLOCK_BYTES));
  PlatWaveAdvanceClock(9 * MOD_BLOCK_FRAMES);
  ASSERT_TRUE(WaitForRecording(15 * MOD_BLOCK_BYTES));
  PlayBlocks(15, 48);
  ModPlaySong(0, 0, 0);
  EXPECT_TRUE(PlatWaveRecording() == want);
}

TEST_F(ControlTest, SecondStartStopsTheFirstAndPlaysFromTheBeginning) {
  std::vector<uint8_t> want = Offline(20);
  ASSERT_EQ(Start(), 1u);
  PlayBlocks(0, 25);
  ASSERT_EQ(Start(), 1u);
  EXPECT_EQ(PlatLivePrivateHeaps(), 1u);
  PlayBlocks(0, 20);
  ModPlaySong(0, 0, 0);
  ExpectIdle();
  EXPECT_TRUE(PlatWaveRecording() == want);
}

TEST_F(ControlTest, FailedStartsLeaveThePlayerIdle) {
  struct Case {
    const char* name;
    void (*prepare)();
    ModError error;
  };
  const Case cases[] = {
      {"rejected module", [] { AddModule(std::vector<uint8_t>(400, 0)); }, MOD_ERR_NO_PATTERNS},
      {"missing resource", [] { PlatRemoveAddedResources(); }, MOD_ERR_NO_PATTERNS},
      {"no device", [] { PlatWaveSelectDevice(PLAT_WAVE_NONE); }, MOD_ERR_DEVICE},
      {"no heap", [] { PlatHeapFailAfter(0, 1); }, MOD_ERR_HEAP},
      {"out of memory", [] { PlatHeapFailAfter(3, 1); }, MOD_ERR_OUT_OF_MEMORY},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(Start(), 1u) << c.name;  // a failed start also stops what played
    c.prepare();
    EXPECT_EQ(Start(), 0u) << c.name;
    EXPECT_EQ(modPlayer.lastError, c.error) << c.name;
    ExpectIdle();
    PlatHeapFailNone();
    PlatWaveSelectDevice(PLAT_WAVE_VIRTUAL);
    AddModule(song);
  }
}

// Start, play and stop cycles on the real-time clock. Whatever the timing, the first 16
// blocks heard are the pre-rendered ones.
TEST_F(ControlTest, RealTimeCyclesPlayAndStop) {
  std::vector<uint8_t> want = Offline(16);
  PlatWaveUseManualClock(FALSE);
  for (int cycle = 0; cycle < 4; cycle++) {
    ASSERT_EQ(Start(), 1u) << cycle;
    std::this_thread::sleep_for(std::chrono::milliseconds(60 + 40 * cycle));
    ModPlaySong(0, 0, 0);
    ExpectIdle();
    std::vector<uint8_t> played = PlatWaveRecording();
    size_t compared = std::min(played.size(), want.size());
    EXPECT_GT(played.size(), 0u) << cycle;
    EXPECT_TRUE(std::equal(played.begin(), played.begin() + compared, want.begin())) << cycle;
  }
}

}  // namespace
