// End-to-end tests of "vrtool content build": both files appear, usage
// errors and unwritable places are reported with the right exit codes.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tools/vrtool_runner.h"

namespace {

using tool_test::Vrtool;

std::filesystem::path ScratchDirectory(const char* what) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() /
      ("veyrith_content_tool_" + std::string(what) + "_" + std::to_string(getpid()));
  std::filesystem::remove_all(dir);
  return dir;
}

std::string Head(const std::filesystem::path& file, size_t offset, size_t count) {
  std::ifstream in(file, std::ios::binary);
  std::string bytes(offset + count, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return bytes.substr(offset, count);
}

TEST(ContentTool, BuildWritesTheLibraryAndTheMusicIntoANewFolder) {
  const std::filesystem::path dir = ScratchDirectory("build") / "nested";
  const tool_test::ToolRun run = Vrtool({"content", "build", dir.string()});
  ASSERT_EQ(run.exit_code, 0) << run.out;
  EXPECT_EQ(Head(dir / "demo.dat", 0, 8), std::string("KVXLIB1\x1A", 8));
  EXPECT_EQ(Head(dir / "music.s3m", 44, 4), "SCRM");
  EXPECT_FALSE(std::filesystem::exists(dir / "demo.dat.tmp"));
  EXPECT_FALSE(std::filesystem::exists(dir / "music.s3m.tmp"));
  std::filesystem::remove_all(dir.parent_path());
}

TEST(ContentTool, UsageErrorsAndHelp) {
  EXPECT_EQ(Vrtool({"content", "--help"}).exit_code, 0);
  const tool_test::ToolRun bare = Vrtool({"content"});
  EXPECT_EQ(bare.exit_code, 2);
  EXPECT_NE(bare.out.find("usage"), std::string::npos);
  EXPECT_EQ(Vrtool({"content", "make", "x"}).exit_code, 2);
  EXPECT_EQ(Vrtool({"content", "build"}).exit_code, 2);
}

TEST(ContentTool, AFolderThatCannotBeMadeIsReportedByName) {
  const std::filesystem::path dir = ScratchDirectory("blocked");
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "file") << "in the way";
  const std::string target = (dir / "file" / "content").string();
  const tool_test::ToolRun run = Vrtool({"content", "build", target});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.out.find(target), std::string::npos) << run.out;
  std::filesystem::remove_all(dir);
}

}  // namespace
