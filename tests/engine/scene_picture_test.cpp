// Whole frames on the software board: a scene with a hierarchy, a hidden
// node, every colour-combine case and a floor cut by the near plane, drawn
// from the 3D Studio bytes to pixels and compared with a golden picture; the
// board's culling agrees with the evaluation's.
// Set VEYRITH_REGENERATE_GOLDEN=1 to rewrite the golden pictures.
#include <algorithm>
#include <string>
#include <vector>

#include "board/board_fixture.h"
#include "board/golden_picture.h"
#include "device/demo_state.h"
#include "device/device.h"
#include "engine/engine_scenes.h"
#include "engine/polygon_buffer.h"
#include "engine/scene_evaluation.h"
#include "engine/scene_renderer.h"
#include "engine/texture_upload.h"

namespace {

constexpr int kSlot = 8;
constexpr int kCheckerSide = 64;

class ScenePictureTest : public BoardTest {
 protected:
  void SetUp() override {
    BoardTest::SetUp();
    SetUpRenderer(kWidth, kHeight, /*dither=*/0);
    FadeLevel = 255;
    // A checker texture in slot 0: white and blue squares of 8 texels.
    for (int i = 0; i < kCheckerSide * kCheckerSide; ++i) {
      checker_[i] = (i % kCheckerSide / 8 + i / kCheckerSide / 8) & 1 ? 0xFFFF : 0x001F;
    }
    TextureSlots[0] = Texture{};
    TextureSlots[0].image = Image{checker_.data(), kCheckerSide, kCheckerSide, 0};
    TextureMemoryCursor = 0xFFFFFFFFu;
    ASSERT_EQ(UploadTexture(&TextureSlots[0]), 1);
  }

  void TearDown() override {
    SceneSlots[kSlot] = nullptr;
    TextureSlots[0] = Texture{};
    BoardTest::TearDown();
  }

  static std::vector<uint16_t> DrawFrame(Scene* scene, int32_t frame) {
    grBufferClear(0, 0, 0xFFFF);
    SceneSlots[kSlot] = scene;
    DrawSceneFrame(kSlot, frame, frame + 1, 0.0f);
    return Picture();
  }

  std::vector<uint16_t> checker_ = std::vector<uint16_t>(kCheckerSide * kCheckerSide);
};

// Four objects in a row, one per colour-combine case; a child square above
// the first; a hidden cube that would cover the middle; a lit, textured
// floor that runs under and behind the camera.
TdsScene Showcase() {
  TdsScene scene;
  scene.frame_count = 40;
  AddMaterial(&scene, "FLAT", 1, {230, 60, 40});
  AddMaterial(&scene, "SMOOTH", 3, {60, 220, 80});
  AddMaterial(&scene, "FLATTEX", 1, {255, 255, 255}, "checker.pcx");
  AddMaterial(&scene, "SMOOTHTEX", 3, {255, 220, 160}, "checker.pcx");
  for (TdsMaterial& material : scene.materials) material.ambient = {40, 40, 40};

  scene.meshes.push_back(Cube("FLATCUBE", "FLAT"));
  scene.meshes.push_back(Cube("SMOOTHCUBE", "SMOOTH"));
  scene.meshes.push_back(Cube("FLATTEXCUBE", "FLATTEX"));
  scene.meshes.push_back(Cube("GHOST", "FLAT"));
  scene.meshes.push_back(SquareFacingMinusY("MOON", "SMOOTH"));
  TdsMesh floor;
  floor.name = "FLOOR";
  floor.vertices = {{-20, -30, -1.5f}, {20, -30, -1.5f}, {20, 20, -1.5f}, {-20, 20, -1.5f}};
  floor.mapping = {{0, 0}, {8, 0}, {8, 10}, {0, 10}};
  floor.faces = {{0, 1, 2, 7}, {0, 2, 3, 7}};
  floor.AssignMaterial("SMOOTHTEX");
  scene.meshes.push_back(floor);

  const int flat = AddObjectNode(&scene, "FLATCUBE", {-4.5f, 0, 0});
  (scene.nodes[flat].rotation = {}).Add(0, {0.0f, {0, 0, 1}}).Add(40, {2.0f, {0, 0, 1}});
  AddObjectNode(&scene, "MOON", {0, -1.5f, 2.5f}, flat);
  AddObjectNode(&scene, "SMOOTHCUBE", {-1.5f, 0, 0});
  const int textured = AddObjectNode(&scene, "FLATTEXCUBE", {1.5f, 0, 0});
  (scene.nodes[textured].rotation = {}).Add(0, {0.6f, {1, 1, 0}});
  const int ghost = AddObjectNode(&scene, "GHOST", {0, -4, 0});
  (scene.nodes[ghost].scale = {}).Add(0, {3, 3, 3});
  scene.nodes[ghost].hide.Add(0, {});
  AddObjectNode(&scene, "FLOOR", {0, 0, 0});

  AddLight(&scene, "LAMP", {-6, -12, 10}, {0.9f, 0.9f, 0.9f});
  AddCamera(&scene, {1, -9, 3}, {0, 0, -0.5f}, 75.0f);
  return scene;
}

ScenePtr LoadShowcase(const TdsScene& description) {
  ScenePtr scene = LoadDescription(description);
  if (scene) {
    for (int32_t m = 0; m < scene->material_count; ++m) scene->materials[m]->texture_index = 0;
  }
  return scene;
}

TEST_F(ScenePictureTest, ShowcaseMatchesItsGoldenPictures) {
  ScenePtr scene = LoadShowcase(Showcase());
  ASSERT_TRUE(scene);
  ExpectGolden(DrawFrame(scene.get(), 0), kWidth, kHeight, "engine/showcase_frame0.png");
  ExpectGolden(DrawFrame(scene.get(), 20), kWidth, kHeight, "engine/showcase_frame20.png");
}

TEST_F(ScenePictureTest, TheBoardNeverCullsAFaceTheEvaluationKept) {
  TdsScene description = Showcase();
  // The camera circles the row, above and below the floor.
  TdsNode& camera = description.nodes[description.nodes.size() - 2];
  (camera.position = {})
      .Add(0, {1, -9, 3})
      .Add(10, {9, 1, 2})
      .Add(20, {-1, 9, -4})
      .Add(30, {-9, -2, 6});
  ScenePtr scene = LoadShowcase(description);
  ASSERT_TRUE(scene);
  for (int32_t frame = 0; frame <= 30; frame += 5) {
    const std::vector<uint16_t> culled = DrawFrame(scene.get(), frame);
    // The same polygons again, each marked two-sided so the board culls none.
    for (int32_t i = 0; i < PolygonCount; ++i) PolygonBuffer[i].material_flags |= 0x10;
    grBufferClear(0, 0, 0xFFFF);
    float fov = 75.0f;
    RenderPolygons(PolygonBuffer, PolygonCount, TextureSlots, fov, FadeLevel);
    const std::vector<uint16_t> unculled = Picture();
    EXPECT_GT(std::count_if(culled.begin(), culled.end(), [](uint16_t p) { return p != 0; }), 1000)
        << frame;
    EXPECT_TRUE(culled == unculled) << "frame " << frame;
  }
}

}  // namespace
