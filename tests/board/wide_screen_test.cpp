// Screens of any size (BoardSetScreenSize): rows wider than the original
// board's memory rows get a stride of their own, and one and two drawing
// threads and the frame handed to the sink all see the same picture.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "board/board_state.h"
#include "board/board_threads.h"
#include "board/frame_sink.h"
#include "board/glide.h"
#include "board/render_state.h"

namespace {

constexpr uint16_t kBlue = 0x001F;
constexpr uint16_t kWhite = 0xFFFF;

// The lower-left half of the screen white over a blue clear, read back
// through a lock, row 0 at the bottom, packed.
std::vector<uint16_t> DrawHalf(int width, int height) {
  grBufferClear(0x0000FF, 0, 0xFFFF);
  grConstantColorValue(0xFFFFFF);
  grColorCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, GR_COMBINE_LOCAL_CONSTANT,
                 GR_COMBINE_OTHER_CONSTANT, FXFALSE);
  GrVertex a, b, c;
  b.x = static_cast<float>(width);
  c.y = static_cast<float>(height);
  a.oow = b.oow = c.oow = 1.0f;
  grDrawTriangle(&a, &b, &c);
  EXPECT_EQ(BoardBackBuffer()[0], kWhite);  // with what was recorded drawn first
  GrLfbInfo_t lock;
  lock.size = sizeof lock;
  EXPECT_TRUE(grLfbLock(GR_LFB_READ_ONLY, GR_BUFFER_BACKBUFFER, GR_LFBWRITEMODE_565, GR_ORIGIN_ANY,
                        FXFALSE, &lock));
  EXPECT_GE(lock.strideInBytes, static_cast<FxU32>(width * 2));
  std::vector<uint16_t> frame(static_cast<size_t>(width) * height);
  for (size_t y = 0; y < static_cast<size_t>(height); ++y) {
    const auto* row = static_cast<const uint16_t*>(lock.lfbPtr) + y * (lock.strideInBytes / 2);
    std::copy(row, row + width, frame.begin() + static_cast<std::ptrdiff_t>(y * width));
  }
  grLfbUnlock(GR_LFB_READ_ONLY, GR_BUFFER_BACKBUFFER);
  return frame;
}

TEST(WideScreenThreads, AnySizeDrawsTheSamePictureOnOneAndTwoThreads) {
  CountingFrameSink sink;
  BoardSetFrameSink(&sink);
  // Up to 800x600 one thread draws at once, beyond by stripes as two do.
  for (const auto& [width, height] :
       {std::pair{800, 600}, std::pair{1030, 772}, std::pair{1920, 1440}}) {
    ASSERT_TRUE(BoardSetScreenSize(width, height));
    std::vector<uint16_t> one;
    for (int threads : {1, 2}) {
      ASSERT_EQ(BoardSetThreads(threads), threads);
      grGlideInit();
      grSstSelect(0);
      ASSERT_TRUE(grSstWinOpen(0, GR_RESOLUTION_640x480, GR_REFRESH_60Hz, GR_COLORFORMAT_ARGB,
                               GR_ORIGIN_LOWER_LEFT, 2, 1));
      RenderState() = BoardRenderState{};
      grDitherMode(GR_DITHER_DISABLE);
      const std::vector<uint16_t> frame = DrawHalf(width, height);
      if (threads == 1) one = frame;
      EXPECT_TRUE(frame == one) << width << "x" << height << ", " << threads << " threads";
      int wrong = 0;  // away from the diagonal: white below it, blue above
      for (int y = 0; y < height; y += 7) {
        for (int x = 0; x < width; x += 5) {
          const double side = (x + 0.5) / width + (y + 0.5) / height - 1.0;
          if (std::fabs(side) < 0.002) continue;
          wrong += frame[static_cast<size_t>(y) * width + x] != (side < 0 ? kWhite : kBlue);
        }
      }
      EXPECT_EQ(wrong, 0) << width << "x" << height;
      grBufferSwap(1);  // the sink gets the screen's size, top row first
      ASSERT_EQ(sink.width() * sink.height(), width * height);
      EXPECT_EQ(sink.last_frame()[width - 1], kBlue);
      EXPECT_EQ(sink.last_frame()[static_cast<size_t>(height - 1) * width], kWhite);
      grGlideShutdown();
    }
  }
  EXPECT_FALSE(BoardSetScreenSize(kBoardMaxScreenSide + 1, 480));
  BoardSetScreenSize(0, 0);
  BoardSetThreads(1);
  BoardSetFrameSink(nullptr);
}

}  // namespace
