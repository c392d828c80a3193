// The process heap and private heaps. Every heap records its live blocks; a private heap
// owns them all and HeapDestroy frees them at once. Each block is a separate allocation of
// the C library, so the address and undefined-behaviour sanitizers see any access that
// leaves it. Fault injection makes chosen allocations fail, to reach out-of-memory paths.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/handle_table.h"
#include "platform/platform.h"
#include "platform/win32.h"

namespace {

struct PlatHeap {
  std::mutex lock;
  std::unordered_map<void*, SIZE_T> blocks;  // address -> requested size
  SIZE_T bytes = 0;
  SIZE_T maximumSize = 0;  // 0: growable
};

PlatHandleTable<PlatHeap>& PlatHeaps() {
  static PlatHandleTable<PlatHeap> table{PLAT_KIND_HEAP, {}, {}, {}};
  return table;
}

// The process heap is the first heap and is never destroyed.
DWORD PlatProcessHeapNumber() {
  static DWORD number = PlatHandleAdd(PlatHeaps(), std::make_unique<PlatHeap>());
  return number;
}

// Fault injection: successes still allowed before failing, and failures to give then.
std::mutex injectionLock;
bool injectionArmed = false;
unsigned injectionSuccesses = 0;
unsigned injectionFailures = 0;

bool PlatHeapShouldFail() {
  std::lock_guard<std::mutex> guard(injectionLock);
  if (!injectionArmed) return false;
  if (injectionSuccesses > 0) {
    --injectionSuccesses;
    return false;
  }
  if (injectionFailures > 0) {
    if (--injectionFailures == 0) injectionArmed = false;
    return true;
  }
  injectionArmed = false;
  return false;
}

PlatHeap* PlatHeapFromHandle(HANDLE heap) { return PlatHandleGet(PlatHeaps(), PlatHandleNumber(heap)); }

void PlatFreeAll(PlatHeap& heap) {
  for (auto& block : heap.blocks) std::free(block.first);
  heap.blocks.clear();
  heap.bytes = 0;
}

}  // namespace

HANDLE GetProcessHeap(void) { return PlatHandleFromNumber<HANDLE>(PlatProcessHeapNumber()); }

LPVOID HeapAlloc(HANDLE heapHandle, DWORD flags, SIZE_T bytes) {
  PlatHeap* heap = PlatHeapFromHandle(heapHandle);
  if (!heap || PlatHeapShouldFail()) return nullptr;
  std::lock_guard<std::mutex> guard(heap->lock);
  if (heap->maximumSize && (bytes > heap->maximumSize || heap->bytes > heap->maximumSize - bytes)) return nullptr;
  // A zero-byte request still yields a distinct block, as on Windows.
  void* block = (flags & HEAP_ZERO_MEMORY) ? std::calloc(bytes ? bytes : 1, 1) : std::malloc(bytes ? bytes : 1);
  if (!block) return nullptr;
  heap->blocks.emplace(block, bytes);
  heap->bytes += bytes;
  return block;
}

BOOL HeapFree(HANDLE heapHandle, DWORD flags, LPVOID memory) {
  (void)flags;
  if (memory == nullptr) return TRUE;
  PlatHeap* heap = PlatHeapFromHandle(heapHandle);
  if (!heap) return FALSE;
  std::lock_guard<std::mutex> guard(heap->lock);
  auto it = heap->blocks.find(memory);
  // A block of another heap, or one freed already, is refused rather than freed twice.
  if (it == heap->blocks.end()) return FALSE;
  heap->bytes -= it->second;
  heap->blocks.erase(it);
  std::free(memory);
  return TRUE;
}

HANDLE HeapCreate(DWORD options, SIZE_T initialSize, SIZE_T maximumSize) {
  (void)options;
  (void)initialSize;
  PlatProcessHeapNumber();  // the process heap keeps the first handle
  if (PlatHeapShouldFail()) return nullptr;
  auto heap = std::make_unique<PlatHeap>();
  heap->maximumSize = maximumSize;
  return PlatHandleFromNumber<HANDLE>(PlatHandleAdd(PlatHeaps(), std::move(heap)));
}

BOOL HeapDestroy(HANDLE heapHandle) {
  DWORD number = PlatHandleNumber(heapHandle);
  if (number == PlatProcessHeapNumber()) return FALSE;
  std::unique_ptr<PlatHeap> heap = PlatHandleTake(PlatHeaps(), number);
  if (!heap) return FALSE;
  std::lock_guard<std::mutex> guard(heap->lock);
  PlatFreeAll(*heap);
  return TRUE;
}

SIZE_T PlatHeapLiveBlocks(HANDLE heapHandle) {
  PlatHeap* heap = PlatHeapFromHandle(heapHandle);
  if (!heap) return 0;
  std::lock_guard<std::mutex> guard(heap->lock);
  return heap->blocks.size();
}

SIZE_T PlatHeapLiveBytes(HANDLE heapHandle) {
  PlatHeap* heap = PlatHeapFromHandle(heapHandle);
  if (!heap) return 0;
  std::lock_guard<std::mutex> guard(heap->lock);
  return heap->bytes;
}

SIZE_T PlatLivePrivateHeaps(void) {
  DWORD process = PlatProcessHeapNumber();
  SIZE_T count = 0;
  PlatHandleForEach(PlatHeaps(), [&](DWORD number, PlatHeap&) { count += number != process; });
  return count;
}

void PlatHeapFailAfter(unsigned successes, unsigned failures) {
  std::lock_guard<std::mutex> guard(injectionLock);
  injectionArmed = failures > 0;
  injectionSuccesses = successes;
  injectionFailures = failures;
}

void PlatHeapFailNone(void) { PlatHeapFailAfter(0, 0); }
