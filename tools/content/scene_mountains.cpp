// The mountains: a fractal range flown over (rock below, snow on the peaks
// and ridges) and, nearby, a log hut with a lit window in a snowy hollow,
// watched by a moon spotlight.
#include <cmath>

#include "content/mesh_shapes.h"
#include "content/procedural.h"
#include "content/scene_kit.h"
#include "content/scenes.h"

namespace {

constexpr float kRangeSize = 6000.0f;

float RangeHeight(float x, float y) {
  const float u = (x / kRangeSize + 0.5f) * 4, v = (y / kRangeSize + 0.5f) * 4;
  const float ridges = TileRidged(u, v, 4, 5, 501);
  const float base = TileFractal(u, v, 4, 3, 0.5f, 502);
  // A river valley winds along y = 0 for the flight path.
  const float valley = std::fmin(std::fabs(y - 700 * std::sin(x / 900.0f)) / 900.0f, 1.0f);
  return (ridges * 900 + base * 500 - 450) * (0.2f + 0.8f * valley);
}

int RockOrSnow(float, float, float z, float slope) {
  return z > 330 - 500 * slope ? 1 : 0;  // snow lies high and on gentle slopes
}

float HollowHeight(float x, float y) {
  const float r = std::sqrt(x * x + y * y);
  const float u = (x / 2400 + 0.5f) * 4, v = (y / 2400 + 0.5f) * 4;
  return (TileFractal(u, v, 4, 4, 0.5f, 503) - 0.5f) * 120 +
         std::pow(std::fmax(r - 350, 0.0f) / 900, 2.0f) * 260;
}

int SnowyHollow(float, float, float z, float slope) {
  return z > 140 || slope > 0.35f ? 0 : 1;
}

struct HutMaterials {
  int logs, roof, door, window, chimney;
};

void AddHut(SceneSpec& scene, float ground, const HutMaterials& m) {
  AddObject(scene, "Hut", -1, {0, 0, ground});
  MeshSpec& hut = scene.meshes.back();
  AddBox(hut, {-90, -60, -10}, {90, 60, 90}, m.logs);
  // Gabled roof: two slopes and the two gable ends.
  const Vec3f e[6] = {{-105, -75, 90}, {105, -75, 90}, {105, 0, 150},
                      {-105, 0, 150},  {105, 75, 90},  {-105, 75, 90}};
  AddQuad(hut, e[0], e[1], e[2], e[3], m.roof);
  AddQuad(hut, e[4], e[5], e[3], e[2], m.roof);
  AddQuad(hut, {-90, 60, 90}, {-90, -60, 90}, {-90, 0, 150}, {-90, 0, 150}, m.logs);
  AddQuad(hut, {90, -60, 90}, {90, 60, 90}, {90, 0, 150}, {90, 0, 150}, m.logs);
  AddQuad(hut, {-25, -61, -10}, {25, -61, -10}, {25, -61, 60}, {-25, -61, 60}, m.door);
  AddQuad(hut, {40, -61, 25}, {75, -61, 25}, {75, -61, 60}, {40, -61, 60}, m.window);
  AddQuad(hut, {91, -25, 25}, {91, 25, 25}, {91, 25, 60}, {91, -25, 60}, m.window);
  AddBox(hut, {45, 10, 100}, {70, 35, 185}, m.chimney);
}

void AddForest(SceneSpec& scene, int pine) {
  AddObject(scene, "Forest", -1, {0, 0, 0});
  MeshSpec& forest = scene.meshes.back();
  for (int i = 0; i < 36; ++i) {
    const float angle = 2 * kPi * LatticeValue(i, 0, 511);
    const float r = 300 + 600 * LatticeValue(i, 1, 511);
    const float x = r * std::cos(angle), y = r * std::sin(angle);
    const float tall = 70 + 60 * LatticeValue(i, 2, 511);
    AddTube(forest, {x, y, HollowHeight(x, y) - 5}, tall * 0.3f, 0, tall, 8, pine, 2, 1);
  }
}

void AddHutLights(SceneSpec& scene, float ground) {
  // Warm light from the window, flickering with the stove inside.
  const size_t stove =
      AddOmniLight(scene, "StoveLight", {60, -140, ground + 50}, {0.9f, 0.55f, 0.25f});
  NodeSpec& stove_node = scene.nodes[stove];
  stove_node.colour.mode = TrackMode::kLoop;
  stove_node.colour.keys.clear();
  for (int k = 0; k <= 12; ++k) {
    const float flicker = 0.75f + 0.25f * LatticeValue(k % 12, 0, 512);
    stove_node.colour.keys.push_back(
        {k * 50, Vec3f{0.9f * flicker, 0.55f * flicker, 0.25f * flicker}, {}});
  }
  AddOmniLight(scene, "SkyLight", {-3000, 2000, 4000}, {0.35f, 0.4f, 0.6f});

  // Moonlight: a spotlight aimed by its own target node. The target node
  // comes first so that the light's own node is the last one linked to it.
  LightSpec moon;
  moon.name = "MoonSpot";
  moon.position = {-900, -1200, 1400};
  moon.colour = {150, 170, 255};
  moon.spot = true;
  moon.spot_target = {0, 0, ground};
  scene.lights.push_back(moon);
  NodeSpec target;
  target.kind = NodeKind::kLightTarget;
  target.name = "MoonSpot";
  target.position.keys = {{0, {0, 0, ground}, {}}, {599, {100, 50, ground}, {}}};
  scene.nodes.push_back(target);
  NodeSpec spot;
  spot.kind = NodeKind::kSpotlight;
  spot.name = "MoonSpot";
  spot.position.keys = {{0, moon.position, {}}};
  spot.colour.keys = {{0, {0.45f, 0.5f, 0.75f}, {}}};
  scene.nodes.push_back(spot);
}

void AddHutCamera(SceneSpec& scene, float ground) {
  // Around the hut and down to the lit window.
  std::vector<CameraKey> path;
  for (int frame = 0; frame <= 600; frame += 50) {
    const float t = static_cast<float>(frame) / 600.0f;
    const float angle = 1.1f * kPi - 1.6f * kPi * t;  // ends before the door
    const float radius = 700 - 380 * t;
    const float x = radius * std::cos(angle), y = radius * std::sin(angle);
    path.push_back({frame, {x, y, HollowHeight(x, y) + 160 - 80 * t}, {0, 0, ground + 60}});
  }
  AddCamera(scene, path, 58, 0.6f);
}

}  // namespace

