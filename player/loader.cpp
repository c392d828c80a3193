// The XM loader: one pass over the file into the module model.
//
// File facts it relies on (all numbers little-endian): a 336-byte module header up to the
// order table, the first pattern at 60 + header size; each pattern a 9-byte header (rows at
// 5, packed size at 7) and packed cells, where a byte with bit 7 set says which of the five
// fields follow and any other byte is a note followed by the four other fields; each
// instrument a header whose first 33 bytes give its size and sample count, its next 208
// bytes the keymap, envelopes and vibrato, then its sample headers (up to 40 bytes each)
// and then its sample data, delta-coded 8- or 16-bit values or 0xAD 4-bit deltas over a
// 16-entry table. The loader checks only what the engine needs to stay inside its tables.
#include "player/loader.h"

#include <cstring>

#include "player/channel.h"
#include "player/mixer.h"
#include "player/model.h"
#include "player/render.h"
#include "player/source.h"

ModError modLoadError;

static uint16_t ModLe16(const uint8_t* p) { return (uint16_t)(p[0] | p[1] << 8); }
static uint32_t ModLe32(const uint8_t* p) { return (uint32_t)ModLe16(p) | (uint32_t)ModLe16(p + 2) << 16; }

static BOOL ModReject(ModError error) {
  modLoadError = error;
  return FALSE;
}

static size_t ModAlignUp(size_t n) { return (n + 15) & ~(size_t)15; }

// Header fields into the song record. The header is read into a zeroed buffer, so bytes the
// file lacks read as 0 rather than as whatever an earlier module left in the song record.
static uint16_t ModReadSongHeader(uint8_t header[336]) {
  memset(header, 0, 336);
  ModSourceRead(header, 336);
  modSong.songLength = ModLe16(header + 64);
  modSong.restartPos = ModLe16(header + 66);
  modSong.fileChannels = header[68];
  modSong.globalVolSlideMem = header[69];
  modSong.instrumentCount = ModLe16(header + 72);
  modSong.flags = ModLe16(header + 74);
  modSong.defaultSpeed = ModLe16(header + 76);
  modSong.defaultBpm = ModLe16(header + 78);
  memcpy(modSong.orders, header + 80, 256);
  return ModLe16(header + 70);
}

// Voices, channels, pattern table and instrument table in one zeroed block, in that order.
// The instrument table has at least one record so that instrument 0 exists even in a module
// without instruments (it has no samples, so every note plays silence).
static BOOL ModAllocateTables(void) {
  size_t channels = (size_t)modSong.channelCount;
  size_t instruments = (modSong.instrumentCount & 0xFF) ? (modSong.instrumentCount & 0xFF) : 1;
  size_t voiceBytes = ModAlignUp(2 * channels * sizeof(ModVoice));
  size_t channelBytes = ModAlignUp(channels * sizeof(ModChannel));
  size_t patternBytes = ModAlignUp(modSong.patternCount * sizeof(ModPattern));
  uint8_t* block = (uint8_t*)ModHeapAlloc(voiceBytes + channelBytes + patternBytes +
                                          instruments * sizeof(ModInstrument));
  if (!block) return FALSE;
  modSong.voices = (ModVoice*)block;
  modSong.channels = (ModChannel*)(block + voiceBytes);
  modSong.patterns = (ModPattern*)(block + voiceBytes + channelBytes);
  modSong.instruments = (ModInstrument*)(block + voiceBytes + channelBytes + patternBytes);
  for (size_t i = 0; i < channels; i++) {
    modSong.channels[i].voice = &modSong.voices[2 * i];
    modSong.voices[2 * i].stepInt = 1;
  }
  return TRUE;
}

// A pattern entry with rows * channelCount empty cells (none at all for 0 rows).
static BOOL ModAllocateCells(ModPattern* pattern) {
  size_t count = (size_t)pattern->rows * (uint32_t)modSong.channelCount;
  if (count == 0) return TRUE;
  pattern->cells = (ModCell*)ModHeapAlloc(count * sizeof(ModCell));
  return pattern->cells != nullptr;
}

