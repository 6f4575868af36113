// Scenes of the golden frames, drawn again by the thread tests: a
// point-sampled 8x8 checkerboard on a plane leaning away from the viewer,
// with its check against the exact perspective mapping, and two quads that
// cut through each other.
#pragma once

#include <cmath>
#include <vector>

#include "board_fixture.h"

struct CheckerboardCheck {
  int judged = 0;               // pixels away from square borders
  int wrong = 0;                // of those, showing the wrong square
  int affine_would_differ = 0;  // of those, where screen-linear mapping would be wrong
};

// The plane point for texel coordinates (u, v) in 0..8: a floor receding
// with v and turning with u. Camera at the origin looking down +z; screen
// = 200 x (X / Z, Y / Z) + (160, 60).
inline void CheckerboardPoint(double u, double v, double out[3]) {
  out[0] = -4.0 + u * 1.0 + v * 0.3;
  out[1] = -1.0 + v * 0.05;
  out[2] = 2.0 + u * 0.6 + v * 2.0;
}

inline GrVertex CheckerboardCorner(double u, double v) {
  double p[3];
  CheckerboardPoint(u, v, p);
  GrVertex vertex;
  vertex.x = static_cast<float>(std::round((200 * p[0] / p[2] + 160) * 16) / 16);
  vertex.y = static_cast<float>(std::round((200 * p[1] / p[2] + 60) * 16) / 16);
  vertex.oow = static_cast<float>(1 / p[2]);
  vertex.tmuvtx[0].oow = vertex.oow;
  vertex.tmuvtx[0].sow = static_cast<float>(u * 32 / p[2]);  // s = 32 per texel
  vertex.tmuvtx[0].tow = static_cast<float>(v * 32 / p[2]);
  return vertex;
}

inline void DrawTiltedCheckerboard() {
  static std::vector<uint16_t> checker(64);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) checker[y * 8 + x] = ((x ^ y) & 1) ? 0xFFFF : 0x0000;
  }
  BoardTest::UseTexture(checker, GR_LOD_8, GR_ASPECT_1x1);
  grTexFilterMode(GR_TMU0, GR_TEXTUREFILTER_POINT_SAMPLED, GR_TEXTUREFILTER_POINT_SAMPLED);
  grConstantColorValue(0xFFFFFF);
  grColorCombine(GR_COMBINE_FUNCTION_SCALE_OTHER, GR_COMBINE_FACTOR_LOCAL,
                 GR_COMBINE_LOCAL_CONSTANT, GR_COMBINE_OTHER_TEXTURE, FXFALSE);
  const GrVertex a = CheckerboardCorner(0, 0), b = CheckerboardCorner(8, 0),
                 c = CheckerboardCorner(8, 8), d = CheckerboardCorner(0, 8);
  grDrawTriangle(&a, &b, &c);
  grDrawTriangle(&a, &c, &d);
}

// Texel coordinates at each pixel centre come from solving X/Z = sx,
// Y/Z = sy for u, v (the plane is linear in u, v: a 2x2 system). Pixels
// within a small margin of a square's border are not judged.
inline CheckerboardCheck CheckTiltedCheckerboard() {
  CheckerboardCheck check;
  const GrVertex a = CheckerboardCorner(0, 0), b = CheckerboardCorner(8, 0),
                 c = CheckerboardCorner(8, 8);
  for (int y = 0; y < BoardTest::kHeight; ++y) {
    for (int x = 0; x < BoardTest::kWidth; ++x) {
      const double sx = (x + 0.5 - 160) / 200, sy = (y + 0.5 - 60) / 200;
      const double a11 = 1.0 - sx * 0.6, a12 = 0.3 - sx * 2.0, b1 = 4.0 + sx * 2.0;
      const double a21 = 0.0 - sy * 0.6, a22 = 0.05 - sy * 2.0, b2 = 1.0 + sy * 2.0;
      const double det = a11 * a22 - a12 * a21;
      const double u = (b1 * a22 - a12 * b2) / det, v = (a11 * b2 - a21 * b1) / det;
      const double margin = 0.04;
      if (u < margin || v < margin || u > 8 - margin || v > 8 - margin) continue;
      if (std::fabs(u - std::round(u)) < margin || std::fabs(v - std::round(v)) < margin) continue;
      const int square = (static_cast<int>(u) ^ static_cast<int>(v)) & 1;
      ++check.judged;
      if (BoardTest::Pixel(x, y) != (square ? 0xFFFF : 0)) ++check.wrong;
      // Where the screen-linear mapping over the triangle a, b, c would land.
      const double area = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
      const double l1 = ((x + 0.5 - a.x) * (c.y - a.y) - (y + 0.5 - a.y) * (c.x - a.x)) / area;
      const double l2 = ((b.x - a.x) * (y + 0.5 - a.y) - (b.y - a.y) * (x + 0.5 - a.x)) / area;
      if (l1 >= 0 && l2 >= 0 && l1 + l2 <= 1) {
        const int affine = (static_cast<int>(8 * l1 + 8 * l2) ^ static_cast<int>(8 * l2)) & 1;
        if (affine != square) ++check.affine_would_differ;
      }
    }
  }
  return check;
}

// Two flat quads over [0, 96) leaning through each other under the W-buffer:
// a red one over rows 0..48 from w = 2 at the left to 40 at the right, then
// a blue one over rows 16..64 from w = 30 to 3 (linear in 1/w across x).
inline void DrawIntersectingQuads() {
  grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
  grDepthBufferFunction(GR_CMP_LESS);
  grColorCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, GR_COMBINE_LOCAL_CONSTANT,
                 GR_COMBINE_OTHER_CONSTANT, FXFALSE);
  const auto quad = [](float y0, float y1, float w_left, float w_right) {
    const GrVertex a = BoardTest::Vertex(0, y0, 1 / w_left),
                   c = BoardTest::Vertex(96, y1, 1 / w_right);
    BoardTest::Draw(a, BoardTest::Vertex(96, y0, 1 / w_right), c);
    BoardTest::Draw(a, c, BoardTest::Vertex(0, y1, 1 / w_left));
  };
  grConstantColorValue(0xE03020);
  quad(0, 48, 2, 40);
  grConstantColorValue(0x2060F0);
  quad(16, 64, 30, 3);
}
