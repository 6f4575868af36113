// Shared scene building blocks; see scene_kit.h.
#include "content/scene_kit.h"

#include <cmath>

#include "content/mesh_shapes.h"

int AddMaterial(SceneSpec& scene, const MaterialSpec& material) {
  scene.materials.push_back(material);
  return static_cast<int>(scene.materials.size() - 1);
}

MeshSpec& MeshOf(SceneSpec& scene, const std::string& name) {
  for (MeshSpec& mesh : scene.meshes) {
    if (mesh.name == name) return mesh;
  }
  return scene.meshes.back();
}

size_t AddObject(SceneSpec& scene, const std::string& name, int depth, Vec3f position) {
  MeshSpec mesh;
  mesh.name = name;
  scene.meshes.push_back(mesh);
  NodeSpec node;
  node.kind = NodeKind::kObject;
  node.name = name;
  node.depth = depth;
  node.position.keys.push_back({0, position, {}});
  node.rotation.keys.push_back({0, AxisAngle{}, {}});
  node.scale.keys.push_back({0, Vec3f{1, 1, 1}, {}});
  scene.nodes.push_back(node);
  return scene.nodes.size() - 1;
}

void SpinTrack(NodeSpec& node, int frames, int step, float radians_per_frame, Vec3f axis,
               TrackMode mode) {
  node.rotation.keys.clear();
  node.rotation.mode = mode;
  KeyShape even;
  even.tension = -1.0f;
  for (int frame = 0; frame <= frames + step - 1; frame += step) {
    node.rotation.keys.push_back(
        {frame, AxisAngle{frame == 0 ? 0.0f : radians_per_frame * static_cast<float>(step), axis},
         even});
  }
}

size_t AddOmniLight(SceneSpec& scene, const std::string& name, Vec3f position, Vec3f colour) {
  LightSpec light;
  light.name = name;
  light.position = position;
  light.colour = {static_cast<uint8_t>(std::lround(std::fmin(colour.x, 1.0f) * 255)),
                  static_cast<uint8_t>(std::lround(std::fmin(colour.y, 1.0f) * 255)),
                  static_cast<uint8_t>(std::lround(std::fmin(colour.z, 1.0f) * 255))};
  scene.lights.push_back(light);
  NodeSpec node;
  node.kind = NodeKind::kLight;
  node.name = name;
  node.position.keys.push_back({0, position, {}});
  node.colour.keys.push_back({0, colour, {}});
  scene.nodes.push_back(node);
  return scene.nodes.size() - 1;
}

void AddCamera(SceneSpec& scene, const std::vector<CameraKey>& keys, float fov_degrees,
               float ease_ends) {
  CameraSpec camera;
  camera.name = "Camera01";
  camera.position = keys.front().eye;
  camera.target = keys.front().target;
  camera.lens_mm = 43.456f / std::tan(fov_degrees * kPi / 360.0f) / 2.0f;
  scene.cameras.insert(scene.cameras.begin(), camera);
  NodeSpec eye, target;
  eye.kind = NodeKind::kCamera;
  target.kind = NodeKind::kCameraTarget;
  eye.name = target.name = camera.name;
  for (size_t k = 0; k < keys.size(); ++k) {
    KeyShape shape;
    if (k == 0) shape.ease_from = ease_ends;
    if (k + 1 == keys.size()) shape.ease_to = ease_ends;
    eye.position.keys.push_back({keys[k].frame, keys[k].eye, shape});
    target.position.keys.push_back({keys[k].frame, keys[k].target, shape});
  }
  eye.fov.keys.push_back({0, fov_degrees, {}});
  eye.roll.keys.push_back({0, 0.0f, {}});
  scene.nodes.push_back(eye);
  scene.nodes.push_back(target);
}

void AddSkyDome(SceneSpec& scene, const std::string& name, int material, float radius, int nu,
                int nv, bool upper_half_only, float repeat_u, float repeat_v) {
  AddObject(scene, name, -1, {0, 0, 0});
  MeshSpec& mesh = scene.meshes.back();
  const float from = upper_half_only ? 0.5f : 0.0f;
  // u runs backwards so that the faces point to the centre.
  AddSurface(
      mesh, nu, nv,
      [&](float u, float v) {
        const float theta = 2 * kPi * (1 - u);
        const float phi = kPi * (from + (1 - from) * v);
        return Vec3f{std::cos(theta) * std::sin(phi), std::sin(theta) * std::sin(phi),
                     -std::cos(phi)} *
               radius;
      },
      material, repeat_u, repeat_v);
}

void AddTerrain(SceneSpec& scene, const std::string& name, int n, float size, float repeat,
                float (*height)(float, float), int (*material_of)(float, float, float, float)) {
  AddObject(scene, name, -1, {0, 0, 0});
  MeshSpec& mesh = scene.meshes.back();
  AddSurface(
      mesh, n, n,
      [&](float u, float v) {
        const float x = (u - 0.5f) * size, y = (v - 0.5f) * size;
        return Vec3f{x, y, height(x, y)};
      },
      0, repeat, repeat);
  for (size_t f = 0; f < mesh.faces.size(); ++f) {
    const Vec3f& a = mesh.vertices[mesh.faces[f].a];
    const Vec3f& b = mesh.vertices[mesh.faces[f].b];
    const Vec3f& c = mesh.vertices[mesh.faces[f].c];
    const Vec3f centre = (a + b + c) * (1.0f / 3.0f);
    const Vec3f e1 = b - a, e2 = c - a;
    const Vec3f normal{e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z,
                       e1.x * e2.y - e1.y * e2.x};
    const float length = std::sqrt(normal.x * normal.x + normal.y * normal.y + normal.z * normal.z);
    const float slope = length > 0 ? 1.0f - normal.z / length : 0.0f;
    mesh.face_materials[f] = material_of(centre.x, centre.y, centre.z, slope);
  }
}
