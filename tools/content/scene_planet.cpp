// The planet, in three scenes that join: approached from deep space,
// circled with its moons, and left behind. The planet turns and carries
// its moons (children of its node); the first moon carries a small
// satellite of its own. Each part starts where the previous one ended:
// the camera path is one curve cut in three, and the turning bodies start
// at the angle the previous part left them in.
#include <cmath>

#include "content/mesh_shapes.h"
#include "content/scene_kit.h"
#include "content/scenes.h"

namespace {

// Frames of each part and where it starts on the one shared clock.
constexpr int kPartFrames[3] = {100, 173, 180};
constexpr int kPartStart[3] = {0, 99, 271};
constexpr float kPlanetSpin = 0.004f;  // radians per frame
constexpr float kMoonSpin = 0.015f;

Vec3f RotatedZ(Vec3f p, float angle) {
  return {p.x * std::cos(angle) - p.y * std::sin(angle),
          p.x * std::sin(angle) + p.y * std::cos(angle), p.z};
}

// The camera's whole journey, frame 0 .. 450 of the shared clock.
CameraKey JourneyKey(int frame) {
  const float t = static_cast<float>(frame);
  if (frame <= 99) {  // approach from far above the ring plane
    const float s = t / 99.0f;
    const float d = 5200 - 3700 * s;
    const float a = -kPi / 2 - 0.34f;
    return {0, {d * std::cos(a), d * std::sin(a), 1400 - 1100 * s}, {0, 0, 0}};
  }
  if (frame <= 271) {  // half a turn around the planet
    const float s = (t - 99) / 172.0f;
    const float a = -kPi / 2 - 0.34f + kPi * s;
    const float r = 1500 + 150 * std::sin(kPi * s);
    return {0, {r * std::cos(a), r * std::sin(a), 300 - 420 * std::sin(kPi * s)}, {0, 0, 0}};
  }
  const float s = (t - 271) / 179.0f;  // away past the outer moon
  const float a = kPi / 2 - 0.34f + 0.8f * s;
  const float r = 1500 + 4200 * s * s;
  return {0, {r * std::cos(a), r * std::sin(a), 300 + 1500 * s}, {-700 * s, 900 * s, 0}};
}

void AddPlanet(SceneSpec& scene, int surface, int ring, int frames, int start) {
  // The planet: 150 x 68 quads, about 20,000 faces, turned to where the
  // shared clock has it.
  const float planet_angle = kPlanetSpin * static_cast<float>(start);
  const size_t planet = AddObject(scene, "Planet", -1, {0, 0, 0});
  // The texture is twice as wide as high: half of v covers it once.
  AddSphere(scene.meshes.back(), {0, 0, 0}, 420, 150, 68, surface, 1, 0.5f);
  // The ring is part of the planet's mesh and turns with it.
  MeshSpec& body = scene.meshes.back();
  AddSurface(
      body, 64, 2,
      [](float u, float v) {
        const float a = 2 * kPi * u, r = 620 + 260 * v;
        return Vec3f{r * std::cos(a), r * std::sin(a), 0};
      },
      ring, 8, 1);
  RotateZ(body, 0, planet_angle, {0, 0, 0});
  SpinTrack(scene.nodes[planet], frames, 20, kPlanetSpin, {0, 0, 1}, TrackMode::kRepeat);
}

void AddMoons(SceneSpec& scene, int moon, int metal, int frames, int start) {
  const float planet_angle = kPlanetSpin * static_cast<float>(start);
  // Moons ride on the planet's node; positions are relative to it.
  const float moon_angle = kMoonSpin * static_cast<float>(start);
  const size_t moon1 = AddObject(scene, "MoonA", 1, RotatedZ({1250, 0, 80}, planet_angle));
  AddSphere(scene.meshes.back(), {0, 0, 0}, 90, 24, 12, moon);
  RotateZ(scene.meshes.back(), 0, moon_angle, {0, 0, 0});
  SpinTrack(scene.nodes[moon1], frames, 25, kMoonSpin, {0, 0, 1});
  AddObject(scene, "Probe", 2, RotatedZ({170, 0, 20}, moon_angle));
  AddBox(scene.meshes.back(), {-12, -6, -6}, {12, 6, 6}, metal);
  AddBox(scene.meshes.back(), {-4, -40, -1}, {4, 40, 1}, metal);
  AddObject(scene, "MoonB", 1, RotatedZ({-900, 1500, -150}, planet_angle));
  AddSphere(scene.meshes.back(), {0, 0, 0}, 60, 20, 10, moon);
}

// This part's stretch of the one camera journey.
void AddJourneyCamera(SceneSpec& scene, int frames, int start) {
  std::vector<CameraKey> path;
  for (int frame = 0; frame < frames; frame += 10) {
    CameraKey key = JourneyKey(start + frame);
    key.frame = frame;
    path.push_back(key);
  }
  CameraKey last = JourneyKey(start + frames - 1);
  last.frame = frames - 1;
  if (path.back().frame != last.frame) path.push_back(last);
  AddCamera(scene, path, 50);
}

}  // namespace

SceneSpec BuildPlanetScene(int part) {
  const int index = part - 1;
  const int frames = kPartFrames[index];
  const int start = kPartStart[index];
  SceneSpec scene;
  scene.frame_count = frames;
  const int stars = AddMaterial(scene, {"DeepSpace",
                                        {0, 0, 0},
                                        {255, 255, 255},
                                        {0, 0, 0},
                                        Shading::kGouraud,
                                        false,
                                        100,
                                        "STARS.PCX"});
  const int surface = AddMaterial(scene, {"Surface",
                                          {26, 30, 48},
                                          {255, 255, 255},
                                          {255, 255, 255},
                                          Shading::kGouraud,
                                          false,
                                          0,
                                          "PLANET.BMP"});
  const int moon = AddMaterial(scene, {"MoonDust",
                                       {12, 12, 14},
                                       {255, 250, 240},
                                       {0, 0, 0},
                                       Shading::kGouraud,
                                       false,
                                       0,
                                       "MOON.PCX"});
  const int ring = AddMaterial(
      scene,
      {"IceRing", {40, 35, 30}, {230, 200, 160}, {255, 255, 255}, Shading::kGouraud, true, 15, ""});
  const int metal = AddMaterial(
      scene,
      {"Probe", {30, 30, 30}, {255, 255, 255}, {0, 0, 0}, Shading::kFlat, false, 0, "METAL.BMP"});

  AddSkyDome(scene, "Stars", stars, 9000, 32, 16, false, 4, 2);
  AddPlanet(scene, surface, ring, frames, start);
  AddMoons(scene, moon, metal, frames, start);

  AddOmniLight(scene, "Star", {16000, -15000, 7000}, {1.0f, 0.95f, 0.85f});
  AddOmniLight(scene, "Nebula", {15000, 14000, -4000}, {0.15f, 0.1f, 0.3f});

  AddJourneyCamera(scene, frames, start);
  return scene;
}
