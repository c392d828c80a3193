// WAV files of 16-bit PCM, written in one pass: a 44-byte RIFF header whose two sizes are
// filled in at close, then the samples as given (little-endian frames).
#include <cstring>

#include "platform/platform.h"

namespace {

void PlatPutLe(unsigned char* at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = (unsigned char)(value >> (8 * i));
}

}  // namespace

BOOL PlatWavOpen(PlatWavFile* wav, const char* path, DWORD sampleRate, WORD channels) {
  wav->file = std::fopen(path, "wb");
  wav->dataBytes = 0;
  if (!wav->file) return FALSE;
  unsigned char header[44];
  std::memcpy(header, "RIFF\0\0\0\0WAVEfmt ", 16);
  PlatPutLe(header + 16, 16, 4);  // format chunk size
  PlatPutLe(header + 20, 1, 2);   // PCM
  PlatPutLe(header + 22, channels, 2);
  PlatPutLe(header + 24, sampleRate, 4);
  PlatPutLe(header + 28, sampleRate * channels * 2, 4);
  PlatPutLe(header + 32, channels * 2, 2);
  PlatPutLe(header + 34, 16, 2);
  std::memcpy(header + 36, "data\0\0\0\0", 8);
  if (std::fwrite(header, 1, sizeof header, wav->file) != sizeof header) {
    std::fclose(wav->file);
    wav->file = nullptr;
    return FALSE;
  }
  return TRUE;
}

BOOL PlatWavWrite(PlatWavFile* wav, const void* bytes, DWORD count) {
  if (!wav->file) return FALSE;
  if (std::fwrite(bytes, 1, count, wav->file) != count) return FALSE;
  wav->dataBytes += count;
  return TRUE;
}

BOOL PlatWavClose(PlatWavFile* wav) {
  if (!wav->file) return FALSE;
  unsigned char size[4];
  bool ok = true;
  PlatPutLe(size, 36 + wav->dataBytes, 4);
  ok &= std::fseek(wav->file, 4, SEEK_SET) == 0 && std::fwrite(size, 1, 4, wav->file) == 4;
  PlatPutLe(size, wav->dataBytes, 4);
  ok &= std::fseek(wav->file, 40, SEEK_SET) == 0 && std::fwrite(size, 1, 4, wav->file) == 4;
  ok &= std::fclose(wav->file) == 0;
  wav->file = nullptr;
  return ok ? TRUE : FALSE;
}
