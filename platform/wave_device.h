// Inside the wave output: the record of an open device, shared by the waveOut functions
// (wave_out.cpp), the virtual device (same file) and the ALSA device (wave_alsa.cpp).
//
// The device plays one buffer at a time: the header handed to waveOutWrite, repeated
// dwLoops times when it carries WHDR_BEGINLOOP | WHDR_ENDLOOP. A position (`played` below)
// counts the bytes heard since that write and keeps growing as the buffer loops. Every access to the
// record, and every copy out of the caller's buffer, happens under `lock`: the player's
// position queries then order its writes into the buffer before the device reads them.
#pragma once

#include <cstdint>
#include <mutex>

#include "platform/platform.h"
#include "platform/win32.h"

struct PlatAlsaStream;

struct PlatWaveOut {
  std::mutex lock;
  PlatWaveDevice device;
  WAVEFORMATEX format;
  LPWAVEHDR header;     // the buffer being played; null when none
  uint64_t totalBytes;  // bytes the header plays in all, loops included
  uint64_t reported;    // the last position reported, so that positions never go back
  // Virtual device: the clock reading when the write started, and what was recorded.
  uint64_t clockStart;
  uint64_t recordedBytes;
  // ALSA device.
  PlatAlsaStream* alsa;
};

// The byte of the looping buffer heard at a given count of bytes played.
inline const char* PlatWaveByteAt(const PlatWaveOut& wave, uint64_t played) {
  return wave.header->lpData + played % wave.header->dwBufferLength;
}

// How many bytes follow in one piece from that byte to the end of the buffer.
inline uint64_t PlatWaveBytesToEnd(const PlatWaveOut& wave, uint64_t played) {
  return wave.header->dwBufferLength - played % wave.header->dwBufferLength;
}

// ALSA's default PCM; every function is called with the record's lock not held, except
// PlatAlsaPlayedBytes, which is called under it.
PlatAlsaStream* PlatAlsaOpen(const WAVEFORMATEX& format);
void PlatAlsaStart(PlatAlsaStream* stream, PlatWaveOut* wave);
uint64_t PlatAlsaPlayedBytes(PlatAlsaStream* stream);
void PlatAlsaStop(PlatAlsaStream* stream);
void PlatAlsaClose(PlatAlsaStream* stream);
