// The module model's shared pieces: the song record, the silent sample, the heap allocator
// and the lookups that keep the engine inside the model's tables (an empty row for rows a
// pattern does not have, the silent sample for notes that map to no sample).
#include "player/model.h"

#include <new>

#include "player/control.h"

ModSong modSong;

// Header plus three zero data values, so the silent sample has the same shape as any other.
alignas(ModSample) static unsigned char modSilentBytes[sizeof(ModSample) + 3 * sizeof(int16_t)];
ModSample& ModSilentSample = *new (modSilentBytes) ModSample{};

static const ModCell modEmptyRow[XM_MAX_CHANNELS] = {};

void* ModHeapAlloc(size_t size) {
  return HeapAlloc(modPlayer.heap, HEAP_NO_SERIALIZE | HEAP_ZERO_MEMORY, size);
}

const ModCell* ModPatternRow(const ModPattern* pattern, uint32_t row) {
  if (row >= pattern->rows || !pattern->cells) return modEmptyRow;
  return pattern->cells + (size_t)row * (uint32_t)modSong.channelCount;
}

ModSample* ModInstrumentSample(const ModInstrument* instrument, uint32_t note) {
  if (note >= 96) return &ModSilentSample;
  uint8_t k = instrument->keymap[note];
  if (k >= XM_MAX_INSTRUMENT_SAMPLES || !instrument->samples[k]) return &ModSilentSample;
  return instrument->samples[k];
}
