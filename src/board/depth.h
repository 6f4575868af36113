// The 16-bit depth values the board stores: the W-buffer's pseudo-float of
// w (4-bit exponent, 12-bit mantissa) and the Z-buffer's clamped ooz.
// Smaller is nearer; the buffer clears to 0xFFFF, the farthest.
#pragma once

#include <bit>
#include <cstdint>

// w <= 1 (and anything negative) gives 0; from there each power of two of w
// takes one step of the exponent and 4096 steps of mantissa, so depth grows
// with w everywhere and saturates at w >= 65536 (and for infinities and NaN).
// The float's own exponent and top mantissa bits are exactly these fields.
inline uint16_t WBufferDepth(float w) {
  const uint32_t bits = std::bit_cast<uint32_t>(w);
  if (static_cast<int32_t>(bits) < 0x3F800000) return 0;
  const uint32_t depth = (bits >> 11) - (127u << 12);
  return depth > 0xFFFFu ? 0xFFFFu : static_cast<uint16_t>(depth);
}

inline uint16_t ZBufferDepth(float ooz) {
  if (!(ooz > 0.0f)) return 0;
  if (ooz >= 65535.0f) return 0xFFFF;
  return static_cast<uint16_t>(ooz);
}
