// Screens of any size (BoardSetScreenSize): rows wider than the original
// board's memory rows get a stride of their own, and every thread count and
// the frame handed to the sink see the same picture.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "board/board_state.h"
#include "board/board_threads.h"
#include "board/frame_sink.h"
#include "board/glide.h"
#include "board/render_state.h"

namespace {

constexpr uint16_t kBlue = 0x001F;
constexpr uint16_t kWhite = 0xFFFF;

// The lower-left half of the screen drawn white over a blue clear; the back
// buffer read through a lock, row 0 at the bottom, packed.
std::vector<uint16_t> DrawHalf(int width, int height) {
  grBufferClear(0x0000FF, 0, 0xFFFF);
  grConstantColorValue(0xFFFFFF);
  grColorCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, GR_COMBINE_LOCAL_CONSTANT,
                 GR_COMBINE_OTHER_CONSTANT, FXFALSE);
  GrVertex a, b, c;
  a.x = 0, a.y = 0;
  b.x = static_cast<float>(width), b.y = 0;
  c.x = 0, c.y = static_cast<float>(height);
  a.oow = b.oow = c.oow = 1.0f;
  grDrawTriangle(&a, &b, &c);
  GrLfbInfo_t lock;
  lock.size = sizeof lock;
  EXPECT_TRUE(grLfbLock(GR_LFB_READ_ONLY, GR_BUFFER_BACKBUFFER, GR_LFBWRITEMODE_565, GR_ORIGIN_ANY,
                        FXFALSE, &lock));
  EXPECT_GE(lock.strideInBytes, static_cast<FxU32>(width * 2));
  std::vector<uint16_t> frame(static_cast<size_t>(width) * height);
  const auto* pixels = static_cast<const uint16_t*>(lock.lfbPtr);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      frame[static_cast<size_t>(y) * width + x] = pixels[y * (lock.strideInBytes / 2) + x];
    }
  }
  grLfbUnlock(GR_LFB_READ_ONLY, GR_BUFFER_BACKBUFFER);
  return frame;
}

TEST(WideScreenThreads, AnySizeDrawsTheSamePictureOnOneAndTwoThreads) {
  const struct { int width, height; } sizes[] = {{1030, 772}, {1920, 1440}, {3840, 2160}};
  CountingFrameSink sink;
  BoardSetFrameSink(&sink);
  for (const auto& size : sizes) {
    ASSERT_TRUE(BoardSetScreenSize(size.width, size.height));
    std::vector<uint16_t> one;
    for (int threads : {1, 2}) {
      ASSERT_EQ(BoardSetThreads(threads), threads);
      grGlideInit();
      grSstSelect(0);
      ASSERT_TRUE(grSstWinOpen(0, GR_RESOLUTION_640x480, GR_REFRESH_60Hz, GR_COLORFORMAT_ARGB,
                               GR_ORIGIN_LOWER_LEFT, 2, 1));
      RenderState() = BoardRenderState{};
      grDitherMode(GR_DITHER_DISABLE);
      const std::vector<uint16_t> frame = DrawHalf(size.width, size.height);
      if (threads == 1) {
        one = frame;
        // Away from the diagonal, pixels below it are white, above blue.
        int wrong = 0;
        for (int y = 0; y < size.height; y += 7) {
          for (int x = 0; x < size.width; x += 5) {
            const double side = (x + 0.5) / size.width + (y + 0.5) / size.height - 1.0;
            if (std::fabs(side) < 0.002) continue;
            wrong += frame[static_cast<size_t>(y) * size.width + x] != (side < 0 ? kWhite : kBlue);
          }
        }
        EXPECT_EQ(wrong, 0) << size.width << "x" << size.height;
      } else {
        EXPECT_TRUE(frame == one) << size.width << "x" << size.height << ", 2 threads";
      }
      // The sink gets the screen's size, top row first.
      grBufferSwap(1);
      EXPECT_EQ(sink.width(), size.width);
      ASSERT_EQ(sink.height(), size.height);
      EXPECT_EQ(sink.last_frame()[size.width - 1], kBlue);  // top right
      EXPECT_EQ(sink.last_frame()[static_cast<size_t>(size.height - 1) * size.width],
                kWhite);  // bottom left
      grGlideShutdown();
    }
  }
  EXPECT_FALSE(BoardSetScreenSize(kBoardMaxScreenSide + 1, 480));
  BoardSetScreenSize(0, 0);
  BoardSetThreads(1);
  BoardSetFrameSink(nullptr);
}

}  // namespace
