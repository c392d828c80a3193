// Wave output on the virtual device: one looping buffer played on a clock, positions that
// keep growing, a recording of exactly what was played, reset and close.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include "platform/platform.h"
#include "platform/win32.h"

namespace {

const DWORD BUFFER_BYTES = 65536;
const DWORD BLOCK_BYTES = 4096;

WAVEFORMATEX StereoFormat() {
  WAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = 2;
  f.nSamplesPerSec = 48000;
  f.nAvgBytesPerSec = 192000;
  f.nBlockAlign = 4;
  f.wBitsPerSample = 16;
  return f;
}

struct WaveFixture : ::testing::Test {
  HWAVEOUT device = nullptr;
  std::vector<char> buffer = std::vector<char>(BUFFER_BYTES);
  WAVEHDR header{};

  void SetUp() override {
    PlatWaveSelectDevice(PLAT_WAVE_VIRTUAL);
    PlatWaveUseManualClock(TRUE);
    PlatWaveRecordTo(nullptr);
  }
  void TearDown() override {
    if (device) {
      waveOutReset(device);
      waveOutUnprepareHeader(device, &header, sizeof header);
      waveOutClose(device);
    }
    PlatWaveUseManualClock(FALSE);
  }
  void Open() {
    WAVEFORMATEX format = StereoFormat();
    ASSERT_EQ(waveOutOpen(&device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    ASSERT_NE(device, nullptr);
  }
  void StartLooping() {
    header.lpData = buffer.data();
    header.dwBufferLength = BUFFER_BYTES;
    header.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    header.dwLoops = 0xFFFFFFFF;
    ASSERT_EQ(waveOutPrepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(device, &header, sizeof header), MMSYSERR_NOERROR);
  }
  DWORD Position() {
    MMTIME time{};
    time.wType = TIME_BYTES;
    EXPECT_EQ(waveOutGetPosition(device, &time, sizeof time), MMSYSERR_NOERROR);
    EXPECT_EQ(time.wType, (UINT)TIME_BYTES);
    return time.u.cb;
  }
  // Every block holds its number and the round in which it was written.
  void FillBlock(DWORD block, DWORD round) {
    for (DWORD i = 0; i < BLOCK_BYTES; ++i) buffer[block * BLOCK_BYTES + i] = (char)(block * 16 + round + i);
  }
};

TEST_F(WaveFixture, LoopingBufferPlaysInOrderAndPositionGrowsPastItsSize) {
  Open();
  for (DWORD b = 0; b < 16; ++b) FillBlock(b, 0);
  StartLooping();
  EXPECT_EQ(Position(), 0u);
  DWORD last = 0;
  for (int step = 0; step < 100; ++step) {
    PlatWaveAdvanceClock(1000);  // 4000 bytes
    DWORD position = Position();
    EXPECT_EQ(position, (DWORD)(step + 1) * 4000u);
    EXPECT_GT(position, last);
    last = position;
  }
  EXPECT_GT(last, 6 * BUFFER_BYTES);
  std::vector<uint8_t> played = PlatWaveRecording();
  ASSERT_EQ(played.size(), last);
  for (DWORD i = 0; i < last; ++i) ASSERT_EQ((char)played[i], buffer[i % BUFFER_BYTES]) << i;
}

// A streaming writer that rewrites each block once it has seen it played gets back exactly
// the stream it produced: the device copies a block before the writer can learn it passed.
TEST_F(WaveFixture, RecordingIsTheStreamOfAWriterThatRefillsPlayedBlocks) {
  Open();
  for (DWORD b = 0; b < 16; ++b) FillBlock(b, 0);
  StartLooping();
  std::vector<char> produced(buffer.begin(), buffer.end());
  DWORD next = 0, round = 0;
  for (int step = 0; step < 400; ++step) {
    PlatWaveAdvanceClock(173 + step % 300);
    DWORD playing = (Position() >> 12) & 15;
    while (next != playing) {
      if (next == 0) ++round;
      FillBlock(next, round);
      produced.insert(produced.end(), buffer.begin() + next * BLOCK_BYTES, buffer.begin() + (next + 1) * BLOCK_BYTES);
      next = (next + 1) & 15;
    }
  }
  ASSERT_EQ(waveOutReset(device), MMSYSERR_NOERROR);
  std::vector<uint8_t> played = PlatWaveRecording();
  ASSERT_GT(played.size(), 4 * BUFFER_BYTES);
  ASSERT_LE(played.size(), produced.size());
  EXPECT_EQ(std::memcmp(played.data(), produced.data(), played.size()), 0);
}

TEST_F(WaveFixture, ResetStopsPlaybackAndReturnsTheBuffer) {
  Open();
  StartLooping();
  PlatWaveAdvanceClock(5000);
  EXPECT_EQ(Position(), 20000u);
  EXPECT_EQ(waveOutUnprepareHeader(device, &header, sizeof header), (MMRESULT)WAVERR_STILLPLAYING);
  EXPECT_EQ(waveOutClose(device), (MMRESULT)WAVERR_STILLPLAYING);
  EXPECT_EQ(waveOutReset(device), MMSYSERR_NOERROR);
  EXPECT_TRUE(header.dwFlags & WHDR_DONE);
  EXPECT_FALSE(header.dwFlags & WHDR_INQUEUE);
  PlatWaveAdvanceClock(5000);
  EXPECT_EQ(Position(), 0u);
  EXPECT_EQ(PlatWaveRecording().size(), 20000u);
  EXPECT_EQ(waveOutUnprepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
  EXPECT_FALSE(header.dwFlags & WHDR_PREPARED);
  EXPECT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
  EXPECT_EQ(waveOutClose(device), (MMRESULT)MMSYSERR_INVALHANDLE);
  device = nullptr;
}

TEST_F(WaveFixture, BufferWithoutLoopFlagsPlaysOnce) {
  Open();
  header.lpData = buffer.data();
  header.dwBufferLength = BUFFER_BYTES;
  ASSERT_EQ(waveOutWrite(device, &header, sizeof header), (MMRESULT)WAVERR_UNPREPARED);
  ASSERT_EQ(waveOutPrepareHeader(device, &header, sizeof header), MMSYSERR_NOERROR);
  ASSERT_EQ(waveOutWrite(device, &header, sizeof header), MMSYSERR_NOERROR);
  PlatWaveAdvanceClock(100000);
  EXPECT_EQ(Position(), BUFFER_BYTES);
}

TEST_F(WaveFixture, OpenFailsCleanlyWithoutADeviceOrWithABadFormat) {
  WAVEFORMATEX format = StereoFormat();
  PlatWaveSelectDevice(PLAT_WAVE_NONE);
  HWAVEOUT none = (HWAVEOUT)(UINT_PTR)1;
  EXPECT_NE(waveOutOpen(&none, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
  EXPECT_EQ(none, nullptr);
  MMTIME time{};
  EXPECT_EQ(waveOutGetPosition(none, &time, sizeof time), (MMRESULT)MMSYSERR_INVALHANDLE);
  EXPECT_EQ(waveOutReset(none), (MMRESULT)MMSYSERR_INVALHANDLE);

  PlatWaveSelectDevice(PLAT_WAVE_VIRTUAL);
  WAVEFORMATEX bad = format;
  bad.wBitsPerSample = 12;
  EXPECT_EQ(waveOutOpen(&none, WAVE_MAPPER, &bad, 0, 0, CALLBACK_NULL), (MMRESULT)WAVERR_BADFORMAT);
  EXPECT_EQ(none, nullptr);
}

TEST_F(WaveFixture, RecordingGoesToAWavFile) {
  std::string path = ::testing::TempDir() + "wave_test_recording.wav";
  PlatWaveRecordTo(path.c_str());
  Open();
  for (DWORD i = 0; i < BUFFER_BYTES; ++i) buffer[i] = (char)(i * 7);
  StartLooping();
  PlatWaveAdvanceClock(48000);  // one second
  Position();
  waveOutReset(device);
  waveOutUnprepareHeader(device, &header, sizeof header);
  waveOutClose(device);
  device = nullptr;
  PlatWaveRecordTo(nullptr);

  std::ifstream in(path, std::ios::binary);
  std::vector<char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(file.size(), 44u + 192000u);
  auto le32 = [&](size_t at) { return (uint32_t)(uint8_t)file[at] | (uint8_t)file[at + 1] << 8 | (uint8_t)file[at + 2] << 16 | (uint32_t)(uint8_t)file[at + 3] << 24; };
  EXPECT_EQ(std::memcmp(file.data(), "RIFF", 4), 0);
  EXPECT_EQ(le32(4), 36u + 192000u);
  EXPECT_EQ(std::memcmp(file.data() + 8, "WAVEfmt ", 8), 0);
  EXPECT_EQ(le32(24), 48000u);
  EXPECT_EQ(le32(40), 192000u);
  for (DWORD i = 0; i < 192000; ++i) ASSERT_EQ(file[44 + i], buffer[i % BUFFER_BYTES]) << i;
  std::remove(path.c_str());
}

TEST(WaveRealTime, VirtualDeviceClockFollowsRealTime) {
  PlatWaveSelectDevice(PLAT_WAVE_VIRTUAL);
  PlatWaveUseManualClock(FALSE);
  WAVEFORMATEX format = StereoFormat();
  HWAVEOUT device = nullptr;
  ASSERT_EQ(waveOutOpen(&device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
  std::vector<char> buffer(BUFFER_BYTES);
  WAVEHDR header{};
  header.lpData = buffer.data();
  header.dwBufferLength = BUFFER_BYTES;
  header.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
  header.dwLoops = 0xFFFFFFFF;
  waveOutPrepareHeader(device, &header, sizeof header);
  waveOutWrite(device, &header, sizeof header);
  DWORD start = GetTickCount();
  Sleep(50);
  MMTIME time{};
  time.wType = TIME_BYTES;
  waveOutGetPosition(device, &time, sizeof time);
  DWORD elapsed = GetTickCount() - start;
  // At least the 50 ms slept, and no more than the time that really passed.
  EXPECT_GE(time.u.cb, 192u * 49u);
  EXPECT_LE(time.u.cb, 192u * (elapsed + 2));
  waveOutReset(device);
  waveOutUnprepareHeader(device, &header, sizeof header);
  EXPECT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
}

}  // namespace
