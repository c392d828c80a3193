// The sequencer: the row step and the tick step of every channel.
//
// The current row's cells are channelCount consecutive cells of the pattern that the order
// list names at orderPos; both steps look them up anew on every call. A cell holds note (0
// none, 1 to 96, 97 and above key off), instrument (0 none, else 1-based), volume-column
// byte, effect and parameter. The channel's sample is chosen on every tick from its
// instrument's keymap and its note.
#include "player/sequencer.h"

#include "player/effects.h"
#include "player/envelope.h"
#include "player/pitch.h"

namespace {

constexpr uint8_t EFFECT_TONE_PORTA = 0x03;
constexpr uint8_t EFFECT_TONE_PORTA_SLIDE = 0x05;
constexpr uint8_t EFFECT_TREMOLO = 0x07;
constexpr uint8_t EFFECT_KEY_OFF = 0x14;
constexpr uint8_t ENV_ON = 0x01;

const ModCell* ModCurrentRow(void) {
  const ModPattern* pattern = &modSong.patterns[modSong.orders[modSong.orderPos]];
  return ModPatternRow(pattern, (uint32_t)modSong.row);
}

// The channel's instrument record. The instrument table always has a first record (all zero
// in a module without instruments), and the loader clears cell instruments past the table,
// so the channel's one is always inside it.
const ModInstrument* ModChannelInstrument(const ModChannel* channel) {
  return &modSong.instruments[channel->instrument];
}

void ModStepEnvelopes(ModChannel* channel, const ModInstrument* ins) {
  if (ins->volEnvFlags & ENV_ON) ModEnvelopeStep(channel, ins, MOD_ENV_VOLUME);
  if (ins->panEnvFlags & ENV_ON) ModEnvelopeStep(channel, ins, MOD_ENV_PANNING);
}

// A cell instrument: the sample's volume and panning, full envelope and fadeout volume, and
// the envelopes, auto-vibrato and key start over.
void ModApplyInstrument(ModChannel* channel, const ModSample* sample) {
  channel->volume = sample->volume;
  channel->panning = sample->panning;
  channel->volEnvVolume = 64;
  channel->panEnvPan = 32;
  channel->fadeoutVolume = 65536;
  ModRestartEnvelopes(channel);
  channel->updateFlags |= UPDATE_VOLUME | UPDATE_PANNING;
}

void ModApplyNote(ModChannel* channel, const ModCell* cell, const ModSample* sample, bool porta) {
  int32_t n = cell->note - 1 + sample->relativeNote;
  channel->realNote = (uint8_t)n;
  int32_t period = ModNotePeriod(n, sample);
  channel->notePeriod = period;
  // A tone portamento slides from the current period to the note's instead of jumping.
  if (!porta && cell->volume < 0xF0) channel->period = period;
  channel->updateFlags |= UPDATE_TRIGGER;
}

void ModRowChannel(ModChannel* channel, const ModCell* cell) {
  bool porta = cell->effect == EFFECT_TONE_PORTA || cell->effect == EFFECT_TONE_PORTA_SLIDE;
  bool hasNote = cell->note >= 1 && cell->note <= 96;
  if (!porta) {
    if (cell->instrument != 0) channel->instrument = (uint8_t)(cell->instrument - 1);
    if (hasNote) channel->note = (uint8_t)(cell->note - 1);
  }
  const ModInstrument* ins = ModChannelInstrument(channel);
  ModSample* sample = ModInstrumentSample(ins, channel->note);
  ModRowMemory memory = {channel->period, channel->volume, channel->panning};

  // The volume stays where the last tick of a tremolo left it.
  if (cell->effect != EFFECT_TREMOLO && channel->lastEffect == EFFECT_TREMOLO) {
    channel->volume += channel->volumeDelta;
  }
  channel->lastEffect = cell->effect;
  channel->volumeDelta = 0;
  channel->periodDelta = 0;
  channel->updateFlags = UPDATE_VOLUME;

  if (hasNote) ModApplyNote(channel, cell, sample, porta);
  if (cell->instrument != 0) ModApplyInstrument(channel, sample);
  ModVolumeColumn(channel, cell->volume);
  if (cell->note >= XM_NOTE_KEY_OFF || cell->effect == EFFECT_KEY_OFF) channel->keyOff = 1;
  ModStepEnvelopes(channel, ins);
  // A release without volume envelope silences at once.
  if (channel->keyOff && !(ins->volEnvFlags & ENV_ON)) channel->volEnvVolume = 0;
  if (channel->keyOff) ModFadeout(channel, ins);
  ModEffectRow({channel, cell, cell->param, sample, ins, &memory});
  ModUpdateChannel(channel, sample, ins);
}

void ModTickChannel(ModChannel* channel, const ModCell* cell) {
  const ModInstrument* ins = ModChannelInstrument(channel);
  ModSample* sample = ModInstrumentSample(ins, channel->note);
  channel->volumeDelta = 0;
  channel->periodDelta = 0;
  channel->updateFlags = 0;
  ModStepEnvelopes(channel, ins);
  if (channel->keyOff) {
    ModFadeout(channel, ins);
    channel->updateFlags |= UPDATE_VOLUME;
  }
  ModVolumeColumnTick(channel, cell->volume);
  ModEffectTick({channel, cell, cell->param, sample, ins, nullptr});
  ModUpdateChannel(channel, sample, ins);
}

}  // namespace

void ModProcessRow(void) {
  const ModCell* cells = ModCurrentRow();
  ModEffectsBeginRow();
  for (int32_t i = 0; i < modSong.channelCount; i++) ModRowChannel(&modSong.channels[i], &cells[i]);
}

void ModProcessTick(void) {
  const ModCell* cells = ModCurrentRow();
  for (int32_t i = 0; i < modSong.channelCount; i++) ModTickChannel(&modSong.channels[i], &cells[i]);
}
