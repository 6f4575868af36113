// Scenes for the engine's tests, described with the 3D Studio writer and
// read back with the scene reader, so every test runs the real load path.
#pragma once

#include <string>

#include "scene/scene_test_support.h"

// A camera "CAM" at eye looking at target with the field of view, its node
// and its target node as roots.
void AddCamera(TdsScene* scene, Vec3 eye, Vec3 target, float fov_degrees = 90.0f,
               float roll_degrees = 0.0f);

// A material with the file's shading value (1 flat .. 4), diffuse colour and
// optional texture; returns its name.
std::string AddMaterial(TdsScene* scene, const std::string& name, int shading, Vec3 diffuse,
                        const std::string& texture = "", bool two_sided = false);

// A square of side 2 in the plane y = 0 centred on the origin, facing -y (two
// triangles), and a closed cube of side 2 centred on the origin.
TdsMesh SquareFacingMinusY(const std::string& name, const std::string& material);
TdsMesh Cube(const std::string& name, const std::string& material);

// An object node with identity rotation and unit scale placed at position
// for the mesh of that name; returns
// its index. parent >= 0 makes it a child (its position is given as the
// model holds it; the file's axis order is applied here).
int AddObjectNode(TdsScene* scene, const std::string& mesh, Vec3 position, int parent = -1);

// The first node of the scene (depth first, siblings in order) with the name.
SceneNode* FindNode(Scene* scene, const char* name);

// The demo state the renderer reads: a screen and view of width x height,
// the plain colour shift tables, the dither switch; then the renderer's
// vertices.
void SetUpRenderer(int width, int height, int dither);
