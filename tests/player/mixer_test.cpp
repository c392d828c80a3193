// The mixer: interpolation and volume arithmetic, ramps, the three loop kinds, and that no
// position ever leaves a sample's data, checked against a frame-by-frame model.
#include <gtest/gtest.h>

#include <random>

#include "tests/player/engine_support.h"

namespace {

std::vector<int32_t> Mix(ModVoice* voice, uint32_t frames) {
  std::vector<int32_t> out(2 * frames, 0);
  ModMixVoice(voice, out.data(), frames);
  return out;
}

// Left values of a mix, one per frame.
std::vector<int32_t> Lefts(const std::vector<int32_t>& mix) {
  std::vector<int32_t> lefts;
  for (size_t i = 0; i < mix.size(); i += 2) lefts.push_back(mix[i]);
  return lefts;
}

TEST(Mixer, RestingVoiceAddsScaledSampleToEachSide) {
  SamplePtr sample = MakeSample(std::vector<int16_t>(8, 1000));
  ModVoice voice = RestingVoice(sample.get(), kOne / 4, 127, 0);
  std::vector<int32_t> mix = Mix(&voice, 4);
  // v = 32 * 1000; (32000 * 127 * 64) >> 5 >> 1 = 4064000.
  for (int frame = 0; frame < 4; frame++) {
    EXPECT_EQ(mix[2 * frame], 4064000);
    EXPECT_EQ(mix[2 * frame + 1], 0);  // pan 0: all on the first value of the frame
  }
  EXPECT_EQ(voice.rampCount, 0);
  EXPECT_EQ(voice.pos, 1u);
  EXPECT_EQ(voice.posFrac, 0u);
}

TEST(Mixer, InterpolatesBetweenNeighboursAndRoundsNegativeProductsUp) {
  SamplePtr sample = MakeSample({0, 1000, -1000, -1000});
  ModVoice voice = RestingVoice(sample.get(), kOne / 2, 1, 1);
  std::vector<int32_t> lefts = Lefts(Mix(&voice, 4));
  // v: 0, 16000 (halfway to 1000), 32000, 0 (halfway from 1000 to -1000).
  // 16000 * 64 >> 5 >> 1 = 16000; 32000 -> 32000.
  EXPECT_EQ(lefts[0], 0);
  EXPECT_EQ(lefts[1], 16000);
  EXPECT_EQ(lefts[2], 32000);
  EXPECT_EQ(lefts[3], 0);
  // A negative product: v = -32000 at volume 1 adds ((-2048000 >> 5) + 1) >> 1 = -31999 >> 1.
  ModVoice negative = RestingVoice(sample.get(), kOne, 1, 1);
  negative.pos = 2;
  EXPECT_EQ(Lefts(Mix(&negative, 1))[0], (-64000 + 1) >> 1);
}

TEST(Mixer, RampGlidesOverSixtyFourFramesEvenForOneUnit) {
  SamplePtr sample = MakeSample(std::vector<int16_t>(300, 100), 0, 300, XM_LOOP_FORWARD);
  ModVoice voice{};
  voice.sample = sample.get();
  voice.stepInt = 1;
  voice.leftTarget = 64;
  voice.rightTarget = 32;
  std::vector<int32_t> mix = Mix(&voice, 70);
  // Left current rises by 64 per frame from 0, right by 32; each frame uses the level
  // before its own step.
  for (int frame = 0; frame < 64; frame++) {
    EXPECT_EQ(mix[2 * frame], (3200 * (64 * frame)) >> 6) << frame;
    EXPECT_EQ(mix[2 * frame + 1], (3200 * (32 * frame)) >> 6) << frame;
  }
  EXPECT_EQ(mix[2 * 64], 3200 * 64);
  EXPECT_EQ(voice.leftCurrent, 4096);
  EXPECT_EQ(voice.rightCurrent, 2048);
  EXPECT_EQ(voice.rampCount, 0);

  // Unchanged targets: no ramp at all.
  Mix(&voice, 10);
  EXPECT_EQ(voice.rampCount, 0);

  // One unit up still takes a 64-frame ramp of one per frame; a change in the middle of
  // it starts a new ramp from the level reached.
  voice.leftTarget = 65;
  Mix(&voice, 10);
  EXPECT_EQ(voice.rampCount, 54);
  EXPECT_EQ(voice.leftRampStep, 1);
  EXPECT_EQ(voice.leftCurrent, 4106);
  voice.leftTarget = 0;
  Mix(&voice, 1);
  EXPECT_EQ(voice.rampCount, 63);
  EXPECT_EQ(voice.leftRampStep, (0 - 4106) >> 6);
  Mix(&voice, 63);
  // The floor of the step leaves the level between target * 64 - 63 and target * 64.
  EXPECT_LE(voice.leftCurrent, 0);
  EXPECT_GE(voice.leftCurrent, -63);
  Mix(&voice, 5);
  EXPECT_EQ(voice.rampCount, 0);
}

TEST(Mixer, SampleWithoutLoopPlaysToItsEndThenIdles) {
  SamplePtr sample = MakeSample({10, 20, 30, 40, 50});
  ModVoice voice = RestingVoice(sample.get(), kOne, 2, 2);
  std::vector<int32_t> lefts = Lefts(Mix(&voice, 8));
  std::vector<int32_t> expected = {10 * 64, 20 * 64, 30 * 64, 40 * 64, 50 * 64, 0, 0, 0};
  EXPECT_EQ(lefts, expected);
  EXPECT_EQ(voice.sample, nullptr);
  EXPECT_EQ(voice.pos, 0u);
  EXPECT_EQ(voice.posFrac, 0u);
  // An idle voice is skipped.
  EXPECT_EQ(Lefts(Mix(&voice, 2)), std::vector<int32_t>(2, 0));
}

TEST(Mixer, ForwardLoopOvershotBySeveralLengthsContinuesAtTheRemainder) {
  std::vector<int16_t> values(10);
  for (int i = 0; i < 10; i++) values[i] = (int16_t)(100 * i);
  SamplePtr sample = MakeSample(values, 2, 3, XM_LOOP_FORWARD);  // loop 2, 3, 4
  ModVoice voice = RestingVoice(sample.get(), 11 * kOne + kOne / 4, 1, 1);
  voice.pos = 1;
  Mix(&voice, 1);
  // 1 + 11.25 = 12.25: past loop end 5 by 7.25, which is 2 loops and 1.25.
  EXPECT_EQ(voice.pos, 3u);
  EXPECT_EQ(voice.posFrac, 1u << 30);
  // Step 0.75 from 4.5: frames at 4.5 (between 400 and the loop value 200), then 5.25
  // which wraps to 2.25.
  voice.pos = 4;
  voice.posFrac = 1u << 31;
  voice.stepInt = 0;
  voice.stepFrac = 3u << 30;
  std::vector<int32_t> lefts = Lefts(Mix(&voice, 2));
  EXPECT_EQ(lefts[0], (32 * 400 + 32 * (200 - 400) / 2) * 64 >> 6);
  EXPECT_EQ(lefts[1], (32 * 200 + 32 * 100 / 4) * 64 >> 6);
  EXPECT_EQ(voice.pos, 3u);
  EXPECT_EQ(voice.posFrac, 0u);
}

TEST(Mixer, PingPongLoopPlaysForwardAndBackWithFlatTurns) {
  SamplePtr sample = MakeSample({0, 10, 20, 30, 40}, 1, 3, XM_LOOP_PINGPONG);  // loop 1..3
  ModVoice voice = RestingVoice(sample.get(), kOne, 1, 1);
  std::vector<int32_t> lefts = Lefts(Mix(&voice, 16));
  // data[4] holds a copy of data[3]: the turn at the loop end plays 30 twice.
  std::vector<int32_t> values = {0, 10, 20, 30, 30, 30, 20, 10, 20, 30, 30, 30, 20, 10, 20, 30};
  for (int32_t& v : values) v *= 32;
  EXPECT_EQ(lefts, values);
  EXPECT_EQ(voice.backward, 1);  // the last frame reached the loop end and turned
  // A step far larger than the loop folds back and forth and stays inside it.
  voice.stepInt = 7;
  for (int i = 0; i < 50; i++) {
    Mix(&voice, 1);
    ASSERT_GE(voice.pos, 1u);
    ASSERT_LE(voice.pos, 4u);
  }
}

// A run whose frame count, with 5 fractional bits dropped, would stop 7/2^32 short of the
// loop end: the wrap would then put a loop that starts at 0 one value before the data and
// the voice would fall silent. The count is exact instead and the voice plays on inside the
// loop.
TEST(Mixer, LoopAtZeroIsNeverEnteredFromBelow) {
  SamplePtr sample = MakeSample({1000, 2000, 3000, 4000}, 0, 2, XM_LOOP_FORWARD);
  ModVoice voice = RestingVoice(sample.get(), kOne / 4, 1, 1);
  voice.posFrac = 0xFFFFFFF9;  // 7 units short of position 1
  std::vector<int32_t> lefts = Lefts(Mix(&voice, 64));
  EXPECT_NE(voice.sample, nullptr);
  EXPECT_LT(voice.pos, 2u);
  for (int32_t value : lefts) {
    EXPECT_GE(value, 1000 * 32 - 1);
    EXPECT_LE(value, 2000 * 32);
  }
}

// Steps of 32 sample positions or more, and high steps in general, stop on the sample's end
// and never read past its data (the sample block is exactly the loader's size).
TEST(Mixer, HighStepsStopAtTheSampleEnd) {
  struct Case {
    uint64_t step;
    uint32_t length;
    int frames;
  };
  const Case cases[] = {
      {40 * kOne + kOne / 2, 100, 3},  // 0, 40.5, 81
      {32 * kOne, 64, 2},              // the shifted step would be 2^32
      {31 * kOne + 0xFFFFFFF0ull, 96, 3},
      {298 * kOne, 4000, 14},  // the highest Amiga frequency
  };
  for (const Case& c : cases) {
    std::vector<int16_t> values(c.length);
    for (uint32_t i = 0; i < c.length; i++) values[i] = (int16_t)(i + 1);
    SamplePtr sample = MakeSample(values);
    ModVoice voice = RestingVoice(sample.get(), c.step, 1, 1);
    std::vector<int32_t> lefts = Lefts(Mix(&voice, 20));
    int played = 0;
    for (int32_t value : lefts) played += value != 0;
    EXPECT_EQ(played, c.frames) << c.step;
    EXPECT_EQ(voice.sample, nullptr);
  }
}

// A zero step becomes the minimum step for good; on a very long sample the boundary is then
// more than 2^32 frames away, and the voice keeps playing at that step.
TEST(Mixer, ZeroStepOnALongSamplePlaysAtTheMinimumStep) {
  SamplePtr sample = MakeSample(std::vector<int16_t>((1u << 22) - 1, 5));
  ModVoice voice = RestingVoice(sample.get(), 0, 1, 1);
  std::vector<int32_t> lefts = Lefts(Mix(&voice, 1024));
  EXPECT_EQ(voice.stepFrac, MOD_MIN_STEP);
  EXPECT_EQ(voice.stepInt, 0u);
  EXPECT_NE(voice.sample, nullptr);
  uint64_t p = 1024ull * MOD_MIN_STEP;
  EXPECT_EQ(voice.pos, (uint32_t)(p >> 32));
  EXPECT_EQ(voice.posFrac, (uint32_t)p);
  EXPECT_EQ(lefts[1023], 5 * 32);
}

// ---- A frame-by-frame model -------------------------------------------------------------
// Tests the boundary after every frame instead of counting frames ahead, and walks loops
// one mirror or one loop length at a time. The mixer's counted runs must give the same
// frames and leave the same voice.
struct Model {
  ModVoice v;
  uint64_t p = 0;
  uint64_t loopStart = 0, loopEnd = 0, length = 0;

