// The music system's settings as the command line gives them: they preset
// the setup dialog, or replace it with --no-setup. (Placeholder until the
// music system lands.)
#pragma once

#include <string>

// Tries to read the option at argv[*index] (and its value). Returns 1 when it
// was a music option (and advances *index past it), 0 when it is not one,
// -1 when it is one but wrong (the reason in *error).
int ParseMusicArgument(int argc, char** argv, int* index, std::string* error);

// Lines for --help describing the music options.
const char* MusicOptionsHelp();

// The setup dialog is not shown: the settings stand as preset (--no-setup,
// headless runs, screenshots and captures).
void MusicSkipSetupDialog(bool skip);
