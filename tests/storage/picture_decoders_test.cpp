// The PCX and BMP decoders over members of the content library, beyond the
// ImageMagick fixtures (which hold the other depths and versions): refused
// pictures, PCX tokens across the read-ahead, clipping of indexed pictures
// and reduced levels.
#include "storage/picture_decoders.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "storage/bmp_writer.h"
#include "storage/content_fixture.h"
#include "storage/pcx_writer.h"

using storage_test::ContentLibraryScope;

namespace {

std::vector<uint8_t> GreyPalette() {
  std::vector<uint8_t> palette(768);
  for (int i = 0; i < 768; ++i) palette[i] = static_cast<uint8_t>(i / 3);
  return palette;
}

std::vector<uint8_t> Bmp(int width, int height) {
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 13 + i / 7);
  return EncodeBmp24(rgb.data(), width, height);
}

// The bytes with a little-endian field of 1, 2 or 4 bytes at offset replaced.
std::vector<uint8_t> WithField(std::vector<uint8_t> bytes, int at, int size, int32_t value) {
  for (int i = 0; i < size; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
  return bytes;
}

TEST(PictureDecoderTest, RefusedPicturesLeaveTheTextureUntouched) {
  const std::vector<uint8_t> palette = GreyPalette();
  const std::vector<uint8_t> indices(16 * 8, 3);
  const std::vector<uint8_t> pcx = EncodePcx8(indices.data(), 16, 8, palette.data());
  const std::vector<uint8_t> bmp = Bmp(4, 4);
  const struct {
    std::string name;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"pcx manufacturer", WithField(pcx, 0, 1, 11)},
      {"pcx encoding", WithField(pcx, 2, 1, 0)},
      {"pcx zero width", WithField(pcx, 8, 2, -1)},
      {"pcx negative height", WithField(pcx, 10, 2, -5)},
      {"pcx width above line", WithField(pcx, 66, 2, 15)},
      {"pcx line above 962", WithField(pcx, 66, 2, 964)},
      {"pcx header only", std::vector<uint8_t>(pcx.begin(), pcx.begin() + 100)},
      {"bmp 100x64", Bmp(100, 64)},
      {"bmp 64x100", Bmp(64, 100)},
      {"bmp 512x512", Bmp(512, 512)},
      {"bmp zero width", WithField(bmp, 18, 4, 0)},
      {"bmp offset past end", WithField(bmp, 10, 4, 10000)},
      {"bmp negative offset", WithField(bmp, 10, 4, -1)},
      {"bmp array cut short", std::vector<uint8_t>(bmp.begin(), bmp.end() - 1)},
      {"bmp header cut short", std::vector<uint8_t>(bmp.begin(), bmp.begin() + 29)},
  };
  std::vector<std::pair<std::string, std::vector<uint8_t>>> members;
  for (const auto& c : cases) members.push_back({c.name, c.bytes});
  ContentLibraryScope content(members);
  uint16_t sentinel[1] = {0xBEEF};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Texture texture;
    texture.image = Image{sentinel, 7, 9, 1};
    EXPECT_EQ(c.name.starts_with("bmp") ? LoadBmpTexture(c.name.c_str(), &texture, 0)
                                        : LoadPcxTexture(c.name.c_str(), &texture, 0),
              0);
    EXPECT_TRUE(texture.image.pixels == sentinel && texture.image.width == 7 &&
                texture.image.height == 9 && texture.image.mipmapped == 1);
  }
  Texture texture;
  EXPECT_EQ(LoadPcxTexture("missing", &texture, 0), 0);
  EXPECT_EQ(LoadBmpTexture("missing", &texture, 0), 0);
}

