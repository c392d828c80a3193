// The module model: the loaded XM module as the engine reads it while it plays.
//
// One module exists at a time. The song record `modSong` is static; everything whose size
// depends on the module (voices, channels, pattern table, instrument table, cells, samples)
// comes zeroed from the player's private heap through ModHeapAlloc and is never freed piece
// by piece: stopping the player destroys the heap and with it the whole module.
//
// Forms differ from the file where the engine gains by it: patterns are unpacked into fixed
// 5-byte cells, sample data is signed 16-bit and already delta-decoded, loops are counted in
// samples and clamped inside the sample, and every sample holds one value behind its loop
// end (and three values behind its length) for the mixer's interpolation.
#pragma once

#include <cstddef>
#include <cstdint>

struct ModVoice;    // player/mixer.h
struct ModChannel;  // player/channel.h

constexpr uint32_t XM_MAX_CHANNELS = 64;
constexpr uint32_t XM_MAX_INSTRUMENT_SAMPLES = 16;
constexpr uint32_t XM_MAX_ENVELOPE_POINTS = 12;
constexpr uint32_t XM_MAX_PATTERN_ROWS = 256;
constexpr uint32_t XM_MAX_SONG_LENGTH = 256;
constexpr uint32_t XM_MAX_SAMPLE_LENGTH = 1u << 22;  // values; a longer sample is rejected
constexpr uint32_t XM_BLANK_PATTERN_ROWS = 64;
constexpr uint8_t XM_PACKING_ADPCM = 0xAD;
constexpr uint8_t XM_LOOP_NONE = 0;
constexpr uint8_t XM_LOOP_FORWARD = 1;
constexpr uint8_t XM_LOOP_PINGPONG = 2;
constexpr uint8_t XM_NOTE_KEY_OFF = 97;

// One pattern cell, the values as in the file; an all-zero cell is empty.
struct ModCell {
  uint8_t note;        // 0 none, 1 to 96 a note, 97 (and above) key off
  uint8_t instrument;  // 0 none, else 1 to instrumentCount
  uint8_t volume;      // volume-column byte
  uint8_t effect;
  uint8_t param;
};

struct ModPattern {
  uint16_t rows;
  uint16_t packedSize;  // size of the packed data in the file; not read after loading
  ModCell* cells;       // rows * channelCount cells, row after row
};

struct ModEnvPoint {
  uint16_t tick;
  uint16_t value;
};

struct ModInstrument {
  struct ModSample* samples[XM_MAX_INSTRUMENT_SAMPLES];  // null beyond the sample count
  // From here to fadeout: the fields of the XM instrument header, in its order and widths.
  uint8_t keymap[96];  // sample number for each note index 0 to 95
  ModEnvPoint volEnv[XM_MAX_ENVELOPE_POINTS];
  ModEnvPoint panEnv[XM_MAX_ENVELOPE_POINTS];
  uint8_t volEnvPoints;  // as in the file: may exceed 12
  uint8_t panEnvPoints;
  uint8_t volSustain;  // point indices as in the file: may lie beyond the points
  uint8_t volLoopStart;
  uint8_t volLoopEnd;
  uint8_t panSustain;
  uint8_t panLoopStart;
  uint8_t panLoopEnd;
  uint8_t volEnvFlags;  // bit 0 on, bit 1 sustain, bit 2 loop; 0 with fewer than 2 points
  uint8_t panEnvFlags;
  uint8_t vibType;
  uint8_t vibSweep;
  uint8_t vibDepth;
  uint8_t vibRate;
  uint16_t fadeout;  // twice the file's value, kept in 16 bits
};

// A sample: its header, then length + 3 decoded values. loopStart + loopLength never
// exceeds length; data[loopStart + loopLength] holds the value the mixer reads after the
// loop's last one (the loop's first value for a forward loop, its last for a ping-pong
// loop); values the loader writes nothing into are 0.
struct ModSample {
  uint32_t length;      // values, below XM_MAX_SAMPLE_LENGTH
  uint32_t loopStart;   // 0 when there is no loop
  uint32_t loopLength;  // length when there is no loop
  uint8_t volume;
  int8_t finetune;  // the set-finetune effect writes it during playback
  uint8_t is16Bit;
  uint8_t panning;
  int8_t relativeNote;
  uint8_t packing;
  uint8_t loopType;  // XM_LOOP_*; 3 stays as read: the voice stops at the loop end
  int16_t data[];
};

// The song record: playback fields first, then the file header's values.
struct ModSong {
  ModPattern* patterns;        // patternCount entries
  // Instrument n (1-based, as in cells) is entry n - 1. The table has at least one record,
  // all zero in a module without instruments, so that entry 0 always exists.
  ModInstrument* instruments;
  uint32_t tickSamplesLeft;    // frames of the current tick not mixed yet
  int32_t globalVolume;        // 0 to 64
  int32_t tick;                // ticks of the current row already begun
  int32_t speed;               // ticks per row
  int32_t orderPos;
  int32_t row;
  int32_t rowExtraTicks;  // from the pattern delay effect
  int32_t nextOrder;      // -1: no change
  int32_t nextRow;        // -1: no change
  int32_t channelCount;   // 1 to 64
  ModVoice* voices;       // 2 * channelCount; channel i owns voices 2i and 2i + 1
  ModChannel* channels;   // channelCount
  uint32_t samplesPerTick;
  uint16_t songLength;  // 1 to 256
  uint16_t restartPos;
  uint8_t fileChannels;       // low byte of the file's channel count
  uint8_t globalVolSlideMem;  // starts as the high byte of the file's channel count
  uint16_t patternCount;
  uint16_t instrumentCount;  // as in the file; only the low byte counts
  uint16_t flags;            // bit 0: linear frequency table
  uint16_t defaultSpeed;
  uint16_t defaultBpm;
  uint8_t orders[256];
  // Counters kept for the tools: rows begun since loading, and how often the song has
  // gone back to an earlier (or the same) order, i.e. looped.
  uint32_t rowsPlayed;
  uint32_t songLoops;
};

extern ModSong modSong;

// Plays silence wherever a note maps to no sample, so that a sample pointer is never null:
// length 0, no loop, three zero data values.
extern ModSample& ModSilentSample;

// A zeroed block of `size` bytes from the player's private heap, or null when the heap
// cannot supply it (the load then fails). Only the loader allocates.
void* ModHeapAlloc(size_t size);

// The cells of `row` of `pattern`: channelCount cells. A row at or past the pattern's row
// count (a 0-row pattern, or a row that a pattern break set past the end) reads as empty
// cells instead of outside the pattern.
const ModCell* ModPatternRow(const ModPattern* pattern, uint32_t row);

// The sample that note index `note` (0 to 95) of `instrument` plays: ModSilentSample for a
// keymap value of 16 or more, an empty slot or a note index above 95.
ModSample* ModInstrumentSample(const ModInstrument* instrument, uint32_t note);
