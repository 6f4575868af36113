// Test scenes through the 3D Studio writer and reader.
#include "engine/engine_scenes.h"

#include <cstring>

#include "device/demo_state.h"
#include "device/device.h"
#include "engine/scene_renderer.h"

void AddCamera(TdsScene* scene, Vec3 eye, Vec3 target, float fov_degrees, float roll_degrees) {
  TdsCamera& camera = scene->cameras.emplace_back();
  camera.name = "CAM";
  camera.position = eye;
  camera.target = target;
  const int node = scene->AddNode(kNodeCamera, "CAM");
  scene->nodes[node].position.Add(0, eye);
  scene->nodes[node].fov.Add(0, fov_degrees);
  scene->nodes[node].roll.Add(0, roll_degrees);
  const int target_node = scene->AddNode(kNodeCameraTarget, "CAM");
  scene->nodes[target_node].position.Add(0, target);
}

std::string AddMaterial(TdsScene* scene, const std::string& name, int shading, Vec3 diffuse,
                        const std::string& texture, bool two_sided) {
  TdsMaterial& material = scene->materials.emplace_back();
  material.name = name;
  material.shading = shading;
  material.diffuse = diffuse;
  material.texture = texture;
  material.two_sided = two_sided;
  return name;
}

TdsMesh SquareFacingMinusY(const std::string& name, const std::string& material) {
  TdsMesh mesh;
  mesh.name = name;
  // Seen from -y: x to the right, z up; counter-clockwise faces look at -y.
  mesh.vertices = {{-1, 0, -1}, {1, 0, -1}, {1, 0, 1}, {-1, 0, 1}};
  mesh.mapping = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  mesh.faces = {{0, 1, 2, 7}, {0, 2, 3, 7}};
  if (!material.empty()) mesh.AssignMaterial(material);
  return mesh;
}

TdsMesh Cube(const std::string& name, const std::string& material) {
  TdsMesh mesh;
  mesh.name = name;
  for (int i = 0; i < 8; ++i) {
    mesh.vertices.push_back(
        {(i & 1) ? 1.0f : -1.0f, (i & 2) ? 1.0f : -1.0f, (i & 4) ? 1.0f : -1.0f});
  }
  for (int i = 0; i < 8; ++i) {
    mesh.mapping.push_back({(i & 1) ? 1.0f : 0.0f, (i & 2) ? 1.0f : 0.0f});
  }
  // Each side as two triangles whose normal (b - a) x (c - a) points outward.
  const uint16_t sides[6][4] = {{0, 4, 6, 2}, {1, 3, 7, 5}, {0, 1, 5, 4},
                                {2, 6, 7, 3}, {0, 2, 3, 1}, {4, 5, 7, 6}};
  for (const auto& side : sides) {
    mesh.faces.push_back({side[0], side[1], side[2], 7});
    mesh.faces.push_back({side[0], side[2], side[3], 7});
  }
  if (!material.empty()) mesh.AssignMaterial(material);
  return mesh;
}

int AddObjectNode(TdsScene* scene, const std::string& mesh, Vec3 position, int parent) {
  const int node = scene->AddNode(kNodeObject, mesh, parent);
  // The reader turns a child's file position (x, y, z) into (x, z, -y).
  const Vec3 stored = parent < 0 ? position : Vec3{position.x, -position.z, position.y};
  scene->nodes[node].position.Add(0, stored);
  // Without keys a track keeps its zero value: give every object the
  // identity rotation and unit scale.
  scene->nodes[node].rotation.Add(0, {0.0f, {0, 0, 1}});
  scene->nodes[node].scale.Add(0, {1, 1, 1});
  return node;
}

namespace {
SceneNode* FindIn(SceneNode* node, const char* name) {
  for (; node != nullptr; node = node->next) {
    if (std::strcmp(node->name, name) == 0) return node;
    if (SceneNode* found = FindIn(node->first_child, name)) return found;
  }
  return nullptr;
}
}  // namespace

SceneNode* FindNode(Scene* scene, const char* name) {
  for (int32_t i = 0; i < scene->root_count; ++i) {
    if (SceneNode* found = FindIn(scene->roots[i], name)) return found;
  }
  return nullptr;
}

void SetUpRenderer(int width, int height, int dither) {
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
