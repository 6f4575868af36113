// Replays saved fuzz inputs through a fuzz target without libFuzzer, so the
// normal (gcc) build and the sanitizer build run every committed corpus and
// regression file as a test:
//
//   replay_fuzz_pcx fuzz/corpus/fuzz_pcx [MORE_FOLDERS_OR_FILES...]
//
// Exit status: 0 when every input ran, 1 when a folder is missing or holds no
// input (a lost corpus must not pass), 2 for wrong usage. A broken promise
// inside the target aborts with the input's name printed just before.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

namespace fs = std::filesystem;

void AddInputs(const fs::path& path, std::vector<fs::path>* inputs) {
  std::error_code error;
  if (fs::is_regular_file(path, error)) {
    inputs->push_back(path);
    return;
  }
  for (fs::recursive_directory_iterator it(path, error), end; !error && it != end;
       it.increment(error)) {
    if (it->is_regular_file()) inputs->push_back(it->path());
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::string(argv[1]) == "--help") {
    std::fprintf(argc < 2 ? stderr : stdout,
                 "usage: %s FOLDER_OR_FILE...\n"
                 "Runs every file found (folders are searched recursively) through the\n"
                 "fuzz target once. Exit status: 0 all ran, 1 no input found, 2 usage.\n",
                 argv[0]);
    return argc < 2 ? 2 : 0;
  }
  for (int i = 1; i < argc; ++i) {
    std::vector<fs::path> inputs;
    AddInputs(argv[i], &inputs);
    if (inputs.empty()) {
      std::fprintf(stderr, "%s: %s: no input files (missing or empty folder)\n", argv[0], argv[i]);
      return 1;
    }
    std::sort(inputs.begin(), inputs.end());
    for (const fs::path& input : inputs) {
      std::ifstream stream(input, std::ios::binary);
      if (!stream.is_open()) {
        std::fprintf(stderr, "%s: %s: cannot open\n", argv[0], input.c_str());
        return 1;
      }
      const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(stream)), {});
      std::fprintf(stderr, "replay %s (%zu bytes)\n", input.c_str(), bytes.size());
      LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::printf("%s: %zu inputs from %s ran\n", argv[0], inputs.size(), argv[i]);
  }
  return 0;
}
