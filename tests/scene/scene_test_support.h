// Helpers for the scene tests: owning scene pointers, loading from bytes or
// from a writer description, small scene descriptions, and a builder for
// hand-made chunk streams.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scene/tds_reader.h"
#include "scene/tds_writer.h"

struct SceneDeleter {
  void operator()(Scene* scene) const { FreeScene(scene); }
};
using ScenePtr = std::unique_ptr<Scene, SceneDeleter>;

inline ScenePtr LoadBytes(const std::vector<uint8_t>& bytes, std::string* reason = nullptr) {
  SceneLoadError error;
  Scene* scene = LoadSceneFromMemory(bytes.data(), bytes.size(), &error);
  if (reason != nullptr) *reason = error.message;
  return ScenePtr(scene);
}

inline std::vector<uint8_t> WriteOrDie(const TdsScene& description) {
  std::vector<uint8_t> bytes;
  std::string error;
  EXPECT_TRUE(WriteTdsFile(description, &bytes, &error)) << error;
  return bytes;
}

inline ScenePtr LoadDescription(const TdsScene& description, std::string* reason = nullptr) {
  return LoadBytes(WriteOrDie(description), reason);
}

// The reader refuses the bytes and says why.
inline void ExpectRefused(const std::vector<uint8_t>& bytes) {
  std::string reason;
  EXPECT_EQ(LoadBytes(bytes, &reason), nullptr);
  EXPECT_FALSE(reason.empty());
}

inline TdsMesh TriangleMesh(const std::string& name) {
  TdsMesh mesh;
  mesh.name = name;
  mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  mesh.faces = {{0, 1, 2}};
  return mesh;
}

// One triangle node that moves along x from 0 at frame 0 to `distance` at
// the scene's last frame, in a straight line.
inline TdsScene MovingTriangle(const std::string& name, int frames, float distance) {
  TdsScene scene;
  scene.frame_count = frames;
  scene.meshes.push_back(TriangleMesh(name));
  scene.AddNode(kNodeObject, name);
  scene.nodes[0].position.Add(0, {0, 0, 0}).Add(frames, {distance, 0, 0});
  return scene;
}

// Hand-made chunks: Begin/End nest, fields are little-endian. Raw lengths
// can be forced with Patch32 to make malformed files.
class Bytes {
 public:
  Bytes& Begin(uint16_t id) {
    U16(id);
    open_.push_back(data_.size());
    return U32(0);
  }
  Bytes& End() {
    const size_t at = open_.back();
    open_.pop_back();
    Patch32(at, static_cast<uint32_t>(data_.size() - at + 2));
    return *this;
  }
  Bytes& U8(uint8_t v) {
    data_.push_back(v);
    return *this;
  }
  Bytes& U16(uint16_t v) { return U8(static_cast<uint8_t>(v)).U8(static_cast<uint8_t>(v >> 8)); }
  Bytes& U32(uint32_t v) {
    return U16(static_cast<uint16_t>(v)).U16(static_cast<uint16_t>(v >> 16));
  }
  Bytes& F32(float v) { return U32(std::bit_cast<uint32_t>(v)); }
  Bytes& V3(float x, float y, float z) { return F32(x).F32(y).F32(z); }
  Bytes& Text(const std::string& text) {
    data_.insert(data_.end(), text.begin(), text.end());
    return U8(0);
  }
  void Patch32(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) data_[at + i] = static_cast<uint8_t>(v >> (8 * i));
  }
  size_t size() const { return data_.size(); }
  const std::vector<uint8_t>& data() const { return data_; }

 private:
  std::vector<uint8_t> data_;
  std::vector<size_t> open_;
};

// A mesh object chunk with the given vertices and faces (flags 0).
inline void AddMeshObject(Bytes* b, const std::string& name, const std::vector<Vec3>& vertices,
                          const std::vector<std::array<uint16_t, 3>>& faces) {
  b->Begin(0x4000).Text(name).Begin(0x4100).Begin(0x4110).U16(
      static_cast<uint16_t>(vertices.size()));
  for (const Vec3& v : vertices) b->V3(v.x, v.y, v.z);
  b->End().Begin(0x4120).U16(static_cast<uint16_t>(faces.size()));
  for (const auto& f : faces) b->U16(f[0]).U16(f[1]).U16(f[2]).U16(0);
  b->End().End().End();
}
