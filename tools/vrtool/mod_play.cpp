// vrtool mod play (see mod_play.h). Keys are read from the terminal in
// non-canonical mode, so any key stops the song without Enter.
#include "vrtool/mod_play.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "music/music_options.h"
#include "music/music_settings.h"
#include "music/music_system.h"
#include "music/player.h"

namespace {

volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int /*signal*/) {
  interrupted = 1;
}

void PrintPlayUsage(std::FILE* out) {
  std::fprintf(out,
               "usage: vrtool mod play FILE [--loop] [--start SECONDS] [music options]\n"
               "Plays the module through the music system as the demo does, until the song\n"
               "ends (or, with --loop, forever); any key stops it.\n"
               "\n"
               "  --loop                repeat the song\n"
               "  --start SECONDS       begin as if the song had played since 0\n"
               "%s",
               MusicOptionsHelp());
}

// The terminal without line buffering and echo while the song plays.
class KeyReader {
 public:
  KeyReader() {
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &saved_) != 0) return;
    termios raw = saved_;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    active_ = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
  }
  ~KeyReader() {
    if (active_) tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
  }
  KeyReader(const KeyReader&) = delete;
  KeyReader& operator=(const KeyReader&) = delete;

  bool Active() const { return active_; }

  // Waits up to timeout_ms; true when a key was pressed.
  bool WaitForKey(int timeout_ms) {
    if (!active_) {
      poll(nullptr, 0, timeout_ms);
      return false;
    }
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (poll(&input, 1, timeout_ms) <= 0) return false;
    char key = 0;
    return read(STDIN_FILENO, &key, 1) == 1;
  }

 private:
  termios saved_{};
  bool active_ = false;
};

struct PlayArguments {
  const char* path = nullptr;
  int loop = 0;
  double start_seconds = 0.0;
};

// 0 parsed, 1 help shown, 2 wrong usage.
int ParsePlayArguments(int argc, char** argv, PlayArguments* arguments) {
  for (int index = 1; index < argc;) {
    const char* argument = argv[index];
    if (!std::strcmp(argument, "--help") || !std::strcmp(argument, "-h")) {
      PrintPlayUsage(stdout);
      return 1;
    }
    if (!std::strcmp(argument, "--loop")) {
      arguments->loop = 1;
      ++index;
      continue;
    }
    if (!std::strcmp(argument, "--start")) {
      char* end = nullptr;
      const double seconds = index + 1 < argc ? std::strtod(argv[index + 1], &end) : -1.0;
      if (end == nullptr || *end != '\0' || !(seconds >= 0 && seconds < 86400)) {
        std::fprintf(stderr, "vrtool mod play: --start needs a time in seconds (0 or more)\n");
        return 2;
      }
      arguments->start_seconds = seconds;
      index += 2;
      continue;
    }
    std::string error;
    const int music = ParseMusicArgument(argc, argv, &index, &error);
    if (music < 0) {
      std::fprintf(stderr, "vrtool mod play: %s\n", error.c_str());
      return 2;
    }
    if (music > 0) continue;
    if (argument[0] == '-' || arguments->path != nullptr) {
      std::fprintf(stderr, "vrtool mod play: unexpected argument '%s' (try --help)\n", argument);
      return 2;
    }
    arguments->path = argument;
    ++index;
  }
  if (arguments->path == nullptr) {
    std::fprintf(stderr, "vrtool mod play: needs FILE (try --help)\n");
    return 2;
  }
  return 0;
}

void ShowStatus(uint32_t handle, double seconds, bool on_terminal) {
  PlayStatus status{};
  if (!on_terminal || !MusicGetPlayStatus(handle, &status)) return;
  std::printf("\r%02d:%04.1f  order %3d  pattern %3d  row %2d ", static_cast<int>(seconds) / 60,
              seconds - 60 * (static_cast<int>(seconds) / 60), status.position, status.pattern,
              status.row);
  std::fflush(stdout);
}

// Plays until the song's end, a key or an interrupt. Returns the exit code.
int PlayUntilDone(MusicModule* module, const PlayArguments& arguments) {
  MusicSetStartTime(arguments.start_seconds);
  const uint32_t handle = MusicPlayModule(module, arguments.loop);
  if (handle == 0) {
    std::fprintf(stderr, "vrtool mod play: %s: cannot start playing (music error %d)\n",
                 arguments.path, MusicLastError());
    return 1;
  }
  KeyReader keys;
  const bool on_terminal = isatty(STDOUT_FILENO) != 0;
  if (keys.Active()) std::fprintf(stderr, "Playing %s; press any key to stop.\n", arguments.path);
  const auto started = std::chrono::steady_clock::now();
  while (!interrupted && !MusicSongEnded(handle)) {
    if (keys.WaitForKey(50)) break;
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
    ShowStatus(handle, arguments.start_seconds + elapsed.count(), on_terminal);
  }
  if (MusicSongEnded(handle)) {
    // Let the sound still queued in the output be heard.
    poll(nullptr, 0, CurrentMusicSettings().buffer_length_ms);
  }
  if (on_terminal) std::printf("\n");
  MusicStopModule(handle);
  return 0;
}

}  // namespace

int RunModPlay(int argc, char** argv) {
  ResetMusicPresets();
  PlayArguments arguments;
  const int parsed = ParsePlayArguments(argc, argv, &arguments);
  if (parsed != 0) return parsed == 1 ? 0 : 2;
  MusicSkipSetupDialog(true);
  MusicStartup();
  MusicModule* module = MusicLoadModule(arguments.path);  // says why on failure
  if (module == nullptr) return 1;
  if (!MusicInit()) {
    std::fprintf(stderr, "vrtool mod play: cannot initialize the music system\n");
    MusicFreeModule(module);
    return 1;
  }
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  MusicStartBackgroundPlay(0);
  const int code = PlayUntilDone(module, arguments);
  MusicFreeModule(module);
  MusicStopBackgroundPlay();
  if (!MusicClose()) return 1;
  return code;
}
