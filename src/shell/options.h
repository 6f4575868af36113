// The demo program's command line.
#pragma once

#include <string>

#include "shell/capture_quality.h"
#include "shell/resolution.h"

struct ShellOptions {
  bool help = false;
  bool version = false;
  bool list_rows = false;
  bool fullscreen = false;
  int window_scale = 0;       // 0: chosen from the display
  bool sound_chosen = false;  // --sound or --sound-file was given
  bool headless = false;
  double fps = 60.0;  // virtual clock rate of headless runs
  bool fps_given = false;
  bool screenshot = false;
  double screenshot_seconds = 0.0;
  std::string screenshot_path;
  // Watching from part-way: demo time in seconds at which the run begins.
  bool start_given = false;
  double start_seconds = 0.0;
  // Capturing: the output (its extension says what is written), the
  // enlargement in whole pixels and the part of the demo captured.
  bool capture = false;
  std::string capture_path;
  int scale = 1;
  bool scale_given = false;
  double from_seconds = 0.0;
  bool from_given = false;
  double to_seconds = 0.0;  // the end of the demo unless given
  bool to_given = false;
  // Threads the 3D board draws with; 0: every core the process may use.
  int threads = 0;
  VideoQuality video_quality = VideoQuality::kFast;
  bool video_quality_given = false;
  // The size the demo draws at: the window, full screen, screenshots and
  // captures alike.
  ScreenResolution resolution;
  bool resolution_given = false;
  bool fps_report = false;  // time the frames and report the missed ones at exit
};

// Parses argv; returns false with a message in *error for a wrong command line.
bool ParseShellOptions(int argc, char** argv, ShellOptions* options, std::string* error);

void PrintShellHelp();
