// Serialises a TdsScene into the chunks of a 3D Studio file.
#include "scene/tds_writer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <type_traits>
#include <utility>

namespace {

// Appends little-endian fields and nested chunks whose lengths are patched
// when they end.
class ChunkWriter {
 public:
  explicit ChunkWriter(std::vector<uint8_t>* bytes) : bytes_(bytes) {}

  void Begin(uint16_t id) {
    U16(id);
    open_.push_back(bytes_->size());
    U32(0);
  }
  void End() {
    const size_t length_at = open_.back();
    open_.pop_back();
    const auto length = static_cast<uint32_t>(bytes_->size() - (length_at - 2));
    for (int i = 0; i < 4; ++i) (*bytes_)[length_at + i] = static_cast<uint8_t>(length >> (8 * i));
  }
  void U8(uint8_t value) { bytes_->push_back(value); }
  void U16(uint16_t value) {
    U8(static_cast<uint8_t>(value));
    U8(static_cast<uint8_t>(value >> 8));
  }
  void U32(uint32_t value) {
    U16(static_cast<uint16_t>(value));
    U16(static_cast<uint16_t>(value >> 16));
  }
  void F32(float value) { U32(std::bit_cast<uint32_t>(value)); }
  void V3(Vec3 value) {
    F32(value.x);
    F32(value.y);
    F32(value.z);
  }
  void Text(const std::string& text) {
    bytes_->insert(bytes_->end(), text.begin(), text.end());
    U8(0);
  }