static void ModReadCell(ModCell* cell) {
  // A cell the file does not hold reads as b = 0 (a note of 0 with four missing bytes),
  // which leaves the cell empty.
  uint8_t b = 0;
  ModSourceRead(&b, 1);
  if (b & 0x80) {
    uint8_t* fields[5] = {&cell->note, &cell->instrument, &cell->volume, &cell->effect, &cell->param};
    for (int f = 0; f < 5; f++)
      if (b & (1 << f)) ModSourceRead(fields[f], 1);
  } else {
    uint8_t rest[4] = {};
    ModSourceRead(rest, 4);
    *cell = ModCell{b, rest[0], rest[1], rest[2], rest[3]};
  }
  if (cell->instrument > (modSong.instrumentCount & 0xFF)) cell->instrument = 0;
}

static BOOL ModReadPattern(ModPattern* pattern) {
  uint8_t header[9] = {};
  ModSourceRead(header, 9);
  pattern->rows = ModLe16(header + 5);
  pattern->packedSize = ModLe16(header + 7);
  // A pattern without data is blank, whatever its row count.
  bool stored = pattern->packedSize != 0;
  if (stored && (pattern->rows == 0 || pattern->rows > XM_MAX_PATTERN_ROWS)) return ModReject(MOD_ERR_ROW_COUNT);
  if (!ModAllocateCells(pattern)) return ModReject(MOD_ERR_OUT_OF_MEMORY);
  if (!stored) return TRUE;
  size_t count = (size_t)pattern->rows * (uint32_t)modSong.channelCount;
  for (size_t i = 0; i < count; i++) ModReadCell(&pattern->cells[i]);
  return TRUE;
}

static BOOL ModReadPatterns(uint16_t filePatterns, uint32_t maxOrder) {
  for (uint32_t p = 0; p < filePatterns; p++)
    if (!ModReadPattern(&modSong.patterns[p])) return FALSE;
  // Patterns the order list names but the file does not store: blank, 64 rows.
  for (uint32_t p = filePatterns; p <= maxOrder; p++) {
    modSong.patterns[p].rows = XM_BLANK_PATTERN_ROWS;
    if (!ModAllocateCells(&modSong.patterns[p])) return ModReject(MOD_ERR_OUT_OF_MEMORY);
  }
  return TRUE;
}

static void ModReadEnvelope(const uint8_t* points, ModEnvPoint* envelope) {
  for (uint32_t i = 0; i < XM_MAX_ENVELOPE_POINTS; i++)
    envelope[i] = ModEnvPoint{ModLe16(points + 4 * i), ModLe16(points + 4 * i + 2)};
}

// The 208 bytes from the keymap to the fadeout.
static void ModReadInstrumentBody(ModInstrument* ins) {
  uint8_t body[208] = {};
  ModSourceRead(body, 208);
  memcpy(ins->keymap, body, 96);
  ModReadEnvelope(body + 96, ins->volEnv);
  ModReadEnvelope(body + 144, ins->panEnv);
  const uint8_t* b = body + 192;
  ins->volEnvPoints = b[0];
  ins->panEnvPoints = b[1];
  ins->volSustain = b[2];
  ins->volLoopStart = b[3];
  ins->volLoopEnd = b[4];
  ins->panSustain = b[5];
  ins->panLoopStart = b[6];
  ins->panLoopEnd = b[7];
  ins->volEnvFlags = b[8];
  ins->panEnvFlags = b[9];
  ins->vibType = b[10];
  ins->vibSweep = b[11];
  ins->vibDepth = b[12];
  ins->vibRate = b[13];
  ins->fadeout = ModLe16(b + 14);
}

// Loop values in samples, clamped into the sample as the format's trackers do: the
// comparisons are signed, so a value of 2^31 or more is taken as negative.
static void ModClampLoop(ModSample* s, uint8_t type) {
  if ((int32_t)s->length <= (int32_t)s->loopStart) s->loopStart = s->length;
  if ((int32_t)(s->loopStart + s->loopLength - s->length) >= 0) s->loopLength = s->length - s->loopStart;
  s->loopType = type & 3;
  // The signed clamps let loop values of 2^31 or more through; such a loop would lie outside
  // the sample, so it is dropped like an empty one.
  bool outside = (uint64_t)s->loopStart + s->loopLength > s->length;
  if (s->loopType == XM_LOOP_NONE || s->loopLength == 0 || outside) {
    s->loopStart = 0;
    s->loopLength = s->length;
    s->loopType = XM_LOOP_NONE;
  }
}

