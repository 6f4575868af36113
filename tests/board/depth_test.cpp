// Depth: the W-buffer's 16-bit values, the LESS test, the write mask and the
// clear value.
#include "board/depth.h"

#include "board_fixture.h"

namespace {

class DepthTest : public BoardTest {
 protected:
  void SetUp() override {
    BoardTest::SetUp();
    grDepthBufferMode(GR_DEPTHBUFFER_WBUFFER);
    grDepthBufferFunction(GR_CMP_LESS);
    grDepthMask(FXTRUE);
    grColorCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, GR_COMBINE_LOCAL_CONSTANT,
                   GR_COMBINE_OTHER_CONSTANT, FXFALSE);
  }
  // A square of pixels [x0, x0 + 20) x [y0, y0 + 20) at distance w.
  static void Square(float x0, float y0, float w, GrColor_t colour) {
    grConstantColorValue(colour);
    const GrVertex a = Vertex(x0, y0, 1 / w), b = Vertex(x0 + 20, y0, 1 / w),
                   c = Vertex(x0 + 20, y0 + 20, 1 / w), d = Vertex(x0, y0 + 20, 1 / w);
    Draw(a, b, c);
    Draw(a, c, d);
  }
};

TEST(WBufferDepthTest, IsAPseudoFloatOfWThatGrowsWithDistance) {
  EXPECT_EQ(WBufferDepth(-3.0f), 0);
  EXPECT_EQ(WBufferDepth(0.25f), 0);
  EXPECT_EQ(WBufferDepth(1.0f), 0);
  EXPECT_EQ(WBufferDepth(1.5f), 0x0800);     // exponent 0, mantissa one half
  EXPECT_EQ(WBufferDepth(2.0f), 0x1000);     // exponent 1
  EXPECT_EQ(WBufferDepth(3.0f), 0x1800);     // exponent 1, mantissa one half
  EXPECT_EQ(WBufferDepth(1000.0f), 0x9F40);  // 2^9 x 1.953125
  EXPECT_EQ(WBufferDepth(65535.0f), 0xFFFF);
  EXPECT_EQ(WBufferDepth(1.0e9f), 0xFFFF);
  uint16_t previous = 0;
  for (float w = 1.0f; w < 70000.0f; w *= 1.01f) {
    const uint16_t depth = WBufferDepth(w);
    ASSERT_GE(depth, previous) << "w " << w;
    previous = depth;
  }
}

TEST_F(DepthTest, ClearSetsTheFarthestValueWhichAnyDistanceBeats) {
  for (int y = 0; y < kHeight; y += 17) {
    for (int x = 0; x < kWidth; x += 13) ASSERT_EQ(Depth(x, y), 0xFFFF);
  }
  Square(10, 10, 30000.0f, 0xFFFFFF);
  EXPECT_EQ(Pixel(15, 15), 0xFFFF);
  EXPECT_EQ(Depth(15, 15), WBufferDepth(30000.0f));
}

TEST_F(DepthTest, NearerSurfaceWinsWhateverTheOrder) {
  for (const bool near_first : {true, false}) {
    grBufferClear(0, 0, 0xFFFF);
    if (near_first) {
      Square(10, 10, 2.0f, 0xFF0000);
      Square(20, 20, 5.0f, 0x00FF00);
    } else {
      Square(20, 20, 5.0f, 0x00FF00);
      Square(10, 10, 2.0f, 0xFF0000);
    }
    EXPECT_EQ(Pixel(25, 25), Pack565(255, 0, 0)) << near_first;  // overlap: the near one
    EXPECT_EQ(Pixel(35, 35), Pack565(0, 255, 0)) << near_first;  // far one alone
    EXPECT_EQ(Depth(25, 25), WBufferDepth(2.0f));
  }
  // LESS is strict: the same distance again does not replace the pixel.
  Square(10, 10, 2.0f, 0x0000FF);
  EXPECT_EQ(Pixel(25, 25), Pack565(255, 0, 0));
}

TEST_F(DepthTest, MaskOffTestsButDoesNotWrite) {
  grDepthMask(FXFALSE);
  Square(10, 10, 2.0f, 0xFF0000);
  EXPECT_EQ(Pixel(15, 15), Pack565(255, 0, 0));
  EXPECT_EQ(Depth(15, 15), 0xFFFF);
  grDepthMask(FXTRUE);
  Square(10, 10, 5.0f, 0x00FF00);  // farther, but nothing near was stored
  EXPECT_EQ(Pixel(15, 15), Pack565(0, 255, 0));
  grDepthMask(FXFALSE);
  Square(10, 10, 9.0f, 0x0000FF);  // the test still applies with the mask off
  EXPECT_EQ(Pixel(15, 15), Pack565(0, 255, 0));
}

// Depth follows 1/oow across a triangle, not a straight line in w.
TEST_F(DepthTest, DepthIsTakenFromThePerspectiveCorrectW) {
  const GrVertex a = Vertex(0, 0, 1.0f / 2), b = Vertex(100, 0, 1.0f / 50),
                 c = Vertex(0, 100, 1.0f / 2);
  grConstantColorValue(0xFFFFFF);
  Draw(a, b, c);
  for (int x = 0; x < 90; x += 7) {
    const double oow = 0.5 + (0.02 - 0.5) * (x + 0.5) / 100.0;
    const uint16_t expected = WBufferDepth(static_cast<float>(1.0 / oow));
    EXPECT_NEAR(Depth(x, 3), expected, 2) << x;
  }
}

}  // namespace
