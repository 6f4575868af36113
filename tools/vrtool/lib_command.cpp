// vrtool lib: packs a folder into a file library, lists, extracts and
// verifies members. Libraries are read through the demo's own TFileLib.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "storage/atomic_file.h"
#include "storage/file_library.h"
#include "storage/library_writer.h"
#include "storage/stream.h"
#include "vrtool/commands.h"
#include "vrtool/input_file.h"

namespace {

namespace fs = std::filesystem;

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

struct Action {
  const char* name;
  int operands;
  const char* usage;
  const char* help;
  int (*run)(char** operands);
};

int Fail(const std::string& message) {
  std::fprintf(stderr, "vrtool lib: %s\n", message.c_str());
  return kExitFailure;
}

std::string Folded(const std::string& name) {
  std::string folded = name;
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return folded;
}

// Member names: the path under dir with backslashes between its parts.
int Pack(char** operands) {
  const std::string out = operands[0];
  const fs::path dir = operands[1];
  std::error_code code;
  if (!fs::is_directory(dir, code)) return Fail(dir.string() + ": not a readable directory");
  std::vector<std::pair<std::string, fs::path>> files;
  fs::recursive_directory_iterator it(dir, code), end;
  if (code) return Fail(dir.string() + ": cannot read: " + code.message());
  for (; it != end; it.increment(code)) {
    if (code) return Fail(dir.string() + ": cannot read: " + code.message());
    if (!it->is_regular_file(code)) continue;
    std::string name = fs::relative(it->path(), dir, code).generic_string();
    std::replace(name.begin(), name.end(), '/', '\\');
    files.push_back({name, it->path()});
  }
  if (code) return Fail(dir.string() + ": cannot read: " + code.message());
  if (files.empty()) return Fail(dir.string() + ": no files to pack (a library needs one member)");
  std::sort(files.begin(), files.end());
  std::vector<LibraryMember> members;
  for (size_t i = 0; i < files.size(); ++i) {
    const auto& [name, path] = files[i];
    if (name.size() > 51) {
      return Fail(path.string() + ": member name '" + name + "' has " +
                  std::to_string(name.size()) + " characters; at most 51 fit");
    }
    if (i > 0 && Folded(files[i - 1].first) == Folded(name)) {
      return Fail(path.string() + ": member name '" + name + "' differs from '" +
                  files[i - 1].first + "' only in case; the demo could not reach it");
    }
    LibraryMember member{name, {}};
    std::string error;
    if (!ReadInputFile(path.string(), &member.bytes, &error)) return Fail(error);
    members.push_back(std::move(member));
  }
  std::string error;
  if (!WriteLibrary(out, members, &error)) return Fail(error);
  std::printf("%s: packed %zu members\n", out.c_str(), members.size());
  return kExitOk;
}

// Opens a library for the reading actions; prints why when it cannot.
struct OpenLibrary {
  explicit OpenLibrary(const std::string& path) {
    file.SetName(path.c_str());
    if (!file.Open(smRead)) {
      problem = path + ": cannot open: " + std::strerror(errno);
      return;
    }
    library = std::make_unique<TFileLib>(&file);
    if (library->Failed()) problem = path + ": " + DescribeLibraryProblem(path);
  }
  TFile file;
  std::unique_ptr<TFileLib> library;
  std::string problem;
};

std::string EntryName(const LibEntry& entry) {
  return std::string(entry.name, strnlen(entry.name, sizeof entry.name));
}

int List(char** operands) {
  OpenLibrary open(operands[0]);
  if (!open.problem.empty()) return Fail(open.problem);
  for (int32_t i = 0; i < open.library->Count(); ++i) {
    const LibEntry& entry = *open.library->Entry(i);
    std::printf("%-51s %10d %10d\n", EntryName(entry).c_str(), entry.offset, entry.length);
  }
  return kExitOk;
}

int Extract(char** operands) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadLibraryMember(operands[0], operands[1], &bytes, &error)) return Fail(error);
  if (!WriteFileAtomically(operands[2], bytes.data(), bytes.size(), &error)) return Fail(error);
  return kExitOk;
}