static BOOL ModReadSampleHeader(ModInstrument* ins, uint32_t slot, uint32_t headerSize) {
  uint8_t h[40] = {};
  ModSourceRead(h, (int32_t)headerSize);
  uint32_t length = ModLe32(h);
  uint32_t loopStart = ModLe32(h + 4);
  uint32_t loopLength = ModLe32(h + 8);
  uint8_t type = h[14];
  uint8_t is16Bit = (type >> 4) & 1;
  if (is16Bit) {
    length >>= 1;
    loopStart >>= 1;
    loopLength >>= 1;
  }
  // Rejected before its record is allocated, so that a corrupt length never asks the heap
  // for gigabytes; the load fails either way.
  if (length >= XM_MAX_SAMPLE_LENGTH) return ModReject(MOD_ERR_SAMPLE_TOO_LONG);
  ModSample* s = (ModSample*)ModHeapAlloc(sizeof(ModSample) + ((size_t)length + 3) * sizeof(int16_t));
  if (!s) return ModReject(MOD_ERR_OUT_OF_MEMORY);
  s->length = length;
  s->loopStart = loopStart;
  s->loopLength = loopLength;
  ModClampLoop(s, type);
  s->volume = h[12];
  s->finetune = (int8_t)h[13];
  s->is16Bit = is16Bit;
  s->panning = h[15];
  s->relativeNote = (int8_t)h[16];
  s->packing = h[17];
  ins->samples[slot] = s;
  return TRUE;
}

// 4-bit deltas over a table of 16 signed bytes, low nibble first. The packed bytes are read
// into the tail of the data area and decoded forwards: each byte's two values land before
// the next unread byte.
static void ModDecodeAdpcm(ModSample* s) {
  int8_t table[16] = {};
  ModSourceRead(table, 16);
  uint32_t packed = (s->length + 1) / 2;
  uint8_t* area = (uint8_t*)s->data;
  size_t tail = ((size_t)s->length + 3) * 2 - packed;
  ModSourceRead(area + tail, (int32_t)packed);
  uint8_t v = 0;
  for (uint32_t i = 0; i < packed; i++) {
    uint8_t b = area[tail + i];
    v = (uint8_t)(v + table[b & 15]);
    s->data[2 * i] = (int16_t)(uint16_t)(v << 8);
    v = (uint8_t)(v + table[b >> 4]);
    s->data[2 * i + 1] = (int16_t)(uint16_t)(v << 8);
  }
  // What is left of the packed bytes behind the values is cleared.
  for (size_t i = 2 * (size_t)packed; i < (size_t)s->length + 3; i++) s->data[i] = 0;
}

// 8-bit deltas: summed in place over the bytes, then widened from the last value backwards
// into the high bytes of the 16-bit values.
static void ModDecode8(ModSample* s) {
  uint8_t* bytes = (uint8_t*)s->data;
  ModSourceRead(bytes, (int32_t)s->length);
  uint8_t v = 0;
  for (uint32_t i = 0; i < s->length; i++) bytes[i] = v = (uint8_t)(v + bytes[i]);
  for (uint32_t i = s->length; i-- > 0;) s->data[i] = (int16_t)(uint16_t)(bytes[i] << 8);
}

static void ModDecode16(ModSample* s) {
  uint8_t* bytes = (uint8_t*)s->data;
  ModSourceRead(bytes, (int32_t)(2 * s->length));
  uint16_t v = 0;
  for (uint32_t i = 0; i < s->length; i++) {
    v = (uint16_t)(v + ModLe16(bytes + 2 * i));
    s->data[i] = (int16_t)v;
  }
}

// The value the mixer reads after the loop's last one.
static void ModWriteLoopEnd(ModSample* s) {
  uint32_t loopEnd = s->loopStart + s->loopLength;
  if (s->loopType == XM_LOOP_FORWARD) s->data[loopEnd] = s->data[s->loopStart];
  if (s->loopType == XM_LOOP_PINGPONG) s->data[loopEnd] = s->data[loopEnd - 1];
}

