// vrtool mod as users run it: info (plain and --json), trace and render of a
// module built for the test, and the errors for a file that is no module.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "music/s3m_builder.h"
#include "tiny_s3m.h"

namespace {

std::string VrtoolPath() {
  const char* bin = std::getenv("VEYRITH_BIN");
  return std::string(bin != nullptr ? bin : VEYRITH_BINARY_DIR "/bin") + "/vrtool";
}

// Runs a command line; returns its exit code and its standard output.
int RunCommand(const std::string& command, std::string* output) {
  std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return -1;
  char buffer[4096];
  size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output->append(buffer, count);
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
  const std::string path = TempPath(name);
  WriteBytes(path, bytes);
  return path;
}

class ModToolTest : public testing::Test {
 protected:
  void SetUp() override {
    struct stat info {};
    if (stat(VrtoolPath().c_str(), &info) != 0) GTEST_SKIP() << "vrtool is not built";
    S3mBuilder builder;
    builder.name = "Tool \"test\"";
    builder.samples.push_back(ConstantSample(64));
    builder.orders = {0, 1};
    builder.pattern_count = 2;
    builder.speed = 3;
    builder.Entry(0, {.row = 0, .channel = 0, .note = 0x40, .instrument = 1});
    builder.Entry(1, {.row = 15, .channel = 1, .command = 'C', .info = 0});
    // One file per test: ctest runs the tests of this fixture side by side.
    const std::string test = testing::UnitTest::GetInstance()->current_test_info()->name();
    module_path_ = WriteFile("tool_test_" + test + ".s3m", builder.Build());
  }
  std::string module_path_;
};

TEST_F(ModToolTest, InfoAndTrace) {
  std::string json;
  ASSERT_EQ(RunCommand(VrtoolPath() + " mod info --json " + module_path_, &json), 0) << json;
  // 80 rows of 3 ticks at 20 ms, after a lead-in of 2 ticks.
  EXPECT_EQ(json,
            "{\"name\": \"Tool \\\"test\\\"\", \"format\": \"s3m\", \"tag\": \"S3M\", "
            "\"channels\": 2, \"orders\": 2, \"patterns\": 2, \"instruments\": 1, \"samples\": 1, "
            "\"used_instruments\": 1, \"sampled_samples\": 1, \"speed\": 3, \"tempo\": 125, "
            "\"seconds\": 4.840}\n");
  std::string text;
  ASSERT_EQ(RunCommand(VrtoolPath() + " mod info " + module_path_, &text), 0);
  EXPECT_NE(text.find("seconds:     4.840"), std::string::npos) << text;

  std::string trace;
  ASSERT_EQ(RunCommand(VrtoolPath() + " mod trace " + module_path_, &trace), 0);
  EXPECT_EQ(trace.substr(0, 12), "0 0 0\n0 0 1\n");
  EXPECT_NE(trace.find("0 0 63\n1 1 0\n"), std::string::npos);
  EXPECT_EQ(trace.substr(trace.size() - 14), "1 1 14\n1 1 15\n");
  EXPECT_EQ(std::count(trace.begin(), trace.end(), '\n'), 80);
}

TEST_F(ModToolTest, RenderWritesTheWholeSong) {
  const std::string wav = TempPath("tool_test.wav");
  std::string output;
  ASSERT_EQ(RunCommand(VrtoolPath() + " mod render --rate 8000 --mono --interpolate " +
                           module_path_ + " " + wav,
                       &output),
            0)
      << output;
  struct stat info {};
  ASSERT_EQ(stat(wav.c_str(), &info), 0);
  // 4.84 s at 8000 Hz in whole ticks of 160 frames (8000 x 100 / 5000 + 1, even).
  EXPECT_EQ(info.st_size, 44 + 2 * 242 * 160);
  EXPECT_NE(stat((wav + ".part").c_str(), &info), 0);
  std::remove(wav.c_str());
}

TEST_F(ModToolTest, BadInputsAndUsage) {
  const std::string not_a_module = WriteFile("not_a_module.s3m", std::vector<uint8_t>(200, 7));
  std::string output;
  EXPECT_EQ(RunCommand(VrtoolPath() + " mod info " + not_a_module, &output), 1);
  EXPECT_NE(output.find(not_a_module + ": cannot read the module: not a module"), std::string::npos)
      << output;
  output.clear();
  EXPECT_EQ(RunCommand(VrtoolPath() + " mod render " + module_path_, &output), 2);
  output.clear();
  EXPECT_EQ(RunCommand(VrtoolPath() + " mod render --rate 10 a b", &output), 2);
}

}  // namespace
