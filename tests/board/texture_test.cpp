// Texturing: point and bilinear samples at texel centres and between them,
// wrap and clamp at the edges, perspective-correct mapping.
#include <cmath>

#include "board_fixture.h"

namespace {

class TextureTest : public BoardTest {
 protected:
  void SetUp() override {
    BoardTest::SetUp();
    // 4 x 4 texels, all different, strong in every channel.
    for (int i = 0; i < 16; ++i) {
      texels_[i] = static_cast<uint16_t>(((i * 2 + 1) << 11) | ((63 - i * 4) << 5) | (i * 7 % 32));
    }
    UseTexture(texels_, GR_LOD_4, GR_ASPECT_1x1);
    // Texture x white: texels come through unchanged.
    grConstantColorValue(0xFFFFFF);
    grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_LOCAL,
                   GR_COMBINE_LOCAL_CONSTANT, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
  }
  uint16_t Texel(int x, int y) const { return texels_[(y & 3) * 4 + (x & 3)]; }
  // The mean of texels as the bilinear filter forms it from 8-bit channels.
  uint16_t Mean(std::initializer_list<uint16_t> texels) const {
    uint32_t r = 0, g = 0, b = 0;
    for (uint16_t t : texels) {
      r += Red8(t);
      g += Green8(t);
      b += Blue8(t);
    }
    const auto n = static_cast<uint32_t>(texels.size());
    return Pack565(r / n, g / n, b / n);
  }
  std::vector<uint16_t> texels_ = std::vector<uint16_t>(16);
};

// 4 texels span s = 0..256 (64 per texel). Pixel centres half a texel past
// the texel centres fall between four texels: bilinear gives their mean,
// point sampling the texel below and to the left.
TEST_F(TextureTest, SamplesBetweenTexels) {
  grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_BILINEAR, GR_TEXTUREFILTER_BILINEAR);
  TexturedRect(0, 0, 3, 3, 32, 32, 32 + 192, 32 + 192);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 3; ++x) {
      ASSERT_EQ(Pixel(x, y),
                Mean({Texel(x, y), Texel(x + 1, y), Texel(x, y + 1), Texel(x + 1, y + 1)}));
    }
  }
  // A quarter of the way (u = 0.75, v = 0.5 at the centre): weights 12 and
  // 4 along s only.
  grBufferClear(0, 0, 0xFFFF);
  TexturedRect(0, 0, 1, 1, 16, 0, 16 + 64, 64);
  const uint16_t a = Texel(0, 0), b = Texel(1, 0);
  EXPECT_EQ(Pixel(0, 0),
            Pack565((Red8(a) * 12 + Red8(b) * 4) / 16, (Green8(a) * 12 + Green8(b) * 4) / 16,
                    (Blue8(a) * 12 + Blue8(b) * 4) / 16));
  grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_POINT_SAMPLED, GR_TEXTUREFILTER_POINT_SAMPLED);
  grBufferClear(0, 0, 0xFFFF);
  // u = x + 1.25 at the centres.
  TexturedRect(0, 0, 3, 3, 48, 48, 48 + 192, 48 + 192);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 3; ++x) ASSERT_EQ(Pixel(x, y), Texel(x + 1, y + 1));
  }
}

