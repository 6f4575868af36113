// vrtool mod: inspect, trace, render and play modules (S3M and plain
// modules) with the demo's own readers, player and mixer.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "music/mixer.h"
#include "music/module_loader.h"
#include "music/module_records.h"
#include "music/music_errors.h"
#include "music/player.h"
#include "music/wav_file.h"
#include "vrtool/commands.h"
#include "vrtool/input_file.h"

#if __has_include("vrtool/mod_play.h")
#include "vrtool/mod_play.h"
#define VRTOOL_HAS_MOD_PLAY 1
#endif

namespace {

constexpr uint32_t kMaxTracedRows = 1000000;  // a song that never ends stops here

bool IsHelp(const char* argument) {
  return !std::strcmp(argument, "--help") || !std::strcmp(argument, "-h");
}

void PrintModUsage(FILE* out) {
  std::fprintf(out,
               "usage: vrtool mod COMMAND [ARGS...]\n"
               "\n"
               "Commands (each has --help):\n"
               "  info FILE [--json]           name, channels, orders, patterns,\n"
               "                                   instruments, speed, tempo, length\n"
               "  trace FILE                   one line per row played: order position,\n"
               "                                   pattern, row\n"
               "  render FILE OUT.wav [opts]   the whole song into a 16-bit WAV file\n"
               "  play FILE [opts]             play through the sound card\n"
               "\n"
               "FILE may be LIBRARY.dat:MEMBER, a module inside a file library.\n");
}

// Module loaded from a file or a library member; freed on destruction.
struct LoadedModule {
  Module* module = nullptr;
  ~LoadedModule() { FreeModule(module); }
};

bool LoadModuleArgument(const char* command, const std::string& argument, LoadedModule* loaded) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadInputFile(argument, &bytes, &error)) {
    std::fprintf(stderr, "vrtool mod %s: %s\n", command, error.c_str());
    return false;
  }
  std::string reason;
  const int code = LoadModuleFromMemory(bytes.data(), bytes.size(), &loaded->module, &reason);
  if (code != kMusicOk) {
    std::fprintf(stderr, "vrtool mod %s: %s: cannot read the module: %s (code %d)\n", command,
                 argument.c_str(), reason.c_str(), code);
    return false;
  }
  return true;
}

