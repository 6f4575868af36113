// Texture memory: placement checks, downloads and the binding of a texture
// for drawing (grTexSource).
#include "board/texture_memory.h"

#include <algorithm>
#include <vector>

#include "board/board_threads.h"
#include "board/call_record.h"
#include "board/render_state.h"

namespace {

constexpr uint32_t kTexelCount = kTextureMemoryBytes / 2;

// A texture downloaded whole: its quad texels hold neighbourhoods wrapped
// by its own level shapes, so they serve a binding of the same description.
struct Download {
  uint32_t start_address;
  uint32_t bytes;
  int32_t small_lod, large_lod, aspect;
};

struct TextureMemory {
  std::vector<uint16_t> texels = std::vector<uint16_t>(kTexelCount, 0);
  std::vector<uint64_t> expanded = std::vector<uint64_t>(kTexelCount, 0);
  std::vector<QuadTexel> quads = std::vector<QuadTexel>(kTexelCount);
  std::vector<Download> downloads;  // no two overlap
  uint32_t generation = 0;          // counts downloads, so bindings can tell
};

TextureMemory& Memory() {
  static TextureMemory memory;
  return memory;
}

uint32_t LevelTexels(const TextureLevelShape& shape) {
  return 1u << (shape.width_log2 + shape.height_log2);
}

// Called per polygon: the test for a recorder comes first and inline.
inline void RecordTextureCall(const char* name, GrChipID_t tmu, FxU32 address, FxU32 even_odd,
                              const GrTexInfo* info) {
  if (!BoardCallRecorderInstalled()) return;
  if (!info) {
    BoardRecord(name, tmu, address, even_odd);
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
  BoardRecord("grTexTextureMemRequired", even_odd, info->smallLod, info->largeLod,
              info->aspectRatio, info->format);
  return TextureBytesRequired(*info);
}

void grTexDownloadMipMap(GrChipID_t tmu, FxU32 start_address, FxU32 even_odd, GrTexInfo* info) {
  RecordTextureCall("grTexDownloadMipMap", tmu, start_address, even_odd, info);
  if (tmu != GR_TMU0 || !info || !info->data || !Fits(start_address, *info)) return;
  BoardFinish();  // triangles drawn so far read the texels this replaces
  TextureMemory& memory = Memory();
  const auto* source = static_cast<const uint16_t*>(info->data);
  uint32_t texel = start_address / 2;
  for (GrLOD_t lod = info->largeLod; lod <= info->smallLod; ++lod) {
    TextureLevelShape shape;
    TextureLevelShapeOf(lod, info->aspectRatio, &shape);
    const uint32_t count = LevelTexels(shape);
    for (uint32_t i = 0; i < count; ++i) {
      memory.texels[texel + i] = source[i];
      memory.expanded[texel + i] = ExpandTexel565(source[i]);
    }
    const uint32_t width_mask = (1u << shape.width_log2) - 1;
    const uint32_t height_mask = (1u << shape.height_log2) - 1;
    const auto at = [&](uint32_t x, uint32_t y) {
      return source[((y & height_mask) << shape.width_log2) + (x & width_mask)];
    };
    for (uint32_t y = 0; y <= height_mask; ++y) {
      for (uint32_t x = 0; x <= width_mask; ++x) {
        memory.quads[texel + (y << shape.width_log2) + x] =
            MakeQuadTexel(at(x, y), at(x + 1, y), at(x, y + 1), at(x + 1, y + 1));
      }
    }
    texel += count;
    source += count;
  }
  // Quads of textures this one overlaps no longer hold their neighbourhoods.
  const uint32_t bytes = TextureBytesRequired(*info);
  std::erase_if(memory.downloads, [&](const Download& d) {
    return d.start_address < start_address + bytes && start_address < d.start_address + d.bytes;
  });
  memory.downloads.push_back(
      {start_address, bytes, info->smallLod, info->largeLod, info->aspectRatio});
  ++memory.generation;
}

void grTexSource(GrChipID_t tmu, FxU32 start_address, FxU32 even_odd, GrTexInfo* info) {
  RecordTextureCall("grTexSource", tmu, start_address, even_odd, info);
  if (tmu != GR_TMU0) return;
  BoundTexture& bound = RenderState().texture;
  if (!info) {
    bound.level_count = 0;
    return;
  }
  TextureMemory& memory = Memory();
  const TextureSource source{start_address,     info->smallLod, info->largeLod,
                             info->aspectRatio, info->format,   memory.generation};
  if (bound.level_count > 0 && bound.source == source) return;
  bound.level_count = 0;
  if (!Fits(start_address, *info)) return;
  bound.source = source;
  const bool has_quads =
      std::any_of(memory.downloads.begin(), memory.downloads.end(), [&](const Download& d) {
        return d.start_address == start_address && d.small_lod == info->smallLod &&
               d.large_lod == info->largeLod && d.aspect == info->aspectRatio;
      });
  uint32_t address = start_address;
  for (GrLOD_t lod = info->largeLod; lod <= info->smallLod; ++lod) {
    TextureLevelShape shape;
    TextureLevelShapeOf(lod, info->aspectRatio, &shape);
    TextureLevel& level = bound.levels[bound.level_count++];
    level.texels = ExpandedTexelsAt(address);
    level.quads = has_quads ? memory.quads.data() + address / 2 : nullptr;
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
