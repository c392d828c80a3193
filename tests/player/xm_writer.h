// A small XM writer for test fixtures: describe a module with plain records and get the bytes
// of an XM file (little-endian, the 0x0104 layout). Defaults make a well-formed file; the
// raw* fields and the header sizes let a test write exactly the malformed file it needs.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct XmCell {
  uint8_t note = 0;
  uint8_t instrument = 0;
  uint8_t volume = 0;
  uint8_t effect = 0;
  uint8_t param = 0;
};

struct XmPattern {
  uint16_t rows = 64;
  std::vector<XmCell> cells;  // rows * channels, row after row; missing cells are empty
  bool storeData = true;      // false: packed size 0, no data (a blank pattern)
  bool packCells = true;      // false: every cell as five plain bytes
  std::optional<std::vector<uint8_t>> rawData;  // written instead of the encoded cells
  std::optional<uint16_t> rawPackedSize;
};

struct XmSample {
  // Values as stored: -128 to 127 for 8-bit samples, 16-bit values otherwise.
  std::vector<int32_t> values;
  bool is16Bit = false;
  uint32_t loopStart = 0;   // in values
  uint32_t loopLength = 0;  // in values
  uint8_t loopType = 0;
  uint8_t volume = 64;
  int8_t finetune = 0;
  uint8_t panning = 128;
  int8_t relativeNote = 0;
  uint8_t packing = 0;
  uint8_t extraTypeBits = 0;  // or-ed into the type byte
  // Header fields in bytes, written instead of the ones derived from the values and loop.
  std::optional<uint32_t> rawLength, rawLoopStart, rawLoopLength;
  std::optional<std::vector<uint8_t>> rawData;  // written instead of the delta-coded values
};

struct XmEnvelope {
  std::vector<std::pair<uint16_t, uint16_t>> points;  // (tick, value), at most 12 written
  std::optional<uint8_t> rawPointCount;
  uint8_t sustain = 0, loopStart = 0, loopEnd = 0, flags = 0;
};

struct XmInstrument {
  std::vector<XmSample> samples;
  uint8_t keymap[96] = {};
  XmEnvelope volEnv, panEnv;
  uint8_t vibType = 0, vibSweep = 0, vibDepth = 0, vibRate = 0;
  uint16_t fadeout = 0;
  uint32_t headerSize = 0;        // 0: 263 with samples, 29 without
  uint32_t sampleHeaderSize = 40;
  std::optional<uint16_t> rawSampleCount;
};

struct XmModule {
  uint16_t channels = 4;
  uint16_t flags = 1;  // linear frequency table
  uint16_t tempo = 6;
  uint16_t bpm = 125;
  uint16_t restartPos = 0;
  std::vector<uint8_t> orders = {0};
  std::vector<XmPattern> patterns = {XmPattern{}};
  std::vector<XmInstrument> instruments;
  uint32_t headerSize = 276;
  std::optional<uint16_t> rawSongLength, rawPatternCount, rawInstrumentCount;
};

namespace xmwriter {

inline void Put8(std::vector<uint8_t>& out, uint32_t v) { out.push_back((uint8_t)v); }
inline void Put16(std::vector<uint8_t>& out, uint32_t v) {
  Put8(out, v);
  Put8(out, v >> 8);
}
inline void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v);
  Put16(out, v >> 16);
}
inline void PutText(std::vector<uint8_t>& out, const char* text, size_t size) {
  for (size_t i = 0; i < size; i++) out.push_back(i < strlen(text) ? (uint8_t)text[i] : 0);
}
// Pads or cuts `image` to `size` bytes and appends it.
inline void PutSized(std::vector<uint8_t>& out, std::vector<uint8_t> image, size_t size) {
  image.resize(size, 0);
  out.insert(out.end(), image.begin(), image.end());
}

inline std::vector<uint8_t> PackCells(const XmPattern& p, uint16_t channels) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i < (size_t)p.rows * channels; i++) {
    XmCell c = i < p.cells.size() ? p.cells[i] : XmCell{};
    uint8_t fields[5] = {c.note, c.instrument, c.volume, c.effect, c.param};
    uint8_t mask = 0;
    for (int f = 0; f < 5; f++) mask |= fields[f] ? (1 << f) : 0;
    if (!p.packCells || (mask == 0x1F && c.note < 0x80)) {
      out.insert(out.end(), fields, fields + 5);
      continue;
    }
    out.push_back(0x80 | mask);
    for (int f = 0; f < 5; f++)
      if (fields[f]) out.push_back(fields[f]);
  }
  return out;
}

inline std::vector<uint8_t> SampleData(const XmSample& s) {
  if (s.rawData) return *s.rawData;
  std::vector<uint8_t> out;
  int32_t last = 0;
  for (int32_t v : s.values) {
    if (s.is16Bit)
      Put16(out, (uint32_t)(v - last));
    else
      Put8(out, (uint32_t)(v - last));
    last = v;
  }
  return out;
}

