// The ways the demo can run: in its window, headless on a virtual clock,
// or headless for one screenshot.
#pragma once

struct ShellOptions;

// Runs the demo as the options ask; returns the process exit code.
int RunWithOptions(const ShellOptions& options);