int Verify(char** operands) {
  const std::string path = operands[0];
  OpenLibrary open(path);
  if (!open.problem.empty()) return Fail(open.problem);
  std::error_code code;
  const int64_t file_size = static_cast<int64_t>(fs::file_size(path, code));
  if (code) return Fail(path + ": " + code.message());
  int problems = 0;
  std::vector<std::string> seen;
  for (int32_t i = 0; i < open.library->Count(); ++i) {
    const LibEntry& entry = *open.library->Entry(i);
    const std::string name = EntryName(entry);
    const std::string where = path + ": entry " + std::to_string(i) + " '" + name + "'";
    if (name.size() == sizeof entry.name) {
      std::fprintf(stderr, "%s: name has no terminating NUL\n", where.c_str());
      ++problems;
    }
    if (entry.offset < 0 || entry.length < 0 ||
        static_cast<int64_t>(entry.offset) + entry.length > file_size) {
      std::fprintf(stderr, "%s: bytes %d..%lld lie outside the file (%lld bytes)\n", where.c_str(),
                   entry.offset, static_cast<long long>(entry.offset) + entry.length,
                   static_cast<long long>(file_size));
      ++problems;
    }
    const std::string folded = Folded(name);
    if (std::find(seen.begin(), seen.end(), folded) != seen.end()) {
      std::fprintf(stderr, "%s: warning: an earlier entry has the same name; this one is unused\n",
                   where.c_str());
    }
    seen.push_back(folded);
  }
  if (problems) {
    std::fprintf(stderr, "vrtool lib: %s: %d problem(s) found\n", path.c_str(), problems);
    return kExitFailure;
  }
  std::printf("%s: %d members, all inside the file\n", path.c_str(), open.library->Count());
  return kExitOk;
}

constexpr Action kActions[] = {
    {"pack", 2, "vrtool lib pack OUT.dat DIR",
     "Packs every file under DIR into the library OUT.dat. Members are named by\n"
     "their path under DIR with '\\' between the parts, in sorted order; names may\n"
     "have at most 51 characters. OUT.dat is replaced only when complete.\n",
     Pack},
    {"list", 1, "vrtool lib list FILE", "Prints one line per member: name, offset, length.\n",
     List},
    {"extract", 3, "vrtool lib extract FILE MEMBER OUT",
     "Writes the bytes of MEMBER (matched without regard to the case of A-Z) to OUT.\n", Extract},
    {"verify", 1, "vrtool lib verify FILE",
     "Checks that every member's bytes lie inside the file. Exit 1 when not.\n", Verify},
};

void PrintHelp(FILE* out) {
  std::fprintf(out, "usage:\n");
  for (const Action& a : kActions) std::fprintf(out, "  %s\n", a.usage);
  std::fprintf(out,
               "\nFile libraries (demo.dat) hold the demo's scenes and pictures. Each action\n"
               "has --help. Exit status: 0 success, 1 failure, 2 wrong usage.\n");
}

bool IsHelp(const char* arg) {
  return !std::strcmp(arg, "--help") || !std::strcmp(arg, "-h");
}

}  // namespace

int RunLibCommand(int argc, char** argv) {
  if (argc < 2 || IsHelp(argv[1])) {
    PrintHelp(argc < 2 ? stderr : stdout);
    return argc < 2 ? kExitUsage : kExitOk;
  }
  for (const Action& a : kActions) {
    if (std::strcmp(argv[1], a.name) != 0) continue;
    for (int i = 2; i < argc; ++i) {
      if (IsHelp(argv[i])) {
        std::printf("usage: %s\n\n%s", a.usage, a.help);
        return kExitOk;
      }
    }
    if (argc - 2 != a.operands) {
      std::fprintf(stderr, "vrtool lib %s: expected %d operand(s)\nusage: %s\n", a.name, a.operands,
                   a.usage);
      return kExitUsage;
    }
    return a.run(argv + 2);
  }
  std::fprintf(stderr, "vrtool lib: unknown action '%s'\n", argv[1]);
  PrintHelp(stderr);
  return kExitUsage;
}
