// Converts a SceneSpec into a TdsScene; see scene_to_tds.h.
#include "content/scene_to_tds.h"

namespace {

Vec3 ToVec3(Vec3f v) {
  return {v.x, v.y, v.z};
}

Vec3 ToVec3(Rgb8 colour) {
  return {static_cast<float>(colour.r), static_cast<float>(colour.g), static_cast<float>(colour.b)};
}

TdsSpline ToSpline(const KeyShape& shape) {
  TdsSpline spline;
  spline.tension = shape.tension;
  spline.continuity = shape.continuity;
  spline.bias = shape.bias;
  spline.ease_to = shape.ease_to;
  spline.ease_from = shape.ease_from;
  return spline;
}

TdsMaterial ToMaterial(const MaterialSpec& spec) {
  TdsMaterial material;
  material.name = spec.name;
  material.ambient = ToVec3(spec.ambient);
  material.diffuse = ToVec3(spec.diffuse);
  material.specular = ToVec3(spec.specular);
  material.colour_form = TdsColourForm::kBytes;
  material.shading = static_cast<int>(spec.shading);
  material.two_sided = spec.two_sided;
  material.texture = spec.texture;
  if (spec.self_illumination_percent != 0) {
    material.self_illumination_percent = static_cast<int16_t>(spec.self_illumination_percent);
  }
  return material;
}

// One face group per material the mesh uses, in the scene's material order.
bool ToMesh(const SceneSpec& scene, const MeshSpec& spec, TdsMesh* mesh, std::string* error) {
  const std::string where = "mesh \"" + spec.name + "\": ";
  if (spec.face_materials.size() != spec.faces.size()) {
    *error = where + "needs one material per face";
    return false;
  }
  std::vector<std::vector<uint16_t>> groups(scene.materials.size());
  for (size_t f = 0; f < spec.face_materials.size(); ++f) {
    const int material = spec.face_materials[f];
    if (material < 0 || static_cast<size_t>(material) >= scene.materials.size()) {
      *error = where + "face " + std::to_string(f) + " names a material that does not exist";
      return false;
    }
    groups[static_cast<size_t>(material)].push_back(static_cast<uint16_t>(f));
  }
  mesh->name = spec.name;
  mesh->vertices.reserve(spec.vertices.size());
  for (Vec3f vertex : spec.vertices) mesh->vertices.push_back(ToVec3(vertex));
  mesh->mapping.reserve(spec.mapping.size());
  for (const auto& uv : spec.mapping) mesh->mapping.push_back({uv[0], uv[1]});
  mesh->faces.reserve(spec.faces.size());
  for (const FaceSpec& face : spec.faces) mesh->faces.push_back({face.a, face.b, face.c, 7});
  for (size_t m = 0; m < groups.size(); ++m) {
    if (!groups[m].empty()) mesh->material_groups.push_back({scene.materials[m].name, groups[m]});
  }
  mesh->has_local_axis = true;  // identity axes, origin at the object's zero
  return true;
}

TdsLight ToLight(const LightSpec& spec) {
  TdsLight light;
  light.name = spec.name;
  light.position = ToVec3(spec.position);
  light.colour = Vec3Scale(ToVec3(spec.colour), 1.0f / 255.0f);
  light.colour_as_bytes = true;
  light.spot = spec.spot;
  light.spot_target = ToVec3(spec.spot_target);
  return light;
}

TdsCamera ToCamera(const CameraSpec& spec) {
  TdsCamera camera;
  camera.name = spec.name;
  camera.position = ToVec3(spec.position);
  camera.target = ToVec3(spec.target);
  camera.roll_degrees = spec.roll_degrees;
  camera.lens = spec.lens_mm;
  camera.has_ranges = true;
  camera.near_range = 1.0f;
  camera.far_range = 100000.0f;
  return camera;
}

template <typename In, typename Out, typename Convert>
bool ToTrack(const TrackSpec<In>& spec, TdsTrack<Out>* track, Convert convert, std::string* error) {
  for (size_t k = 1; k < spec.keys.size(); ++k) {
    if (spec.keys[k].frame <= spec.keys[k - 1].frame) {
      *error = "track keys out of frame order at frame " + std::to_string(spec.keys[k].frame);
      return false;
    }
  }
  track->flags = static_cast<int16_t>(spec.mode);
  for (const Key<In>& key : spec.keys)
    track->Add(key.frame, convert(key.value), ToSpline(key.shape));
  return true;
}

SceneNodeType ToNodeType(NodeKind kind) {
  switch (kind) {
    case NodeKind::kObject:
      return kNodeObject;
    case NodeKind::kCamera:
      return kNodeCamera;
    case NodeKind::kCameraTarget:
      return kNodeCameraTarget;
    case NodeKind::kLight:
      return kNodeLight;
    case NodeKind::kLightTarget:
      return kNodeLightTarget;
    case NodeKind::kSpotlight:
      return kNodeSpotlight;
  }
  return kNodeObject;
}

bool HasRecord(const SceneSpec& scene, const NodeSpec& node) {
  auto named = [&](const auto& records) {
    for (const auto& record : records) {
      if (record.name == node.name) return true;
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

bool ToNodeTracks(const NodeSpec& spec, TdsNode* node, std::string* error) {
  // The reader turns a child's file position (x, y, z) into (x, z, -y).
  const bool child = spec.depth != -1;
  auto position = [child](Vec3f v) { return child ? Vec3{v.x, -v.z, v.y} : ToVec3(v); };
  auto vector = [](Vec3f v) { return ToVec3(v); };
  auto number = [](float v) { return v; };
  auto rotation = [](const AxisAngle& v) { return AngleAxis{v.angle_radians, ToVec3(v.axis)}; };
  auto nothing = [](int) { return TdsNoValue{}; };
  return ToTrack(spec.position, &node->position, position, error) &&
         ToTrack(spec.rotation, &node->rotation, rotation, error) &&
         ToTrack(spec.scale, &node->scale, vector, error) &&
         ToTrack(spec.fov, &node->fov, number, error) &&
         ToTrack(spec.roll, &node->roll, number, error) &&
         ToTrack(spec.colour, &node->colour, vector, error) &&
         ToTrack(spec.hide, &node->hide, nothing, error);
}

// Depth d names as parent the latest node of depth d - 1 (roots count as
// depth 0), which is how the list's depth-first order reads.
bool ToNodes(const SceneSpec& spec, TdsScene* scene, std::string* error) {
  std::vector<int> latest_at_depth;
  for (size_t n = 0; n < spec.nodes.size(); ++n) {
    const NodeSpec& node = spec.nodes[n];
    const std::string where = "node \"" + node.name + "\": ";
    if (!HasRecord(spec, node)) {
      *error = where + "animates nothing of that name";
      return false;
    }
    const int depth = node.depth == -1 ? 0 : node.depth;
    if (node.depth != -1 && (depth < 1 || static_cast<size_t>(depth) > latest_at_depth.size())) {
      *error = where + "is deeper than its place in the list allows";
      return false;
    }
    const int parent = depth == 0 ? -1 : latest_at_depth[static_cast<size_t>(depth - 1)];
    const int index = scene->AddNode(ToNodeType(node.kind), node.name, parent);
    latest_at_depth.resize(static_cast<size_t>(depth));
    latest_at_depth.push_back(index);
    TdsNode& written = scene->nodes.back();
    written.node_id = static_cast<int16_t>(n);
    if (node.kind == NodeKind::kObject) written.pivot = ToVec3(node.pivot);
    if (!ToNodeTracks(node, &written, error)) {
      *error = where + *error;
      return false;
    }
  }
  return true;
}

}  // namespace

bool ConvertToTdsScene(const SceneSpec& spec, TdsScene* scene, std::string* error) {
  *scene = TdsScene{};
  scene->frame_count = spec.frame_count;
  for (const MaterialSpec& material : spec.materials)
    scene->materials.push_back(ToMaterial(material));
  for (const MeshSpec& mesh : spec.meshes) {
    if (!ToMesh(spec, mesh, &scene->meshes.emplace_back(), error)) return false;
  }
  for (const LightSpec& light : spec.lights) scene->lights.push_back(ToLight(light));
  for (const CameraSpec& camera : spec.cameras) scene->cameras.push_back(ToCamera(camera));
  return ToNodes(spec, scene, error);
}

std::vector<uint8_t> WriteSceneFile(const SceneSpec& spec, std::string* error) {
  TdsScene scene;
  std::vector<uint8_t> bytes;
  if (!ConvertToTdsScene(spec, &scene, error) || !WriteTdsFile(scene, &bytes, error)) return {};
  return bytes;
}
