// A whole song through the engine: the fixture's parts measured as an ear would check them
// (pitch, levels of the envelope stages, a fadeout that ends), then the whole first pass
// compared with the checksum recorded once those checks and a look at its spectrogram had
// passed.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/player/engine_song.h"
#include "tests/player/engine_support.h"

namespace {

constexpr uint32_t kTickFrames = 960;  // 125 BPM

class Song : public EngineTest {
 protected:
  // Renders blocks until the song has gone back to its restart position once; returns
  // the interleaved 16-bit output.
  std::vector<int16_t> RenderFirstPass() {
    std::vector<int16_t> out;
    while (modSong.songLoops == 0) {
      ModRenderBlock();
      uint32_t block = (modPlayer.nextBlock + MOD_BLOCK_COUNT - 1) % MOD_BLOCK_COUNT;
      const uint8_t* bytes = modPlayer.waveBuffer + block * MOD_BLOCK_BYTES;
      for (uint32_t i = 0; i < MOD_BLOCK_FRAMES * 2; i++) out.push_back((int16_t)(bytes[2 * i] | bytes[2 * i + 1] << 8));
      if (out.size() > 48000u * 2 * 30) break;  // a song that never loops is a failure below
    }
    return out;
  }
  static int32_t PeakOfTick(const std::vector<int16_t>& out, uint32_t tick) {
    int32_t peak = 0;
    for (uint32_t f = tick * kTickFrames; f < (tick + 1) * kTickFrames; f++) peak = std::max(peak, std::abs((int32_t)out[2 * f]));
    return peak;
  }
};

// The peak a voice of the 24000-high sine reaches at centre pan with envelope value e.
int32_t SinePeak(int32_t envelope) {
  int32_t v = (int32_t)((64ll * envelope * 64 * 255 * 65536) >> 35);
  int32_t target = 128 * v / 255;
  return (int32_t)std::lround(24000.0 * 32 * target / MOD_MIX_DIVISOR);
}

TEST_F(Song, FixtureSoundsAsWrittenAndMatchesItsRecordedRender) {
  Load(EngineSong());
  std::vector<int16_t> out = RenderFirstPass();
  ASSERT_EQ(modSong.songLoops, 1u);
  ASSERT_EQ(modSong.orderPos, 1);

  // A-4 of a 32-value sine cycle: 8363 * 2^(9/12) / 32 = 439.5 Hz, counted in rising zero
  // crossings of 0.6 s of the lead alone.
  int crossings = 0;
  for (uint32_t f = 14400; f < 43200; f++) crossings += out[2 * f] < 0 && out[2 * f + 2] >= 0;
  EXPECT_NEAR(crossings, 439.5 * 0.6, 1.0);
  // The volume envelope: silent on its first tick, 64 on the fifth, 40 from the
  // twenty-first (the sustain point) on.
  EXPECT_EQ(PeakOfTick(out, 0), 0);
  EXPECT_NEAR(PeakOfTick(out, 4), SinePeak(64), 2);
  EXPECT_NEAR(PeakOfTick(out, 30), SinePeak(40), 2);
  EXPECT_NEAR(PeakOfTick(out, 47), SinePeak(40), 2);
  // Centre panning: both sides alike.
  for (uint32_t f = 14400; f < 43200; f++) ASSERT_EQ(out[2 * f], out[2 * f + 1]);
  // No value reaches full scale.
  for (int16_t value : out) ASSERT_LT(std::abs(value), 32767);

  uint64_t hash = 14695981039346656037ull;
  for (int16_t value : out) {
    for (int byte = 0; byte < 2; byte++) {
      hash ^= (uint8_t)((uint16_t)value >> (8 * byte));
      hash *= 1099511628211ull;
    }
  }
  EXPECT_EQ(out.size(), 2u * 265 * MOD_BLOCK_FRAMES);  // 5.65 s
  EXPECT_EQ(hash, 11802014085229427422ull);
}

}  // namespace
