// A 3D Studio scene as the content generator describes it before it is
// written: meshes with their materials, lights, cameras and the keyframer
// nodes with their tracks. Positions are world units with z up; node
// positions are given as they should come out of the demo's reader, the
// writer takes care of the file's axis order for child nodes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct Vec3f {
  float x = 0, y = 0, z = 0;
};

inline Vec3f operator+(Vec3f a, Vec3f b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3f operator-(Vec3f a, Vec3f b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3f operator*(Vec3f a, float s) {
  return {a.x * s, a.y * s, a.z * s};
}

struct Rgb8 {
  uint8_t r = 0, g = 0, b = 0;
};

enum class Shading : uint16_t { kFlat = 1, kGouraud = 3 };

struct MaterialSpec {
  std::string name;
  Rgb8 ambient, diffuse{255, 255, 255}, specular{255, 255, 255};
  Shading shading = Shading::kGouraud;
  bool two_sided = false;
  int self_illumination_percent = 0;
  std::string texture;  // file name such as "ROCK.BMP"; empty for none
};

struct FaceSpec {
  uint16_t a, b, c;
};

struct MeshSpec {
  std::string name;
  std::vector<Vec3f> vertices;
  std::vector<std::array<float, 2>> mapping;  // empty, or one (u, v) per vertex
  std::vector<FaceSpec> faces;                // counter-clockwise seen from the front
  std::vector<int> face_materials;            // one material index per face
};

struct LightSpec {
  std::string name;
  Vec3f position;
  Rgb8 colour{255, 255, 255};
  bool spot = false;
  Vec3f spot_target;
};

struct CameraSpec {
  std::string name;
  Vec3f position, target;
  float roll_degrees = 0, lens_mm = 35;
};

// Spline parameters of one key; zero unless set.
struct KeyShape {
  float tension = 0, continuity = 0, bias = 0, ease_to = 0, ease_from = 0;
};

template <typename Value>
struct Key {
  int frame = 0;
  Value value{};
  KeyShape shape;
};

struct AxisAngle {
  float angle_radians = 0;  // rotation relative to the previous key
  Vec3f axis{0, 0, 1};
};

// Repeat modes of the track flags.
enum class TrackMode : uint16_t { kSingle = 0, kRepeat = 2, kLoop = 3 };

template <typename Value>
struct TrackSpec {
  TrackMode mode = TrackMode::kSingle;
  std::vector<Key<Value>> keys;
};

enum class NodeKind : uint16_t {
  kObject = 0xB002,
  kCamera = 0xB003,
  kCameraTarget = 0xB004,
  kLight = 0xB005,
  kLightTarget = 0xB006,
  kSpotlight = 0xB007,
};

struct NodeSpec {
  NodeKind kind = NodeKind::kObject;
  std::string name;  // the mesh, light or camera it animates
  int depth = -1;    // -1 root, 1 child of the previous shallower node, 2 ...
  Vec3f pivot;
  TrackSpec<Vec3f> position, scale, colour;
  TrackSpec<AxisAngle> rotation;
  TrackSpec<float> fov, roll;
  TrackSpec<int> hide;  // frames at which visibility toggles (value unused)
};

struct SceneSpec {
  int frame_count = 0;
  std::vector<MaterialSpec> materials;
  std::vector<MeshSpec> meshes;
  std::vector<LightSpec> lights;
  std::vector<CameraSpec> cameras;  // the demo looks through the first
  std::vector<NodeSpec> nodes;      // depth-first order

  int MaterialIndex(const std::string& name) const {
    for (size_t i = 0; i < materials.size(); ++i) {
      if (materials[i].name == name) return static_cast<int>(i);
    }
    return -1;
  }
};
