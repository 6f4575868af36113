// The pixel pipeline of one triangle: what the triangle setup hands over
// (planes of every interpolant, buffers, state) and the span drawers that
// colour a run of pixels of one row.
#pragma once

#include <cstdint>

#include "board/colour_convert.h"
#include "board/render_state.h"
#include "board/span_shade_sse2.h"

// A value that varies linearly over the screen: at the pixel point (x, y)
// it is at_origin + per_x * x + per_y * y.
struct ScreenPlane {
  double at_origin = 0;
  double per_x = 0;
  double per_y = 0;
  double At(double x, double y) const { return at_origin + per_x * x + per_y * y; }
};

struct TriangleSetup {
  ScreenPlane red, green, blue;  // 0..255 before clamping
  ScreenPlane oow, sow, tow;     // 1/w and s/w, t/w of texture unit 0
  ScreenPlane ooz;
  int32_t red_step = 0;  // colour change per pixel along a row, 12.12 fixed point
  int32_t green_step = 0;
  int32_t blue_step = 0;
  uint8_t constant_red = 0;  // the colour when it is not iterated
  uint8_t constant_green = 0;
  uint8_t constant_blue = 0;
  const BoardRenderState* state = nullptr;
  const BoundTexture* texture = nullptr;
  const Rgb565Tables* tables = nullptr;
  const DitherPattern* dither = nullptr;
  uint16_t* colour = nullptr;  // back buffer, row 0 at the bottom
  uint16_t* depth = nullptr;   // null without a depth buffer
  int32_t stride_pixels = 0;
#if defined(__SSE2__)
  span_sse2::SpanConstants vector{};  // filled by PrepareSpanDrawing
#endif
};

// Fills what the span drawers derive once per triangle from the fields above.
void PrepareSpanDrawing(TriangleSetup* setup);

// Colours pixels x_begin .. x_end - 1 of row y (all inside the clip window).
using SpanDrawer = void (*)(const TriangleSetup& setup, int32_t y, int32_t x_begin, int32_t x_end);

// The drawer specialised for the state's colour, texture and depth paths.
SpanDrawer SelectSpanDrawer(const BoardRenderState& state, bool has_depth_buffer);
