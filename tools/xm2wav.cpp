// xm2wav: renders an XM module to a 48000 Hz 16-bit stereo WAV file through the player's own
// loader and block renderer, exactly as the program plays it, for a number of seconds or of
// song loops (a loop ends when the song goes back to an earlier or the same order).
//
//   xm2wav <input.xm> <output.wav> [--seconds N | --loops N]
//
// Without an option it renders one loop of the song, to the end of the block in which the
// song goes back. A module that the loader rejects is reported with the reason and exit
// code 1; other errors exit with 2.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "player/control.h"
#include "player/error.h"
#include "player/model.h"
#include "player/render.h"

namespace {

// Rendering by loops stops at this length too, should a song's loop take longer.
constexpr double MOD_TOOL_MAX_SECONDS = 3600;

struct Options {
  const char* input = nullptr;
  const char* output = nullptr;
  double seconds = 0;  // 0: render loops
  unsigned loops = 1;
};

int Usage(const char* message) {
  fprintf(stderr, "xm2wav: %s\nusage: xm2wav <input.xm> <output.wav> [--seconds N | --loops N]\n", message);
  return 2;
}

bool ParseNumber(const char* text, double* value) {
  char* end = nullptr;
  errno = 0;
  *value = strtod(text, &end);
  return errno == 0 && end != text && *end == 0 && *value > 0 && *value <= MOD_TOOL_MAX_SECONDS;
}

const char* ParseOptions(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; i++) {
    std::string arg = argv[i];
    double value = 0;
    if (arg == "--seconds" || arg == "--loops") {
      if (i + 1 >= argc || !ParseNumber(argv[++i], &value)) return "expected a positive number after the option";
      if (arg == "--seconds") {
        o->seconds = value;
      } else {
        if (value != std::floor(value)) return "--loops takes a whole number";
        o->loops = (unsigned)value;
        o->seconds = 0;
      }
    } else if (!o->input) {
      o->input = argv[i];
    } else if (!o->output) {
      o->output = argv[i];
    } else {
      return "too many arguments";
    }
  }
  return o->output ? nullptr : "an input and an output file are needed";
}

bool ReadFile(const char* path, std::vector<uint8_t>* bytes) {
  FILE* f = fopen(path, "rb");
  if (!f) return false;
  uint8_t chunk[65536];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) bytes->insert(bytes->end(), chunk, chunk + n);
  bool ok = !ferror(f);
  fclose(f);
  return ok;
}

// Renders block after block into the file until `frames` frames are written or, when
// `loops` is not 0, the song has looped that many times.
bool Render(PlatWavFile* wav, uint64_t frames, unsigned loops) {
  uint64_t written = 0;
  while (written < frames && (loops == 0 || modSong.songLoops < loops)) {
    uint32_t block = modPlayer.nextBlock;
    ModRenderBlock();
    uint64_t count = frames - written < MOD_BLOCK_FRAMES ? frames - written : MOD_BLOCK_FRAMES;
    if (!PlatWavWrite(wav, modPlayer.waveBuffer + block * MOD_BLOCK_BYTES, (DWORD)(count * 4))) return false;
    written += count;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (const char* error = ParseOptions(argc, argv, &o)) return Usage(error);
  std::vector<uint8_t> module;
  if (!ReadFile(o.input, &module)) {
    fprintf(stderr, "xm2wav: cannot read %s: %s\n", o.input, strerror(errno));
    return 2;
  }
  if (!ModLoadFromMemory(module.data(), (DWORD)module.size())) {
    fprintf(stderr, "xm2wav: cannot play %s: %s\n", o.input, ModErrorName(modPlayer.lastError));
    return 1;
  }
  PlatWavFile wav;
  if (!PlatWavOpen(&wav, o.output, MOD_SAMPLE_RATE, 2)) {
    fprintf(stderr, "xm2wav: cannot write %s\n", o.output);
    ModStop();
    return 2;
  }
  double seconds = o.seconds > 0 ? o.seconds : MOD_TOOL_MAX_SECONDS;
  bool ok = Render(&wav, (uint64_t)std::llround(seconds * MOD_SAMPLE_RATE), o.seconds > 0 ? 0 : o.loops);
  double written = wav.dataBytes / 4.0 / MOD_SAMPLE_RATE;
  ok = PlatWavClose(&wav) && ok;
  unsigned channels = (unsigned)modSong.channelCount, loops = modSong.songLoops;
  ModStop();
  if (!ok) {
    fprintf(stderr, "xm2wav: writing %s failed\n", o.output);
    return 2;
  }
  printf("%s: %.2f s, %u channels, %u song loop(s)\n", o.output, written, channels, loops);
  return 0;
}
