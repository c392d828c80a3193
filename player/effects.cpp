// Pattern effects: one row handler and one tick handler per effect number, and tables for
// the extended effects (E, by the parameter's high nibble) and the retrigger volume changes.
//
// Effect numbers follow XM: 0 to 0x0F are effects 0 to F, then 0x10 G, 0x11 H, 0x14 K,
// 0x15 L, 0x19 P, 0x1B R, 0x1D T and 0x21 X; numbers without a handler do nothing. A
// parameter p has nibbles x (high) and y (low). Memories are channel fields; a parameter of
// 0 repeats the value last stored where an effect keeps one.
#include "player/effects.h"

#include "player/envelope.h"
#include "player/mixer.h"
#include "player/pitch.h"
#include "player/render.h"

namespace {

using ModEffectHandler = void (*)(const ModEffectCall& call);

constexpr int32_t MOD_PERIOD_LIMIT = 1 << 30;

// Set by a position jump (B) for the rest of its row: a later pattern break keeps its order.
bool modJumpInRow = false;

uint8_t HighNibble(uint8_t p) { return p >> 4; }
uint8_t LowNibble(uint8_t p) { return p & 15; }

// ---- Shared steps ------------------------------------------------------------------------

void ModPortaStep(ModChannel* c, int32_t direction) {
  ModAddPeriod(c, (int64_t)direction * 4 * c->portaSpeed);
  if (c->period < 1) c->period = 1;
}

void ModVolumeSlide(ModChannel* c) {
  uint8_t x = HighNibble(c->volSlideMem), y = LowNibble(c->volSlideMem);
  c->volume += x != 0 ? x : -y;
  c->updateFlags |= UPDATE_VOLUME;
}

void ModTremoloStep(ModChannel* c) {
  c->volumeDelta = ModOscillator(c, MOD_OSC_TREMOLO);
  c->updateFlags |= UPDATE_VOLUME;
}

// The channel sounds for tremorOn + 1 ticks and is silent for tremorOff + 1, in a cycle
// that runs on from row to row.
void ModTremorStep(ModChannel* c) {
  c->updateFlags |= UPDATE_VOLUME;
  if (c->tremorCount > c->tremorOn) c->volumeDelta = -c->volume;
  c->tremorCount = c->tremorCount > c->tremorOn + c->tremorOff ? 0 : c->tremorCount + 1;
}

void ModArpeggio(const ModEffectCall& call) {
  if (call.param == 0) return;
  ModChannel* c = call.channel;
  int32_t k = modSong.tick % 3;
  int32_t semitones = k == 0 ? 0 : k == 1 ? HighNibble(call.param) : LowNibble(call.param);
  if (modSong.flags & 1) {
    c->periodDelta = 64 * semitones;
  } else {
    int32_t f = call.sample->finetune;
    c->periodDelta = ModAmigaPeriod(c->realNote + semitones, f) - ModAmigaPeriod(c->realNote, f);
  }
}

// ---- Retrigger volume changes (effect R) -------------------------------------------------

using ModRetrigChange = int32_t (*)(int32_t volume);
constexpr ModRetrigChange MOD_RETRIG_CHANGES[16] = {
    [](int32_t v) { return v; },          [](int32_t v) { return v - 1; },
    [](int32_t v) { return v - 2; },      [](int32_t v) { return v - 4; },
    [](int32_t v) { return v - 8; },      [](int32_t v) { return v - 16; },
    [](int32_t v) { return 2 * v / 3; },  [](int32_t v) { return v >> 1; },
    [](int32_t v) { return v; },          [](int32_t v) { return v + 1; },
    [](int32_t v) { return v + 2; },      [](int32_t v) { return v + 4; },
    [](int32_t v) { return v + 8; },      [](int32_t v) { return v + 16; },
    [](int32_t v) { return (3 * v) >> 1; }, [](int32_t v) { return 2 * v; },
};

// ---- Extended effects (E) ----------------------------------------------------------------

void ModNoEffect(const ModEffectCall&) {}

void ModFinePortaUpRow(const ModEffectCall& call) {
  ModChannel* c = call.channel;
  if (LowNibble(call.param)) c->finePortaUpMem = LowNibble(call.param);
  ModAddPeriod(c, -4 * c->finePortaUpMem);
}

void ModFinePortaDownRow(const ModEffectCall& call) {
  ModChannel* c = call.channel;
  if (LowNibble(call.param)) c->finePortaDownMem = LowNibble(call.param);
  ModAddPeriod(c, 4 * c->finePortaDownMem);
}

void ModVibratoControlRow(const ModEffectCall& call) {
  ModChannel* c = call.channel;
  c->waveControl = (uint8_t)((c->waveControl & 0xF0) | LowNibble(call.param));
}

// The sample record itself changes, for every channel, from the next note on. The shared
// silent sample is never written: it must stay all zero.
void ModSetFinetuneRow(const ModEffectCall& call) {
  if (call.sample != &ModSilentSample) call.sample->finetune = (int8_t)LowNibble(call.param);
}

void ModPatternLoopRow(const ModEffectCall& call) {
  ModChannel* c = call.channel;
  uint8_t y = LowNibble(call.param);
  if (y == 0) {
    c->loopRow = modSong.row;
  } else if (c->loopCount == 0) {
    c->loopCount = y;
    modSong.nextRow = c->loopRow;
  } else if (--c->loopCount != 0) {
    modSong.nextRow = c->loopRow;
  }
}

void ModTremoloControlRow(const ModEffectCall& call) {
  ModChannel* c = call.channel;
  c->waveControl = (uint8_t)((c->waveControl & 0x0F) | (LowNibble(call.param) << 4));
}

void ModSetPanningFineRow(const ModEffectCall& call) {
  call.channel->panning = 16 * LowNibble(call.param);
  call.channel->updateFlags |= UPDATE_PANNING;
}

void ModFineVolumeUpRow(const ModEffectCall& call) {
  ModChannel* c = call.channel;
  if (LowNibble(call.param)) c->fineVolSlideMem = (int8_t)-LowNibble(call.param);
  c->volume -= c->fineVolSlideMem;
}

void ModFineVolumeDownRow(const ModEffectCall& call) {
  ModChannel* c = call.channel;
  if (LowNibble(call.param)) c->fineVolSlideMem = (int8_t)LowNibble(call.param);
  c->volume -= c->fineVolSlideMem;
}

// Note delay, tick 0: nothing of the row's note reaches the voice until the delay tick.
void ModNoteDelayRow(const ModEffectCall& call) {
  ModChannel* c = call.channel;
  c->period = call.memory->period;
  c->volume = call.memory->volume;
  c->panning = call.memory->panning;
  c->updateFlags = 0;
}

void ModPatternDelayRow(const ModEffectCall& call) {
  modSong.rowExtraTicks = LowNibble(call.param) * modSong.speed;
}

void ModRetrigTick(const ModEffectCall& call) {
  uint8_t y = LowNibble(call.param);
  if (y != 0 && modSong.tick % y == 0) call.channel->updateFlags |= UPDATE_TRIGGER | UPDATE_VOLUME;
}

void ModNoteCutTick(const ModEffectCall& call) {
  if (modSong.tick == LowNibble(call.param)) {
    call.channel->volume = 0;
    call.channel->updateFlags |= UPDATE_VOLUME;
  }
}

// The delayed note starts like a note with its instrument, except that the panning stays.
// The envelope volume restarts at 64 for a sounding note; a note that a key-off without
// volume envelope silenced stays silent.
void ModNoteDelayStart(const ModEffectCall& call) {
  ModChannel* c = call.channel;
  c->fadeoutVolume = 65536;
  c->volume = call.sample->volume;
  c->volEnvVolume = c->volEnvVolume != 0 ? 64 : 0;
  ModRestartEnvelopes(c);
  c->period = c->notePeriod;
  c->updateFlags |= UPDATE_TRIGGER | UPDATE_VOLUME;
  ModVolumeColumn(c, call.cell->volume);
}

void ModNoteDelayTick(const ModEffectCall& call) {
  if (modSong.tick == LowNibble(call.param)) {
    ModNoteDelayStart(call);
  } else {
    call.channel->updateFlags = 0;
  }
}

constexpr ModEffectHandler MOD_EXTENDED_ROW[16] = {
    ModNoEffect,          ModFinePortaUpRow,    ModFinePortaDownRow, ModNoEffect,
    ModVibratoControlRow, ModSetFinetuneRow,    ModPatternLoopRow,   ModTremoloControlRow,
    ModSetPanningFineRow, ModNoEffect,          ModFineVolumeUpRow,  ModFineVolumeDownRow,
    ModNoEffect,          ModNoteDelayRow,      ModPatternDelayRow,  ModNoEffect,
};

constexpr ModEffectHandler MOD_EXTENDED_TICK[16] = {
    ModNoEffect, ModNoEffect, ModNoEffect,    ModNoEffect,      ModNoEffect, ModNoEffect,
    ModNoEffect, ModNoEffect, ModNoEffect,    ModRetrigTick,    ModNoEffect, ModNoEffect,
    ModNoteCutTick, ModNoteDelayTick, ModNoEffect, ModNoEffect,
};

// ---- Row handlers (tick 0) ---------------------------------------------------------------

void ModPortaRow(const ModEffectCall& call) {
  if (call.param) call.channel->portaSpeed = call.param;
}

void ModTonePortaRow(const ModEffectCall& call) {
  if (call.param) call.channel->tonePortaSpeed = call.param;
  ModTonePortaSetUp(call.channel);
}

void ModVibratoRow(const ModEffectCall& call) {
  ModChannel* c = call.channel;
  if (HighNibble(call.param)) c->vibratoSpeed = HighNibble(call.param);
  if (LowNibble(call.param)) c->vibratoDepth = LowNibble(call.param);
  ModVibratoStep(c);
}

void ModTonePortaSlideRow(const ModEffectCall& call) {
  if (call.param) call.channel->volSlideMem = call.param;
  ModTonePortaSetUp(call.channel);
}

void ModVibratoSlideRow(const ModEffectCall& call) {
  if (call.param) call.channel->volSlideMem = call.param;
  ModVibratoStep(call.channel);
}

void ModTremoloRow(const ModEffectCall& call) {
  ModChannel* c = call.channel;
  if (HighNibble(call.param)) c->tremoloSpeed = HighNibble(call.param);
  if (LowNibble(call.param)) c->tremoloDepth = LowNibble(call.param);
}

void ModSetPanningRow(const ModEffectCall& call) {
  call.channel->panning = call.param;
  call.channel->updateFlags |= UPDATE_PANNING;
}

// Sample offset: an offset inside the played part of the sample waits on the voice for the
// note start; one at or past the loop end cancels the note and sends the sample playing on
// the voice back to its beginning.
void ModSampleOffsetRow(const ModEffectCall& call) {
  ModChannel* c = call.channel;
  if (call.param) c->sampleOffset = call.param * 256u;
  ModVoice* voice = c->voice;
  if (c->sampleOffset < ModSampleLoopEnd(call.sample)) {
    voice->startOffset = c->sampleOffset;
  } else {
    c->updateFlags &= (uint8_t)~UPDATE_TRIGGER;
    voice->pos = voice->posFrac = voice->startOffset = 0;
    voice->backward = 0;  // from its beginning means forward
  }
}

void ModVolumeSlideRow(const ModEffectCall& call) {
  if (call.param) call.channel->volSlideMem = call.param;
}

void ModPositionJumpRow(const ModEffectCall& call) {
  modSong.nextOrder = call.param >= modSong.songLength ? 0 : call.param;
  modSong.nextRow = 0;
  modJumpInRow = true;
}

void ModSetVolumeRow(const ModEffectCall& call) { call.channel->volume = call.param; }

void ModPatternBreakRow(const ModEffectCall& call) {
  modSong.nextRow = 10 * HighNibble(call.param) + LowNibble(call.param);
  if (!modJumpInRow) {
    int32_t next = modSong.orderPos + 1;
    modSong.nextOrder = next >= modSong.songLength ? 0 : next;
  }
}

void ModExtendedRow(const ModEffectCall& call) { MOD_EXTENDED_ROW[HighNibble(call.param)](call); }

void ModSpeedTempoRow(const ModEffectCall& call) {
  if (call.param < 32) {
    modSong.speed = call.param;
  } else {
    ModSetBpm(call.param);
  }
}

void ModGlobalVolumeRow(const ModEffectCall& call) {
  modSong.globalVolume = call.param > 64 ? 64 : call.param;
}

void ModGlobalSlideRow(const ModEffectCall& call) {
  if (call.param) modSong.globalVolSlideMem = call.param;
}

void ModEnvelopePositionRow(const ModEffectCall& call) {
  ModSetEnvelopePosition(call.channel, call.instrument, call.param);
}

void ModPanSlideRow(const ModEffectCall& call) {
  if (call.param) {
    call.channel->panSlideMem = call.param;
    call.channel->updateFlags |= UPDATE_PANNING;
  }
}

void ModMultiRetrigRow(const ModEffectCall& call) {
  if (call.param) {
    call.channel->retrigVolume = HighNibble(call.param);
    call.channel->retrigInterval = LowNibble(call.param);
  }
}

void ModTremorRow(const ModEffectCall& call) {
  ModChannel* c = call.channel;
  if (call.param) {
    c->tremorOn = HighNibble(call.param);
    c->tremorOff = LowNibble(call.param);
  }
  ModTremorStep(c);
}

void ModExtraFinePortaRow(const ModEffectCall& call) {
  ModChannel* c = call.channel;
  uint8_t x = HighNibble(call.param), y = LowNibble(call.param);
  if (x == 1) {
    if (y) c->xfinePortaUpMem = y;
    ModAddPeriod(c, -c->xfinePortaUpMem);
  } else if (x == 2) {
    if (y) c->xfinePortaDownMem = y;
    ModAddPeriod(c, c->xfinePortaDownMem);
  }
}

constexpr ModEffectHandler MOD_ROW_HANDLERS[0x22] = {
    ModNoEffect,            // 0 arpeggio: ticks only
    ModPortaRow,            // 1
    ModPortaRow,            // 2
    ModTonePortaRow,        // 3
    ModVibratoRow,          // 4
    ModTonePortaSlideRow,   // 5
    ModVibratoSlideRow,     // 6
    ModTremoloRow,          // 7
    ModSetPanningRow,       // 8
    ModSampleOffsetRow,     // 9
    ModVolumeSlideRow,      // A
    ModPositionJumpRow,     // B
    ModSetVolumeRow,        // C
    ModPatternBreakRow,     // D
    ModExtendedRow,         // E
    ModSpeedTempoRow,       // F
    ModGlobalVolumeRow,     // G
    ModGlobalSlideRow,      // H
    ModNoEffect,            // 0x12
    ModNoEffect,            // 0x13
    ModNoEffect,            // K: the sequencer sets the key-off itself
    ModEnvelopePositionRow, // L
    ModNoEffect,            // 0x16
    ModNoEffect,            // 0x17
    ModNoEffect,            // 0x18
    ModPanSlideRow,         // P
    ModNoEffect,            // 0x1A
    ModMultiRetrigRow,      // R
    ModNoEffect,            // 0x1C
    ModTremorRow,           // T
    ModNoEffect,            // 0x1E
    ModNoEffect,            // 0x1F
    ModNoEffect,            // 0x20
    ModExtraFinePortaRow,   // X
};

// ---- Tick handlers (ticks after the first) -----------------------------------------------

void ModPortaUpTick(const ModEffectCall& call) { ModPortaStep(call.channel, -1); }
void ModPortaDownTick(const ModEffectCall& call) { ModPortaStep(call.channel, 1); }
void ModTonePortaTick(const ModEffectCall& call) { ModTonePortaStep(call.channel); }
void ModVibratoTick(const ModEffectCall& call) { ModVibratoStep(call.channel); }
void ModTremoloTick(const ModEffectCall& call) { ModTremoloStep(call.channel); }
void ModVolumeSlideTick(const ModEffectCall& call) { ModVolumeSlide(call.channel); }
void ModTremorTick(const ModEffectCall& call) { ModTremorStep(call.channel); }

void ModTonePortaSlideTick(const ModEffectCall& call) {
  ModTonePortaStep(call.channel);
  ModVolumeSlide(call.channel);
}

void ModVibratoSlideTick(const ModEffectCall& call) {
  ModVibratoStep(call.channel);
  ModVolumeSlide(call.channel);
}

void ModExtendedTick(const ModEffectCall& call) { MOD_EXTENDED_TICK[HighNibble(call.param)](call); }

void ModGlobalSlideTick(const ModEffectCall&) {
  uint8_t x = HighNibble(modSong.globalVolSlideMem), y = LowNibble(modSong.globalVolSlideMem);
  int32_t volume = modSong.globalVolume + (x != 0 ? x : -y);
  modSong.globalVolume = volume > 64 ? 64 : volume < 0 ? 0 : volume;
}

void ModPanSlideTick(const ModEffectCall& call) {
  ModChannel* c = call.channel;
  uint8_t x = HighNibble(c->panSlideMem), y = LowNibble(c->panSlideMem);
  int32_t panning = c->panning + (x != 0 ? x : -y);
  if (x != 0 && panning > 255) panning = 255;
  if (x == 0 && panning < 0) panning = 0;
  c->panning = panning;
  c->updateFlags |= UPDATE_PANNING;
}

// Retriggers every retrigInterval ticks; the volume changes only on those ticks.
void ModMultiRetrigTick(const ModEffectCall& call) {
  ModChannel* c = call.channel;
  if (c->retrigInterval == 0 || modSong.tick % c->retrigInterval != 0) return;
  c->updateFlags |= UPDATE_TRIGGER;
  if (c->retrigVolume != 0) {
    c->volume = MOD_RETRIG_CHANGES[c->retrigVolume & 15](c->volume);
    c->updateFlags |= UPDATE_VOLUME;
  }
}

constexpr ModEffectHandler MOD_TICK_HANDLERS[0x1E] = {
    ModArpeggio,            // 0
    ModPortaUpTick,         // 1
    ModPortaDownTick,       // 2
    ModTonePortaTick,       // 3
    ModVibratoTick,         // 4
    ModTonePortaSlideTick,  // 5
    ModVibratoSlideTick,    // 6
    ModTremoloTick,         // 7
    ModNoEffect,            // 8
    ModNoEffect,            // 9
    ModVolumeSlideTick,     // A
    ModNoEffect,            // B
    ModNoEffect,            // C
    ModNoEffect,            // D
    ModExtendedTick,        // E
    ModNoEffect,            // F
    ModNoEffect,            // G
    ModGlobalSlideTick,     // H
    ModNoEffect,            // 0x12
    ModNoEffect,            // 0x13
    ModNoEffect,            // K
    ModNoEffect,            // L
    ModNoEffect,            // 0x16
    ModNoEffect,            // 0x17
    ModNoEffect,            // 0x18
    ModPanSlideTick,        // P
    ModNoEffect,            // 0x1A
    ModMultiRetrigTick,     // R
    ModNoEffect,            // 0x1C
    ModTremorTick,          // T
};

}  // namespace

