// Tests of the PCX decoders over members of the content library beyond the
// ImageMagick fixtures (which also cover palettes by version): rejected
// pictures, tokens across the read-ahead, clipping of indexed pictures and
// reduced levels.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "storage/content_fixture.h"
#include "storage/pcx_writer.h"
#include "storage/picture_decoders.h"

using storage_test::ContentLibraryScope;

namespace {

std::vector<uint8_t> GreyPalette() {
  std::vector<uint8_t> palette(768);
  for (int i = 0; i < 768; ++i) palette[i] = static_cast<uint8_t>(i / 3);
  return palette;
}

void SetPcxField16(std::vector<uint8_t>& pcx, int at, int value) {
  pcx[at] = static_cast<uint8_t>(value);
  pcx[at + 1] = static_cast<uint8_t>(value >> 8);
}

TEST(PcxTextureTest, RejectedPicturesLeaveTheTextureUntouched) {
  const std::vector<uint8_t> palette = GreyPalette();
  const std::vector<uint8_t> indices(16 * 8, 3);
  const std::vector<uint8_t> good = EncodePcx8(indices.data(), 16, 8, palette.data());
  struct Case {
    const char* name;
    int offset;
    int value;
    bool wide;  // a 16-bit field
  };
  const Case cases[] = {
      {"manufacturer", 0, 11, false},    {"version 3", 1, 3, false},
      {"encoding", 2, 0, false},         {"1 bit", 3, 1, false},
      {"3 planes", 65, 3, false},        {"zero width", 8, -1, true},
      {"negative height", 10, -5, true}, {"width above line", 66, 15, true},
      {"line above 962", 66, 964, true},
  };
  std::vector<std::pair<std::string, std::vector<uint8_t>>> members;
  for (const Case& c : cases) {
    std::vector<uint8_t> bad = good;
    if (c.wide) {
      SetPcxField16(bad, c.offset, c.value);
    } else {
      bad[c.offset] = static_cast<uint8_t>(c.value);
    }
    members.push_back({c.name, bad});
  }
  members.push_back({"header only", std::vector<uint8_t>(good.begin(), good.begin() + 100)});
  ContentLibraryScope content(members);
  uint16_t sentinel[1] = {0xBEEF};
  for (const auto& member : members) {
    Texture texture;
    texture.image = Image{sentinel, 7, 9, 1};
    EXPECT_EQ(LoadPcxTexture(member.first.c_str(), &texture, 0), 0) << member.first;
    EXPECT_EQ(texture.image.pixels, sentinel) << member.first;
    EXPECT_EQ(texture.image.width, 7) << member.first;
    EXPECT_EQ(texture.image.height, 9) << member.first;
    EXPECT_EQ(texture.image.mipmapped, 1) << member.first;
  }
  Texture texture;
  EXPECT_EQ(LoadPcxTexture("missing", &texture, 0), 0);
  EXPECT_EQ(texture.image.pixels, nullptr);
}

// One low literal, then only high bytes, each written as a 2-byte token:
// tokens start at odd offsets of the pixel data, so one straddles every
// read-ahead boundary (2048 bytes for textures, 2024 for indexed pictures).
TEST(PcxDecoderTest, TokensAcrossTheReadAheadBoundaryDecode) {
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

TEST(PcxIndexedTest, ClipsIntoTheDestinationRectangle) {
  const int width = 640, height = 480;
  std::vector<uint8_t> indices(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x)
      indices[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(x ^ y);
  }
  const std::vector<uint8_t> palette = GreyPalette();
  ContentLibraryScope content({{"big", EncodePcx8(indices.data(), width, height, palette.data())}});

  std::vector<uint8_t> screen(320 * 200 + 16, 0xAA);  // 16 guard bytes after the picture
  ASSERT_EQ(LoadPcxIndexed("big", screen.data(), 0, 0, 320, 200), 1);
  for (int y = 0; y < 200; ++y) {
    for (int x = 0; x < 320; ++x) {
      ASSERT_EQ(screen[y * 320 + x], static_cast<uint8_t>(x ^ y)) << x << "," << y;
    }
  }
  for (int i = 320 * 200; i < 320 * 200 + 16; ++i) EXPECT_EQ(screen[i], 0xAA);

  // Placed at (300, 190): only a 20 x 10 corner lands; the rest keeps its bytes.
  std::vector<uint8_t> small(320 * 200, 0xAA);
  ASSERT_EQ(LoadPcxIndexed("big", small.data(), 300, 190, 320, 200), 1);
  for (int y = 0; y < 200; ++y) {
    for (int x = 0; x < 320; ++x) {
      const bool inside = x >= 300 && y >= 190;
      const uint8_t expected = inside ? static_cast<uint8_t>((x - 300) ^ (y - 190)) : 0xAA;
      ASSERT_EQ(small[y * 320 + x], expected) << x << "," << y;
    }
  }
  for (const auto& [x, y] : {std::pair{-1, 0}, {320, 0}, {0, -1}, {0, 200}}) {
    EXPECT_EQ(LoadPcxIndexed("big", small.data(), x, y, 320, 200), 0) << x << "," << y;
  }
  EXPECT_EQ(LoadPcxIndexed("big", nullptr, 0, 0, 320, 200), 0);
}

TEST(PcxTextureTest, MipmappedTextureCarriesItsReducedLevels) {
  std::vector<uint8_t> palette(768, 0);
  palette[3] = 255;                                     // entry 1: red 63 -> 31 in 5 bits
  palette[7] = 252;                                     // entry 2: green 63
  const uint8_t indices[8] = {1, 1, 2, 2, 1, 1, 2, 2};  // 4 x 2: left red, right green
  ContentLibraryScope content({{"mip", EncodePcx8(indices, 4, 2, palette.data())}});
  Texture texture;
  ASSERT_EQ(LoadPcxTexture("mip", &texture, 1), 1);
  EXPECT_EQ(texture.image.mipmapped, 1);
  const uint16_t red = 31 << 11, green = 63 << 5;
  const uint16_t* level1 = texture.image.pixels + 8;  // 2 x 1
  EXPECT_EQ(level1[0], red);
  EXPECT_EQ(level1[1], green);
  EXPECT_EQ(level1[2], (15 << 11) | (31 << 5)) << "1 x 1: halves, truncated";
  ReleaseImage(&texture.image);
}

}  // namespace
