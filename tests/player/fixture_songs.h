// Music-like fixture modules for the control tests, the benchmark and the fuzz seeds: a few
// looped and unlooped instruments (8- and 16-bit, forward and ping-pong loops, envelopes,
// auto-vibrato) and patterns whose channels play notes with common effects.
#pragma once

#include <cmath>
#include <cstdint>

#include "tests/player/xm_writer.h"

namespace xmfixture {

inline XmSample Saw8() {
  XmSample s;
  for (int i = 0; i < 64; i++) s.values.push_back(i * 4 - 128);
  s.loopLength = 64, s.loopType = 1;
  s.relativeNote = 12;
  return s;
}

inline XmSample Sine16() {
  XmSample s;
  s.is16Bit = true;
  for (int i = 0; i < 128; i++) s.values.push_back((int32_t)std::lround(20000 * std::sin(i * 2 * M_PI / 64)));
  s.loopStart = 32, s.loopLength = 64, s.loopType = 2;
  s.finetune = 16;
  return s;
}

inline XmSample Square8() {
  XmSample s;
  for (int i = 0; i < 32; i++) s.values.push_back(i < 16 ? 90 : -90);
  s.loopLength = 32, s.loopType = 1;
  s.volume = 40;
  s.relativeNote = 24;
  return s;
}

inline XmSample Noise8() {
  XmSample s;
  uint32_t x = 12345;
  for (int i = 0; i < 3000; i++) {
    x = x * 1103515245 + 12345;
    s.values.push_back((int32_t)((x >> 16) & 0xFF) - 128);
  }
  s.volume = 48;
  return s;
}

inline std::vector<XmInstrument> Instruments() {
  XmInstrument bass = XmSingleSampleInstrument(Saw8());
  bass.volEnv.points = {{0, 64}, {8, 48}, {40, 32}, {80, 0}};
  bass.volEnv.sustain = 2, bass.volEnv.flags = 3;
  bass.fadeout = 400;
  XmInstrument lead = XmSingleSampleInstrument(Sine16());
  lead.vibType = 0, lead.vibSweep = 16, lead.vibDepth = 6, lead.vibRate = 12;
  lead.panEnv.points = {{0, 20}, {16, 44}, {32, 20}};
  lead.panEnv.loopStart = 0, lead.panEnv.loopEnd = 2, lead.panEnv.flags = 5;
  XmInstrument pad = XmSingleSampleInstrument(Square8());
  pad.volEnv.points = {{0, 0}, {12, 64}, {30, 40}};
  pad.volEnv.flags = 1;
  XmInstrument hat = XmSingleSampleInstrument(Noise8());
  return {bass, lead, pad, hat};
}

// One pattern: channel c plays instrument 1 + c % 4, in steps that differ per channel.
inline XmPattern Pattern(uint16_t channels, int variation) {
  static const int scale[8] = {0, 3, 5, 7, 10, 12, 7, 5};
  XmPattern p;
  p.rows = 32;
  p.cells.assign((size_t)p.rows * channels, XmCell{});
  for (int r = 0; r < p.rows; r++) {
    for (int c = 0; c < channels; c++) {
      XmCell& cell = p.cells[(size_t)r * channels + c];
      int kind = c % 4;
      int every = kind == 3 ? 2 : kind == 0 ? 4 : 8;
      int base = 37 + 12 * (c % 3) + variation;
      if ((r + c) % every == 0) {
        cell.note = (uint8_t)(base + scale[(r / every + c) % 8]);
        cell.instrument = (uint8_t)(1 + kind);
      }
      if (kind == 0 && r % 16 == 14) cell.note = 97;  // key off
      if (kind == 1 && r % 8 == 4) cell.effect = 0x04, cell.param = 0x46;  // vibrato
      if (kind == 1 && r % 8 == 6) cell.effect = 0x03, cell.param = 0x08, cell.note = (uint8_t)(base + 5);
      if (kind == 2 && r % 4 == 2) cell.effect = 0x0A, cell.param = 0x02;  // volume slide down
      if (kind == 2 && r % 8 == 0) cell.effect = 0x00, cell.param = 0x37;  // arpeggio
      if (kind == 3) cell.volume = (uint8_t)(0x10 + 16 + (r * 7) % 48);  // set volume
      if (kind == 3 && r % 4 == 1) cell.effect = 0x08, cell.param = (uint8_t)(r * 8);  // panning
    }
  }
  return p;
}

}  // namespace xmfixture

// A song of `channels` channels, two 32-row patterns played twice, linear frequencies,
// speed 6 at 125 BPM: about 15 seconds.
inline XmModule XmFixtureSong(uint16_t channels) {
  XmModule m;
  m.channels = channels;
  m.instruments = xmfixture::Instruments();
  m.patterns = {xmfixture::Pattern(channels, 0), xmfixture::Pattern(channels, 5)};
  m.orders = {0, 1, 0, 1};
  return m;
}