std::string PrintableName(const char* name, bool json) {
  std::string out;
  for (const char* c = name; *c != '\0'; ++c) {
    const auto byte = static_cast<unsigned char>(*c);
    if (json && (byte == '"' || byte == '\\')) {
      out += '\\';
      out += static_cast<char>(byte);
    } else {
      out += byte >= 32 && byte < 127 ? static_cast<char>(byte) : '?';
    }
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

int RunInfo(int argc, char** argv) {
  const char* file = nullptr;
  bool json = false;
  for (int i = 1; i < argc; ++i) {
    if (IsHelp(argv[i])) {
      std::printf(
          "usage: vrtool mod info FILE [--json]\n"
          "Prints the module's name, channel count, song length in orders, pattern and\n"
          "instrument counts, initial speed and tempo, and the song's length in seconds\n"
          "(played once, as the demo plays it), the format (mod, s3m, xm, it) and the file's own\n"
          "tag (\"M.K.\", \"15 samples\"...), and how many instruments and samples hold\n"
          "sound. --json prints one object with the keys name, format, tag, channels,\n"
          "orders, patterns, instruments, samples, used_instruments, sampled_samples,\n"
          "speed, tempo, seconds.\n");
      return 0;
    }
    if (!std::strcmp(argv[i], "--json")) {
      json = true;
    } else if (file == nullptr && argv[i][0] != '-') {
      file = argv[i];
    } else {
      std::fprintf(stderr, "vrtool mod info: unexpected argument '%s' (try --help)\n", argv[i]);
      return 2;
    }
  }
  if (file == nullptr) {
    std::fprintf(stderr, "vrtool mod info: missing FILE (try --help)\n");
    return 2;
  }
  LoadedModule loaded;
  if (!LoadModuleArgument("info", file, &loaded)) return 1;
  const Module& m = *loaded.module;
  const double seconds = PlayerWalkSong(loaded.module, kMaxTracedRows, nullptr, nullptr);
  int used_instruments = 0;
  for (int32_t i = 0; i < m.instrument_count; ++i) {
    if (m.instruments[i] != nullptr && m.instruments[i]->used) ++used_instruments;
  }
  int sampled_samples = 0;
  for (int32_t i = 0; i < m.sample_count; ++i) {
    if (m.samples[i] != nullptr && m.samples[i]->length != 0) ++sampled_samples;
  }
  const char* format = ModuleFormatName(m.rules);
  if (json) {
    std::printf(
        "{\"name\": \"%s\", \"format\": \"%s\", \"tag\": \"%s\", \"channels\": %d, "
        "\"orders\": %d, \"patterns\": %d, \"instruments\": %d, \"samples\": %d, "
        "\"used_instruments\": %d, \"sampled_samples\": %d, \"speed\": %d, \"tempo\": %d, "
        "\"seconds\": %.3f}\n",
        PrintableName(m.name, true).c_str(), format, PrintableName(m.format, true).c_str(),
        m.channel_count, m.song_length, m.pattern_count, m.instrument_count, m.sample_count,
        used_instruments, sampled_samples, m.speed, m.tempo, seconds);
  } else {
    std::printf("name:        %s\n", PrintableName(m.name, false).c_str());
    std::printf("format:      %s (%s)\n", format, PrintableName(m.format, false).c_str());
    std::printf("channels:    %d\n", m.channel_count);
    std::printf("orders:      %d\n", m.song_length);
    std::printf("patterns:    %d\n", m.pattern_count);
    std::printf("instruments: %d (%d used)\n", m.instrument_count, used_instruments);
    std::printf("samples:     %d (%d with sound)\n", m.sample_count, sampled_samples);
    std::printf("speed:       %d\n", m.speed);
    std::printf("tempo:       %d\n", m.tempo);
    std::printf("seconds:     %.3f\n", seconds);
  }
  return 0;
}

void PrintRow(const PlayStatus& status, void* /*context*/) {
  std::printf("%d %d %d\n", status.position, status.pattern, status.row);
}

int RunTrace(int argc, char** argv) {
  const char* file = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (IsHelp(argv[i])) {
      std::printf(
          "usage: vrtool mod trace FILE\n"
          "Follows the song from its start until it ends and prints one line per row\n"
          "played: the order position, the pattern and the row, as decimal numbers.\n");
      return 0;
    }
    if (file != nullptr || argv[i][0] == '-') {
      std::fprintf(stderr, "vrtool mod trace: unexpected argument '%s' (try --help)\n", argv[i]);
      return 2;
    }
    file = argv[i];
  }
  if (file == nullptr) {
    std::fprintf(stderr, "vrtool mod trace: missing FILE (try --help)\n");
    return 2;
  }
  LoadedModule loaded;
  if (!LoadModuleArgument("trace", file, &loaded)) return 1;
  PlayerWalkSong(loaded.module, kMaxTracedRows, PrintRow, nullptr);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

// Ticks the rendered song; stops (code -1) when the row after its end would
// be read, so the last row sounds in full.
struct RenderContext {
  PlayState* state = nullptr;
};
constexpr int kSongOver = -1;

int RenderTick(void* context) {
  const PlayState* state = static_cast<RenderContext*>(context)->state;
  const bool reads_row = state->tick + 1 >= state->speed && state->pattern_delay == 0;
  if (PlayerSongEnded(state) && reads_row) return kSongOver;
  return PlayerTickState(static_cast<RenderContext*>(context)->state);
}

struct RenderOptions {
  const char* input = nullptr;
  const char* output = nullptr;
  int rate_hz = 44100;
  int output_mode = kMixerStereo;
  int interpolate = 0;
};

// 0 parsed, 1 help shown, 2 wrong usage.
int ParseRenderOptions(int argc, char** argv, RenderOptions* options) {
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    if (IsHelp(argument)) {
      std::printf(
          "usage: vrtool mod render FILE OUT.wav [--rate N] [--mono] [--interpolate]\n"
          "Renders the song once, from its start to its end, into a 16-bit PCM WAV file\n"
          "with the demo's mixer.\n"
          "  --rate N       mixing rate in Hz, 8000..96000 (default 44100)\n"
          "  --mono         one channel instead of stereo\n"
          "  --interpolate  linear interpolation between sample frames (high quality)\n"
          "The file is written under a temporary name and renamed when complete.\n");
      return 1;
    }
    if (!std::strcmp(argument, "--mono")) {
      options->output_mode = kMixerMono;
    } else if (!std::strcmp(argument, "--interpolate")) {
      options->interpolate = 1;
    } else if (!std::strcmp(argument, "--rate")) {
      char* end = nullptr;
      const long rate = i + 1 < argc ? std::strtol(argv[i + 1], &end, 10) : 0;
      if (i + 1 >= argc || *end != '\0' || rate < 8000 || rate > 96000) {
        std::fprintf(stderr, "vrtool mod render: --rate needs a number from 8000 to 96000\n");
        return 2;
      }
      options->rate_hz = static_cast<int>(rate);
      ++i;
    } else if (argument[0] != '-' && options->input == nullptr) {
      options->input = argument;
    } else if (argument[0] != '-' && options->output == nullptr) {
      options->output = argument;
    } else {
      std::fprintf(stderr, "vrtool mod render: unexpected argument '%s' (try --help)\n", argument);
      return 2;
    }
  }
  if (options->output == nullptr) {
    std::fprintf(stderr, "vrtool mod render: needs FILE and OUT.wav (try --help)\n");
    return 2;
  }
  return 0;
}

void ShowProgress(double done_seconds, double total_seconds) {
  const int width = 40;
  const double fraction = total_seconds > 0 ? std::min(done_seconds / total_seconds, 1.0) : 1.0;
  const int filled = static_cast<int>(fraction * width);
  std::fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "########################################",
               width - filled, "", static_cast<int>(fraction * 100));
}

