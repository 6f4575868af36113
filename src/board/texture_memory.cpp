// Texture memory: placement checks, downloads and the binding of a texture
// for drawing (grTexSource).
#include "board/texture_memory.h"

#include <vector>

#include "board/call_record.h"
#include "board/render_state.h"

namespace {

constexpr uint32_t kTexelCount = kTextureMemoryBytes / 2;

struct TextureMemory {
  std::vector<uint16_t> texels = std::vector<uint16_t>(kTexelCount, 0);
  std::vector<uint64_t> expanded = std::vector<uint64_t>(kTexelCount, 0);
};

TextureMemory& Memory() {
  static TextureMemory memory;
  return memory;
}

uint32_t LevelTexels(const TextureLevelShape& shape) {
  return 1u << (shape.width_log2 + shape.height_log2);
}

void RecordTextureCall(const char* name, GrChipID_t tmu, FxU32 address, FxU32 even_odd,
                       const GrTexInfo* info) {
  if (!info) {
    BoardRecord(name, tmu, address,
                       even_odd);
    return;
  }
  BoardRecord(name, tmu, address, even_odd, info->smallLod, info->largeLod, info->aspectRatio,
              info->format);
}

// Whether the texture of this description fits in memory at address.
bool Fits(FxU32 address, const GrTexInfo& info) {
  const uint32_t bytes = TextureBytesRequired(info);
  if (bytes == 0 || (address & 1u) != 0) return false;
  return address <= kTextureMemoryBytes && bytes <= kTextureMemoryBytes - address;
}

}  // namespace

bool TextureLevelShapeOf(GrLOD_t lod, GrAspectRatio_t aspect, TextureLevelShape* shape) {
  if (lod < GR_LOD_256 || lod > GR_LOD_1 || aspect < GR_ASPECT_8x1 || aspect > GR_ASPECT_1x8) {
    return false;
  }
  const int32_t larger_log2 = 8 - lod;
  const int32_t wider_by_log2 = GR_ASPECT_1x1 - aspect;  // 3 for 8x1, -3 for 1x8
  if (wider_by_log2 >= 0) {
    shape->width_log2 = larger_log2;
    shape->height_log2 = larger_log2 > wider_by_log2 ? larger_log2 - wider_by_log2 : 0;
  } else {
    shape->height_log2 = larger_log2;
    shape->width_log2 = larger_log2 > -wider_by_log2 ? larger_log2 + wider_by_log2 : 0;
  }
  return true;
}

uint32_t TextureBytesRequired(const GrTexInfo& info) {
  if (info.format != GR_TEXFMT_RGB_565 || info.largeLod > info.smallLod) return 0;
  uint32_t bytes = 0;
  for (GrLOD_t lod = info.largeLod; lod <= info.smallLod; ++lod) {
    TextureLevelShape shape;
    if (!TextureLevelShapeOf(lod, info.aspectRatio, &shape)) return 0;
    bytes += 2 * LevelTexels(shape);
  }
  return (bytes + kTextureAlignmentBytes - 1) / kTextureAlignmentBytes * kTextureAlignmentBytes;
}

const uint64_t* ExpandedTexelsAt(uint32_t address) {
  return Memory().expanded.data() + address / 2;
}

uint16_t TextureMemoryTexelAt(uint32_t address) {
  if (address / 2 >= kTexelCount) return 0;
  return Memory().texels[address / 2];
}

FxU32 grTexMinAddress(GrChipID_t tmu) {
  BoardRecord("grTexMinAddress", tmu);
  return 0;
}

FxU32 grTexMaxAddress(GrChipID_t tmu) {
  BoardRecord("grTexMaxAddress", tmu);
  return kTextureMemoryBytes;
}

// Every level mask is counted as all levels: the board has one texture unit,
// so nothing is split between even and odd levels.
FxU32 grTexTextureMemRequired(FxU32 even_odd, GrTexInfo* info) {
  if (!info) {
    BoardRecord("grTexTextureMemRequired", even_odd);
    return 0;
  }
  BoardRecord("grTexTextureMemRequired",
              even_odd, info->smallLod,
               info->largeLod, info->aspectRatio,
               info->format);
  return TextureBytesRequired(*info);
}

void grTexDownloadMipMap(GrChipID_t tmu, FxU32 start_address, FxU32 even_odd, GrTexInfo* info) {
  RecordTextureCall("grTexDownloadMipMap", tmu, start_address, even_odd, info);
  if (tmu != GR_TMU0 || !info || !info->data || !Fits(start_address, *info)) return;
  TextureMemory& memory = Memory();
  const auto* source = static_cast<const uint16_t*>(info->data);
  uint32_t texel = start_address / 2;
  for (GrLOD_t lod = info->largeLod; lod <= info->smallLod; ++lod) {
    TextureLevelShape shape;
    TextureLevelShapeOf(lod, info->aspectRatio, &shape);
    const uint32_t count = LevelTexels(shape);
    for (uint32_t i = 0; i < count; ++i, ++texel, ++source) {
      memory.texels[texel] = *source;
      memory.expanded[texel] = ExpandTexel565(*source);
    }
  }
}

void grTexSource(GrChipID_t tmu, FxU32 start_address, FxU32 even_odd, GrTexInfo* info) {
  RecordTextureCall("grTexSource", tmu, start_address, even_odd, info);
  if (tmu != GR_TMU0) return;
  BoundTexture& bound = RenderState().texture;
  if (!info) {
    bound.level_count = 0;
    return;
  }
  const TextureSource source{start_address, info->smallLod, info->largeLod, info->aspectRatio,
                             info->format};
  if (bound.level_count > 0 && bound.source == source) return;
  bound.level_count = 0;
  if (!Fits(start_address, *info)) return;
  bound.source = source;
  uint32_t address = start_address;
  for (GrLOD_t lod = info->largeLod; lod <= info->smallLod; ++lod) {
    TextureLevelShape shape;
    TextureLevelShapeOf(lod, info->aspectRatio, &shape);
    TextureLevel& level = bound.levels[bound.level_count++];
    level.texels = ExpandedTexelsAt(address);
    level.width_log2 = shape.width_log2;
    level.height_log2 = shape.height_log2;
    level.width_mask = (1 << shape.width_log2) - 1;
    level.height_mask = (1 << shape.height_log2) - 1;
    // s runs 0..256 across the larger side of the largest level of the
    // whole 256-texel scale; a level with larger side 2^n has 2^n texels there.
    const int32_t larger_log2 = 8 - lod;
    level.texels_per_s_unit = static_cast<float>(1 << larger_log2) / 256.0f;
    address += 2 * LevelTexels(shape);
  }
}
