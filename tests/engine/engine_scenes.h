// Scenes for the engine's tests, described with the 3D Studio writer and
// read back with the scene reader, so every test runs the real load path.
#pragma once

#include <string>

#include "device/demo_state.h"
#include "device/device.h"
#include "engine/scene_renderer.h"
#include "scene/scene_test_support.h"

// A camera "CAM" at eye looking at target, its node and its target node as
// roots.
inline void AddCamera(TdsScene* scene, Vec3 eye, Vec3 target, float fov_degrees = 90.0f) {
  TdsCamera& camera = scene->cameras.emplace_back();
  camera.name = "CAM";
  camera.position = eye;
  camera.target = target;
  const int node = scene->AddNode(kNodeCamera, "CAM");
  scene->nodes[node].position.Add(0, eye);
  scene->nodes[node].fov.Add(0, fov_degrees);
  scene->nodes[node].roll.Add(0, 0.0f);
  scene->nodes[scene->AddNode(kNodeCameraTarget, "CAM")].position.Add(0, target);
}

// A light with a node, standing at position with the colour (1 is full).
inline void AddLight(TdsScene* scene, const std::string& name, Vec3 position, Vec3 colour) {
  scene->lights.emplace_back().name = name;
  const int node = scene->AddNode(kNodeLight, name);
  scene->nodes[node].position.Add(0, position);
  scene->nodes[node].colour.Add(0, colour);
}

// A material with the file's shading value (1 flat .. 4), diffuse colour and
// optional texture.
inline TdsMaterial& AddMaterial(TdsScene* scene, const std::string& name, int shading, Vec3 diffuse,
                                const std::string& texture = "") {
  TdsMaterial& material = scene->materials.emplace_back();
  material.name = name;
  material.shading = shading;
  material.diffuse = diffuse;
  material.texture = texture;
  return material;
}

// A square of side 2 in the plane y = 0 centred on the origin, facing -y (two
// triangles): seen from -y, x runs to the right and z up.
inline TdsMesh SquareFacingMinusY(const std::string& name, const std::string& material) {
  TdsMesh mesh;
  mesh.name = name;
  mesh.vertices = {{-1, 0, -1}, {1, 0, -1}, {1, 0, 1}, {-1, 0, 1}};
  mesh.mapping = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  mesh.faces = {{0, 1, 2, 7}, {0, 2, 3, 7}};
  if (!material.empty()) mesh.AssignMaterial(material);
  return mesh;
}

// A closed cube of side 2 centred on the origin, every face turned outward.
inline TdsMesh Cube(const std::string& name, const std::string& material) {
  TdsMesh mesh;
  mesh.name = name;
  for (int i = 0; i < 8; ++i) {
    mesh.vertices.push_back({i & 1 ? 1.0f : -1.0f, i & 2 ? 1.0f : -1.0f, i & 4 ? 1.0f : -1.0f});
    mesh.mapping.push_back({i & 1 ? 1.0f : 0.0f, i & 2 ? 1.0f : 0.0f});
  }
  const uint16_t sides[6][4] = {{0, 4, 6, 2}, {1, 3, 7, 5}, {0, 1, 5, 4},
                                {2, 6, 7, 3}, {0, 2, 3, 1}, {4, 5, 7, 6}};
  for (const auto& side : sides) {
    mesh.faces.push_back({side[0], side[1], side[2], 7});
    mesh.faces.push_back({side[0], side[2], side[3], 7});
  }
  mesh.AssignMaterial(material);
  return mesh;
}

// An object node with identity rotation and unit scale at position for the
// mesh of that name; returns its index. parent >= 0 makes it a child (its
// position is given as the model holds it; the file's axis order is applied
// here).
inline int AddObjectNode(TdsScene* scene, const std::string& mesh, Vec3 position, int parent = -1) {
  const int node = scene->AddNode(kNodeObject, mesh, parent);
  // The reader turns a child's file position (x, y, z) into (x, z, -y).
  scene->nodes[node].position.Add(
      0, parent < 0 ? position : Vec3{position.x, -position.z, position.y});
  // Without keys a track keeps its zero value.
  scene->nodes[node].rotation.Add(0, {0.0f, {0, 0, 1}});
  scene->nodes[node].scale.Add(0, {1, 1, 1});
  return node;
}

// The square as the only object, its node the first root, facing the camera
// at (0, -10, 0).
inline TdsScene FacingSquare(int shading = 3) {
  TdsScene scene;
  AddMaterial(&scene, "MAT", shading, {200, 100, 50});
  scene.meshes.push_back(SquareFacingMinusY("SQUARE", "MAT"));
  AddObjectNode(&scene, "SQUARE", {0, 0, 0});
  AddCamera(&scene, {0, -10, 0}, {0, 0, 0});
  return scene;
}

// The demo state the renderer reads: a screen and view of width x height,
// the plain colour shift tables, the dither switch; then the renderer's
// vertices.
inline void SetUpRenderer(int width, int height, int dither) {
  ScreenWidth = ViewWidth = width;
  ScreenHeight = ViewHeight = height;
  for (uint32_t i = 0; i < 256; ++i) {
    RedShift[i] = i << 16;
    GreenShift[i] = i << 8;
    BlueShift[i] = i;
  }
  DitherEnabled = dither;
  InitRenderVertices();
}
