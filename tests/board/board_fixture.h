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
 public:
  static constexpr int kWidth = 320;
  static constexpr int kHeight = 240;

  void SetUp() override {
    BoardSetFrameSink(&sink_);
    grGlideInit();
    grSstSelect(0);
    ASSERT_TRUE(grSstWinOpen(0, GR_RESOLUTION_320x240, GR_REFRESH_60Hz, GR_COLORFORMAT_ARGB,
                             GR_ORIGIN_LOWER_LEFT, 2, 1));
    FreshState();
  }

  // Fresh render state without dither, culling or depth test, drawing to the
  // whole screen, and black colour buffers over a far depth buffer.
  static void FreshState() {
    RenderState() = BoardRenderState{};
    grDitherMode(GR_DITHER_DISABLE);
    grCullMode(GR_CULL_DISABLE);
    grDepthBufferMode(GR_DEPTHBUFFER_DISABLE);
    grClipWindow(0, 0, kWidth, kHeight);
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

  // The lower-left width x height pixels of the back buffer, top row first.
  static std::vector<uint16_t> Picture(int width = kWidth, int height = kHeight) {
    std::vector<uint16_t> picture;
    for (int y = height - 1; y >= 0; --y) {
      for (int x = 0; x < width; ++x) picture.push_back(Pixel(x, y));
    }
    return picture;
  }

  // The colours and depths of the lower-left width x height pixels.
  struct Frame {
    std::vector<uint16_t> colour;
    std::vector<uint16_t> depth;
    bool operator==(const Frame&) const = default;
  };
  static Frame ReadFrame(int width = kWidth, int height = kHeight) {
    Frame frame;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        frame.colour.push_back(Pixel(x, y));
        frame.depth.push_back(Depth(x, y));
      }
    }
    return frame;
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

  // Places the levels from lod down to smallest (by default lod alone) at
  // address 0 and selects them for drawing.
  static void UseTexture(std::vector<uint16_t>& texels, GrLOD_t lod, GrAspectRatio_t aspect,
                         GrLOD_t smallest = -1) {
    GrTexInfo info;
    info.largeLod = lod;
    info.smallLod = smallest < 0 ? lod : smallest;
    info.aspectRatio = aspect;
    info.format = GR_TEXFMT_RGB_565;
    info.data = texels.data();
    grTexDownloadMipMap(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
    grTexSource(GR_TMU0, 0, GR_MIPMAPLEVELMASK_BOTH, &info);
  }

  // The rectangle [x0, x1) x [y0, y1) at w = 1 with s, t running linearly
  // from (s0, t0) at its lower left to (s1, t1) at its upper right.
  static void TexturedRect(float x0, float y0, float x1, float y1, float s0, float t0, float s1,
                           float t1) {
    const auto corner = [](float x, float y, float s, float t) {
      GrVertex v = Vertex(x, y);
      v.r = v.g = v.b = 255.0f;
      v.tmuvtx[0].sow = s;
      v.tmuvtx[0].tow = t;
      return v;
    };
    const GrVertex a = corner(x0, y0, s0, t0), b = corner(x1, y0, s1, t0),
                   c = corner(x1, y1, s1, t1), d = corner(x0, y1, s0, t1);
    Draw(a, b, c);
    Draw(a, c, d);
  }

  // 8 bits per channel as the board widens 565 texels: bit replication.
  static uint32_t Red8(uint16_t texel) { return ((texel >> 11) << 3) | (texel >> 13); }
  static uint32_t Green8(uint16_t texel) {
    return (((texel >> 5) & 63) << 2) | (((texel >> 5) & 63) >> 4);
  }
  static uint32_t Blue8(uint16_t texel) { return ((texel & 31) << 3) | ((texel & 31) >> 2); }

  static constexpr uint16_t Pack565(uint32_t r, uint32_t g, uint32_t b) {
    return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
  }

  CountingFrameSink sink_;
};
