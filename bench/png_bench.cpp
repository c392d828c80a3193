// Benchmarks of the PNG decoder: whole decodes (load, inflate, bitmap) of a 450x212 RGBA
// picture and a 2000x2000 RGB photo-like image, in MB/s of decompressed image data; and the
// inflater beside zlib's inflate on the same streams, with the ratio printed after the run.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "png/pipeline.h"

namespace {

typedef std::vector<uint8_t> Bytes;

void Put32(Bytes* out, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out->push_back((uint8_t)(v >> s));
}

void Chunk(Bytes* file, const char* type, const Bytes& data) {
  Put32(file, (uint32_t)data.size());
  size_t start = file->size();
  file->insert(file->end(), type, type + 4);
  file->insert(file->end(), data.begin(), data.end());
  Put32(file, (uint32_t)crc32(0, file->data() + start, (uInt)(file->size() - start)));
}

// Filters each row the way common encoders do: the type whose output has the smallest sum
// of absolute values.
Bytes FilterRows(const Bytes& pixels, uint32_t width, uint32_t height, uint32_t bpp) {
  size_t rowBytes = (size_t)width * bpp;
  Bytes out;
  Bytes candidate(rowBytes), best(rowBytes);
  for (uint32_t y = 0; y < height; y++) {
    const uint8_t* row = &pixels[y * rowBytes];
    const uint8_t* prior = y ? row - rowBytes : nullptr;
    long bestScore = -1;
    int bestType = 0;
    for (int type = 0; type <= 4; type++) {
      long score = 0;
      for (size_t i = 0; i < rowBytes; i++) {
        int a = i >= bpp ? row[i - bpp] : 0, b = prior ? prior[i] : 0, c = prior && i >= bpp ? prior[i - bpp] : 0;
        int p = a + b - c, pa = abs(p - a), pb = abs(p - b), pc = abs(p - c);
        int predictors[5] = {0, a, b, (a + b) / 2, (pa <= pb && pa <= pc) ? a : pb <= pc ? b : c};
        candidate[i] = (uint8_t)(row[i] - predictors[type]);
        score += abs((int8_t)candidate[i]);
      }
      if (bestScore < 0 || score < bestScore) {
        bestScore = score;
        bestType = type;
        best = candidate;
      }
    }
    out.push_back((uint8_t)bestType);
    out.insert(out.end(), best.begin(), best.end());
  }
  return out;
}

Bytes Compress(const Bytes& data, int level) {
  uLongf size = compressBound((uLong)data.size());
  Bytes out(size);
  compress2(out.data(), &size, data.data(), (uLong)data.size(), level);
  out.resize(size);
  return out;
}

struct TestImage {
  Bytes png;
  Bytes stream;  // the zlib stream alone
  size_t imageBytes;
};

TestImage MakePng(const Bytes& pixels, uint32_t width, uint32_t height, uint8_t colourType, uint32_t bpp, int level) {
  TestImage image;
  Bytes scanlines = FilterRows(pixels, width, height, bpp);
  image.imageBytes = scanlines.size();
  image.stream = Compress(scanlines, level);
  image.png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  Bytes header;
  Put32(&header, width);
  Put32(&header, height);
  header.insert(header.end(), {8, colourType, 0, 0, 0});
  Chunk(&image.png, "IHDR", header);
  for (size_t at = 0; at < image.stream.size(); at += 8192) {  // IDAT chunks of 8 KiB, as encoders write
    size_t n = std::min<size_t>(8192, image.stream.size() - at);
    Chunk(&image.png, "IDAT", Bytes(image.stream.begin() + at, image.stream.begin() + at + n));
  }
  Chunk(&image.png, "IEND", {});
  return image;
}

// A skin-like picture: soft gradients, a few shapes with hard edges, flat areas, some grain
// and an alpha channel that is mostly opaque.
const TestImage& Picture() {
  static TestImage image = [] {
    const uint32_t w = 450, h = 212;
    std::mt19937 random(1);
    Bytes px((size_t)w * h * 4);
    for (uint32_t y = 0; y < h; y++) {
      for (uint32_t x = 0; x < w; x++) {
        uint8_t* p = &px[((size_t)y * w + x) * 4];
        double dx = x - 300.0, dy = y - 100.0;
        bool disc = dx * dx + dy * dy < 60 * 60;
        bool bar = y > 170 && y < 190;
        int grain = (int)(random() % 5) - 2;
        p[0] = (uint8_t)std::clamp((disc ? 220 : 40 + (int)x / 4) + grain, 0, 255);
        p[1] = (uint8_t)std::clamp((bar ? 200 : 60 + (int)y / 2) + grain, 0, 255);
        p[2] = (uint8_t)std::clamp((disc ? 90 : 120 + (int)(x + y) / 8) + grain, 0, 255);
        p[3] = (x < 8 || y < 8 || x >= w - 8 || y >= h - 8) ? (uint8_t)(x % 8 * 32) : 255;
      }
    }
    return MakePng(px, w, h, 6, 4, 9);
  }();
  return image;
}

// A photo-like picture: smooth shapes of light at several scales plus sensor noise.
const TestImage& Photo() {
  static TestImage image = [] {
    const uint32_t w = 2000, h = 2000;
    std::mt19937 random(2);
    Bytes px((size_t)w * h * 3);
    for (uint32_t y = 0; y < h; y++) {
      for (uint32_t x = 0; x < w; x++) {
        double base = 110 + 50 * std::sin(x * 0.004) * std::cos(y * 0.003) + 25 * std::sin((x + 2 * y) * 0.02) +
                      10 * std::sin(x * 0.11 + y * 0.07);
        uint8_t* p = &px[((size_t)y * w + x) * 3];
        for (int c = 0; c < 3; c++) {
          int noise = (int)(random() % 9) - 4;
          p[c] = (uint8_t)std::clamp((int)(base + c * 20 * std::sin(y * 0.001 + c)) + noise, 0, 255);
        }
      }
    }
    return MakePng(px, w, h, 2, 3, 6);
  }();
  return image;
}

void DecodeWhole(benchmark::State& state, const TestImage& image) {
  PlatAddResource(RT_RCDATA, MAKEINTRESOURCEA(1), image.png.data(), (DWORD)image.png.size());
  for (auto _ : state) {
    PngDecoder decoder;
    PngInit(&decoder);
    PngLoadResource(&decoder, GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1));
    PngDecode(&decoder);
    HBITMAP bitmap = PngCreateBitmap(&decoder, nullptr);
    if (!bitmap) state.SkipWithError("decode failed");
    DeleteObject(bitmap);
    PngCleanup(&decoder);
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)image.imageBytes);
  PlatRemoveAddedResources();
}

