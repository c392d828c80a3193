// Block rendering: the song clock and the conversion of mixed frames to 16-bit output.
//
// ModRenderBlock cuts a block's 1024 frames at tick boundaries, runs the sequencer at the
// start of every tick, steps the song from row to row and order to order (it never ends:
// after its last row it goes on at its restart position), has the mixer add each piece into
// the mix buffer and converts the buffer into block nextBlock of the wave buffer.
#pragma once

#include <cstdint>

// Mix units per unit of 16-bit output (32 * 255).
constexpr uint32_t MOD_MIX_DIVISOR = 8160;
// Frames per tick at a tempo of 1 BPM: 2.5 seconds at 48000 frames per second.
constexpr uint32_t MOD_BPM_FRAMES = 120000;

// Renders block modPlayer.nextBlock of the wave buffer, then advances nextBlock modulo 16.
void ModRenderBlock(void);

// samplesPerTick = 120000 / bpm, or 120000 for a tempo of 0.
void ModSetBpm(uint32_t bpm);

// One mix value as a 16-bit sample: the magnitude divided by MOD_MIX_DIVISOR, rounded half
// up, at most 32767, with the value's sign.
int16_t ModConvertSample(int32_t mix);
