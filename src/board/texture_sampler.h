// Texel fetch and filtering for the pixel pipeline. The addresses and the
// 4-bit bilinear weights of a pixel come from its group (span_groups.h);
// here the texels are read from the expanded texture memory and weighed,
// all three channels at once in their 16-bit lanes.
#pragma once

#include <cstdint>

#include "board/span_groups.h"

// The three channel lanes of an expanded texel (see texture_memory.h).
constexpr uint64_t kTexelLaneMask = 0x000000FF00FF00FFull;

inline uint64_t PointTexel(const uint64_t* texels, const PixelGroup& g, int i) {
  return texels[g.texel[0][i]];
}

// The four weights sum to 256, so no lane's sum reaches 65536; the result is
// the weighted mean truncated to 8 bits per channel.
inline uint64_t BilinearTexel(const uint64_t* texels, const PixelGroup& g, int i) {
  const uint64_t sum = texels[g.texel[0][i]] * static_cast<uint32_t>(g.weight[0][i]) +
                       texels[g.texel[1][i]] * static_cast<uint32_t>(g.weight[1][i]) +
                       texels[g.texel[2][i]] * static_cast<uint32_t>(g.weight[2][i]) +
                       texels[g.texel[3][i]] * static_cast<uint32_t>(g.weight[3][i]);
  return (sum >> 8) & kTexelLaneMask;
}

inline uint32_t TexelRed(uint64_t texel) {
  return static_cast<uint32_t>(texel >> 32);
}
inline uint32_t TexelGreen(uint64_t texel) {
  return static_cast<uint32_t>(texel >> 16) & 0xFF;
}
inline uint32_t TexelBlue(uint64_t texel) {
  return static_cast<uint32_t>(texel) & 0xFF;
}
