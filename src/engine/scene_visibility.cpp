// The per-node passes that follow the matrices: back-face culling in object
// space, transformation of the vertices the visible faces use, lighting with
// the scene's point lights, and the hand-over of each visible face.
#include <cmath>
#include <cstring>

#include "engine/scene_evaluation.h"

namespace {

struct Colour {
  float r;
  float g;
  float b;
};

// Light at the object-space point with the unit normal: self-illumination
// plus the cosine-weighted colour of every light with a node, applied to the
// diffuse colour, never below the ambient colour and never above 255.
Colour LightPoint(const Scene* scene, const SceneNode* node, const Material* material, Vec3 point,
                  Vec3 normal) {
  float amount_r = material->self_illumination;
  float amount_g = amount_r;
  float amount_b = amount_r;
  if (node->light_work != nullptr) {
    for (int32_t k = 0; k < scene->light_count; ++k) {
      const SceneNode* light_node = scene->lights[k].node;
      if (light_node == nullptr) continue;  // no node: no position, no colour
      const Vec3 to_light = Vec3Sub(node->light_work[k], point);
      const float distance = Vec3Length(to_light);
      if (!(distance > 0.0f)) continue;  // a light on the surface has no direction
      float cosine = Vec3Dot(to_light, normal) / distance;
      if (cosine < 0.0f) cosine = 0.0f;
      const Vec3 light_colour = light_node->colour.value;
      amount_r += cosine * light_colour.x;
      amount_g += cosine * light_colour.y;
      amount_b += cosine * light_colour.z;
    }
  }
  auto channel = [](float diffuse, float amount, float ambient) {
    float value = diffuse * amount;
    if (!(value > ambient)) value = ambient;
    if (value > 255.0f) value = 255.0f;
    return value;
  };
  return {channel(material->diffuse.x, amount_r, material->ambient.x),
          channel(material->diffuse.y, amount_g, material->ambient.y),
          channel(material->diffuse.z, amount_b, material->ambient.z)};
}

void StoreColour(RecordVertex* slot, Colour colour) {
  slot->r = colour.r;
  slot->g = colour.g;
  slot->b = colour.b;
}

// The object node's mesh when the node takes part in this frame's picture.
const Mesh* DrawnMesh(const SceneNode* node) {
  if (node->type != kNodeObject || node->hide.hidden) return nullptr;
  const Mesh* mesh = static_cast<const Mesh*>(node->object);
  if (mesh == nullptr) return nullptr;
  if (mesh->face_count > 0 && node->face_visibility == nullptr) return nullptr;
  if (mesh->vertex_count > 0 && (node->vertex_use == nullptr || node->vertex_work == nullptr ||
                                 node->vertex_light == nullptr)) {
    return nullptr;
  }
  return mesh;
}

}  // namespace

namespace {

// A face's material and the key under which its smooth corners are lit: a
// corner's colour depends on its vertex and the material only, so a vertex
// shared by faces of one material is lit once a frame. The key names the
// material (never 0, which marks a vertex not yet lit).
struct FaceLook {
  const Material* material;
  uint32_t lighting_key;
};

FaceLook LookOf(const Scene* scene, const Face& face) {
  const int32_t number = face.material;
  if (number >= 0 && number < scene->material_count && scene->materials[number] != nullptr) {
    return {scene->materials[number], static_cast<uint32_t>(number) + 2u};
  }
  return {&scene->default_material, 1u};  // 1: the default material
}

}  // namespace

const Material* FaceMaterial(const Scene* scene, const Face* face) {
  return LookOf(scene, *face).material;
}

namespace {

// Marks the faces seen from the eye and the vertices they use, and moves
// those vertices into camera space.
void CullAndTransform(const Scene* scene, SceneNode* node, const Mesh* mesh,
                      const ViewSetup* view) {
  if (mesh->vertex_count > 0) {
    const auto count = static_cast<size_t>(mesh->vertex_count);
    std::memset(node->vertex_use, 0, sizeof(uint32_t) * count);
    std::memset(node->vertex_light, 0, sizeof(VertexLight) * count);  // lit anew each frame
  }
  const Vec3 eye = TransformPoint(&node->world_to_object, view->eye);
  uint32_t* const face_visibility = node->face_visibility;
  uint32_t* const vertex_use = node->vertex_use;
  for (int32_t f = 0; f < mesh->face_count; ++f) {
    const Face& face = mesh->faces[f];
    const Material* material = LookOf(scene, face).material;
    // A face is seen from the side its normal points to, and edge-on.
    const bool visible = (material->flags & kMaterialTwoSided) != 0 ||
                         Vec3Dot(Vec3Sub(face.centre, eye), face.normal) <= 0.0f;
    face_visibility[f] = visible ? 1u : 0u;
    if (visible) {
      vertex_use[face.a] = 1;
      vertex_use[face.b] = 1;
      vertex_use[face.c] = 1;
    }
  }
  const Matrix4x4 object_to_camera = node->object_to_camera;
  for (int32_t i = 0; i < mesh->vertex_count; ++i) {
    if (vertex_use[i]) node->vertex_work[i] = TransformPoint(&object_to_camera, mesh->vertices[i]);
  }
}

}  // namespace