  uint64_t Ahead() const {
    if (v.backward) return loopStart;
    return (p >> 32) < (loopEnd >> 32) ? loopEnd : length;
  }
  // The boundary rule, applied once the position has reached or passed the boundary.
  bool Boundary() {
    const ModSample* s = v.sample;
    if (s->loopType == XM_LOOP_FORWARD) {
      while (p >= loopEnd) p -= loopEnd - loopStart;
      return true;
    }
    if (s->loopType == XM_LOOP_PINGPONG) {
      p = v.backward ? 2 * loopStart - p : 2 * loopEnd - p;
      v.backward = !v.backward;
      for (;;) {
        if (v.backward && (int64_t)(p - loopStart) < 0) {
          p = 2 * loopStart - p;
          v.backward = 0;
        } else if (!v.backward && p >= loopEnd) {
          p = 2 * loopEnd - p;
          v.backward = 1;
        } else {
          return true;
        }
      }
    }
    v.sample = nullptr;
    p = 0;
    return false;
  }
  // Before a frame: false when the voice has stopped or stands beyond its boundary.
  bool Settle() {
    for (;;) {
      uint64_t b = Ahead();
      if (v.backward ? p < b : p > b) return false;
      uint64_t step = ((uint64_t)v.stepInt << 32) | v.stepFrac;
      if (step < 32) v.stepFrac = MOD_MIN_STEP;
      if (p != b) return true;
      if (!Boundary()) return false;
    }
  }
  void Mix(int32_t* out, uint32_t count) {
    if (!v.sample) return;
    const ModSample* s = v.sample;
    loopStart = (uint64_t)s->loopStart << 32;
    loopEnd = ((uint64_t)s->loopStart + s->loopLength) << 32;
    length = (uint64_t)s->length << 32;
    p = ((uint64_t)v.pos << 32) | v.posFrac;
    for (uint32_t i = 0; i < count && Settle(); i++) {
      if (v.rampCount == 0 || (uint16_t)v.leftTarget != v.leftRampTarget ||
          (uint16_t)v.rightTarget != v.rightRampTarget) {
        v.leftRampTarget = (uint16_t)v.leftTarget;
        v.rightRampTarget = (uint16_t)v.rightTarget;
        v.leftRampStep = (v.leftTarget * 64 - v.leftCurrent) >> 6;
        v.rightRampStep = (v.rightTarget * 64 - v.rightCurrent) >> 6;
        v.rampCount = (v.leftRampStep || v.rightRampStep) ? 64 : 0;
      }
      int32_t s0 = s->data[p >> 32], s1 = s->data[(p >> 32) + 1];
      int64_t value = 32 * s0 + (((int64_t)(s1 - s0) * ((uint32_t)p >> 1)) >> 26);
      int64_t products[2] = {value * v.leftCurrent, value * v.rightCurrent};
      for (int side = 0; side < 2; side++) {
        out[2 * i + side] += (int32_t)(((products[side] >> 5) + (products[side] < 0)) >> 1);
      }
      v.leftCurrent += v.leftRampStep;
      v.rightCurrent += v.rightRampStep;
      if (v.rampCount != 0 && --v.rampCount == 0) v.leftRampStep = v.rightRampStep = 0;
      uint64_t b = Ahead();
      uint64_t step = ((uint64_t)v.stepInt << 32) | v.stepFrac;
      bool crossed;
      if (v.backward) {
        p -= step;
        crossed = (int64_t)(p - b) <= 0;
      } else {
        p += step;
        crossed = p >= b;
      }
      if (crossed && !Boundary()) break;
    }
    v.pos = (uint32_t)(p >> 32);
    v.posFrac = (uint32_t)p;
  }
};

void ExpectSameVoice(const ModVoice& a, const ModVoice& b) {
  EXPECT_EQ(a.sample, b.sample);
  EXPECT_EQ(a.pos, b.pos);
  EXPECT_EQ(a.posFrac, b.posFrac);
  EXPECT_EQ(a.backward, b.backward);
  EXPECT_EQ(a.stepFrac, b.stepFrac);
  EXPECT_EQ(a.leftCurrent, b.leftCurrent);
  EXPECT_EQ(a.rightCurrent, b.rightCurrent);
  EXPECT_EQ(a.rampCount, b.rampCount);
  EXPECT_EQ(a.leftRampStep, b.leftRampStep);
  EXPECT_EQ(a.rightRampStep, b.rightRampStep);
}

TEST(Mixer, CountedRunsMatchAFrameByFrameModel) {
  std::mt19937 random(12345);
  auto below = [&](uint32_t n) { return (uint32_t)(random() % n); };
  const uint64_t steps[] = {kOne / 7, kOne / 4, 3 * kOne / 4, kOne, kOne + 12345,
                            5 * kOne / 2, 7 * kOne, 33 * kOne + 99, 31, 0};
  for (int trial = 0; trial < 3000; trial++) {
    uint32_t length = 1 + below(40);
    std::vector<int16_t> values(length);
    for (int16_t& value : values) value = (int16_t)(below(65536) - 32768);
    uint8_t type = (uint8_t)below(4);
    uint32_t loopStart = below(length);
    uint32_t loopLength = 1 + below(length - loopStart);
    SamplePtr sample = MakeSample(values, loopStart, loopLength, type);
    ModVoice voice{};
    voice.sample = sample.get();
    uint64_t step = below(3) ? steps[below(10)] : ((uint64_t)below(8) << 32) | random();
    voice.stepInt = (uint32_t)(step >> 32);
    voice.stepFrac = (uint32_t)step;
    voice.pos = below(length + 2);
    voice.posFrac = below(4) ? (uint32_t)random() : 0xFFFFFFF0u + below(16);
    if (sample->loopType == XM_LOOP_PINGPONG && below(2)) {
      voice.backward = 1;
      voice.pos = sample->loopStart + below(sample->loopLength + 1);
    }
    voice.leftTarget = (int32_t)below(256) - 128;
    voice.rightTarget = (int32_t)below(128);
    voice.leftCurrent = (int32_t)below(8192);
    voice.rightCurrent = (int32_t)below(8192);
    voice.rampCount = (uint16_t)below(65);
    voice.leftRampStep = (int32_t)below(64) - 32;
    voice.leftRampTarget = below(2) ? (uint16_t)voice.leftTarget : 0;
    voice.rightRampTarget = (uint16_t)voice.rightTarget;
    Model model{voice};
    for (int call = 0; call < 4; call++) {
      uint32_t count = 1 + below(200);
      std::vector<int32_t> got(2 * count, 0), want(2 * count, 0);
      ModMixVoice(&voice, got.data(), count);
      model.Mix(want.data(), count);
      ASSERT_EQ(got, want) << "trial " << trial << " call " << call;
      ExpectSameVoice(voice, model.v);
      if (HasFailure()) return;
      if (below(3) == 0) voice.leftTarget = model.v.leftTarget = (int32_t)below(128);
    }
  }
}

}  // namespace
