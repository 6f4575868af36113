// Tests of the BMP texture decoder: accepted and rejected sizes, row padding,
// unflipped rows, the exact 565 reduction and damaged members.
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

uint16_t Texel(const uint8_t* rgb) {
  return static_cast<uint16_t>((rgb[0] >> 3) << 11 | (rgb[1] >> 2) << 5 | rgb[2] >> 3);
}

TEST(BmpTextureTest, DecodesRowsInFileOrderWithExact565Reduction) {
  for (const auto& [width, height] : {std::pair{1, 1}, {2, 2}, {1, 4}, {128, 64}, {256, 256}}) {
    const std::vector<uint8_t> rgb = Gradient(width, height);
    ContentLibraryScope content({{"t.bmp", EncodeBmp24(rgb.data(), width, height)}});
    Texture texture;
    ASSERT_EQ(LoadBmpTexture("t.bmp", &texture, 0), 1) << width << "x" << height;
    ASSERT_EQ(texture.image.width, width);
    ASSERT_EQ(texture.image.height, height);
    for (int y = 0; y < height; ++y) {
      // Image row y is picture row height - 1 - y: the file's bottom-up order.
      const uint8_t* picture_row = rgb.data() + static_cast<size_t>(height - 1 - y) * width * 3;
      for (int x = 0; x < width; ++x) {
        ASSERT_EQ(texture.image.pixels[y * width + x], Texel(picture_row + 3 * x))
            << width << "x" << height << " at " << x << "," << y;
      }
    }
    ReleaseImage(&texture.image);
  }
}

TEST(BmpTextureTest, RedTopRowBecomesTheLastImageRow) {
  std::vector<uint8_t> rgb(4 * 4 * 3, 0);
  for (int x = 0; x < 4; ++x) rgb[3 * x] = 255;
  ContentLibraryScope content({{"red.bmp", EncodeBmp24(rgb.data(), 4, 4)}});
  Texture texture;
  ASSERT_EQ(LoadBmpTexture("red.bmp", &texture, 0), 1);
  for (int x = 0; x < 4; ++x) {
    EXPECT_EQ(texture.image.pixels[3 * 4 + x], 0xF800);
    EXPECT_EQ(texture.image.pixels[x], 0x0000);
  }
  ReleaseImage(&texture.image);
}

TEST(BmpTextureTest, RejectsSizesDepthsAndDamagedMembers) {
  const std::vector<uint8_t> good = EncodeBmp24(Gradient(4, 4).data(), 4, 4);
  auto with_field = [&good](int at, int32_t value) {
    std::vector<uint8_t> bytes = good;
    PutLe32(bytes, static_cast<size_t>(at), value);
    return bytes;
  };
  std::vector<uint8_t> eight_bit = good;
  eight_bit[28] = 8;
  const std::vector<std::pair<std::string, std::vector<uint8_t>>> members = {
      {"100x64", EncodeBmp24(Gradient(100, 64).data(), 100, 64)},
      {"64x100", EncodeBmp24(Gradient(64, 100).data(), 64, 100)},
      {"512x512", EncodeBmp24(Gradient(512, 512).data(), 512, 512)},
      {"3x1", EncodeBmp24(Gradient(3, 1).data(), 3, 1)},
      {"top-down", with_field(22, -4)},
      {"zero width", with_field(18, 0)},
      {"8 bit", eight_bit},
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

TEST(BmpTextureTest, PaddedTwoByTwoUsesTheRightBytes) {
  // Hand-written rows of 2 pixels + 2 padding bytes, bottom row first.
  std::vector<uint8_t> bmp = EncodeBmp24(Gradient(2, 2).data(), 2, 2);
  ASSERT_EQ(bmp.size(), 54u + 16u);
  const uint8_t rows[16] = {0x08, 0x04, 0xF8, /**/ 0xF8, 0xFC, 0x00, /**/ 0xEE, 0xEE,
                            0x10, 0x00, 0x00, /**/ 0x00, 0x00, 0x10, /**/ 0xEE, 0xEE};
  std::copy(rows, rows + 16, bmp.begin() + 54);
  ContentLibraryScope content({{"p.bmp", bmp}});
  Texture texture;
  ASSERT_EQ(LoadBmpTexture("p.bmp", &texture, 0), 1);
  EXPECT_EQ(texture.image.pixels[0], (31 << 11) | (1 << 5) | 1);
  EXPECT_EQ(texture.image.pixels[1], (63 << 5) | 31);
  EXPECT_EQ(texture.image.pixels[2], 2);
  EXPECT_EQ(texture.image.pixels[3], 2 << 11);
  ReleaseImage(&texture.image);
}

TEST(FloorLog2Test, HighestSetBit) {
  EXPECT_EQ(FloorLog2(0), -1);
  EXPECT_EQ(FloorLog2(-8), -1);
  EXPECT_EQ(FloorLog2(1), 0);
  EXPECT_EQ(FloorLog2(2), 1);
  EXPECT_EQ(FloorLog2(3), 1);
  EXPECT_EQ(FloorLog2(255), 7);
  EXPECT_EQ(FloorLog2(256), 8);
  EXPECT_EQ(FloorLog2(0x7FFFFFFF), 30);
}

}  // namespace
