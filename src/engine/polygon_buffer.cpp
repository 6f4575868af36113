// The frame's polygon buffer and its collector.
#include "engine/polygon_buffer.h"

#include <algorithm>

#include "scene/scene.h"

PolygonRecord PolygonBuffer[kPolygonBufferSize];
int32_t PolygonCount = 0;

int CollectPolygon(const PolygonRecord* record) {
  if ((record->material_flags & kMaterialDrawn) == 0) return 1;
  if (PolygonCount >= kPolygonBufferSize) return 0;
  // Only the filled vertex slots are copied: a face fills three of eight,
  // and the copy is made for every face of every frame.
  PolygonRecord& kept = PolygonBuffer[PolygonCount];
  const int32_t filled = std::clamp(record->vertex_count, 0, kPolygonRecordVertices);
  if (filled == 3) {
    // A face: a copy of known size, which compiles to a few moves rather
    // than a call.
    kept.vertices[0] = record->vertices[0];
    kept.vertices[1] = record->vertices[1];
    kept.vertices[2] = record->vertices[2];
  } else {
    std::copy_n(record->vertices, filled, kept.vertices);
  }
  kept.material_flags = record->material_flags;
  kept.texture_index = record->texture_index;
  kept.vertex_count = record->vertex_count;
  ++PolygonCount;
  return 1;
}
