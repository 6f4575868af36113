// vrtool content: builds the default content of the demo.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "content/content_build.h"
#include "vrtool/commands.h"

namespace {

void PrintHelp(FILE* out) {
  std::fprintf(out,
               "usage: vrtool content build OUTDIR\n"
               "\n"
               "Generates the demo's default content and writes OUTDIR/demo.dat (scenes,\n"
               "textures and effect pictures) and OUTDIR/music.s3m (the music). The files\n"
               "are made from code alone and are the same bytes at every run. OUTDIR is\n"
               "created when missing; existing files are replaced only when the build\n"
               "succeeds.\n");
}

void PrintStep(const char* step) {
  std::fprintf(stderr, "vrtool content: %s\n", step);
}

}  // namespace

int RunContentCommand(int argc, char** argv) {
  if (argc >= 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
    PrintHelp(stdout);
    return 0;
  }
  if (argc != 3 || std::strcmp(argv[1], "build") != 0) {
    PrintHelp(stderr);
    return 2;
  }
  const std::filesystem::path out = argv[2];
  std::error_code code;
  std::filesystem::create_directories(out, code);
  if (code) {
    std::fprintf(stderr, "vrtool content: %s: %s\n", out.c_str(), code.message().c_str());
    return 1;
  }
  std::string error;
  if (!BuildContent(out.string(), PrintStep, &error)) {
    std::fprintf(stderr, "vrtool content: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
