// Fuzz target of the player: any bytes as an XM module, loaded and, when the loader takes
// them, rendered for 200 blocks (about 4.3 seconds of music). The sanitizers watch every
// read of the file, the cells and the sample data.
#include <cstddef>
#include <cstdint>

#include "player/control.h"
#include "player/render.h"

// A load may take this much of the heap; beyond it the load fails as out of memory, so that
// a small file cannot make one run take gigabytes.
constexpr SIZE_T MOD_FUZZ_HEAP_LIMIT = 48u << 20;
constexpr int MOD_FUZZ_BLOCKS = 200;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1u << 20) return 0;
  if (ModLoadFromMemory(data, (DWORD)size, MOD_FUZZ_HEAP_LIMIT))
    for (int i = 0; i < MOD_FUZZ_BLOCKS; i++) ModRenderBlock();
  ModStop();
  return 0;
}
