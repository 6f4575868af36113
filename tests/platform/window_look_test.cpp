// The window's icon and cursor: well-formed pictures, and the cursor shown
// over a window but hidden in full screen.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <vector>

#include "platform/picture_window.h"
#include "platform/window_art.h"

// SDL's video start-up opens a D-Bus connection whose buffers libdbus keeps
// for the life of the process; the leak checker of the sanitizer builds is
// told that this one is not ours.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libdbus-1.so\n";
}

namespace {

uint32_t Alpha(const platform::ArgbImage& image, int x, int y) {
  return image.pixels[static_cast<size_t>(y) * image.width + x] >> 24;
}

TEST(WindowArt, IconHasRoundedTransparentCornersAndAPictureInside) {
  for (const int size : {16, 32, 64}) {
    const platform::ArgbImage icon = platform::DrawDemoIcon(size);
    ASSERT_EQ((std::vector<size_t>{size_t(icon.width), size_t(icon.height), icon.pixels.size()}),
              (std::vector<size_t>{size_t(size), size_t(size), size_t(size) * size}));
    const int last = size - 1;
    for (const auto& [x, y] : {std::pair{0, 0}, {last, 0}, {0, last}, {last, last}}) {
      EXPECT_EQ(Alpha(icon, x, y), 0u) << size << ": corner " << x << "," << y;
    }
    EXPECT_EQ(Alpha(icon, size / 2, size / 2), 255u) << size;
    EXPECT_EQ(Alpha(icon, size / 2, 1), 255u) << size;  // the edge between the corners
    std::set<uint32_t> colours(icon.pixels.begin(), icon.pixels.end());
    EXPECT_GT(colours.size(), 8u) << size << ": a flat picture";
  }
}

TEST(WindowArt, CursorPointsWithAnOpaqueTipAndLeavesTheRestClear) {
  const platform::ArgbImage cursor = platform::DrawDemoCursor();
  ASSERT_EQ(cursor.width * cursor.height, 32 * 32);
  ASSERT_EQ(cursor.pixels.size(), 32u * 32u);
  ASSERT_TRUE(cursor.hot_x >= 0 && cursor.hot_x < 4 && cursor.hot_y >= 0 && cursor.hot_y < 4)
      << "the tip sits in the upper left corner";
  EXPECT_EQ(Alpha(cursor, cursor.hot_x, cursor.hot_y), 255u);
  EXPECT_EQ(Alpha(cursor, 5, 12), 255u);  // inside the arrow's body
  for (const auto& [x, y] : {std::pair{31, 0}, {0, 31}, {31, 31}})
    EXPECT_EQ(Alpha(cursor, x, y), 0u);
}

TEST(PictureWindow, OwnCursorOverAWindowNoneInFullScreen) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs a display (make test provides Xvfb)";
  EXPECT_FALSE(platform::PictureWindowLookNow().own_cursor);  // no window yet
  for (const bool fullscreen : {false, true}) {
    platform::PictureWindowOptions options;
    options.fullscreen = fullscreen;
    options.scale = 1;
    platform::SetPictureWindowOptions(options);
    ASSERT_TRUE(platform::OpenPictureWindow(640, 480)) << fullscreen;
    const platform::PictureWindowLook look = platform::PictureWindowLookNow();
    platform::ClosePictureWindow();
    EXPECT_EQ(look.fullscreen, fullscreen);
    EXPECT_TRUE(look.own_cursor) << fullscreen;
    EXPECT_EQ(look.cursor_shown, !fullscreen);
  }
}

}  // namespace
