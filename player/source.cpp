// The loader's byte source: a window over a raw-data resource or a block of memory, with
// the read and seek rules the loader's quirks depend on. A read past the end copies only
// what remains but still moves the position by the whole count, so later reads find
// nothing (and leave the position where it is); a seek to a target outside 0..size is
// ignored.
#include "player/source.h"

#include <cstring>

ModSource modSource;

void ModSourceOpen(UINT module, HINSTANCE instance) {
  modSource = ModSource{};
  HRSRC resource = FindResourceA(instance, MAKEINTRESOURCEA(module), RT_RCDATA);
  if (!resource) return;
  HGLOBAL loaded = LoadResource(instance, resource);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes) return;
  modSource.data = (const uint8_t*)bytes;
  modSource.size = (int32_t)SizeofResource(instance, resource);
  if (modSource.size < 0) modSource.size = INT32_MAX;
}

void ModSourceOpenMemory(const void* data, uint32_t size) {
  modSource.data = (const uint8_t*)data;
  modSource.size = size > (uint32_t)INT32_MAX ? INT32_MAX : (int32_t)size;
  modSource.position = 0;
}

int32_t ModSourceRead(void* destination, int32_t count) {
  int64_t remaining = (int64_t)modSource.size - modSource.position;
  int64_t n = count < remaining ? count : remaining;
  if (n <= 0) return 0;
  memcpy(destination, modSource.data + modSource.position, (size_t)n);
  modSource.position += count;
  return (int32_t)n;
}

void ModSourceSeek(int64_t offset, BOOL relative) {
  int64_t target = relative ? modSource.position + offset : offset;
  if (target < 0 || target > modSource.size) return;
  modSource.position = target;
}
