// Envelopes, fadeout, auto-vibrato and the vibrato/tremolo oscillator.
//
// An envelope is up to 12 (tick, value) points: volume values 0 to 64, panning values 0 to
// 64 around 32. The channel runs it in 16.16 fixed point: at each point it takes the point's
// value and the slope to the next one, between points it adds the slope once per tick. Flags
// are bit 0 on, bit 1 sustain, bit 2 loop. Files may give point counts above 12 and
// sustain or loop points beyond the points; those are read as if absent. Fixed-point sums
// wrap in 32 bits, as they do for the values a well-formed file never reaches.
#include "player/envelope.h"

namespace {

constexpr uint8_t ENV_ON = 0x01;
constexpr uint8_t ENV_SUSTAIN = 0x02;
constexpr uint8_t ENV_LOOP = 0x04;

// The channel fields of one envelope, and the instrument's description of it.
struct ModEnvelopeView {
  int32_t* tick;
  int32_t* point;
  int32_t* slope;
  int32_t* value16;
  int32_t* value;
  uint8_t* done;
  const ModEnvPoint* points;
  int32_t count;  // at most XM_MAX_ENVELOPE_POINTS
  int32_t sustain;
  int32_t loopStart;
  int32_t loopEnd;
  uint8_t flags;
  uint8_t update;
};

ModEnvelopeView ModEnvelopeOf(ModChannel* c, const ModInstrument* ins, ModEnvelopeKind kind) {
  auto count = [](uint8_t points) {
    return points < XM_MAX_ENVELOPE_POINTS ? (int32_t)points : (int32_t)XM_MAX_ENVELOPE_POINTS;
  };
  if (kind == MOD_ENV_VOLUME) {
    return {&c->volEnvTick,    &c->volEnvPoint,       &c->volEnvSlope,    &c->volEnvValue,
            &c->volEnvVolume,  &c->volEnvDone,        ins->volEnv,        count(ins->volEnvPoints),
            ins->volSustain,   ins->volLoopStart,     ins->volLoopEnd,    ins->volEnvFlags,
            UPDATE_VOLUME};
  }
  return {&c->panEnvTick,   &c->panEnvPoint,   &c->panEnvSlope,  &c->panEnvValue,
          &c->panEnvPan,    &c->panEnvDone,    ins->panEnv,      count(ins->panEnvPoints),
          ins->panSustain,  ins->panLoopStart, ins->panLoopEnd,  ins->panEnvFlags,
          UPDATE_PANNING};
}

int32_t ModWrap(int64_t value) { return (int32_t)(uint32_t)(uint64_t)value; }

int32_t ModSlope(const ModEnvPoint* points, int32_t from, int32_t to) {
  int32_t ticks = points[to].tick - points[from].tick;
  if (ticks == 0) return 0;
  return ModWrap(((int64_t)points[to].value - points[from].value) * 65536 / ticks);
}

// Oscillator waveforms over 64 positions: sine, falling ramp, square, square. The ramp
// falls from 0 to -124 over the first half and from 128 to 4 over the second, the shape of
// the sine's phase at the scale of the other two.
struct ModWaveTable {
  int16_t values[4][64];
  constexpr ModWaveTable() : values() {
    constexpr int16_t sine[32] = {0,   12,  25,  37,  49,  60,  71,  81,  90,  98, 106,
                                  112, 117, 122, 125, 126, 127, 126, 125, 122, 117, 112,
                                  106, 98,  90,  81,  71,  60,  49,  37,  25,  12};
    for (int p = 0; p < 64; p++) {
      values[0][p] = (int16_t)(p < 32 ? sine[p] : -sine[p - 32]);
      values[1][p] = (int16_t)(p < 32 ? -4 * p : 256 - 4 * p);
      values[2][p] = values[3][p] = (int16_t)(p < 32 ? 127 : -127);
    }
  }
};
constexpr ModWaveTable MOD_WAVES;

// Auto-vibrato quarter sine: 64 * sin(i * pi / 128) for i = 0 to 64.
constexpr int8_t MOD_AUTO_VIBRATO_SINE[65] = {
    0,  2,  3,  5,  6,  8,  9,  11, 12, 14, 16, 17, 19, 20, 22, 23, 24, 26, 27, 29, 30, 32,
    33, 34, 36, 37, 38, 39, 41, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56,
    56, 57, 58, 59, 59, 60, 60, 61, 61, 62, 62, 62, 63, 63, 63, 64, 64, 64, 64, 64, 64};

int32_t ModAutoVibratoWave(uint8_t type, int32_t a) {
  if (type == 0) {
    int32_t q = a % 128;
    int32_t value = MOD_AUTO_VIBRATO_SINE[q <= 64 ? q : 128 - q];
    return a >= 128 ? -value : value;
  }
  if (type == 1) return a < 128 ? 64 : -64;
  if (type == 2) return (128 - ((a - 128) & 255)) >> 1;
  return (128 - ((128 - a) & 255)) >> 1;
}

}  // namespace

