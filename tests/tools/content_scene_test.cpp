// Tests of the generator's scenes and geometry: a described scene comes back
// through the demo's own reader as it was described (hierarchy from depths,
// child positions, tracks, lights and cameras), and faces point outward.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "content/mesh_shapes.h"
#include "content/scene_kit.h"
#include "content/scene_to_tds.h"
#include "scene/scene.h"
#include "scene/tds_reader.h"

namespace {

// A parent with a child, a grandchild and a second child listed after the
// grandchild, a spotlight with its target, a camera, and a hidden-then-shown
// object.
SceneSpec FamilyScene() {
  SceneSpec scene;
  scene.frame_count = 100;
  const int flat = AddMaterial(
      scene,
      {"Flat", {10, 20, 30}, {200, 100, 50}, {0, 0, 0}, Shading::kFlat, true, 40, "ROCK.BMP"});
  const size_t parent = AddObject(scene, "Parent", -1, {1, 2, 3});
  AddBox(scene.meshes.back(), {-1, -1, -1}, {1, 1, 1}, flat);
  const size_t child = AddObject(scene, "Child", 1, {4, 5, 6});
  AddBox(scene.meshes.back(), {-1, -1, -1}, {1, 1, 1}, flat);
  AddObject(scene, "Grandchild", 2, {7, 8, 9});
  AddBox(scene.meshes.back(), {-1, -1, -1}, {1, 1, 1}, flat);
  AddObject(scene, "Sibling", 1, {10, 11, 12});
  AddBox(scene.meshes.back(), {-1, -1, -1}, {1, 1, 1}, flat);
  KeyShape shape;
  shape.tension = 0.5f;
  shape.ease_from = 0.25f;
  scene.nodes[parent].scale.keys = {{0, {1, 1, 1}, shape}, {50, {2, 2, 2}, {}}};
  scene.nodes[parent].scale.mode = TrackMode::kLoop;
  SpinTrack(scene.nodes[child], 100, 50, 0.01f, {0, 0, 1}, TrackMode::kRepeat);
  scene.nodes[child].hide.keys = {{10, 0, {}}, {20, 0, {}}, {30, 0, {}}};
  LightSpec spot;
  spot.name = "Spot";
  spot.spot = true;
  scene.lights.push_back(spot);
  NodeSpec target;
  target.kind = NodeKind::kLightTarget;
  target.name = "Spot";
  target.position.keys = {{0, {0, 0, 0}, {}}};
  scene.nodes.push_back(target);
  NodeSpec light;
  light.kind = NodeKind::kSpotlight;
  light.name = "Spot";
  light.position.keys = {{0, {0, 0, 50}, {}}};
  light.colour.keys = {{0, {0.5f, 0.25f, 1}, {}}};
  scene.nodes.push_back(light);
  AddCamera(scene, {{0, {0, -100, 0}, {0, 0, 0}}, {99, {0, -50, 10}, {0, 0, 0}}}, 60);
  return scene;
}

struct LoadedScene {
  Scene* scene = nullptr;
  ~LoadedScene() { FreeScene(scene); }
};

SceneNode* FindNode(SceneNode* node, const char* name, int type) {
  for (; node; node = node->next) {
    if (std::string(node->name) == name && node->type == type) return node;
    if (SceneNode* found = FindNode(node->first_child, name, type)) return found;
  }
  return nullptr;
}

SceneNode* NodeNamed(Scene* scene, const char* name, int type = kNodeObject) {
  for (int r = 0; r < scene->root_count; ++r) {
    if (SceneNode* found = FindNode(scene->roots[r], name, type)) return found;
  }
  return nullptr;
}

TEST(SceneFile, WhatIsDescribedComesBackThroughTheDemosReader) {
  std::string error;
  const std::vector<uint8_t> bytes = WriteSceneFile(FamilyScene(), &error);
  ASSERT_FALSE(bytes.empty()) << error;
  LoadedScene loaded{LoadSceneFromMemory(bytes.data(), bytes.size())};
  Scene* scene = loaded.scene;
  ASSERT_NE(scene, nullptr);
  EXPECT_EQ(scene->frame_count, 100);
  ASSERT_EQ(scene->material_count, 1);
  const Material* m = scene->materials[0];
  EXPECT_EQ(m->flags & 0x17u, 0x14u) << "flat, textured, two-sided";
  EXPECT_FLOAT_EQ(m->self_illumination, 0.4f);
  EXPECT_FLOAT_EQ(m->ambient.y, 20.0f);
  EXPECT_STREQ(m->texture_file, "ROCK.BMP");

  SceneNode* parent = NodeNamed(scene, "Parent");
  SceneNode* child = NodeNamed(scene, "Child");
  SceneNode* grandchild = NodeNamed(scene, "Grandchild");
  SceneNode* sibling = NodeNamed(scene, "Sibling");
  ASSERT_TRUE(parent && child && grandchild && sibling);
  EXPECT_EQ(child->parent, parent);
  EXPECT_EQ(grandchild->parent, child);
  EXPECT_EQ(sibling->parent, parent) << "a shallower depth climbs back up the tree";
  // Positions of children come out as described, whatever the file order.
  const auto position = [](const SceneNode* node) {
    const Vec3 v = node->position.keys[0].value;
    return std::vector<float>{v.x, v.y, v.z};
  };
  EXPECT_EQ(position(parent), (std::vector<float>{1, 2, 3}));
  EXPECT_EQ(position(child), (std::vector<float>{4, 5, 6}));
  EXPECT_EQ(position(grandchild), (std::vector<float>{7, 8, 9}));
  EXPECT_EQ(position(sibling), (std::vector<float>{10, 11, 12}));
  const TcbParams& shape = parent->scale.keys[0].tcb;
  EXPECT_EQ((std::vector<float>{shape.tension, shape.ease_from, shape.continuity}),
            (std::vector<float>{0.5f, 0.25f, 0.0f}));
  EXPECT_EQ(parent->scale.flags & kTrackRepeatMask, kTrackModeLoop);
  EXPECT_EQ(child->rotation.flags & kTrackRepeatMask, kTrackModeRepeat);
  ASSERT_TRUE(child->rotation.key_count == 3 && child->hide.key_count == 3);
  EXPECT_FLOAT_EQ(child->rotation.keys[1].relative.angle, 0.5f);
  EXPECT_EQ(child->hide.keys[2].frame, 30);

  ASSERT_TRUE(scene->light_count == 1 && scene->lights[0].spot && scene->lights[0].node);
  EXPECT_EQ(scene->lights[0].node->type, kNodeSpotlight) << "the light's own node drives it";
  EXPECT_NE(NodeNamed(scene, "Spot", kNodeLightTarget), nullptr);
  ASSERT_TRUE(scene->camera_count == 1 && scene->cameras[0].node && scene->cameras[0].target_node);
  EXPECT_FLOAT_EQ(scene->cameras[0].node->fov.keys[0].value, 60.0f);
}

Vec3f Cross(Vec3f a, Vec3f b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float Dot(Vec3f a, Vec3f b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}

// Every face's normal (b - a) x (c - a) points away from inside(centre).
void ExpectOutward(const MeshSpec& mesh, Vec3f (*inside)(Vec3f), const char* shape) {
  ASSERT_EQ(mesh.mapping.size(), mesh.vertices.size()) << shape;
  ASSERT_FALSE(mesh.faces.empty()) << shape;
  for (const FaceSpec& f : mesh.faces) {
    const Vec3f a = mesh.vertices[f.a], b = mesh.vertices[f.b], c = mesh.vertices[f.c];
    const Vec3f normal = Cross(b - a, c - a);
    ASSERT_GT(Dot(normal, normal), 0.0f) << shape << ": a collapsed face";
    const Vec3f centre = (a + b + c) * (1.0f / 3.0f);
    ASSERT_GT(Dot(normal, centre - inside(centre)), 0.0f) << shape << ": a face points inward";
  }
}

// The point inside each shape nearest a face's centre: the centre of a
// sphere or box, the ring of a torus of radius 20 around z, the axis of a
// cone along z.
Vec3f Origin(Vec3f) {
  return {0, 0, 0};
}
Vec3f TorusRing(Vec3f p) {
  const float r = std::sqrt(p.x * p.x + p.y * p.y);
  return {p.x / r * 20, p.y / r * 20, 0};
}
Vec3f ZAxis(Vec3f p) {
  return {0, 0, p.z};
}

TEST(MeshShapes, ClosedShapesFaceOutwardWithoutCollapsedFaces) {
  MeshSpec sphere, torus, tube, box;
  AddSphere(sphere, {0, 0, 0}, 10, 16, 8, 0);
  AddTorus(torus, {0, 0, 0}, 20, 5, 24, 8, 0);
  AddTube(tube, {0, 0, 0}, 10, 0, 30, 8, 0);
  AddBox(box, {-1, -2, -3}, {1, 2, 3}, 0);
  ExpectOutward(sphere, Origin, "sphere");
  ExpectOutward(torus, TorusRing, "torus");
  ExpectOutward(tube, ZAxis, "cone");
  ExpectOutward(box, Origin, "box");
}

}  // namespace
