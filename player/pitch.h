// Pitch, panning and channel volume: from a channel's musical state to what its voice plays.
//
// Periods come in two modes, chosen by bit 0 of the song's flags: linear (64 units a
// semitone, 7680 - 64 * note - finetune / 2) and Amiga (inversely proportional to the
// frequency, 1712 for note index 48). Both give note index 48 at 8363 Hz.
#pragma once

#include <cstdint>

#include "player/channel.h"
#include "player/model.h"

constexpr uint32_t MOD_AMIGA_CLOCK = 14317456;
constexpr uint32_t MOD_MIN_FREQUENCY = 40;  // Hz, for a period of 0 or below
constexpr int32_t MOD_LINEAR_C4_PERIOD = 4608;  // the period that plays at 8363 Hz
constexpr uint32_t MOD_C4_FREQUENCY = 8363;

// Period of signed note index `note` (cell note - 1 + relative note) for `sample`.
int32_t ModNotePeriod(int32_t note, const ModSample* sample);

// Amiga period of note index `note` at finetune `finetune` (1/128 semitone).
int32_t ModAmigaPeriod(int32_t note, int32_t finetune);

// Frequency in Hz that period `period` with offset `periodDelta` plays at.
uint32_t ModPeriodFrequency(int32_t period, int32_t periodDelta);

// End of every tick of every channel: adds the auto-vibrato, starts a new note when asked
// (moving to the other voice of the pair while the current one still sounds), clamps the
// volume and refreshes the voice's volume targets, pan and step.
void ModUpdateChannel(ModChannel* channel, ModSample* sample, const ModInstrument* instrument);