// Two repeats of the texture across 8 pixels, shifted by half a texel: the
// samples at the seam blend the last texel with the first (wrap), or with
// itself (clamp). Point sampling repeats the texture.
TEST_F(TextureTest, WrapRepeatsAndClampHoldsTheEdgeTexels) {
  grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_BILINEAR, GR_TEXTUREFILTER_BILINEAR);
  grTexClampMode(GR_TMU0, GR_TEXTURECLAMP_WRAP, GR_TEXTURECLAMP_WRAP);
  TexturedRect(0, 0, 8, 1, 32, 32, 32 + 512, 32 + 64);
  EXPECT_EQ(Pixel(3, 0), Mean({Texel(3, 0), Texel(0, 0), Texel(3, 1), Texel(0, 1)}));
  EXPECT_EQ(Pixel(7, 0), Mean({Texel(3, 0), Texel(0, 0), Texel(3, 1), Texel(0, 1)}));
  EXPECT_EQ(Pixel(4, 0), Pixel(0, 0));

  // Negative coordinates wrap too: s = 0 at the centre is the seam between
  // texels 3 and 0, reached from below.
  grBufferClear(0, 0, 0xFFFF);
  TexturedRect(0, 0, 1, 1, -32, 32, 32, 32 + 64);
  EXPECT_EQ(Pixel(0, 0), Mean({Texel(3, 0), Texel(0, 0), Texel(3, 1), Texel(0, 1)}));

  grTexClampMode(GR_TMU0, GR_TEXTURECLAMP_CLAMP, GR_TEXTURECLAMP_CLAMP);
  grBufferClear(0, 0, 0xFFFF);
  TexturedRect(0, 0, 8, 1, 32, 32, 32 + 512, 32 + 64);
  EXPECT_EQ(Pixel(3, 0), Mean({Texel(3, 0), Texel(3, 1)}));
  EXPECT_EQ(Pixel(7, 0), Mean({Texel(3, 0), Texel(3, 1)}));

  // Each direction keeps its own mode: t = 0 at the centres, the seam
  // between rows 3 and 0, held at row 0 when clamped.
  grTexClampMode(GR_TMU0, GR_TEXTURECLAMP_CLAMP, GR_TEXTURECLAMP_WRAP);
  TexturedRect(0, 0, 8, 1, 32, -32, 32 + 512, 32);
  EXPECT_EQ(Pixel(7, 0), Mean({Texel(3, 3), Texel(3, 0)}));
  grTexClampMode(GR_TMU0, GR_TEXTURECLAMP_WRAP, GR_TEXTURECLAMP_CLAMP);
  TexturedRect(0, 0, 8, 1, 32, -32, 32 + 512, 32);
  EXPECT_EQ(Pixel(3, 0), Mean({Texel(3, 0), Texel(0, 0)}));

  grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_POINT_SAMPLED, GR_TEXTUREFILTER_POINT_SAMPLED);
  grTexClampMode(GR_TMU0, GR_TEXTURECLAMP_WRAP, GR_TEXTURECLAMP_WRAP);
  grBufferClear(0, 0, 0xFFFF);
  TexturedRect(0, 0, 8, 8, 0, 0, 512, 512);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) ASSERT_EQ(Pixel(x, y), Texel(x, y));
  }
}

// Levels white 8x8, red 4x4, green 2x2, blue 1x1: one, two and four texels
// per pixel pick the nearest level; with mipmapping off the largest level
// is always used.
TEST_F(TextureTest, MipmappingPicksTheNearestLevel) {
  std::vector<uint16_t> levels;
  levels.insert(levels.end(), 64, 0xFFFF);
  levels.insert(levels.end(), 16, 0xF800);
  levels.insert(levels.end(), 4, 0x07E0);
  levels.insert(levels.end(), 1, 0x001F);
  UseTexture(levels, GR_LOD_8, GR_ASPECT_1x1, GR_LOD_1);
  grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_POINT_SAMPLED, GR_TEXTUREFILTER_POINT_SAMPLED);
  grTexMipMapMode(GR_TMU0, GR_MIPMAP_NEAREST, FXFALSE);
  TexturedRect(0, 0, 16, 16, 0, 0, 512, 512);    // one texel per pixel
  TexturedRect(20, 0, 28, 8, 0, 0, 512, 512);    // two
  TexturedRect(40, 0, 44, 4, 0, 0, 512, 512);    // four
  TexturedRect(60, 0, 62, 2, 0, 0, 1024, 1024);  // sixteen: past the smallest level
  EXPECT_EQ(Pixel(5, 5), 0xFFFF);
  EXPECT_EQ(Pixel(22, 3), 0xF800);
  EXPECT_EQ(Pixel(41, 1), 0x07E0);
  EXPECT_EQ(Pixel(60, 0), 0x001F);
  grTexMipMapMode(GR_TMU0, GR_MIPMAP_DISABLE, FXFALSE);
  TexturedRect(40, 0, 44, 4, 0, 0, 512, 512);
  EXPECT_EQ(Pixel(41, 1), 0xFFFF);
}

}  // namespace
