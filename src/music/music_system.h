// The calling interface of the music system (version 1.1.2), in the order
// the demo calls it. (Placeholder until the music system lands: it accepts
// every call and plays nothing.)
#pragma once

#include <cstdint>

struct MusicModule;

int MusicStartup();
int MusicSetupDialog();
// After MusicSetupDialog returned 0: 1 when the dialog could not be shown
// (no display), 0 when the user cancelled it.
int MusicSetupDialogFailed();
int MusicInit();
int MusicStartBackgroundPlay(uint32_t rate);
MusicModule* MusicLoadModule(const char* path);
uint32_t MusicPlayModule(MusicModule* module, int loop);
int MusicStopModule(uint32_t handle);
int MusicFreeModule(MusicModule* module);
int MusicStopBackgroundPlay();
int MusicClose();
