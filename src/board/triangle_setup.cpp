// Triangle setup and edge walking. Corners are snapped to the 1/16-pixel
// grid and every coverage decision is made with exact integer edge
// functions, so the triangles of a mesh cover each pixel exactly once.
//
// Coordinates: x to the right, y up (the lower-left origin), in sixteenths
// of a pixel. Pixel (px, py) is sampled at its centre (16 px + 8, 16 py + 8).
// For an edge from A to B the edge function at P is
//   E(P) = (B.x - A.x) (P.y - A.y) - (B.y - A.y) (P.x - A.x),
// positive to the left of the edge as one walks from A to B. Triangles are
// brought to counter-clockwise order (positive area), so their inside is
// where all three edge functions are positive.
//
// Fill rule: a centre exactly on an edge belongs to the triangle only when
// that edge is a left edge (walking down the screen, B.y < A.y) or a top
// edge (horizontal, walking left, with the inside below it). Two triangles
// that share an edge see it walked in opposite directions, so exactly one
// of them claims the centres on it.
#include <algorithm>
#include <cmath>

#include "board/board_state.h"
#include "board/call_record.h"
#include "board/glide.h"
#include "board/render_state.h"
#include "board/row_walk.h"
#include "board/span_pipeline.h"

namespace {

// Corners further out than this (in 1/16 pixel, about four million pixels)
// are pulled in; it keeps every edge product inside 64 bits.
constexpr double kSubpixelLimit = 67108864.0;  // 2^26

// floor(numerator / denominator) for denominator > 0. A double quotient
// lands on or next to the answer (exactly for the usual magnitudes), and
// the remainder puts it right, without a 64-bit division.
int64_t FloorDiv(int64_t numerator, int64_t denominator) {
  auto quotient = static_cast<int64_t>(
      std::floor(static_cast<double>(numerator) / static_cast<double>(denominator)));
  int64_t remainder = numerator - quotient * denominator;
  while (remainder < 0) {
    --quotient;
    remainder += denominator;
  }
  while (remainder >= denominator) {
    ++quotient;
    remainder -= denominator;
  }
  return quotient;
}

// Starts a stepper at floor(numerator / divisor), moving by step each row.
void StartStepper(RowStepper* stepper, int64_t numerator, int64_t step, int64_t divisor) {
  stepper->denominator = divisor;
  stepper->quotient = FloorDiv(numerator, divisor);
  stepper->remainder = numerator - stepper->quotient * divisor;
  stepper->step_quotient = FloorDiv(step, divisor);
  stepper->step_remainder = step - stepper->step_quotient * divisor;
}

enum class EdgeKind { kLeft, kRight, kHorizontal };

// One edge's limit on each row: the first covered pixel (left edges), one
// past the last covered pixel (right edges), or whether the row is covered
// at all (horizontal edges).
struct EdgeWalker {
  EdgeKind kind = EdgeKind::kLeft;
  RowStepper stepper;
  int64_t horizontal_value = 0;  // E - threshold at this row; >= 0 covers the row
  int64_t horizontal_step = 0;

