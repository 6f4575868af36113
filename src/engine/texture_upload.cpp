// Texture upload: levels of detail from the larger side, the aspect ratio by
// table, then memory required and the download at the memory cursor.
#include "engine/texture_upload.h"

#include <algorithm>
#include <cstdio>

#include "board/glide.h"
#include "device/demo_state.h"
#include "storage/texture.h"

namespace {

struct AspectEntry {
  int32_t ratio_per_mille;  // trunc(width / height x 1000)
  GrAspectRatio_t aspect;
};

constexpr AspectEntry kAspects[] = {
    {8000, GR_ASPECT_8x1}, {4000, GR_ASPECT_4x1}, {2000, GR_ASPECT_2x1}, {1000, GR_ASPECT_1x1},
    {500, GR_ASPECT_1x2},  {250, GR_ASPECT_1x4},  {125, GR_ASPECT_1x8},
};

GrTexInfo TexInfoOf(const Texture& texture) {
  GrTexInfo info;
  info.smallLod = texture.small_lod;
  info.largeLod = texture.large_lod;
  info.aspectRatio = texture.aspect_ratio;
  info.format = texture.format;
  info.data = texture.data;
  return info;
}

}  // namespace

int32_t UploadTexture(Texture* texture) {
  const Image& image = texture->image;
  // An empty side cannot be placed, and the division below needs a height.
  if (image.width <= 0 || image.height <= 0) {
    std::printf("nonsupported aspect ratio (%i x %i)\n", image.width, image.height);
    return 0;
  }
  const int32_t larger_log2 = std::max(FloorLog2(image.width), FloorLog2(image.height));
  if (larger_log2 > 8) {
    std::printf("nonsupported texture size (%i x %i)\n", image.width, image.height);
    return 0;
  }
  const auto ratio = static_cast<int32_t>(static_cast<double>(image.width) / image.height * 1000.0);
  const AspectEntry* entry = nullptr;
  for (const AspectEntry& candidate : kAspects) {
    if (candidate.ratio_per_mille == ratio) entry = &candidate;
  }
  if (!entry) {
    std::printf("nonsupported aspect ratio (%i x %i)\n", image.width, image.height);
    return 0;
  }

  Texture placed = *texture;
  placed.large_lod = GR_LOD_256 + (8 - larger_log2);
  placed.small_lod = image.mipmapped ? GR_LOD_1 : placed.large_lod;
  placed.format = GR_TEXFMT_RGB_565;
  placed.data = image.pixels;
  placed.aspect_ratio = entry->aspect;

  if (TextureMemoryCursor == static_cast<uint32_t>(-1)) {
    TextureMemoryCursor = grTexMinAddress(GR_TMU0);
  }
  GrTexInfo info = TexInfoOf(placed);
  const uint32_t required = grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &info);
  const uint32_t end = grTexMaxAddress(GR_TMU0);
  if (required == 0 || TextureMemoryCursor > end || required > end - TextureMemoryCursor) {
    std::printf("texture memory full (%u bytes needed, %u left)\n", required,
                TextureMemoryCursor > end ? 0u : end - TextureMemoryCursor);
    return 0;
  }
  placed.start_address = TextureMemoryCursor;
  placed.memory_required = required;
  TextureMemoryCursor += required;
  *texture = placed;
  grTexDownloadMipMap(GR_TMU0, placed.start_address, GR_MIPMAPLEVELMASK_BOTH, &info);
  return 1;
}
