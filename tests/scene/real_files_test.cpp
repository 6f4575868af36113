// The reader against real 3D Studio files that no one here wrote (Debian's
// assimp test models), compared value for value with an independent reader
// (lib3ds): meshes, materials, and the node tree with every track's keys.
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
#include <map>
#include <string>
#include <vector>

#include "scene_test_support.h"
#include "storage/test_files.h"

namespace {

namespace fs = std::filesystem;

const fs::path kModels = "/usr/share/assimp/models/3DS";

// A node as both readers see it: its name, its parent's name, and per track
// the flags, then per key the frame, the spline parameters and the values.
struct NodeRecord {
  std::string name;
  std::string parent;
  std::map<std::string, std::vector<float>> tracks;
  bool operator==(const NodeRecord&) const = default;
};

// Adds a key to the record's track: the track's flags before its first key,
// then the key's frame, spline parameters and values.
void AddKey(NodeRecord* r, const char* track, uint32_t flags, int frame, const float (&tcb)[5],
            const std::vector<float>& values) {
  std::vector<float>& out = r->tracks[track];
  if (out.empty()) out.push_back(static_cast<float>(flags & 0xFFFF));
  out.push_back(static_cast<float>(frame));
  out.insert(out.end(), std::begin(tcb), std::end(tcb));
  out.insert(out.end(), values.begin(), values.end());
}

// lib3ds keeps its keys in lists; values come as the file stores them.
template <typename Track, typename Values>
void AddReference(NodeRecord* r, const char* name, const Track& track, Values values) {
  for (const auto* key = track.keyL; key != nullptr; key = key->next) {
    const Lib3dsTcb& s = key->tcb;
    AddKey(r, name, track.flags, s.frame, {s.tens, s.cont, s.bias, s.ease_to, s.ease_from},
           values(*key));
  }
}

template <typename Track, typename Values>
void AddOurs(NodeRecord* r, const char* name, const Track& track, Values values) {
  for (int k = 0; k < track.key_count; ++k) {
    const TcbParams& s = track.keys[k].tcb;
    AddKey(r, name, static_cast<uint32_t>(track.flags), track.keys[k].frame,
           {s.tension, s.continuity, s.bias, s.ease_to, s.ease_from}, values(track.keys[k]));
  }
}

const auto kLin3 = [](const Lib3dsLin3Key& k) {
  return std::vector<float>{k.value[0], k.value[1], k.value[2]};
};
const auto kLin1 = [](const Lib3dsLin1Key& k) { return std::vector<float>{k.value}; };
const auto kNone = [](const auto&) { return std::vector<float>{}; };

// Siblings in the order of their node ids, which files number as they
// write the nodes: the order our reader keeps.
std::vector<const Lib3dsNode*> ByNodeId(const Lib3dsNode* first) {
  std::vector<const Lib3dsNode*> nodes;
  for (; first != nullptr; first = first->next) nodes.push_back(first);
  std::stable_sort(nodes.begin(), nodes.end(), [](const Lib3dsNode* a, const Lib3dsNode* b) {
    return a->node_id < b->node_id;
  });
  return nodes;
}

void CollectReference(const Lib3dsNode* siblings, const std::string& parent,
                      std::vector<NodeRecord>* records) {
  for (const Lib3dsNode* node : ByNodeId(siblings)) {
    NodeRecord r{node->name, parent, {}};
    const Lib3dsNodeData& d = node->data;
    switch (node->type) {
      case LIB3DS_OBJECT_NODE:
        AddReference(&r, "position", d.object.pos_track, kLin3);
        AddReference(&r, "rotation", d.object.rot_track, [&](const Lib3dsQuatKey& k) {
          // The first key's angle is never applied: both keep 0.
          const float angle = &k == d.object.rot_track.keyL ? 0.0f : k.angle;
          return std::vector<float>{angle, k.axis[0], k.axis[1], k.axis[2]};
        });
        AddReference(&r, "scale", d.object.scl_track, kLin3);
        AddReference(&r, "hide", d.object.hide_track, kNone);
        break;
      case LIB3DS_CAMERA_NODE:
        AddReference(&r, "position", d.camera.pos_track, kLin3);
        AddReference(&r, "fov", d.camera.fov_track, kLin1);
        AddReference(&r, "roll", d.camera.roll_track, kLin1);
        break;
      case LIB3DS_LIGHT_NODE:
        AddReference(&r, "position", d.light.pos_track, kLin3);
        AddReference(&r, "colour", d.light.col_track, kLin3);
        AddReference(&r, "hotspot", d.light.hotspot_track, kLin1);
        AddReference(&r, "falloff", d.light.falloff_track, kLin1);
        AddReference(&r, "roll", d.light.roll_track, kLin1);
        break;
      case LIB3DS_TARGET_NODE:
        AddReference(&r, "position", d.target.pos_track, kLin3);
        break;
      case LIB3DS_SPOT_NODE:
        AddReference(&r, "position", d.spot.pos_track, kLin3);
        break;
      default:
        break;
    }
    records->push_back(r);
    CollectReference(node->childs, node->name, records);
  }
}

void CollectOurs(const SceneNode* node, std::vector<NodeRecord>* out) {
  for (; node != nullptr; node = node->next) {
    NodeRecord r{node->name, node->parent != nullptr ? node->parent->name : "", {}};
    const bool root = node->parent == nullptr;
    AddOurs(&r, "position", node->position, [&](const VectorKey& k) {
      // Below the roots the reader stores (x, z, -y); the file holds (x, y, z).
      return root ? std::vector<float>{k.value.x, k.value.y, k.value.z}
                  : std::vector<float>{k.value.x, -k.value.z, k.value.y};
    });
    AddOurs(&r, "rotation", node->rotation, [](const RotationKey& k) {
      const AngleAxis& a = k.relative;
      return std::vector<float>{a.angle, a.axis.x, a.axis.y, a.axis.z};
    });
    const auto vec = [](const VectorKey& k) {
      return std::vector<float>{k.value.x, k.value.y, k.value.z};
    };
    const auto scalar = [](const ScalarKey& k) { return std::vector<float>{k.value}; };
    AddOurs(&r, "scale", node->scale, vec);
    AddOurs(&r, "colour", node->colour, vec);
    AddOurs(&r, "fov", node->fov, scalar);
    AddOurs(&r, "roll", node->roll, scalar);
    AddOurs(&r, "hotspot", node->hotspot, scalar);
    AddOurs(&r, "falloff", node->falloff, scalar);
    for (int k = 0; k < node->hide.key_count; ++k) {
      AddKey(&r, "hide", static_cast<uint32_t>(node->hide.flags), node->hide.keys[k].frame, {}, {});
    }
    out->push_back(r);
    CollectOurs(node->first_child, out);
  }
}

std::vector<fs::path> ModelFiles() {
  std::vector<fs::path> files;
  std::error_code code;
  for (const auto& entry : fs::directory_iterator(kModels, code)) {
    // 3D Studio files by their main chunk id, whatever their extension.
    const std::vector<uint8_t> bytes = storage_test::ReadBytes(entry.path());
    if (bytes.size() > 2 && bytes[0] == 'M' && bytes[1] == 'M') files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(RealFiles, EveryValueMatchesAnIndependentReader) {
  const std::vector<fs::path> files = ModelFiles();
  if (files.empty()) GTEST_SKIP() << "no 3D Studio models in " << kModels << " (assimp-testmodels)";
  int keyed_nodes = 0;
  for (const fs::path& path : files) {
    SCOPED_TRACE(path.string());
    std::string reason;
    ScenePtr scene = LoadBytes(storage_test::ReadBytes(path), &reason);
    ASSERT_NE(scene, nullptr) << reason;
    Lib3dsFile* reference = lib3ds_file_load(path.c_str());
    ASSERT_NE(reference, nullptr);

    int m = 0;
    for (const Lib3dsMesh* mesh = reference->meshes; mesh != nullptr; mesh = mesh->next, ++m) {
      ASSERT_LT(m, scene->mesh_count);
      const Mesh& ours = scene->meshes[m];
      std::vector<float> a{static_cast<float>(ours.vertex_count),
                           static_cast<float>(ours.face_count)};
      std::vector<float> b{static_cast<float>(mesh->points), static_cast<float>(mesh->faces)};
      for (int v = 0; v < ours.vertex_count && v < static_cast<int>(mesh->points); ++v) {
        const float* p = mesh->pointL[v].pos;
        a.insert(a.end(), {ours.vertices[v].x, ours.vertices[v].y, ours.vertices[v].z});
        b.insert(b.end(), {p[0], p[1], p[2]});
        if (mesh->texels == mesh->points) {
          a.insert(a.end(), {ours.mapping[v].u, ours.mapping[v].v});
          b.insert(b.end(), {mesh->texelL[v][0], -mesh->texelL[v][1]});
        }
      }
      for (int f = 0; f < ours.face_count && f < static_cast<int>(mesh->faces); ++f) {
        const Lib3dsWord* p = mesh->faceL[f].points;
        a.insert(a.end(), {1.0f * ours.faces[f].a, 1.0f * ours.faces[f].b, 1.0f * ours.faces[f].c});
        b.insert(b.end(), {1.0f * p[0], 1.0f * p[1], 1.0f * p[2]});
      }
      EXPECT_STREQ(ours.name, mesh->name);
      EXPECT_EQ(a, b) << ours.name;
    }
    EXPECT_EQ(scene->mesh_count, m);
    std::vector<std::string> materials;
    std::vector<std::string> expected_materials;
    for (int i = 0; i < scene->material_count; ++i) materials.push_back(scene->materials[i]->name);
    for (const Lib3dsMaterial* k = reference->materials; k != nullptr; k = k->next) {
      expected_materials.push_back(k->name);
    }
    std::sort(materials.begin(), materials.end());  // lib3ds keeps them sorted by name
    EXPECT_EQ(materials, expected_materials);
    int lights = 0, cameras = 0;
    for (const Lib3dsLight* k = reference->lights; k != nullptr; k = k->next) ++lights;
    for (const Lib3dsCamera* k = reference->cameras; k != nullptr; k = k->next) ++cameras;
    EXPECT_TRUE(scene->light_count == lights && scene->camera_count == cameras);
    // lib3ds reports 100 frames for a file without a keyframer; we report 0.
    EXPECT_TRUE(scene->root_count == 0 || scene->frame_count == reference->frames);

    std::vector<NodeRecord> expected;
    std::vector<NodeRecord> actual;
    CollectReference(reference->nodes, "", &expected);
    for (int i = 0; i < scene->root_count; ++i) CollectOurs(scene->roots[i], &actual);
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) {
      EXPECT_EQ(actual[i], expected[i]) << "node " << i;
      keyed_nodes += actual[i].tracks.count("rotation") != 0 ? 1 : 0;
    }
    lib3ds_file_free(reference);
  }
  EXPECT_GT(keyed_nodes, 5);  // the files do exercise the keyframer
}

}  // namespace
