// Player control: starting and stopping, and the playback thread that keeps the device's
// looping buffer filled.
//
// Device facts: 48000 Hz, 2 channels, signed 16-bit PCM; one 65536-byte buffer of 16 blocks
// is handed over once, flagged as the first and last of a loop of 0xFFFFFFFF passes, and
// the device's byte position keeps growing as it loops, so (bytes >> 12) & 15 is the block
// it plays. A block is rendered again only after the device has moved past it.
#include "player/control.h"

#include "player/loader.h"
#include "player/model.h"
#include "player/player.h"
#include "player/render.h"
#include "player/source.h"

ModPlayer modPlayer;

static constexpr DWORD MOD_POLL_MS = 5;

static const WAVEFORMATEX modWaveFormat = {
    WAVE_FORMAT_PCM, 2, MOD_SAMPLE_RATE, MOD_SAMPLE_RATE * 4, 4, 16, 0,
};

void ModStop(void) {
  if (modPlayer.thread) {
    modPlayer.stopRequest.store(1);
    // The thread ends within one sleep and one block render after the request.
    WaitForSingleObject(modPlayer.thread, INFINITE);
    CloseHandle(modPlayer.thread);
  }
  modPlayer.thread = nullptr;
  modPlayer.nextBlock = 0;
  if (modPlayer.waveOut) {
    HWAVEOUT device = modPlayer.waveOut;
    modPlayer.waveOut = nullptr;
    waveOutReset(device);
    waveOutUnprepareHeader(device, &modPlayer.waveHeader, sizeof(WAVEHDR));
    waveOutClose(device);
  }
  if (modPlayer.heap) {
    HANDLE heap = modPlayer.heap;
    modPlayer.heap = nullptr;
    HeapDestroy(heap);
  }
}

DWORD WINAPI ModPlaybackThread(LPVOID) {
  for (;;) {
    modPlayer.position.wType = TIME_BYTES;
    waveOutGetPosition(modPlayer.waveOut, &modPlayer.position, sizeof(MMTIME));
    uint32_t playingBlock = (modPlayer.position.u.cb >> 12) & (MOD_BLOCK_COUNT - 1);
    // Renders every block up to the one playing, 5 ms apart, before polling again.
    do {
      Sleep(MOD_POLL_MS);
      if (modPlayer.stopRequest.load()) return 0;
      if (modPlayer.nextBlock == playingBlock) break;
      ModRenderBlock();
    } while (true);
  }
}

static DWORD ModFail(ModError error) {
  ModStop();
  modPlayer.lastError = error;
  return 0;
}

// A fresh private heap with the module loaded into it from the attached source; on failure
// everything is released again.
static BOOL ModLoadIntoNewHeap(SIZE_T heapLimit) {
  modPlayer.heap = HeapCreate(0, 0, heapLimit);
  if (!modPlayer.heap) return ModFail(MOD_ERR_HEAP);
  if (!ModLoadXm()) return ModFail(modLoadError);
  return TRUE;
}

BOOL ModLoadFromMemory(const void* data, DWORD size, SIZE_T heapLimit) {
  ModStop();
  modPlayer.lastError = MOD_OK;
  ModSourceOpenMemory(data, size);
  return ModLoadIntoNewHeap(heapLimit);
}

static DWORD ModStart(UINT module, HINSTANCE instance) {
  modPlayer.lastError = MOD_OK;
  // A device that does not open is detected here rather than at waveOutWrite: the start
  // fails the same way, without loading and rendering in vain.
  if (waveOutOpen(&modPlayer.waveOut, WAVE_MAPPER, &modWaveFormat, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
    modPlayer.waveOut = nullptr;
    return ModFail(MOD_ERR_DEVICE);
  }
  ModSourceOpen(module, instance);
  if (!ModLoadIntoNewHeap(0)) return 0;

  modPlayer.waveHeader = WAVEHDR{};
  modPlayer.waveHeader.lpData = (LPSTR)modPlayer.waveBuffer;
  modPlayer.waveHeader.dwBufferLength = MOD_BUFFER_BYTES;
  modPlayer.waveHeader.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
  modPlayer.waveHeader.dwLoops = 0xFFFFFFFF;
  waveOutPrepareHeader(modPlayer.waveOut, &modPlayer.waveHeader, sizeof(WAVEHDR));

  do ModRenderBlock();
  while (modPlayer.nextBlock != 0);

  modPlayer.stopRequest.store(0);
  if (waveOutWrite(modPlayer.waveOut, &modPlayer.waveHeader, sizeof(WAVEHDR)) != MMSYSERR_NOERROR)
    return ModFail(MOD_ERR_DEVICE);
  modPlayer.thread = CreateThread(nullptr, 0, ModPlaybackThread, nullptr, 0, nullptr);
  if (!modPlayer.thread) return ModFail(MOD_ERR_THREAD);
  SetThreadPriority(modPlayer.thread, THREAD_PRIORITY_TIME_CRITICAL);
  return 1;
}

DWORD ModPlaySong(UINT module, HINSTANCE instance, DWORD) {
  ModStop();
  if (module == 0) return 0;
  return ModStart(module, instance);
}
