// Decodes pictures made by ImageMagick (tests/data/storage/make_fixtures.sh)
// and checks the pixels against what ImageMagick's own decoder read from them
// (NAME.ref.png), after the 565 reduction; checks that the pictures the
// decoders must refuse are refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "storage/content_fixture.h"
#include "storage/picture_decoders.h"
#include "storage/png_file.h"

using storage_test::ContentLibraryScope;
using storage_test::ReadBytes;

namespace {

const std::string kPictures = std::string(VEYRITH_SOURCE_DIR) + "/tests/data/storage/pictures/";

PngPicture Reference(const std::string& name) {
  PngPicture picture;
  std::string error;
  EXPECT_TRUE(ReadPng(kPictures + name + ".ref.png", &picture, &error)) << error;
  EXPECT_FALSE(picture.paletted) << name;
  return picture;
}

uint16_t Reduced565(const uint8_t* rgb) {
  return static_cast<uint16_t>((rgb[0] >> 3) << 11 | (rgb[1] >> 2) << 5 | rgb[2] >> 3);
}

// Every fixture as a member of the content library, under its file name.
ContentLibraryScope AllFixtures(const std::vector<std::string>& names) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> members;
  for (const std::string& name : names) members.push_back({name, ReadBytes(kPictures + name)});
  return ContentLibraryScope(members);
}

int32_t LoadTexture(const std::string& name, Texture* texture) {
  return name.ends_with(".bmp") ? LoadBmpTexture(name.c_str(), texture, 0)
                                : LoadPcxTexture(name.c_str(), texture, 0);
}

TEST(FixtureDecodingTest, TexturesMatchTheIndependentDecoder) {
  const std::vector<std::string> all = {"pcx8_runs.pcx",    "pcx8_padded.pcx", "pcx8_crossing.pcx",
                                        "bmp24_1x1.bmp",    "bmp24_2x2.bmp",   "bmp24_128x64.bmp",
                                        "bmp24_256x256.bmp"};
  ContentLibraryScope content = AllFixtures(all);
  for (const std::string& name : all) {
    SCOPED_TRACE(name);
    const PngPicture reference = Reference(name);
    Texture texture;
    ASSERT_EQ(LoadTexture(name, &texture), 1);
    ASSERT_EQ(texture.image.width, reference.width);
    ASSERT_EQ(texture.image.height, reference.height);
    const int w = reference.width, h = reference.height;
    for (int y = 0; y < h; ++y) {
      // BMP textures keep the file's bottom-up rows.
      const int picture_row = name.ends_with(".bmp") ? h - 1 - y : y;
      for (int x = 0; x < w; ++x) {
        const uint8_t* rgb = &reference.pixels[(static_cast<size_t>(picture_row) * w + x) * 3];
        ASSERT_EQ(texture.image.pixels[y * w + x], Reduced565(rgb)) << x << "," << y;
      }
    }
    ReleaseImage(&texture.image);
  }
}

TEST(FixtureDecodingTest, IndexedPicturesMatchThroughTheirPalette) {
  ContentLibraryScope content =
      AllFixtures({"pcx8_runs.pcx", "pcx8_padded.pcx", "pcx8_crossing.pcx", "pcx8_v3.pcx"});
  std::vector<uint8_t> runs_indices;
  for (const std::string name : {"pcx8_runs.pcx", "pcx8_padded.pcx", "pcx8_crossing.pcx"}) {
    const PngPicture reference = Reference(name);
    std::vector<uint8_t> dest(static_cast<size_t>(reference.width) * reference.height);
    ASSERT_EQ(LoadPcxIndexed(name.c_str(), dest.data(), 0, 0, reference.width, reference.height), 1)
        << name;
    for (size_t i = 0; i < dest.size(); ++i) {
      for (int c = 0; c < 3; ++c) {
        ASSERT_EQ(PicturePalette[3 * dest[i] + c], reference.pixels[3 * i + c] >> 2)
            << name << " pixel " << i;
      }
    }
    if (name == "pcx8_runs.pcx") runs_indices = dest;
  }
  // Version 3: the same pixels, and the palette of the last picture stays.
  std::vector<uint8_t> saved(PicturePalette, PicturePalette + 768);
  std::vector<uint8_t> dest(runs_indices.size());
  ASSERT_EQ(LoadPcxIndexed("pcx8_v3.pcx", dest.data(), 0, 0, 64, 32), 1);
  EXPECT_EQ(dest, runs_indices);
  EXPECT_EQ(std::vector<uint8_t>(PicturePalette, PicturePalette + 768), saved);
}

// Pictures of other depths and layouts, version 3 (no palette: no texture),
// BMP sides not a power of two and top-down BMP rows.
TEST(FixtureDecodingTest, UnusablePicturesAreRefused) {
  const std::vector<std::string> names = {"pcx24_planes.pcx", "pcx1_bit.pcx", "pcx8_v3.pcx",
                                          "bmp24_3x1.bmp",    "bmp8.bmp",     "bmp24_topdown.bmp"};
  ContentLibraryScope content = AllFixtures(names);
  uint8_t dest[16 * 8];
  for (const std::string& name : names) {
    Texture texture;
    EXPECT_EQ(LoadTexture(name, &texture), 0) << name;
    EXPECT_EQ(texture.image.pixels, nullptr) << name;
    if (name == "pcx24_planes.pcx" || name == "pcx1_bit.pcx") {
      EXPECT_EQ(LoadPcxIndexed(name.c_str(), dest, 0, 0, 16, 8), 0) << name;
    }
  }
}

}  // namespace