void TransformAndCull(Scene* scene, SceneNode* node, const ViewSetup* view) {
  // Nodes are independent here: siblings in a loop, children recursively.
  for (; node != nullptr; node = node->next) {
    MatMultiply(&node->object_to_world, &view->view, &node->object_to_camera);
    TransformAndCull(scene, node->first_child, view);
    if (const Mesh* mesh = DrawnMesh(node)) CullAndTransform(scene, node, mesh, view);
  }
}

namespace {

// The colour of a smooth corner: lit once a frame per vertex and material.
Colour SmoothColour(const Scene* scene, const SceneNode* node, const Mesh* mesh,
                    const FaceLook& look, int32_t vertex) {
  VertexLight& lit = node->vertex_light[vertex];
  if (lit.material_key != look.lighting_key) {
    const Colour colour = LightPoint(scene, node, look.material, mesh->vertices[vertex],
                                     mesh->vertex_normals[vertex]);
    lit.colour = {colour.r, colour.g, colour.b};
    lit.material_key = look.lighting_key;
  }
  return {lit.colour.x, lit.colour.y, lit.colour.z};
}

// Lights the node's visible faces and offers them to the sink in face order.
void EmitNode(Scene* scene, SceneNode* node, const Mesh* mesh, PolygonSink sink,
              PolygonRecord* record) {
  if (node->light_work != nullptr) {
    for (int32_t k = 0; k < scene->light_count; ++k) {
      const SceneNode* light_node = scene->lights[k].node;
      if (light_node == nullptr) continue;
      const Vec3 world = {light_node->object_to_world.m[3][0], light_node->object_to_world.m[3][1],
                          light_node->object_to_world.m[3][2]};
      node->light_work[k] = TransformPoint(&node->world_to_object, world);
    }
  }

  // Read once: the record's stores (its flag byte may alias anything) would
  // otherwise have them loaded again for every corner.
  const uint32_t* const face_visibility = node->face_visibility;
  const Vec3* const vertex_work = node->vertex_work;
  const MapCoord* const mapping = mesh->mapping;
  const Face* const faces = mesh->faces;
  const int32_t face_count = mesh->face_count;
  for (int32_t f = 0; f < face_count; ++f) {
    if (!face_visibility[f]) continue;
    const Face& face = faces[f];
    const FaceLook look = LookOf(scene, face);
    const int32_t flags = look.material->flags;
    const int32_t corners[3] = {face.a, face.b, face.c};
    const bool flat = (flags & kMaterialShadingMask) == 0;
    if (flat) {
      StoreColour(&record->vertices[0],
                  LightPoint(scene, node, look.material, mesh->vertices[face.a], face.normal));
    }
    for (int k = 0; k < 3; ++k) {
      const int32_t i = corners[k];
      RecordVertex& slot = record->vertices[k];
      const Vec3 position = vertex_work[i];
      slot.x = position.x;
      slot.y = position.y;
      slot.z = position.z;
      if (!flat) StoreColour(&slot, SmoothColour(scene, node, mesh, look, i));
      slot.u = mapping != nullptr ? mapping[i].u * 256.0f : 0.0f;
      slot.v = mapping != nullptr ? mapping[i].v * 256.0f : 0.0f;
    }
    record->material_flags = static_cast<uint8_t>(flags & 0xFF);
    record->texture_index = look.material->texture_index;
    record->vertex_count = 3;
    if (!sink(record)) return;
  }
}

// Reverses a chain of siblings in place; returns the new first node.
SceneNode* ReverseSiblings(SceneNode* node) {
  SceneNode* reversed = nullptr;
  while (node != nullptr) {
    SceneNode* following = node->next;
    node->next = reversed;
    reversed = node;
    node = following;
  }
  return reversed;
}

}  // namespace

void LightAndEmit(Scene* scene, SceneNode* node, PolygonSink sink, PolygonRecord* record) {
  // Faces go out last sibling first, each node after its children: the
  // order the collected buffer is drawn in. The chain is walked reversed in
  // place (and restored) so that long sibling chains need no stack; nothing
  // else reads the scene while a frame is evaluated.
  SceneNode* reversed = ReverseSiblings(node);
  for (SceneNode* current = reversed; current != nullptr; current = current->next) {
    LightAndEmit(scene, current->first_child, sink, record);
    if (const Mesh* mesh = DrawnMesh(current)) EmitNode(scene, current, mesh, sink, record);
  }
  ReverseSiblings(reversed);
}
