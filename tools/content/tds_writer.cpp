// Writes 3D Studio files; see tds_writer.h.
#include "content/tds_writer.h"

#include <cstring>

namespace {

// Little-endian chunk output with nested lengths patched on close.
class ChunkOutput {
 public:
  void Begin(uint16_t id) {
    U16(id);
    open_.push_back(bytes_.size());
    U32(0);
  }
  void End() {
    const size_t at = open_.back();
    open_.pop_back();
    const uint32_t length = static_cast<uint32_t>(bytes_.size() - at + 2);
    for (int i = 0; i < 4; ++i)
      bytes_[at + static_cast<size_t>(i)] = static_cast<uint8_t>(length >> (8 * i));
  }
  void U8(uint8_t v) { bytes_.push_back(v); }
  void U16(uint32_t v) {
    U8(static_cast<uint8_t>(v));
    U8(static_cast<uint8_t>(v >> 8));
  }
  void U32(uint32_t v) {
    U16(v & 0xFFFF);
    U16(v >> 16);
  }
  void F32(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    U32(bits);
  }
  void Vec(Vec3f v) {
    F32(v.x);
    F32(v.y);
    F32(v.z);
  }
  void Text(const std::string& text) {
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    U8(0);
  }
  std::vector<uint8_t> Take() { return std::move(bytes_); }

