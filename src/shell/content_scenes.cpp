// Loading the eight scenes, collecting the textures their materials name
// (each loaded once, shared by case-insensitive base name), and sending the
// textures to the board once the screen is open.
#include <cstdio>
#include <cstring>

#include "device/demo_state.h"
#include "device/device.h"
#include "engine/texture_upload.h"
#include "scene/scene.h"
#include "shell/content_loader.h"
#include "storage/picture_decoders.h"

namespace {

struct SceneFile {
  const char* name;     // member "3ds\" + name + ".3DS"
  const char* failure;  // shown when the scene cannot be loaded
};

constexpr int kLoadedSceneCount = 8;
constexpr SceneFile kSceneFiles[kLoadedSceneCount] = {
    {"intro", "Error on loading 3D animation 0"},
    {"mainscene", "Error on loading 3D animation 1"},
    {"mountainworld", "Error on loading 3D animation 1a"},
    {"mountainhut", "Error on loading 3D animation 1b"},
    {"planet_part1", "Error on loading 3D animation 1c I"},
    {"planet_part2", "Error on loading 3D animation 1c II"},
    {"planet_part3", "Error on loading 3D animation 1c III"},
    {"stonehedge_fire", "Error on loading 3D animation 1d"},
};

constexpr float kDemoFrameRate = 25.0f;
constexpr int kScenePathBytes = 128;
// Texture paths are "textures\" + base name + ".PCX": 56 bytes hold base
// names of up to 42 characters.
constexpr int kTexturePathBytes = 56;
constexpr size_t kExtensionLength = 4;  // ".PCX", ".BMP"
constexpr const char* kTextureLoadError = "Texture load error!\n";
constexpr const char* kFallbackTexture = "textures\\plasm.pcx";

char FoldCase(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Equal when the names differ at most in the case of A-Z.
bool SameTextureName(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    if (FoldCase(*a) != FoldCase(*b)) return false;
  }
  return *a == *b;
}

// The texture file name without its extension (the last four characters; a
// shorter name is used whole). 0 when the result cannot form a texture path.
int TextureBaseName(const char* file_name, char* base) {
  const size_t length = strnlen(file_name, kTextureFileNameSize);
  const size_t kept = length >= kExtensionLength ? length - kExtensionLength : length;
  const size_t longest = kTexturePathBytes - std::strlen("textures\\") - kExtensionLength - 1;
  if (kept > longest) return 0;
  std::memcpy(base, file_name, kept);
  base[kept] = '\0';
  return 1;
}

// The index of the texture with this base name, added when new; -1 when the
// table is full.
int32_t FindOrAddTexture(const char* base) {
  for (int32_t k = 0; k < TextureCount; ++k) {
    if (SameTextureName(TextureNames[k], base)) return k;
  }
  if (TextureCount >= kTextureSlotCount) return -1;
  std::snprintf(TextureNames[TextureCount], kTextureNameBytes, "%s", base);
  return TextureCount++;
}

// PCX first, then BMP, then the fallback picture.
int LoadTextureSlot(int32_t k) {
  char path[kTexturePathBytes];
  Texture* texture = &TextureSlots[k];
  std::snprintf(path, sizeof path, "textures\\%s.PCX", TextureNames[k]);
  if (LoadPcxTexture(path, texture, 0)) return 1;
  std::snprintf(path, sizeof path, "textures\\%s.BMP", TextureNames[k]);
  if (LoadBmpTexture(path, texture, 0)) return 1;
  return LoadPcxTexture(kFallbackTexture, texture, 0) ? 1 : 0;
}

}  // namespace

int OpenSceneFile(int slot, const char* name) {
  if (slot < 0 || slot >= kSceneSlotCount || name == nullptr) return 1;
  char path[kScenePathBytes];
  const int length = std::snprintf(path, sizeof path, "3ds\\%s.3DS", name);
  SceneSlots[slot] = nullptr;
  if (length < 0 || length >= kScenePathBytes) return 1;
  SceneSlots[slot] = LoadScene(path);
  return SceneSlots[slot] != nullptr ? 0 : 1;
}

int LoadSceneSlots() {
  for (int slot = 0; slot < kLoadedSceneCount; ++slot) {
    if (OpenSceneFile(slot, kSceneFiles[slot].name) != 0) {
      return FailLoading(kSceneFiles[slot].failure);
    }
    SceneSlots[slot]->frame_rate = kDemoFrameRate;
  }
  return 1;
}

int CollectAndLoadTextures() {
  TextureCount = 0;
  for (int slot = 0; slot < kLoadedSceneCount; ++slot) {
    Scene* scene = SceneSlots[slot];
    if (scene == nullptr) continue;
    for (int32_t m = 0; m < scene->material_count; ++m) {
      Material* material = scene->materials[m];
      if (material == nullptr || (material->flags & kMaterialTextured) == 0) continue;
      char base[kTextureNameBytes];
      if (!TextureBaseName(material->texture_file, base)) return FailLoading(kTextureLoadError);
      const int32_t index = FindOrAddTexture(base);
      if (index < 0) return FailLoading(kTextureLoadError);
      material->texture_index = index;
    }
  }
  for (int32_t k = 0; k < TextureCount; ++k) {
    if (!LoadTextureSlot(k)) return FailLoading(kTextureLoadError);
  }
  return 1;
}

int UploadAllTextures() {
  for (int32_t k = 0; k < TextureCount; ++k) {
    if (!UploadTexture(&TextureSlots[k])) {
      DeviceClose();
      return FailLoading("Error on uploading textures!\n");
    }
  }
  return 1;
}
