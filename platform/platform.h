// Controls of our own over the platform layer, for tests and tools. They have no Windows
// counterpart and the program itself never calls them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "platform/win32.h"

// ---- Resources -------------------------------------------------------------------------
// Adds a resource (language 1033) of the running module, copying the bytes into a block of
// exactly that size. A resource of the same type and name, embedded or added, is hidden by
// it. Returns FALSE for a null type or name.
BOOL PlatAddResource(LPCSTR type, LPCSTR name, const void* data, DWORD size);
// Removes every resource added at run time; the embedded table is untouched.
void PlatRemoveAddedResources(void);

// ---- Heaps -----------------------------------------------------------------------------
// Blocks taken from a heap (the process heap or a private one) and not yet freed.
SIZE_T PlatHeapLiveBlocks(HANDLE heap);
// Bytes in those blocks, as requested.
SIZE_T PlatHeapLiveBytes(HANDLE heap);
// Private heaps created and not yet destroyed.
SIZE_T PlatLivePrivateHeaps(void);
// Fault injection for every heap: after `successes` more allocations have succeeded, the
// next `failures` allocations fail (return null). PlatHeapFailNone() ends the injection.
void PlatHeapFailAfter(unsigned successes, unsigned failures);
void PlatHeapFailNone(void);

// ---- Process ---------------------------------------------------------------------------
// ExitProcess calls this hook, when one is set, instead of ending the process; a test's
// hook leaves by throwing or jumping. If the hook returns, the process ends as usual.
typedef void (*PlatExitHook)(UINT exitCode);
void PlatSetExitHook(PlatExitHook hook);

// ---- Threads ---------------------------------------------------------------------------
// TRUE when the OS granted the time-critical priority asked for the thread (a real-time or
// raised priority); FALSE when it refused and the thread kept its normal priority.
BOOL PlatThreadPriorityRaised(HANDLE thread);

// ---- Wave output -----------------------------------------------------------------------
enum PlatWaveDevice {
  PLAT_WAVE_ALSA = 0,     // ALSA's default PCM
  PLAT_WAVE_VIRTUAL = 1,  // plays on a clock, can record what it played
  PLAT_WAVE_NONE = 2,     // no device: waveOutOpen fails
};
// The device the next waveOutOpen uses. Until this is called it comes from the environment:
// ORVENNE_WAVE=alsa|virtual|none (default alsa), and ORVENNE_WAVE_RECORD=<file.wav> makes the
// virtual device record into that file.
void PlatWaveSelectDevice(PlatWaveDevice device);
// Virtual device clock: real time (the default) or a manual clock that moves only by
// PlatWaveAdvanceClock. The clock starts at waveOutWrite.
void PlatWaveUseManualClock(BOOL manual);
void PlatWaveAdvanceClock(DWORD frames);
// Virtual device recording: what the device has played, in order, as it was in the buffer
// when it was played. Recording happens as positions are asked for and at waveOutReset.
void PlatWaveRecordTo(const char* wavPath);  // also keep it in a WAV file (null: no file)
std::vector<uint8_t> PlatWaveRecording(void);  // bytes recorded since the last waveOutOpen

// ---- Registry and shell -----------------------------------------------------------------
// Substitutes the installed browsers: which of the Firefox and Chrome registry keys exist.
void PlatRegistrySetBrowsers(BOOL firefox, BOOL chrome);
void PlatRegistryUseInstalledBrowsers(void);
// Registry keys opened and not yet closed.
SIZE_T PlatRegistryOpenKeys(void);
// Substitutes the starting of programs by ShellExecuteA: the starter gets the command name
// and the parameters and says whether it started something. Null restores the real one.
typedef BOOL (*PlatShellStarter)(LPCSTR command, LPCSTR parameters);
void PlatShellSetStarter(PlatShellStarter starter);

// ---- WAV files -------------------------------------------------------------------------
// A 16-bit PCM WAV file written in one pass; the sizes in its header are set at close.
struct PlatWavFile {
  FILE* file;
  DWORD dataBytes;
};
BOOL PlatWavOpen(PlatWavFile* wav, const char* path, DWORD sampleRate, WORD channels);
BOOL PlatWavWrite(PlatWavFile* wav, const void* bytes, DWORD count);
BOOL PlatWavClose(PlatWavFile* wav);