  // Edge A -> B, first row centre y16.
  void Start(int64_t ax, int64_t ay, int64_t bx, int64_t by, int64_t y16) {
    const int64_t dx = bx - ax;
    const int64_t dy = by - ay;
    // E at pixel column px is c - 16 dy px.
    const int64_t c = dx * (y16 - ay) - dy * (8 - ax);
    if (dy < 0) {
      // Left edge, centres on it covered: px >= ceil(-c / (-16 dy)).
      kind = EdgeKind::kLeft;
      const int64_t d = -16 * dy;
      StartStepper(&stepper, -c + d - 1, -16 * dx, d);
    } else if (dy > 0) {
      // Right edge, centres on it not covered: px <= floor((c - 1) / (16 dy)).
      kind = EdgeKind::kRight;
      StartStepper(&stepper, c - 1, 16 * dx, 16 * dy);
    } else {
      // Top edges (walking left) keep their centres, bottom edges do not.
      kind = EdgeKind::kHorizontal;
      horizontal_value = c - (dx < 0 ? 0 : 1);
      horizontal_step = 16 * dx;
    }
  }
};

bool ToSubpixel(float coordinate, int64_t* subpixel) {
  if (!std::isfinite(coordinate)) return false;
  const double scaled =
      std::clamp(static_cast<double>(coordinate) * 16.0, -kSubpixelLimit, kSubpixelLimit);
  *subpixel = static_cast<int64_t>(scaled + (scaled < 0 ? -0.5 : 0.5));  // half away from 0
  return true;
}

// The plane through three corner values, with corner positions in pixels.
ScreenPlane PlaneThrough(const double (&x)[3], const double (&y)[3], double fa, double fb,
                         double fc, double inverse_area) {
  ScreenPlane plane;
  const double dfb = fb - fa;
  const double dfc = fc - fa;
  plane.per_x = (dfb * (y[2] - y[0]) - dfc * (y[1] - y[0])) * inverse_area;
  plane.per_y = (dfc * (x[1] - x[0]) - dfb * (x[2] - x[0])) * inverse_area;
  plane.at_origin = fa - plane.per_x * x[0] - plane.per_y * y[0];
  return plane;
}

// Colour change per pixel in 12.12, limited to 256 levels per pixel so that
// stepping across a full row cannot overflow.
int32_t ColourStep(double per_x) {
  if (std::isnan(per_x)) return 0;
  const double fixed = std::clamp(per_x, -256.0, 256.0) * 4096.0;
  return static_cast<int32_t>(fixed + (fixed < 0 ? -0.5 : 0.5));
}

void RecordTriangle(const char* name, const GrVertex& a, const GrVertex& b, const GrVertex& c) {
  if (!BoardCallRecorderInstalled()) return;
  BoardRecord(name, {a.x,
                     a.y,
                     a.oow,
                     b.x,
                     b.y,
                     b.oow,
                     c.x,
                     c.y,
                     c.oow,
                     a.r,
                     a.g,
                     a.b,
                     a.tmuvtx[0].sow,
                     a.tmuvtx[0].tow,
                     b.r,
                     b.g,
                     b.b,
                     b.tmuvtx[0].sow,
                     b.tmuvtx[0].tow,
                     c.r,
                     c.g,
                     c.b,
                     c.tmuvtx[0].sow,
                     c.tmuvtx[0].tow});
}

void FillConstantColour(const BoardRenderState& state, TriangleSetup* setup) {
  switch (state.colour) {
    case ColourSource::kConstant:
      setup->constant_red = state.constant_red;
      setup->constant_green = state.constant_green;
      setup->constant_blue = state.constant_blue;
      break;
    case ColourSource::kWhite:
      setup->constant_red = setup->constant_green = setup->constant_blue = 255;
      break;
    default:
      setup->constant_red = setup->constant_green = setup->constant_blue = 0;
      break;
  }
}

const BoundTexture& NoTexture() {
  // Sampled when drawing textured without a valid texture: one black texel.
  static const uint64_t black_texel = 0;
  static const BoundTexture texture = [] {
    BoundTexture t;
    t.levels[0].texels = &black_texel;
    t.level_count = 1;
    return t;
  }();
  return texture;
}

void DrawClippedTriangle(const GrVertex* a, const GrVertex* b, const GrVertex* c) {
  BoardState& board = Board();
  if (!board.open || !a || !b || !c) return;
  const BoardRenderState& state = RenderState();
  int64_t ax, ay, bx, by, cx, cy;
  if (!ToSubpixel(a->x, &ax) || !ToSubpixel(a->y, &ay) || !ToSubpixel(b->x, &bx) ||
      !ToSubpixel(b->y, &by) || !ToSubpixel(c->x, &cx) || !ToSubpixel(c->y, &cy)) {
    return;
  }
  const int64_t area = (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
  if (area == 0) return;
  if (state.cull_mode == GR_CULL_NEGATIVE && area < 0) return;
  if (state.cull_mode == GR_CULL_POSITIVE && area > 0) return;
  if (area < 0) {
    std::swap(b, c);
    std::swap(bx, cx);
    std::swap(by, cy);
  }

  const int64_t y_low = std::min({ay, by, cy});
  const int64_t y_high = std::max({ay, by, cy});
  const BoardClipWindow& clip = board.clip;
  const int64_t first_row = std::max<int64_t>(FloorDiv(y_low - 8 + 15, 16), clip.min_y);
  const int64_t last_row = std::min<int64_t>(FloorDiv(y_high - 8, 16), clip.max_y - 1);
  if (first_row > last_row || clip.min_x >= clip.max_x) return;

  TriangleSetup setup;
  const double px[3] = {ax / 16.0, bx / 16.0, cx / 16.0};
  const double py[3] = {ay / 16.0, by / 16.0, cy / 16.0};
  const double inverse_area = 256.0 / static_cast<double>(std::llabs(area));
  const auto plane = [&](float fa, float fb, float fc) {
    return PlaneThrough(px, py, fa, fb, fc, inverse_area);
  };
  setup.state = &state;
  setup.texture = &NoTexture();
  setup.tables = &Rgb565();
  setup.colour = board.colour[board.back].data();
  setup.depth = board.depth.empty() ? nullptr : board.depth.data();
  setup.stride_pixels = kBoardStridePixels;
  setup.dither = &DitherPatternFor(state.dither_mode);
  if (state.colour == ColourSource::kIterated) {
    setup.red = plane(a->r, b->r, c->r);
    setup.green = plane(a->g, b->g, c->g);
    setup.blue = plane(a->b, b->b, c->b);
    setup.red_step = ColourStep(setup.red.per_x);
    setup.green_step = ColourStep(setup.green.per_x);
    setup.blue_step = ColourStep(setup.blue.per_x);
  } else {
    FillConstantColour(state, &setup);
  }
  setup.oow = plane(a->oow, b->oow, c->oow);
  if (state.depth == DepthSource::kZBuffer) setup.ooz = plane(a->ooz, b->ooz, c->ooz);
  if (state.textured) {
    setup.sow = plane(a->tmuvtx[0].sow, b->tmuvtx[0].sow, c->tmuvtx[0].sow);
    setup.tow = plane(a->tmuvtx[0].tow, b->tmuvtx[0].tow, c->tmuvtx[0].tow);
    if (state.texture.level_count > 0) setup.texture = &state.texture;
  }

  const int64_t y16 = first_row * 16 + 8;
  EdgeWalker edges[3];
  edges[0].Start(ax, ay, bx, by, y16);
  edges[1].Start(bx, by, cx, cy, y16);
  edges[2].Start(cx, cy, ax, ay, y16);
  TriangleRows rows;
  rows.clip_begin = clip.min_x;
  rows.clip_end = clip.max_x;
  rows.first_row = first_row;
  rows.last_row = last_row;
  rows.left[0].quotient = rows.left[1].quotient = rows.clip_begin;
  rows.right[0].quotient = rows.right[1].quotient = rows.clip_end - 1;
  int left_count = 0, right_count = 0;
  for (const EdgeWalker& edge : edges) {
    if (edge.kind == EdgeKind::kLeft) {
      rows.left[left_count++] = edge.stepper;
    } else if (edge.kind == EdgeKind::kRight) {
      rows.right[right_count++] = edge.stepper;
    } else {
      rows.horizontal_value = edge.horizontal_value;
      rows.horizontal_step = edge.horizontal_step;
    }
  }
  if (const TriangleDrawer whole = SelectTriangleDrawerAvx2(state, setup.depth != nullptr)) {
    PackPlanes(&setup);
    whole(setup, rows);
    return;
  }
  PrepareSpanDrawing(&setup);
  const SpanDrawer draw = SelectSpanDrawer(state, setup.depth != nullptr);
  for (int64_t row = first_row; row <= last_row; ++row) {
    int64_t begin, end;
    if (rows.Span(&begin, &end)) {
      draw(setup, static_cast<int32_t>(row), static_cast<int32_t>(begin),
           static_cast<int32_t>(end));
    }
    rows.Advance();
  }
}

}  // namespace

void grDrawTriangle(const GrVertex* a, const GrVertex* b, const GrVertex* c) {
  if (a && b && c) RecordTriangle("grDrawTriangle", *a, *b, *c);
  DrawClippedTriangle(a, b, c);
}

void guDrawTriangleWithClip(const GrVertex* a, const GrVertex* b, const GrVertex* c) {
  if (a && b && c) RecordTriangle("guDrawTriangleWithClip", *a, *b, *c);
  DrawClippedTriangle(a, b, c);
}