void ModAddPeriod(ModChannel* channel, int64_t delta) {
  int64_t period = (int64_t)channel->period + delta;
  if (period > MOD_PERIOD_LIMIT) period = MOD_PERIOD_LIMIT;
  if (period < -MOD_PERIOD_LIMIT) period = -MOD_PERIOD_LIMIT;
  channel->period = (int32_t)period;
}

void ModTonePortaSetUp(ModChannel* channel) {
  channel->portaTarget = channel->notePeriod;
  channel->updateFlags &= (uint8_t)~UPDATE_TRIGGER;
}

// Slides toward the target and lands on it exactly.
void ModTonePortaStep(ModChannel* channel) {
  int32_t speed = 4 * channel->tonePortaSpeed;
  int32_t target = channel->portaTarget;
  if (channel->period > target) {
    ModAddPeriod(channel, -speed);
    if (channel->period < target) channel->period = target;
  } else if (channel->period < target) {
    ModAddPeriod(channel, speed);
    if (channel->period > target) channel->period = target;
  }
}

void ModVibratoStep(ModChannel* channel) {
  channel->periodDelta = ModOscillator(channel, MOD_OSC_VIBRATO) >> 1;
}

void ModEffectsBeginRow(void) { modJumpInRow = false; }

void ModEffectRow(const ModEffectCall& call) {
  uint8_t effect = call.cell->effect;
  if (effect < sizeof MOD_ROW_HANDLERS / sizeof MOD_ROW_HANDLERS[0]) MOD_ROW_HANDLERS[effect](call);
}

void ModEffectTick(const ModEffectCall& call) {
  uint8_t effect = call.cell->effect;
  if (effect < sizeof MOD_TICK_HANDLERS / sizeof MOD_TICK_HANDLERS[0]) MOD_TICK_HANDLERS[effect](call);
}
