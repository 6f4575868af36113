// Runs build/bin/vrtool for the tool tests and collects its exit code and
// output (standard output and standard error together).
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace tool_test {

struct ToolRun {
  int exit_code;
  std::string out;  // standard output and standard error together
};

inline std::string VrtoolPath() {
  const char* bin = std::getenv("VEYRITH_BIN");
  return (bin ? std::string(bin) : std::string(VEYRITH_BINARY_DIR) + "/bin") + "/vrtool";
}

inline std::string Quoted(const std::string& arg) {
  std::string quoted = "'";
  for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

inline ToolRun Vrtool(const std::vector<std::string>& args) {
  std::string command = Quoted(VrtoolPath());
  for (const std::string& arg : args) command += " " + Quoted(arg);
  command += " 2>&1";
  ToolRun run{-1, {}};
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char chunk[4096];
  size_t got;
  while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0) run.out.append(chunk, got);
  const int status = pclose(pipe);
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

// A test with its own empty temporary folder, removed afterwards.
class FolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "veyrith-tooltest-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code code;
    std::filesystem::remove_all(dir_, code);
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::filesystem::path dir_;
};

}  // namespace tool_test
