// Pitch, panning and channel volume: note periods in both modes, frequencies and steps,
// the volume formula and the pan law, and the move to the other voice on a new note.
#include <gtest/gtest.h>

#include "player/pitch.h"
#include "tests/player/engine_support.h"

namespace {

constexpr bool kLinear = true, kAmiga = false;

void SetMode(bool linear) { modSong.flags = linear ? 1 : 0; }

TEST(Pitch, NotePeriodsInBothModes) {
  struct Case {
    bool linear;
    int32_t note;
    int8_t finetune;
    int32_t period;
  } cases[] = {
      {kLinear, 48, 0, 4608},     {kLinear, 49, 0, 4544},  // 64 units a semitone
      {kLinear, 48, 127, 4545},   // finetune 127 raises by 63 units: the halving truncates
      {kLinear, 48, -1, 4608},    {kLinear, 48, -128, 4672},
      {kLinear, -10, 0, 8320},    // relative notes can reach below note index 0
      {kAmiga, 48, 0, 1712},      {kAmiga, 0, 0, 27392},  {kAmiga, 96, 0, 107},
      {kAmiga, 48, 127, 1617},    // 1712 + 127 * (1616 - 1712) / 128
      {kAmiga, 0, -1, 27404},     // toward note index -1 (29021), as for any other note
  };
  SamplePtr sample = MakeSample({0});
  for (const Case& c : cases) {
    SetMode(c.linear);
    sample->finetune = c.finetune;
    EXPECT_EQ(ModNotePeriod(c.note, sample.get()), c.period)
        << (c.linear ? "linear " : "amiga ") << c.note << " " << (int)c.finetune;
  }
  EXPECT_EQ(ModAmigaPeriod(48, 0), 1712);
}

TEST(Pitch, FrequenciesFromPeriods) {
  struct Case {
    bool linear;
    int32_t period, delta;
    uint32_t frequency;
  } cases[] = {
      {kLinear, 4608, 0, 8363},  {kAmiga, 1712, 0, 8363},
      {kLinear, 3840, 0, 16726},  // an octave up
      {kLinear, 4608, 768, 16726},  // in linear mode the offset raises the pitch
      {kAmiga, 1712, 1712, 4181},   // in Amiga mode it adds to the period
      {kLinear, 0, 0, 40},  {kAmiga, 0, 0, 40},  {kLinear, -5, 0, 40},  {kAmiga, 10, -10, 40},
      {kAmiga, 9, 0, 1590828},
      {kLinear, 1 << 30, 0, 0},  // far below hearing: a step of 0, which the mixer raises
  };
  for (const Case& c : cases) {
    SetMode(c.linear);
    EXPECT_EQ(ModPeriodFrequency(c.period, c.delta), c.frequency) << c.period << " " << c.delta;
  }
}

class ChannelUpdate : public EngineTest {
 protected:
  void SetUp() override { Load(EngineModule(2)); }
  // One update without note start, of volume and panning both.
  void Update(uint8_t flags) {
    ModChannel& c = Channel();
    c.updateFlags = flags;
    ModUpdateChannel(&c, &ModSilentSample, &modSong.instruments[0]);
  }
};

TEST_F(ChannelUpdate, StepIsFrequencyOverOutputRate) {
  ModChannel& c = Channel();
  c.period = 4608;
  Update(0);
  EXPECT_EQ(Voice().stepInt, 0u);
  EXPECT_EQ(Voice().stepFrac, 748308572u);  // 8363 * 2^32 / 48000
  c.period = 4608 - 5 * 768;  // 267616 Hz
  Update(0);
  EXPECT_EQ(Voice().stepInt, 5u);
  EXPECT_EQ(Voice().stepFrac, (uint32_t)((27616ull << 32) / 48000));
}

TEST_F(ChannelUpdate, VolumeFormulaAndPanLaw) {
  struct Case {
    int32_t volume, delta, envelope, global, fadeout, panning, panEnv;
    int32_t v, pan, left, right;
  } cases[] = {
      {64, 0, 64, 64, 65536, 128, 32, 127, 128, 63, 63},
      {64, 0, 64, 64, 32768, 128, 32, 63, 128, 31, 31},
      {64, 0, 64, 64, 65536, 255, 32, 127, 255, 0, 127},
      {64, 0, 64, 64, 65536, 0, 32, 127, 0, 127, 0},
      {80, 0, 64, 64, 65536, 0, 32, 127, 0, 127, 0},  // the volume is clamped first
      {64, 30, 64, 64, 65536, 0, 32, 187, 0, 187, 0},  // ... but not the tremolo's sum
      {10, -20, 64, 64, 65536, 0, 32, -20, 0, -20, 0},  // which may invert the wave
      {64, 0, 32, 32, 65536, 0, 32, 31, 0, 31, 0},
      {64, 0, 64, 64, 65536, 128, 64, 127, 255, 0, 127},  // envelope swings +128 at centre
      {64, 0, 64, 64, 65536, 128, 0, 127, 0, 127, 0},
      {64, 0, 64, 64, 65536, 64, 0, 127, 0, 127, 0},     // 64 - 32 * (64 >> 5)
      {64, 0, 64, 64, 65536, 255, 0, 127, 255, 0, 127},  // and not at all at the sides
  };
  for (const Case& k : cases) {
    ModChannel& c = Channel();
    c.volume = k.volume;
    c.volumeDelta = k.delta;
    c.volEnvVolume = k.envelope;
    modSong.globalVolume = k.global;
    c.fadeoutVolume = k.fadeout;
    c.panning = k.panning;
    c.panEnvPan = k.panEnv;
    Update(UPDATE_VOLUME | UPDATE_PANNING);
    EXPECT_EQ(Voice().volume, k.v) << k.volume << " " << k.delta << " " << k.panning;
    EXPECT_EQ(Voice().pan, k.pan);
    EXPECT_EQ(Voice().leftTarget, k.left);
    EXPECT_EQ(Voice().rightTarget, k.right);
    EXPECT_LE(c.volume, 64);
  }
  // A volume update alone splits V with the pan last computed.
  Channel().volume = 32;
  Update(UPDATE_VOLUME);
  EXPECT_EQ(Voice().volume, 63);
  EXPECT_EQ(Voice().leftTarget, 0);
  EXPECT_EQ(Voice().rightTarget, 63);
}

TEST_F(ChannelUpdate, NewNoteMovesToTheOtherVoiceWhileTheOldOneSounds) {
  ModSample* sample = modSong.instruments[0].samples[0];
  ModChannel& c = Channel();
  ModVoice* first = c.voice;
  EXPECT_EQ(first, &modSong.voices[0]);
  c.volume = 64;
  c.volEnvVolume = 64;
  c.fadeoutVolume = 65536;
  c.panning = 0;
  c.period = 4608;
  // A note on an idle voice reuses it.
  Update(UPDATE_TRIGGER | UPDATE_VOLUME | UPDATE_PANNING);
  ASSERT_EQ(c.voice, first);
  EXPECT_EQ(first->sample, &ModSilentSample);
  first->sample = sample;
  first->pos = 7;
  first->startOffset = 3;
  first->leftCurrent = 127 * 64;
  Update(UPDATE_TRIGGER);
  ModVoice* second = c.voice;
  ASSERT_EQ(second, &modSong.voices[1]);
  // The old voice keeps its sample and place and heads for silence.
  EXPECT_EQ(first->sample, sample);
  EXPECT_EQ(first->pos, 7u);
  EXPECT_EQ(first->leftTarget, 0);
  EXPECT_EQ(first->volume, 0);
  // The new one starts at the waiting offset from silence, with the old pan and volume.
  EXPECT_EQ(second->pos, 3u);
  EXPECT_EQ(second->startOffset, 0u);
  EXPECT_EQ(second->leftCurrent, 0);
  EXPECT_EQ(second->rampCount, 0);
  EXPECT_EQ(second->volume, 127);
  EXPECT_EQ(second->leftTarget, 127);
  // Mixed together, one fades out while the other fades in over the same 64 frames.
  second->sample = sample;
  std::vector<int32_t> out(2 * 64, 0);
  ModMixVoice(first, out.data(), 64);
  ModMixVoice(second, out.data(), 64);
  EXPECT_EQ(first->leftCurrent, 127 * 64 - 64 * ((127 * 64) >> 6));
  EXPECT_EQ(second->leftCurrent, 127 * 64);
  // The voices take turns.
  Update(UPDATE_TRIGGER);
  EXPECT_EQ(c.voice, first);
}

}  // namespace
