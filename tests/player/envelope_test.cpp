// Envelopes, fadeout, auto-vibrato and the vibrato/tremolo oscillator on channel and
// instrument records.
#include <gtest/gtest.h>

#include <vector>

#include "player/envelope.h"

namespace {

constexpr uint8_t kOn = 1, kSustain = 2, kLoop = 4;

ModInstrument VolumeEnvelope(std::vector<ModEnvPoint> points, uint8_t flags = kOn) {
  ModInstrument ins{};
  for (size_t i = 0; i < points.size(); i++) ins.volEnv[i] = points[i];
  ins.volEnvPoints = (uint8_t)points.size();
  ins.volEnvFlags = flags;
  return ins;
}

// volEnvVolume after each of `ticks` envelope steps.
std::vector<int32_t> Steps(ModChannel& c, const ModInstrument& ins, int ticks) {
  std::vector<int32_t> values;
  for (int i = 0; i < ticks; i++) {
    ModEnvelopeStep(&c, &ins, MOD_ENV_VOLUME);
    values.push_back(c.volEnvVolume);
  }
  return values;
}

TEST(Envelope, FallsAlongItsSegmentAndStopsAtTheLastPoint) {
  ModInstrument ins = VolumeEnvelope({{0, 64}, {10, 0}});
  ModChannel c{};
  std::vector<int32_t> expected = {64, 57, 51, 44, 38, 32, 25, 19, 12, 6, 0, 0, 0};
  EXPECT_EQ(Steps(c, ins, 13), expected);
  EXPECT_EQ(c.volEnvDone, 1);
  EXPECT_EQ(c.updateFlags & UPDATE_VOLUME, UPDATE_VOLUME);
}

TEST(Envelope, SustainHoldsUntilTheKeyIsReleased) {
  ModInstrument ins = VolumeEnvelope({{0, 64}, {4, 32}, {8, 0}}, kOn | kSustain);
  ins.volSustain = 1;
  ModChannel c{};
  std::vector<int32_t> held = {64, 56, 48, 40, 32, 32, 32};
  EXPECT_EQ(Steps(c, ins, 7), held);
  c.keyOff = 1;
  std::vector<int32_t> released = {32, 24, 16, 8, 0};
  EXPECT_EQ(Steps(c, ins, 5), released);
  EXPECT_EQ(c.volEnvDone, 1);
}

TEST(Envelope, LoopJumpsBackAtOnceAndOutlastsTheKeyOff) {
  // Sustain on the loop end does not hold while the loop is on.
  ModInstrument ins = VolumeEnvelope({{0, 0}, {2, 20}, {4, 40}, {6, 60}}, kOn | kLoop | kSustain);
  ins.volLoopStart = 1;
  ins.volLoopEnd = 3;
  ins.volSustain = 3;
  ModChannel c{};
  std::vector<int32_t> first = {0, 10, 20, 30, 40, 50, 20, 30, 40, 50, 20};
  EXPECT_EQ(Steps(c, ins, 11), first);
  c.keyOff = 1;
  std::vector<int32_t> after = {30, 40, 50, 20, 30};
  EXPECT_EQ(Steps(c, ins, 5), after);
  EXPECT_EQ(c.volEnvDone, 0);
}

// Files may give up to 255 points and point indices beyond them: the envelope then has its
// 12 points, and sustain or loop points it does not have are ignored.
TEST(Envelope, CountsAndIndicesBeyondTheTwelvePointsStayInside) {
  std::vector<ModEnvPoint> points;
  for (uint16_t i = 0; i < 12; i++) points.push_back({i, (uint16_t)(i * 5)});
  ModInstrument ins = VolumeEnvelope(points, kOn | kSustain | kLoop);
  ins.volEnvPoints = 200;
  ins.volSustain = 40;
  ins.volLoopStart = 30;
  ins.volLoopEnd = 5;  // a loop back to a point that does not exist is no loop
  ins.panEnv[0] = {0, 99};  // the point behind the twelfth: must never be read
  ModChannel c{};
  std::vector<int32_t> values = Steps(c, ins, 20);
  for (int i = 0; i < 12; i++) EXPECT_EQ(values[i], 5 * i);
  EXPECT_EQ(values[19], 55);
  EXPECT_EQ(c.volEnvDone, 1);
  EXPECT_LE(c.volEnvPoint, 12);

  ModInstrument panning{};
  panning.panEnv[0] = {0, 32};
  for (uint16_t i = 1; i < 12; i++) panning.panEnv[i] = {(uint16_t)(2 * i), 0};
  panning.panEnvPoints = 255;  // the fields behind the last point are not points
  panning.panEnvFlags = kOn;
  ModChannel p{};
  for (int i = 0; i < 30; i++) ModEnvelopeStep(&p, &panning, MOD_ENV_PANNING);
  EXPECT_EQ(p.panEnvDone, 1);
  EXPECT_EQ(p.panEnvPan, 0);  // the twelfth point's value
  EXPECT_EQ(p.updateFlags & UPDATE_PANNING, UPDATE_PANNING);
}

TEST(Envelope, SetPositionInterpolatesOrEndsTheEnvelope) {
  ModInstrument ins = VolumeEnvelope({{0, 0}, {10, 40}, {20, 0}});
  ModChannel c{};
  ModSetEnvelopePosition(&c, &ins, 5);
  EXPECT_EQ(c.volEnvVolume, 20);
  EXPECT_EQ(c.volEnvPoint, 1);
  EXPECT_EQ(c.volEnvTick, 5);
  EXPECT_EQ(Steps(c, ins, 2), (std::vector<int32_t>{24, 28}));  // and runs on from there
  ModSetEnvelopePosition(&c, &ins, 15);
  EXPECT_EQ(c.volEnvVolume, 20);
  EXPECT_EQ(c.volEnvPoint, 2);
  ModSetEnvelopePosition(&c, &ins, 25);
  EXPECT_EQ(c.volEnvVolume, 0);
  EXPECT_EQ(c.volEnvDone, 1);
  ModSetEnvelopePosition(&c, &ins, 0);
  EXPECT_EQ(c.volEnvDone, 0);
  EXPECT_EQ(c.volEnvVolume, 0);
  // Without a volume envelope nothing moves.
  ins.volEnvFlags = 0;
  c.volEnvVolume = 64;
  ModSetEnvelopePosition(&c, &ins, 15);
  EXPECT_EQ(c.volEnvVolume, 64);
}

TEST(Envelope, FadeoutReachesZeroAndStops) {
  ModInstrument ins{};
  ins.fadeout = 1024;  // 512 in the file
  ModChannel c{};
  c.fadeoutVolume = 65536;
  for (int i = 0; i < 63; i++) ModFadeout(&c, &ins);
  EXPECT_EQ(c.fadeoutVolume, 1024);
  ModFadeout(&c, &ins);
  EXPECT_EQ(c.fadeoutVolume, 0);
  ins.fadeout = 65535;
  c.fadeoutVolume = 100;
  ModFadeout(&c, &ins);
  EXPECT_EQ(c.fadeoutVolume, 0);
}

TEST(AutoVibrato, WaveformsAtTheirPositions) {
  struct Case {
    uint8_t type;
    int32_t position, value;  // at depth 64: value = wave
  } cases[] = {
      {0, 0, 0},   {0, 64, 64},   {0, 32, 45},   {0, 128, 0},  {0, 192, -64}, {0, 100, 41},
      {1, 0, 64},  {1, 127, 64},  {1, 128, -64},
      {2, 0, 0},   {2, 127, -64}, {2, 128, 64},  {2, 255, 0},
      {3, 0, 0},   {3, 128, 64},  {3, 129, -64}, {3, 255, -1}, {7, 128, 64},
  };
  for (const Case& k : cases) {
    ModInstrument ins{};
    ins.vibType = k.type;
    ins.vibDepth = 64;
    ins.vibRate = 3;
    ModChannel c{};
    c.autoVibPos = k.position;
    EXPECT_EQ(ModAutoVibrato(&c, &ins), k.value) << (int)k.type << " at " << k.position;
    EXPECT_EQ(c.autoVibPos, (k.position + 3) & 255);
  }
  // The sine at position 64 gives the depth itself.
  ModInstrument ins{};
  ins.vibDepth = 13;
  ModChannel c{};
  c.autoVibPos = 64;
  EXPECT_EQ(ModAutoVibrato(&c, &ins), 13);
}

TEST(AutoVibrato, SweepGrowsTheDepthOverItsTicks) {
  ModInstrument ins{};
  ins.vibType = 1;  // square: 64 * depth before the sweep
  ins.vibDepth = 10;
  ins.vibSweep = 10;
  ModChannel c{};
  std::vector<int32_t> values;
  for (int i = 0; i < 12; i++) values.push_back(ModAutoVibrato(&c, &ins));
  // (sweep * 640 / 10) >> 6, the sweep counting 0, 1, ... 10 and staying there.
  std::vector<int32_t> expected = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 10};
  EXPECT_EQ(values, expected);
  ins.vibSweep = 0;
  c.autoVibSweep = 0;
  c.autoVibPos = 0;
  EXPECT_EQ(ModAutoVibrato(&c, &ins), 10);
  EXPECT_EQ(c.autoVibSweep, 0);
}

