// Envelopes, fadeout, auto-vibrato and the vibrato/tremolo oscillator: the shapes that an
// instrument and the effects lay over a note, all advancing once per tick.
#pragma once

#include <cstdint>

#include "player/channel.h"
#include "player/model.h"

enum ModEnvelopeKind { MOD_ENV_VOLUME, MOD_ENV_PANNING };
enum ModOscillatorKind { MOD_OSC_VIBRATO, MOD_OSC_TREMOLO };

// Advances the channel's volume or panning envelope by one tick (only called while the
// envelope is on) and asks for the matching voice update.
void ModEnvelopeStep(ModChannel* channel, const ModInstrument* instrument, ModEnvelopeKind kind);

// Effect L: moves the volume envelope to `tick` when it is on; the panning envelope stays.
void ModSetEnvelopePosition(ModChannel* channel, const ModInstrument* instrument, uint32_t tick);

// Both envelopes start again from their first point, the key is pressed again, the
// auto-vibrato starts over, and the vibrato and tremolo positions go back to 0 unless
// waveControl keeps them: what a new instrument and a delayed note have in common.
void ModRestartEnvelopes(ModChannel* channel);

// After a key-off: the fadeout volume falls by the instrument's fadeout, down to 0.
void ModFadeout(ModChannel* channel, const ModInstrument* instrument);

// One step of the vibrato or tremolo oscillator: the value at the position before the step,
// scaled by the depth (about +-59 at depth 15).
int32_t ModOscillator(ModChannel* channel, ModOscillatorKind kind);

// The instrument's auto-vibrato offset to the period for this tick; advances its counters.
int32_t ModAutoVibrato(ModChannel* channel, const ModInstrument* instrument);
