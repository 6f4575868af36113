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
#include <cstddef>
#include <cstring>

#include "board/board_state.h"
#include "board/call_record.h"
#include "board/draw_workers.h"
#include "board/glide.h"
#include "board/render_state.h"
#include "board/row_walk.h"
#include "board/span_pipeline.h"
#include "board/triangle_draw.h"

namespace {

// Corners further out than this (in 1/16 pixel, about four million pixels)
// are pulled in; it keeps every edge product inside 64 bits.
constexpr double kSubpixelLimit = 67108864.0;  // 2^26

// floor(numerator / denominator) for denominator > 0.
int64_t FloorDiv(int64_t numerator, int64_t denominator) {
  const int64_t quotient = numerator / denominator;  // rounds toward zero
  return numerator % denominator < 0 ? quotient - 1 : quotient;
}

// floor(value / 16): the pixel row or column of a 1/16-pixel position.
int64_t FloorSixteenth(int64_t value) {
  return value >> 4;  // an arithmetic shift rounds down
}

// Starts a stepper at floor(numerator / divisor), moving by step each row.
void StartStepper(RowStepper* stepper, int64_t numerator, int64_t step, int64_t divisor) {
  stepper->denominator = divisor;
  stepper->quotient = FloorDiv(numerator, divisor);
  stepper->remainder = numerator - stepper->quotient * divisor;
  stepper->step_quotient = FloorDiv(step, divisor);
  stepper->step_remainder = step - stepper->step_quotient * divisor;
}

// An edge A -> B that is not horizontal: its limit on each row from the row
// whose centre is at y16. E at pixel column px is c - 16 dy px. Filled in
// where it is kept (a copy of the five values would cost as much again).
void StartEdgeStepper(int64_t ax, int64_t ay, int64_t bx, int64_t by, int64_t y16,
                      RowStepper* stepper) {
  const int64_t dx = bx - ax;
  const int64_t dy = by - ay;
  const int64_t c = dx * (y16 - ay) - dy * (8 - ax);
  if (dy < 0) {
    // Left edge, centres on it covered: px >= ceil(-c / (-16 dy)).
    const int64_t d = -16 * dy;
    StartStepper(stepper, -c + d - 1, -16 * dx, d);
  } else {
    // Right edge, centres on it not covered: px <= floor((c - 1) / (16 dy)).
    StartStepper(stepper, c - 1, 16 * dx, 16 * dy);
  }
}

// Sets up the walk of the rows first_row..last_row (filled in) of the
// triangle with corners (x[i], y[i]) in counter-clockwise order; edge i runs
// from corner i to corner i + 1. Left edges walk down the screen, right
// edges up; the side with two edges hands over at the middle corner. Every
// member of the walk but the rows and the clip window is set here.
void SetUpEdges(const int64_t (&x)[3], const int64_t (&y)[3], TriangleRows* rows) {
  // The corner after each: a table, as the compiler would otherwise divide
  // by three at run time where the edge is not known.
  static constexpr int kNext[3] = {1, 2, 0};
  rows->horizontal_value = 0;
  rows->horizontal_step = 0;
  rows->upper = {0, 0, 1, 0, 0};  // not taken over to unless set below
  rows->upper_is_left = false;
  int left[2], right[2];
  int left_count = 0, right_count = 0;
  const int64_t y16 = rows->first_row * 16 + 8;
  for (int i = 0; i < 3; ++i) {
    const int j = kNext[i];
    if (y[j] < y[i]) {
      left[left_count++] = i;
    } else if (y[j] > y[i]) {
      right[right_count++] = i;
    } else {
      // Top edges (walking left) keep their centres, bottom edges do not.
      const int64_t dx = x[j] - x[i];
      rows->horizontal_value = dx * (y16 - y[i]) - (dx < 0 ? 0 : 1);
      rows->horizontal_step = 16 * dx;
    }
  }
  const auto start = [&](int edge, int64_t row_centre, RowStepper* stepper) {
    const int next = kNext[edge];
    StartEdgeStepper(x[edge], y[edge], x[next], y[next], row_centre, stepper);
  };
  rows->switch_row = rows->last_row + 1;
  if (left_count == 1 && right_count == 1) {
    start(left[0], y16, &rows->left);
    start(right[0], y16, &rows->right);
    return;
  }
  // Two edges on one side, meeting at the middle corner: the upper one of
  // two left edges starts higher, the upper one of two right edges starts
  // at the middle corner.
  const bool two_left = left_count == 2;
  const int* pair = two_left ? left : right;
  int upper = pair[0], lower = pair[1];
  if (y[upper] < y[lower]) std::swap(upper, lower);
  const int64_t middle_y = two_left ? y[kNext[upper]] : y[upper];
  if (two_left) {
    start(right[0], y16, &rows->right);
  } else {
    start(left[0], y16, &rows->left);
  }
  RowStepper* side = two_left ? &rows->left : &rows->right;
  const int64_t switch_row = FloorSixteenth(middle_y - 8 + 15);  // first centre not below it
  if (switch_row <= rows->first_row) {
    start(upper, y16, side);
    return;
  }
  start(lower, y16, side);
  if (switch_row <= rows->last_row) {
    start(upper, switch_row * 16 + 8, &rows->upper);
    rows->upper_is_left = two_left;
    rows->switch_row = switch_row;
  }
}

bool ToSubpixel(float coordinate, int64_t* subpixel) {
  if (!std::isfinite(coordinate)) return false;
  const double scaled =
      std::clamp(static_cast<double>(coordinate) * 16.0, -kSubpixelLimit, kSubpixelLimit);
  *subpixel = static_cast<int64_t>(scaled + (scaled < 0 ? -0.5 : 0.5));  // half away from 0
  return true;
}

// The eight interpolants are worked on two at a time, in vectors of the
// baseline instruction set: every operation works lane by lane, so each
// lane gets what the same operation on one plane alone would give.
using PlanePair = double __attribute__((vector_size(2 * sizeof(double))));
using PlanePairBits = uint64_t __attribute__((vector_size(2 * sizeof(uint64_t))));
using CornerPair = float __attribute__((vector_size(2 * sizeof(float))));
constexpr int kPlanePairs = 4;

struct PlaneValues {
  PlanePair pairs[kPlanePairs];  // planes 2k and 2k + 1
};
struct PlaneMask {
  PlanePairBits pairs[kPlanePairs];
};

// A corner's values in plane order lie in the vertex from r to the first
// texture unit's t/w.
static_assert(offsetof(GrVertex, g) == offsetof(GrVertex, r) + kGreenPlane * sizeof(float));
static_assert(offsetof(GrVertex, b) == offsetof(GrVertex, r) + kBluePlane * sizeof(float));
static_assert(offsetof(GrVertex, ooz) == offsetof(GrVertex, r) + kOozPlane * sizeof(float));
static_assert(offsetof(GrVertex, a) == offsetof(GrVertex, r) + kAlphaPlane * sizeof(float));
static_assert(offsetof(GrVertex, oow) == offsetof(GrVertex, r) + kOowPlane * sizeof(float));
static_assert(offsetof(GrVertex, tmuvtx) + offsetof(GrTmuVertex, sow) ==
              offsetof(GrVertex, r) + kSowPlane * sizeof(float));
static_assert(offsetof(GrVertex, tmuvtx) + offsetof(GrTmuVertex, tow) ==
              offsetof(GrVertex, r) + kTowPlane * sizeof(float));

// All ones in the lanes of the planes the state iterates; the others are 0.
PlaneMask IteratedPlanes(const BoardRenderState& state) {
  const uint64_t all = ~uint64_t{0};
  const uint64_t colour = state.colour == ColourSource::kIterated ? all : 0;
  const uint64_t texture = state.textured ? all : 0;
  const uint64_t depth = state.depth == DepthSource::kZBuffer ? all : 0;
  PlaneMask mask;
  mask.pairs[0] = PlanePairBits{colour, colour};  // red, green
  mask.pairs[1] = PlanePairBits{colour, depth};   // blue, ooz
  mask.pairs[2] = PlanePairBits{0, all};          // alpha, oow
  mask.pairs[3] = PlanePairBits{texture, texture};
  return mask;
}

// The corner values of the iterated planes, the others 0.
PlaneValues CornerValues(const float (&corner_values)[8], const PlaneMask& iterated) {
  const char* first = reinterpret_cast<const char*>(corner_values);
  PlaneValues values;
#pragma GCC unroll 4
  for (int k = 0; k < kPlanePairs; ++k) {
    CornerPair corner;
    std::memcpy(&corner, first + k * sizeof corner, sizeof corner);
    const PlanePair wide = __builtin_convertvector(corner, PlanePair);
    PlanePairBits bits;
    std::memcpy(&bits, &wide, sizeof bits);
    bits &= iterated.pairs[k];
    std::memcpy(&values.pairs[k], &bits, sizeof bits);
  }
  return values;
}

// The planes through the corner values of every interpolant at once (corner
// positions in pixels).
void PlanesThrough(const double (&x)[3], const double (&y)[3], const PlaneValues& a,
                   const PlaneValues& b, const PlaneValues& c, double inverse_area,
                   ScreenPlanes* planes) {
  const double y_b = y[1] - y[0], y_c = y[2] - y[0];
  const double x_b = x[1] - x[0], x_c = x[2] - x[0];
#pragma GCC unroll 4
  for (int k = 0; k < kPlanePairs; ++k) {
    const PlanePair dfb = b.pairs[k] - a.pairs[k];
    const PlanePair dfc = c.pairs[k] - a.pairs[k];
    const PlanePair per_x = (dfb * y_c - dfc * y_b) * inverse_area;
    const PlanePair per_y = (dfc * x_b - dfb * x_c) * inverse_area;
    const PlanePair at_origin = a.pairs[k] - per_x * x[0] - per_y * y[0];
    std::memcpy(planes->per_x + 2 * k, &per_x, sizeof per_x);
    std::memcpy(planes->per_y + 2 * k, &per_y, sizeof per_y);
    std::memcpy(planes->at_origin + 2 * k, &at_origin, sizeof at_origin);
  }
}

// Colour change per pixel in 12.12, limited to 256 levels per pixel so that
// stepping across a full row cannot overflow.
int32_t ColourStep(double per_x) {
  if (std::isnan(per_x)) return 0;
  const double fixed = std::clamp(per_x, -256.0, 256.0) * 4096.0;
  return static_cast<int32_t>(fixed + (fixed < 0 ? -0.5 : 0.5));
}

void RecordTriangle(const char* name, const GrVertex& a, const GrVertex& b, const GrVertex& c) {
  BoardRecord(name, a.x, a.y, a.oow, b.x, b.y, b.oow, c.x, c.y, c.oow, a.r, a.g, a.b,
              a.tmuvtx[0].sow, a.tmuvtx[0].tow, b.r, b.g, b.b, b.tmuvtx[0].sow, b.tmuvtx[0].tow,
              c.r, c.g, c.b, c.tmuvtx[0].sow, c.tmuvtx[0].tow);
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

DrawerKey DrawerKeyOf(const BoardRenderState& state, bool has_depth_buffer) {
  const uint32_t switches = (state.textured ? 1u : 0u) | (state.bilinear ? 2u : 0u) |
                            (has_depth_buffer ? 4u : 0u) | (state.depth_write ? 8u : 0u) |
                            (state.chromakey ? 16u : 0u) | (state.clamp_s ? 32u : 0u) |
                            (state.clamp_t ? 64u : 0u) | (state.mipmapping ? 128u : 0u);
  const uint32_t flags = switches | static_cast<uint32_t>(state.colour) << 8 |
                         static_cast<uint32_t>(state.depth) << 16 |
                         static_cast<uint32_t>(state.pixel_path) << 24;
  return {flags, state.depth_function, state.dither_mode, state.texture.level_count,
          state.texture.levels[0].quads};
}

const DrawerChoice& ChooseDrawer(const BoardRenderState& state, bool has_depth_buffer,
                                 DrawerChoice* choice) {
  const DrawerKey key = DrawerKeyOf(state, has_depth_buffer);
  if (choice->known && choice->key == key) return *choice;
  choice->key = key;
  choice->known = true;
  choice->dither = &DitherPatternFor(state.dither_mode);
  choice->whole = SelectTriangleDrawerAvx512(state, has_depth_buffer);
  if (!choice->whole) choice->whole = SelectTriangleDrawerAvx2(state, has_depth_buffer);
  if (!choice->whole) choice->whole = SelectTriangleDrawerWasm(state, has_depth_buffer);
  return *choice;
}

// The corner values of a vertex in plane order, r to the first texture
// unit's t/w.
void CopyCornerValues(const GrVertex& v, float (&values)[8]) {
  std::memcpy(values, reinterpret_cast<const char*>(&v) + offsetof(GrVertex, r), sizeof values);
}

// The rows first_row..last_row (inside the triangle's) walked and drawn.
void DrawRows(const TriangleInput& input, const DrawTarget& target, TriangleSetup& setup,
              const DrawerChoice& choice, SpanDrawer* span_drawer, int64_t first_row,
              int64_t last_row) {
  TriangleRows rows;
  rows.clip_begin = target.clip.min_x;
  rows.clip_end = target.clip.max_x;
  rows.first_row = first_row;
  rows.last_row = last_row;
  const int64_t x[3] = {input.x[0], input.x[1], input.x[2]};
  const int64_t y[3] = {input.y[0], input.y[1], input.y[2]};
  SetUpEdges(x, y, &rows);
  if (choice.whole) {
    choice.whole(setup, rows);
    return;
  }
  if (!*span_drawer) {
    setup.tables = &Rgb565();
    PrepareSpanDrawing(&setup);
    *span_drawer = SelectSpanDrawer(*target.state, setup.depth != nullptr);
  }
  for (int64_t row = first_row; row <= last_row; ++row) {
    int64_t begin, end;
    if (rows.Span(&begin, &end)) {
      (*span_drawer)(setup, static_cast<int32_t>(row), static_cast<int32_t>(begin),
                     static_cast<int32_t>(end));
    }
    rows.Advance(row);
  }
}

DrawerChoice& ImmediateDrawer() {
  static DrawerChoice choice;  // used by the calling thread only
  return choice;
}

void SubmitTriangle(const char* name, const GrVertex* a, const GrVertex* b, const GrVertex* c) {
  if (!a || !b || !c) return;
  if (BoardCallRecorderInstalled()) RecordTriangle(name, *a, *b, *c);
  BoardState& board = Board();
  if (!board.open) return;
  const BoardRenderState& state = RenderState();
  if (DrawnByStripes()) {
    // Written in place in the workers' stream: a copy costs as much as the
    // rest of a small triangle's submission.
    TriangleInput* input = ReserveTriangleForWorkers(CurrentDrawTarget());
    if (PrepareTriangle(*a, *b, *c, state, board.clip, input)) CommitTriangleForWorkers();
    return;
  }
  TriangleInput input;
  if (!PrepareTriangle(*a, *b, *c, state, board.clip, &input)) return;
  DrawTriangleRows(input, CurrentDrawTarget(), input.first_row, input.last_row, &ImmediateDrawer());
}

}  // namespace

bool PrepareTriangle(const GrVertex& a, const GrVertex& b, const GrVertex& c,
                     const BoardRenderState& state, const BoardClipWindow& clip,
                     TriangleInput* input) {
  int64_t ax, ay, bx, by, cx, cy;
  if (!ToSubpixel(a.x, &ax) || !ToSubpixel(a.y, &ay) || !ToSubpixel(b.x, &bx) ||
      !ToSubpixel(b.y, &by) || !ToSubpixel(c.x, &cx) || !ToSubpixel(c.y, &cy)) {
    return false;
  }
  const int64_t area = (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
  if (area == 0) return false;
  if (state.cull_mode == GR_CULL_NEGATIVE && area < 0) return false;
  if (state.cull_mode == GR_CULL_POSITIVE && area > 0) return false;
  const GrVertex* second = &b;
  const GrVertex* third = &c;
  if (area < 0) {
    std::swap(second, third);
    std::swap(bx, cx);
    std::swap(by, cy);
  }

  const int64_t y_low = std::min({ay, by, cy});
  const int64_t y_high = std::max({ay, by, cy});
  const int64_t first_row = std::max<int64_t>(FloorSixteenth(y_low - 8 + 15), clip.min_y);
  const int64_t last_row = std::min<int64_t>(FloorSixteenth(y_high - 8), clip.max_y - 1);
  if (first_row > last_row) return false;
  // The same for columns: a triangle beside the clip window (or too thin to
  // reach a pixel centre across) has no row to walk.
  const int64_t first_column =
      std::max<int64_t>(FloorSixteenth(std::min({ax, bx, cx}) - 8 + 15), clip.min_x);
  const int64_t last_column =
      std::min<int64_t>(FloorSixteenth(std::max({ax, bx, cx}) - 8), clip.max_x - 1);
  if (first_column > last_column) return false;

  input->x[0] = static_cast<int32_t>(ax);
  input->x[1] = static_cast<int32_t>(bx);
  input->x[2] = static_cast<int32_t>(cx);
  input->y[0] = static_cast<int32_t>(ay);
  input->y[1] = static_cast<int32_t>(by);
  input->y[2] = static_cast<int32_t>(cy);
  CopyCornerValues(a, input->values[0]);
  CopyCornerValues(*second, input->values[1]);
  CopyCornerValues(*third, input->values[2]);
  input->first_row = static_cast<int32_t>(first_row);
  input->last_row = static_cast<int32_t>(last_row);
  return true;
}

void DrawTriangleRows(const TriangleInput& input, const DrawTarget& target, int32_t first_row,
                      int32_t last_row, DrawerChoice* drawer) {
  first_row = std::max(first_row, input.first_row);
  last_row = std::min(last_row, input.last_row);
  if (first_row > last_row) return;
  const BoardRenderState& state = *target.state;
  const int64_t x[3] = {input.x[0], input.x[1], input.x[2]};
  const int64_t y[3] = {input.y[0], input.y[1], input.y[2]};
  const int64_t area = (x[1] - x[0]) * (y[2] - y[0]) - (y[1] - y[0]) * (x[2] - x[0]);
  TriangleSetup setup;
  const double px[3] = {x[0] / 16.0, x[1] / 16.0, x[2] / 16.0};
  const double py[3] = {y[0] / 16.0, y[1] / 16.0, y[2] / 16.0};
  const double inverse_area = 256.0 / static_cast<double>(area);
  const PlaneMask iterated = IteratedPlanes(state);
  PlanesThrough(px, py, CornerValues(input.values[0], iterated),
                CornerValues(input.values[1], iterated), CornerValues(input.values[2], iterated),
                inverse_area, &setup.planes);
  setup.state = &state;
  setup.texture = &NoTexture();
  setup.colour = target.colour;
  setup.depth = target.depth;
  setup.stride_pixels = Board().stride_pixels;  // fixed while the screen is open
  const DrawerChoice& choice = ChooseDrawer(state, setup.depth != nullptr, drawer);
  setup.dither = choice.dither;
  if (state.colour == ColourSource::kIterated) {
    setup.red_step = ColourStep(setup.planes.per_x[kRedPlane]);
    setup.green_step = ColourStep(setup.planes.per_x[kGreenPlane]);
    setup.blue_step = ColourStep(setup.planes.per_x[kBluePlane]);
  } else {
    FillConstantColour(state, &setup);
  }
  if (state.textured && state.texture.level_count > 0) setup.texture = &state.texture;

  SpanDrawer span_drawer = nullptr;
  DrawRows(input, target, setup, choice, &span_drawer, first_row, last_row);
}

void grDrawTriangle(const GrVertex* a, const GrVertex* b, const GrVertex* c) {
  SubmitTriangle("grDrawTriangle", a, b, c);
}

void guDrawTriangleWithClip(const GrVertex* a, const GrVertex* b, const GrVertex* c) {
  SubmitTriangle("guDrawTriangleWithClip", a, b, c);
}
