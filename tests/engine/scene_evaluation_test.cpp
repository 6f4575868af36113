// Scene evaluation: frame wrapping, the hierarchy's matrices, the camera
// view, culling and lighting.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "engine/engine_scenes.h"
#include "engine/scene_evaluation.h"

namespace {

std::vector<PolygonRecord> received;

// Evaluates and returns the polygons submitted.
std::vector<PolygonRecord> Evaluate(Scene* scene, float frame, float* fov = nullptr) {
  received.clear();
  float unused = -1.0f;
  const auto keep = [](const PolygonRecord* record) { return received.push_back(*record), 1; };
  EvaluateScene(scene, keep, frame, fov != nullptr ? fov : &unused);
  return received;
}

void ExpectNear(Vec3 actual, Vec3 expected) {
  EXPECT_NEAR(actual.x, expected.x, 1e-3f);
  EXPECT_NEAR(actual.y, expected.y, 1e-3f);
  EXPECT_NEAR(actual.z, expected.z, 1e-3f);
}
Vec3 Position(const RecordVertex& vertex) {
  return {vertex.x, vertex.y, vertex.z};
}
Vec3 Colour(const RecordVertex& vertex) {
  return {vertex.r, vertex.g, vertex.b};
}

TEST(SceneEvaluation, FramesWrapByTheFrameCountAndNegativeFramesDrawNothing) {
  TdsScene description = FacingSquare();
  description.frame_count = 100;
  (description.nodes[0].position = {}).Add(0, {0, 0, 0}).Add(100, {100, 0, 0});
  ScenePtr scene = LoadDescription(description);
  const SceneNode* square = scene->roots[0];
  const struct {
    int32_t frame_count;
    float frame, x;
  } cases[] = {{100, 250.0f, 50.0f},  {100, 100.0f, 100.0f}, {100, 30.5f, 30.5f},
               {100, 200.0f, 100.0f}, {100, 1e30f, -1.0f},  // a huge frame wraps at once
               {0, 7.0f, 0.0f},       {-5, 7.0f, 0.0f}};    // no length: frame 0
  for (const auto& c : cases) {
    scene->frame_count = c.frame_count;
    EXPECT_EQ(Evaluate(scene.get(), c.frame).size(), 2u) << c.frame;
    if (c.x >= 0.0f) {
      EXPECT_NEAR(square->position.value.x, c.x, 1e-3f) << c.frame;
    }
  }
  EXPECT_TRUE(Evaluate(scene.get(), -0.5f).empty());
  EXPECT_TRUE(Evaluate(scene.get(), std::nanf("")).empty());
}

TEST(SceneEvaluation, TheCameraViewMatchesTheWorkedExample) {
  Matrix4x4 view;
  ASSERT_EQ(BuildCameraView({0, -10, 0}, {0, 0, 0}, 0.0f, &view), 1);
  ExpectNear(TransformPoint(&view, {1, 0, 2}), {1, 2, 10});
  // A roll of 90 degrees turns camera-space right onto up.
  ASSERT_EQ(BuildCameraView({0, -10, 0}, {0, 0, 0}, 90.0f, &view), 1);
  ExpectNear(TransformPoint(&view, {1, 0, 0}), {0, 1, 10});
  // Straight along the up axis, or onto the eye: no direction, view untouched.
  Matrix4x4 untouched = view;
  EXPECT_EQ(BuildCameraView({0, 0, 10}, {0, 0, 0}, 0.0f, &untouched), 0);
  EXPECT_EQ(BuildCameraView({0, 0, -10}, {0, 0, 0}, 0.0f, &untouched), 0);
  EXPECT_EQ(BuildCameraView({3, 3, 3}, {3, 3, 3}, 0.0f, &untouched), 0);
  EXPECT_EQ(std::memcmp(&untouched, &view, sizeof view), 0);

  ScenePtr scene = LoadDescription(FacingSquare());
  float fov = 0.0f;
  const std::vector<PolygonRecord> polygons = Evaluate(scene.get(), 0.0f, &fov);
  ASSERT_EQ(polygons.size(), 2u);
  EXPECT_FLOAT_EQ(fov, 90.0f);
  // Face 0 is (-1, 0, -1), (1, 0, -1), (1, 0, 1): camera (x, z, y + 10).
  ExpectNear(Position(polygons[0].vertices[0]), {-1, -1, 10});
  ExpectNear(Position(polygons[0].vertices[2]), {1, 1, 10});
  EXPECT_FLOAT_EQ(polygons[0].vertices[1].u, 256.0f);
  EXPECT_FLOAT_EQ(polygons[0].vertices[2].v, -256.0f);  // v is stored negated
}

TEST(SceneEvaluation, ACameraOverItsTargetKeepsThePreviousView) {
  TdsScene description = FacingSquare();
  description.frame_count = 20;
  TdsNode& camera = description.nodes[1];
  (camera.position = {}).Add(0, {0, -10, 0}).Add(9, {0, -10, 0}).Add(10, {0, 0, 10});
  ScenePtr scene = LoadDescription(description);
  const std::vector<PolygonRecord> before = Evaluate(scene.get(), 0.0f);
  const std::vector<PolygonRecord> above = Evaluate(scene.get(), 10.0f);
  ASSERT_TRUE(before.size() == 2 && above.size() == 2);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(std::memcmp(above[i].vertices, before[i].vertices, 3 * sizeof(RecordVertex)), 0);
  }
  // A scene that starts with no direction has no view to keep.
  ScenePtr fresh = LoadDescription(description);
  EXPECT_TRUE(Evaluate(fresh.get(), 10.0f).empty());
}

