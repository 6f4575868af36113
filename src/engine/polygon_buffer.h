// The frame's polygon buffer: scene evaluation fills it through
// CollectPolygon, the renderer draws it in collection order.
#pragma once

#include <cstdint>

#include "engine/polygon_record.h"

constexpr int32_t kPolygonBufferSize = 16384;

// Live for the whole run, overwritten every frame.
extern PolygonRecord PolygonBuffer[kPolygonBufferSize];
extern int32_t PolygonCount;

// The sink the renderer gives to the evaluation: drops polygons whose
// material is not drawn, copies the rest while there is room, and returns 0
// once the buffer is full.
int CollectPolygon(const PolygonRecord* record);
