// The engine's whole-song fixture: a short module whose parts can be checked by ear
// substitutes (a pure A-4 of a known one-cycle sample, a triangle bass from a ping-pong
// loop, a noise drum without loop, envelopes with sustain, fadeout and a panning loop) and
// then a row of common effects. Linear periods, speed 6 at 125 BPM: 120 ms a row.
#pragma once

#include <cmath>

#include "tests/player/xm_writer.h"

namespace enginesong {

constexpr uint8_t kA4 = 58, kC3 = 37, kC4 = 49, kC5 = 61, kE4 = 53, kG4 = 56;

// One cycle of a sine in 32 16-bit values, looped forward: C-4 plays at 8363 / 32 Hz.
inline XmSample SineCycle() {
  XmSample s;
  s.is16Bit = true;
  for (int i = 0; i < 32; i++) s.values.push_back((int32_t)std::lround(24000 * std::sin(i * M_PI / 16)));
  s.loopLength = 32;
  s.loopType = 1;
  return s;
}

// A rising ramp looped ping-pong: a triangle of 128 values a cycle, an octave up.
inline XmSample TriangleRamp() {
  XmSample s;
  for (int i = 0; i < 64; i++) s.values.push_back(i * 4 - 126);
  s.loopLength = 64;
  s.loopType = 2;
  s.relativeNote = 12;
  s.volume = 48;
  return s;
}

// Decaying noise, played once.
inline XmSample NoiseHit() {
  XmSample s;
  uint32_t x = 2024;
  for (int i = 0; i < 2400; i++) {
    x = x * 1664525 + 1013904223;
    double decay = std::exp(-i / 500.0);
    s.values.push_back((int32_t)std::lround(((int32_t)(x >> 24) - 128) * decay));
  }
  s.volume = 56;
  return s;
}

inline std::vector<XmInstrument> Instruments() {
  XmInstrument lead = XmSingleSampleInstrument(SineCycle());
  lead.volEnv.points = {{0, 0}, {4, 64}, {20, 40}, {60, 40}};
  lead.volEnv.sustain = 2;
  lead.volEnv.flags = 3;
  lead.fadeout = 512;  // 1024 a tick: silent 64 ticks after the key-off
  XmInstrument bass = XmSingleSampleInstrument(TriangleRamp());
  bass.panEnv.points = {{0, 16}, {24, 48}, {48, 16}};
  bass.panEnv.loopStart = 0;
  bass.panEnv.loopEnd = 2;
  bass.panEnv.flags = 5;
  XmInstrument drum = XmSingleSampleInstrument(NoiseHit());
  return {lead, bass, drum};
}

inline void Put(XmPattern& p, int row, int channel, XmCell cell) { p.cells[(size_t)row * 4 + channel] = cell; }

// Rows 0-7: A-4 alone. Rows 8-15: key-off of the lead, bass and drums join.
inline XmPattern Intro() {
  XmPattern p;
  p.rows = 16;
  p.cells.assign(16 * 4, XmCell{});
  Put(p, 0, 0, {kA4, 1, 0, 0, 0});
  Put(p, 8, 0, {97, 0, 0, 0, 0});
  Put(p, 8, 1, {kC3, 2, 0, 0, 0});
  Put(p, 12, 1, {kC3 + 7, 0, 0, 0x00, 0x47});  // arpeggio
  for (int r = 8; r < 16; r += 2) Put(p, r, 2, {kC4, 3, (uint8_t)(r % 4 ? 0x30 : 0x50), 0, 0});
  return p;
}

// Effects: vibrato, tone portamento, volume slides, retrigger, note delay and cut, panning,
// a pattern loop, and a break into the next order.
inline XmPattern Effects() {
  XmPattern p;
  p.rows = 16;
  p.cells.assign(16 * 4, XmCell{});
  Put(p, 0, 0, {kC5, 1, 0, 0x04, 0x48});
  Put(p, 1, 0, {0, 0, 0, 0x04, 0x00});
  Put(p, 2, 0, {kG4, 0, 0, 0x03, 0x20});
  Put(p, 3, 0, {0, 0, 0, 0x05, 0x02});
  Put(p, 4, 0, {kE4, 1, 0xC2, 0x0A, 0x04});
  Put(p, 5, 0, {0, 0, 0xEF, 0x0E, 0x60});
  Put(p, 6, 0, {kG4, 0, 0, 0x0E, 0x61});
  Put(p, 8, 0, {kA4, 1, 0x40, 0x0E, 0xD3});
  Put(p, 10, 0, {kC5, 1, 0, 0x0E, 0xC4});
  Put(p, 12, 0, {97, 0, 0, 0, 0});
  Put(p, 0, 1, {kC3, 2, 0, 0, 0});
  Put(p, 4, 1, {kC3 + 5, 2, 0, 0x01, 0x08});
  Put(p, 8, 1, {kC3, 2, 0x70 + 2, 0x07, 0x86});
  Put(p, 12, 1, {kC3 - 2, 2, 0, 0x08, 0x30});
  Put(p, 0, 2, {kC4, 3, 0, 0x1B, 0x33});
  Put(p, 8, 2, {kC4, 3, 0, 0x0E, 0x93});
  Put(p, 4, 3, {kE4, 1, 0x30, 0x1D, 0x21});
  Put(p, 14, 3, {0, 0, 0, 0x0D, 0x02});
  return p;
}

}  // namespace enginesong

// Intro, effects, intro again; the song then restarts at the effects: about 5.6 seconds a
// pass from the start.
inline XmModule EngineSong() {
  XmModule m;
  m.channels = 4;
  m.instruments = enginesong::Instruments();
  m.patterns = {enginesong::Intro(), enginesong::Effects()};
  m.orders = {0, 1, 0};
  m.restartPos = 1;
  return m;
}
