// Coverage: the pixels a triangle colours are exactly those whose centres it
// contains under the fill rule, and a mesh colours each of its pixels once.
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

// A corner on the 1/16 grid, given in sixteenths.
GrVertex At16(int64_t x16, int64_t y16) {
  return BoardTest::Vertex(static_cast<float>(x16) / 16.0f, static_cast<float>(y16) / 16.0f);
}

using CoverageTest = BoardTest;

// Random triangles against the rule, inside the clip window [x0, x1) x
// [y0, y1); returns how many pixels the rule covered there.
int CheckRandomTriangles(int x0, int y0, int x1, int y1) {
  constexpr int kWidth = BoardTest::kWidth;
  constexpr int kHeight = BoardTest::kHeight;
  std::mt19937 random(1234);
  // Corners either anywhere on the grid or exactly on pixel centres and
  // pixel corners, so that many edges pass through centres.
  std::uniform_int_distribution<int64_t> anywhere(-200, 16 * 60);
  std::uniform_int_distribution<int64_t> cell(-2, 60);
  std::uniform_int_distribution<int> snap(0, 2);
  int covered_pixels = 0;
  for (int trial = 0; trial < 300; ++trial) {
    int64_t c[6];
    for (int64_t& value : c) {
      const int kind = snap(random);
      value = kind == 0 ? anywhere(random) : cell(random) * 16 + (kind == 1 ? 8 : 0);
    }
    // Axis-aligned edges every few trials: horizontal and vertical ties.
    if (trial % 5 == 0) c[3] = c[1];
    if (trial % 7 == 0) c[4] = c[0];
    grClipWindow(0, 0, kWidth, kHeight);
    grBufferClear(0, 0, 0xFFFF);
    grClipWindow(x0, y0, x1, y1);
    const std::vector<uint8_t> drawn =
        BoardTest::CoverageOf(At16(c[0], c[1]), At16(c[2], c[3]), At16(c[4], c[5]));
    for (int y = 0; y < 70; ++y) {
      for (int x = 0; x < 70; ++x) {
        const bool expected = x >= x0 && x < x1 && y >= y0 && y < y1 &&
                              CentreCovered(x, y, c[0], c[1], c[2], c[3], c[4], c[5]);
        EXPECT_EQ(drawn[y * kWidth + x] != 0, expected)
            << "trial " << trial << " pixel " << x << "," << y;
        if (drawn[y * kWidth + x] != 0 && !expected) return -1;
        covered_pixels += expected ? 1 : 0;
      }
    }
  }
  grClipWindow(0, 0, kWidth, kHeight);
  return covered_pixels;
}

TEST_F(CoverageTest, PixelsCoveredAreThoseWhoseCentresLieInsideByTheFillRule) {
  EXPECT_GT(CheckRandomTriangles(0, 0, kWidth, kHeight), 10000);  // not all empty
}

// A clip window that cuts triangles above, below and between their corners:
// the rows kept must still be walked from the right edges.
TEST_F(CoverageTest, ClippedTrianglesKeepTheirPixelsInsideTheWindow) {
  EXPECT_GT(CheckRandomTriangles(7, 9, 43, 37), 3000);
}

// Triangles a pixel or two across, corners often on pixel centres and
// corners: many cover no centre at all, some just one. The pixels drawn are
// exactly those the rule covers, no more anywhere on the screen.
TEST_F(CoverageTest, TinyTrianglesCoverExactlyTheCentresInsideThem) {
  std::mt19937 random(99);
  std::uniform_int_distribution<int64_t> base(4, 40);
  std::uniform_int_distribution<int64_t> offset(-12, 36);  // sixteenths from a pixel corner
  std::uniform_int_distribution<int> snap(0, 2);
  int empty_triangles = 0;
  int covered_pixels = 0;
  for (int trial = 0; trial < 1000; ++trial) {
    const int64_t origin[2] = {base(random) * 16, base(random) * 16};
    int64_t c[6];
    for (int k = 0; k < 6; ++k) {
      // Half the corners on half pixels: centres and corners, where ties are.
      const int64_t step = offset(random);
      c[k] = origin[k % 2] + (snap(random) == 0 ? step : step / 8 * 8);
    }
    if (trial % 5 == 0) c[3] = c[1];
    if (trial % 7 == 0) c[4] = c[0];
    const std::vector<uint8_t> drawn =
        CoverageOf(At16(c[0], c[1]), At16(c[2], c[3]), At16(c[4], c[5]));
    int expected_count = 0;
    for (int64_t y = origin[1] / 16 - 2; y <= origin[1] / 16 + 4; ++y) {
      for (int64_t x = origin[0] / 16 - 2; x <= origin[0] / 16 + 4; ++x) {
        const bool expected = CentreCovered(x, y, c[0], c[1], c[2], c[3], c[4], c[5]);
        EXPECT_EQ(drawn[y * kWidth + x] != 0, expected)
            << "trial " << trial << " pixel " << x << "," << y;
        expected_count += expected ? 1 : 0;
      }
    }
    int drawn_count = 0;
    for (const uint8_t pixel : drawn) drawn_count += pixel;
    ASSERT_EQ(drawn_count, expected_count) << "trial " << trial;
    empty_triangles += expected_count == 0 ? 1 : 0;
    covered_pixels += expected_count;
  }
  // Both kinds were drawn plenty.
  EXPECT_GT(empty_triangles, 100);
  EXPECT_GT(covered_pixels, 500);
}

