// Small builders for the engine tests: samples made in memory the way the loader lays them
// out, and a blank song of a few channels with their voices, so that the sequencer, the
// effects, the envelopes, the pitch code and the mixer can be driven without a module file.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "player/channel.h"
#include "player/control.h"
#include "player/mixer.h"
#include "player/model.h"
#include "player/render.h"
#include "tests/player/xm_writer.h"

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

// ---- A loaded song ----------------------------------------------------------------------

constexpr uint8_t kC4 = 49;  // note C-4: note index 48, 8363 Hz at finetune 0

// A looped 8-bit sample of 32 values: a ramp from -64 to 60 (stored values times 256).
inline XmSample RampSample() {
  XmSample sample;
  for (int i = 0; i < 32; i++) sample.values.push_back(4 * i - 64);
  sample.loopStart = 0;
  sample.loopLength = 32;
  sample.loopType = XM_LOOP_FORWARD;
  return sample;
}

// `channels` channels, one 64-row pattern, linear periods, speed 6, tempo 125, and one
// instrument whose one sample, RampSample, plays every note.
inline XmModule EngineModule(uint16_t channels = 1) {
  XmModule m;
  m.channels = channels;
  m.patterns[0].cells.resize(64 * channels);
  m.instruments.push_back(XmSingleSampleInstrument(RampSample()));
  return m;
}

inline XmCell& Cell(XmModule& m, int row, int channel = 0, int pattern = 0) {
  XmPattern& p = m.patterns[pattern];
  p.cells.resize((size_t)p.rows * m.channels);
  return p.cells[(size_t)row * m.channels + channel];
}

class EngineTest : public ::testing::Test {
 protected:
  void TearDown() override { ModStop(); }
  void Load(const XmModule& m) {
    file = XmWrite(m);
    ASSERT_TRUE(ModLoadFromMemory(file.data(), (DWORD)file.size()));
  }
  // One tick of the song clock through the render loop, which also mixes one block: every
  // block begins a tick, whatever the tempo.
  void Tick() {
    modSong.tickSamplesLeft = 0;
    modSong.samplesPerTick = 1u << 30;
    ModRenderBlock();
  }
  void Ticks(int count) {
    for (int i = 0; i < count; i++) Tick();
  }
  ModChannel& Channel(int i = 0) { return modSong.channels[i]; }
  ModVoice& Voice(int i = 0) { return *modSong.channels[i].voice; }
  // The rendered block's left samples, as 16-bit output.
  std::vector<int16_t> LeftOutput() {
    uint32_t block = (modPlayer.nextBlock + MOD_BLOCK_COUNT - 1) % MOD_BLOCK_COUNT;
    const uint8_t* bytes = modPlayer.waveBuffer + block * MOD_BLOCK_BYTES;
    std::vector<int16_t> left;
    for (uint32_t i = 0; i < MOD_BLOCK_FRAMES; i++) {
      left.push_back((int16_t)(bytes[4 * i] | bytes[4 * i + 1] << 8));
    }
    return left;
  }
  std::vector<uint8_t> file;
};
