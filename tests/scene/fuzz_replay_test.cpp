// Replays the saved fuzzer inputs (tests/data/scene/fuzz): each loads or
// fails, and a loaded scene keeps the model's invariants and evaluates.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "scene/tracks.h"
#include "scene_test_support.h"

namespace {

namespace fs = std::filesystem;

// Every node below a root has the right parent, links to a record of its
// name, carries keys in strictly increasing frame order and evaluates.
void CheckNodes(const Scene* scene, SceneNode* node, const SceneNode* parent) {
  for (; node != nullptr; node = node->next) {
    EXPECT_EQ(node->parent, parent);
    EXPECT_NE(node->object, nullptr);
    if (node->type == kNodeObject) {
      const Mesh* mesh = static_cast<const Mesh*>(node->object);
      EXPECT_TRUE(mesh >= scene->meshes && mesh < scene->meshes + scene->mesh_count);
      EXPECT_STREQ(mesh->name, node->name);
    }
    for (int k = 1; k < node->position.key_count; ++k) {
      EXPECT_LT(node->position.keys[k - 1].frame, node->position.keys[k].frame);
    }
    for (float frame : {-1.0f, 0.0f, 7.5f, 1e7f}) {
      EvalVectorTrack(frame, &node->position);
      EvalRotationTrack(frame, &node->rotation);
      EvalScalarTrack(frame, &node->roll);
      EvalHideTrack(frame, &node->hide);
    }
    CheckNodes(scene, node->first_child, node);
  }
}

TEST(FuzzReplay, SavedInputsLoadOrFailSoundly) {
  const fs::path folder = fs::path(VEYRITH_SOURCE_DIR) / "tests/data/scene/fuzz";
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(folder)) files.push_back(entry.path());
  ASSERT_FALSE(files.empty()) << folder;
  std::sort(files.begin(), files.end());
  for (const fs::path& path : files) {
    SCOPED_TRACE(path.filename().string());
    std::ifstream stream(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(stream)), {});
    std::string reason;
    ScenePtr scene = LoadBytes(bytes, &reason);
    if (scene == nullptr) {
      EXPECT_FALSE(reason.empty());
      continue;
    }
    for (int i = 0; i < scene->mesh_count; ++i) {
      const Mesh& mesh = scene->meshes[i];
      for (int f = 0; f < mesh.face_count; ++f) {
        const Face& face = mesh.faces[f];
        EXPECT_TRUE(face.a < mesh.vertex_count && face.b < mesh.vertex_count &&
                    face.c < mesh.vertex_count);
        EXPECT_TRUE(face.material >= -1 && face.material < scene->material_count);
      }
    }
    for (int i = 0; i < scene->root_count; ++i) {
      CheckNodes(scene.get(), scene->roots[i], nullptr);
    }
  }
}

}  // namespace
