// Coverage: the pixels a triangle colours are exactly those whose centres it
// contains under the fill rule (which gives a pixel on an edge shared by two
// triangles to exactly one of them).
#include <cmath>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "board_fixture.h"

namespace {

// The fill rule evaluated pixel by pixel in exact integers (1/16 pixel):
// inside when every edge function of the counter-clockwise triangle is
// positive, or zero on a left edge (going down) or a top edge (going left).
bool CentreCovered(int64_t px, int64_t py, int64_t ax, int64_t ay, int64_t bx, int64_t by,
                   int64_t cx, int64_t cy) {
  const int64_t area = (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
  if (area == 0) return false;
  if (area < 0) {
    std::swap(bx, cx);
    std::swap(by, cy);
  }
  const int64_t x = px * 16 + 8;
  const int64_t y = py * 16 + 8;
  const int64_t corners[3][2] = {{ax, ay}, {bx, by}, {cx, cy}};
  for (int i = 0; i < 3; ++i) {
    const int64_t* from = corners[i];
    const int64_t* to = corners[(i + 1) % 3];
    const int64_t dx = to[0] - from[0];
    const int64_t dy = to[1] - from[1];
    const int64_t e = dx * (y - from[1]) - dy * (x - from[0]);
    const bool owns_ties = dy < 0 || (dy == 0 && dx < 0);
    if (e < 0 || (e == 0 && !owns_ties)) return false;
  }
  return true;
}

using CoverageTest = BoardTest;

// Triangles drawn inside the clip window [x0, x1) x [y0, y1), with corners
// from corner(random, k) (k = 0..5: x, y, x, y, x, y in 1/64 pixel) and
// axis-aligned edges every few trials, against the rule evaluated on the
// corners rounded to sixteenths, half away from zero. Every pixel drawn
// anywhere must be one the rule covers; returns the count covered.
template <typename Corner>
int CheckTriangles(uint32_t seed, int trials, Corner corner, int x0, int y0, int x1, int y1) {
  std::mt19937 random(seed);
  int covered_pixels = 0;
  for (int trial = 0; trial < trials; ++trial) {
    int64_t c64[6], c[6];
    for (int k = 0; k < 6; ++k) c64[k] = corner(random, k);
    if (trial % 5 == 0) c64[3] = c64[1];
    if (trial % 7 == 0) c64[4] = c64[0];
    GrVertex v[3] = {BoardTest::Vertex(0, 0), BoardTest::Vertex(0, 0), BoardTest::Vertex(0, 0)};
    for (int k = 0; k < 6; ++k) {
      c[k] = static_cast<int64_t>(std::round(static_cast<double>(c64[k]) / 4.0));
      (k % 2 ? v[k / 2].y : v[k / 2].x) = static_cast<float>(c64[k]) / 64.0f;
    }
    grClipWindow(0, 0, BoardTest::kWidth, BoardTest::kHeight);
    grBufferClear(0, 0, 0xFFFF);
    grClipWindow(x0, y0, x1, y1);
    const std::vector<uint8_t> drawn = BoardTest::CoverageOf(v[0], v[1], v[2]);
    int expected_count = 0, drawn_count = 0;
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) {
        const bool expected = CentreCovered(x, y, c[0], c[1], c[2], c[3], c[4], c[5]);
        EXPECT_EQ(drawn[y * BoardTest::kWidth + x] != 0, expected)
            << "trial " << trial << " pixel " << x << "," << y;
        expected_count += expected ? 1 : 0;
      }
    }
    for (const uint8_t pixel : drawn) drawn_count += pixel;
    EXPECT_EQ(drawn_count, expected_count) << "trial " << trial << ": drawn outside the window";
    if (drawn_count != expected_count) break;
    covered_pixels += expected_count;
  }
  grClipWindow(0, 0, BoardTest::kWidth, BoardTest::kHeight);
  return covered_pixels;
}

// Corners either anywhere (off the 1/16 grid too, and below zero, where
// rounding half away from zero matters) or exactly on pixel centres and
// pixel corners, so that many edges pass through centres.
int64_t RandomCorner(std::mt19937& random, int) {
  const int kind = std::uniform_int_distribution<int>(0, 3)(random);
  if (kind == 0) return std::uniform_int_distribution<int64_t>(-800, 64 * 60)(random);
  if (kind == 1) return std::uniform_int_distribution<int64_t>(-200, 16 * 60)(random) * 4;
  return std::uniform_int_distribution<int64_t>(-2, 60)(random) * 64 + (kind == 2 ? 32 : 0);
}

// Over the whole area, and in a clip window that cuts triangles above,
// below and between their corners (the rows kept must still be walked from
// the right edges).
TEST_F(CoverageTest, PixelsCoveredAreThoseWhoseCentresLieInsideByTheFillRule) {
  EXPECT_GT(CheckTriangles(1234, 300, RandomCorner, 0, 0, 70, 70), 10000);
  EXPECT_GT(CheckTriangles(1234, 300, RandomCorner, 7, 9, 43, 37), 3000);
}

// Triangles a pixel or two across, corners often on pixel centres and
// corners: many cover no centre at all, some just one.
TEST_F(CoverageTest, TinyTrianglesCoverExactlyTheCentresInsideThem) {
  int64_t origin[2] = {0, 0};
  const auto corner = [&origin](std::mt19937& random, int k) {
    if (k == 0) {
      for (int64_t& o : origin) o = std::uniform_int_distribution<int64_t>(4, 40)(random) * 64;
    }
    const int64_t step = std::uniform_int_distribution<int64_t>(-48, 144)(random);
    return origin[k % 2] +
           (std::uniform_int_distribution<int>(0, 2)(random) ? step / 32 * 32 : step);
  };
  EXPECT_GT(CheckTriangles(99, 1000, corner, 0, 0, 48, 48), 500);
}

}  // namespace
