// Tests of the BMP texture decoder beyond the ImageMagick fixtures (which
// cover the unflipped rows): reduced levels, rejected sizes and damaged
// members.
#include <gtest/gtest.h>

#include <vector>

#include "storage/bmp_writer.h"
#include "storage/content_fixture.h"
#include "storage/picture_decoders.h"

using storage_test::ContentLibraryScope;
using storage_test::PutLe32;

namespace {

std::vector<uint8_t> Gradient(int width, int height) {
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 13 + i / 7);
  return rgb;
}

// A 4x4 picture with a red top row and a blue first column: its reduced
// levels (2x2, then 1x1) are the truncated means of the level above, kept
// bottom-up like the picture.
TEST(BmpTextureTest, MipLevelsAreMeans) {
  std::vector<uint8_t> rgb(4 * 4 * 3, 0);
  for (int x = 0; x < 4; ++x) rgb[3 * x] = 255;
  for (int y = 1; y < 4; ++y) rgb[3 * 4 * y + 2] = 255;
  ContentLibraryScope content({{"red.bmp", EncodeBmp24(rgb.data(), 4, 4)}});
  Texture texture;
  ASSERT_EQ(LoadBmpTexture("red.bmp", &texture, 1), 1);
  ASSERT_EQ(texture.image.mipmapped, 1);
  const uint16_t* p = texture.image.pixels;
  // Level 1: red 31 / 2 in its top row, blue 62 / 4 and 31 / 4 on the left.
  EXPECT_EQ(p[16 + 0], 15);
  EXPECT_EQ(p[16 + 1], 0);
  EXPECT_EQ(p[16 + 2], (15 << 11) | 7);
  EXPECT_EQ(p[16 + 3], 15 << 11);
  EXPECT_EQ(p[20], (7 << 11) | 5) << "1x1: (15 + 15) / 4 red, (15 + 7) / 4 blue";
  ReleaseImage(&texture.image);
}

TEST(BmpTextureTest, RejectsSizesDepthsAndDamagedMembers) {
  const std::vector<uint8_t> good = EncodeBmp24(Gradient(4, 4).data(), 4, 4);
  auto with_field = [&good](int at, int32_t value) {
    std::vector<uint8_t> bytes = good;
    PutLe32(bytes, static_cast<size_t>(at), value);
    return bytes;
  };
  std::vector<uint8_t> sixteen_bit = good;
  sixteen_bit[28] = 16;
  const std::vector<std::pair<std::string, std::vector<uint8_t>>> members = {
      {"100x64", EncodeBmp24(Gradient(100, 64).data(), 100, 64)},
      {"64x100", EncodeBmp24(Gradient(64, 100).data(), 64, 100)},
      {"512x512", EncodeBmp24(Gradient(512, 512).data(), 512, 512)},
      {"zero width", with_field(18, 0)},
      {"16 bit", sixteen_bit},
      {"offset past end", with_field(10, 10000)},
      {"negative offset", with_field(10, -1)},
      {"array cut short", std::vector<uint8_t>(good.begin(), good.end() - 1)},
      {"header cut short", std::vector<uint8_t>(good.begin(), good.begin() + 29)},
  };
  ContentLibraryScope content(members);
  for (const auto& member : members) {
    Texture texture;
    EXPECT_EQ(LoadBmpTexture(member.first.c_str(), &texture, 0), 0) << member.first;
    EXPECT_EQ(texture.image.pixels, nullptr) << member.first;
    EXPECT_EQ(texture.image.width, 0) << member.first;
  }
}

}  // namespace
