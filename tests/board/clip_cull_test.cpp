// The clip window and back-face culling, including the winding the scene
// renderer's front faces arrive in.
#include <array>
#include <cmath>
#include <random>

#include "board_fixture.h"

namespace {

class ClipCullTest : public BoardTest {
 protected:
  static int CoveredCount() {
    int count = 0;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) count += Pixel(x, y) != 0 ? 1 : 0;
    }
    return count;
  }
};

TEST_F(ClipCullTest, TrianglesStayInsideTheClipWindow) {
  grClipWindow(10, 20, 50, 60);
  for (const bool with_clip : {false, true}) {
    const GrVertex a = Vertex(-100, -100), b = Vertex(1000, -100), c = Vertex(-100, 1000);
    std::vector<uint8_t> covered;
    if (with_clip) {
      grBufferClear(0, 0, 0xFFFF);
      grConstantColorValue(0xFFFFFF);
      grColorCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, GR_COMBINE_LOCAL_CONSTANT,
                     GR_COMBINE_OTHER_CONSTANT, FXFALSE);
      guDrawTriangleWithClip(&a, &b, &c);
    } else {
      CoverageOf(a, b, c);
    }
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const bool inside = x >= 10 && x < 50 && y >= 20 && y < 60;
        ASSERT_EQ(Pixel(x, y) != 0, inside) << x << "," << y << " " << with_clip;
      }
    }
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
    bool counter_clockwise_drawn;
    bool clockwise_drawn;
  } cases[] = {{GR_CULL_DISABLE, true, true},
               {GR_CULL_NEGATIVE, true, false},
               {GR_CULL_POSITIVE, false, true}};
  for (const auto& test : cases) {
    grCullMode(test.mode);
    CoverageOf(a, b, c);
    EXPECT_EQ(CoveredCount() > 0, test.counter_clockwise_drawn) << test.mode;
    CoverageOf(a, c, b);
    EXPECT_EQ(CoveredCount() > 0, test.clockwise_drawn) << test.mode;
  }
}

// Faces placed and viewed as the scene evaluation does: object-space
// normal (b - a) x (c - a), visible when the eye is on its side; the view
// with U = (0, 0, -1), D towards the target, R = U x D, V = R x D; then the
// renderer's projection x = X / (Z + 1) x 160 + 159.5 (field of view 90).
// Every visible face must survive GR_CULL_NEGATIVE and every hidden one be
// dropped.
TEST_F(ClipCullTest, NegativeCullingKeepsTheFacesTheSceneFindsVisible) {
  using V3 = std::array<double, 3>;
  const auto sub = [](V3 p, V3 q) { return V3{p[0] - q[0], p[1] - q[1], p[2] - q[2]}; };
  const auto dot = [](V3 p, V3 q) { return p[0] * q[0] + p[1] * q[1] + p[2] * q[2]; };
  const auto cross = [](V3 p, V3 q) {
    return V3{p[1] * q[2] - p[2] * q[1], p[2] * q[0] - p[0] * q[2], p[0] * q[1] - p[1] * q[0]};
  };
  const auto unit = [&](V3 p) {
    const double n = std::sqrt(dot(p, p));
    return V3{p[0] / n, p[1] / n, p[2] / n};
  };
  grCullMode(GR_CULL_NEGATIVE);
  std::mt19937 random(5);
  std::uniform_real_distribution<double> spread(-1.0, 1.0);
  int visible_drawn = 0, hidden = 0;
  for (int trial = 0; trial < 400; ++trial) {
    const V3 eye{spread(random) * 20, spread(random) * 20, spread(random) * 20};
    const V3 target{spread(random) * 3, spread(random) * 3, spread(random) * 3};
    const V3 d = unit(sub(target, eye));
    const V3 r = unit(cross(V3{0, 0, -1}, d));
    const V3 v = unit(cross(r, d));
    // A face near the target.
    V3 corners[3];
    for (V3& p : corners)
      p = V3{target[0] + spread(random) * 4, target[1] + spread(random) * 4,
             target[2] + spread(random) * 4};
    const V3 normal = cross(sub(corners[1], corners[0]), sub(corners[2], corners[0]));
    const V3 centre{(corners[0][0] + corners[1][0] + corners[2][0]) / 3,
                    (corners[0][1] + corners[1][1] + corners[2][1]) / 3,
                    (corners[0][2] + corners[1][2] + corners[2][2]) / 3};
    const double facing = dot(sub(centre, eye), unit(normal));
    // Nearly edge-on faces, and faces reaching the near plane, are not judged.
    if (std::fabs(facing) < 0.5) continue;
    GrVertex screen[3];
    bool in_front = true;
    for (int k = 0; k < 3; ++k) {
      const V3 rel = sub(corners[k], eye);
      const double x = dot(rel, r), y = dot(rel, v), z = dot(rel, d);
      if (z < 1) in_front = false;
      const double w = 1 / (z + 1);
      screen[k] = Vertex(static_cast<float>(std::trunc(x * w * 2560 + 2552) * 0.0625),
                         static_cast<float>(std::trunc(y * w * 2560 + 1912) * 0.0625),
                         static_cast<float>(w));
    }
    if (!in_front) continue;
    const bool visible = facing <= 0;
    CoverageOf(screen[0], screen[1], screen[2]);
    const int drawn = CoveredCount();
    if (visible) {
      // Tiny faces may cover no pixel centre; the large ones must be drawn.
      const double area = std::fabs((screen[1].x - screen[0].x) * (screen[2].y - screen[0].y) -
                                    (screen[1].y - screen[0].y) * (screen[2].x - screen[0].x));
      if (area > 200) {
        ASSERT_GT(drawn, 0) << trial;
        ++visible_drawn;
      }
    } else {
      ASSERT_EQ(drawn, 0) << trial;
      ++hidden;
    }
  }
  EXPECT_GT(visible_drawn, 30);
  EXPECT_GT(hidden, 30);
}

}  // namespace
