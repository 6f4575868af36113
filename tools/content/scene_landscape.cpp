// The landscape the demo keeps returning to: green hills around a lake,
// pine woods, a stone tower on a hill, under a sunset sky. The camera
// circles the valley in one continuous path over all 1600 frames, so the
// five pieces the schedule plays join without a jump.
#include <cmath>

#include "content/mesh_shapes.h"
#include "content/procedural.h"
#include "content/scene_kit.h"
#include "content/scenes.h"

namespace {

constexpr float kSize = 3000.0f;
constexpr float kLakeLevel = -30.0f;

float HillHeight(float x, float y) {
  const float u = (x / kSize + 0.5f) * 4, v = (y / kSize + 0.5f) * 4;
  const float hills = TileFractal(u, v, 4, 5, 0.5f, 401);
  const float r = std::sqrt(x * x + y * y);
  const float valley = std::fmin(r / 1100.0f, 1.0f);
  return (hills - 0.42f) * 520.0f * (0.25f + 0.75f * valley * valley) + 180.0f * valley * valley -
         60.0f;
}

int GrassOnly(float, float, float, float) {
  return 0;
}

constexpr Vec3f kTowerHill{620, 380, 0};

void AddWoods(SceneSpec& scene, int pine) {
  AddObject(scene, "Woods", -1, {0, 0, 0});
  MeshSpec& woods = scene.meshes.back();
  int planted = 0;
  for (int i = 0; planted < 48 && i < 400; ++i) {
    const float x = (LatticeValue(i, 0, 411) - 0.5f) * kSize * 0.8f;
    const float y = (LatticeValue(i, 1, 411) - 0.5f) * kSize * 0.8f;
    const float z = HillHeight(x, y);
    if (z < kLakeLevel + 15 || z > 200) continue;
    const float tall = 50 + 40 * LatticeValue(i, 2, 411);
    AddTube(woods, {x, y, z - 5}, tall * 0.32f, 0, tall, 7, pine, 2, 1);
    AddTube(woods, {x, y, z + tall * 0.45f}, tall * 0.24f, 0, tall * 0.7f, 7, pine, 2, 1);
    ++planted;
  }
}

// A stone tower on a hill, with a beacon that glows from its top.
void AddTower(SceneSpec& scene, int tower, int roof, int beacon) {
  const Vec3f hill{kTowerHill.x, kTowerHill.y, HillHeight(kTowerHill.x, kTowerHill.y)};
  AddObject(scene, "Tower", -1, hill);
  MeshSpec& tower_mesh = scene.meshes.back();
  AddBox(tower_mesh, {-30, -30, -20}, {30, 30, 160}, tower);
  const Vec3f peak{0, 0, 230};
  const Vec3f c[4] = {{-40, -40, 160}, {40, -40, 160}, {40, 40, 160}, {-40, 40, 160}};
  for (int i = 0; i < 4; ++i) AddQuad(tower_mesh, c[i], c[(i + 1) % 4], peak, peak, roof);
  // A beacon glows from the tower top and bobs gently.
  const size_t light = AddObject(scene, "BeaconFlame", 1, {0, 0, 250});
  AddSphere(scene.meshes.back(), {0, 0, 0}, 12, 10, 6, beacon);
  scene.nodes[light].position.keys = {
      {0, {0, 0, 250}, {}}, {800, {0, 0, 262}, {}}, {1600, {0, 0, 250}, {}}};
}

// Around the valley one and a quarter times, low over the hills, turning
// to the tower for a while near the end.
void AddValleyCamera(SceneSpec& scene) {
  const Vec3f hill{kTowerHill.x, kTowerHill.y, HillHeight(kTowerHill.x, kTowerHill.y)};
  std::vector<CameraKey> path;
  for (int frame = 0; frame <= 1600; frame += 50) {
    const float t = static_cast<float>(frame) / 1600.0f;
    const float angle = -0.6f + 2 * kPi * 1.25f * t;
    const float radius = 1050 + 250 * std::sin(2 * kPi * 2 * t);
    const float x = radius * std::cos(angle), y = radius * std::sin(angle);
    float ground = HillHeight(x, y);
    for (int probe = 1; probe <= 3; ++probe) {  // clear the hills between keys too
      const float a = angle + 0.12f * static_cast<float>(probe);
      ground = std::fmax(ground, HillHeight(radius * std::cos(a), radius * std::sin(a)));
    }
    const float eye_z = std::fmax(ground, kLakeLevel) + 110 +
                        90 * std::sin(2 * kPi * 3 * t) * std::sin(2 * kPi * 3 * t);
    const Vec3f target{260 * std::cos(angle + 2.2f), 260 * std::sin(angle + 2.2f), 40};
    path.push_back(
        {frame, {x, y, eye_z}, frame >= 1200 && frame <= 1400 ? hill + Vec3f{0, 0, 120} : target});
  }
  AddCamera(scene, path, 60);
}

}  // namespace

SceneSpec BuildMainScene() {
  SceneSpec scene;
  scene.frame_count = 1600;
  AddMaterial(scene, {"Meadow",
                      {40, 48, 36},
                      {255, 255, 255},
                      {0, 0, 0},
                      Shading::kGouraud,
                      false,
                      0,
                      "GRASS.PCX"});
  const int sky = AddMaterial(
      scene,
      {"Sunset", {0, 0, 0}, {255, 255, 255}, {0, 0, 0}, Shading::kGouraud, false, 100, "SKY.PCX"});
  const int lake = AddMaterial(scene, {"Lake",
                                       {30, 50, 80},
                                       {200, 220, 255},
                                       {255, 255, 255},
                                       Shading::kGouraud,
                                       false,
                                       20,
                                       "WATER.PCX"});
  const int pine = AddMaterial(
      scene,
      {"Pines", {20, 35, 20}, {255, 255, 255}, {0, 0, 0}, Shading::kGouraud, false, 0, "PINE.PCX"});
  const int tower = AddMaterial(scene, {"TowerStone",
                                        {60, 55, 50},
                                        {255, 245, 230},
                                        {0, 0, 0},
                                        Shading::kFlat,
                                        false,
                                        0,
                                        "STONE.BMP"});
  const int roof = AddMaterial(
      scene, {"TowerRoof", {50, 15, 10}, {170, 50, 35}, {0, 0, 0}, Shading::kFlat, false, 0, ""});
  const int beacon = AddMaterial(
      scene,
      {"Beacon", {255, 200, 90}, {255, 220, 120}, {0, 0, 0}, Shading::kGouraud, false, 100, ""});

  AddTerrain(scene, "Valley", 72, kSize, 14, HillHeight, GrassOnly);
  AddSkyDome(scene, "SkyDome", sky, 5000, 24, 8, true, 2, 1);
  AddObject(scene, "LakeSurface", -1, {0, 0, kLakeLevel});
  AddSurface(
      scene.meshes.back(), 4, 4,
      [](float u, float v) {
        return Vec3f{(u - 0.5f) * 2400, (v - 0.5f) * 2400, 0};
      },
      lake, 10, 10);

  AddWoods(scene, pine);
  AddTower(scene, tower, roof, beacon);
  AddOmniLight(scene, "Sun", {-6000, 5000, 2500}, {1.0f, 0.82f, 0.62f});
  AddOmniLight(scene, "SkyFill", {3000, -4000, 5000}, {0.25f, 0.3f, 0.45f});

  AddValleyCamera(scene);
  return scene;
}