void OurInflate(benchmark::State& state, const TestImage& image) {
  PngDecoder decoder;
  PngInit(&decoder);
  decoder.sourceData = decoder.chunkCursor = image.png.data();
  decoder.sourceSize = (DWORD)image.png.size();
  PngReadHeader(&decoder);
  decoder.imageDataSize = (DWORD)image.imageBytes;
  Bytes out(image.imageBytes);
  decoder.imageData = out.data();
  for (auto _ : state) {
    if (!PngInflate(&decoder)) state.SkipWithError("inflate failed");
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)image.imageBytes);
}

void ZlibInflate(benchmark::State& state, const TestImage& image) {
  Bytes out(image.imageBytes);
  for (auto _ : state) {
    uLongf size = (uLongf)out.size();
    if (uncompress(out.data(), &size, image.stream.data(), (uLong)image.stream.size()) != Z_OK) {
      state.SkipWithError("zlib failed");
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)image.imageBytes);
}

void BM_DecodePicture450x212Rgba(benchmark::State& state) { DecodeWhole(state, Picture()); }
void BM_DecodePhoto2000x2000Rgb(benchmark::State& state) { DecodeWhole(state, Photo()); }
void BM_InflatePicture_Ours(benchmark::State& state) { OurInflate(state, Picture()); }
void BM_InflatePicture_Zlib(benchmark::State& state) { ZlibInflate(state, Picture()); }
void BM_InflatePhoto_Ours(benchmark::State& state) { OurInflate(state, Photo()); }
void BM_InflatePhoto_Zlib(benchmark::State& state) { ZlibInflate(state, Photo()); }

BENCHMARK(BM_DecodePicture450x212Rgba)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodePhoto2000x2000Rgb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InflatePicture_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InflatePicture_Zlib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InflatePhoto_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InflatePhoto_Zlib)->Unit(benchmark::kMillisecond);

// Remembers each benchmark's real time per iteration to print the inflater's ratio to zlib.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && !run.error_occurred) times_[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatios() const {
    for (const char* data : {"Picture", "Photo"}) {
      auto ours = times_.find(std::string("BM_Inflate") + data + "_Ours");
      auto zlib = times_.find(std::string("BM_Inflate") + data + "_Zlib");
      if (ours == times_.end() || zlib == times_.end()) continue;
      printf("inflate %-8s ours/zlib speed ratio: %.2f (zlib is %.1fx faster)\n", data, zlib->second / ours->second,
             ours->second / zlib->second);
    }
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const TestImage& picture = Picture();
  const TestImage& photo = Photo();
  printf("picture: %zu bytes of image data in a %zu-byte PNG; photo: %zu in %zu\n", picture.imageBytes,
         picture.png.size(), photo.imageBytes, photo.png.size());
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
