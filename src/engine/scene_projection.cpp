// Projection and near-plane clipping of the renderer. The divisor is
// z + tan(fov / 2) rather than z, so the near plane z = 1 maps to a finite
// 1/w and every corner in front of it projects without overflow.
#include "engine/scene_projection.h"

#include <cmath>
#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "device/device.h"
#include "math/float_functions.h"

ProjectionState Projection{};
GrVertex ClipVertices[kClipVertexCapacity];
int32_t ClipVertexCount = 0;

namespace {

constexpr float kPi = 3.14159265359f;
constexpr float kSubPixels = 16.0f;       // positions carry 4 fractional bits
constexpr float kSubPixelStep = 0.0625f;  // 1 / kSubPixels

// Truncates a position in 1/16 pixels toward zero and returns pixels. From
// 2^23 on every float is whole already (and NaN stays NaN); below it the
// integer conversion truncates, without a call into the maths library.
float SnapToSubPixel(float sixteenths) {
  if (std::fabs(sixteenths) < 8388608.0f) {
    sixteenths = static_cast<float>(static_cast<int32_t>(sixteenths));
  }
  return sixteenths * kSubPixelStep;
}

void AppendVertex(float x, float y, float w, const RecordVertex& colour_and_map) {
  if (ClipVertexCount >= kClipVertexCapacity) return;
  GrVertex& out = ClipVertices[ClipVertexCount];
  out.x = SnapToSubPixel(x * w * Projection.scale_x + Projection.center_x);
  out.y = SnapToSubPixel(y * w * Projection.scale_y + Projection.center_y);
  out.r = colour_and_map.r * Projection.colour_scale;
  out.g = colour_and_map.g * Projection.colour_scale;
  out.b = colour_and_map.b * Projection.colour_scale;
  out.oow = w;
  out.tmuvtx[0].sow = colour_and_map.u * w;
  out.tmuvtx[0].tow = colour_and_map.v * w;
  out.tmuvtx[0].oow = w;
  ++ClipVertexCount;
}

#if defined(__SSE2__)

// SnapToSubPixel in each lane: the same truncation below 2^23, the value
// kept from there on and for NaN.
__m128 SnapToSubPixel4(__m128 sixteenths) {
  const __m128 magnitude = _mm_andnot_ps(_mm_set1_ps(-0.0f), sixteenths);
  const __m128 small = _mm_cmplt_ps(magnitude, _mm_set1_ps(8388608.0f));
  const __m128 truncated = _mm_cvtepi32_ps(_mm_cvttps_epi32(sixteenths));
  const __m128 snapped = _mm_or_ps(_mm_and_ps(small, truncated), _mm_andnot_ps(small, sixteenths));
  return _mm_mul_ps(snapped, _mm_set1_ps(kSubPixelStep));
}

static_assert(offsetof(GrVertex, y) == offsetof(GrVertex, x) + sizeof(float));
static_assert(offsetof(GrVertex, g) == offsetof(GrVertex, r) + sizeof(float));
static_assert(offsetof(GrVertex, tmuvtx) == offsetof(GrVertex, oow) + sizeof(float));
static_assert(offsetof(GrTmuVertex, tow) == offsetof(GrTmuVertex, sow) + sizeof(float));
static_assert(offsetof(GrTmuVertex, oow) == offsetof(GrTmuVertex, tow) + sizeof(float));

// The three corners of a face wholly in front of the near plane, projected
// side by side in the lanes of one register: lane by lane the operations of
// ProjectVertex and AppendVertex, so every value is the same. They go to
// ClipVertices in the order the clipping walk gives: the last corner first.
void ProjectFrontTriangle(const RecordVertex* corners) {
  static_assert(sizeof(RecordVertex) == 8 * sizeof(float));
  // Rows: the corners in output order, the fourth lane a copy of the last.
  const RecordVertex* in_order[4] = {&corners[2], &corners[0], &corners[1], &corners[1]};
  __m128 x = _mm_loadu_ps(&in_order[0]->x), y = _mm_loadu_ps(&in_order[1]->x);
  __m128 z = _mm_loadu_ps(&in_order[2]->x), r = _mm_loadu_ps(&in_order[3]->x);
  _MM_TRANSPOSE4_PS(x, y, z, r);
  __m128 g = _mm_loadu_ps(&in_order[0]->g), b = _mm_loadu_ps(&in_order[1]->g);
  __m128 u = _mm_loadu_ps(&in_order[2]->g), v = _mm_loadu_ps(&in_order[3]->g);
  _MM_TRANSPOSE4_PS(g, b, u, v);

  const ProjectionState& p = Projection;
  const __m128 w = _mm_div_ps(_mm_set1_ps(1.0f), _mm_add_ps(z, _mm_set1_ps(p.tan_half_fov)));
  __m128 screen_x = SnapToSubPixel4(
      _mm_add_ps(_mm_mul_ps(_mm_mul_ps(x, w), _mm_set1_ps(p.scale_x)), _mm_set1_ps(p.center_x)));
  __m128 screen_y = SnapToSubPixel4(
      _mm_add_ps(_mm_mul_ps(_mm_mul_ps(y, w), _mm_set1_ps(p.scale_y)), _mm_set1_ps(p.center_y)));
  const __m128 fade = _mm_set1_ps(p.colour_scale);
  __m128 red = _mm_mul_ps(r, fade), green = _mm_mul_ps(g, fade);
  const __m128 blue = _mm_mul_ps(b, fade);
  __m128 oow = w, sow = _mm_mul_ps(u, w), tow = _mm_mul_ps(v, w), tmu_oow = w;
  // Back to one corner per register: (x, y, r, g) and (oow, sow, tow, oow).
  _MM_TRANSPOSE4_PS(screen_x, screen_y, red, green);
  _MM_TRANSPOSE4_PS(oow, sow, tow, tmu_oow);
  const __m128 position_colour[3] = {screen_x, screen_y, red};
  const __m128 texture[3] = {oow, sow, tow};
  alignas(16) float blues[4];
  _mm_store_ps(blues, blue);
  for (int k = 0; k < 3; ++k) {
    GrVertex& out = ClipVertices[k];
    _mm_storel_pi(reinterpret_cast<__m64*>(&out.x), position_colour[k]);
    _mm_storeh_pi(reinterpret_cast<__m64*>(&out.r), position_colour[k]);
    out.b = blues[k];
    _mm_storeu_ps(&out.oow, texture[k]);
  }
  ClipVertexCount = 3;
}

#endif

}  // namespace

