// The record in which scene evaluation hands one lit, camera-space polygon to
// the renderer, and the callback type that receives it.
#pragma once

#include <cstdint>

// One corner of a polygon: camera-space position (x right, y up, z forward),
// lit colour in 0..255, texture coordinates already scaled by 256.
struct RecordVertex {
  float x;
  float y;
  float z;
  float r;
  float g;
  float b;
  float u;
  float v;
};

constexpr int kPolygonRecordVertices = 8;

struct PolygonRecord {
  RecordVertex vertices[kPolygonRecordVertices];  // slots past vertex_count are not filled
  uint8_t material_flags;                         // low byte of the material's flags
  int32_t texture_index;                          // index into TextureSlots
  int32_t vertex_count;                           // 3 for every face the evaluation offers
};

// Receives each visible face; the record is reused for the next face, so the
// callback copies what it keeps. Returns nonzero to go on, 0 to stop offering
// the rest of the current node's faces.
using PolygonSink = int (*)(const PolygonRecord* record);
