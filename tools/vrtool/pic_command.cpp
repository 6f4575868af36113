// vrtool pic: not built yet.
#include <cstdio>

#include "vrtool/commands.h"

int RunPicCommand(int /*argc*/, char** /*argv*/) {
  std::fprintf(stderr, "vrtool pic: not available in this build yet\n");
  return 1;
}
