// Perspective projection of camera-space polygons onto the screen, with
// clipping against the near plane z = 1: the output is a fan of board
// vertices whose positions lie on a grid of 1/16 pixel.
#pragma once

#include <cstdint>

#include "board/glide.h"
#include "engine/polygon_record.h"

// The projection of the current frame; recomputed by every RenderPolygons.
struct ProjectionState {
  float tan_half_fov;  // tan of half the horizontal field of view
  float scale_x;       // 1/16 pixels per unit of x / (z + tan_half_fov)
  float scale_y;       // always equal to scale_x: pixels are square
  float center_x;      // screen centre in 1/16 pixels
  float center_y;
  float near_w;        // 1/w of a point on the near plane
  float colour_scale;  // fade level / 255
};

// Clipping one plane adds at most one corner to a polygon of eight.
constexpr int kClipVertexCapacity = kPolygonRecordVertices + 1;

extern ProjectionState Projection;
extern GrVertex ClipVertices[kClipVertexCapacity];
extern int32_t ClipVertexCount;

// Sets the fields projection never writes (z, ooz, alpha) in every clip
// vertex; called once while the device starts.
void InitRenderVertices();

// The projection for a field of view in degrees, the device's screen and
// view sizes and a fade level 0..255. Returns 0 when the field of view gives
// no picture (not between 0 and 180 degrees exclusive).
int ComputeProjection(float fov_degrees, int32_t fade_level, ProjectionState* state);

// Append the projection of a record corner, or of the near-plane point
// t x a + (1 - t) x b between two corners, to ClipVertices.
void ProjectVertex(const RecordVertex* p);
void ProjectClipVertex(const RecordVertex* a, const RecordVertex* b, float t);

// Clips the record's polygon against z = 1 and projects what is in front
// into ClipVertices; returns ClipVertexCount. The output starts with the last
// corner when that one is in front. A corner on the plane counts as in front.
int32_t ClipAndProject(const PolygonRecord* record);
