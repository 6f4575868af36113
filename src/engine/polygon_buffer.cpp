// The frame's polygon buffer and its collector.
#include "engine/polygon_buffer.h"

#include "scene/scene.h"

PolygonRecord PolygonBuffer[kPolygonBufferSize];
int32_t PolygonCount = 0;

int CollectPolygon(const PolygonRecord* record) {
  if ((record->material_flags & kMaterialDrawn) == 0) return 1;
  if (PolygonCount >= kPolygonBufferSize) return 0;
  PolygonBuffer[PolygonCount] = *record;
  ++PolygonCount;
  return 1;
}
