// Writes 3D Studio (.3DS) files from a plain description built in code: every
// chunk the scene reader reads (editor and keyframer, every track kind,
// spline parameters). The content generator makes the demo's scenes with it,
// the tests make their fixtures.
//
// Usage:
//   TdsScene scene;
//   scene.frame_count = 200;
//   TdsMaterial& red = scene.materials.emplace_back();
//   red.name = "RED";
//   red.diffuse = {255, 0, 0};
//   TdsMesh& box = scene.meshes.emplace_back();
//   box.name = "BOX";
//   box.vertices = {...};
//   box.faces = {{0, 1, 2}, ...};
//   box.AssignMaterial("RED");                 // every face
//   int box_node = scene.AddNode(kNodeObject, "BOX");
//   scene.nodes[box_node].position.Add(0, {0, 0, 0}).Add(199, {10, 0, 0});
//   scene.nodes[box_node].rotation.Add(0, {0, {0, 0, 1}}).Add(100, {3.1416f, {0, 0, 1}});
//   std::vector<uint8_t> bytes;
//   std::string error;
//   if (!WriteTdsFile(scene, &bytes, &error)) ...
//
// Values are written as the file holds them; the reader then applies its own
// rules: position keys of nodes that are not roots are stored as (x, z, -y),
// the first rotation key's angle is ignored and later rotation keys are
// relative to the previous key, the mapping's v is negated, an object node's
// pivot has the mesh origin added.
//
// Hierarchy: each node names its parent by index (-1 for a root); the writer
// emits the nodes depth first (a parent before its children, siblings in
// their order in `nodes`) with the depth as the header's hierarchy value,
// which is how the reader rebuilds the tree.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "math/vector_math.h"
#include "scene/scene.h"

// Spline parameters of one key. Each non-zero field is written with its flag
// bit set; zero fields are left out. extra_flags sets any of bits 5-15, each
// followed by a float the reader skips (written as 0).
struct TdsSpline {
  float tension = 0.0f;
  float continuity = 0.0f;
  float bias = 0.0f;
  float ease_to = 0.0f;
  float ease_from = 0.0f;
  uint16_t extra_flags = 0;
};

// Hide keys carry no value.
struct TdsNoValue {};

template <typename Value>
struct TdsKey {
  int32_t frame = 0;
  Value value{};
  TdsSpline spline{};
};

// A track is written when it has keys (or when write_when_empty is set).
// flags: bits 0-1 are the repeat mode (0 single, 2 repeat, 3 loop).
template <typename Value>
struct TdsTrack {
  int16_t flags = 0;
  std::vector<TdsKey<Value>> keys;
  bool write_when_empty = false;

  TdsTrack& Add(int32_t frame, Value value, TdsSpline spline = {}) {
    keys.push_back(TdsKey<Value>{frame, value, spline});
    return *this;
  }
};

enum class TdsColourForm {
  kBytes,   // 24-bit colour chunk (0x0011), values 0..255
  kFloats,  // float colour chunk (0x0010)
  kBoth,    // both, float first
};

struct TdsMaterial {
  std::string name;  // at most 63 characters
  Vec3 ambient{0.0f, 0.0f, 0.0f};
  Vec3 diffuse{255.0f, 255.0f, 255.0f};
  Vec3 specular{0.0f, 0.0f, 0.0f};
  TdsColourForm colour_form = TdsColourForm::kBytes;  // kBytes rounds and clamps to 0..255
  int shading = 3;  // the file's value 1 (flat) .. 4; 0 writes no shading chunk
  bool two_sided = false;
  std::string texture;  // texture map file name (at most 79 characters); empty: no map
  std::optional<int16_t> self_illumination_percent;
};

struct TdsFace {
  uint16_t a = 0;
  uint16_t b = 0;
  uint16_t c = 0;
  uint16_t flags = 7;  // edge visibility bits as 3D Studio writes them
};

struct TdsMaterialGroup {
  std::string material;
  std::vector<uint16_t> faces;
};

struct TdsMesh {
  std::string name;               // at most 63 characters
  std::vector<Vec3> vertices;     // at most 65535
  std::vector<MapCoord> mapping;  // one per vertex, v as in the file; empty: no mapping chunk
  std::vector<TdsFace> faces;     // at most 65535
  std::vector<TdsMaterialGroup> material_groups;
  bool has_local_axis = false;
  Vec3 axes[3] = {{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}};
  Vec3 origin{0.0f, 0.0f, 0.0f};

  // Adds a group that names every face.
  void AssignMaterial(const std::string& material);
};

struct TdsLight {
  std::string name;
  Vec3 position{0.0f, 0.0f, 0.0f};
  Vec3 colour{1.0f, 1.0f, 1.0f};  // 0..1
  bool colour_as_bytes = false;   // write a 24-bit colour chunk instead of floats
  bool spot = false;
  Vec3 spot_target{0.0f, 0.0f, 0.0f};
  float hotspot_degrees = 30.0f;
  float falloff_degrees = 45.0f;
  bool switched_off = false;
};

struct TdsCamera {
  std::string name;
  Vec3 position{0.0f, 0.0f, 0.0f};
  Vec3 target{0.0f, 0.0f, 1.0f};
  float roll_degrees = 0.0f;
  float lens = 35.0f;
  bool has_ranges = false;
  float near_range = 0.0f;
  float far_range = 1000.0f;
};

struct TdsNode {
  SceneNodeType type = kNodeObject;
  std::string name;  // the mesh, light or camera it animates
  int parent = -1;   // index into TdsScene::nodes, -1 for a root
  std::optional<Vec3> pivot;
  std::optional<int16_t> node_id;  // written before the header, as 3D Studio does
  TdsTrack<Vec3> position;
  TdsTrack<AngleAxis> rotation;
  TdsTrack<Vec3> scale;
  TdsTrack<float> fov;   // degrees
  TdsTrack<float> roll;  // degrees
  TdsTrack<Vec3> colour;
  TdsTrack<std::string> morph;  // target mesh names
  TdsTrack<float> hotspot;
  TdsTrack<float> falloff;
  TdsTrack<TdsNoValue> hide;
};

struct TdsScene {
  int16_t version = 3;
  uint8_t mesh_version = 3;
  std::vector<TdsMaterial> materials;  // at most 256
  std::vector<TdsMesh> meshes;
  std::vector<TdsLight> lights;
  std::vector<TdsCamera> cameras;
  bool write_keyframer = true;  // false: an editor section only
  int32_t frame_count = 100;
  std::vector<TdsNode> nodes;

  // Appends a node and returns its index.
  int AddNode(SceneNodeType type, const std::string& name, int parent = -1);
};

// Serialises the scene. False with the reason in *error when the description
// cannot be written: a name too long, a count beyond 65535, a parent index
// out of range or a cycle of parents, a face or group index out of range.
bool WriteTdsFile(const TdsScene& scene, std::vector<uint8_t>* bytes, std::string* error);
