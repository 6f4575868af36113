#include "shell/options.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "music/music_options.h"

namespace {

bool ParseNumber(const char* text, double low, double high, double* value) {
  if (!text || !*text) return false;
  char* end = nullptr;
  errno = 0;
  const double parsed = std::strtod(text, &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(parsed) || parsed < low || parsed > high) {
    return false;
  }
  *value = parsed;
  return true;
}

}  // namespace

bool ParseShellOptions(int argc, char** argv, ShellOptions* options, std::string* error) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
    if (!std::strcmp(arg, "--help") || !std::strcmp(arg, "-h")) {
      options->help = true;
    } else if (!std::strcmp(arg, "--version")) {
      options->version = true;
    } else if (!std::strcmp(arg, "--list-rows")) {
      options->list_rows = true;
    } else if (!std::strcmp(arg, "--fullscreen")) {
      options->fullscreen = true;
    } else if (!std::strcmp(arg, "--window-scale")) {
      double scale;
      if (!ParseNumber(next, 1, 8, &scale) || scale != std::floor(scale)) {
        *error = "--window-scale needs a whole number from 1 to 8";
        return false;
      }
      options->window_scale = static_cast<int>(scale);
      ++i;
    } else if (!std::strcmp(arg, "--headless")) {
      options->headless = true;
    } else if (!std::strcmp(arg, "--fps")) {
      if (!ParseNumber(next, 1, 1000, &options->fps)) {
        *error = "--fps needs a number of frames per second from 1 to 1000";
        return false;
      }
      options->fps_given = true;
      ++i;
    } else if (!std::strcmp(arg, "--screenshot")) {
      if (i + 2 >= argc) {
        *error = "--screenshot needs a time in seconds and a PNG file name";
        return false;
      }
      if (!ParseNumber(argv[i + 1], 0, 1e6, &options->screenshot_seconds)) {
        *error = std::string("--screenshot: '") + argv[i + 1] + "' is not a time in seconds";
        return false;
      }
      options->screenshot = true;
      options->screenshot_path = argv[i + 2];
      i += 2;
    } else {
      int index = i;
      const int music = ParseMusicArgument(argc, argv, &index, error);
      if (music < 0) return false;
      if (music == 0) {
        *error = std::string("unknown option '") + arg + "'";
        return false;
      }
      i = index - 1;
    }
  }
  return true;
}

void PrintShellHelp() {
  std::printf(
      "usage: veyrith [OPTIONS]\n"
      "\n"
      "Plays the Veyrith demo: 218 seconds of 3D scenes and 2D effects in step with\n"
      "its music. It reads demo.dat and music.s3m from the working directory.\n"
      "Any key, or closing the window, ends it.\n"
      "\n"
      "Watching:\n"
      "  --fullscreen            fill the screen instead of a window\n"
      "  --window-scale N        open the window N times the 640x480 picture (1-8)\n"
      "  --list-rows             print the schedule (row, start, length, what it shows)\n"
      "\n"
      "Without a window (no display needed, no setup dialog):\n"
      "  --headless              run the schedule on a virtual clock as fast as the\n"
      "                          CPU allows; print a summary at the end\n"
      "  --fps N                 frames per second of the virtual clock (default 60)\n"
      "  --screenshot T FILE.png render the frame at demo time T seconds to FILE.png\n"
      "\n"
      "Sound:\n"
      "%s"
      "\n"
      "Other:\n"
      "  --version               print the version\n"
      "  -h, --help              print this help\n"
      "\n"
      "Exit status: 0 after the demo ends, a key press, a closed window or a cancelled\n"
      "setup dialog; 1 after a failure (the message says what went wrong); 2 for a\n"
      "wrong command line.\n",
      MusicOptionsHelp());
}
