// The title scene: two brushed-metal rings turning around a pulsing
// crystal under a starry sky, above a dark water plane; the camera glides
// in from far away.
#include <cmath>

#include "content/mesh_shapes.h"
#include "content/scene_kit.h"
#include "content/scenes.h"

namespace {

void AddRings(SceneSpec& scene, int metal) {
  const size_t ring = AddObject(scene, "RingOuter", -1, {0, 0, 0});
  AddTorus(scene.meshes.back(), {0, 0, 0}, 130, 10, 48, 10, metal, 8, 1);
  SpinTrack(scene.nodes[ring], 300, 20, 0.012f, {0, 0, 1}, TrackMode::kRepeat);
  // The inner ring hangs in the outer one and turns about its own axis.
  const size_t inner = AddObject(scene, "RingInner", 1, {0, 0, 0});
  AddTorus(scene.meshes.back(), {0, 0, 0}, 95, 8, 40, 8, metal, 6, 1);
  SpinTrack(scene.nodes[inner], 300, 20, 0.02f, {1, 0, 0});
  scene.nodes[inner].rotation.keys[0].shape.ease_from = 1.0f;
}

// An octahedron, flat-shaded, that breathes through a looping scale track
// with rounded keys while it turns.
void AddCrystal(SceneSpec& scene, int crystal) {
  const size_t gem = AddObject(scene, "Crystal", -1, {0, 0, 0});
  MeshSpec& g = scene.meshes.back();
  const Vec3f top{0, 0, 60}, bottom{0, 0, -60};
  const Vec3f ring4[4] = {{40, 0, 0}, {0, 40, 0}, {-40, 0, 0}, {0, -40, 0}};
  for (int i = 0; i < 4; ++i) {
    const Vec3f a = ring4[i], b = ring4[(i + 1) % 4];
    const size_t first = g.vertices.size();
    g.vertices.insert(g.vertices.end(), {a, b, top, b, a, bottom});
    g.mapping.insert(g.mapping.end(), {{0, 1}, {1, 1}, {0.5f, 0}, {1, 0}, {0, 0}, {0.5f, 1}});
    const auto f = static_cast<uint16_t>(first);
    g.faces.push_back({f, static_cast<uint16_t>(f + 1), static_cast<uint16_t>(f + 2)});
    g.faces.push_back(
        {static_cast<uint16_t>(f + 3), static_cast<uint16_t>(f + 4), static_cast<uint16_t>(f + 5)});
    g.face_materials.insert(g.face_materials.end(), {crystal, crystal});
  }
  NodeSpec& gem_node = scene.nodes[gem];
  gem_node.scale.mode = TrackMode::kLoop;
  gem_node.scale.keys.clear();
  for (int k = 0; k <= 6; ++k) {
    const float s = k % 2 == 0 ? 1.0f : 1.25f;
    KeyShape shape;
    shape.continuity = -0.3f;
    shape.bias = 0.2f;
    gem_node.scale.keys.push_back({k * 50, Vec3f{s, s, k % 2 == 0 ? 1.0f : 1.4f}, shape});
  }
  SpinTrack(gem_node, 300, 30, -0.03f, {0, 0, 1});
}

// The camera glides in from far away with a slow bank, the view widening
// at the end.
void AddGlideCamera(SceneSpec& scene) {
  AddCamera(scene,
            {{0, {0, -2400, 900}, {0, 0, 0}},
             {120, {-500, -1100, 300}, {0, 0, 0}},
             {220, {-420, -520, 110}, {0, 0, 10}},
             {299, {-150, -330, 60}, {0, 0, 20}}},
            55, 0.8f);
  NodeSpec& eye = scene.nodes[scene.nodes.size() - 2];
  eye.roll.keys = {{0, 25.0f, {}}, {200, -6.0f, {}}, {299, 0.0f, {}}};
  eye.fov.keys = {{0, 45.0f, {}}, {299, 62.0f, {}}};
}

}  // namespace

SceneSpec BuildIntroScene() {
  SceneSpec scene;
  scene.frame_count = 300;
  const int stars = AddMaterial(
      scene,
      {"Stars", {0, 0, 0}, {255, 255, 255}, {0, 0, 0}, Shading::kGouraud, false, 100, "STARS.PCX"});
  const int metal = AddMaterial(scene, {"Chrome",
                                        {30, 30, 40},
                                        {255, 255, 255},
                                        {255, 255, 255},
                                        Shading::kGouraud,
                                        false,
                                        0,
                                        "METAL.BMP"});
  // The crystal's texture is not in the library: the demo shows its plasma.
  const int crystal = AddMaterial(scene, {"Crystal",
                                          {60, 20, 80},
                                          {255, 255, 255},
                                          {255, 255, 255},
                                          Shading::kFlat,
                                          false,
                                          45,
                                          "GLOW.PCX"});
  const int water = AddMaterial(scene, {"DarkWater",
                                        {10, 14, 30},
                                        {160, 180, 255},
                                        {255, 255, 255},
                                        Shading::kGouraud,
                                        false,
                                        0,
                                        "WATER.PCX"});

  AddSkyDome(scene, "StarDome", stars, 3000, 24, 12, false, 4, 2);

  AddRings(scene, metal);
  AddCrystal(scene, crystal);

  AddObject(scene, "Water", -1, {0, 0, -180});
  AddSurface(
      scene.meshes.back(), 16, 16,
      [](float u, float v) {
        return Vec3f{(u - 0.5f) * 4000, (v - 0.5f) * 4000, 0};
      },
      water, 12, 12);

  AddOmniLight(scene, "BlueLight", {-600, -400, 500}, {0.35f, 0.45f, 0.9f});
  const size_t warm = AddOmniLight(scene, "WarmLight", {500, -300, -100}, {1.0f, 0.6f, 0.3f});
  scene.nodes[warm].colour.keys.push_back({150, Vec3f{0.7f, 0.35f, 0.6f}, {}});
  scene.nodes[warm].colour.keys.push_back({299, Vec3f{1.0f, 0.7f, 0.35f}, {}});

  AddGlideCamera(scene);
  return scene;
}
