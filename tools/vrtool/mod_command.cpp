// vrtool mod: not built yet.
#include <cstdio>

#include "vrtool/commands.h"

int RunModCommand(int /*argc*/, char** /*argv*/) {
  std::fprintf(stderr, "vrtool mod: not available in this build yet\n");
  return 1;
}
