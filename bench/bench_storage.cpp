// Decoding speed of the picture decoders reading members of a file library on
// disk, as the content loader does: a 256x256 PCX and BMP texture and a
// 640x480 PCX picture. Reports megapixels per second (Mpixels_per_s).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "storage/bmp_writer.h"
#include "storage/content_library.h"
#include "storage/file_library.h"
#include "storage/library_writer.h"
#include "storage/pcx_writer.h"
#include "storage/picture_decoders.h"
#include "storage/stream.h"

namespace {

// Palette indices with the texture of a painted picture: short runs between
// stretches of changing values (about a third of the bytes in runs).
std::vector<uint8_t> PaintedIndices(int width, int height) {
  std::vector<uint8_t> indices(static_cast<size_t>(width) * height);
  uint32_t seed = 12345;
  for (size_t i = 0; i < indices.size(); ++i) {
    seed = seed * 1103515245u + 12345u;
    const bool flat = (i / 8) % 3 == 0;
    indices[i] = flat ? static_cast<uint8_t>(i / 24) : static_cast<uint8_t>(seed >> 24);
  }
  return indices;
}

// A library file in the temporary folder, opened as the content library for
// as long as the benchmark program runs.
class BenchLibrary {
 public:
  BenchLibrary() {
    path_ = (std::filesystem::temp_directory_path() /
             ("veyrith-bench-storage-" + std::to_string(getpid()) + ".dat"))
                .string();
    uint8_t palette[768];
    for (int i = 0; i < 768; ++i) palette[i] = static_cast<uint8_t>(i * 7);
    const std::vector<uint8_t> texture = PaintedIndices(256, 256);
    const std::vector<uint8_t> picture = PaintedIndices(640, 480);
    std::vector<uint8_t> rgb(256 * 256 * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 13 + i / 771);
    std::vector<LibraryMember> members = {
        {"textures\\tex.pcx", EncodePcx8(texture.data(), 256, 256, palette)},
        {"textures\\tex.bmp", EncodeBmp24(rgb.data(), 256, 256)},
        {"textures\\screen.pcx", EncodePcx8(picture.data(), 640, 480, palette)}};
    std::string error;
    if (!WriteLibrary(path_, members, &error)) std::fprintf(stderr, "%s\n", error.c_str());
    ContentFile = new TFile();
    ContentFile->SetName(path_.c_str());
    ContentFile->Open(smRead);
    ContentLibrary = new TFileLib(ContentFile);
  }
  ~BenchLibrary() {
    delete ContentLibrary;
    delete ContentFile;
    ContentLibrary = nullptr;
    ContentFile = nullptr;
    std::remove(path_.c_str());
  }

 private:
  std::string path_;
};

void SetPixelRate(benchmark::State& state, int64_t pixels_per_iteration) {
  state.counters["Mpixels_per_s"] = benchmark::Counter(
      static_cast<double>(pixels_per_iteration) * static_cast<double>(state.iterations()) / 1e6,
      benchmark::Counter::kIsRate);
}

BenchLibrary& Library() {
  static BenchLibrary library;
  return library;
}

void BM_PcxTexture256(benchmark::State& state) {
  Library();
  for (auto _ : state) {
    Texture texture;
    if (!LoadPcxTexture("textures\\tex.pcx", &texture, 0)) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(texture.image.pixels);
    ReleaseImage(&texture.image);
  }
  SetPixelRate(state, 256 * 256);
}
BENCHMARK(BM_PcxTexture256);

void BM_BmpTexture256(benchmark::State& state) {
  Library();
  for (auto _ : state) {
    Texture texture;
    if (!LoadBmpTexture("textures\\tex.bmp", &texture, 0)) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(texture.image.pixels);
    ReleaseImage(&texture.image);
  }
  SetPixelRate(state, 256 * 256);
}
BENCHMARK(BM_BmpTexture256);

void BM_PcxIndexed640x480(benchmark::State& state) {
  Library();
  std::vector<uint8_t> screen(640 * 480);
  for (auto _ : state) {
    if (!LoadPcxIndexed("textures\\screen.pcx", screen.data(), 0, 0, 640, 480)) {
      state.SkipWithError("decode failed");
    }
    benchmark::DoNotOptimize(screen.data());
  }
  SetPixelRate(state, 640 * 480);
}
BENCHMARK(BM_PcxIndexed640x480);

}  // namespace

BENCHMARK_MAIN();
