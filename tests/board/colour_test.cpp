// Colour: iterated colours and their clamping, the constant colour, the
// texture scaled by either, and the 565 conversion by the 4x4 and 2x2
// ordered dithers or by plain truncation.
#include <algorithm>

#include "board_fixture.h"

namespace {

class ColourTest : public BoardTest {
 protected:
  static void Iterated() {
    grColorCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, GR_COMBINE_LOCAL_ITERATED,
                   GR_COMBINE_OTHER_CONSTANT, FXFALSE);
  }
  static void Constant(GrColor_t colour) {
    grConstantColorValue(colour);
    grColorCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, GR_COMBINE_LOCAL_CONSTANT,
                   GR_COMBINE_OTHER_CONSTANT, FXFALSE);
  }
  // A right triangle with red 2 per pixel to the right and green 2 per
  // pixel upward, blue 77: pixel (x, y) holds exactly (2x, 2y, 77).
  static void Gradient() {
    Draw(Coloured(0.5f, 0.5f, 0, 0, 77), Coloured(100.5f, 0.5f, 200, 0, 77),
         Coloured(0.5f, 100.5f, 0, 200, 77));
  }
  // A flat grey over the 8 x 8 pixels at the origin.
  static void FlatGrey(uint32_t v) {
    Constant((v << 16) | (v << 8) | v);
    Draw(Vertex(0, 0), Vertex(8, 0), Vertex(8, 8));
    Draw(Vertex(0, 0), Vertex(8, 8), Vertex(0, 8));
  }
  static uint32_t Clamp255(int v) { return static_cast<uint32_t>(std::clamp(v, 0, 255)); }
};

// Every pixel holds exactly its own value (no drift), truncated to 565 without
// dither, alone and scaled by a white texture; a black colour makes even white
// texels black.
TEST_F(ColourTest, ColoursAreIteratedLinearlyAndScaleTheTexture) {
  std::vector<uint16_t> white(64, 0xFFFF);
  UseTexture(white, GR_LOD_8, GR_ASPECT_1x1);
  for (const bool textured : {false, true}) {
    grBufferClear(0, 0, 0xFFFF);
    grColorCombine(textured ? GR_COMBINE_FUNCTION_SCALE_OTHER : GR_COMBINE_FUNCTION_LOCAL,
                   textured ? GR_COMBINE_FACTOR_LOCAL : GR_COMBINE_FACTOR_NONE,
                   GR_COMBINE_LOCAL_ITERATED,
                   textured ? GR_COMBINE_OTHER_TEXTURE : GR_COMBINE_OTHER_CONSTANT, FXFALSE);
    Gradient();
    for (int y = 1; y < 99; ++y) {
      for (int x = 1; x + y < 99; ++x) {
        ASSERT_EQ(Pixel(x, y), Pack565(2 * x, 2 * y, 77)) << x << "," << y << " " << textured;
      }
    }
  }
  grBufferClear(0x123456, 0, 0xFFFF);
  Draw(Coloured(0, 0, 0, 0, 0), Coloured(40, 0, 0, 0, 0), Coloured(0, 40, 0, 0, 0));
  EXPECT_EQ(Pixel(5, 5), 0);  // fade level 0: black even on white texels
}

// Red from -100 to 400 along x (5 per pixel), blue the other way; and
// colours rising by some 1e18 per pixel, where an unlimited per-pixel step
// would overflow: every path clamps every pixel.
TEST_F(ColourTest, IteratedColoursClampToTheChannelRangeOnEveryPath) {
  Iterated();
  for (const PixelPath path :
       {PixelPath::kPortable, PixelPath::kSse2, PixelPath::kAvx2, PixelPath::kFastest}) {
    RenderState().pixel_path = path;
    grBufferClear(0, 0, 0xFFFF);
    Draw(Coloured(0.5f, 0.5f, -100, 128, 400), Coloured(100.5f, 0.5f, 400, 128, -100),
         Coloured(0.5f, 100.5f, -100, 128, 400));
    Draw(Coloured(0.5f, 10.5f, 1e20f, 0, 0), Coloured(100.5f, 10.5f, 2e20f, 0, 0),
         Coloured(0.5f, 100.5f, 1e20f, 0, 0));
    for (int x = 1; x < 90; ++x) {
      ASSERT_EQ(Pixel(x, 2), Pack565(Clamp255(-100 + 5 * x), 128, Clamp255(400 - 5 * x))) << x;
      ASSERT_EQ(Pixel(x, 12), Pack565(255, 0, 0)) << x << " path " << static_cast<int>(path);
    }
  }
  RenderState().pixel_path = PixelPath::kFastest;
}