// A jittered grid of quads over a rectangle whose sides avoid pixel centres;
// each quad is two triangles, alternately split along either diagonal and
// drawn in either winding. Every centre inside the rectangle must be hit by
// exactly one triangle, and none outside it.
TEST_F(CoverageTest, TrianglesOfAMeshCoverEachPixelExactlyOnce) {
  constexpr int kCells = 8;
  const int64_t left = 16 * 3 + 4, bottom = 16 * 2 + 4;  // x 3.25, y 2.25
  const int64_t cell16 = 16 * 7;
  std::mt19937 random(99);
  std::uniform_int_distribution<int64_t> jitter(-40, 40);
  int64_t gx[kCells + 1][kCells + 1], gy[kCells + 1][kCells + 1];
  for (int j = 0; j <= kCells; ++j) {
    for (int i = 0; i <= kCells; ++i) {
      const bool inner = i > 0 && i < kCells && j > 0 && j < kCells;
      gx[j][i] = left + i * cell16 + (inner ? jitter(random) : 0);
      gy[j][i] = bottom + j * cell16 + (inner ? jitter(random) : 0);
      // Some inner corners sit exactly on pixel centres.
      if (inner && (i + j) % 3 == 0) {
        gx[j][i] = gx[j][i] / 16 * 16 + 8;
        gy[j][i] = gy[j][i] / 16 * 16 + 8;
      }
    }
  }
  std::vector<int> hits(static_cast<size_t>(kWidth) * kHeight, 0);
  const auto add = [&](int j0, int i0, int j1, int i1, int j2, int i2, bool reverse) {
    GrVertex a = At16(gx[j0][i0], gy[j0][i0]);
    GrVertex b = At16(gx[j1][i1], gy[j1][i1]);
    GrVertex c = At16(gx[j2][i2], gy[j2][i2]);
    if (reverse) std::swap(b, c);
    const std::vector<uint8_t> drawn = CoverageOf(a, b, c);
    for (size_t p = 0; p < drawn.size(); ++p) hits[p] += drawn[p];
  };
  for (int j = 0; j < kCells; ++j) {
    for (int i = 0; i < kCells; ++i) {
      const bool reverse = (i * 3 + j) % 2 == 0;
      if ((i + j) % 2 == 0) {
        add(j, i, j, i + 1, j + 1, i + 1, reverse);
        add(j, i, j + 1, i + 1, j + 1, i, !reverse);
      } else {
        add(j, i, j, i + 1, j + 1, i, reverse);
        add(j, i + 1, j + 1, i + 1, j + 1, i, !reverse);
      }
    }
  }
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const int64_t cx = x * 16 + 8, cy = y * 16 + 8;
      const bool inside =
          cx > left && cx < left + kCells * cell16 && cy > bottom && cy < bottom + kCells * cell16;
      ASSERT_EQ(hits[y * kWidth + x], inside ? 1 : 0) << "pixel " << x << "," << y;
    }
  }
}

// A fan around a centre vertex placed on a pixel centre, like the fans the
// scene renderer sends: the centre pixel and every spoke are hit once.
TEST_F(CoverageTest, FanAroundAPixelCentreCoversItOnce) {
  const float cx = 100.5f, cy = 100.5f;
  const float ring[][2] = {{130, 100.5f}, {121.25f, 121.25f}, {100.5f, 131},   {79, 121},
                           {70, 100.5f},  {80.0625f, 80},     {100.5f, 70.5f}, {121, 79}};
  std::vector<int> hits(static_cast<size_t>(kWidth) * kHeight, 0);
  for (int k = 0; k < 8; ++k) {
    const auto& p = ring[k];
    const auto& q = ring[(k + 1) % 8];
    const std::vector<uint8_t> drawn =
        CoverageOf(Vertex(cx, cy), Vertex(p[0], p[1]), Vertex(q[0], q[1]));
    for (size_t i = 0; i < drawn.size(); ++i) hits[i] += drawn[i];
  }
  int max_hits = 0, total = 0;
  for (int h : hits) {
    max_hits = std::max(max_hits, h);
    total += h;
  }
  EXPECT_EQ(hits[100 * kWidth + 100], 1);
  EXPECT_EQ(max_hits, 1);
  EXPECT_GT(total, 1500);
}

}  // namespace
