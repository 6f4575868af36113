#include "shell/options.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "board/board_threads.h"
#include "music/music_options.h"
#include "shell/capture.h"
#include "shell/timeline.h"

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

// A time in seconds within the demo for an option, or a message saying why not.
bool ParseDemoTime(const char* option, const char* text, double* seconds, std::string* error) {
  const double end = Timeline[kTimelineRows - 1].start;
  if (!ParseNumber(text, 0, end, seconds)) {
    char limit[32];
    std::snprintf(limit, sizeof limit, "%g", end);
    *error = std::string(option) + " needs a demo time in seconds from 0 to " + limit +
             (text ? std::string(", not '") + text + "'" : std::string());
    return false;
  }
  return true;
}

// Options that only make sense together, checked once all are read.
bool CheckCombinations(const ShellOptions& o, std::string* error) {
  const int modes = (o.headless ? 1 : 0) + (o.screenshot ? 1 : 0) + (o.capture ? 1 : 0);
  if (modes > 1) {
    *error = "choose one of --headless, --screenshot and --capture";
    return false;
  }
  if (o.scale_given && o.resolution_given) {
    *error =
        "--scale and --resolution do not go together: --resolution draws each frame at its "
        "size";
    return false;
  }
  if (o.fps_report && (o.capture || o.screenshot)) {
    *error = "--fps-report goes with the window or --headless";
    return false;
  }
  if (!o.capture && (o.scale_given || o.from_given || o.to_given)) {
    *error = "--scale, --from and --to go with --capture";
    return false;
  }
  const CaptureKind kind = CaptureKindOf(o.capture_path);
  if (o.video_quality_given && kind != CaptureKind::kVideoMp4 &&
      kind != CaptureKind::kVideoMatroska) {
    *error = "--video-quality goes with the capture of a video (--capture FILE.mp4 or FILE.mkv)";
    return false;
  }
  if (o.start_given && (o.capture || o.screenshot)) {
    *error = o.capture ? "--start does not go with --capture; use --from T"
                       : "--start does not go with --screenshot, which has its own time";
    return false;
  }
  const double end = Timeline[kTimelineRows - 1].start;
  if (o.start_given && o.start_seconds >= end) {
    *error = "--start must be before the end of the demo";
    return false;
  }
  if (o.capture && o.from_seconds >= (o.to_given ? o.to_seconds : end)) {
    *error = "--from must be before --to (and before the end of the demo)";
    return false;
  }
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
    } else if (!std::strcmp(arg, "--resolution")) {
      if (!ParseResolution(next, &options->resolution, error)) return false;
      options->resolution_given = true;
      ++i;
    } else if (!std::strcmp(arg, "--fps-report")) {
      options->fps_report = true;
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
    } else if (!std::strcmp(arg, "--start")) {
      if (!ParseDemoTime("--start", next, &options->start_seconds, error)) return false;
      options->start_given = true;
      ++i;
    } else if (!std::strcmp(arg, "--capture")) {
      if (!next || !*next) {
        *error = "--capture needs an output: FILE.mp4, FILE.mkv, FILE.wav or a FOLDER";
        return false;
      }
      if (CaptureKindOf(next) == CaptureKind::kUnknown) {
        *error = std::string("--capture: '") + next +
                 "' must end in .mp4 or .mkv (a video), .wav (the music alone), or have no "
                 "extension (a folder of PNG frames and music.wav)";
        return false;
      }
      options->capture = true;
      options->capture_path = next;
      ++i;
    } else if (!std::strcmp(arg, "--scale")) {
      double scale;
      if (!ParseNumber(next, 1, 8, &scale) || scale != std::floor(scale)) {
        *error = "--scale needs a whole number from 1 to 8";
        return false;
      }
      options->scale = static_cast<int>(scale);
      options->scale_given = true;
      ++i;
    } else if (!std::strcmp(arg, "--threads")) {
      double threads;
      if (!ParseNumber(next, 1, kBoardMaxThreads, &threads) || threads != std::floor(threads)) {
        *error = "--threads needs a whole number from 1 to " + std::to_string(kBoardMaxThreads);
        return false;
      }
      options->threads = static_cast<int>(threads);
      ++i;
    } else if (!std::strcmp(arg, "--video-quality")) {
      if (!ParseVideoQuality(next, &options->video_quality)) {
        *error = "--video-quality needs fast, balanced or best";
        return false;
      }
      options->video_quality_given = true;
      ++i;
    } else if (!std::strcmp(arg, "--from")) {
      if (!ParseDemoTime("--from", next, &options->from_seconds, error)) return false;
      options->from_given = true;
      ++i;
    } else if (!std::strcmp(arg, "--to")) {
      if (!ParseDemoTime("--to", next, &options->to_seconds, error)) return false;
      options->to_given = true;
      ++i;
    } else {
      int index = i;
      const int music = ParseMusicArgument(argc, argv, &index, error);
      if (music < 0) return false;
      if (music == 0) {
        *error = std::string("unknown option '") + arg + "'";
        return false;
      }
      if (std::strncmp(arg, "--sound", 7) == 0) options->sound_chosen = true;
      i = index - 1;
    }
  }
  return CheckCombinations(*options, error);
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
      "  --window-scale N        open the window N times 640x480 (1-8)\n"
      "  --resolution WxH        draw the 3D scenes at W x H pixels (even, up to 3840x2880;\n"
      "                          default 640x480, the board's own); the 2D effects are\n"
      "                          scaled up smoothly; other shapes than 4:3 get black bars.\n"
      "                          Goes for the window, --fullscreen, --screenshot and --capture\n"
      "  --resolution native     the size of the window (or of the screen with --fullscreen,\n"
      "                          --headless, --screenshot or --capture): the sharpest picture\n"
      "  --fps-report            at exit, report the frames that missed their time\n"
      "  --start T               begin at demo time T seconds (the music starts there too)\n"
      "  --list-rows             print the schedule (row, start, length, what it shows)\n"
      "\n"
      "Without a window (no display needed, no setup dialog):\n"
      "  --headless              run the schedule on a virtual clock as fast as the\n"
      "                          CPU allows; print a summary at the end\n"
      "  --fps N                 frames per second of the virtual clock (default 60)\n"
      "  --screenshot T FILE.png render the frame at demo time T seconds to FILE.png\n"
      "\n"
      "Capturing (no display needed; frame k shows demo time T0 + k / fps, and the\n"
      "music lines up with the pictures sample for sample):\n"
      "  --capture OUT           render the demo on the virtual clock and write OUT:\n"
      "                            OUT.mp4, OUT.mkv  H.264 video with the music (needs ffmpeg)\n"
      "                            OUT.wav           the music alone\n"
      "                            OUT (no extension) a folder of frame_NNNNNN.png + music.wav\n"
      "  --fps N                 frames per second of the capture (default 60)\n"
      "  --scale N               enlarge each frame N times in whole pixels (1-8; 2 gives\n"
      "                          1280x960, 3 gives 1920x1440)\n"
      "  --from T                capture from demo time T seconds (T0; default 0)\n"
      "  --to T                  stop before demo time T seconds (default the end, 218)\n"
      "  --video-quality Q       fast (default), balanced or best: encoding time against\n"
      "                          file size, every one visually lossless\n"
      "  The music is mixed with the sound options below (e.g. --quality very-high).\n"
      "  Ctrl-C or SIGTERM stops a capture and removes what it wrote.\n"
      "\n"
      "Sound:\n"
      "%s"
      "\n"
      "Other:\n"
      "  --threads N             draw the 3D scenes on N threads (1-64; default: every\n"
      "                          core the process may use); every N gives the same pictures\n"
      "  --version               print the version\n"
      "  -h, --help              print this help\n"
      "\n"
      "Exit status: 0 after the demo ends, a key press, a closed window, a cancelled\n"
      "setup dialog or a finished capture; 1 after a failure (the message says what\n"
      "went wrong); 2 for a wrong command line; 130 (143) for a capture stopped with\n"
      "Ctrl-C (SIGTERM).\n",
      MusicOptionsHelp());
}