int RunRender(int argc, char** argv) {
  RenderOptions options;
  const int parsed = ParseRenderOptions(argc, argv, &options);
  if (parsed != 0) return parsed == 1 ? 0 : 2;
  LoadedModule loaded;
  if (!LoadModuleArgument("render", options.input, &loaded)) return 1;
  const double total_seconds = PlayerWalkSong(loaded.module, kMaxTracedRows, nullptr, nullptr);

  Mixer mixer;
  mixer.Configure(options.rate_hz, options.output_mode, options.interpolate);
  PlayerSetDevice(&mixer);
  RenderContext context;
  int code = PlayerStart(loaded.module, nullptr, 1, &context.state);
  PlayerSetDevice(nullptr);
  if (code != kMusicOk) {
    std::fprintf(stderr, "vrtool mod render: %s: cannot start playing: %s\n", options.input,
                 MusicErrorText(code));
    return 1;
  }
  const int channels = options.output_mode == kMixerStereo ? 2 : 1;
  WavWriter writer;
  std::string error;
  if (!writer.Open(options.output, options.rate_hz, channels, &error)) {
    std::fprintf(stderr, "vrtool mod render: %s\n", error.c_str());
    PlayerStop(context.state);
    return 1;
  }
  const bool progress = isatty(STDERR_FILENO) != 0;
  std::vector<int16_t> buffer(4096 * static_cast<size_t>(channels));
  bool failed = false;
  for (;;) {
    int mixed = 0;
    code = mixer.Render(buffer.data(), 4096, RenderTick, &context, &mixed);
    if (!writer.Write(buffer.data(), static_cast<size_t>(mixed), &error)) {
      std::fprintf(stderr, "vrtool mod render: %s\n", error.c_str());
      failed = true;
      break;
    }
    if (progress)
      ShowProgress(static_cast<double>(writer.FramesWritten()) / options.rate_hz, total_seconds);
    if (code == kSongOver) break;
    if (code != kMusicOk) {
      std::fprintf(stderr, "vrtool mod render: %s: playing failed: %s\n", options.input,
                   MusicErrorText(code));
      failed = true;
      break;
    }
  }
  PlayerStop(context.state);
  if (progress) std::fprintf(stderr, "\n");
  if (failed) {
    writer.Abandon();
    return 1;
  }
  if (!writer.Close(&error)) {
    std::fprintf(stderr, "vrtool mod render: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int RunModCommand(int argc, char** argv) {
  if (argc < 2 || IsHelp(argv[1])) {
    PrintModUsage(argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  const char* command = argv[1];
  if (!std::strcmp(command, "info")) return RunInfo(argc - 1, argv + 1);
  if (!std::strcmp(command, "trace")) return RunTrace(argc - 1, argv + 1);
  if (!std::strcmp(command, "render")) return RunRender(argc - 1, argv + 1);
  if (!std::strcmp(command, "play")) {
#ifdef VRTOOL_HAS_MOD_PLAY
    return RunModPlay(argc - 1, argv + 1);
#else
    std::fprintf(stderr, "vrtool mod play: not available in this build yet\n");
    return 1;
#endif
  }
  std::fprintf(stderr, "vrtool mod: unknown command '%s' (try vrtool mod --help)\n", command);
  return 2;
}
