// Placeholder until the music system lands: no music options yet.
#include "music/music_options.h"

int ParseMusicArgument(int /*argc*/, char** /*argv*/, int* /*index*/, std::string* /*error*/) {
  return 0;
}
const char* MusicOptionsHelp() { return ""; }
void MusicSkipSetupDialog(bool /*skip*/) {}
