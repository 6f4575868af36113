// Placeholder until the music system lands: silent, always succeeds.
#include "music/music_system.h"

int MusicStartup() { return 1; }
int MusicSetupDialog() { return 1; }
int MusicSetupDialogFailed() { return 0; }
int MusicInit() { return 1; }
int MusicStartBackgroundPlay(uint32_t /*rate*/) { return 1; }
MusicModule* MusicLoadModule(const char* /*path*/) { return nullptr; }
uint32_t MusicPlayModule(MusicModule* /*module*/, int /*loop*/) { return 0; }
int MusicStopModule(uint32_t /*handle*/) { return 1; }
int MusicFreeModule(MusicModule* /*module*/) { return 1; }
int MusicStopBackgroundPlay() { return 1; }
int MusicClose() { return 1; }
