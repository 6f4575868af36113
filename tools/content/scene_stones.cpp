// Standing stones in a ring on a night meadow, lintels across some of
// them, and a fire of logs in the middle. The fire's light flickers (a
// looping colour track) and its flames come and go (hide tracks), each
// flame swaying with its own looping scale track.
#include <cmath>

#include "content/mesh_shapes.h"
#include "content/procedural.h"
#include "content/scene_kit.h"
#include "content/scenes.h"

namespace {

float MeadowHeight(float x, float y) {
  const float u = (x / 3000 + 0.5f) * 4, v = (y / 3000 + 0.5f) * 4;
  const float r = std::sqrt(x * x + y * y);
  return (TileFractal(u, v, 4, 4, 0.5f, 701) - 0.5f) * 140 * std::fmin(r / 500, 1.0f);
}

int Meadow(float, float, float, float) {
  return 0;
}

// A flame plane with its tip at the top (a, b) and its base at the bottom
// (c, d). The flame texture is eight times taller than wide, so one
// eighth of u spans it; v runs from just below 0 at the tip to just above
// -1 at the base, which the reader's negation turns into rows 0..255.
void AddFlamePlane(MeshSpec& mesh, Vec3f a, Vec3f b, Vec3f c, Vec3f d, int material) {
  const size_t first = mesh.vertices.size();
  AddQuad(mesh, a, b, c, d, material);
  const float u0 = 0.002f, u1 = 0.123f, v_tip = -0.002f, v_base = -0.998f;
  mesh.mapping[first + 0] = {u0, v_tip};
  mesh.mapping[first + 1] = {u1, v_tip};
  mesh.mapping[first + 2] = {u1, v_base};
  mesh.mapping[first + 3] = {u0, v_base};
}

constexpr int kStones = 14;
constexpr float kRingRadius = 230.0f;
constexpr int kFlames = 6;

void AddStoneRing(SceneSpec& scene, int stone) {
  AddObject(scene, "Stones", -1, {0, 0, 0});
  MeshSpec& stones = scene.meshes.back();
  for (int i = 0; i < kStones; ++i) {
    const float angle = 2 * kPi * static_cast<float>(i) / kStones;
    const float tall = 130;  // level tops carry the lintels
    const float wide = 22 + 10 * LatticeValue(i, 1, 711);
    const size_t first = stones.vertices.size();
    AddBox(stones, {-wide, -14, -20}, {wide, 14, tall}, stone);
    // Lean each stone a little, then stand it on the ring facing the fire.
    for (size_t v = first; v < stones.vertices.size(); ++v) {
      stones.vertices[v].x += stones.vertices[v].z * 0.06f * (LatticeValue(i, 2, 711) - 0.5f);
    }
    const Vec3f at{kRingRadius * std::cos(angle), kRingRadius * std::sin(angle), 0};
    RotateZ(stones, first, angle + kPi / 2, {0, 0, 0}, at + Vec3f{0, 0, MeadowHeight(at.x, at.y)});
    if (i % 2 == 0) {  // a lintel over this stone and the next
      const float next = 2 * kPi * (static_cast<float>(i) + 0.5f) / kStones;
      const size_t lintel = stones.vertices.size();
      AddBox(stones, {-62, -12, 0}, {62, 12, 22}, stone);
      const float a1 = 2 * kPi * static_cast<float>(i + 1) / kStones;
      const float tops =
          0.5f * (MeadowHeight(at.x, at.y) +
                  MeadowHeight(kRingRadius * std::cos(a1), kRingRadius * std::sin(a1)));
      const Vec3f mid{kRingRadius * std::cos(next), kRingRadius * std::sin(next), tops + tall};
      RotateZ(stones, lintel, next + kPi / 2, {0, 0, 0}, mid);
    }
  }
}

void AddFire(SceneSpec& scene, int wood, int fire, int embers) {
  AddObject(scene, "Firewood", -1, {0, 0, MeadowHeight(0, 0)});
  MeshSpec& logs = scene.meshes.back();
  for (int i = 0; i < 5; ++i) {
    const size_t first = logs.vertices.size();
    AddBox(logs, {-45, -6, 0}, {45, 6, 12}, wood);
    RotateZ(logs, first, static_cast<float>(i) * kPi / 5, {0, 0, 0},
            {0, 0, static_cast<float>(i % 2) * 8});
  }
  AddSphere(logs, {0, 0, 6}, 26, 12, 4, embers);

  for (int f = 0; f < kFlames; ++f) {
    const std::string name = "Flame" + std::to_string(f + 1);
    const float angle = 2 * kPi * static_cast<float>(f) / kFlames;
    const Vec3f base{14 * std::cos(angle), 14 * std::sin(angle), MeadowHeight(0, 0) + 8};
    const size_t node = AddObject(scene, name, -1, base);
    MeshSpec& flame = scene.meshes.back();
    const float w = 18 + 8 * LatticeValue(f, 0, 721), h = 70 + 40 * LatticeValue(f, 1, 721);
    // Two crossed planes, seen from both sides.
    AddFlamePlane(flame, {-w, 0, h}, {w, 0, h}, {w, 0, 0}, {-w, 0, 0}, fire);
    AddFlamePlane(flame, {0, -w, h}, {0, w, h}, {0, w, 0}, {0, -w, 0}, fire);
    NodeSpec& n = scene.nodes[node];
    n.scale.mode = TrackMode::kLoop;
    n.scale.keys.clear();
    const int period = 8 + f * 2;
    for (int k = 0; k * period <= 600 + period; ++k) {
      const float sway = 0.7f + 0.5f * LatticeValue(f, k, 722);
      KeyShape shape;
      shape.tension = 0.2f;
      shape.continuity = 0.4f * (LatticeValue(f, k, 723) - 0.5f);
      shape.bias = 0.3f;
      n.scale.keys.push_back(
          {k * period, Vec3f{1.1f - 0.3f * sway, 1.1f - 0.3f * sway, sway}, shape});
    }
    SpinTrack(n, 600, 40, 0.01f * static_cast<float>(f % 2 ? 1 : -1), {0, 0, 1});
    // Each flame dies down and flares up again now and then.
    int frame = 60 + 37 * f;
    while (frame < 590) {
      n.hide.keys.push_back({frame, 0, {}});
      frame += 12 + static_cast<int>(40 * LatticeValue(f, frame, 724));
      if (frame >= 598) break;
      n.hide.keys.push_back({frame, 0, {}});
      frame += 50 + static_cast<int>(90 * LatticeValue(f, frame, 725));
    }
  }
}

// The fire's light flickers through a looping colour track; the moon and
// the sky's glow light the stones from outside.
void AddLights(SceneSpec& scene) {
  const size_t light =
      AddOmniLight(scene, "FireLight", {0, 0, MeadowHeight(0, 0) + 60}, {1.0f, 0.6f, 0.2f});
  NodeSpec& glow = scene.nodes[light];
  glow.colour.mode = TrackMode::kLoop;
  glow.colour.keys.clear();
  for (int frame = 0, k = 0; frame <= 600;
       frame += 3 + static_cast<int>(4 * LatticeValue(k, 0, 731)), ++k) {
    const float level = 0.65f + 0.45f * LatticeValue(k, 1, 731);
    glow.colour.keys.push_back({frame, Vec3f{1.1f * level, 0.6f * level, 0.18f * level}, {}});
  }
  AddOmniLight(scene, "Moonlight", {-2500, 3000, 3500}, {0.3f, 0.36f, 0.6f});
  AddOmniLight(scene, "Skyglow", {3000, -2500, 2500}, {0.2f, 0.2f, 0.3f});
}

void AddCircleCamera(SceneSpec& scene) {
  // Slowly around the circle at eye height, rising at the end.
  std::vector<CameraKey> path;
  for (int frame = 0; frame <= 600; frame += 50) {
    const float t = static_cast<float>(frame) / 600.0f;
    const float angle = 0.3f + 1.4f * kPi * t;
    const float radius = 640 - 120 * std::sin(kPi * t);
    const float x = radius * std::cos(angle), y = radius * std::sin(angle);
    path.push_back({frame, {x, y, MeadowHeight(x, y) + 110 + 300 * t * t}, {0, 0, 60 - 40 * t}});
  }
  AddCamera(scene, path, 62, 0.4f);
}

}  // namespace

