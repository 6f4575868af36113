// Turns the generator's scene description into the 3D Studio writer's
// TdsScene: material indices become named face groups, node depths become
// parent links, and child positions are stored in the file's axis order so
// that the demo's reader gives back the positions the builders asked for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "content/scene_model.h"
#include "scene/tds_writer.h"

// False with the reason in *error when the description cannot stand as a
// scene: a face without a material or with one that does not exist, track
// keys out of frame order, a node naming no mesh, light or camera of its
// kind, a node deeper than its place in the list allows.
bool ConvertToTdsScene(const SceneSpec& spec, TdsScene* scene, std::string* error);

// The file bytes of the scene; empty with the reason in *error when the
// description or the file format refuses it.
std::vector<uint8_t> WriteSceneFile(const SceneSpec& spec, std::string* error);
