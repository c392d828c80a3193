// Channel state and the sequencer's two steps.
//
// Each module channel keeps one ModChannel between ticks: its note, instrument, period,
// volume and panning, its envelope and auto-vibrato counters, and every effect memory and
// oscillator. The loader allocates the records zeroed, one per channel, and points each at
// the first of the channel's two voices; the sequencer then owns them on the rendering
// thread for the life of the loaded module. Nothing here allocates or reports errors.
#pragma once

#include <cstdint>

struct ModVoice;  // player/mixer.h

// What ModUpdateChannel refreshes on the voice at the end of a tick, besides the step, which
// it sets on every tick.
constexpr uint8_t UPDATE_VOLUME = 0x02;
constexpr uint8_t UPDATE_PANNING = 0x04;
constexpr uint8_t UPDATE_TRIGGER = 0x08;  // start the note anew

struct ModChannel {
  uint8_t note;         // note index 0 to 95 of the last note given
  uint8_t updateFlags;  // UPDATE_* for this tick
  uint8_t instrument;   // 0-based instrument index
  ModVoice* voice;      // the voice of the pair that carries the channel now
  int32_t period;       // linear-mode units or Amiga period
  int32_t volume;       // 0 to 64 after each tick's clamp
  int32_t volumeDelta;  // this tick only: tremolo, tremor
  int32_t periodDelta;  // this tick only: vibrato, arpeggio, auto-vibrato
  int32_t panning;      // 0 left, 128 centre, 255 right
  int32_t volEnvTick;
  int32_t volEnvPoint;  // next point to reach
  int32_t volEnvSlope;  // 16.16 per tick
  int32_t panEnvTick;
  int32_t panEnvPoint;
  int32_t panEnvSlope;
  int32_t autoVibSweep;  // ticks since the instrument started, up to its vibSweep
  int32_t autoVibPos;    // 0 to 255
  uint8_t keyOff;
  uint8_t volEnvDone;
  uint8_t panEnvDone;
  int32_t volEnvValue;    // 16.16
  int32_t volEnvVolume;   // 0 to 64
  int32_t fadeoutVolume;  // 0 to 65536 (no fade)
  int32_t panEnvValue;    // 16.16
  int32_t panEnvPan;      // 0 to 64, 32 = no change
  int32_t notePeriod;     // period of the last note read from a cell
  uint32_t sampleOffset;  // effect 9 memory, in samples
  int32_t portaTarget;
  uint8_t loopCount;  // pattern loop (E6)
  int32_t loopRow;
  uint8_t realNote;    // note index plus relative note of the last note
  uint8_t lastEffect;  // effect of the previous row
  uint8_t portaSpeed;  // effects 1 and 2
  uint8_t xfinePortaDownMem;
  uint8_t xfinePortaUpMem;
  uint8_t volSlideMem;  // effects A, 5 and 6
  uint8_t panSlideMem;
  uint8_t retrigVolume;    // R, high nibble
  uint8_t retrigInterval;  // R, low nibble
  uint8_t tonePortaSpeed;  // effect 3 and the volume column's tone portamento
  uint8_t vibratoPos;      // 0 to 63
  uint8_t vibratoSpeed;
  uint8_t vibratoDepth;
  uint8_t tremoloPos;  // 0 to 63
  uint8_t tremoloSpeed;
  uint8_t tremoloDepth;
  uint8_t tremorCount;
  uint8_t tremorOn;
  uint8_t tremorOff;
  // Low nibble vibrato (E4), high nibble tremolo (E7): bits 0-1 the waveform, bits 2-3
  // keep the position when a new instrument or a delayed note starts.
  uint8_t waveControl;
  int8_t fineVolSlideMem;  // EA stores -y, EB stores y
  uint8_t finePortaUpMem;
  uint8_t finePortaDownMem;
};
