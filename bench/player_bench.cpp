// Benchmarks of the player: block rendering of 4-, 16- and 32-channel modules, reported as
// multiples of real time on one core (the "realtime" counter: seconds of music rendered per
// second), and the memory a loaded module takes from the player's heap.
#include <benchmark/benchmark.h>

#include <vector>

#include "platform/platform.h"
#include "player/control.h"
#include "player/model.h"
#include "player/render.h"
#include "tests/player/fixture_songs.h"

namespace {

void ModBenchRender(benchmark::State& state) {
  std::vector<uint8_t> song = XmWrite(XmFixtureSong((uint16_t)state.range(0)));
  if (!ModLoadFromMemory(song.data(), (DWORD)song.size())) {
    state.SkipWithError("the fixture module did not load");
    return;
  }
  int64_t blocks = 0;
  for (auto _ : state) {
    ModRenderBlock();
    benchmark::DoNotOptimize(modPlayer.waveBuffer[0]);
    blocks++;
  }
  double seconds = (double)blocks * MOD_BLOCK_FRAMES / MOD_SAMPLE_RATE;
  state.counters["realtime"] = benchmark::Counter(seconds, benchmark::Counter::kIsRate);
  state.counters["channels"] = (double)modSong.channelCount;
  ModStop();
}
BENCHMARK(ModBenchRender)->Arg(4)->Arg(16)->Arg(32)->Unit(benchmark::kMicrosecond);

// Loads the module again and again; reports the heap bytes and blocks it holds once loaded.
void ModBenchLoad(benchmark::State& state) {
  std::vector<uint8_t> song = XmWrite(XmFixtureSong((uint16_t)state.range(0)));
  for (auto _ : state) {
    if (!ModLoadFromMemory(song.data(), (DWORD)song.size())) {
      state.SkipWithError("the fixture module did not load");
      return;
    }
  }
  state.counters["heap_bytes"] = (double)PlatHeapLiveBytes(modPlayer.heap);
  state.counters["heap_blocks"] = (double)PlatHeapLiveBlocks(modPlayer.heap);
  state.counters["file_bytes"] = (double)song.size();
  ModStop();
}
BENCHMARK(ModBenchLoad)->Arg(4)->Arg(16)->Arg(32)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