static void ModReadSampleData(ModSample* s) {
  if (s->packing == XM_PACKING_ADPCM)
    ModDecodeAdpcm(s);
  else if (s->is16Bit)
    ModDecode16(s);
  else
    ModDecode8(s);
  ModWriteLoopEnd(s);
}

// Reads one instrument with its samples. A file that ends inside the first 33 bytes of an
// instrument header has no more instruments: `ended` is set and the record stays empty.
static BOOL ModReadInstrument(ModInstrument* ins, bool* ended) {
  uint8_t header[33] = {};
  if (ModSourceRead(header, 33) < 33) {
    *ended = true;
    return TRUE;
  }
  int64_t headerSize = ModLe32(header);
  uint32_t n = header[27];
  uint32_t sampleHeaderSize = ModLe32(header + 29);
  if (n == 0) {
    ModSourceSeek(headerSize - 33, TRUE);
  } else {
    if (n > XM_MAX_INSTRUMENT_SAMPLES) return ModReject(MOD_ERR_TOO_MANY_SAMPLES);
    if (sampleHeaderSize > 40) return ModReject(MOD_ERR_SAMPLE_HEADER_SIZE);
    ModReadInstrumentBody(ins);
    ModSourceSeek(headerSize - 241, TRUE);
  }
  ins->fadeout = (uint16_t)(2 * ins->fadeout);
  if (ins->volEnvPoints < 2) ins->volEnvFlags = 0;
  if (ins->panEnvPoints < 2) ins->panEnvFlags = 0;
  for (uint32_t i = 0; i < n; i++)
    if (!ModReadSampleHeader(ins, i, sampleHeaderSize)) return FALSE;
  for (uint32_t i = 0; i < n; i++) ModReadSampleData(ins->samples[i]);
  return TRUE;
}

// Forgets the previous module's tables, so that nothing in the song record points into a
// heap that has been destroyed.
static void ModResetSong(void) {
  modSong.patterns = nullptr;
  modSong.instruments = nullptr;
  modSong.voices = nullptr;
  modSong.channels = nullptr;
  modSong.rowsPlayed = 0;
  modSong.songLoops = 0;
}

BOOL ModLoadXm(void) {
  modLoadError = MOD_OK;
  ModResetSong();
  uint8_t header[336];
  uint16_t filePatterns = ModReadSongHeader(header);
  ModSourceSeek(60 + (int64_t)ModLe32(header + 60), FALSE);
  if (filePatterns == 0) return ModReject(MOD_ERR_NO_PATTERNS);
  if (modSong.songLength == 0 || modSong.songLength > XM_MAX_SONG_LENGTH) return ModReject(MOD_ERR_SONG_LENGTH);

  uint32_t maxOrder = 0;
  for (uint32_t p = 0; p < modSong.songLength; p++)
    if (modSong.orders[p] > maxOrder) maxOrder = modSong.orders[p];
  modSong.patternCount = (uint16_t)(filePatterns > maxOrder + 1 ? filePatterns : maxOrder + 1);

  modSong.channelCount = modSong.fileChannels;
  if (modSong.channelCount == 0 || modSong.channelCount > (int32_t)XM_MAX_CHANNELS)
    return ModReject(MOD_ERR_CHANNEL_COUNT);
  if (!ModAllocateTables()) return ModReject(MOD_ERR_OUT_OF_MEMORY);

  ModSetBpm(modSong.defaultBpm);
  modSong.globalVolume = 64;
  modSong.speed = modSong.defaultSpeed;

  if (!ModReadPatterns(filePatterns, maxOrder)) return FALSE;

  // The song clock: the first frame starts the first tick of row 0 of order 0.
  modSong.tickSamplesLeft = 0;
  modSong.tick = 0;
  modSong.rowExtraTicks = 0;
  modSong.nextOrder = 0;
  modSong.nextRow = 0;

  // A module that ends early loads with what it holds. Its missing instrument headers are
  // not read as zeros, whose header size of 0 would seek back into bytes already read.
  bool ended = false;
  for (uint32_t i = 0; i < (modSong.instrumentCount & 0xFFu) && !ended; i++)
    if (!ModReadInstrument(&modSong.instruments[i], &ended)) return FALSE;
  return TRUE;
}
