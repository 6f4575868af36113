// Depth: the W-buffer's and Z-buffer's 16-bit values, the compare
// functions, the write mask and the clear value.
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
  }
  // The square [10, 30) x [10, 30) at distance w (and ooz = w).
  static void Square(float w, GrColor_t colour) {
    grConstantColorValue(colour);
    grColorCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, GR_COMBINE_LOCAL_CONSTANT,
                   GR_COMBINE_OTHER_CONSTANT, FXFALSE);
    GrVertex corners[4] = {Vertex(10, 10, 1 / w), Vertex(30, 10, 1 / w), Vertex(30, 30, 1 / w),
                           Vertex(10, 30, 1 / w)};
    for (GrVertex& v : corners) v.ooz = w;
    Draw(corners[0], corners[1], corners[2]);
    Draw(corners[0], corners[2], corners[3]);
  }
};

// w's float exponent and top 12 mantissa bits, from w = 1 up; saturating.
// ooz truncated and clamped to 0..65535.
TEST(DepthValueTest, WAndZBufferValues) {
  const struct {
    float w;
    uint16_t depth;
  } w_cases[] = {{-3.0f, 0},         {0.25f, 0},         {1.0f, 0},         {1.5f, 0x0800},
                 {2.0f, 0x1000},     {3.0f, 0x1800},     {1000.0f, 0x9F40},  // 2^9 x 1.953125
                 {65535.0f, 0xFFFF}, {70000.0f, 0xFFFF}, {1.0e9f, 0xFFFF}};
  for (const auto& c : w_cases) EXPECT_EQ(WBufferDepth(c.w), c.depth) << c.w;
  uint16_t previous = 0;
  for (float w = 1.0f; w < 70000.0f; w *= 1.01f) {
    ASSERT_GE(WBufferDepth(w), previous) << "w " << w;
    previous = WBufferDepth(w);
  }
  const struct {
    float ooz;
    uint16_t depth;
  } z_cases[] = {{-5.0f, 0},    {0.0f, 0},         {0.9f, 0},          {1.0f, 1},
                 {300.7f, 300}, {65534.9f, 65534}, {65535.0f, 0xFFFF}, {1.0e9f, 0xFFFF}};
  for (const auto& c : z_cases) EXPECT_EQ(ZBufferDepth(c.ooz), c.depth) << c.ooz;
}

// A second square over a first at distance 4, for each compare function and
// each nearer, equal or farther distance: whether it replaces the pixel,
// in both buffer modes. The depth stored is the first's unless replaced.
TEST_F(DepthTest, CompareFunctionsDecideWhichSurfaceStays) {
  const struct {
    GrCmpFnc_t function;
    bool nearer, equal, farther;
  } cases[] = {
      {GR_CMP_NEVER, false, false, false},  {GR_CMP_LESS, true, false, false},
      {GR_CMP_EQUAL, false, true, false},   {GR_CMP_LEQUAL, true, true, false},
      {GR_CMP_GREATER, false, false, true}, {GR_CMP_NOTEQUAL, true, false, true},
      {GR_CMP_GEQUAL, false, true, true},   {GR_CMP_ALWAYS, true, true, true},
  };
  for (const GrDepthBufferMode_t mode : {GR_DEPTHBUFFER_WBUFFER, GR_DEPTHBUFFER_ZBUFFER}) {
    grDepthBufferMode(mode);
    for (const auto& c : cases) {
      for (const auto& [w, passes] :
           {std::pair{2.0f, c.nearer}, {4.0f, c.equal}, {8.0f, c.farther}}) {
        grBufferClear(0, 0, 0xFFFF);
        grDepthBufferFunction(GR_CMP_ALWAYS);
        Square(4.0f, 0xFF0000);
        grDepthBufferFunction(c.function);
        Square(w, 0x00FF00);
        const uint16_t first = mode == GR_DEPTHBUFFER_WBUFFER ? WBufferDepth(4) : ZBufferDepth(4);
        const uint16_t second = mode == GR_DEPTHBUFFER_WBUFFER ? WBufferDepth(w) : ZBufferDepth(w);
        EXPECT_EQ(Pixel(20, 20), passes ? Pack565(0, 255, 0) : Pack565(255, 0, 0))
            << "function " << c.function << " w " << w << " mode " << mode;
        EXPECT_EQ(Depth(20, 20), passes ? second : first)
            << "function " << c.function << " w " << w << " mode " << mode;
      }
    }
  }
}

// The clear value is the farthest; with the mask off the test still
// applies but nothing is written.
TEST_F(DepthTest, ClearIsFarthestAndTheMaskStopsOnlyTheWrite) {
  EXPECT_EQ(Depth(0, 0), 0xFFFF);
  EXPECT_EQ(Depth(319, 239), 0xFFFF);
  Square(30000.0f, 0xFFFFFF);
  EXPECT_EQ(Pixel(15, 15), 0xFFFF);
  grBufferClear(0, 0, 0xFFFF);
  grDepthMask(FXFALSE);
  Square(2.0f, 0xFF0000);
  EXPECT_EQ(Pixel(15, 15), Pack565(255, 0, 0));
  EXPECT_EQ(Depth(15, 15), 0xFFFF);
  grDepthMask(FXTRUE);
  Square(5.0f, 0x00FF00);  // farther, but nothing near was stored
  EXPECT_EQ(Pixel(15, 15), Pack565(0, 255, 0));
  grDepthMask(FXFALSE);
  Square(9.0f, 0x0000FF);
  EXPECT_EQ(Pixel(15, 15), Pack565(0, 255, 0));
}

}  // namespace
