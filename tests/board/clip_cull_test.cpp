// The clip window, back-face culling and corners the board cannot place:
// nothing is drawn outside the window, and nothing unplaceable is drawn.
#include <algorithm>
#include <limits>

#include "board_fixture.h"

namespace {

class ClipCullTest : public BoardTest {
 protected:
  static bool AnyCovered(const GrVertex& a, const GrVertex& b, const GrVertex& c) {
    const std::vector<uint8_t> covered = CoverageOf(a, b, c);
    return std::find(covered.begin(), covered.end(), 1) != covered.end();
  }
  // Every pixel inside [x0, x1) x [y0, y1) drawn (when all_inside) and none
  // outside it.
  static void ExpectOnlyInside(int x0, int y0, int x1, int y1, bool all_inside) {
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const bool inside = x >= x0 && x < x1 && y >= y0 && y < y1;
        if (inside && !all_inside) continue;
        ASSERT_EQ(Pixel(x, y) != 0, inside) << x << "," << y;
      }
    }
  }
};

// A triangle far larger than the screen fills exactly the window, drawn
// plainly or through the clipping helper; a window beyond the screen is
// cut to the screen.
TEST_F(ClipCullTest, TrianglesFillExactlyTheClipWindow) {
  const GrVertex a = Vertex(-100, -100), b = Vertex(1000, -100), c = Vertex(-100, 1000);
  CoverageOf(a, b, c);  // sets a constant white
  const struct {
    int x0, y0, x1, y1;  // asked for
    int width, height;   // drawn from (x0, y0)
    bool with_clip;
  } cases[] = {{10, 20, 50, 60, 40, 40, false},
               {10, 20, 50, 60, 40, 40, true},
               {300, 230, 5000, 5000, kWidth - 300, kHeight - 230, false}};
  for (const auto& w : cases) {
    grClipWindow(0, 0, kWidth, kHeight);
    grBufferClear(0, 0, 0xFFFF);
    grClipWindow(w.x0, w.y0, w.x1, w.y1);
    if (w.with_clip) {
      guDrawTriangleWithClip(&a, &b, &c);
    } else {
      Draw(a, b, c);
    }
    ExpectOnlyInside(w.x0, w.y0, w.x0 + w.width, w.y0 + w.height, true);
  }
}

// Clearing fills whole blocks of pixels at a time; windows of every width
// near a block's must still stop exactly at their edges.
TEST_F(ClipCullTest, ClearingStaysInsideTheClipWindow) {
  for (const int width : {1, 15, 16, 17, 34}) {
    grClipWindow(0, 0, kWidth, kHeight);
    grBufferClear(0x000000, 0, 0x1234);
    grClipWindow(3, 5, 3 + width, 9);
    grBufferClear(0xFFFFFF, 0, 0xFFFF);
    for (int y = 0; y < 12; ++y) {
      for (int x = 0; x < 60; ++x) {
        const bool inside = x >= 3 && x < 3 + width && y >= 5 && y < 9;
        ASSERT_EQ(Pixel(x, y), inside ? 0xFFFF : 0) << x << "," << y << " width " << width;
        ASSERT_EQ(Depth(x, y), inside ? 0xFFFF : 0x1234) << x << "," << y << " width " << width;
      }
    }
  }
}

// Counter-clockwise on the screen (y up) is positive.
TEST_F(ClipCullTest, CullModesDropTheirWinding) {
  const GrVertex a = Vertex(10, 10), b = Vertex(50, 10), c = Vertex(10, 50);
  const struct {
    GrCullMode_t mode;
    bool counter_clockwise_drawn, clockwise_drawn;
  } cases[] = {{GR_CULL_DISABLE, true, true},
               {GR_CULL_NEGATIVE, true, false},
               {GR_CULL_POSITIVE, false, true}};
  for (const auto& test : cases) {
    grCullMode(test.mode);
    EXPECT_EQ(AnyCovered(a, b, c), test.counter_clockwise_drawn) << test.mode;
    EXPECT_EQ(AnyCovered(a, c, b), test.clockwise_drawn) << test.mode;
  }
}

TEST_F(ClipCullTest, UnplaceableOrDegenerateTrianglesDrawNothing) {
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
    EXPECT_FALSE(AnyCovered(corners[0], corners[1], corners[2]));
  }
}

// A triangle reaching far beyond the screen, with colours, depths and
// texture coordinates far out of range or not numbers, stays within the
// clip window (run under the sanitizers: nothing read or written outside).
TEST_F(ClipCullTest, WildAttributesStayWithinTheClipWindow) {
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
  ExpectOnlyInside(5, 6, 300, 200, false);
}

}  // namespace
