// End-to-end tests of "vrtool pic": info, topng and frompng on the picture
// fixtures, inputs taken from a library, and the errors for pictures the
// demo cannot use.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "storage/png_file.h"
#include "tools/vrtool_runner.h"

namespace {

namespace fs = std::filesystem;
using tool_test::ToolRun;
using tool_test::Vrtool;

const std::string kPictures = std::string(VEYRITH_SOURCE_DIR) + "/tests/data/storage/pictures/";

// Each test writes its outputs into its own temporary folder.
using PicToolTest = tool_test::FolderTest;

PngPicture ReadPicture(const std::string& path) {
  PngPicture picture;
  std::string error;
  EXPECT_TRUE(ReadPng(path, &picture, &error)) << error;
  return picture;
}

TEST_F(PicToolTest, InfoTellsWhatTheDemoCanLoad) {
  const ToolRun pcx = Vrtool({"pic", "info", kPictures + "pcx8_v3.pcx"});
  EXPECT_EQ(pcx.exit_code, 0) << pcx.out;
  EXPECT_NE(pcx.out.find("64x32"), std::string::npos) << pcx.out;
  EXPECT_NE(pcx.out.find("as a texture: version 3"), std::string::npos) << pcx.out;
  EXPECT_NE(pcx.out.find("as an indexed picture: usable"), std::string::npos) << pcx.out;
  const ToolRun bmp = Vrtool({"pic", "info", kPictures + "bmp24_3x1.bmp"});
  EXPECT_NE(bmp.out.find("powers of two"), std::string::npos) << bmp.out;
  const ToolRun text = Vrtool({"pic", "info", kPictures + "../make_fixtures.sh"});
  EXPECT_EQ(text.exit_code, 1);
  EXPECT_NE(text.out.find("neither a PCX"), std::string::npos) << text.out;
}

TEST_F(PicToolTest, ConvertsBothWaysAndReadsLibraryMembers) {
  // PCX -> paletted PNG -> PCX keeps every index.
  ASSERT_EQ(Vrtool({"pic", "topng", kPictures + "pcx8_runs.pcx", Path("runs.png")}).exit_code, 0);
  const PngPicture runs = ReadPicture(Path("runs.png"));
  EXPECT_TRUE(runs.paletted);
  ASSERT_EQ(Vrtool({"pic", "frompng", Path("runs.png"), Path("back.pcx")}).exit_code, 0);
  ASSERT_EQ(Vrtool({"pic", "topng", Path("back.pcx"), Path("back.png")}).exit_code, 0);
  const PngPicture back = ReadPicture(Path("back.png"));
  EXPECT_EQ(back.pixels, runs.pixels);
  EXPECT_EQ(back.palette_rgb888, runs.palette_rgb888);

  // A BMP texture, read from a library, comes out upright in 565 colours.
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

TEST_F(PicToolTest, RefusesPicturesTheDemoCannotUse) {
  ASSERT_EQ(Vrtool({"pic", "topng", kPictures + "bmp24_3x1.bmp", Path("odd.png")}).exit_code, 1);
  std::string error;
  ASSERT_TRUE(WritePngRgb888(Path("odd.png"), std::vector<uint8_t>(9, 50).data(), 3, 1, &error));
  const ToolRun odd = Vrtool({"pic", "frompng", Path("odd.png"), Path("odd.bmp")});
  EXPECT_EQ(odd.exit_code, 1);
  EXPECT_NE(odd.out.find("powers of two"), std::string::npos) << odd.out;
  const ToolRun planes = Vrtool({"pic", "topng", kPictures + "pcx24_planes.pcx", Path("p.png")});
  EXPECT_EQ(planes.exit_code, 1);
  EXPECT_NE(planes.out.find("3 planes"), std::string::npos) << planes.out;
  EXPECT_FALSE(fs::exists(Path("odd.bmp")));
  EXPECT_FALSE(fs::exists(Path("p.png")));
  EXPECT_EQ(Vrtool({"pic", "topng", kPictures + "pcx8_runs.pcx"}).exit_code, 2);
  EXPECT_EQ(Vrtool({"pic", "info", "--help"}).exit_code, 0);
}

}  // namespace
