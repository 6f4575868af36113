// vrtool content: builds the default content of the demo.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "storage/library_writer.h"
#include "vrtool/commands.h"

namespace {

void PrintHelp(FILE* out) {
  std::fprintf(out,
               "usage: vrtool content build OUTDIR\n"
               "\n"
               "Writes the default demo.dat (and music.s3m) into OUTDIR.\n");
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
  const std::string text = "Veyrith default content\n";
  std::vector<LibraryMember> members = {{"readme.txt", {text.begin(), text.end()}}};
  std::string error;
  if (!WriteLibrary((out / "demo.dat").string(), members, &error)) {
    std::fprintf(stderr, "vrtool content: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
