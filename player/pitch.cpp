// Pitch, panning and channel volume.
//
// Linear periods count 64 units a semitone and 768 an octave down from 7680 (note index 0);
// period 4608 plays at 8363 Hz and the frequency doubles every 768 units. Amiga periods are
// MOD_AMIGA_CLOCK / frequency, 13.375 * 2^((132 - note) / 12) rounded, with finetune
// interpolating toward the neighbouring semitone. A voice's step is frequency / 48000 in
// 32.32 fixed point. Floating point is used only for these powers of two.
#include "player/pitch.h"

#include <cmath>

#include "player/control.h"
#include "player/envelope.h"
#include "player/mixer.h"

namespace {

int32_t ModAmigaNotePeriod(int32_t note) {
  return (int32_t)std::lround(13.375 * std::exp2((132 - note) / 12.0));
}

// The other voice of the channel's pair takes over a new note while the old one fades out
// and plays on by itself, so that a note change does not click. The new voice keeps the
// channel's volume, pan and targets (a retrigger need not recompute them) and the waiting
// start offset; the note start sets its position and restarts its ramp, and the channel
// update sets its step.
void ModSwitchVoice(ModChannel* channel) {
  ModVoice* old = channel->voice;
  ModVoice* other = &modSong.voices[(old - modSong.voices) ^ 1];
  other->volume = old->volume;
  other->pan = old->pan;
  other->startOffset = old->startOffset;
  other->rightTarget = old->rightTarget;
  other->leftTarget = old->leftTarget;
  old->volume = old->rightTarget = old->leftTarget = 0;
  channel->voice = other;
}

void ModStartNote(ModChannel* channel, ModSample* sample) {
  if (channel->voice->sample != nullptr) ModSwitchVoice(channel);
  ModVoice* voice = channel->voice;
  voice->sample = sample;
  voice->posFrac = 0;
  voice->rightCurrent = voice->leftCurrent = 0;
  voice->rampCount = 0;
  voice->backward = 0;
  voice->pos = voice->startOffset;
  voice->startOffset = 0;
}

// Splits the voice's volume between the sides by its pan, linearly.
void ModSplitVolume(ModVoice* voice) {
  int64_t v = voice->volume, pan = voice->pan;
  voice->rightTarget = (int32_t)(pan * v / 255);
  voice->leftTarget = (int32_t)((255 - pan) * v / 255);
}

void ModUpdateVolume(ModChannel* channel) {
  // The first four factors multiply in 32 bits (wrapping for values no file should give),
  // the fadeout in 64.
  uint32_t product = (uint32_t)(channel->volume + channel->volumeDelta);
  product *= (uint32_t)channel->volEnvVolume;
  product *= (uint32_t)modSong.globalVolume;
  product *= 255u;
  int64_t v = ((int64_t)(int32_t)product * channel->fadeoutVolume) >> 35;
  channel->voice->volume = (int32_t)v;
}

void ModUpdatePanning(ModChannel* channel) {
  // The envelope swings the pan by up to +-128 at the centre and not at all at the sides.
  int64_t panning = channel->panning;
  int64_t distance = panning > 128 ? panning - 128 : 128 - panning;
  int64_t q = panning + ((int64_t)channel->panEnvPan - 32) * ((128 - distance) >> 5);
  if (q < 0) q = 0;
  if (q > 255) q = 255;
  channel->voice->pan = (int32_t)q;
}

void ModSetStep(ModVoice* voice, uint32_t frequency) {
  voice->stepInt = frequency / MOD_SAMPLE_RATE;
  voice->stepFrac = (uint32_t)(((uint64_t)(frequency % MOD_SAMPLE_RATE) << 32) / MOD_SAMPLE_RATE);
}

}  // namespace

int32_t ModAmigaPeriod(int32_t note, int32_t finetune) {
  int32_t a = ModAmigaNotePeriod(note);
  if (finetune == 0) return a;
  int32_t neighbour = ModAmigaNotePeriod(finetune > 0 ? note + 1 : note - 1);
  int32_t d = finetune > 0 ? neighbour - a : a - neighbour;
  return a + finetune * d / 128;
}

int32_t ModNotePeriod(int32_t note, const ModSample* sample) {
  if (modSong.flags & 1) return 7680 - 64 * note - sample->finetune / 2;
  return ModAmigaPeriod(note, sample->finetune);
}

uint32_t ModPeriodFrequency(int32_t period, int32_t periodDelta) {
  int64_t x = (int64_t)period + periodDelta;
  if (x <= 0) return MOD_MIN_FREQUENCY;
  if (!(modSong.flags & 1)) return (uint32_t)(MOD_AMIGA_CLOCK / x);
  // In linear mode the offset raises the pitch.
  int64_t units = MOD_LINEAR_C4_PERIOD - (int64_t)period + periodDelta;
  double frequency = MOD_C4_FREQUENCY * std::exp2((double)units / 768.0);
  if (!(frequency < 4294967295.0)) return 4294967295u;
  return (uint32_t)std::lround(frequency);
}

void ModUpdateChannel(ModChannel* channel, ModSample* sample, const ModInstrument* instrument) {
  channel->periodDelta += ModAutoVibrato(channel, instrument);
  if (channel->updateFlags & UPDATE_TRIGGER) ModStartNote(channel, sample);
  if (channel->volume < 0) channel->volume = 0;
  if (channel->volume > 64) channel->volume = 64;
  if (channel->updateFlags & UPDATE_VOLUME) ModUpdateVolume(channel);
  if (channel->updateFlags & UPDATE_PANNING) ModUpdatePanning(channel);
  if (channel->updateFlags & (UPDATE_VOLUME | UPDATE_PANNING)) ModSplitVolume(channel->voice);
  ModSetStep(channel->voice, ModPeriodFrequency(channel->period, channel->periodDelta));
}
