// vrtool lib: not built yet.
#include <cstdio>

#include "vrtool/commands.h"

int RunLibCommand(int /*argc*/, char** /*argv*/) {
  std::fprintf(stderr, "vrtool lib: not available in this build yet\n");
  return 1;
}
