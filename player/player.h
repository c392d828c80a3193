// The XM module player: plays a FastTracker II Extended Module stored as a raw-data resource
// of the program, in an endless loop, through the wave-output device.
//
// Contract, for the program: ModPlaySong(module, instance, 0) stops whatever plays, then
// loads the module into a private heap, fills a looping 16-block wave buffer and starts a
// playback thread that keeps it filled; ModPlaySong(0, 0, 0) only stops (the thread ends,
// the device closes and the heap with the whole module is destroyed). One player exists per
// process and its state is static; call it from one thread only. Errors are reported by the
// result alone (0: no music); player/error.h names the reason for the tools. Nothing else of
// the player is meant for the program; tools and tests reach further through control.h
// (loading from memory), render.h (block by block) and model.h.
#pragma once

#include "platform/win32.h"

// Starts playing the XM module stored as raw-data resource `module` of `instance`, after
// stopping whatever played; non-zero when the music plays. ModPlaySong(0, 0, 0) only stops.
DWORD ModPlaySong(UINT module, HINSTANCE instance, DWORD flags);