SceneSpec BuildMountainWorldScene() {
  SceneSpec scene;
  scene.frame_count = 900;
  AddMaterial(
      scene,
      {"Rock", {45, 42, 40}, {255, 250, 240}, {0, 0, 0}, Shading::kGouraud, false, 0, "ROCK.BMP"});
  AddMaterial(scene, {"Snow",
                      {90, 95, 110},
                      {255, 255, 255},
                      {255, 255, 255},
                      Shading::kGouraud,
                      false,
                      0,
                      "SNOW.PCX"});
  const int sky = AddMaterial(
      scene,
      {"DaySky", {0, 0, 0}, {255, 255, 255}, {0, 0, 0}, Shading::kGouraud, false, 100, "SKY.PCX"});
  AddTerrain(scene, "Range", 84, kRangeSize, 16, RangeHeight, RockOrSnow);
  AddSkyDome(scene, "SkyDome", sky, 7000, 24, 8, true, 2, 1);
  AddOmniLight(scene, "Sun", {-8000, -3000, 6000}, {1.0f, 0.95f, 0.85f});
  AddOmniLight(scene, "Bounce", {5000, 6000, 1500}, {0.2f, 0.25f, 0.35f});

  // Down the valley, rising over the last ridge.
  std::vector<CameraKey> path;
  for (int frame = 0; frame <= 900; frame += 60) {
    const float x = -2600 + 5200 * static_cast<float>(frame) / 900.0f;
    const float y = 700 * std::sin(x / 900.0f);
    float ground = 0;
    for (float dx = -300; dx <= 300; dx += 100)
      ground = std::fmax(ground, RangeHeight(x + dx, 700 * std::sin((x + dx) / 900.0f)));
    const float lift = frame > 700 ? static_cast<float>(frame - 700) * 2.0f : 0.0f;
    const float ahead = x + 600;
    path.push_back(
        {frame, {x, y, ground + 180 + lift}, {ahead, 700 * std::sin(ahead / 900.0f), ground + 60}});
  }
  AddCamera(scene, path, 65, 0.5f);
  // The camera banks into the valley's bends.
  NodeSpec& eye = scene.nodes[scene.nodes.size() - 2];
  eye.roll.keys.clear();
  for (int frame = 0; frame <= 900; frame += 90) {
    const float x = -2600 + 5200 * static_cast<float>(frame) / 900.0f;
    KeyShape shape;
    shape.tension = 0.3f;
    shape.continuity = 0.2f;
    shape.bias = -0.2f;
    eye.roll.keys.push_back({frame, -18.0f * std::cos(x / 900.0f), shape});
  }
  return scene;
}

