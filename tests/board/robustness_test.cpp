// Corners the board cannot place (NaN), far off the screen or degenerate,
// and attributes out of every range: nothing crashes, nothing is written
// outside the clip window, and what can be drawn is drawn.
#include <cmath>
#include <limits>

#include "board_fixture.h"

namespace {

class RobustnessTest : public BoardTest {
 protected:
  static int Covered() {
    int count = 0;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) count += Pixel(x, y) != 0 ? 1 : 0;
    }
    return count;
  }
};

TEST_F(RobustnessTest, UnplaceableOrDegenerateTrianglesDrawNothing) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const GrVertex cases[][3] = {
      {Vertex(nan, 10), Vertex(50, 10), Vertex(10, 50)},
      {Vertex(10, 10), Vertex(inf, 10), Vertex(10, 50)},
      {Vertex(10, 10), Vertex(50, 50), Vertex(90, 90)},          // collinear
      {Vertex(10, 10), Vertex(10, 10), Vertex(10, 10)},          // a point
      {Vertex(10, 10), Vertex(10.01f, 10), Vertex(10, 10.01f)},  // smaller than the grid
  };
  for (const auto& corners : cases) {
    CoverageOf(corners[0], corners[1], corners[2]);
    EXPECT_EQ(Covered(), 0);
  }
}

// A triangle reaching far beyond the screen, with colours, depths and
// texture coordinates far out of range or not numbers, fills exactly the
// clip window.
TEST_F(RobustnessTest, WildAttributesStayWithinTheClipWindow) {
  std::vector<uint16_t> texels(64, 0xFFFF);
  UseTexture(texels, GR_LOD_8, GR_ASPECT_1x1);
  grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_BILINEAR, GR_TEXTUREFILTER_BILINEAR);
  grTexMipMapMode(GR_TMU0, GR_MIPMAP_NEAREST_DITHER, FXTRUE);
  grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
  grDepthBufferFunction(GR_CMP_ALWAYS);
  grDitherMode(GR_DITHER_4x4);
  grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_LOCAL,
                 GR_COMBINE_LOCAL_ITERATED, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
  grClipWindow(5, 6, 300, 200);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  GrVertex a = Coloured(-1e30f, -1e30f, 1e20f, nan, -1e20f);
  GrVertex b = Coloured(1e30f, -5, 300, 300, 300);
  GrVertex c = Coloured(-5, 1e30f, 300, 300, 300);
  a.oow = 0;
  b.oow = -1;
  c.oow = nan;
  a.tmuvtx[0].sow = 1e30f;
  b.tmuvtx[0].tow = -1e30f;
  c.tmuvtx[0].sow = nan;
  guDrawTriangleWithClip(&a, &b, &c);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const bool inside = x >= 5 && x < 300 && y >= 6 && y < 200;
      if (!inside) {
        ASSERT_EQ(Pixel(x, y), 0) << x << "," << y;
      }
    }
  }
}

}  // namespace
