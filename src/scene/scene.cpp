// The scene model's own operations: creating, growing, searching and
// releasing the records.
#include "scene/scene.h"

#include <cstdlib>
#include <cstring>

namespace {

// Grows a contiguous record array by one zero-filled record; the old array
// is released. Returns the new last record, or null (nothing changed).
template <typename Record>
Record* AppendRecord(Record** array, int32_t* count) {
  const size_t old_count = static_cast<size_t>(*count);
  auto* grown = static_cast<Record*>(std::calloc(old_count + 1, sizeof(Record)));
  if (grown == nullptr) return nullptr;
  if (old_count > 0) std::memcpy(grown, *array, old_count * sizeof(Record));
  std::free(*array);
  *array = grown;
  *count += 1;
  return &grown[old_count];
}

template <typename Record>
Record* FindRecord(Record* array, int32_t count, const char* name) {
  if (name == nullptr) return nullptr;
  for (int32_t i = 0; i < count; ++i) {
    if (std::strcmp(array[i].name, name) == 0) return &array[i];
  }
  return nullptr;
}

void FreeNodeOwned(SceneNode* node) {
  std::free(node->position.keys);
  std::free(node->rotation.keys);
  std::free(node->scale.keys);
  std::free(node->fov.keys);
  std::free(node->roll.keys);
  std::free(node->colour.keys);
  std::free(node->morph.keys);
  std::free(node->hotspot.keys);
  std::free(node->falloff.keys);
  std::free(node->hide.keys);
  std::free(node->vertex_work);
  std::free(node->light_work);
  std::free(node->face_visibility);
  std::free(node->vertex_use);
  std::free(node->vertex_light);
  std::free(node);
}

}  // namespace

Scene* CreateScene() {
  auto* scene = static_cast<Scene*>(std::calloc(1, sizeof(Scene)));
  if (scene != nullptr) scene->frame_rate = 30.0f;
  return scene;
}

void SetDefaultMaterial(Scene* scene) {
  Material& material = scene->default_material;
  std::memset(&material, 0, sizeof(material));
  material.flags = kMaterialDrawn | 0x01;
  material.texture_index = -1;
  material.diffuse = {255.0f, 255.0f, 255.0f};
}

// Iterative, so that a deep hierarchy (a file can nest nodes 32767 levels
// deep) costs no stack: a node's children are spliced in front of its next
// sibling before the node itself is released.
void FreeSceneNode(SceneNode* node) {
  while (node != nullptr) {
    if (node->first_child != nullptr) {
      SceneNode* last_child = node->first_child;
      while (last_child->next != nullptr) last_child = last_child->next;
      last_child->next = node->next;
      node->next = node->first_child;
      node->first_child = nullptr;
    }
    SceneNode* next = node->next;
    FreeNodeOwned(node);
    node = next;
  }
}

void FreeScene(Scene* scene) {
  if (scene == nullptr) return;
  for (int32_t i = 0; i < scene->root_count; ++i) FreeSceneNode(scene->roots[i]);
  for (int32_t i = 0; i < scene->material_count; ++i) std::free(scene->materials[i]);
  for (int32_t i = 0; i < scene->mesh_count; ++i) {
    Mesh& mesh = scene->meshes[i];
    std::free(mesh.vertices);
    std::free(mesh.vertex_normals);
    std::free(mesh.mapping);
    std::free(mesh.faces);
  }
  std::free(scene->meshes);
  std::free(scene->lights);
  std::free(scene->cameras);
  std::free(scene);
}

Mesh* AppendMesh(Scene* scene) {
  return AppendRecord(&scene->meshes, &scene->mesh_count);
}
Light* AppendLight(Scene* scene) {
  return AppendRecord(&scene->lights, &scene->light_count);
}
Camera* AppendCamera(Scene* scene) {
  return AppendRecord(&scene->cameras, &scene->camera_count);
}

Mesh* FindMesh(Scene* scene, const char* name) {
  return FindRecord(scene->meshes, scene->mesh_count, name);
}
Light* FindLight(Scene* scene, const char* name) {
  return FindRecord(scene->lights, scene->light_count, name);
}
Camera* FindCamera(Scene* scene, const char* name) {
  return FindRecord(scene->cameras, scene->camera_count, name);
}
