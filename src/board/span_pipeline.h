// The pixel pipeline of one triangle: what the triangle setup hands over
// (planes of every interpolant, buffers, state) and the span drawers that
// colour a run of pixels of one row.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "board/colour_convert.h"
#include "board/render_state.h"
#include "board/row_walk.h"
#include "board/span_groups.h"
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
  // The planes above side by side (red, green, blue, oow, sow, tow, ooz and
  // an unused lane), so that a span's start evaluates all of them at once;
  // filled by PackPlanes.
  alignas(32) double plane_at_origin[8];
  alignas(32) double plane_per_x[8];
  alignas(32) double plane_per_y[8];
#if defined(__SSE2__)
  span_sse2::SpanConstants vector;  // filled by PrepareSpanDrawing
#endif
};

// Colours are iterated in 12.12 fixed point; the plane value is clamped so
// that stepping across the widest span cannot overflow.
inline int32_t ToColourFixed(double value) {
  if (std::isnan(value)) return 0;
  const double fixed = std::clamp(value, -131072.0, 131072.0) * 4096.0;
  return static_cast<int32_t>(fixed + (fixed < 0 ? -0.5 : 0.5));
}

// The interpolants at the centre of pixel (x_begin, y) and their steps.
inline SpanStart StartOfSpan(const TriangleSetup& t, int32_t y, int32_t x_begin, bool iterated,
                             bool textured, bool depth) {
  const double cx = x_begin + 0.5;
  const double cy = y + 0.5;
  SpanStart start;
  if (iterated) {
    start.red = ToColourFixed(t.red.At(cx, cy));
    start.green = ToColourFixed(t.green.At(cx, cy));
    start.blue = ToColourFixed(t.blue.At(cx, cy));
    start.red_step = t.red_step;
    start.green_step = t.green_step;
    start.blue_step = t.blue_step;
  }
  start.oow = static_cast<float>(t.oow.At(cx, cy));
  start.oow_step = static_cast<float>(t.oow.per_x);
  if (textured) {
    start.sow = static_cast<float>(t.sow.At(cx, cy));
    start.sow_step = static_cast<float>(t.sow.per_x);
    start.tow = static_cast<float>(t.tow.At(cx, cy));
    start.tow_step = static_cast<float>(t.tow.per_x);
  }
  if (depth) {
    start.ooz = static_cast<float>(t.ooz.At(cx, cy));
    start.ooz_step = static_cast<float>(t.ooz.per_x);
  }
  return start;
}

// The mipmap level for a group of pixels from the interpolants at its first
// pixel.
int32_t MipmapLevel(const TriangleSetup& t, const BoundTexture& texture, float oow, float sow,
                    float tow);

// Fills what the span drawers derive once per triangle from the fields above.
void PrepareSpanDrawing(TriangleSetup* setup);

// Fills the side-by-side planes from the planes (for the triangle drawers).
void PackPlanes(TriangleSetup* setup);

// Colours pixels x_begin .. x_end - 1 of row y (all inside the clip window).
using SpanDrawer = void (*)(const TriangleSetup& setup, int32_t y, int32_t x_begin, int32_t x_end);

// The drawer specialised for the state's colour, texture and depth paths.
SpanDrawer SelectSpanDrawer(const BoardRenderState& state, bool has_depth_buffer);

// Draws every row of a triangle (the same pixels as its span drawer row by
// row, with what stays fixed over the triangle computed once).
using TriangleDrawer = void (*)(const TriangleSetup& setup, TriangleRows rows);

// The AVX2 triangle drawer (span_avx2.cpp) for the state, or null where the
// state asks for another path, the processor lacks AVX2 or the state needs
// a path it does not have; the triangle is then drawn span by span.
TriangleDrawer SelectTriangleDrawerAvx2(const BoardRenderState& state, bool has_depth_buffer);