// The constant colour ignores the corners (and its alpha is not drawn); a
// grey texel (132, 130, 132 once widened) x a constant grey 128 is
// 132 x 129 / 256 = 66 and 130 x 129 / 256 = 65; white x white stays white.
TEST_F(ColourTest, ConstantColourAloneAndScalingTheTexture) {
  Constant(0xFFC08040);
  Draw(Coloured(0, 0, 0, 0, 0), Coloured(40, 0, 255, 255, 255), Coloured(0, 40, 10, 200, 30));
  for (int y = 0; y < 38; y += 3) {
    for (int x = 0; x + y < 38; x += 3) ASSERT_EQ(Pixel(x, y), Pack565(0xC0, 0x80, 0x40));
  }
  for (const auto& [texel, constant, expected] :
       {std::tuple{uint16_t{0x8410}, 0x808080u, Pack565(66, 65, 66)},
        std::tuple{uint16_t{0xFFFF}, 0xFFFFFFu, uint16_t{0xFFFF}}}) {
    std::vector<uint16_t> texels(64, texel);
    UseTexture(texels, GR_LOD_8, GR_ASPECT_1x1);
    grConstantColorValue(constant);
    grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_LOCAL,
                   GR_COMBINE_LOCAL_CONSTANT, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
    Draw(Vertex(0, 0), Vertex(40, 0), Vertex(0, 40));
    EXPECT_EQ(Pixel(5, 5), expected) << texel;
  }
}

// Grey 100 is 12.157 in 5 bits and 24.706 in 6 bits: under the 4x4 dither
// red and blue round up where the threshold is 13 or more, green where it
// is 5 or more. The thresholds, row 0 at the bottom: 0 8 2 10 / 12 4 14 6 /
// 3 11 1 9 / 15 7 13 5, repeating every 4 pixels.
TEST_F(ColourTest, FourByFourDitherGivesThePatternsExact565Values) {
  grDitherMode(GR_DITHER_4x4);
  FlatGrey(100);
  const uint16_t low = (12 << 11) | (24 << 5) | 12, mid = (12 << 11) | (25 << 5) | 12,
                 high = (13 << 11) | (25 << 5) | 13;
  const uint16_t expected[4][4] = {
      {low, mid, low, mid}, {mid, low, high, mid}, {low, mid, low, mid}, {high, mid, high, mid}};
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) ASSERT_EQ(Pixel(x, y), expected[y & 3][x & 3]) << x << "," << y;
  }
  // Grey 92 is 11.184 and 22.729: red rounds up from threshold 13, green
  // from threshold 4. The pixels of thresholds 3, 4, 12 and 13 tell.
  FlatGrey(92);
  EXPECT_EQ(Pixel(0, 2), (11 << 11) | (22 << 5) | 11);  // 3
  EXPECT_EQ(Pixel(1, 1), (11 << 11) | (23 << 5) | 11);  // 4
  EXPECT_EQ(Pixel(0, 1), (11 << 11) | (23 << 5) | 11);  // 12
  EXPECT_EQ(Pixel(2, 3), (12 << 11) | (23 << 5) | 12);  // 13
}

// Over every grey the mean of a dither block stays near the exact value
// (within 1/32 of a level for 4x4, 5/32 for 2x2); full white and black never dither. The
// 2x2 pattern repeats every 2 pixels.
TEST_F(ColourTest, DitherBlocksKeepTheMeanOfEveryGrey) {
  for (const auto& [mode, side, tolerance] :
       {std::tuple{GR_DITHER_4x4, 4, 0.06}, std::tuple{GR_DITHER_2x2, 2, 0.16}}) {
    grDitherMode(mode);
    for (uint32_t v = 0; v < 256; ++v) {
      FlatGrey(v);
      double red = 0, green = 0;
      for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
          red += Pixel(x, y) >> 11;
          green += (Pixel(x, y) >> 5) & 63;
        }
      }
      ASSERT_NEAR(red / (side * side), v * 31.0 / 255, tolerance) << v << " mode " << mode;
      ASSERT_NEAR(green / (side * side), v * 63.0 / 255, tolerance) << v << " mode " << mode;
      ASSERT_EQ(Pixel(0, 0), Pixel(side, side)) << v << " mode " << mode;
    }
    FlatGrey(255);
    EXPECT_EQ(Pixel(1, 1), 0xFFFF);
    FlatGrey(0);
    EXPECT_EQ(Pixel(1, 1), 0);
  }
}

}  // namespace
