// Texel fetch for the pixel pipeline: point sampling and bilinear filtering
// with 4-bit weights, wrapping by masks (every side is a power of two) or
// clamping to the edge texels. Texture coordinates arrive in texels of the
// level with 4 fractional bits; a texel's centre lies at +0.5.
#pragma once

#include <cstdint>

#include "board/render_state.h"

// The three channel lanes of an expanded texel (see texture_memory.h).
constexpr uint64_t kTexelLaneMask = 0x000000FF00FF00FFull;

inline int32_t WrapOrClamp(int32_t index, int32_t mask, bool clamp) {
  if (!clamp) return index & mask;
  return index < 0 ? 0 : (index > mask ? mask : index);
}

// u16, v16: texel coordinates x 16 (floor of u x 16).
inline uint64_t SamplePoint(const TextureLevel& level, int32_t u16, int32_t v16, bool clamp_s,
                            bool clamp_t) {
  const int32_t x = WrapOrClamp(u16 >> 4, level.width_mask, clamp_s);
  const int32_t y = WrapOrClamp(v16 >> 4, level.height_mask, clamp_t);
  return level.texels[(y << level.width_log2) + x];
}

// u16, v16: (texel coordinate - 0.5) x 16, so that the integer part names the
// texel to the lower left of the sample and the low 4 bits are the weights.
// The weights of the four texels sum to 256; each lane's sum stays below
// 65536, and the result is the weighted mean truncated to 8 bits.
inline uint64_t SampleBilinear(const TextureLevel& level, int32_t u16, int32_t v16, bool clamp_s,
                               bool clamp_t) {
  const uint64_t fx = static_cast<uint64_t>(u16 & 15);
  const uint64_t fy = static_cast<uint64_t>(v16 & 15);
  const int32_t x0 = WrapOrClamp(u16 >> 4, level.width_mask, clamp_s);
  const int32_t x1 = WrapOrClamp((u16 >> 4) + 1, level.width_mask, clamp_s);
  const int32_t y0 = WrapOrClamp(v16 >> 4, level.height_mask, clamp_t) << level.width_log2;
  const int32_t y1 = WrapOrClamp((v16 >> 4) + 1, level.height_mask, clamp_t) << level.width_log2;
  const uint64_t* texels = level.texels;
  const uint64_t sum = texels[y0 + x0] * ((16 - fx) * (16 - fy)) +
                       texels[y0 + x1] * (fx * (16 - fy)) + texels[y1 + x0] * ((16 - fx) * fy) +
                       texels[y1 + x1] * (fx * fy);
  return (sum >> 8) & kTexelLaneMask;
}
