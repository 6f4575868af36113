// End-to-end tests of vrtool's lib, pic and content commands: round trips
// through libraries and pictures, and one table of command lines with the
// exit code and message each must give. The build's own default content is
// what `content build` writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "run_program.h"
#include "storage/png_file.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;

const std::string kPictures = std::string(VEYRITH_SOURCE_DIR) + "/tests/data/storage/pictures/";

struct ToolRun {
  int exit_code;
  std::string out;  // standard output and standard error together
};

ToolRun Vrtool(std::vector<std::string> args) {
  args.insert(args.begin(), ProgramFolder() + "/vrtool");
  const ProgramResult result = RunProgram(Command(std::move(args)));
  return {result.exit_code, result.out + result.err};
}

PngPicture ReadPicture(const std::string& path) {
  PngPicture picture;
  std::string error;
  EXPECT_TRUE(ReadPng(path, &picture, &error)) << error;
  return picture;
}

// Each test works in its own fresh temporary folder.
class VrtoolTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return dir_ / name; }
  void Write(const std::string& name, const std::string& bytes) const {
    fs::create_directories(fs::path(Path(name)).parent_path());
    std::ofstream(Path(name), std::ios::binary) << bytes;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(Path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  TempFolder dir_;
};

TEST_F(VrtoolTest, LibraryPackListExtractVerifyRoundTrip) {
  std::string binary(3000, '\0');
  for (size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>(i * 31);
  Write("in/textures/plasm.pcx", binary);
  Write("in/3ds/Intro.3DS", "scene bytes");
  Write("in/textures/bump/256.pcx", "");
  Write("in/" + std::string(51, 'n'), "the longest name that fits");
  ASSERT_EQ(Vrtool({"lib", "pack", Path("demo.dat"), Path("in")}).exit_code, 0);
  const ToolRun list = Vrtool({"lib", "list", Path("demo.dat")});
  ASSERT_EQ(list.exit_code, 0) << list.out;
  // Members sorted by name, laid out back to back after the directory.
  std::istringstream lines(list.out);
  std::vector<std::string> names;
  std::string name;
  long offset, length, end_of_previous = 12 + 64 * 4;
  while (lines >> name >> offset >> length) {
    names.push_back(name);
    EXPECT_EQ(offset, end_of_previous) << name;
    end_of_previous = offset + length;
  }
  EXPECT_EQ(names, (std::vector<std::string>{"3ds\\Intro.3DS", std::string(51, 'n'),
                                             "textures\\bump\\256.pcx", "textures\\plasm.pcx"}));
  EXPECT_EQ(static_cast<long>(fs::file_size(Path("demo.dat"))), end_of_previous);
  for (const auto& [member, source] : {std::pair{"TEXTURES\\PLASM.PCX", "in/textures/plasm.pcx"},
                                       {"3ds\\intro.3ds", "in/3ds/Intro.3DS"},
                                       {"textures\\bump\\256.pcx", "in/textures/bump/256.pcx"}}) {
    const ToolRun extract = Vrtool({"lib", "extract", Path("demo.dat"), member, Path("out.bin")});
    ASSERT_EQ(extract.exit_code, 0) << extract.out;
    EXPECT_EQ(Read("out.bin"), Read(source)) << member;
  }
  const ToolRun verify = Vrtool({"lib", "verify", Path("demo.dat")});
  EXPECT_EQ(verify.exit_code, 0) << verify.out;
}

TEST_F(VrtoolTest, PicturesConvertBothWaysAndFromLibraryMembers) {
  // PCX -> paletted PNG -> PCX keeps every index and the palette.
  ASSERT_EQ(Vrtool({"pic", "topng", kPictures + "pcx8_runs.pcx", Path("runs.png")}).exit_code, 0);
  const PngPicture runs = ReadPicture(Path("runs.png"));
  EXPECT_TRUE(runs.paletted);
  ASSERT_EQ(Vrtool({"pic", "frompng", Path("runs.png"), Path("back.pcx")}).exit_code, 0);
  ASSERT_EQ(Vrtool({"pic", "topng", Path("back.pcx"), Path("back.png")}).exit_code, 0);
  const PngPicture back = ReadPicture(Path("back.png"));
  EXPECT_EQ(back.pixels, runs.pixels);
  EXPECT_EQ(back.palette_rgb888, runs.palette_rgb888);

  // A BMP texture read from a library comes out upright in 565 colours.
  fs::create_directories(Path("content/textures"));
  fs::copy_file(kPictures + "bmp24_128x64.bmp", Path("content/textures/grad.bmp"));
  ASSERT_EQ(Vrtool({"lib", "pack", Path("demo.dat"), Path("content")}).exit_code, 0);
  const ToolRun topng =
      Vrtool({"pic", "topng", Path("demo.dat") + ":TEXTURES\\GRAD.BMP", Path("grad.png")});
  ASSERT_EQ(topng.exit_code, 0) << topng.out;
  const PngPicture grad = ReadPicture(Path("grad.png"));
  const PngPicture reference = ReadPicture(kPictures + "bmp24_128x64.bmp.ref.png");
  ASSERT_EQ(grad.pixels.size(), reference.pixels.size());
  for (size_t i = 0; i < grad.pixels.size(); ++i) {
    const int bits = i % 3 == 1 ? 6 : 5;  // kept bits of the component
    ASSERT_EQ(grad.pixels[i] >> (8 - bits), reference.pixels[i] >> (8 - bits)) << i;
  }
  // The true-colour PNG of a power-of-two picture becomes a BMP again.
  ASSERT_EQ(Vrtool({"pic", "frompng", Path("grad.png"), Path("grad.bmp")}).exit_code, 0);
  ASSERT_EQ(Vrtool({"pic", "topng", Path("grad.bmp"), Path("grad2.png")}).exit_code, 0);
  EXPECT_EQ(ReadPicture(Path("grad2.png")).pixels, grad.pixels);
}

// Every failure names the file and the problem, exits 1 (2 for usage), and
// leaves no output or temporary file behind; --help exits 0.
TEST_F(VrtoolTest, CommandLinesGiveTheirExitCodesAndMessages) {
  Write("notlib.dat", "KVXLIB2\x1A and more bytes");
  Write("long/" + std::string(52, 'n'), "too long a name");
  Write("ok/a", "a");
  Write("blocked", "a file in the way");
  fs::create_directories(Path("empty"));
  ASSERT_EQ(Vrtool({"lib", "pack", Path("good.dat"), Path("ok")}).exit_code, 0);
  const std::string good = Read("good.dat");
  std::string cut = good;
  cut[12 + 56] = 50;  // the member's length runs past the file's end
  Write("cut.dat", cut);
  std::string error;
  ASSERT_TRUE(WritePngRgb888(Path("odd.png"), std::vector<uint8_t>(9, 50).data(), 3, 1, &error));

  const struct {
    std::vector<std::string> args;
    int exit_code;
    std::string message;
  } cases[] = {
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
      {{"pic", "info", kPictures + "pcx8_v3.pcx"}, 0, "as a texture: version 3"},
      {{"pic", "info", kPictures + "pcx8_v3.pcx"}, 0, "as an indexed picture: usable"},
      {{"pic", "info", kPictures + "bmp24_3x1.bmp"}, 0, "powers of two"},
      {{"pic", "info", kPictures + "../make_fixtures.sh"}, 1, "neither a PCX"},
      {{"pic", "topng", kPictures + "bmp24_3x1.bmp", Path("x")}, 1, "bmp24_3x1.bmp"},
      {{"pic", "topng", kPictures + "pcx24_planes.pcx", Path("x")}, 1, "3 planes"},
      {{"pic", "frompng", Path("odd.png"), Path("x")}, 1, "powers of two"},
      {{"pic", "topng", kPictures + "pcx8_runs.pcx"}, 2, "usage"},
      {{"content", "build", Path("blocked/content")}, 1, Path("blocked/content")},
      {{"content"}, 2, "usage"},
      {{"content", "make", "x"}, 2, ""},
      {{"content", "build"}, 2, ""},
      {{"lib", "pack", "--help"}, 0, "usage: vrtool lib"},
  };
  for (const auto& c : cases) {
    const ToolRun run = Vrtool(c.args);
    EXPECT_EQ(run.exit_code, c.exit_code) << c.args[0] << " " << c.args[1] << ": " << run.out;
    EXPECT_NE(run.out.find(c.message), std::string::npos) << run.out;
  }
  EXPECT_FALSE(fs::exists(Path("x")));
  EXPECT_EQ(Read("good.dat"), good) << "a failed pack keeps the old library";
  for (const auto& entry : fs::recursive_directory_iterator(dir_.path())) {
    EXPECT_NE(entry.path().extension(), ".part") << "temporary left behind: " << entry.path();
  }
}

}  // namespace
