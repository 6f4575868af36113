// A triangle between the call that submits it and the pixels: what the
// calling thread works out (corners on the 1/16-pixel grid, their values,
// the rows it may cover) and the drawing of a share of its rows, which any
// thread may do. Shares split the screen into bands of rows dealt out in
// turn, so each pixel has one owner and the pixels do not depend on how
// many shares there are.
#pragma once

#include <cstdint>

#include "board/board_state.h"
#include "board/glide.h"
#include "board/render_state.h"
#include "board/span_pipeline.h"

// Rows per band of a share: small enough that the work of a frame spreads
// evenly (480 rows make 20 bands, an even split for 2, 4 or 5 threads),
// large enough that a small triangle mostly falls in one band and is set up
// by one thread only.
constexpr int32_t kBandRows = 24;

// Band b of the screen (rows b * kBandRows on) belongs to share b % count.
constexpr int32_t kMaxBands = (kBoardMaxScreenSide + kBandRows - 1) / kBandRows;
struct RowShare {
  int32_t index = 0;
  int32_t count = 1;
  // With more than one share: for each band, the first band of this share
  // at or after it (every triangle asks; a look-up spares two divisions).
  const uint8_t* first_band = nullptr;
};

// Recorded for each triangle a worker draws, and read by every worker: the
// rows first, which is all a worker whose bands it misses reads of it.
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

// Draws the rows of the triangle that belong to share.
void DrawTriangleShare(const TriangleInput& input, const DrawTarget& target, RowShare share,
                       DrawerChoice* drawer);

// Clears the clip window's rows that belong to share.
void ClearShare(const DrawTarget& target, uint16_t colour, uint16_t depth, RowShare share);
