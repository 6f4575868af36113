// vrtool scene over library members: its dump, trace and evaluation, and its
// failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "scene_test_support.h"
#include "storage/library_writer.h"
#include "temp_folder.h"
#include "tools/run_program.h"

namespace {

namespace fs = std::filesystem;

TEST(SceneFiles, VrtoolDumpsTracesAndReportsFailures) {
  const std::string vrtool = ProgramFolder() + "/vrtool";
  if (!fs::exists(vrtool)) GTEST_SKIP() << vrtool << " is not built";
  const TempFolder folder;
  const std::string library = folder / "demo.dat";
  const std::vector<uint8_t> broken = {'M', 'M', 200, 0, 0, 0, 1};  // longer than the file
  std::string error;
  ASSERT_TRUE(WriteLibrary(
      library,
      {{"3ds\\SMALL.3DS", WriteOrDie(MovingTriangle("TRI", 50, 5))}, {"3ds\\BAD.3DS", broken}},
      &error))
      << error;
  const auto run = [&](std::vector<std::string> words) {
    words.insert(words.begin(), {vrtool, "scene"});
    const ProgramResult result = RunProgram(Command(words));
    return std::pair{result.exit_code, result.out + result.err};
  };
  const std::string member = library + ":3ds\\SMALL.3DS";
  const std::string bad = library + ":3ds\\BAD.3DS";
  const struct {
    std::vector<std::string> words;
    int exit_code;
    std::string output;
  } cases[] = {
      {{"dump", "--json", member}, 0, "\"frames\": 50"},
      {{"trace", member}, 0, "      Keys: 2\n"},
      {{"eval", member, "25"}, 0, "position (2.5, 0, 0)"},
      {{"dump", bad}, 1, "BAD.3DS"},  // on one line
      {{"eval", member, "soon"}, 2, ""},
      {{"frobnicate"}, 2, ""},
      {{"--help"}, 0, "usage: vrtool scene"},
  };
  for (const auto& c : cases) {
    const auto [exit_code, output] = run(c.words);
    EXPECT_EQ(exit_code, c.exit_code) << c.words[0] << ": " << output;
    EXPECT_NE(output.find(c.output), std::string::npos) << output;
    if (c.exit_code == 1) {
      EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
    }
  }
}

}  // namespace
