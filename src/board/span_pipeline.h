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

// The values a triangle iterates, each varying linearly over the screen:
// colours (0..255 before clamping), ooz, 1/w, s/w and t/w of texture unit 0.
// They sit side by side so that a span's start evaluates all of them at
// once, in the order a GrVertex holds them from r on, so that a corner's
// values are one read; the lane of alpha is not iterated.
enum ScreenPlaneIndex {
  kRedPlane,
  kGreenPlane,
  kBluePlane,
  kOozPlane,
  kAlphaPlane,  // always 0
  kOowPlane,
  kSowPlane,
  kTowPlane,
};

// Plane p at the pixel point (x, y) is at_origin[p] + per_x[p] x + per_y[p] y.
// The triangle setup writes every lane, so there are no defaults to write
// first.
struct ScreenPlanes {
  alignas(32) double at_origin[8];
  alignas(32) double per_x[8];
  alignas(32) double per_y[8];
  double At(int plane, double x, double y) const {
    return at_origin[plane] + per_x[plane] * x + per_y[plane] * y;
  }
};

struct TriangleSetup {
  ScreenPlanes planes;
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
  const ScreenPlanes& p = t.planes;
  SpanStart start;
  if (iterated) {
    start.red = ToColourFixed(p.At(kRedPlane, cx, cy));
    start.green = ToColourFixed(p.At(kGreenPlane, cx, cy));
    start.blue = ToColourFixed(p.At(kBluePlane, cx, cy));
    start.red_step = t.red_step;
    start.green_step = t.green_step;
    start.blue_step = t.blue_step;
  }
  start.oow = static_cast<float>(p.At(kOowPlane, cx, cy));
  start.oow_step = static_cast<float>(p.per_x[kOowPlane]);
  if (textured) {
    start.sow = static_cast<float>(p.At(kSowPlane, cx, cy));
    start.sow_step = static_cast<float>(p.per_x[kSowPlane]);
    start.tow = static_cast<float>(p.At(kTowPlane, cx, cy));
    start.tow_step = static_cast<float>(p.per_x[kTowPlane]);
  }
  if (depth) {
    start.ooz = static_cast<float>(p.At(kOozPlane, cx, cy));
    start.ooz_step = static_cast<float>(p.per_x[kOozPlane]);
  }
  return start;
}

// The mipmap level for a group of pixels from the interpolants at its first
// pixel.
int32_t MipmapLevel(const TriangleSetup& t, const BoundTexture& texture, float oow, float sow,
                    float tow);

// Fills what the span drawers derive once per triangle from the fields above.
void PrepareSpanDrawing(TriangleSetup* setup);

// Colours pixels x_begin .. x_end - 1 of row y (all inside the clip window).
using SpanDrawer = void (*)(const TriangleSetup& setup, int32_t y, int32_t x_begin, int32_t x_end);

// The drawer specialised for the state's colour, texture and depth paths.
SpanDrawer SelectSpanDrawer(const BoardRenderState& state, bool has_depth_buffer);

// Draws every row of a triangle (the same pixels as its span drawer row by
// row, with what stays fixed over the triangle computed once).
using TriangleDrawer = void (*)(const TriangleSetup& setup, const TriangleRows& rows);

// The AVX2 triangle drawer (span_avx2.cpp) for the state, or null where the
// state asks for another path, the processor lacks AVX2 or the state needs
// a path it does not have; the triangle is then drawn span by span.
TriangleDrawer SelectTriangleDrawerAvx2(const BoardRenderState& state, bool has_depth_buffer);

// The same drawers built for AVX-512 (span_avx512.cpp), for the fastest
// path on processors that have it; null otherwise.
TriangleDrawer SelectTriangleDrawerAvx512(const BoardRenderState& state, bool has_depth_buffer);

// The WebAssembly SIMD drawer (span_wasm.cpp) of the web build for the
// fastest path; null elsewhere and for the states it leaves to the spans.
TriangleDrawer SelectTriangleDrawerWasm(const BoardRenderState& state, bool has_depth_buffer);
