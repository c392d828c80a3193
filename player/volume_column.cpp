// The volume column: one byte per cell, its high nibble the command and its low nibble x
// the amount. 0x10-0x50 set the volume; 0x60/0x70 slide it on every tick, 0x80/0x90 once;
// 0xA0/0xB0 set the vibrato's speed and depth; 0xC0 sets the panning, 0xD0/0xE0 slide it
// on every tick without limits; 0xF0 is a tone portamento at 16 * x.
#include "player/effects.h"

namespace {

using ModColumnHandler = void (*)(ModChannel* channel, uint8_t x);

// Volume-column pan slides have no limits; they saturate far outside 0 to 255, where the
// pan derived from them is clamped anyway, so that a slide held for days never overflows.
constexpr int32_t MOD_PANNING_LIMIT = 1 << 24;

void ModSlidePanning(ModChannel* c, int32_t delta) {
  int32_t panning = c->panning + delta;
  if (panning > MOD_PANNING_LIMIT) panning = MOD_PANNING_LIMIT;
  if (panning < -MOD_PANNING_LIMIT) panning = -MOD_PANNING_LIMIT;
  c->panning = panning;
  c->updateFlags |= UPDATE_PANNING;
}

void ModColumnNothing(ModChannel*, uint8_t) {}
void ModColumnVolumeDown(ModChannel* c, uint8_t x) { c->volume -= x; }
void ModColumnVolumeUp(ModChannel* c, uint8_t x) { c->volume += x; }
void ModColumnVibratoSpeed(ModChannel* c, uint8_t x) { c->vibratoSpeed = x; }
void ModColumnVibratoDepth(ModChannel* c, uint8_t x) { c->vibratoDepth = x; }
void ModColumnPanLeft(ModChannel* c, uint8_t x) { ModSlidePanning(c, -x); }
void ModColumnPanRight(ModChannel* c, uint8_t x) { ModSlidePanning(c, x); }

void ModColumnSetPanning(ModChannel* c, uint8_t x) {
  c->panning = 16 * x;
  c->updateFlags |= UPDATE_PANNING;
}

// Like effect 3: the speed is kept for a parameter of 0; the note is never restarted.
void ModColumnTonePorta(ModChannel* c, uint8_t x) {
  if (x != 0) c->tonePortaSpeed = (uint8_t)(16 * x);
  ModTonePortaSetUp(c);
}

void ModColumnVolumeDownTick(ModChannel* c, uint8_t x) {
  c->volume -= x;
  c->updateFlags |= UPDATE_VOLUME;
}

void ModColumnVolumeUpTick(ModChannel* c, uint8_t x) {
  c->volume += x;
  c->updateFlags |= UPDATE_VOLUME;
}

void ModColumnVibratoTick(ModChannel* c, uint8_t x) {
  c->vibratoDepth = x;
  ModVibratoStep(c);
}

void ModColumnTonePortaTick(ModChannel* c, uint8_t) { ModTonePortaStep(c); }

// Indexed by the high nibble; 0x10-0x50 (set volume) are handled before the table.
constexpr ModColumnHandler MOD_COLUMN_ROW[16] = {
    ModColumnNothing,      ModColumnNothing,      ModColumnNothing,    ModColumnNothing,
    ModColumnNothing,      ModColumnNothing,      ModColumnVolumeDown, ModColumnVolumeUp,
    ModColumnVolumeDown,   ModColumnVolumeUp,     ModColumnVibratoSpeed, ModColumnVibratoDepth,
    ModColumnSetPanning,   ModColumnPanLeft,      ModColumnPanRight,   ModColumnTonePorta,
};

constexpr ModColumnHandler MOD_COLUMN_TICK[16] = {
    ModColumnNothing,        ModColumnNothing,      ModColumnNothing, ModColumnNothing,
    ModColumnNothing,        ModColumnNothing,      ModColumnVolumeDownTick,
    ModColumnVolumeUpTick,   ModColumnNothing,      ModColumnNothing, ModColumnNothing,
    ModColumnVibratoTick,    ModColumnNothing,      ModColumnPanLeft, ModColumnPanRight,
    ModColumnTonePortaTick,
};

}  // namespace

void ModVolumeColumn(ModChannel* channel, uint8_t volume) {
  if (volume >= 0x10 && volume <= 0x50) {
    channel->volume = volume - 0x10;
    return;
  }
  MOD_COLUMN_ROW[volume >> 4](channel, volume & 15);
}

void ModVolumeColumnTick(ModChannel* channel, uint8_t volume) {
  MOD_COLUMN_TICK[volume >> 4](channel, volume & 15);
}