 private:
  std::vector<uint8_t> bytes_;
  std::vector<size_t> open_;
};

void WriteColour(ChunkOutput& out, uint16_t id, Rgb8 colour) {
  out.Begin(id);
  out.Begin(0x0011);
  out.U8(colour.r);
  out.U8(colour.g);
  out.U8(colour.b);
  out.End();
  out.End();
}

void WriteMaterial(ChunkOutput& out, const MaterialSpec& m) {
  out.Begin(0xAFFF);
  out.Begin(0xA000);
  out.Text(m.name);
  out.End();
  WriteColour(out, 0xA010, m.ambient);
  WriteColour(out, 0xA020, m.diffuse);
  WriteColour(out, 0xA030, m.specular);
  if (m.two_sided) {
    out.Begin(0xA081);
    out.End();
  }
  if (m.self_illumination_percent != 0) {
    out.Begin(0xA084);
    out.Begin(0x0030);
    out.U16(static_cast<uint16_t>(m.self_illumination_percent));
    out.End();
    out.End();
  }
  out.Begin(0xA100);
  out.U16(static_cast<uint16_t>(m.shading));
  out.End();
  if (!m.texture.empty()) {
    out.Begin(0xA200);
    out.Begin(0x0030);
    out.U16(100);
    out.End();
    out.Begin(0xA300);
    out.Text(m.texture);
    out.End();
    out.End();
  }
  out.End();
}

bool WriteMesh(ChunkOutput& out, const SceneSpec& scene, const MeshSpec& mesh, std::string* error) {
  if (mesh.vertices.size() > 0xFFFF || mesh.faces.size() > 0xFFFF) {
    *error = "mesh \"" + mesh.name + "\" has more than 65535 vertices or faces";
    return false;
  }
  if (!mesh.mapping.empty() && mesh.mapping.size() != mesh.vertices.size()) {
    *error = "mesh \"" + mesh.name + "\" has a mapping of the wrong size";
    return false;
  }
  if (mesh.face_materials.size() != mesh.faces.size()) {
    *error = "mesh \"" + mesh.name + "\" lacks face materials";
    return false;
  }
  out.Begin(0x4000);
  out.Text(mesh.name);
  out.Begin(0x4100);
  out.Begin(0x4110);
  out.U16(static_cast<uint16_t>(mesh.vertices.size()));
  for (const Vec3f& v : mesh.vertices) out.Vec(v);
  out.End();
  if (!mesh.mapping.empty()) {
    out.Begin(0x4140);
    out.U16(static_cast<uint16_t>(mesh.mapping.size()));
    for (const auto& uv : mesh.mapping) {
      out.F32(uv[0]);
      out.F32(uv[1]);
    }
    out.End();
  }
  out.Begin(0x4160);  // local axes: identity, origin at the object's zero
  out.Vec({1, 0, 0});
  out.Vec({0, 1, 0});
  out.Vec({0, 0, 1});
  out.Vec({0, 0, 0});
  out.End();
  out.Begin(0x4120);
  out.U16(static_cast<uint16_t>(mesh.faces.size()));
  for (const FaceSpec& f : mesh.faces) {
    if (f.a >= mesh.vertices.size() || f.b >= mesh.vertices.size() || f.c >= mesh.vertices.size()) {
      *error = "mesh \"" + mesh.name + "\" has a face with a vertex out of range";
      return false;
    }
    out.U16(f.a);
    out.U16(f.b);
    out.U16(f.c);
    out.U16(7);  // all edges visible
  }
  for (size_t m = 0; m < scene.materials.size(); ++m) {
    std::vector<uint16_t> listed;
    for (size_t f = 0; f < mesh.faces.size(); ++f) {
      if (mesh.face_materials[f] == static_cast<int>(m)) listed.push_back(static_cast<uint16_t>(f));
    }
    if (listed.empty()) continue;
    out.Begin(0x4130);
    out.Text(scene.materials[m].name);
    out.U16(static_cast<uint16_t>(listed.size()));
    for (uint16_t f : listed) out.U16(f);
    out.End();
  }
  for (int material : mesh.face_materials) {
    if (material < 0 || material >= static_cast<int>(scene.materials.size())) {
      *error = "mesh \"" + mesh.name + "\" names a material that does not exist";
      return false;
    }
  }
  out.End();
  out.End();
  out.End();
  return true;
}

void WriteLight(ChunkOutput& out, const LightSpec& light) {
  out.Begin(0x4000);
  out.Text(light.name);
  out.Begin(0x4600);
  out.Vec(light.position);
  out.Begin(0x0011);
  out.U8(light.colour.r);
  out.U8(light.colour.g);
  out.U8(light.colour.b);
  out.End();
  if (light.spot) {
    out.Begin(0x4610);
    out.Vec(light.spot_target);
    out.F32(30.0f);  // hotspot
    out.F32(45.0f);  // falloff
    out.End();
  }
  out.End();
  out.End();
}

void WriteCamera(ChunkOutput& out, const CameraSpec& camera) {
  out.Begin(0x4000);
  out.Text(camera.name);
  out.Begin(0x4700);
  out.Vec(camera.position);
  out.Vec(camera.target);
  out.F32(camera.roll_degrees);
  out.F32(camera.lens_mm);
  out.Begin(0x4720);
  out.F32(1.0f);
  out.F32(100000.0f);
  out.End();
  out.End();
  out.End();
}

uint16_t SplineFlags(const KeyShape& s) {
  return static_cast<uint16_t>((s.tension != 0 ? 1 : 0) | (s.continuity != 0 ? 2 : 0) |
                               (s.bias != 0 ? 4 : 0) | (s.ease_to != 0 ? 8 : 0) |
                               (s.ease_from != 0 ? 16 : 0));
}

void WriteKeyHead(ChunkOutput& out, int frame, const KeyShape& s) {
  out.U32(static_cast<uint32_t>(frame));
  const uint16_t flags = SplineFlags(s);
  out.U16(flags);
  if (flags & 1) out.F32(s.tension);
  if (flags & 2) out.F32(s.continuity);
  if (flags & 4) out.F32(s.bias);
  if (flags & 8) out.F32(s.ease_to);
  if (flags & 16) out.F32(s.ease_from);
}

template <typename Value>
bool BeginTrack(ChunkOutput& out, uint16_t id, const TrackSpec<Value>& track, std::string* error) {
  for (size_t k = 1; k < track.keys.size(); ++k) {
    if (track.keys[k].frame <= track.keys[k - 1].frame) {
      *error = "track keys out of frame order";
      return false;
    }
  }
  out.Begin(id);
  out.U16(static_cast<uint16_t>(track.mode));
  for (int i = 0; i < 8; ++i) out.U8(0);
  out.U32(static_cast<uint32_t>(track.keys.size()));
  return true;
}

bool WriteVectorTrack(ChunkOutput& out, uint16_t id, const TrackSpec<Vec3f>& track,
                      bool child_position, std::string* error) {
  if (track.keys.empty()) return true;
  if (!BeginTrack(out, id, track, error)) return false;
  for (const auto& key : track.keys) {
    WriteKeyHead(out, key.frame, key.shape);
    // The reader turns a child's file position (x, y, z) into (x, z, -y).
    out.Vec(child_position ? Vec3f{key.value.x, -key.value.z, key.value.y} : key.value);
  }
  out.End();
  return true;
}

bool WriteNode(ChunkOutput& out, const NodeSpec& node, int id, std::string* error) {
  out.Begin(static_cast<uint16_t>(node.kind));
  out.Begin(0xB030);
  out.U16(static_cast<uint16_t>(id));
  out.End();
  out.Begin(0xB010);
  out.Text(node.name);
  out.U16(0);
  out.U16(0);
  out.U16(static_cast<uint16_t>(static_cast<int16_t>(node.depth)));
  out.End();
  if (node.kind == NodeKind::kObject) {
    out.Begin(0xB013);
    out.Vec(node.pivot);
    out.End();
  }
  const bool child = node.depth != -1;
  if (!WriteVectorTrack(out, 0xB020, node.position, child, error)) return false;
  if (!node.rotation.keys.empty()) {
    if (!BeginTrack(out, 0xB021, node.rotation, error)) return false;
    for (const auto& key : node.rotation.keys) {
      WriteKeyHead(out, key.frame, key.shape);
      out.F32(key.value.angle_radians);
      out.Vec(key.value.axis);
    }
    out.End();
  }
  if (!WriteVectorTrack(out, 0xB022, node.scale, false, error)) return false;
  for (const auto& [id_of_track, track] :
       {std::pair<uint16_t, const TrackSpec<float>*>{0xB023, &node.fov}, {0xB024, &node.roll}}) {
    if (track->keys.empty()) continue;
    if (!BeginTrack(out, id_of_track, *track, error)) return false;
    for (const auto& key : track->keys) {
      WriteKeyHead(out, key.frame, key.shape);
      out.F32(key.value);
    }
    out.End();
  }
  if (!WriteVectorTrack(out, 0xB025, node.colour, false, error)) return false;
  if (!node.hide.keys.empty()) {
    if (!BeginTrack(out, 0xB029, node.hide, error)) return false;
    for (const auto& key : node.hide.keys) {
      out.U32(static_cast<uint32_t>(key.frame));
      out.U16(0);
    }
    out.End();
  }
  out.End();
  return true;
}

bool HasRecord(const SceneSpec& scene, const NodeSpec& node) {
  auto named = [&](const auto& records) {
    for (const auto& r : records) {
      if (r.name == node.name) return true;
    }
    return false;
  };
  switch (node.kind) {
    case NodeKind::kObject:
      return named(scene.meshes);
    case NodeKind::kCamera:
    case NodeKind::kCameraTarget:
      return named(scene.cameras);
    default:
      return named(scene.lights);
  }
}

}  // namespace

