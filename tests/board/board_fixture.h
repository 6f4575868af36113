// A small open board for the tests: a 320x240 screen on a counting sink,
// fresh render state, black colour buffers and a far depth buffer.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "board/board_state.h"
#include "board/frame_sink.h"
#include "board/glide.h"
#include "board/render_state.h"

class BoardTest : public ::testing::Test {
 protected:
  static constexpr int kWidth = 320;
  static constexpr int kHeight = 240;

  void SetUp() override {
    BoardSetFrameSink(&sink_);
    grGlideInit();
    grSstSelect(0);
    ASSERT_TRUE(grSstWinOpen(0, GR_RESOLUTION_320x240, GR_REFRESH_60Hz, GR_COLORFORMAT_ARGB,
                             GR_ORIGIN_LOWER_LEFT, 2, 1));
    RenderState() = BoardRenderState{};
    grDitherMode(GR_DITHER_DISABLE);
    grCullMode(GR_CULL_DISABLE);
    grDepthBufferMode(GR_DEPTHBUFFER_DISABLE);
    grBufferClear(0, 0, 0xFFFF);
  }

  void TearDown() override {
    grGlideShutdown();
    BoardSetFrameSink(nullptr);
  }

  // Pixel of the back buffer, y counted from the bottom.
  static uint16_t Pixel(int x, int y) {
    return BoardBackBuffer()[static_cast<size_t>(y) * kBoardStridePixels + x];
  }
  static uint16_t Depth(int x, int y) {
    return Board().depth[static_cast<size_t>(y) * kBoardStridePixels + x];
  }

  static GrVertex Vertex(float x, float y, float oow = 1.0f) {
    GrVertex v;
    v.x = x;
    v.y = y;
    v.oow = oow;
    v.tmuvtx[0].oow = oow;
    return v;
  }
  static GrVertex Coloured(float x, float y, float r, float g, float b) {
    GrVertex v = Vertex(x, y);
    v.r = r;
    v.g = g;
    v.b = b;
    return v;
  }

  static void Draw(const GrVertex& a, const GrVertex& b, const GrVertex& c) {
    grDrawTriangle(&a, &b, &c);
  }

  // Draws in a constant white into the cleared buffer and returns which
  // pixels changed, row-major from the bottom row.
  static std::vector<uint8_t> CoverageOf(const GrVertex& a, const GrVertex& b, const GrVertex& c) {
    grBufferClear(0, 0, 0xFFFF);
    grConstantColorValue(0xFFFFFF);
    grColorCombine(GR_COMBINE_FUNCTION_LOCAL, GR_COMBINE_FACTOR_NONE, GR_COMBINE_LOCAL_CONSTANT,
                   GR_COMBINE_OTHER_CONSTANT, FXFALSE);
    Draw(a, b, c);
    std::vector<uint8_t> covered(static_cast<size_t>(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) covered[y * kWidth + x] = Pixel(x, y) != 0 ? 1 : 0;
    }
    return covered;
  }

  static constexpr uint16_t Pack565(uint32_t r, uint32_t g, uint32_t b) {
    return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
  }

  CountingFrameSink sink_;
};
