// The XM loader: reads an XM module (format 0x0104 layout) from the source into the model.
#pragma once

#include "platform/win32.h"
#include "player/error.h"

// Loads the module from modSource into modSong and the private heap. Non-zero on success;
// 0 when the module was rejected or memory ran out, with the reason in modLoadError.
BOOL ModLoadXm(void);

extern ModError modLoadError;
