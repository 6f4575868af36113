// The keyframer section of a 3D Studio file: the header with the animation
// length, and one node per animated object, light, light target, spotlight,
// camera and camera target, attached to the hierarchy by its depth value.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "scene/tds_internal.h"
#include "scene/tds_tracks.h"

namespace {

void* AllocZeroed(size_t count, size_t size) {
  return count == 0 ? nullptr : std::calloc(count, size);
}

bool AllocateWorkBuffers(SceneNode* node, const Mesh* mesh, int light_count) {
  const auto vertices = static_cast<size_t>(mesh->vertex_count);
  const auto faces = static_cast<size_t>(mesh->face_count);
  node->vertex_work = static_cast<Vec3*>(AllocZeroed(vertices, sizeof(Vec3)));
  node->light_work =
      static_cast<Vec3*>(AllocZeroed(static_cast<size_t>(light_count), sizeof(Vec3)));
  node->face_visibility = static_cast<uint32_t*>(AllocZeroed(faces, sizeof(uint32_t)));
  node->vertex_use = static_cast<uint32_t*>(AllocZeroed(vertices, sizeof(uint32_t)));
  node->vertex_light = static_cast<VertexLight*>(AllocZeroed(vertices, sizeof(VertexLight)));
  return (vertices == 0 || (node->vertex_work != nullptr && node->vertex_use != nullptr &&
                            node->vertex_light != nullptr)) &&
         (light_count == 0 || node->light_work != nullptr) &&
         (faces == 0 || node->face_visibility != nullptr);
}

// Links the node to the editor record of its name, by type.
bool LinkNode(TdsContext* context, SceneNode* node) {
  Scene* scene = context->scene;
  switch (node->type) {
    case kNodeObject: {
      Mesh* mesh = FindMesh(scene, node->name);
      node->object = mesh;
      if (mesh != nullptr && !AllocateWorkBuffers(node, mesh, scene->light_count)) {
        return Fail(context, "out of memory");
      }
      break;
    }
    case kNodeLight:
    case kNodeSpotlight: {
      Light* light = FindLight(scene, node->name);
      node->object = light;
      if (light != nullptr) light->node = node;
      break;
    }
    case kNodeLightTarget:
      // The light keeps the node that describes the light itself.
      node->target = 1;
      node->object = FindLight(scene, node->name);
      break;
    case kNodeCamera: {
      Camera* camera = FindCamera(scene, node->name);
      node->object = camera;
      if (camera != nullptr) camera->node = node;
      break;
    }
    case kNodeCameraTarget: {
      node->target = 1;
      Camera* camera = FindCamera(scene, node->name);
      node->object = camera;
      if (camera != nullptr) camera->target_node = node;
      break;
    }
    default:
      break;
  }
  if (node->object == nullptr) {
    return Fail(context, "keyframer node \"%s\" (type %i) has no such record in the editor section",
                node->name, node->type);
  }
  return true;
}

// Attaches the node along the chain of most recent nodes: its hierarchy
// value is its depth (-1 root, 1 child of a root, 2 grandchild...; values
// below 1 other than -1 count as 1).
bool AttachNode(TdsContext* context, SceneNode* node, int hierarchy) {
  Scene* scene = context->scene;
  std::vector<SceneNode*>& chain = context->recent_chain;
  if (hierarchy == -1) {
    if (scene->root_count >= kMaxRootNodes) {
      return Fail(context, "more than %i root nodes", kMaxRootNodes);
    }
    scene->roots[scene->root_count++] = node;
    chain.assign(1, node);
    return true;
  }
  if (scene->root_count == 0) {
    return Fail(context, "keyframer node \"%s\" is a child before any root", node->name);
  }
  // The parent is the last node at depth (hierarchy - 1) of the chain, or
  // the chain's deepest node when the chain is shorter.
  const size_t depth = static_cast<size_t>(hierarchy < 1 ? 1 : hierarchy);
  const size_t parent_depth = std::min(depth, chain.size()) - 1;
  SceneNode* parent = chain[parent_depth];
  node->parent = parent;
  if (parent->first_child == nullptr) {
    parent->first_child = node;
  } else {
    chain[parent_depth + 1]->next = node;  // the parent's last child
  }
  chain.resize(parent_depth + 1);
  chain.push_back(node);
  return true;
}

struct NodeReading {
  SceneNode* node;
  bool attached;  // from then on the scene owns the node
  bool root;
};

bool ReadNodeHeader(TdsContext* context, Chunk* chunk, NodeReading* reading, int type) {
  SceneNode* node = reading->node;
  Trace("    Node Header\n");
  if (reading->attached) return Fail(context, "keyframer node \"%s\": second header", node->name);
  int16_t hierarchy = 0;
  if (!ReadName(chunk, node->name, sizeof(node->name)) || !SkipBytes(chunk, 4) ||
      !ReadI16(chunk, &hierarchy)) {
    return Fail(context, "keyframer node header cut short");
  }
  Trace("      Name: \"%s\"\n", node->name);
  node->type = type;
  if (!LinkNode(context, node)) return false;
  Trace("      Hirachy: %i\n", hierarchy);
  if (!AttachNode(context, node, hierarchy)) return false;
  reading->attached = true;
  reading->root = hierarchy == -1;
  return true;
}

bool ReadPivot(TdsContext* context, Chunk* chunk, NodeReading* reading) {
  SceneNode* node = reading->node;
  if (!ReadVec3(chunk, &node->pivot)) {
    return Fail(context, "keyframer node \"%s\": pivot cut short", node->name);
  }
  if (node->type == kNodeObject) {
    node->pivot = Vec3Add(node->pivot, static_cast<const Mesh*>(node->object)->origin);
  }
  Trace("    Pivot: x=%f y=%f z=%f\n", node->pivot.x, node->pivot.y, node->pivot.z);
  return true;
}

// Tracks, the pivot and the morph track depend on the node header.
bool ReadTrack(TdsContext* context, Chunk* chunk, NodeReading* reading) {
  SceneNode* node = reading->node;
  const char* name = node->name;
  static const char* const kTitles[10] = {"    Position Track Tag\n", "    Rotation Track Tag\n",
                                          "    Scale Track Tag\n",    "    FOV Track Tag\n",
                                          "    Roll Track Tag\n",     "    Color Track Tag\n",
                                          "    Morph Track Tag\n",    "    Hotspot Track Tag\n",
                                          "    Fall Track Tag\n",     "    Hide Track Tag\n"};
  Trace("%s", kTitles[chunk->id - 0xB020]);
  if (!reading->attached) {
    return Fail(context, "keyframer track chunk 0x%X before its node header", chunk->id);
  }
  switch (chunk->id) {
    case 0xB020:
      return ReadVectorTrack(context, chunk, name, &node->position, VectorTrackKind::kPosition,
                             !reading->root);
    case 0xB021:
      return ReadRotationTrack(context, chunk, name, &node->rotation);
    case 0xB022:
      return ReadVectorTrack(context, chunk, name, &node->scale, VectorTrackKind::kScale, false);
    case 0xB023:
      return ReadScalarTrack(context, chunk, name, &node->fov, ScalarTrackKind::kFieldOfView);
    case 0xB024:
      return ReadScalarTrack(context, chunk, name, &node->roll, ScalarTrackKind::kRoll);
    case 0xB025:
      return ReadVectorTrack(context, chunk, name, &node->colour, VectorTrackKind::kColour, false);
    case 0xB026:
      return ReadMorphTrack(context, chunk, name, &node->morph);
    case 0xB027:
      return ReadScalarTrack(context, chunk, name, &node->hotspot, ScalarTrackKind::kHotspot);
    case 0xB028:
      return ReadScalarTrack(context, chunk, name, &node->falloff, ScalarTrackKind::kFalloff);
    default:
      return ReadHideTrack(context, chunk, name, &node->hide);
  }
}

bool ReadNodeChunk(TdsContext* context, Chunk* sub, NodeReading* reading, int type) {
  switch (sub->id) {
    case 0xB010:
      return ReadNodeHeader(context, sub, reading, type);
    case 0xB011:
      Trace("    Instance Name: \"%.*s\"\n",
            static_cast<int>(strnlen(reinterpret_cast<const char*>(sub->data), sub->size)),
            reinterpret_cast<const char*>(sub->data));
      return true;
    case 0xB012:
      Trace("    Prescale\n");
      return true;
    case 0xB013:
      if (!reading->attached) {
        return Fail(context, "keyframer pivot chunk before its node header");
      }
      return ReadPivot(context, sub, reading);
    case 0xB014:
    case 0xB015:
      return true;
    case 0xB030: {
      int16_t id = 0;
      ReadI16(sub, &id);
      Trace("    Node ID: %i\n", id);
      return true;
    }
    default:
      if (sub->id >= 0xB020 && sub->id <= 0xB029) return ReadTrack(context, sub, reading);
      Trace("  Unknown chunk ID 0x%X in Keyframer object information chunk found!\n", sub->id);
      return true;
  }
}

bool ReadNode(TdsContext* context, Chunk* chunk, int type) {
  MemReader list = OpenChunk(*chunk);
  NodeReading reading{static_cast<SceneNode*>(std::calloc(1, sizeof(SceneNode))), false, false};
  if (reading.node == nullptr) return Fail(context, "out of memory");
  Chunk sub;
  bool ok = true;
  while (ok && NextListChunk(context, &list, &sub, ListRule::kLenient, "keyframer node") == 1) {
    ok = ReadNodeChunk(context, &sub, &reading, type);
  }
  // A node never attached (no header, or a failure before it) is the
  // reader's to release.
  if (!reading.attached) FreeSceneNode(reading.node);
  return ok;
}

void PrintNode(const SceneNode* node, int indent, int level) {
  for (; node != nullptr; node = node->next) {
    Trace("%*s%s (%i)\n", indent, "", node->name, level);
    int children = 0;
    for (const SceneNode* child = node->first_child; child != nullptr; child = child->next) {
      ++children;
    }
    if (level < 0) PrintNode(node->first_child, indent + 2, level + 1);
    if (level >= 0 && children == 1) Trace("%*s1 child\n", indent + 2, "");
    if (level >= 0 && children >= 2) Trace("%*s%i children\n", indent + 2, "", children);
  }
}

}  // namespace