void InitRenderVertices() {
  for (GrVertex& vertex : ClipVertices) {
    vertex.z = 1.0f;
    vertex.ooz = 0.0f;
    vertex.a = 255.0f;
  }
}

int ComputeProjection(float fov_degrees, int32_t fade_level, ProjectionState* state) {
  state->tan_half_fov = TanF(fov_degrees * (1.0f / 360.0f) * kPi);
  state->scale_x = static_cast<float>(ViewWidth) * 0.5f / state->tan_half_fov * kSubPixels;
  // Equal to the height-based scale times the aspect ratio; taken directly so
  // pixels stay exactly square and an empty view divides nothing by zero.
  state->scale_y = state->scale_x;
  state->center_x = (static_cast<float>(ScreenWidth) * 0.5f - 0.5f) * kSubPixels;
  state->center_y = (static_cast<float>(ScreenHeight) * 0.5f - 0.5f) * kSubPixels;
  state->near_w = 1.0f / (state->tan_half_fov + 1.0f);
  state->colour_scale = static_cast<float>(fade_level) * (1.0f / 255.0f);
  return fov_degrees > 0.0f && fov_degrees < 180.0f && std::isfinite(state->scale_x) ? 1 : 0;
}

void ProjectVertex(const RecordVertex* p) {
  const float w = 1.0f / (p->z + Projection.tan_half_fov);
  AppendVertex(p->x, p->y, w, *p);
}

void ProjectClipVertex(const RecordVertex* a, const RecordVertex* b, float t) {
  const float s = 1.0f - t;
  const RecordVertex q = {a->x * t + b->x * s, a->y * t + b->y * s, a->z * t + b->z * s,
                          a->r * t + b->r * s, a->g * t + b->g * s, a->b * t + b->b * s,
                          a->u * t + b->u * s, a->v * t + b->v * s};
  AppendVertex(q.x, q.y, Projection.near_w, q);
}

int32_t ClipAndProject(const PolygonRecord* record) {
  ClipVertexCount = 0;
  const int32_t count = record->vertex_count;
  if (count <= 0 || count > kPolygonRecordVertices) return 0;
#if defined(__SSE2__)
  // Nearly every face of a scene lies wholly in front of the near plane.
  const RecordVertex* corners = record->vertices;
  if (count == 3 && corners[0].z >= 1.0f && corners[1].z >= 1.0f && corners[2].z >= 1.0f) {
    ProjectFrontTriangle(corners);
    return ClipVertexCount;
  }
#endif
  const RecordVertex* prev = &record->vertices[count - 1];
  for (int32_t i = 0; i < count; ++i) {
    const RecordVertex* cur = &record->vertices[i];
    const bool prev_in_front = prev->z >= 1.0f;
    const bool cur_in_front = cur->z >= 1.0f;
    if (prev_in_front) ProjectVertex(prev);
    if (prev_in_front != cur_in_front) {
      const float t = 1.0f - (1.0f - prev->z) / (cur->z - prev->z);
      ProjectClipVertex(prev, cur, t);
    }
    prev = cur;
  }
  return ClipVertexCount;
}
