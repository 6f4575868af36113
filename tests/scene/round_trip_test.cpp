// Scenes written by the 3D Studio writer and read back by the reader.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scene_test_support.h"

namespace {

// Every track kind, spline parameters, the hierarchy and the links between
// nodes and records survive writing and reading.
TEST(RoundTrip, KeyframerTracksAndHierarchy) {
  TdsScene description;
  description.frame_count = 240;
  description.meshes = {TriangleMesh("BODY"), TriangleMesh("ARM"), TriangleMesh("HAND"),
                        TriangleMesh("MORPH")};
  description.meshes[0].has_local_axis = true;
  description.meshes[0].origin = {10, 20, 30};
  description.lights.emplace_back().name = "LAMP";
  TdsCamera& camera = description.cameras.emplace_back();
  camera.name = "CAM";
  camera.has_ranges = true;
  camera.near_range = 2;
  camera.far_range = 500;

  const int body = description.AddNode(kNodeObject, "BODY");
  const int arm = description.AddNode(kNodeObject, "ARM", body);
  description.AddNode(kNodeObject, "HAND", arm);
  const int morph = description.AddNode(kNodeObject, "MORPH", body);
  const int light = description.AddNode(kNodeLight, "LAMP");
  description.AddNode(kNodeLightTarget, "LAMP");  // must not take the light's link
  const int cam = description.AddNode(kNodeCamera, "CAM");
  const int target = description.AddNode(kNodeCameraTarget, "CAM");
  TdsNode& b = description.nodes[static_cast<size_t>(body)];
  b.pivot = Vec3{1, 1, 1};
  b.position.Add(0, {1, 2, 3}).Add(100, {4, 5, 6}, TdsSpline{0.5f, -0.25f, 0.125f, 0.75f, 1.0f});
  b.position.flags = 2;
  b.rotation.Add(0, {1.0f, {0, 0, 1}}).Add(50, {0.5f, {0, 0, 1}});
  b.hide.Add(10, {}).Add(20, {}).Add(30, {});
  description.nodes[static_cast<size_t>(arm)].position.Add(0, {1, 2, 3});
  description.nodes[static_cast<size_t>(morph)].morph.Add(5, "HAND");
  TdsNode& l = description.nodes[static_cast<size_t>(light)];
  l.colour.Add(0, {1, 0.5f, 0.25f}).Add(10, {0, 0, 1}, TdsSpline{0, 0, 0, 0, 0, 0x0020});
  l.hotspot.Add(0, 30);
  l.falloff.Add(0, 45);
  TdsNode& c = description.nodes[static_cast<size_t>(cam)];
  c.fov.Add(0, 45).Add(100, 60);
  c.roll.Add(0, 0).Add(50, 10).Add(100, 0);
  description.nodes[static_cast<size_t>(target)].position.Add(0, {0, 0, 0});

  ScenePtr scene = LoadDescription(description);
  ASSERT_NE(scene, nullptr);
  EXPECT_EQ(scene->frame_count, 240);
  ASSERT_EQ(scene->root_count, 5);
  const SceneNode* body_node = scene->roots[0];
  EXPECT_EQ(body_node->object, &scene->meshes[0]);
  EXPECT_EQ(body_node->pivot.x, 11.0f);  // the mesh origin is added
  EXPECT_EQ(body_node->position.flags, 2);
  EXPECT_EQ(body_node->position.keys[0].value.y, 2.0f);  // a root keeps the file's axes
  const TcbParams& tcb = body_node->position.keys[1].tcb;
  EXPECT_TRUE(tcb.tension == 0.5f && tcb.continuity == -0.25f && tcb.bias == 0.125f &&
              tcb.ease_to == 0.75f && tcb.ease_from == 1.0f);
  EXPECT_EQ(body_node->rotation.keys[1].relative.angle, 0.5f);
  EXPECT_EQ(body_node->hide.keys[2].frame, 30);
  EXPECT_NE(body_node->light_work, nullptr);  // one per light of the scene

  const SceneNode* arm_node = body_node->first_child;
  ASSERT_NE(arm_node, nullptr);
  EXPECT_STREQ(arm_node->name, "ARM");
  EXPECT_EQ(arm_node->position.keys[0].value.z, -2.0f);  // below a root: (x, z, -y)
  ASSERT_NE(arm_node->first_child, nullptr);
  EXPECT_STREQ(arm_node->first_child->name, "HAND");
  ASSERT_NE(arm_node->next, nullptr);
  EXPECT_EQ(arm_node->next->morph.keys[0].mesh, &scene->meshes[2]);

  const SceneNode* light_node = scene->roots[1];
  EXPECT_EQ(scene->lights[0].node, light_node);
  EXPECT_EQ(light_node->colour.keys[1].value.z, 1.0f);  // the skipped float is not a value
  EXPECT_TRUE(light_node->hotspot.keys[0].value == 30 && light_node->falloff.keys[0].value == 45);
  EXPECT_EQ(scene->roots[2]->object, &scene->lights[0]);
  EXPECT_EQ(scene->roots[2]->target, 1);
  EXPECT_EQ(scene->cameras[0].node, scene->roots[3]);
  EXPECT_EQ(scene->cameras[0].target_node, scene->roots[4]);
  EXPECT_EQ(scene->roots[3]->roll.key_count, 3);
  EXPECT_TRUE(scene->cameras[0].near_range == 2 && scene->cameras[0].far_range == 500);
}

TEST(RoundTrip, WriterRejectsWhatItCannotWrite) {
  TdsScene long_name;
  long_name.meshes.push_back(TriangleMesh(std::string(64, 'x')));
  TdsScene bad_face;
  bad_face.meshes.push_back(TriangleMesh("T"));
  bad_face.meshes[0].faces.push_back({0, 1, 3});
  TdsScene cycle;
  cycle.meshes.push_back(TriangleMesh("T"));
  cycle.AddNode(kNodeObject, "T", 1);
  cycle.AddNode(kNodeObject, "T", 0);
  const std::pair<const TdsScene*, const char*> cases[] = {
      {&long_name, "longer than 63"}, {&bad_face, "T"}, {&cycle, "cycle"}};
  for (const auto& [description, reason] : cases) {
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_FALSE(WriteTdsFile(*description, &bytes, &error)) << reason;
    EXPECT_NE(error.find(reason), std::string::npos) << error;
  }
}

}  // namespace
