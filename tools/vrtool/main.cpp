// vrtool: the tools of Veyrith, one subcommand per subsystem.
#include <cstdio>
#include <cstring>

#include "vrtool/commands.h"

namespace {

struct Subcommand {
  const char* name;
  int (*run)(int argc, char** argv);
  const char* summary;
};

constexpr Subcommand kSubcommands[] = {
    {"lib", RunLibCommand, "pack, list, extract and verify file libraries (demo.dat)"},
    {"pic", RunPicCommand, "inspect and convert PCX and BMP pictures"},
    {"scene", RunSceneCommand, "dump, trace and evaluate 3D Studio scenes"},
    {"mod", RunModCommand, "inspect, trace, render and play S3M modules"},
    {"content", RunContentCommand, "build the default demo.dat and music.s3m"},
};

void PrintUsage(FILE* out) {
  std::fprintf(out,
               "usage: vrtool SUBCOMMAND [ARGS...]\n"
               "\n"
               "Subcommands (each has --help):\n");
  for (const Subcommand& s : kSubcommands) std::fprintf(out, "  %-8s %s\n", s.name, s.summary);
  std::fprintf(out,
               "\nWherever a subcommand reads a file, FILE may also be LIBRARY.dat:MEMBER,\n"
               "a member of a file library.\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
    PrintUsage(argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  for (const Subcommand& s : kSubcommands) {
    if (!std::strcmp(argv[1], s.name)) return s.run(argc - 1, argv + 1);
  }
  std::fprintf(stderr, "vrtool: unknown subcommand '%s' (try vrtool --help)\n", argv[1]);
  return 2;
}
