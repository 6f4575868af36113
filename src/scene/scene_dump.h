// Stable text and JSON listings of a loaded scene for the tools: meshes,
// materials, lights, cameras, the node tree and every track's keys.
#pragma once

#include <cstdio>

#include "scene/scene.h"

void DumpSceneText(const Scene* scene, FILE* out);
// One JSON object: frames, meshes, materials, lights, cameras and nodes with
// their parents and the key count of every track.
void DumpSceneJson(const Scene* scene, FILE* out);

// The name of a node type ("object", "light", "light target", ...).
const char* NodeTypeName(int32_t type);
