// The demo program's command line.
#pragma once

#include <string>

struct ShellOptions {
  bool help = false;
  bool version = false;
  bool list_rows = false;
  bool fullscreen = false;
  int window_scale = 0;  // 0: chosen from the display
  bool headless = false;
  double fps = 60.0;  // virtual clock rate of headless runs
  bool fps_given = false;
  bool screenshot = false;
  double screenshot_seconds = 0.0;
  std::string screenshot_path;
};

// Parses argv; returns false with a message in *error for a wrong command line.
bool ParseShellOptions(int argc, char** argv, ShellOptions* options, std::string* error);

void PrintShellHelp();