TEST(SceneEvaluation, ChildrenInheritRotationAndPositionButNotScaleOrPivot) {
  TdsScene description = FacingSquare();
  description.meshes.push_back(SquareFacingMinusY("CHILD", "MAT"));
  TdsNode& parent = description.nodes[0];
  (parent.position = {}).Add(0, {10, 0, 0});
  (parent.scale = {}).Add(0, {2, 2, 2});
  parent.pivot = Vec3{1, 0, 0};
  (parent.rotation = {}).Add(0, {0.0f, {0, 0, 1}}).Add(10, {1.5707964f, {0, 0, 1}});
  AddObjectNode(&description, "CHILD", {0, 0, 5}, 0);
  ScenePtr scene = LoadDescription(description);
  Evaluate(scene.get(), 0.0f);
  const SceneNode* square = scene->roots[0];
  const SceneNode* child = square->first_child;
  ASSERT_NE(child, nullptr);
  // The pivot lands on the position; other points are scaled about it.
  ExpectNear(TransformPoint(&square->object_to_world, {1, 0, 0}), {10, 0, 0});
  ExpectNear(TransformPoint(&square->object_to_world, {2, 0, 0}), {12, 0, 0});
  // The child moves with the parent's position, unscaled, pivot ignored.
  ExpectNear(TransformPoint(&child->object_to_world, {0, 0, 0}), {10, 0, 5});
  ExpectNear(TransformPoint(&child->object_to_world, {1, 0, 0}), {11, 0, 5});
  ExpectNear(TransformPoint(&child->world_to_object, {11, 0, 5}), {1, 0, 0});

  // At frame 10 the parent has turned a quarter about z; so has the child.
  Evaluate(scene.get(), 10.0f);
  const Vec3 turned = TransformDirection(&child->object_to_world, {1, 0, 0});
  EXPECT_NEAR(std::fabs(turned.y), 1.0f, 1e-4f);
  EXPECT_NEAR(turned.x, 0.0f, 1e-4f);
}

// The child moves along x by a tenth of the frame; while its parent is
// hidden, its track still follows the frame.
TEST(SceneEvaluation, AHiddenNodeSubmitsNothingButItsChildrenStillMove) {
  TdsScene description = FacingSquare();
  description.frame_count = 100;
  description.meshes.push_back(SquareFacingMinusY("CHILD", "MAT"));
  description.nodes[0].hide.Add(10, {}).Add(20, {});
  const int child = AddObjectNode(&description, "CHILD", {0, -1, 0}, 0);
  (description.nodes[child].position = {}).Add(0, {0, 0, -1}).Add(100, {10, 0, -1});  // file axes
  ScenePtr scene = LoadDescription(description);
  EXPECT_EQ(Evaluate(scene.get(), 5.0f).size(), 4u);
  for (float frame : {15.0f, 17.0f}) {
    const std::vector<PolygonRecord> hidden = Evaluate(scene.get(), frame);
    ASSERT_EQ(hidden.size(), 2u);
    // The child's corner (-1, 0, -1), moved to x = frame / 10, one unit nearer.
    ExpectNear(Position(hidden[0].vertices[0]), {frame / 10.0f - 1.0f, -1.0f, 9.0f});
  }
  EXPECT_EQ(Evaluate(scene.get(), 20.0f).size(), 4u);
}

