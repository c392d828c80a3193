// Player control and wave output: the one player of the process, its device, its heap, its
// buffers and its playback thread.
//
// A start opens the wave device, creates the private heap, loads the module, pre-renders
// all 16 blocks of the looping wave buffer, hands the buffer to the device once and starts
// the playback thread, which re-renders each block after the device has played it. A stop
// ends the thread, resets and closes the device and destroys the heap (the whole module).
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/win32.h"
#include "player/error.h"

constexpr uint32_t MOD_SAMPLE_RATE = 48000;
constexpr uint32_t MOD_BLOCK_FRAMES = 1024;
constexpr uint32_t MOD_BLOCK_COUNT = 16;
constexpr uint32_t MOD_BLOCK_BYTES = MOD_BLOCK_FRAMES * 4;  // 16-bit stereo frames
constexpr uint32_t MOD_BUFFER_BYTES = MOD_BLOCK_COUNT * MOD_BLOCK_BYTES;  // 65536

struct ModPlayer {
  HANDLE heap;       // holds the loaded module; null when none is loaded
  HANDLE thread;     // the playback thread; null when none runs
  HWAVEOUT waveOut;  // null when closed
  uint32_t nextBlock;  // 0 to 15: the block of waveBuffer to render next
  // Set by the interface thread, read by the playback thread after every sleep.
  std::atomic<uint32_t> stopRequest;
  MMTIME position;  // the device position as last asked for, TIME_BYTES
  // One block of mixed frames: left, right, left, right... as signed 32-bit mix units.
  int32_t mixBuffer[MOD_BLOCK_FRAMES * 2];
  // The looping device buffer: 16 blocks of 1024 signed 16-bit little-endian stereo frames.
  uint8_t waveBuffer[MOD_BUFFER_BYTES];
  WAVEHDR waveHeader;
  ModError lastError;  // why the last start failed (MOD_OK after a good start)
};

extern ModPlayer modPlayer;

// Stops the player: ends the thread, closes the device, destroys the heap. Releases only
// what exists, so it is safe when idle and after a start that failed half-way.
void ModStop(void);

// The playback thread's procedure; its parameter is not read.
DWORD WINAPI ModPlaybackThread(LPVOID parameter);

// For the tools and tests: stops the player, creates a fresh heap and loads the module from
// `size` bytes at `data` (which must outlive the call only). Non-zero when it loaded; the
// song can then be rendered block by block with ModRenderBlock. ModStop releases it.
// `heapLimit` bounds the heap (0: growable, as for a start); the fuzz target sets one so that
// a small file cannot make a load take gigabytes.
BOOL ModLoadFromMemory(const void* data, DWORD size, SIZE_T heapLimit = 0);
