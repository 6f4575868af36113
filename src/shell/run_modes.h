// The ways the demo can run: in its window, headless on a virtual clock,
// headless for one screenshot, or captured to a video, frames or sound.
#pragma once

struct ShellOptions;

// Runs the demo as the options ask; returns the process exit code.
int RunWithOptions(const ShellOptions& options);

// Switches to a run without a display: virtual clock at 0, no dialogs, no
// setup dialog, silent sound unless the command line chose otherwise.
void EnterHeadless();
