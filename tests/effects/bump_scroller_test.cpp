// The bump-lit scroller: the scroll and the light path, the text overlay, the
// gradient and its borders, and a whole frame: lit with its 5-row shift, in
// the colour table's yellowish grey, enlarged 2x into memory rows 42..441.
#include "effects/bump_scroller.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "board_fixture.h"

namespace {

// T runs from 0 to 75 over the row; the light is at trunc(sin(T + 0.2) x 100
// + 125), trunc(cos(1.862 T) x 50 + 100).
TEST(BumpFrame, ScrollAndLightFollowTheProgress) {
  const struct {
    float effect_time;
    int scroll, light_x, light_y;
  } cases[] = {{0.0f, 0, 144, 150},     // 144.87, 150
               {0.1f, 1, 154, 149},     // 154.55, 149.14
               {12.5f, 200, 138, 85}};  // 138.32, 85.85; the text's first row at the top
  for (const auto& c : cases) {
    const BumpFrame frame = ComputeBumpFrame(c.effect_time / 75.0f);
    EXPECT_EQ(frame.scroll, c.scroll) << c.effect_time;
    EXPECT_EQ(frame.light_x, c.light_x) << c.effect_time;
    EXPECT_EQ(frame.light_y, c.light_y) << c.effect_time;
  }
}

// Text row r holds r % 250 + 1 everywhere except column 5, which is 0.
TEST(ScrollerText, OnlyTheVisibleRowsAreOverlaidAndZeroIsTransparent) {
  std::vector<uint8_t> text(320 * 1024);
  for (int i = 0; i < 320 * 1024; ++i) text[i] = i % 320 == 5 ? 0 : i / 320 % 250 + 1;
  const struct {
    int scroll;
    int first_picture_row;  // where text row first_text_row lands
    int first_text_row;
    int rows;
  } cases[] = {{0, 200, 0, 0},      {1, 199, 0, 1},     {200, 0, 0, 200},
               {1100, 0, 900, 124}, {1224, 0, 1024, 0}, {5000, 0, 0, 0}};
  for (const auto& c : cases) {
    std::vector<uint8_t> work(320 * 200, 251);  // background
    OverlayScrollerText(text.data(), c.scroll, work.data());
    for (int y = 0; y < 200; ++y) {
      const bool covered = y >= c.first_picture_row && y < c.first_picture_row + c.rows;
      const int text_row = c.first_text_row + (y - c.first_picture_row);
      for (int x = 0; x < 320; ++x) {
        const int expected = covered && x != 5 ? text_row % 250 + 1 : 251;
        ASSERT_EQ(work[y * 320 + x], expected)
            << "scroll " << c.scroll << " row " << y << " column " << x;
      }
    }
  }
}

TEST(BumpGradient, HalvedSignedDifferenceTowardZeroInsideTheBorder) {
  std::vector<uint8_t> source(320 * 200, 0);
  std::vector<uint8_t> gradient(320 * 200, 7);
  // Each pair: the height up-left and the height here, and the slope value,
  // placed on the diagonal at (30 + 2i, 20 + 2i).
  const struct {
    uint8_t above_left, here, expected;
  } pairs[] = {{0, 255, 1},   {255, 0, 255}, {10, 11, 128},
               {11, 10, 128}, {10, 13, 127}, {13, 10, 129}};
  for (int i = 0; i < 6; ++i) {
    source[(19 + 2 * i) * 320 + 29 + 2 * i] = pairs[i].above_left;
    source[(20 + 2 * i) * 320 + 30 + 2 * i] = pairs[i].here;
  }
  ComputeGradient(source.data(), gradient.data());
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(gradient[(20 + 2 * i) * 320 + 30 + 2 * i], pairs[i].expected) << "pair " << i;
  }
  for (int x = 0; x < 320; ++x) {
    EXPECT_TRUE(gradient[x] == 7 && gradient[199 * 320 + x] == 7) << "rows 0 and 199 stay";
  }
  SetGradientBorders(gradient.data());
  for (int y = 0; y < 200; ++y) {
    EXPECT_EQ(gradient[y * 320], 0);
    EXPECT_EQ(gradient[y * 320 + 319], 255);
  }
}

class BumpOnBoard : public EffectBoardTest {};

// The light picture is 200 in its left half (u < 128) and 100 in its right.
TEST_F(BumpOnBoard, AFlatFieldIsLitWhereTheLightPictureReaches) {
  uint16_t* back = OpenScreen(0x0841);
  ASSERT_NE(back, nullptr);
  for (size_t i = 0; i < light_.size(); ++i) light_[i] = i % 256 < 128 ? 200 : 100;
  FadeLevel = 255;
  // Progress 0: no text, light at (144, 150); the flat field's slope is 128,
  // so u = X - 16 and v = Y - 22 for height-field row Y.
  DrawBumpScroller(0.0f);
  // Levels 199 and 99 (x 255 / 256): red >> 3, green >> 2, blue one bit shorter.
  const uint16_t bright = (24 << 11) | (49 << 5) | 12, dim = (12 << 11) | (24 << 5) | 6;
  for (int row = 0; row < 480; ++row) {
    for (int column = 0; column < kBoardStridePixels; ++column) {
      uint16_t expected = 0x0841;
      if (row >= 42 && row <= 441 && column < 640) {
        const int y = (441 - row) / 2 + 5;  // memory rows 441 and 440 hold picture row 0
        const int x = column / 2;
        const bool lit = y >= 22 && y <= 198 && x >= 16 && x <= 271;
        expected = lit ? (x - 16 < 128 ? bright : dim) : 0;
      }
      ASSERT_EQ(back[row * kBoardStridePixels + column], expected)
          << "memory row " << row << " column " << column;
    }
  }
}

}  // namespace
