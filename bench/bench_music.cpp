// Renders whole modules of each format (the ones Debian's games ship) to 44.1 kHz
// 16-bit stereo on one core with our player and mixer, with and without
// interpolation, and the same modules with libxmp and libopenmpt for
// comparison. Reports each as times real time and prints the ratios per
// format, then what each loaded module takes beyond its decoded samples.
#include <benchmark/benchmark.h>
#include <xmp.h>

#include <malloc.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <libopenmpt/libopenmpt.hpp>
#include <map>
#include <string>
#include <vector>

#include "music/mixer.h"
#include "music/module_loader.h"
#include "music/module_records.h"
#include "music/player.h"

namespace {

constexpr int kRateHz = 44100;
constexpr int kBufferFrames = 4096;

enum class Format { kS3M, kPlain, kExtended, kImpulse };
const char* const kFormatNames[] = {"s3m", "mod", "xm", "it"};

const struct {
  Format format;
  const char* path;
} kModules[] = {
    {Format::kS3M, "/usr/share/games/pingus/data/music/gd-giirm.s3m"},
    {Format::kS3M, "/usr/share/pachi/music/credits.s3m"},
    {Format::kS3M, "/usr/share/pachi/music/menu.s3m"},
    {Format::kS3M, "/usr/share/pachi/music/stage1.s3m"},
    {Format::kS3M, "/usr/share/pachi/music/stage3.s3m"},
    {Format::kS3M, "/usr/share/pachi/music/stage4.s3m"},
    {Format::kPlain, "/usr/share/games/tecnoballz/musics/area1-game.mod"},
    {Format::kPlain, "/usr/share/games/tecnoballz/musics/fridge-in-space_from_reg-zbb.mod"},
    {Format::kPlain, "/usr/share/games/tecnoballz/musics/high-score.mod"},
    {Format::kPlain, "/usr/share/games/tecnoballz/musics/tecnoballz.mod"},
    {Format::kExtended, "/usr/share/games/flobopuyo/sfx/flobopuyo_game1.xm"},
    {Format::kExtended, "/usr/share/games/flobopuyo/sfx/flobopuyo_game2.xm"},
    {Format::kExtended, "/usr/share/games/flobopuyo/sfx/strange_fear.xm"},
    {Format::kExtended, "/usr/share/games/tecnoballz/musics/area1-game2.mod"},
    {Format::kImpulse, "/usr/share/games/pingus/data/music/gd-ite.it"},
    {Format::kImpulse, "/usr/share/games/pingus/data/music/pingus-1.it"},
    {Format::kImpulse, "/usr/share/games/pingus/data/music/pingus-4.it"},
    {Format::kImpulse, "/usr/share/games/pingus/data/music/sorcerer.it"},
};

const std::vector<std::vector<uint8_t>>& ModuleFiles(Format format) {
  static const std::map<Format, std::vector<std::vector<uint8_t>>> files = [] {
    std::map<Format, std::vector<std::vector<uint8_t>>> loaded;
    for (const auto& module : kModules) {
      std::ifstream in(module.path, std::ios::binary);
      std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
      if (!bytes.empty()) loaded[module.format].push_back(std::move(bytes));
    }
    return loaded;
  }();
  static const std::vector<std::vector<uint8_t>> none;
  const auto it = files.find(format);
  return it != files.end() ? it->second : none;
}

// Audio seconds rendered and wall seconds spent, per player and mode.
std::map<std::string, std::pair<double, double>>& Totals() {
  static std::map<std::string, std::pair<double, double>> totals;
  return totals;
}

struct OurSong {
  PlayState* state = nullptr;
};

int TickUntilEnd(void* context) {
  const PlayState* state = static_cast<OurSong*>(context)->state;
  const bool reads_row = state->tick + 1 >= state->speed && state->pattern_delay == 0;
  if (PlayerSongEnded(state) && reads_row) return -1;
  return PlayerTickState(static_cast<OurSong*>(context)->state);
}

double RenderOurs(Module* module, int interpolate, std::vector<int16_t>& buffer) {
  Mixer mixer;
  mixer.Configure(kRateHz, kMixerStereo, interpolate);
  PlayerSetDevice(&mixer);
  OurSong song;
  PlayerStart(module, nullptr, 1, &song.state);
  PlayerSetDevice(nullptr);
  uint64_t frames = 0;
  for (;;) {
    int mixed = 0;
    const int code = mixer.Render(buffer.data(), kBufferFrames, TickUntilEnd, &song, &mixed);
    frames += static_cast<uint64_t>(mixed);
    benchmark::DoNotOptimize(buffer.data());
    if (code != 0) break;
  }
  PlayerStop(song.state);
  return static_cast<double>(frames) / kRateHz;
}

double RenderXmp(const std::vector<uint8_t>& bytes, int interpolate) {
  xmp_context context = xmp_create_context();
  double seconds = 0;
  if (xmp_load_module_from_memory(context, bytes.data(), static_cast<long>(bytes.size())) == 0) {
    xmp_start_player(context, kRateHz, 0);
    xmp_set_player(context, XMP_PLAYER_INTERP,
                   interpolate ? XMP_INTERP_LINEAR : XMP_INTERP_NEAREST);
    xmp_frame_info info{};
    while (xmp_play_frame(context) == 0) {
      xmp_get_frame_info(context, &info);
      if (info.loop_count > 0) break;
      benchmark::DoNotOptimize(info.buffer);
      seconds += info.buffer_size / 4.0 / kRateHz;
    }
    xmp_end_player(context);
    xmp_release_module(context);
  }
  xmp_free_context(context);
  return seconds;
}

double RenderOpenmpt(const std::vector<uint8_t>& bytes, int interpolate,
                     std::vector<int16_t>& buffer) {
  openmpt::module module(bytes);
  module.set_render_param(openmpt::module::RENDER_INTERPOLATIONFILTER_LENGTH, interpolate ? 2 : 1);
  uint64_t frames = 0;
  for (;;) {
    const size_t count = module.read_interleaved_stereo(kRateHz, kBufferFrames, buffer.data());
    if (count == 0) break;
    benchmark::DoNotOptimize(buffer.data());
    frames += count;
  }
  return static_cast<double>(frames) / kRateHz;
}

// CPU time of this thread: the machine is shared, so wall time would count
// other programs' work.
double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

enum class Player { kOurs, kXmp, kOpenmpt };

void BM_RenderModules(benchmark::State& state, Format format, Player player, int interpolate) {
  const std::vector<std::vector<uint8_t>>& files = ModuleFiles(format);
  std::vector<Module*> modules;
  for (const auto& bytes : files) {
    Module* module = nullptr;
    if (LoadModuleFromMemory(bytes.data(), bytes.size(), &module, nullptr) == 0)
      modules.push_back(module);
  }
  if (modules.empty() || modules.size() != files.size()) {
    state.SkipWithError(
        "modules missing or unreadable (pingus-data, pachi-data, tecnoballz-data, flobopuyo)");
    for (Module* module : modules) FreeModule(module);
    return;
  }
  std::vector<int16_t> buffer(2 * kBufferFrames);
  double audio_seconds = 0;
  double wall_seconds = 0;  // CPU seconds of this thread
  for (auto _ : state) {
    const double start = ThreadCpuSeconds();
    for (size_t i = 0; i < modules.size(); ++i) {
      if (player == Player::kOurs) audio_seconds += RenderOurs(modules[i], interpolate, buffer);
      if (player == Player::kXmp) audio_seconds += RenderXmp(files[i], interpolate);
      if (player == Player::kOpenmpt) audio_seconds += RenderOpenmpt(files[i], interpolate, buffer);
    }
    wall_seconds += ThreadCpuSeconds() - start;
  }
  for (Module* module : modules) FreeModule(module);
  state.counters["x_realtime"] = audio_seconds / wall_seconds;  // per CPU second
  state.counters["audio_s"] = audio_seconds / static_cast<double>(state.iterations());
  const char* names[] = {"ours", "libxmp", "libopenmpt"};
  auto& total = Totals()[std::string(kFormatNames[static_cast<int>(format)]) + " " +
                         names[static_cast<int>(player)] + (interpolate ? " linear" : " nearest")];
  total.first += audio_seconds;
  total.second += wall_seconds;
}

// Each format with each player, nearest then linear interpolation.
void RegisterRenders() {
  const char* const names[] = {"ours", "libxmp", "libopenmpt"};
  for (int format = 0; format < 4; ++format) {
    for (Player player : {Player::kOurs, Player::kXmp, Player::kOpenmpt}) {
      for (int interpolate = 0; interpolate < 2; ++interpolate) {
        const std::string name = std::string("BM_RenderModules/") + kFormatNames[format] + "_" +
                                 names[static_cast<int>(player)] +
                                 (interpolate ? "_linear" : "_nearest");
        benchmark::RegisterBenchmark(name.c_str(), BM_RenderModules, static_cast<Format>(format),
                                     player, interpolate)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(player == Player::kOpenmpt ? 2 : 3);
      }
    }
  }
}

// What a loaded module costs beyond its decoded samples, against its file
// size: the heap in use before and after loading each file.
void PrintModuleMemory() {
  for (const auto& entry : kModules) {
    std::ifstream in(entry.path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    if (bytes.empty()) continue;
    const size_t before = mallinfo2().uordblks;
    Module* module = nullptr;
    if (LoadModuleFromMemory(bytes.data(), bytes.size(), &module, nullptr) != 0) continue;
    const size_t loaded = mallinfo2().uordblks - before;
    size_t samples = 0;
    for (int i = 0; i < module->sample_count; ++i) {
      const ModuleSample* sample = module->samples[i];
      if (sample == nullptr) continue;
      const size_t frame_bytes = size_t{sample->channels} * (sample->data16 != nullptr ? 2 : 1);
      samples += size_t{sample->length} * frame_bytes;
    }
    FreeModule(module);
    const double beyond = static_cast<double>(loaded > samples ? loaded - samples : 0);
    std::printf(
        "%s: %zu bytes loaded, %zu of decoded samples; the rest is %.2f times the file's "
        "%zu bytes (target: at most 2)\n",
        entry.path, loaded, samples, beyond / static_cast<double>(bytes.size()), bytes.size());
  }
}

void PrintRatios() {
  auto speed = [](const std::string& key) {
    const auto it = Totals().find(key);
    return it == Totals().end() || it->second.second <= 0 ? 0.0
                                                          : it->second.first / it->second.second;
  };
  for (const char* format : kFormatNames) {
    for (const char* mode : {" nearest", " linear"}) {
      const std::string prefix = std::string(format) + " ";
      const double ours = speed(prefix + "ours" + mode);
      const double xmp = speed(prefix + "libxmp" + mode);
      const double openmpt = speed(prefix + "libopenmpt" + mode);
      if (ours <= 0) continue;
      std::printf(
          "%s %-8s ours %.0fx real time; libxmp %.0fx (ours/libxmp %.2f); libopenmpt %.0fx "
          "(ours/libopenmpt %.2f)\n",
          format, mode + 1, ours, xmp, xmp > 0 ? ours / xmp : 0.0, openmpt,
          openmpt > 0 ? ours / openmpt : 0.0);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RegisterRenders();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintRatios();
  PrintModuleMemory();
  return 0;
}