// One low literal, then only high bytes, each written as a 2-byte token:
// tokens start at odd offsets of the pixel data, so one straddles every
// read-ahead boundary (2048 bytes for textures, 2024 for indexed pictures).
TEST(PictureDecoderTest, PcxTokensAcrossTheReadAheadBoundaryDecode) {
  std::vector<uint8_t> indices(64 * 64);
  for (size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<uint8_t>(192 + i % 61);
  indices[0] = 5;
  const std::vector<uint8_t> palette = GreyPalette();
  ContentLibraryScope content({{"high", EncodePcx8(indices.data(), 64, 64, palette.data())}});
  Texture texture;
  ASSERT_EQ(LoadPcxTexture("high", &texture, 0), 1);
  for (size_t i = 0; i < indices.size(); ++i) {
    const int grey = indices[i] >> 2;  // palette entry e is grey e, 6 bits kept
    ASSERT_EQ(texture.image.pixels[i], (grey >> 1) << 11 | grey << 5 | grey >> 1) << i;
  }
  ReleaseImage(&texture.image);
  std::vector<uint8_t> dest(indices.size());
  ASSERT_EQ(LoadPcxIndexed("high", dest.data(), 0, 0, 64, 64), 1);
  EXPECT_EQ(dest, indices);
}

TEST(PictureDecoderTest, IndexedPcxIsClippedToTheDestinationRectangle) {
  const int width = 640, height = 480;
  std::vector<uint8_t> indices(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) indices[static_cast<size_t>(y) * width + x] = x ^ y;
  }
  const std::vector<uint8_t> palette = GreyPalette();
  ContentLibraryScope content({{"big", EncodePcx8(indices.data(), width, height, palette.data())}});
  // At (0, 0) the picture's top-left 320 x 200; at (300, 190) only a 20 x 10
  // corner lands. The rest, and a guard row after the rectangle, keep theirs.
  for (const auto& [left, top] : {std::pair{0, 0}, {300, 190}}) {
    std::vector<uint8_t> screen(320 * 201, 0xAA);
    ASSERT_EQ(LoadPcxIndexed("big", screen.data(), left, top, 320, 200), 1);
    for (int i = 0; i < 320 * 201; ++i) {
      const int x = i % 320, y = i / 320;
      const bool inside = y < 200 && x >= left && y >= top;
      ASSERT_EQ(screen[i], inside ? static_cast<uint8_t>((x - left) ^ (y - top)) : 0xAA)
          << "placed at " << left << "," << top << ": " << x << "," << y;
    }
  }
  std::vector<uint8_t> screen(320 * 200);
  for (const auto& [x, y] : {std::pair{-1, 0}, {320, 0}, {0, -1}, {0, 200}}) {
    EXPECT_EQ(LoadPcxIndexed("big", screen.data(), x, y, 320, 200), 0) << x << "," << y;
  }
  EXPECT_EQ(LoadPcxIndexed("big", nullptr, 0, 0, 320, 200), 0);
}

// A 4 x 2 picture, red red green green over four blue: its reduced levels
// (2 x 1, then 1 x 1) are the truncated means of the level above, the same
// from either format (BMP keeps the rows bottom-up, which a mean of two rows
// does not see).
TEST(PictureDecoderTest, MipmappedTexturesCarryTheirReducedLevels) {
  const uint8_t colours[4][3] = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  const uint8_t indices[8] = {1, 1, 2, 2, 3, 3, 3, 3};
  std::vector<uint8_t> rgb, palette(768, 0);
  for (uint8_t index : indices) rgb.insert(rgb.end(), colours[index], colours[index] + 3);
  std::memcpy(palette.data(), colours, sizeof colours);
  ContentLibraryScope content({{"mip.bmp", EncodeBmp24(rgb.data(), 4, 2)},
                               {"mip.pcx", EncodePcx8(indices, 4, 2, palette.data())}});
  for (const std::string name : {"mip.bmp", "mip.pcx"}) {
    SCOPED_TRACE(name);
    const bool bmp = name.ends_with(".bmp");
    Texture texture;
    ASSERT_EQ(
        bmp ? LoadBmpTexture(name.c_str(), &texture, 1) : LoadPcxTexture(name.c_str(), &texture, 1),
        1);
    ASSERT_EQ(texture.image.mipmapped, 1);
    const uint16_t* texels = texture.image.pixels;
    EXPECT_EQ(texels[bmp ? 4 : 0], 31 << 11) << "the red corner of the full level";
    EXPECT_EQ(texels[8], (15 << 11) | 15) << "red and blue";
    EXPECT_EQ(texels[9], (31 << 5) | 15) << "green and blue";
    EXPECT_EQ(texels[10], (7 << 11) | (15 << 5) | 15) << "1 x 1";
    ReleaseImage(&texture.image);
  }
}

}  // namespace
