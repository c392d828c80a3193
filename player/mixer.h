// The mixer: adds every playing voice into the block's mix buffer.
//
// Each channel owns two ModVoice records (voices 2i and 2i + 1 of modSong.voices); the
// loader allocates them zeroed and gives each channel's first voice an integer step of 1.
// ModUpdateChannel sets a voice's sample, step and volume targets between calls; the mixer
// steps through the sample in 32.32 fixed point with linear interpolation, follows its loop,
// and glides the applied volumes to their targets over MOD_RAMP_FRAMES frames. A voice whose
// sample is null is idle. The mixer only adds into the buffer; it never reads outside a
// sample's data, whatever loop the file gave.
#pragma once

#include <cstdint>

struct ModSample;  // player/model.h

constexpr uint32_t MOD_RAMP_FRAMES = 64;
// Step fraction that replaces a step of (almost) zero: about 40 Hz at 48000 Hz.
constexpr uint32_t MOD_MIN_STEP = 0x369D00;

struct ModVoice {
  int32_t volume;        // final volume as last computed
  int32_t pan;           // 0 left to 255 right, as last computed
  uint32_t startOffset;  // where the next note start begins (effect 9); consumed by it
  int32_t rightTarget;
  int32_t leftTarget;
  uint32_t pos;  // integer part of the sample position
  uint32_t stepFrac;
  uint32_t stepInt;  // step = stepInt + stepFrac / 2^32 sample positions per frame
  uint16_t rightRampTarget;  // low 16 bits of rightTarget when the running ramp began
  uint16_t leftRampTarget;
  int32_t rightRampStep;  // change of rightCurrent per frame while the ramp runs
  int32_t leftRampStep;
  ModSample* sample;  // null: idle
  uint32_t posFrac;
  int32_t rightCurrent;  // applied volume times 64
  int32_t leftCurrent;
  uint16_t rampCount;  // frames left in the running ramp
  uint8_t backward;    // ping-pong direction
};

// Adds `count` frames of every voice into the mix buffer from frame `position` on.
void ModMixVoices(uint32_t position, uint32_t count);

// Adds `count` frames of one voice into `frames` (left, right, left, right...).
void ModMixVoice(ModVoice* voice, int32_t* frames, uint32_t count);

// The end of the loop the mixer plays: loopStart + loopLength, which is the length for a
// sample without a loop.
uint32_t ModSampleLoopEnd(const ModSample* sample);
