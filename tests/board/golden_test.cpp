// Golden frames: small pictures this board made, kept in tests/data/board/;
// every frame must match its picture exactly and pass an exact rule (here,
// or in the tests of that rule).
#include "golden_picture.h"

#include "board/depth.h"
#include "board_fixture.h"
#include "golden_scenes.h"

namespace {

class GoldenTest : public BoardTest {
 protected:
  static void CompareWithGolden(const char* name, int width, int height) {
    ExpectGolden(Picture(width, height), width, height, std::string("board/") + name);
  }
};

// Sixty-four flat colours in 8x8 cells under the 4x4 dither (the colour
// tests hold the dither's rule: each block keeps the mean of its colour).
TEST_F(GoldenTest, DitheredColourChart) {
  grDitherMode(GR_DITHER_4x4);
  grColorCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, GR_COMBINE_LOCAL_CONSTANT,
                 GR_COMBINE_OTHER_CONSTANT, FXFALSE);
  const auto cell_colour = [](int i, int j) {
    return static_cast<GrColor_t>(((i * 37) % 256) << 16 | ((j * 33 + 5) % 256) << 8 |
                                  ((i * j * 11 + 60) % 256));
  };
  for (int j = 0; j < 8; ++j) {
    for (int i = 0; i < 8; ++i) {
      grConstantColorValue(cell_colour(i, j));
      const auto x = static_cast<float>(i * 8), y = static_cast<float>(j * 8);
      Draw(Vertex(x, y), Vertex(x + 8, y), Vertex(x + 8, y + 8));
      Draw(Vertex(x, y), Vertex(x + 8, y + 8), Vertex(x, y + 8));
    }
  }
  CompareWithGolden("dithered_colour_chart.png", 64, 64);
}

// Rule: every pixel shows the square the exact perspective mapping puts
// there, where a screen-linear mapping would often be wrong.
TEST_F(GoldenTest, TiltedCheckerboard) {
  DrawTiltedCheckerboard();
  const CheckerboardCheck check = CheckTiltedCheckerboard();
  EXPECT_EQ(check.wrong, 0);
  EXPECT_GT(check.judged, 5000);
  EXPECT_GT(check.affine_would_differ, 300);
  CompareWithGolden("tilted_checkerboard.png", 320, 160);
}

// Two flat quads leaning through each other under the W-buffer. Rule: away
// from the line where they meet, each pixel shows the nearer quad, its
// depth taken from w interpolated as 1/w (perspective-correct).
TEST_F(GoldenTest, IntersectingQuads) {
  DrawIntersectingQuads();
  const float a_left = 2, a_right = 40, b_left = 30, b_right = 3;  // as drawn
  int judged = 0;
  for (int y = 16; y < 48; ++y) {
    for (int x = 0; x < 96; ++x) {
      const double t = (x + 0.5) / 96;
      const double wa = 1 / ((1 - t) / a_left + t / a_right);
      const double wb = 1 / ((1 - t) / b_left + t / b_right);
      if (std::fabs(wa - wb) < 0.02 * std::min(wa, wb)) continue;
      ASSERT_EQ(Pixel(x, y), wa < wb ? Pack565(0xE0, 0x30, 0x20) : Pack565(0x20, 0x60, 0xF0))
          << x << "," << y;
      ++judged;
    }
  }
  EXPECT_GT(judged, 2500);
  CompareWithGolden("intersecting_quads.png", 96, 64);
}

}  // namespace