TEST(SceneEvaluation, OneSidedFacesAreSeenFromTheirFrontOrEdgeOnTwoSidedAlways) {
  TdsScene description = FacingSquare();
  description.frame_count = 30;
  // In front, behind, exactly in the plane of the square.
  (description.nodes[1].position = {}).Add(0, {0, -10, 0}).Add(10, {0, 10, 0}).Add(20, {10, 0, 0});
  ScenePtr scene = LoadDescription(description);
  EXPECT_EQ(Evaluate(scene.get(), 0.0f).size(), 2u);
  EXPECT_EQ(Evaluate(scene.get(), 10.0f).size(), 0u);
  EXPECT_EQ(scene->roots[0]->face_visibility[0] + scene->roots[0]->face_visibility[1], 0u);
  EXPECT_EQ(Evaluate(scene.get(), 20.0f).size(), 2u);
  scene->materials[0]->flags |= kMaterialTwoSided;
  EXPECT_EQ(Evaluate(scene.get(), 10.0f).size(), 2u);
}

TEST(SceneEvaluation, LightingAddsCosineWeightedLightsAboveAmbientClampedAt255) {
  // Without lights: max(diffuse x self-illumination, ambient), at most 255.
  TdsScene description = FacingSquare(/*shading=*/1);
  description.materials[0].ambient = {10, 60, 30};
  description.materials[0].diffuse = {255, 100, 20};
  description.materials[0].self_illumination_percent = 50;
  ScenePtr dark = LoadDescription(description);
  std::vector<PolygonRecord> polygons = Evaluate(dark.get(), 0.0f);
  ASSERT_EQ(polygons.size(), 2u);
  ExpectNear(Colour(polygons[0].vertices[0]), {127.5f, 60, 30});
  EXPECT_EQ(polygons[0].material_flags & kMaterialShadingMask, 0);

  // A light straight in front of the face (cosine 1) adds its colour; one
  // behind the face adds nothing; one without a node is skipped.
  AddLight(&description, "FRONT", {-1, -100, -1}, {1.0f, 0.5f, 2.0f});
  AddLight(&description, "BACK", {0, 50, 0}, {1, 1, 1});
  description.lights.emplace_back().name = "LOOSE";
  ScenePtr lit = LoadDescription(description);
  polygons = Evaluate(lit.get(), 0.0f);
  ASSERT_EQ(polygons.size(), 2u);
  // Flat: lit once at the first corner (-1, 0, -1), straight below the light.
  // Red 255 x 1.5 clamped, green 100 x 1.0, blue 20 x 2.5.
  ExpectNear(Colour(polygons[0].vertices[0]), {255, 100, 50});
}

// Smooth corners are lit per vertex and material: the vertices the square's
// two faces share take each face's own material, and a light in front
// reaches every corner.
TEST(SceneEvaluation, SharedSmoothVerticesAreLitWithEachFacesOwnMaterial) {
  TdsScene description = FacingSquare();
  description.materials.clear();
  AddMaterial(&description, "FIRST", /*shading=*/3, {100, 100, 100}).ambient = {10, 20, 30};
  AddMaterial(&description, "SECOND", /*shading=*/3, {50, 150, 250}).ambient = {40, 50, 60};
  description.meshes[0].material_groups = {{"FIRST", {0}}, {"SECOND", {1}}};
  // A white light far in front: every corner gets about its own face's
  // diffuse colour (the ambient colours are far below), and again next frame.
  AddLight(&description, "FRONT", {0, -1000, 0}, {1, 1, 1});
  ScenePtr lit = LoadDescription(description);
  for (int frame = 0; frame < 2; ++frame) {
    const std::vector<PolygonRecord> polygons = Evaluate(lit.get(), 0.0f);
    ASSERT_EQ(polygons.size(), 2u);
    for (int k = 0; k < 3; ++k) {
      EXPECT_NEAR(polygons[0].vertices[k].r, 100.0f, 0.01f);
      EXPECT_NEAR(polygons[1].vertices[k].b, 250.0f, 0.02f);
    }
  }
}

}  // namespace