void ModEnvelopeStep(ModChannel* channel, const ModInstrument* instrument, ModEnvelopeKind kind) {
  ModEnvelopeView e = ModEnvelopeOf(channel, instrument, kind);
  channel->updateFlags |= e.update;
  if (*e.done) return;
  int32_t point = *e.point;
  if (point >= 0 && point < e.count) {
    if (*e.tick != e.points[point].tick) {
      *e.value16 = ModWrap((int64_t)*e.value16 + *e.slope);
    } else {
      // A loop whose points lie beyond the envelope's is not a loop.
      bool loop = (e.flags & ENV_LOOP) && e.loopEnd < e.count && e.loopStart < e.count;
      if (loop && point == e.loopEnd) {
        point = *e.point = e.loopStart;
        *e.tick = e.points[point].tick;
      }
      *e.value = e.points[point].value;
      if (point == e.count - 1) {
        *e.done = 1;
        return;
      }
      if ((e.flags & ENV_SUSTAIN) && point == e.sustain && !channel->keyOff) return;
      *e.point = point + 1;
      *e.value16 = ModWrap((int64_t)e.points[point].value * 65536);
      *e.slope = ModSlope(e.points, point, point + 1);
    }
  }
  *e.tick = ModWrap((int64_t)*e.tick + 1);
  *e.value = *e.value16 >> 16;
}

void ModSetEnvelopePosition(ModChannel* channel, const ModInstrument* instrument, uint32_t tick) {
  ModEnvelopeView e = ModEnvelopeOf(channel, instrument, MOD_ENV_VOLUME);
  if (!(e.flags & ENV_ON)) return;
  const ModEnvPoint* x = e.points;
  int32_t last = e.count - 1;
  int32_t k = 0;
  if (tick > x[1].tick) {
    k = 1;
    while (k < last && tick > x[k + 1].tick) k++;
  }
  if (k >= last) {
    channel->volEnvDone = 1;
    channel->volEnvVolume = x[last < 0 ? 0 : last].value;
    return;
  }
  channel->volEnvDone = 0;
  channel->volEnvTick = (int32_t)tick;
  channel->volEnvSlope = ModSlope(x, k, k + 1);
  channel->volEnvValue =
      ModWrap((int64_t)x[k].value * 65536 + ((int64_t)tick - x[k].tick) * channel->volEnvSlope);
  channel->volEnvVolume = channel->volEnvValue >> 16;
  channel->volEnvPoint = k + 1;
}

void ModRestartEnvelopes(ModChannel* channel) {
  channel->volEnvTick = channel->volEnvPoint = channel->volEnvSlope = 0;
  channel->panEnvTick = channel->panEnvPoint = channel->panEnvSlope = 0;
  channel->autoVibSweep = channel->autoVibPos = 0;
  channel->keyOff = channel->volEnvDone = channel->panEnvDone = 0;
  if (!(channel->waveControl & 0xC0)) channel->tremoloPos = 0;
  if (!(channel->waveControl & 0x0C)) channel->vibratoPos = 0;
}

void ModFadeout(ModChannel* channel, const ModInstrument* instrument) {
  channel->fadeoutVolume -= instrument->fadeout;
  if (channel->fadeoutVolume < 0) channel->fadeoutVolume = 0;
}

int32_t ModOscillator(ModChannel* channel, ModOscillatorKind kind) {
  bool vibrato = kind == MOD_OSC_VIBRATO;
  uint8_t* position = vibrato ? &channel->vibratoPos : &channel->tremoloPos;
  uint8_t speed = vibrato ? channel->vibratoSpeed : channel->tremoloSpeed;
  uint8_t depth = vibrato ? channel->vibratoDepth : channel->tremoloDepth;
  uint8_t waveform = (vibrato ? channel->waveControl : channel->waveControl >> 4) & 3;
  uint8_t p = *position & 63;
  *position = (uint8_t)((p + speed) & 63);
  return (depth * MOD_WAVES.values[waveform][p]) >> 5;
}

int32_t ModAutoVibrato(ModChannel* channel, const ModInstrument* instrument) {
  int32_t position = channel->autoVibPos & 255;
  int32_t v = instrument->vibDepth * ModAutoVibratoWave(instrument->vibType, position);
  if (instrument->vibSweep != 0) v = channel->autoVibSweep * v / instrument->vibSweep;
  int32_t sweep = channel->autoVibSweep + 1;
  channel->autoVibSweep = sweep < instrument->vibSweep ? sweep : instrument->vibSweep;
  channel->autoVibPos = (position + instrument->vibRate) & 255;
  return v >> 6;
}
