// The byte source the loader reads: a raw-data resource of the program, or, for the tools
// and tests, a block of memory. Reads past the end deliver what remains and still move the
// position by the full count; seeks outside the data are ignored.
#pragma once

#include <cstdint>

#include "platform/win32.h"

struct ModSource {
  const uint8_t* data;
  int32_t size;
  // Read position; wider than the size, since the read that runs past the end moves it
  // beyond the size by up to that read's count.
  int64_t position;
};

extern ModSource modSource;

// Attaches RT_RCDATA resource `module` of `instance`; a missing resource gives no bytes.
void ModSourceOpen(UINT module, HINSTANCE instance);
// Attaches `size` bytes at `data`; the bytes must stay in place while the loader runs.
void ModSourceOpenMemory(const void* data, uint32_t size);
// Copies up to `count` bytes to `destination` (bytes not available leave it as it was) and
// moves the position by `count`; at or past the end it does nothing at all. Returns the
// number of bytes copied.
int32_t ModSourceRead(void* destination, int32_t count);
// Moves to `offset` (relative: from the position); a target below 0 or past the end is
// ignored.
void ModSourceSeek(int64_t offset, BOOL relative);
