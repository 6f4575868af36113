// The logo row: its colour table at the fade edges, the lower-left row order,
// the stride; and a frame of either effect whose lock fails. The whole logo
// on the board shows in the scaled-effect tests.
#include "effects/logo.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "board/call_record.h"
#include "board_fixture.h"
#include "effects/bump_scroller.h"

namespace {

TEST(LogoColorTable, FoldsTheFadeIntoEachField) {
  const struct {
    uint8_t r, g, b;
    int32_t fade;
    uint16_t expected;
  } cases[] = {
      {63, 63, 63, 255, 0xFFDF},  // red 31, green 62, blue 31: not 0xFFFF
      {63, 0, 0, 128, 15 << 11},  // (63 x 128) >> 9 = 15
      {0, 63, 0, 255, 62 << 5},   // green keeps one bit more than red
      {0, 0, 63, 255, 31},        // blue: ((63 x 255) >> 8) >> 1
      {0, 0, 3, 255, 1},          // ((3 x 255) >> 8) >> 1 = 1
      {63, 63, 63, 0, 0},         // fade 0 is black
      {32, 16, 8, 200, (12 << 11) | (12 << 5) | 3},
  };
  for (const auto& c : cases) {
    uint8_t palette[768] = {};
    std::memcpy(&palette[3 * 77], &c, 3);
    uint16_t table[256];
    BuildLogoColorTable(palette, c.fade, table);
    EXPECT_EQ(table[77], c.expected)
        << int(c.r) << "," << int(c.g) << "," << int(c.b) << " fade " << c.fade;
    EXPECT_EQ(table[0], 0);
  }
}

TEST(LogoPicture, TopRowGoesToTheHighestMemoryRowAndTheStrideIsRespected) {
  constexpr int kStridePixels = 650;  // 1300 bytes: ten spare pixels per row
  std::vector<uint8_t> picture(640 * 480);
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) picture[y * 640 + x] = static_cast<uint8_t>(y + x);
  }
  uint16_t table[256];
  for (int i = 0; i < 256; ++i) table[i] = static_cast<uint16_t>(0x100 + i);
  std::vector<uint16_t> memory(kStridePixels * 480, 0xABCD);
  WriteLogoPicture(picture.data(), table, memory.data(), kStridePixels * 2);
  for (int row = 0; row < 480; ++row) {
    const int y = 479 - row;
    for (int x = 0; x < 640; ++x) {
      ASSERT_EQ(memory[row * kStridePixels + x], 0x100 + static_cast<uint8_t>(y + x))
          << "memory row " << row << " column " << x;
    }
    for (int x = 640; x < kStridePixels; ++x) {
      ASSERT_EQ(memory[row * kStridePixels + x], 0xABCD) << "past the row, memory row " << row;
    }
  }
}

class EffectOnBoard : public EffectBoardTest {};

// The sizes pass the early guards, but no board is open, so the lock itself
// fails: each effect skips the frame, not writing through a null pointer.
TEST_F(EffectOnBoard, AFailedLockDrawsNothingInEitherEffect) {
  ScreenWidth = ViewWidth = 640;
  ScreenHeight = ViewHeight = 480;
  FadeLevel = 255;
  for (void (*draw)() : {+[] { DrawLogo(0.0f); }, +[] { DrawBumpScroller(0.5f); }}) {
    BoardCallLog log;
    BoardSetCallRecorder(&log);
    draw();
    BoardSetCallRecorder(nullptr);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"grLfbLock(1,1,0,255,0)"}));
  }
}

}  // namespace
