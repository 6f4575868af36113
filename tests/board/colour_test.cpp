// Colour: iterated colours, their clamping, the constant colour and the
// texture scaled by either.
#include <random>

#include "board_fixture.h"

namespace {

class ColourTest : public BoardTest {
 protected:
  static void Iterated() {
    grColorCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, GR_COMBINE_LOCAL_ITERATED,
                   GR_COMBINE_OTHER_CONSTANT, FXFALSE);
  }
  static uint32_t Clamp255(int v) { return static_cast<uint32_t>(std::clamp(v, 0, 255)); }
};

// The corner at (10.5, 50.5) lies on a left edge and a top edge, so its
// pixel is drawn, with the corner's own colour whatever the others are.
TEST_F(ColourTest, CornerPixelGetsTheCornersColour) {
  Iterated();
  std::mt19937 random(7);
  std::uniform_int_distribution<int> channel(0, 255);
  for (int trial = 0; trial < 20; ++trial) {
    const int r = channel(random), g = channel(random), b = channel(random);
    Draw(Coloured(10.5f, 50.5f, r, g, b),
         Coloured(10.5f, 10.5f, channel(random), channel(random), channel(random)),
         Coloured(50.5f, 50.5f, channel(random), channel(random), channel(random)));
    ASSERT_EQ(Pixel(10, 50), Pack565(r, g, b)) << trial;
  }
}

// Red rises by 2 per pixel to the right, green by 2 per pixel upward, over
// 100 pixels: every pixel holds exactly its own value (no drift).
TEST_F(ColourTest, ColoursAreIteratedLinearlyAcrossTheTriangle) {
  Iterated();
  Draw(Coloured(0.5f, 0.5f, 0, 0, 77), Coloured(100.5f, 0.5f, 200, 0, 77),
       Coloured(0.5f, 100.5f, 0, 200, 77));
  int checked = 0;
  for (int y = 1; y < 99; ++y) {
    for (int x = 1; x + y < 99; ++x) {
      ASSERT_EQ(Pixel(x, y), Pack565(2 * x, 2 * y, 77)) << x << "," << y;
      ++checked;
    }
  }
  EXPECT_GT(checked, 4000);
}

TEST_F(ColourTest, IteratedColoursClampToTheChannelRange) {
  Iterated();
  // Red from -100 to 400 along x (5 per pixel), blue the other way.
  Draw(Coloured(0.5f, 0.5f, -100, 128, 400), Coloured(100.5f, 0.5f, 400, 128, -100),
       Coloured(0.5f, 100.5f, -100, 128, 400));
  for (int x = 1; x < 95; ++x) {
    ASSERT_EQ(Pixel(x, 2), Pack565(Clamp255(-100 + 5 * x), 128, Clamp255(400 - 5 * x))) << x;
  }
  EXPECT_EQ(Pixel(1, 2), Pack565(0, 128, 255));
  EXPECT_EQ(Pixel(90, 2), Pack565(255, 128, 0));
}

// Colours far above the range, rising by some 1e18 per pixel: every pixel
// of every path is full red. Unlimited, the per-pixel step would overflow
// and every other pixel would come out black.
TEST_F(ColourTest, ColoursFarOutOfRangeSaturateInEveryPixel) {
  Iterated();
  for (const PixelPath path :
       {PixelPath::kPortable, PixelPath::kSse2, PixelPath::kAvx2, PixelPath::kFastest}) {
    RenderState().pixel_path = path;
    grBufferClear(0, 0, 0xFFFF);
    Draw(Coloured(0.5f, 0.5f, 1e20f, 0, 0), Coloured(100.5f, 0.5f, 2e20f, 0, 0),
         Coloured(0.5f, 100.5f, 1e20f, 0, 0));
    for (int x = 1; x < 95; ++x) {
      ASSERT_EQ(Pixel(x, 2), Pack565(255, 0, 0)) << x << " path " << static_cast<int>(path);
    }
  }
}

TEST_F(ColourTest, ConstantColourIgnoresTheCornerColours) {
  grConstantColorValue(0xFFC08040);  // alpha is not drawn
  grColorCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, GR_COMBINE_LOCAL_CONSTANT,
                 GR_COMBINE_OTHER_CONSTANT, FXFALSE);
  Draw(Coloured(0, 0, 0, 0, 0), Coloured(40, 0, 255, 255, 255), Coloured(0, 40, 10, 200, 30));
  for (int y = 0; y < 38; y += 3) {
    for (int x = 0; x + y < 38; x += 3) ASSERT_EQ(Pixel(x, y), Pack565(0xC0, 0x80, 0x40));
  }
}

// Texture x colour: a white texel gives the colour back, a black colour
// gives black, and a grey texel x a grey constant is their scaled product.
TEST_F(ColourTest, TextureIsScaledByTheIteratedOrConstantColour) {
  std::vector<uint16_t> white(64, 0xFFFF);
  UseTexture(white, GR_LOD_8, GR_ASPECT_1x1);
  grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_LOCAL,
                 GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
  Draw(Coloured(0.5f, 0.5f, 0, 0, 77), Coloured(100.5f, 0.5f, 200, 0, 77),
       Coloured(0.5f, 100.5f, 0, 200, 77));
  for (int y = 1; y < 99; y += 5) {
    for (int x = 1; x + y < 99; x += 5) ASSERT_EQ(Pixel(x, y), Pack565(2 * x, 2 * y, 77));
  }

  grBufferClear(0x123456, 0, 0xFFFF);
  Draw(Coloured(0, 0, 0, 0, 0), Coloured(40, 0, 0, 0, 0), Coloured(0, 40, 0, 0, 0));
  EXPECT_EQ(Pixel(5, 5), 0);  // fade level 0: black even on white texels

  std::vector<uint16_t> grey(64, 0x8410);  // 132, 130, 132 once widened
  UseTexture(grey, GR_LOD_8, GR_ASPECT_1x1);
  grConstantColorValue(0x808080);
  grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_LOCAL,
                 GR_COMBINE_LOCAL_CONSTANT, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
  Draw(Coloured(0, 0, 0, 0, 0), Coloured(40, 0, 0, 0, 0), Coloured(0, 40, 0, 0, 0));
  // 132 x 129 / 256 = 66, 130 x 129 / 256 = 65.
  EXPECT_EQ(Pixel(5, 5), Pack565(66, 65, 66));
}

}  // namespace
