// Scenes written by the 3D Studio writer and read back by the reader.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "scene/tds_reader.h"
#include "scene/tds_writer.h"

namespace {

struct SceneDeleter {
  void operator()(Scene* scene) const { FreeScene(scene); }
};
using ScenePtr = std::unique_ptr<Scene, SceneDeleter>;

ScenePtr Load(const TdsScene& description, std::string* reason = nullptr) {
  std::vector<uint8_t> bytes;
  std::string error;
  EXPECT_TRUE(WriteTdsFile(description, &bytes, &error)) << error;
  SceneLoadError load_error;
  Scene* scene = LoadSceneFromMemory(bytes.data(), bytes.size(), &load_error);
  if (reason != nullptr) *reason = load_error.message;
  return ScenePtr(scene);
}

TdsMesh Triangle(const std::string& name) {
  TdsMesh mesh;
  mesh.name = name;
  mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  mesh.faces = {{0, 1, 2, 7}};
  return mesh;
}

TEST(RoundTrip, EditorRecordsKeepTheirValues) {
  TdsScene description;
  description.write_keyframer = false;
  TdsMaterial& textured = description.materials.emplace_back();
  textured.name = "WOOD";
  textured.texture = "wood.pcx";
  textured.two_sided = true;
  textured.shading = 3;
  textured.ambient = {64, 64, 64};
  textured.self_illumination_percent = 50;
  TdsMaterial& plain = description.materials.emplace_back();
  plain.name = "FLOAT";
  plain.colour_form = TdsColourForm::kFloats;
  plain.diffuse = {0.5f, 0.25f, 2.0f};
  plain.shading = 1;
  TdsMesh mesh = Triangle("TRI");
  mesh.mapping = {{0.25f, 0.75f}, {1, 0}, {0, 1}};
  mesh.AssignMaterial("WOOD");
  description.meshes.push_back(mesh);
  TdsLight& light = description.lights.emplace_back();
  light.name = "SUN";
  light.position = {1, 2, 3};
  light.colour = {1.0f, 128.0f / 255.0f, 0.0f};
  light.colour_as_bytes = true;
  light.spot = true;
  TdsCamera& camera = description.cameras.emplace_back();
  camera.name = "CAM";
  camera.position = {0, -10, 0};
  camera.lens = 50;

  ScenePtr scene = Load(description);
  ASSERT_NE(scene, nullptr);
  EXPECT_EQ(scene->frame_count, 0);
  EXPECT_EQ(scene->root_count, 0);
  ASSERT_EQ(scene->material_count, 2);
  const Material& wood = *scene->materials[0];
  EXPECT_STREQ(wood.name, "WOOD");
  EXPECT_EQ(wood.flags, 0x80u | 0x10u | 0x08u | 0x04u | 2u);
  EXPECT_STREQ(wood.texture_file, "wood.pcx");
  EXPECT_EQ(wood.ambient.x, 64.0f);
  EXPECT_FLOAT_EQ(wood.self_illumination, 0.5f);
  const Material& flat = *scene->materials[1];
  EXPECT_EQ(flat.flags, 0x88u);
  EXPECT_EQ(flat.diffuse.z, 2.0f);  // float colours are kept as stored
  ASSERT_EQ(scene->mesh_count, 1);
  const Mesh& tri = scene->meshes[0];
  EXPECT_EQ(tri.faces[0].material, 0);
  EXPECT_EQ(tri.mapping[0].u, 0.25f);
  EXPECT_EQ(tri.mapping[0].v, -0.75f);
  ASSERT_EQ(scene->light_count, 1);
  EXPECT_EQ(scene->lights[0].spot, 1);
  EXPECT_EQ(scene->lights[0].enabled, 1);
  EXPECT_FLOAT_EQ(scene->lights[0].colour.y, 0.50196081f);
  ASSERT_EQ(scene->camera_count, 1);
  EXPECT_EQ(scene->cameras[0].lens, 50.0f);
  EXPECT_EQ(scene->cameras[0].near_range, 0.0f);
  EXPECT_EQ(scene->cameras[0].far_range, 1000.0f);
}

}  // namespace