 private:
  std::vector<uint8_t>* bytes_;
  std::vector<size_t> open_;
};

uint8_t ColourByte(float value) {
  const float clamped = std::clamp(value, 0.0f, 255.0f);
  return static_cast<uint8_t>(std::lround(clamped));
}

void WriteColour(ChunkWriter* out, uint16_t id, Vec3 colour, TdsColourForm form) {
  out->Begin(id);
  if (form != TdsColourForm::kBytes) {
    out->Begin(0x0010);
    out->V3(colour);
    out->End();
  }
  if (form != TdsColourForm::kFloats) {
    out->Begin(0x0011);
    out->U8(ColourByte(colour.x));
    out->U8(ColourByte(colour.y));
    out->U8(ColourByte(colour.z));
    out->End();
  }
  out->End();
}

void WriteMaterial(ChunkWriter* out, const TdsMaterial& material) {
  out->Begin(0xAFFF);
  out->Begin(0xA000);
  out->Text(material.name);
  out->End();
  WriteColour(out, 0xA010, material.ambient, material.colour_form);
  WriteColour(out, 0xA020, material.diffuse, material.colour_form);
  WriteColour(out, 0xA030, material.specular, material.colour_form);
  if (material.two_sided) {
    out->Begin(0xA081);
    out->End();
  }
  if (material.self_illumination_percent) {
    out->Begin(0xA084);
    out->Begin(0x0030);
    out->U16(static_cast<uint16_t>(*material.self_illumination_percent));
    out->End();
    out->End();
  }
  if (material.shading > 0) {
    out->Begin(0xA100);
    out->U16(static_cast<uint16_t>(material.shading));
    out->End();
  }
  if (!material.texture.empty()) {
    out->Begin(0xA200);
    out->Begin(0x0030);
    out->U16(100);
    out->End();
    out->Begin(0xA300);
    out->Text(material.texture);
    out->End();
    out->Begin(0xA351);
    out->U16(0);
    out->End();
    out->End();
  }
  out->End();
}

void WriteMesh(ChunkWriter* out, const TdsMesh& mesh) {
  out->Begin(0x4000);
  out->Text(mesh.name);
  out->Begin(0x4100);
  out->Begin(0x4110);
  out->U16(static_cast<uint16_t>(mesh.vertices.size()));
  for (const Vec3& vertex : mesh.vertices) out->V3(vertex);
  out->End();
  if (!mesh.mapping.empty()) {
    out->Begin(0x4140);
    out->U16(static_cast<uint16_t>(mesh.mapping.size()));
    for (const MapCoord& coord : mesh.mapping) {
      out->F32(coord.u);
      out->F32(coord.v);
    }
    out->End();
  }
  if (mesh.has_local_axis) {
    out->Begin(0x4160);
    for (const Vec3& axis : mesh.axes) out->V3(axis);
    out->V3(mesh.origin);
    out->End();
  }
  out->Begin(0x4120);
  out->U16(static_cast<uint16_t>(mesh.faces.size()));
  for (const TdsFace& face : mesh.faces) {
    out->U16(face.a);
    out->U16(face.b);
    out->U16(face.c);
    out->U16(face.flags);
  }
  for (const TdsMaterialGroup& group : mesh.material_groups) {
    out->Begin(0x4130);
    out->Text(group.material);
    out->U16(static_cast<uint16_t>(group.faces.size()));
    for (uint16_t face : group.faces) out->U16(face);
    out->End();
  }
  out->End();
  out->End();
  out->End();
}

void WriteLight(ChunkWriter* out, const TdsLight& light) {
  out->Begin(0x4000);
  out->Text(light.name);
  out->Begin(0x4600);
  out->V3(light.position);
  if (light.colour_as_bytes) {
    out->Begin(0x0011);
    out->U8(ColourByte(light.colour.x * 255.0f));
    out->U8(ColourByte(light.colour.y * 255.0f));
    out->U8(ColourByte(light.colour.z * 255.0f));
  } else {
    out->Begin(0x0010);
    out->V3(light.colour);
  }
  out->End();
  if (light.spot) {
    out->Begin(0x4610);
    out->V3(light.spot_target);
    out->F32(light.hotspot_degrees);
    out->F32(light.falloff_degrees);
    out->End();
  }
  if (light.switched_off) {
    out->Begin(0x4620);
    out->End();
  }
  out->End();
  out->End();
}

void WriteCamera(ChunkWriter* out, const TdsCamera& camera) {
  out->Begin(0x4000);
  out->Text(camera.name);
  out->Begin(0x4700);
  out->V3(camera.position);
  out->V3(camera.target);
  out->F32(camera.roll_degrees);
  out->F32(camera.lens);
  if (camera.has_ranges) {
    out->Begin(0x4720);
    out->F32(camera.near_range);
    out->F32(camera.far_range);
    out->End();
  }
  out->End();
  out->End();
}

void WriteSpline(ChunkWriter* out, const TdsSpline& spline) {
  const float values[5] = {spline.tension, spline.continuity, spline.bias, spline.ease_to,
                           spline.ease_from};
  uint16_t flags = static_cast<uint16_t>(spline.extra_flags & 0xFFE0);
  for (int bit = 0; bit < 5; ++bit) {
    if (values[bit] != 0.0f) flags = static_cast<uint16_t>(flags | (1u << bit));
  }
  out->U16(flags);
  for (int bit = 0; bit < 16; ++bit) {
    if ((flags & (1u << bit)) != 0) out->F32(bit < 5 ? values[bit] : 0.0f);
  }
}

void WriteValue(ChunkWriter* out, float value) {
  out->F32(value);
}
void WriteValue(ChunkWriter* out, Vec3 value) {
  out->V3(value);
}
void WriteValue(ChunkWriter* out, const AngleAxis& value) {
  out->F32(value.angle);
  out->V3(value.axis);
}
void WriteValue(ChunkWriter* out, const std::string& value) {
  out->Text(value);
}

template <typename Value>
void WriteTrack(ChunkWriter* out, uint16_t id, const TdsTrack<Value>& track) {
  if (track.keys.empty() && !track.write_when_empty) return;
  out->Begin(id);
  out->U16(static_cast<uint16_t>(track.flags));
  for (int i = 0; i < 8; ++i) out->U8(0);
  out->U32(static_cast<uint32_t>(track.keys.size()));
  for (const TdsKey<Value>& key : track.keys) {
    out->U32(static_cast<uint32_t>(key.frame));
    if constexpr (std::is_same_v<Value, TdsNoValue>) {
      out->U16(0);
    } else {
      WriteSpline(out, key.spline);
      WriteValue(out, key.value);
    }
  }
  out->End();
}

uint16_t NodeChunkId(SceneNodeType type) {
  switch (type) {
    case kNodeObject:
      return 0xB002;
    case kNodeLight:
      return 0xB005;
    case kNodeLightTarget:
      return 0xB006;
    case kNodeSpotlight:
      return 0xB007;
    case kNodeCamera:
      return 0xB003;
    case kNodeCameraTarget:
      return 0xB004;
  }
  return 0xB002;
}

void WriteNode(ChunkWriter* out, const TdsNode& node, int hierarchy) {
  out->Begin(NodeChunkId(node.type));
  if (node.node_id) {
    out->Begin(0xB030);
    out->U16(static_cast<uint16_t>(*node.node_id));
    out->End();
  }
  out->Begin(0xB010);
  out->Text(node.name);
  out->U16(0x4000);
  out->U16(0);
  out->U16(static_cast<uint16_t>(hierarchy));
  out->End();
  if (node.pivot) {
    out->Begin(0xB013);
    out->V3(*node.pivot);
    out->End();
  }
  WriteTrack(out, 0xB020, node.position);
  WriteTrack(out, 0xB021, node.rotation);
  WriteTrack(out, 0xB022, node.scale);
  WriteTrack(out, 0xB023, node.fov);
  WriteTrack(out, 0xB024, node.roll);
  WriteTrack(out, 0xB025, node.colour);
  WriteTrack(out, 0xB026, node.morph);
  WriteTrack(out, 0xB027, node.hotspot);
  WriteTrack(out, 0xB028, node.falloff);
  WriteTrack(out, 0xB029, node.hide);
  out->End();
}

bool CheckName(const std::string& name, size_t limit, const char* what, std::string* error) {
  if (name.size() <= limit && name.find('\0') == std::string::npos) return true;
  *error = std::string(what) + " name \"" + name.substr(0, limit) + "...\" is longer than " +
           std::to_string(limit) + " characters";
  return false;
}

bool CheckMesh(const TdsMesh& mesh, std::string* error) {
  if (!CheckName(mesh.name, kSceneNameSize - 1, "mesh", error)) return false;
  const std::string where = "mesh \"" + mesh.name + "\": ";
  if (mesh.vertices.size() > 65535 || mesh.faces.size() > 65535) {
    *error = where + "more than 65535 vertices or faces";
    return false;
  }
  if (!mesh.mapping.empty() && mesh.mapping.size() != mesh.vertices.size()) {
    *error = where + "the mapping needs one coordinate per vertex";
    return false;
  }
  for (const TdsFace& face : mesh.faces) {
    if (std::max({face.a, face.b, face.c}) >= mesh.vertices.size()) {
      *error = where + "a face uses a vertex beyond the vertex list";
      return false;
    }
  }
  for (const TdsMaterialGroup& group : mesh.material_groups) {
    if (!CheckName(group.material, kSceneNameSize - 1, "material", error)) return false;
    if (group.faces.size() > 65535) {
      *error = where + "material group of more than 65535 faces";
      return false;
    }
    for (uint16_t face : group.faces) {
      if (face >= mesh.faces.size()) {
        *error = where + "material group \"" + group.material + "\" names a face beyond the list";
        return false;
      }
    }
  }
  return true;
}

bool CheckEditor(const TdsScene& scene, std::string* error) {
  if (scene.materials.size() > static_cast<size_t>(kMaxMaterials)) {
    *error = "more than 256 materials";
    return false;
  }
  for (const TdsMaterial& material : scene.materials) {
    if (!CheckName(material.name, kSceneNameSize - 1, "material", error) ||
        !CheckName(material.texture, kTextureFileNameSize - 1, "texture file", error)) {
      return false;
    }
    if (material.shading < 0 || material.shading > 4) {
      *error = "material \"" + material.name + "\": shading must be 0 (none) or 1..4";
      return false;
    }
  }
  for (const TdsMesh& mesh : scene.meshes) {
    if (!CheckMesh(mesh, error)) return false;
  }
  for (const TdsLight& light : scene.lights) {
    if (!CheckName(light.name, kSceneNameSize - 1, "light", error)) return false;
  }
  for (const TdsCamera& camera : scene.cameras) {
    if (!CheckName(camera.name, kSceneNameSize - 1, "camera", error)) return false;
  }
  return true;
}

// The nodes depth first with their depths (-1 for roots), or false when a
// parent index is out of range or the parents form a cycle.
bool OrderNodes(const TdsScene& scene, std::vector<std::pair<int, int>>* order,
                std::string* error) {
  const int count = static_cast<int>(scene.nodes.size());
  std::vector<std::vector<int>> children(static_cast<size_t>(count));
  std::vector<int> roots;
  for (int i = 0; i < count; ++i) {
    const TdsNode& node = scene.nodes[static_cast<size_t>(i)];
    if (!CheckName(node.name, kSceneNameSize - 1, "node", error)) return false;
    if (node.parent < -1 || node.parent >= count || node.parent == i) {
      *error = "node \"" + node.name + "\": parent index " + std::to_string(node.parent) +
               " is not a node";
      return false;
    }
    if (node.parent == -1) {
      roots.push_back(i);
    } else {
      children[static_cast<size_t>(node.parent)].push_back(i);
    }
  }
  // Depth-first walk with an explicit stack; a node's children are pushed in
  // reverse so that they come out in their order.
  std::vector<std::pair<int, int>> stack;
  for (auto root = roots.rbegin(); root != roots.rend(); ++root) stack.push_back({*root, 0});
  while (!stack.empty()) {
    const auto [index, depth] = stack.back();
    stack.pop_back();
    order->push_back({index, depth == 0 ? -1 : depth});
    const auto& kids = children[static_cast<size_t>(index)];
    for (auto kid = kids.rbegin(); kid != kids.rend(); ++kid) stack.push_back({*kid, depth + 1});
  }
  if (static_cast<int>(order->size()) != count) {
    *error = "the nodes' parents form a cycle";
    return false;
  }
  if (roots.size() > static_cast<size_t>(kMaxRootNodes)) {
    *error = "more than 256 root nodes";
    return false;
  }
  return true;
}

}  // namespace

