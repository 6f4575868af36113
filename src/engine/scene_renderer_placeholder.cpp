// Placeholder until the renderer lands: scene rows draw nothing.
#include "engine/scene_renderer.h"

void DrawSceneFrame(int32_t /*slot*/, int32_t /*from*/, int32_t /*to*/, float /*progress*/) {}
void InitRenderVertices() {}
