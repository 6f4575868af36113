// Draws one frame of a 3D scene on the board. (Placeholder until the
// renderer lands.)
#pragma once

#include <cstdint>

// Draws SceneSlots[slot] at the animation frame from + (to - from) x progress
// with the current FadeLevel.
void DrawSceneFrame(int32_t slot, int32_t from, int32_t to, float progress);
// Presets the renderer's board vertices; called once while the device starts.
void InitRenderVertices();
