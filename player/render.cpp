// The song clock and the block conversion.
//
// A block is 1024 frames. It is cut at tick boundaries: a tick starts when tickSamplesLeft
// is 0, runs the row step on a row's first tick and the tick step on the others, then lasts
// samplesPerTick frames, which may span several blocks. After a row's step the next
// position is chosen: the next row, the next order's row 0, or at the song's end the restart
// position. Mixed values are 32-bit mix units, MOD_MIX_DIVISOR of them per 16-bit unit.
#include "player/render.h"

#include "player/control.h"
#include "player/mixer.h"
#include "player/model.h"
#include "player/sequencer.h"

void ModSetBpm(uint32_t bpm) { modSong.samplesPerTick = bpm ? MOD_BPM_FRAMES / bpm : MOD_BPM_FRAMES; }

int16_t ModConvertSample(int32_t mix) {
  uint32_t m = mix < 0 ? 0u - (uint32_t)mix : (uint32_t)mix;
  uint32_t q = m / MOD_MIX_DIVISOR;
  if (m % MOD_MIX_DIVISOR >= MOD_MIX_DIVISOR / 2) q++;
  if (q > 32767) q = 32767;
  return (int16_t)(mix < 0 ? -(int32_t)q : (int32_t)q);
}

// Applies the position chosen after the previous row. Going back to an earlier order, or to
// the same one, is the song looping.
static void ModEnterRow(void) {
  if (modSong.nextOrder >= 0) {
    if (modSong.rowsPlayed > 0 && modSong.nextOrder <= modSong.orderPos) modSong.songLoops++;
    modSong.orderPos = modSong.nextOrder;
  }
  if (modSong.nextRow >= 0) modSong.row = modSong.nextRow;
  modSong.nextOrder = -1;
  modSong.nextRow = -1;
  modSong.rowsPlayed++;
}

// The position after the current row, unless the row's effects chose one.
static void ModChooseNextRow(void) {
  if (modSong.nextRow != -1) return;
  const ModPattern* pattern = &modSong.patterns[modSong.orders[modSong.orderPos]];
  if (modSong.row + 1 < (int32_t)pattern->rows) {
    modSong.nextRow = modSong.row + 1;
  } else if (modSong.orderPos + 1 < (int32_t)modSong.songLength) {
    modSong.nextOrder = modSong.orderPos + 1;
    modSong.nextRow = 0;
  } else {
    modSong.nextOrder = modSong.restartPos < modSong.songLength ? modSong.restartPos : 0;
    modSong.nextRow = 0;
  }
}

static void ModStartTick(void) {
  if (modSong.tick == 0) {
    ModEnterRow();
    ModProcessRow();
    ModChooseNextRow();
  } else {
    ModProcessTick();
  }
  modSong.tick++;
  if (modSong.tick >= modSong.speed + modSong.rowExtraTicks) {
    modSong.tick = 0;
    modSong.rowExtraTicks = 0;
  }
  modSong.tickSamplesLeft = modSong.samplesPerTick;
}

static void ModConvertBlock(uint32_t block) {
  uint8_t* out = modPlayer.waveBuffer + block * MOD_BLOCK_BYTES;
  for (uint32_t i = 0; i < MOD_BLOCK_FRAMES * 2; i++) {
    uint16_t sample = (uint16_t)ModConvertSample(modPlayer.mixBuffer[i]);
    out[2 * i] = (uint8_t)sample;
    out[2 * i + 1] = (uint8_t)(sample >> 8);
  }
}

void ModRenderBlock(void) {
  for (int32_t& value : modPlayer.mixBuffer) value = 0;
  uint32_t position = 0;
  uint32_t framesLeft = MOD_BLOCK_FRAMES;
  while (framesLeft > 0) {
    if (modSong.tickSamplesLeft == 0) ModStartTick();
    uint32_t count = modSong.tickSamplesLeft < framesLeft ? modSong.tickSamplesLeft : framesLeft;
    ModMixVoices(position, count);
    position += count;
    framesLeft -= count;
    modSong.tickSamplesLeft -= count;
  }
  ModConvertBlock(modPlayer.nextBlock);
  modPlayer.nextBlock = (modPlayer.nextBlock + 1) % MOD_BLOCK_COUNT;
}
