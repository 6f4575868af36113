// Writes a SceneSpec as a 3D Studio file (".3DS"): main chunk, editor
// section (materials, meshes, lights, cameras) and keyframer section
// (header, frame range, one node chunk per node with its tracks).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "content/scene_model.h"

// Returns the file bytes; empty with the reason in *error when the scene
// breaks a limit of the format (65535 vertices or faces per mesh, a face
// or node naming something that does not exist, keys out of order).
std::vector<uint8_t> WriteTds(const SceneSpec& scene, std::string* error);
