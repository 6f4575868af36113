// LoadScene over a member of the content library, and vrtool scene over
// plain files and library members.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "scene_test_support.h"
#include "storage/content_library.h"
#include "storage/file_library.h"
#include "storage/library_writer.h"
#include "storage/stream.h"
#include "temp_folder.h"

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
  void TearDown() override { ContentLibrary = nullptr; }

  TempFolder folder_;
  std::string library_path_;
};

TEST_F(SceneFiles, LoadSceneReadsLibraryMembers) {
  SceneLoadError error;
  EXPECT_EQ(LoadScene("3ds\\SMALL.3DS", &error), nullptr);  // no library open yet
  EXPECT_NE(std::string(error.message).find("no content library"), std::string::npos);
  TFile file;
  file.SetName(library_path_.c_str());
  ASSERT_TRUE(file.Open(smRead));
  TFileLib library(&file);
  ASSERT_FALSE(library.Failed());
  ContentLibrary = &library;
  ScenePtr scene(LoadScene("3ds\\small.3ds"));  // member names ignore the case of A-Z
  ASSERT_NE(scene, nullptr);
  EXPECT_EQ(scene->frame_count, 50);
  EXPECT_EQ(scene->roots[0]->position.keys[1].value.x, 5.0f);
  EXPECT_EQ(LoadScene("3ds\\MISSING.3DS", &error), nullptr);
  EXPECT_NE(std::string(error.message).find("MISSING"), std::string::npos) << error.message;
  EXPECT_EQ(LoadScene("3ds\\BAD.3DS", &error), nullptr);
  EXPECT_NE(std::string(error.message).find("BAD.3DS"), std::string::npos) << error.message;
  EXPECT_EQ(LoadScene(nullptr), nullptr);
  ContentLibrary = nullptr;
}

// Runs a command line; returns the exit status and the captured stdout.
int RunCommand(const std::string& command, std::string* output) {
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return -1;
  std::array<char, 4096> buffer;
  output->clear();
  size_t read = 0;
  while ((read = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
    output->append(buffer.data(), read);
  }
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(SceneFiles, VrtoolDumpsTracesAndReportsFailures) {
  const char* bin = std::getenv("VEYRITH_BIN");
  const fs::path vrtool = fs::path(bin != nullptr ? bin : VEYRITH_BINARY_DIR "/bin") / "vrtool";
  if (!fs::exists(vrtool)) GTEST_SKIP() << vrtool << " is not built";
  const std::string tool = vrtool.string() + " scene ";
  const std::string member = library_path_ + ":3ds\\SMALL.3DS";
  std::string output;
  ASSERT_EQ(RunCommand(tool + "dump --json '" + member + "'", &output), 0) << output;
  EXPECT_NE(output.find("\"frames\": 50"), std::string::npos) << output;
  ASSERT_EQ(RunCommand(tool + "trace '" + member + "'", &output), 0);
  EXPECT_NE(output.find("      Keys: 2\n"), std::string::npos) << output;
  ASSERT_EQ(RunCommand(tool + "eval '" + member + "' 25", &output), 0);
  EXPECT_NE(output.find("position (2.5, 0, 0)"), std::string::npos) << output;

  const std::string bad = library_path_ + ":3ds\\BAD.3DS";
  EXPECT_EQ(RunCommand(tool + "dump '" + bad + "'", &output), 1);
  EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
  EXPECT_NE(output.find("BAD.3DS"), std::string::npos) << output;
  EXPECT_EQ(RunCommand(tool + "eval '" + member + "' soon", &output), 2);
  EXPECT_EQ(RunCommand(tool + "frobnicate", &output), 2);
  for (const char* action : {"", "dump ", "trace ", "eval "}) {
    EXPECT_EQ(RunCommand(tool + action + "--help", &output), 0) << action;
    EXPECT_NE(output.find("usage: vrtool scene"), std::string::npos);
  }
}

}  // namespace
