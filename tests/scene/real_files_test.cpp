// The reader against real 3D Studio files that no one here wrote (Debian's
// assimp test models), with the counts an independent reader (lib3ds)
// reports for the same files.
#include <gtest/gtest.h>
#include <lib3ds/camera.h>
#include <lib3ds/file.h>
#include <lib3ds/light.h>
#include <lib3ds/material.h>
#include <lib3ds/mesh.h>
#include <lib3ds/node.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "scene_test_support.h"

namespace {

namespace fs = std::filesystem;

const fs::path kModels = "/usr/share/assimp/models/3DS";

// Per node: name, position keys, keys of all its tracks.
using NodeCounts = std::tuple<std::string, int, int>;

template <typename Key>
int CountKeys(const Key* key) {
  int count = 0;
  for (; key != nullptr; key = key->next) ++count;
  return count;
}

void CollectReference(const Lib3dsNode* node, std::vector<NodeCounts>* out) {
  for (; node != nullptr; node = node->next) {
    int position = 0;
    int total = 0;
    switch (node->type) {
      case LIB3DS_OBJECT_NODE: {
        const Lib3dsObjectData& d = node->data.object;
        position = CountKeys(d.pos_track.keyL);
        total = position + CountKeys(d.rot_track.keyL) + CountKeys(d.scl_track.keyL) +
                CountKeys(d.morph_track.keyL) + CountKeys(d.hide_track.keyL);
        break;
      }
      case LIB3DS_CAMERA_NODE: {
        const Lib3dsCameraData& d = node->data.camera;
        position = CountKeys(d.pos_track.keyL);
        total = position + CountKeys(d.fov_track.keyL) + CountKeys(d.roll_track.keyL);
        break;
      }
      case LIB3DS_LIGHT_NODE: {
        const Lib3dsLightData& d = node->data.light;
        position = CountKeys(d.pos_track.keyL);
        total = position + CountKeys(d.col_track.keyL) + CountKeys(d.hotspot_track.keyL) +
                CountKeys(d.falloff_track.keyL) + CountKeys(d.roll_track.keyL);
        break;
      }
      case LIB3DS_TARGET_NODE:
        total = position = CountKeys(node->data.target.pos_track.keyL);
        break;
      case LIB3DS_SPOT_NODE:
        total = position = CountKeys(node->data.spot.pos_track.keyL);
        break;
      default:
        break;
    }
    out->push_back({node->name, position, total});
    CollectReference(node->childs, out);
  }
}

void CollectOurs(const SceneNode* node, std::vector<NodeCounts>* out) {
  for (; node != nullptr; node = node->next) {
    const int total = node->position.key_count + node->rotation.key_count + node->scale.key_count +
                      node->fov.key_count + node->roll.key_count + node->colour.key_count +
                      node->morph.key_count + node->hotspot.key_count + node->falloff.key_count +
                      node->hide.key_count;
    out->push_back({node->name, node->position.key_count, total});
    CollectOurs(node->first_child, out);
  }
}

template <typename Record>
int CountList(const Record* record) {
  int count = 0;
  for (; record != nullptr; record = record->next) ++count;
  return count;
}

// Whether the main chunk holds a keyframer chunk (0xB000).
bool HasKeyframer(const std::vector<uint8_t>& bytes) {
  size_t at = 6;
  while (at + 6 <= bytes.size()) {
    const unsigned id = bytes[at] | (bytes[at + 1] << 8);
    const size_t length = bytes[at + 2] | (bytes[at + 3] << 8) | (bytes[at + 4] << 16) |
                          (static_cast<size_t>(bytes[at + 5]) << 24);
    if (id == 0xB000) return true;
    if (length < 6) return false;
    at += length;
  }
  return false;
}

std::vector<fs::path> ModelFiles() {
  std::vector<fs::path> files;
  std::error_code code;
  for (const auto& entry : fs::directory_iterator(kModels, code)) {
    // 3D Studio files by their main chunk id, whatever their extension.
    std::ifstream stream(entry.path(), std::ios::binary);
    char magic[2] = {};
    if (entry.is_regular_file() && stream.read(magic, 2) && magic[0] == 'M' && magic[1] == 'M') {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(RealFiles, CountsMatchAnIndependentReader) {
  const std::vector<fs::path> files = ModelFiles();
  if (files.empty()) GTEST_SKIP() << "no 3D Studio models in " << kModels << " (assimp-testmodels)";
  for (const fs::path& path : files) {
    SCOPED_TRACE(path.string());
    std::ifstream stream(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(stream)), {});
    std::string reason;
    ScenePtr scene = LoadBytes(bytes, &reason);
    ASSERT_NE(scene, nullptr) << reason;
    Lib3dsFile* reference = lib3ds_file_load(path.c_str());
    ASSERT_NE(reference, nullptr);

    ASSERT_EQ(scene->mesh_count, CountList(reference->meshes));
    int index = 0;
    for (const Lib3dsMesh* mesh = reference->meshes; mesh != nullptr; mesh = mesh->next) {
      const Mesh& ours = scene->meshes[index++];
      EXPECT_STREQ(ours.name, mesh->name);
      EXPECT_EQ(ours.vertex_count, static_cast<int>(mesh->points));
      EXPECT_EQ(ours.face_count, static_cast<int>(mesh->faces));
    }
    EXPECT_EQ(scene->material_count, CountList(reference->materials));
    EXPECT_EQ(scene->light_count, CountList(reference->lights));
    EXPECT_EQ(scene->camera_count, CountList(reference->cameras));
    // lib3ds reports 100 frames for a file without a keyframer; we report 0.
    EXPECT_EQ(scene->frame_count, HasKeyframer(bytes) ? reference->frames : 0);

    std::vector<NodeCounts> expected;
    std::vector<NodeCounts> actual;
    CollectReference(reference->nodes, &expected);
    for (int i = 0; i < scene->root_count; ++i) CollectOurs(scene->roots[i], &actual);
    std::sort(expected.begin(), expected.end());
    std::sort(actual.begin(), actual.end());
    EXPECT_EQ(actual, expected);
    lib3ds_file_free(reference);
  }
}

// A material group naming a material that differs only in letter case
// fails the load: made from a real file by changing one letter's case.
TEST(RealFiles, MaterialNameCaseMatters) {
  const fs::path path = kModels / "test1.3ds";
  if (!fs::exists(path)) GTEST_SKIP() << path << " is missing (assimp-testmodels)";
  std::ifstream stream(path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(stream)), {});
  ASSERT_NE(LoadBytes(bytes), nullptr);
  // Every "Default" after the material definitions is in a material group.
  const std::string needle = "Default";
  auto it = std::search(bytes.begin(), bytes.end(), needle.begin(), needle.end());
  ASSERT_NE(it, bytes.end());
  *it = 'd';  // the first one is a material name
  std::string reason;
  EXPECT_EQ(LoadBytes(bytes, &reason), nullptr);
  EXPECT_NE(reason.find("not defined"), std::string::npos) << reason;
}

}  // namespace
