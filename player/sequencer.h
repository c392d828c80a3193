// The sequencer: advances every channel by one tick of the current row.
//
// The render loop calls ModProcessRow on the first tick of each row and ModProcessTick on
// the others. Each walks the channels in order, applies the cell of the current row (note,
// instrument, volume column, effect), steps the envelopes and fadeout, and ends the channel
// with ModUpdateChannel, which hands the result to the channel's voice. Effects may change
// the song's speed, tempo, global volume and next position; later channels of the same
// row see those changes.
#pragma once

// Tick 0 of the current row (modSong.orderPos, modSong.row) for every channel.
void ModProcessRow(void);

// Any later tick of the same row, for every channel.
void ModProcessTick(void);
