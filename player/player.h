// The XM module player.
#pragma once

#include "platform/win32.h"

// Starts playing the XM module stored as raw-data resource `module` of `instance`, after
// stopping whatever played; non-zero when the music plays. ModPlaySong(0, 0, 0) only stops.
DWORD ModPlaySong(UINT module, HINSTANCE instance, DWORD flags);