SceneSpec BuildMountainHutScene() {
  SceneSpec scene;
  scene.frame_count = 600;
  // "rock.pcx" differs from the mountains' "ROCK.BMP" only in case and
  // extension: both use the one rock texture.
  AddMaterial(scene, {"HollowRock",
                      {45, 45, 55},
                      {230, 230, 240},
                      {0, 0, 0},
                      Shading::kGouraud,
                      false,
                      0,
                      "rock.pcx"});
  const int snow = AddMaterial(scene, {"HollowSnow",
                                       {80, 85, 110},
                                       {255, 255, 255},
                                       {0, 0, 0},
                                       Shading::kGouraud,
                                       false,
                                       0,
                                       "SNOW.PCX"});
  (void)snow;
  const int logs = AddMaterial(
      scene,
      {"Logs", {35, 25, 20}, {255, 235, 210}, {0, 0, 0}, Shading::kGouraud, false, 0, "WOOD.PCX"});
  const int roof = AddMaterial(scene, {"RoofSnow",
                                       {80, 85, 110},
                                       {255, 255, 255},
                                       {0, 0, 0},
                                       Shading::kGouraud,
                                       true,
                                       0,
                                       "SNOW.PCX"});
  const int door = AddMaterial(
      scene, {"Door", {30, 18, 10}, {120, 70, 40}, {0, 0, 0}, Shading::kFlat, false, 0, ""});
  const int window = AddMaterial(
      scene,
      {"Window", {255, 190, 90}, {255, 200, 110}, {0, 0, 0}, Shading::kFlat, false, 100, ""});
  const int chimney = AddMaterial(
      scene,
      {"Chimney", {50, 45, 45}, {230, 225, 220}, {0, 0, 0}, Shading::kFlat, false, 0, "rock.pcx"});
  const int pine = AddMaterial(scene, {"SnowPines",
                                       {25, 40, 35},
                                       {230, 255, 240},
                                       {0, 0, 0},
                                       Shading::kGouraud,
                                       false,
                                       0,
                                       "PINE.PCX"});
  const int sky = AddMaterial(
      scene,
      {"DuskSky", {0, 0, 0}, {180, 190, 255}, {0, 0, 0}, Shading::kGouraud, false, 100, "SKY.PCX"});

  AddTerrain(scene, "Hollow", 40, 2400, 8, HollowHeight, SnowyHollow);
  AddSkyDome(scene, "SkyDome", sky, 4000, 20, 8, true, 2, 1);

  const float ground = HollowHeight(0, 0);
  AddHut(scene, ground, {logs, roof, door, window, chimney});
  AddForest(scene, pine);
  AddHutLights(scene, ground);
  AddHutCamera(scene, ground);
  return scene;
}
