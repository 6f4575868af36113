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

TdsScene SmallScene() {
  TdsScene scene;
  scene.frame_count = 50;
  TdsMesh& mesh = scene.meshes.emplace_back();
  mesh.name = "TRI";
  mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  mesh.faces = {{0, 1, 2}};
  scene.AddNode(kNodeObject, "TRI");
  scene.nodes[0].position.Add(0, {0, 0, 0}).Add(50, {5, 0, 0});
  return scene;
}

class SceneFiles : public testing::Test {
 protected:
  void SetUp() override {
    library_path_ = folder_ / "demo.dat";
    std::vector<uint8_t> bad = {'M', 'M', 200, 0, 0, 0, 1};  // longer than the file
    std::string error;
    ASSERT_TRUE(WriteLibrary(library_path_,
                             {{"3ds\\SMALL.3DS", WriteOrDie(SmallScene())}, {"3ds\\BAD.3DS", bad}},
                             &error))
        << error;
  }

  TempFolder folder_;
  std::string library_path_;
};

TEST_F(SceneFiles, VrtoolDumpsTracesAndReportsFailures) {
  const std::string vrtool = ProgramFolder() + "/vrtool";
  if (!fs::exists(vrtool)) GTEST_SKIP() << vrtool << " is not built";
  const auto run = [&](std::vector<std::string> words) {
    words.insert(words.begin(), {vrtool, "scene"});
    const ProgramResult result = RunProgram(Command(words));
    return std::pair{result.exit_code, result.out + result.err};
  };
  const std::string member = library_path_ + ":3ds\\SMALL.3DS";
  const std::string bad = library_path_ + ":3ds\\BAD.3DS";
  const struct {
    std::vector<std::string> words;
    int exit_code;
    std::string output;
  } cases[] = {
      {{"dump", "--json", member}, 0, "\"frames\": 50"},
      {{"trace", member}, 0, "      Keys: 2\n"},
      {{"eval", member, "25"}, 0, "position (2.5, 0, 0)"},
      {{"dump", bad}, 1, "BAD.3DS"},
      {{"eval", member, "soon"}, 2, ""},
      {{"frobnicate"}, 2, ""},
      {{"--help"}, 0, "usage: vrtool scene"},
  };
  for (const auto& c : cases) {
    const auto [exit_code, output] = run(c.words);
    EXPECT_EQ(exit_code, c.exit_code) << c.words[0] << ": " << output;
    EXPECT_NE(output.find(c.output), std::string::npos) << output;
  }
  const std::string failure = run({"dump", bad}).second;
  EXPECT_EQ(std::count(failure.begin(), failure.end(), '\n'), 1) << failure;
}

}  // namespace
