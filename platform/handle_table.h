// Handle tables: each kind of object the platform layer hands out (threads, heaps, wave
// devices, windows, GDI objects...) lives in a table of its own, and its handle is a small
// number: the kind in bits 24-30, the slot + 1 below. A handle of one kind never names an
// object of another, and every handle fits a 32-bit window-memory slot.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "platform/win32_types.h"

template <typename T>
struct PlatHandleTable {
  DWORD kind;  // 1 to 127
  std::mutex lock;
  std::vector<std::unique_ptr<T>> slots;
  std::vector<DWORD> freeSlots;
};

template <typename T>
DWORD PlatHandleAdd(PlatHandleTable<T>& table, std::unique_ptr<T> object) {
  std::lock_guard<std::mutex> guard(table.lock);
  DWORD slot;
  if (!table.freeSlots.empty()) {
    slot = table.freeSlots.back();
    table.freeSlots.pop_back();
    table.slots[slot] = std::move(object);
  } else {
    slot = (DWORD)table.slots.size();
    if (slot >= 0xFFFFFF) return 0;
    table.slots.push_back(std::move(object));
  }
  return (table.kind << 24) | (slot + 1);
}

template <typename T>
T* PlatHandleGet(PlatHandleTable<T>& table, DWORD number) {
  std::lock_guard<std::mutex> guard(table.lock);
  if ((number >> 24) != table.kind) return nullptr;
  DWORD slot = (number & 0xFFFFFF) - 1;
  if (slot >= table.slots.size()) return nullptr;
  return table.slots[slot].get();
}

// Removes the object from the table and hands it to the caller; null for a stale handle.
template <typename T>
std::unique_ptr<T> PlatHandleTake(PlatHandleTable<T>& table, DWORD number) {
  std::lock_guard<std::mutex> guard(table.lock);
  if ((number >> 24) != table.kind) return nullptr;
  DWORD slot = (number & 0xFFFFFF) - 1;
  if (slot >= table.slots.size() || !table.slots[slot]) return nullptr;
  table.freeSlots.push_back(slot);
  return std::move(table.slots[slot]);
}

// Calls fn(number, object) for every live object, under the table's lock.
template <typename T, typename Fn>
void PlatHandleForEach(PlatHandleTable<T>& table, Fn fn) {
  std::lock_guard<std::mutex> guard(table.lock);
  for (DWORD slot = 0; slot < table.slots.size(); ++slot)
    if (table.slots[slot]) fn((table.kind << 24) | (slot + 1), *table.slots[slot]);
}

// Kinds in use, one per table.
enum PlatHandleKind : DWORD {
  PLAT_KIND_MODULE = 1,
  PLAT_KIND_RESOURCE = 2,
  PLAT_KIND_HEAP = 3,
  PLAT_KIND_THREAD = 4,
  PLAT_KIND_WAVEOUT = 5,
  PLAT_KIND_WINDOW = 6,
  PLAT_KIND_DC = 7,
  PLAT_KIND_GDI = 8,
  PLAT_KIND_CURSOR = 9,
  PLAT_KIND_REGKEY = 10,
};
