// The bump-lit scroller: the scroll and the light path, the text overlay, the
// gradient and its borders, the lighting with its 5-row shift, and a whole
// frame enlarged 2x into memory rows 42..441.
#include "effects/bump_scroller.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "board_fixture.h"

namespace {

TEST(BumpFrame, ScrollAndLightFollowTheProgress) {
  const BumpFrame start = ComputeBumpFrame(0.0f);
  EXPECT_EQ(start.effect_time, 0.0f);
  EXPECT_EQ(start.scroll, 0);
  EXPECT_EQ(start.light_x, 144);  // trunc(sin 0.2 x 100 + 125)
  EXPECT_EQ(start.light_y, 150);
  // T = 12.5 puts the text's first row at the top of the picture.
  EXPECT_EQ(ComputeBumpFrame(12.5f / 75.0f).scroll, 200);
  // T = 0.1: sin(0.3) x 100 + 125 = 154.55; cos(0.1862) x 50 + 100 = 149.14.
  const BumpFrame later = ComputeBumpFrame(0.1f / 75.0f);
  EXPECT_EQ(later.scroll, 1);
  EXPECT_EQ(later.light_x, 154);
  EXPECT_EQ(later.light_y, 149);
}

TEST(BumpColorTable, GreyLevelsWithAYellowWhite) {
  uint16_t table[256];
  BuildBumpColorTable(255, table);
  EXPECT_EQ(table[255], 0xFFEF);  // red 31, green 63, blue 15
  EXPECT_EQ(table[0], 0);
  EXPECT_EQ(table[128], (15 << 11) | (31 << 5) | 7);  // v = 127
  BuildBumpColorTable(0, table);
  for (uint16_t entry : table) ASSERT_EQ(entry, 0);
}

// Text row r holds r % 250 + 1 everywhere except column 5, which is 0.
std::vector<uint8_t> MakeText() {
  std::vector<uint8_t> text(320 * 1024);
  for (int r = 0; r < 1024; ++r) {
    for (int x = 0; x < 320; ++x)
      text[r * 320 + x] = x == 5 ? 0 : static_cast<uint8_t>(r % 250 + 1);
  }
  return text;
}

TEST(ScrollerText, OnlyTheVisibleRowsAreOverlaidAndZeroIsTransparent) {
  const std::vector<uint8_t> text = MakeText();
  struct Case {
    int scroll;
    int first_picture_row;  // where text row first_text_row lands
    int first_text_row;
    int rows;
  };
  const Case cases[] = {{0, 200, 0, 0},      {1, 199, 0, 1},     {200, 0, 0, 200},
                        {1100, 0, 900, 124}, {1224, 0, 1024, 0}, {5000, 0, 0, 0}};
  for (const Case& c : cases) {
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
  // Each pair: the height up-left and the height here, and the slope value.
  struct Pair {
    uint8_t above_left, here, expected;
  };
  const Pair pairs[] = {{0, 255, 1},   {255, 0, 255}, {10, 11, 128},
                        {11, 10, 128}, {10, 13, 127}, {13, 10, 129}};
  for (int i = 0; i < 6; ++i) {
    const int y = 20 + 2 * i;
    const int x = 30 + 2 * i;
    source[(y - 1) * 320 + (x - 1)] = pairs[i].above_left;
    source[y * 320 + x] = pairs[i].here;
  }
  ComputeGradient(source.data(), gradient.data());
  for (int i = 0; i < 6; ++i) {
    const int y = 20 + 2 * i;
    const int x = 30 + 2 * i;
    EXPECT_EQ(gradient[y * 320 + x], pairs[i].expected) << "pair " << i;
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

// The light picture holds (u + 3v) | 1 at (u, v); the light is at (40, 30).
TEST(BumpLighting, LooksUpTheShiftedLightFiveRowsHigher) {
  std::vector<uint8_t> gradient(320 * 200, 128);
  SetGradientBorders(gradient.data());
  gradient[100 * 320 + 50] = 255;  // pushes u past 255
  gradient[20 * 320 + 60] = 1;     // pushes v below 0
  std::vector<uint8_t> light(256 * 256);
  for (int v = 0; v < 256; ++v) {
    for (int u = 0; u < 256; ++u) light[v * 256 + u] = static_cast<uint8_t>((u + 3 * v) | 1);
  }
  std::vector<uint8_t> work(320 * 200, 99);
  LightBumpPicture(gradient.data(), light.data(), 40, 30, work.data());
  const struct {
    int row, column, expected;
  } spots[] = {
      {20, 100, 45},  // height-field row 25: u = 100 - 40 + 128, v = 25 - 30 + 128
      {5, 100, 1},    // the first lit row, from row 10: u = 188, v = 108
      {4, 100, 0},    // above it
      {95, 50, 0},    // u = 50 - 40 + 255 = 265
      {15, 60, 0},    // v = 20 - 30 + 1 = -9
      {20, 0, 0},     // the left border's slope 0: u = -40
      {199, 100, 0},  // below the last lit row
  };
  for (const auto& spot : spots) {
    EXPECT_EQ(work[spot.row * 320 + spot.column], spot.expected)
        << "row " << spot.row << " column " << spot.column;
  }
}

class BumpOnBoard : public EffectBoardTest {};

TEST_F(BumpOnBoard, AFlatFieldIsLitWhereTheLightPictureReaches) {
  uint16_t* back = OpenScreen(0x0841);
  ASSERT_NE(back, nullptr);
  std::fill(light_.begin(), light_.end(), 200);
  FadeLevel = 255;
  // Progress 0: no text, light at (144, 150); the flat field's slope is 128,
  // so u = X - 16 and v = Y - 22 for height-field row Y.
  DrawBumpScroller(0.0f);
  uint16_t table[256];
  BuildBumpColorTable(255, table);
  for (int row = 0; row < 480; ++row) {
    for (int column = 0; column < kBoardStridePixels; ++column) {
      uint16_t expected = 0x0841;
      if (row >= 42 && row <= 441 && column < 640) {
        const int picture_row = (441 - row) / 2;
        const int y = picture_row + 5;
        const int x = column / 2;
        const bool lit = y >= 22 && y <= 198 && x >= 16 && x <= 271;
        expected = lit ? table[200] : 0;
      }
      ASSERT_EQ(back[row * kBoardStridePixels + column], expected)
          << "memory row " << row << " column " << column;
    }
  }
}

}  // namespace