void TdsMesh::AssignMaterial(const std::string& material) {
  TdsMaterialGroup group;
  group.material = material;
  group.faces.resize(faces.size());
  for (size_t i = 0; i < faces.size(); ++i) group.faces[i] = static_cast<uint16_t>(i);
  material_groups.push_back(std::move(group));
}

int TdsScene::AddNode(SceneNodeType type, const std::string& name, int parent) {
  TdsNode& node = nodes.emplace_back();
  node.type = type;
  node.name = name;
  node.parent = parent;
  return static_cast<int>(nodes.size()) - 1;
}

bool WriteTdsFile(const TdsScene& scene, std::vector<uint8_t>* bytes, std::string* error) {
  std::vector<std::pair<int, int>> order;
  if (!CheckEditor(scene, error) || !OrderNodes(scene, &order, error)) return false;
  bytes->clear();
  ChunkWriter out(bytes);
  out.Begin(0x4D4D);
  out.Begin(0x0002);
  out.U32(static_cast<uint32_t>(static_cast<uint16_t>(scene.version)));
  out.End();
  out.Begin(0x3D3D);
  out.Begin(0x3D3E);
  out.U32(scene.mesh_version);
  out.End();
  for (const TdsMaterial& material : scene.materials) WriteMaterial(&out, material);
  for (const TdsMesh& mesh : scene.meshes) WriteMesh(&out, mesh);
  for (const TdsLight& light : scene.lights) WriteLight(&out, light);
  for (const TdsCamera& camera : scene.cameras) WriteCamera(&out, camera);
  out.End();
  if (scene.write_keyframer) {
    out.Begin(0xB000);
    out.Begin(0xB00A);
    out.U16(5);
    out.Text("");
    out.U32(static_cast<uint32_t>(scene.frame_count));
    out.End();
    for (const auto& [index, hierarchy] : order) {
      WriteNode(&out, scene.nodes[static_cast<size_t>(index)], hierarchy);
    }
    out.End();
  }
  out.End();
  return true;
}
