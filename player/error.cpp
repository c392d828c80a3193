// Names of the player's error codes, for the tools' messages.
#include "player/error.h"

static const char* const modErrorNames[] = {
    "no error",
    "the module stores no pattern",
    "the song length is 0 or above 256",
    "the channel count is 0 or above 64",
    "a pattern has 0 or more than 256 rows",
    "an instrument has more than 16 samples",
    "an instrument's sample header size is above 40",
    "a sample has 2^22 or more values",
    "out of memory",
    "the player's heap could not be created",
    "the wave device could not be opened or refused the buffer",
    "the playback thread could not be created",
};

const char* ModErrorName(int code) {
  if (code < 0 || code >= (int)(sizeof modErrorNames / sizeof modErrorNames[0])) return "unknown error";
  return modErrorNames[code];
}
