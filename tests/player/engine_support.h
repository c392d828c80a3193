// Small builders for the engine tests: samples made in memory the way the loader lays them
// out, and a blank song of a few channels with their voices, so that the sequencer, the
// effects, the envelopes, the pitch code and the mixer can be driven without a module file.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "player/channel.h"
#include "player/mixer.h"
#include "player/model.h"

struct SampleFree {
  void operator()(ModSample* sample) const { std::free(sample); }
};
using SamplePtr = std::unique_ptr<ModSample, SampleFree>;

// A sample holding `values`, with three values of room behind them and the loop value
// behind the loop end, as the loader writes it. The block is exactly as large as the
// loader's, so that the address sanitizer sees any read past it.
inline SamplePtr MakeSample(const std::vector<int16_t>& values, uint32_t loopStart = 0,
                            uint32_t loopLength = 0, uint8_t loopType = XM_LOOP_NONE) {
  uint32_t length = (uint32_t)values.size();
  size_t bytes = sizeof(ModSample) + (length + 3) * sizeof(int16_t);
  ModSample* sample = (ModSample*)std::calloc(1, bytes);
  sample->length = length;
  if (loopType == XM_LOOP_NONE || loopLength == 0) {
    loopStart = 0;
    loopLength = length;
    loopType = XM_LOOP_NONE;
  }
  sample->loopStart = loopStart;
  sample->loopLength = loopLength;
  sample->loopType = loopType;
  sample->volume = 64;
  sample->panning = 128;
  if (length) std::memcpy(sample->data, values.data(), length * sizeof(int16_t));
  uint64_t loopEnd = (uint64_t)loopStart + loopLength;
  if (loopEnd <= length) {
    if (loopType == XM_LOOP_FORWARD) sample->data[loopEnd] = sample->data[loopStart];
    if (loopType == XM_LOOP_PINGPONG) sample->data[loopEnd] = sample->data[loopEnd - 1];
  }
  return SamplePtr(sample);
}

// A voice at rest playing `sample` from its start at `step` (32.32) with both sides at
// `target`: no ramp runs and none is started.
inline ModVoice RestingVoice(ModSample* sample, uint64_t step, int32_t left, int32_t right) {
  ModVoice voice{};
  voice.sample = sample;
  voice.stepInt = (uint32_t)(step >> 32);
  voice.stepFrac = (uint32_t)step;
  voice.leftTarget = left;
  voice.rightTarget = right;
  voice.leftCurrent = left * 64;
  voice.rightCurrent = right * 64;
  voice.leftRampTarget = (uint16_t)left;
  voice.rightRampTarget = (uint16_t)right;
  return voice;
}

constexpr uint64_t kOne = 1ull << 32;  // a step or position of one sample