void PrintNodeTree(const Scene* scene) {
  Trace("Objects: \n");
  for (int i = 0; i < scene->root_count; ++i) PrintNode(scene->roots[i], 2, -1);
  Trace("%i objects\n", scene->root_count);
}

bool ReadKeyframer(TdsContext* context, Chunk* keyframer) {
  MemReader list = OpenChunk(*keyframer);
  Chunk chunk;
  while (NextListChunk(context, &list, &chunk, ListRule::kLenient, "keyframer") == 1) {
    static const char* const kNodeTitles[6] = {
        "  Object information\n", "  Camera information\n",       "  Camera target information\n",
        "  Light information\n",  "  Light target information\n", "  Spotlight information\n"};
    static const int kNodeTypes[6] = {kNodeObject, kNodeCamera,      kNodeCameraTarget,
                                      kNodeLight,  kNodeLightTarget, kNodeSpotlight};
    if (chunk.id == 0xB00A) {
      int16_t revision = 0;
      char file_name[kSceneNameSize];
      uint32_t length = 0;
      Trace("  Header\n");
      if (!ReadI16(&chunk, &revision)) return Fail(context, "keyframer header cut short");
      Trace("    revision: %i\n", revision);
      if (!ReadName(&chunk, file_name, sizeof(file_name)) || !ReadU32(&chunk, &length)) {
        return Fail(context, "keyframer header cut short");
      }
      Trace("    filename: \"%s\"\n", file_name);
      context->scene->frame_count = static_cast<int16_t>(length & 0xFFFF);
      Trace("    %i frame(s)\n", context->scene->frame_count);
    } else if (chunk.id >= 0xB002 && chunk.id <= 0xB007) {
      Trace("%s", kNodeTitles[chunk.id - 0xB002]);
      if (!ReadNode(context, &chunk, kNodeTypes[chunk.id - 0xB002])) return false;
    } else if (chunk.id != 0x7001 && chunk.id != 0xB001 && chunk.id != 0xB008 &&
               chunk.id != 0xB009) {
      Trace("  Unknown chunk ID 0x%X in Keyframer chunk found!\n", chunk.id);
    }
  }
  PrintNodeTree(context->scene);
  return true;
}
