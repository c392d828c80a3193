// The player's error codes: why a start or a load failed. The program itself only sees
// ModPlaySong's 0; the tools name the code with ModErrorName.
#pragma once

enum ModError {
  MOD_OK = 0,
  // The loader's rejections, in the order it meets them.
  MOD_ERR_NO_PATTERNS = 1,         // the file stores no pattern
  MOD_ERR_SONG_LENGTH = 2,         // song length 0 or above 256
  MOD_ERR_CHANNEL_COUNT = 3,       // channel count 0 or above 64
  MOD_ERR_ROW_COUNT = 4,           // a pattern with data has 0 or more than 256 rows
  MOD_ERR_TOO_MANY_SAMPLES = 5,    // an instrument has more than 16 samples
  MOD_ERR_SAMPLE_HEADER_SIZE = 6,  // an instrument's sample header size is above 40
  MOD_ERR_SAMPLE_TOO_LONG = 7,     // a sample has 2^22 or more values
  MOD_ERR_OUT_OF_MEMORY = 8,       // the private heap could not supply a block
  // Failures of a start outside the loader.
  MOD_ERR_HEAP = 9,          // the private heap could not be created
  MOD_ERR_DEVICE = 10,       // the wave device did not open or refused the buffer
  MOD_ERR_THREAD = 11,       // the playback thread could not be created
};

// A short English name of the code, for messages of the tools.
const char* ModErrorName(int code);