SceneSpec BuildStoneCircleScene() {
  SceneSpec scene;
  scene.frame_count = 600;
  AddMaterial(scene, {"NightGrass",
                      {10, 16, 14},
                      {200, 230, 210},
                      {0, 0, 0},
                      Shading::kGouraud,
                      false,
                      0,
                      "GRASS.PCX"});
  // Smooth-shaded although every face is flat: the board keeps flat-shaded
  // colours through the fades, and stones this large would stay lit while
  // the rest of the picture fades out.
  const int stone = AddMaterial(scene, {"Megalith",
                                        {40, 40, 52},
                                        {255, 250, 240},
                                        {0, 0, 0},
                                        Shading::kGouraud,
                                        false,
                                        0,
                                        "STONE.BMP"});
  const int wood = AddMaterial(scene, {"Firewood",
                                       {30, 15, 8},
                                       {255, 220, 190},
                                       {0, 0, 0},
                                       Shading::kGouraud,
                                       false,
                                       10,
                                       "WOOD.PCX"});
  const int fire = AddMaterial(scene, {"Flames",
                                       {255, 140, 40},
                                       {255, 255, 255},
                                       {0, 0, 0},
                                       Shading::kGouraud,
                                       true,
                                       100,
                                       "FIRE.PCX"});
  const int embers = AddMaterial(
      scene, {"Embers", {120, 30, 0}, {255, 90, 20}, {0, 0, 0}, Shading::kGouraud, false, 60, ""});
  const int sky = AddMaterial(scene, {"NightSky",
                                      {0, 0, 0},
                                      {255, 255, 255},
                                      {0, 0, 0},
                                      Shading::kGouraud,
                                      false,
                                      100,
                                      "STARS.PCX"});

  AddTerrain(scene, "Meadow", 40, 3000, 10, MeadowHeight, Meadow);
  AddSkyDome(scene, "NightDome", sky, 5000, 32, 8, true, 4, 1);

  AddStoneRing(scene, stone);
  AddFire(scene, wood, fire, embers);
  AddLights(scene);
  AddCircleCamera(scene);
  return scene;
}
