// Box-filtered reduced levels in RGB 565.
#include "storage/mip_levels.h"

#include <algorithm>

size_t TexelsWithLevels(int32_t width, int32_t height) {
  size_t total = 0;
  for (;;) {
    total += static_cast<size_t>(width) * static_cast<size_t>(height);
    if (width == 1 && height == 1) return total;
    width = std::max(1, width / 2);
    height = std::max(1, height / 2);
  }
}

void BuildReducedLevels(uint16_t* texels, int32_t width, int32_t height) {
  const uint16_t* source = texels;
  uint16_t* target = texels + static_cast<size_t>(width) * height;
  while (width > 1 || height > 1) {
    const int32_t target_width = std::max(1, width / 2);
    const int32_t target_height = std::max(1, height / 2);
    const int32_t block_width = width / target_width;
    const int32_t block_height = height / target_height;
    const uint32_t block_texels = static_cast<uint32_t>(block_width * block_height);
    for (int32_t ty = 0; ty < target_height; ++ty) {
      for (int32_t tx = 0; tx < target_width; ++tx) {
        uint32_t red = 0, green = 0, blue = 0;
        for (int32_t by = 0; by < block_height; ++by) {
          const uint16_t* row = source + static_cast<size_t>(ty * block_height + by) * width;
          for (int32_t bx = 0; bx < block_width; ++bx) {
            const uint32_t t = row[tx * block_width + bx];
            red += t >> 11;
            green += (t >> 5) & 63;
            blue += t & 31;
          }
        }
        target[static_cast<size_t>(ty) * target_width + tx] = static_cast<uint16_t>(
            (red / block_texels) << 11 | (green / block_texels) << 5 | (blue / block_texels));
      }
    }
    source = target;
    target += static_cast<size_t>(target_width) * target_height;
    width = target_width;
    height = target_height;
  }
}
