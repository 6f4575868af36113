// End-to-end tests of "vrtool lib": pack, list, extract and verify a library
// made from a folder, and the errors for bad inputs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/vrtool_runner.h"

namespace {

namespace fs = std::filesystem;
using tool_test::ToolRun;
using tool_test::Vrtool;

class LibToolTest : public tool_test::FolderTest {
 protected:
  void Write(const std::string& name, const std::string& bytes) {
    fs::create_directories(fs::path(Path(name)).parent_path());
    std::ofstream(Path(name), std::ios::binary) << bytes;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(Path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
};

TEST_F(LibToolTest, PackListExtractVerifyRoundTrip) {
  std::string binary(3000, '\0');
  for (size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>(i * 31);
  Write("in/textures/plasm.pcx", binary);
  Write("in/3ds/Intro.3DS", "scene bytes");
  Write("in/textures/bump/256.pcx", "");
  Write("in/a.txt", "x");

  const ToolRun pack = Vrtool({"lib", "pack", Path("demo.dat"), Path("in")});
  ASSERT_EQ(pack.exit_code, 0) << pack.out;
  const ToolRun list = Vrtool({"lib", "list", Path("demo.dat")});
  ASSERT_EQ(list.exit_code, 0) << list.out;
  std::istringstream lines(list.out);
  std::vector<std::string> names;
  std::string name;
  long offset, length, end_of_previous = 12 + 64 * 4;
  while (lines >> name >> offset >> length) {
    names.push_back(name);
    EXPECT_EQ(offset, end_of_previous) << name;
    end_of_previous = offset + length;
  }
  const std::vector<std::string> expected = {"3ds\\Intro.3DS", "a.txt", "textures\\bump\\256.pcx",
                                             "textures\\plasm.pcx"};
  EXPECT_EQ(names, expected);
  EXPECT_EQ(static_cast<long>(fs::file_size(Path("demo.dat"))), end_of_previous);

  const std::vector<std::pair<std::string, std::string>> members = {
      {"TEXTURES\\PLASM.PCX", "in/textures/plasm.pcx"},
      {"3ds\\intro.3ds", "in/3ds/Intro.3DS"},
      {"textures\\bump\\256.pcx", "in/textures/bump/256.pcx"}};
  for (const auto& [member, source] : members) {
    const ToolRun extract = Vrtool({"lib", "extract", Path("demo.dat"), member, Path("out.bin")});
    ASSERT_EQ(extract.exit_code, 0) << extract.out;
    EXPECT_EQ(Read("out.bin"), Read(source)) << member;
  }
  const ToolRun verify = Vrtool({"lib", "verify", Path("demo.dat")});
  EXPECT_EQ(verify.exit_code, 0) << verify.out;
}

TEST_F(LibToolTest, BadInputsGiveClearErrorsAndLeaveNothingHalfWritten) {
  Write("notlib.dat", "KVXLIB2\x1A and more bytes");
  Write("long/" + std::string(52, 'n'), "too long a name");
  Write("ok/a", "a");
  fs::create_directories(Path("empty"));
  ASSERT_EQ(Vrtool({"lib", "pack", Path("good.dat"), Path("ok")}).exit_code, 0);
  const std::string good = Read("good.dat");
  // A member whose range runs past the end of the file.
  std::string cut = good;
  cut[12 + 56] = 50;
  Write("cut.dat", cut);

  struct Case {
    std::vector<std::string> args;
    int exit_code;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"lib", "list", Path("notlib.dat")}, 1, "notlib.dat: not a file library"},
      {{"lib", "list", Path("missing.dat")}, 1, "missing.dat: cannot open"},
      {{"lib", "extract", Path("good.dat"), "b", Path("x")}, 1, "no member named 'b'"},
      {{"lib", "extract", Path("cut.dat"), "a", Path("x")}, 1, "runs past the end"},
      {{"lib", "verify", Path("cut.dat")}, 1, "outside the file"},
      {{"lib", "pack", Path("good.dat"), Path("long")}, 1, "at most 51"},
      {{"lib", "pack", Path("good.dat"), Path("empty")}, 1, "no files"},
      {{"lib", "pack", Path("good.dat"), Path("nowhere")}, 1, "not a readable directory"},
      {{"lib", "list"}, 2, "usage"},
      {{"lib", "frobnicate"}, 2, "unknown action"},
  };
  for (const Case& c : cases) {
    const ToolRun run = Vrtool(c.args);
    EXPECT_EQ(run.exit_code, c.exit_code) << c.args[1] << " " << run.out;
    EXPECT_NE(run.out.find(c.message), std::string::npos) << run.out;
  }
  EXPECT_FALSE(fs::exists(Path("x")));
  EXPECT_EQ(Read("good.dat"), good) << "a failed pack keeps the old library";
  for (const auto& entry : fs::recursive_directory_iterator(dir_)) {
    EXPECT_NE(entry.path().extension(), ".part") << "temporary left behind: " << entry.path();
  }
  for (const char* action : {"pack", "list", "extract", "verify"}) {
    const ToolRun help = Vrtool({"lib", action, "--help"});
    EXPECT_EQ(help.exit_code, 0) << action;
    EXPECT_NE(help.out.find("usage: vrtool lib"), std::string::npos) << action;
  }
}

}  // namespace