std::vector<uint8_t> WriteTds(const SceneSpec& scene, std::string* error) {
  ChunkOutput out;
  out.Begin(0x4D4D);
  out.Begin(0x0002);
  out.U32(3);
  out.End();
  out.Begin(0x3D3D);
  out.Begin(0x3D3E);
  out.U32(3);
  out.End();
  for (const MaterialSpec& material : scene.materials) WriteMaterial(out, material);
  out.Begin(0x0100);  // master scale
  out.F32(1.0f);
  out.End();
  for (const MeshSpec& mesh : scene.meshes) {
    if (!WriteMesh(out, scene, mesh, error)) return {};
  }
  for (const LightSpec& light : scene.lights) WriteLight(out, light);
  for (const CameraSpec& camera : scene.cameras) WriteCamera(out, camera);
  out.End();

  out.Begin(0xB000);
  out.Begin(0xB00A);
  out.U16(5);
  out.Text("");
  out.U32(static_cast<uint32_t>(scene.frame_count));
  out.End();
  out.Begin(0xB008);
  out.U32(0);
  out.U32(static_cast<uint32_t>(scene.frame_count > 0 ? scene.frame_count - 1 : 0));
  out.End();
  int previous_depth = -1;
  for (size_t n = 0; n < scene.nodes.size(); ++n) {
    const NodeSpec& node = scene.nodes[n];
    if (!HasRecord(scene, node)) {
      *error = "node \"" + node.name + "\" animates nothing of that name";
      return {};
    }
    if (node.depth != -1 &&
        (node.depth < 1 || n == 0 || node.depth > (previous_depth < 0 ? 1 : previous_depth + 1))) {
      *error = "node \"" + node.name + "\" is deeper than its place in the list allows";
      return {};
    }
    previous_depth = node.depth;
    if (!WriteNode(out, node, static_cast<int>(n), error)) {
      *error = "node \"" + node.name + "\": " + *error;
      return {};
    }
  }
  out.End();
  out.End();
  return out.Take();
}
