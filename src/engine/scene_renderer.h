// Draws one frame of a 3D scene on the board: evaluation into the polygon
// buffer, then render state, projection, near clipping and triangle fans.
#pragma once

#include <cstdint>

#include "engine/polygon_record.h"
#include "storage/texture.h"

// Draws SceneSlots[slot] at the animation frame from + (to - from) x progress
// with the current FadeLevel. An empty or unknown slot draws nothing.
void DrawSceneFrame(int32_t slot, int32_t from, int32_t to, float progress);

// Presets the renderer's board vertices; called once while the device starts.
void InitRenderVertices();

// Sets the frame's render state, then projects, clips and draws count
// polygons in order. fov_degrees is the camera's horizontal field of view;
// fade_level 0..255 scales the iterated colours.
void RenderPolygons(const PolygonRecord* polygons, int32_t count, const Texture* slots,
                    float fov_degrees, int32_t fade_level);

// The board colour of a flat polygon: its first corner's lit colour as ARGB
// with alpha 0, unscaled by the fade level.
uint32_t FlatPolygonColour(const RecordVertex* corner);
