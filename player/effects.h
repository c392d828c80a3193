// Pattern effects and the volume column, reached through tables indexed by effect number.
#pragma once

#include <cstdint>

#include "player/channel.h"
#include "player/model.h"

// The channel's period, volume and panning before the row's note was applied; the note
// delay puts them back.
struct ModRowMemory {
  int32_t period;
  int32_t volume;
  int32_t panning;
};

// What an effect handler works on.
struct ModEffectCall {
  ModChannel* channel;
  const ModCell* cell;
  uint8_t param;
  ModSample* sample;  // selected for the channel this tick
  const ModInstrument* instrument;
  const ModRowMemory* memory;  // tick 0 only
};

// Forgets the position jump of the previous row; called before the first channel of a row.
void ModEffectsBeginRow(void);

// Tick 0 of the cell's effect (effects 1 to 0x21; others do nothing).
void ModEffectRow(const ModEffectCall& call);

// Later ticks of the cell's effect (effects 0 to 0x1D; others do nothing).
void ModEffectTick(const ModEffectCall& call);

// The volume column's tick-0 part; also run when a delayed note starts.
void ModVolumeColumn(ModChannel* channel, uint8_t volume);

// The volume column's part on later ticks.
void ModVolumeColumnTick(ModChannel* channel, uint8_t volume);

// Shared steps of the effects and the volume column.
void ModTonePortaSetUp(ModChannel* channel);
void ModTonePortaStep(ModChannel* channel);
void ModVibratoStep(ModChannel* channel);

// Adds `delta` to the channel's period. Periods run free (fine slides have no limit), but
// saturate at +-2^30, where every mode already plays at the lowest or highest pitch it can,
// so that a slide held for hours never overflows.
void ModAddPeriod(ModChannel* channel, int64_t delta);
