// The music system's settings as the command line gives them: they preset
// the setup dialog, or replace it with --no-setup. The presets are kept
// apart from the settings because MusicStartup resets the settings to their
// defaults and then lays the presets over them.
#pragma once

#include <string>

struct MusicSettings;

// Tries to read the option at argv[*index] (and its value, either the next
// argument or after '='). Returns 1 when it was a music option and advances
// *index past it, 0 when it is not one, -1 when it is one but wrong (the
// reason in *error).
int ParseMusicArgument(int argc, char** argv, int* index, std::string* error);

// Lines for --help describing the music options.
const char* MusicOptionsHelp();

// The setup dialog is not shown: the settings stand as preset (--no-setup,
// headless runs, screenshots and captures).
void MusicSkipSetupDialog(bool skip);
bool MusicSetupDialogSkipped();

// Lays every preset that the command line gave over the settings.
void ApplyMusicPresets(MusicSettings* settings);

// Forgets every preset and the skip request (tools and tests).
void ResetMusicPresets();