TEST(Oscillator, WaveformsSpeedsAndDepths) {
  ModChannel c{};
  c.vibratoSpeed = 8;
  c.vibratoDepth = 15;
  std::vector<int32_t> sine;
  for (int i = 0; i < 8; i++) sine.push_back(ModOscillator(&c, MOD_OSC_VIBRATO));
  // 15 * S[p] >> 5 at p = 0, 8, 16, ... 56.
  EXPECT_EQ(sine, (std::vector<int32_t>{0, 42, 59, 42, 0, -43, -60, -43}));
  EXPECT_EQ(c.vibratoPos, 0);

  c.waveControl = 0x02;  // vibrato square, tremolo still sine
  c.vibratoPos = 31;
  EXPECT_EQ(ModOscillator(&c, MOD_OSC_VIBRATO), 59);
  EXPECT_EQ(ModOscillator(&c, MOD_OSC_VIBRATO), -60);
  c.tremoloSpeed = 16;
  c.tremoloDepth = 15;
  EXPECT_EQ(ModOscillator(&c, MOD_OSC_TREMOLO), 0);
  EXPECT_EQ(ModOscillator(&c, MOD_OSC_TREMOLO), 59);
  EXPECT_EQ(c.tremoloPos, 32);

  // The ramp falls from 0 to -124 over the first half and from 128 over the second, in
  // the scale of the sine and the square.
  c.waveControl = 0x10;
  c.tremoloSpeed = 1;
  c.tremoloDepth = 8;
  c.tremoloPos = 0;
  std::vector<int32_t> ramp;
  for (int i = 0; i < 64; i++) ramp.push_back(ModOscillator(&c, MOD_OSC_TREMOLO));
  EXPECT_EQ(ramp[0], 0);
  EXPECT_EQ(ramp[31], (8 * -124) >> 5);
  EXPECT_EQ(ramp[32], 32);
  EXPECT_EQ(ramp[63], 1);
  for (int i = 1; i < 64; i++) {
    if (i != 32) {
      EXPECT_LE(ramp[i], ramp[i - 1]) << i;
    }
  }
}

}  // namespace
