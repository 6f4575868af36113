// Materials of a 3D Studio file's editor section: colours, shading, the
// two-sided flag, self-illumination and the texture map.
#include <cstdlib>
#include <cstring>

#include "scene/tds_internal.h"

namespace {

// A 0xA010/0xA020/0xA030 chunk: a float colour (0x0010) wins over a 24-bit
// colour (0x0011), which is kept unscaled (0..255).
bool ReadColour(TdsContext* context, Chunk* chunk, const char* material, Vec3* colour) {
  MemReader list = OpenChunk(*chunk);
  Chunk sub;
  bool has_float = false;
  bool has_bytes = false;
  Vec3 float_colour{};
  Vec3 byte_colour{};
  while (NextListChunk(context, &list, &sub, ListRule::kLenient, "colour") == 1) {
    if (sub.id == 0x0010) {
      if (sub.size != 12)
        return Fail(context, "material \"%s\": float colour of %u bytes", material, sub.size);
      ReadVec3(&sub, &float_colour);
      has_float = true;
    } else if (sub.id == 0x0011) {
      if (sub.size != 3)
        return Fail(context, "material \"%s\": 24-bit colour of %u bytes", material, sub.size);
      byte_colour = {static_cast<float>(sub.data[0]), static_cast<float>(sub.data[1]),
                     static_cast<float>(sub.data[2])};
      has_bytes = true;
    }
  }
  if (!has_float && !has_bytes)
    return Fail(context, "material \"%s\": colour chunk without a colour", material);
  *colour = has_float ? float_colour : byte_colour;
  return true;
}

void ReadSelfIllumination(TdsContext* context, Chunk* chunk, Material* material) {
  MemReader list = OpenChunk(*chunk);
  Chunk sub;
  while (NextListChunk(context, &list, &sub, ListRule::kLenient, "self illumination") == 1) {
    int16_t percentage = 0;
    if (sub.id != 0x0030) {
      Trace("      Unknown chunk ID 0x%X in self illuminating chunk found!\n", sub.id);
    } else if (ReadI16(&sub, &percentage)) {
      material->self_illumination = percentage * 0.01f;
    }
  }
}

// Reads a map chunk; only the file name is kept (into file_name, 80 bytes,
// when not null). The other values are read as far as the chunk holds them
// and discarded: files often store tints as 3-byte colours.
void ReadMap(TdsContext* context, Chunk* chunk, char* file_name) {
  MemReader list = OpenChunk(*chunk);
  Chunk sub;
  while (NextListChunk(context, &list, &sub, ListRule::kLenient, "map") == 1) {
    if (sub.id == 0xA300 && file_name != nullptr) {
      const uint32_t kept =
          sub.size < kTextureFileNameSize - 1 ? sub.size : kTextureFileNameSize - 1;
      std::memcpy(file_name, sub.data, kept);
      file_name[kept] = '\0';
    }
  }
}

bool IsMapChunk(uint16_t id) {
  static const uint16_t kIds[] = {0xA204, 0xA210, 0xA220, 0xA230, 0xA33A, 0xA33C, 0xA33D, 0xA33E,
                                  0xA340, 0xA342, 0xA344, 0xA346, 0xA348, 0xA34A, 0xA34C};
  for (uint16_t known : kIds) {
    if (known == id) return true;
  }
  return false;
}

bool IsSilentMaterialChunk(uint16_t id) {
  static const uint16_t kIds[] = {0xA040, 0xA041, 0xA050, 0xA052, 0xA053, 0xA083, 0xA085, 0xA087,
                                  0xA088, 0xA08A, 0xA08C, 0xA08E, 0xA240, 0xA250, 0xA310};
  for (uint16_t known : kIds) {
    if (known == id) return true;
  }
  return false;
}

bool ReadMaterialChunk(TdsContext* context, Chunk* sub, Material* material) {
  switch (sub->id) {
    case 0xA000: {
      const uint32_t kept = sub->size < kSceneNameSize - 1 ? sub->size : kSceneNameSize - 1;
      std::memcpy(material->name, sub->data, kept);
      material->name[kept] = '\0';
      Trace("  Material: \"%s\"\n", material->name);
      return true;
    }
    case 0xA010:
      return ReadColour(context, sub, material->name, &material->ambient);
    case 0xA020:
      return ReadColour(context, sub, material->name, &material->diffuse);
    case 0xA030:
      return ReadColour(context, sub, material->name, &material->specular);
    case 0xA081:
      material->flags |= kMaterialTwoSided;
      return true;
    case 0xA084:
      ReadSelfIllumination(context, sub, material);
      return true;
    case 0xA100: {
      uint16_t shading = 0;
      if (sub->size != 2 || !ReadU16(sub, &shading) || shading < 1 || shading > 4) {
        return Fail(context, "material \"%s\": bad shading chunk", material->name);
      }
      material->flags = (material->flags & ~kMaterialShadingMask) | (shading - 1u);
      return true;
    }
    case 0xA200:
      ReadMap(context, sub, material->texture_file);
      Trace("    texture filename: \"%s\"\n", material->texture_file);
      material->flags |= kMaterialTextured;
      return true;
    default:
      if (IsMapChunk(sub->id)) {
        ReadMap(context, sub, nullptr);
      } else if (!IsSilentMaterialChunk(sub->id)) {
        Trace("    Unknown chunk ID 0x%X in Material chunk found!\n", sub->id);
      }
      return true;
  }
}

}  // namespace

bool ReadMaterial(TdsContext* context, Chunk* chunk) {
  Scene* scene = context->scene;
  if (scene->material_count >= kMaxMaterials) {
    return Fail(context, "more than %i materials", kMaxMaterials);
  }
  MemReader list = OpenChunk(*chunk);
  auto* material = static_cast<Material*>(std::calloc(1, sizeof(Material)));
  if (material == nullptr) return Fail(context, "out of memory");
  material->flags = kMaterialDrawn | kMaterialCreated;
  Chunk sub;
  while (NextListChunk(context, &list, &sub, ListRule::kLenient, "material") == 1) {
    if (!ReadMaterialChunk(context, &sub, material)) {
      std::free(material);
      return false;
    }
  }
  scene->materials[scene->material_count++] = material;
  return true;
}
