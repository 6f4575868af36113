// A triangle between the call that submits it and the pixels: what the
// calling thread works out (corners on the 1/16-pixel grid, their values,
// the rows it may cover) and the drawing of any range of its rows, which
// any thread may do. Every row is walked exactly from the corners, so the
// pixels do not depend on how the rows are split up.
#pragma once

#include <cstdint>

#include "board/board_state.h"
#include "board/glide.h"
#include "board/render_state.h"
#include "board/span_pipeline.h"

// Recorded for each triangle the workers draw.
struct TriangleInput {
  int32_t first_row;  // the rows inside the clip window it may cover
  int32_t last_row;
  int32_t x[3];  // corners in 1/16 pixel (within +-2^26), counter-clockwise
  int32_t y[3];
  float values[3][8];  // each corner's r, g, b, ooz, a, oow, sow, tow
};

// What a triangle is drawn with: the state and the buffers at the time it
// was submitted.
struct DrawTarget {
  const BoardRenderState* state = nullptr;
  uint16_t* colour = nullptr;  // back buffer
  uint16_t* depth = nullptr;   // null without a depth buffer
  BoardClipWindow clip;
};

// The drawer and dither pattern of the last state a drawing thread saw. A
// renderer draws polygon after polygon in one state, so they are worked out
// again only when a setting they depend on has changed.
struct DrawerKey {
  uint32_t flags;
  int32_t depth_function;
  int32_t dither_mode;
  int32_t level_count;
  const QuadTexel* quads;
  bool operator==(const DrawerKey&) const = default;
};
struct DrawerChoice {
  DrawerKey key{};
  bool known = false;
  TriangleDrawer whole = nullptr;  // null: drawn span by span
  const DitherPattern* dither = nullptr;
};

// Fills *input for the triangle a, b, c; false when it covers no pixel
// (culled, degenerate, outside the clip window, not a number).
bool PrepareTriangle(const GrVertex& a, const GrVertex& b, const GrVertex& c,
                     const BoardRenderState& state, const BoardClipWindow& clip,
                     TriangleInput* input);

// Draws the triangle's rows from first_row to last_row.
void DrawTriangleRows(const TriangleInput& input, const DrawTarget& target, int32_t first_row,
                      int32_t last_row, DrawerChoice* drawer);

// Clears the clip window's rows from first_row to last_row.
void ClearRows(const DrawTarget& target, uint16_t colour, uint16_t depth, int32_t first_row,
               int32_t last_row);