inline std::vector<uint8_t> SampleHeader(const XmSample& s) {
  uint32_t unit = s.is16Bit ? 2 : 1;
  std::vector<uint8_t> h;
  Put32(h, s.rawLength.value_or((uint32_t)s.values.size() * unit));
  Put32(h, s.rawLoopStart.value_or(s.loopStart * unit));
  Put32(h, s.rawLoopLength.value_or(s.loopLength * unit));
  Put8(h, s.volume);
  Put8(h, (uint8_t)s.finetune);
  Put8(h, (s.loopType & 3) | (s.is16Bit ? 0x10 : 0) | s.extraTypeBits);
  Put8(h, s.panning);
  Put8(h, (uint8_t)s.relativeNote);
  Put8(h, s.packing);
  PutText(h, "sample", 22);
  return h;
}

inline void PutEnvelopePoints(std::vector<uint8_t>& h, const XmEnvelope& e) {
  for (size_t i = 0; i < 12; i++) {
    Put16(h, i < e.points.size() ? e.points[i].first : 0);
    Put16(h, i < e.points.size() ? e.points[i].second : 0);
  }
}

inline std::vector<uint8_t> InstrumentHeader(const XmInstrument& ins, uint32_t size) {
  std::vector<uint8_t> h;
  Put32(h, size);
  PutText(h, "instrument", 22);
  Put8(h, 0);
  Put16(h, ins.rawSampleCount.value_or((uint16_t)ins.samples.size()));
  Put32(h, ins.sampleHeaderSize);
  h.insert(h.end(), ins.keymap, ins.keymap + 96);
  PutEnvelopePoints(h, ins.volEnv);
  PutEnvelopePoints(h, ins.panEnv);
  Put8(h, ins.volEnv.rawPointCount.value_or((uint8_t)ins.volEnv.points.size()));
  Put8(h, ins.panEnv.rawPointCount.value_or((uint8_t)ins.panEnv.points.size()));
  for (uint8_t v : {ins.volEnv.sustain, ins.volEnv.loopStart, ins.volEnv.loopEnd,
                    ins.panEnv.sustain, ins.panEnv.loopStart, ins.panEnv.loopEnd,
                    ins.volEnv.flags, ins.panEnv.flags, ins.vibType, ins.vibSweep,
                    ins.vibDepth, ins.vibRate})
    Put8(h, v);
  Put16(h, ins.fadeout);
  return h;
}

}  // namespace xmwriter

// The bytes of the XM file that `m` describes.
inline std::vector<uint8_t> XmWrite(const XmModule& m) {
  using namespace xmwriter;
  std::vector<uint8_t> out;
  std::vector<uint8_t> h;
  PutText(h, "Extended Module: ", 17);
  PutText(h, "fixture", 20);
  Put8(h, 0x1A);
  PutText(h, "xm_writer", 20);
  Put16(h, 0x0104);
  Put32(h, m.headerSize);
  Put16(h, m.rawSongLength.value_or((uint16_t)m.orders.size()));
  Put16(h, m.restartPos);
  Put16(h, m.channels);
  Put16(h, m.rawPatternCount.value_or((uint16_t)m.patterns.size()));
  Put16(h, m.rawInstrumentCount.value_or((uint16_t)m.instruments.size()));
  Put16(h, m.flags);
  Put16(h, m.tempo);
  Put16(h, m.bpm);
  for (size_t i = 0; i < 256; i++) Put8(h, i < m.orders.size() ? m.orders[i] : 0);
  PutSized(out, h, 60 + m.headerSize);

  for (const XmPattern& p : m.patterns) {
    std::vector<uint8_t> data;
    if (p.storeData) data = p.rawData ? *p.rawData : PackCells(p, m.channels & 0xFF);
    Put32(out, 9);
    Put8(out, 0);
    Put16(out, p.rows);
    Put16(out, p.rawPackedSize.value_or((uint16_t)data.size()));
    out.insert(out.end(), data.begin(), data.end());
  }

  for (const XmInstrument& ins : m.instruments) {
    uint32_t size = ins.headerSize ? ins.headerSize : (ins.samples.empty() ? 29 : 263);
    PutSized(out, InstrumentHeader(ins, size), size);
    for (const XmSample& s : ins.samples) PutSized(out, SampleHeader(s), ins.sampleHeaderSize);
    for (const XmSample& s : ins.samples) {
      std::vector<uint8_t> data = SampleData(s);
      out.insert(out.end(), data.begin(), data.end());
    }
  }
  return out;
}

// A cell with a note (1 to 96, 97 key off), an instrument and optional effect.
inline XmCell XmNote(uint8_t note, uint8_t instrument, uint8_t volume = 0, uint8_t effect = 0,
                     uint8_t param = 0) {
  return XmCell{note, instrument, volume, effect, param};
}

// An instrument playing `sample` on every note.
inline XmInstrument XmSingleSampleInstrument(XmSample sample) {
  XmInstrument ins;
  ins.samples.push_back(std::move(sample));
  return ins;
}

// Note number of a name like "C-4" or "A#3" (1 = C-0).
inline uint8_t XmNoteNumber(const std::string& name) {
  static const char* names[12] = {"C-", "C#", "D-", "D#", "E-", "F-", "F#", "G-", "G#", "A-", "A#", "B-"};
  for (int i = 0; i < 12; i++)
    if (name.compare(0, 2, names[i]) == 0) return (uint8_t)(1 + i + 12 * (name[2] - '0'));
  return 0;
}
