// The ways the demo can run: in its window, headless on a virtual clock,
// headless for one screenshot, or captured to a video, frames or sound.
#pragma once

struct ShellOptions;

// Runs the demo as the options ask; returns the process exit code.
int RunWithOptions(const ShellOptions& options);

// What a run without a display hears: nothing, or the sound output the
// command line chose (a WAV file follows the virtual clock).
enum class HeadlessSound { kSilent, kAsChosen };

// Switches to a run without a display: virtual clock at 0, no dialogs, no
// setup dialog, and the sound as asked.
void EnterHeadless(HeadlessSound sound);
