// vrtool scene: not built yet.
#include <cstdio>

#include "vrtool/commands.h"

int RunSceneCommand(int /*argc*/, char** /*argv*/) {
  std::fprintf(stderr, "vrtool scene: not available in this build yet\n");
  return 1;
}
