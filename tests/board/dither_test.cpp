// Dither: the 4x4 ordered pattern's 565 values, its mean over a block, and
// plain truncation when dithering is off.
#include "board/colour_convert.h"

#include "board_fixture.h"

namespace {

class DitherTest : public BoardTest {
 protected:
  // A flat grey over the 8 x 8 pixels at the origin.
  static void FlatGrey(uint32_t v) {
    grConstantColorValue((v << 16) | (v << 8) | v);
    grColorCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, GR_COMBINE_LOCAL_CONSTANT,
                   GR_COMBINE_OTHER_CONSTANT, FXFALSE);
    Draw(Vertex(0, 0), Vertex(8, 0), Vertex(8, 8));
    Draw(Vertex(0, 0), Vertex(8, 8), Vertex(0, 8));
  }
};

// Grey 100 is 12.157 in 5 bits and 24.706 in 6 bits: red and blue round up
// where the threshold is 13 or more, green where it is 5 or more.
TEST_F(DitherTest, FlatGreyGivesThePatternsExact565Values) {
  grDitherMode(GR_DITHER_4x4);
  FlatGrey(100);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      const int m = kDitherMatrix4x4[y & 3][x & 3];
      const uint16_t five = m >= 13 ? 13 : 12;
      const uint16_t six = m >= 5 ? 25 : 24;
      ASSERT_EQ(Pixel(x, y), (five << 11) | (six << 5) | five) << x << "," << y;
    }
  }
  // The same pixels spelled out for the bottom-left block, row 0 first.
  const uint16_t low = (12 << 11) | (24 << 5) | 12, mid = (12 << 11) | (25 << 5) | 12,
                 high = (13 << 11) | (25 << 5) | 13;
  const uint16_t expected[4][4] = {
      {low, mid, low, mid}, {mid, low, high, mid}, {low, mid, low, mid}, {high, mid, high, mid}};
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(Pixel(x, y), expected[y][x]) << x << "," << y;
  }
}

TEST_F(DitherTest, BlockMeanStaysCloseToTheExactValueForEveryGrey) {
  grDitherMode(GR_DITHER_4x4);
  for (uint32_t v = 0; v < 256; ++v) {
    FlatGrey(v);
    double red = 0, green = 0;
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 4; ++x) {
        red += Pixel(x, y) >> 11;
        green += (Pixel(x, y) >> 5) & 63;
      }
    }
    ASSERT_NEAR(red / 16, v * 31.0 / 255, 0.06) << v;
    ASSERT_NEAR(green / 16, v * 63.0 / 255, 0.06) << v;
  }
  FlatGrey(255);
  EXPECT_EQ(Pixel(3, 3), 0xFFFF);  // full white never dithers down
  FlatGrey(0);
  EXPECT_EQ(Pixel(3, 3), 0);
}

TEST_F(DitherTest, WithoutDitherChannelsAreTruncated) {
  for (uint32_t v = 0; v < 256; v += 5) {
    FlatGrey(v);
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 4; ++x) ASSERT_EQ(Pixel(x, y), Pack565(v, v, v)) << v;
    }
  }
}

// The 2x2 pattern also keeps the mean of a 2x2 block near the exact value.
TEST_F(DitherTest, TwoByTwoDitherKeepsTheMean) {
  grDitherMode(GR_DITHER_2x2);
  for (uint32_t v = 0; v < 256; v += 3) {
    FlatGrey(v);
    double green = 0;
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 2; ++x) green += (Pixel(x, y) >> 5) & 63;
    }
    ASSERT_NEAR(green / 4, v * 63.0 / 255, 0.2) << v;
    ASSERT_EQ(Pixel(0, 0), Pixel(2, 2));  // the pattern repeats every 2 pixels
  }
}

}  // namespace
