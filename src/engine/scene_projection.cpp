// Projection and near-plane clipping of the renderer. The divisor is
// z + tan(fov / 2) rather than z, so the near plane z = 1 maps to a finite
// 1/w and every corner in front of it projects without overflow.
#include "engine/scene_projection.h"

#include <cmath>

#include "device/device.h"

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

}  // namespace

void InitRenderVertices() {
  for (GrVertex& vertex : ClipVertices) {
    vertex.z = 1.0f;
    vertex.ooz = 0.0f;
    vertex.a = 255.0f;
  }
}

int ComputeProjection(float fov_degrees, int32_t fade_level, ProjectionState* state) {
  state->tan_half_fov = std::tan(fov_degrees * (1.0f / 360.0f) * kPi);
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
