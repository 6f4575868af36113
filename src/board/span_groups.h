// The per-group half of the pixel pipeline: for eight neighbouring pixels of
// a span at once, the perspective division, the depth values, the clamped
// iterated colours and the texel addresses and bilinear weights. On x86-64
// these run four pixels per instruction (SSE2); elsewhere the same results
// come from plain loops. The per-pixel half (span_pipeline.cpp) then only
// tests depth, fetches, combines and writes.
#pragma once

#include <algorithm>
#include <cstdint>

#include "board/depth.h"
#include "board/render_state.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

constexpr int kGroupPixels = 8;

// A span's interpolants at its first pixel and their change per pixel.
struct SpanStart {
  float oow = 0, oow_step = 0;
  float sow = 0, sow_step = 0;
  float tow = 0, tow_step = 0;
  float ooz = 0, ooz_step = 0;
  int32_t red = 0, red_step = 0;  // 12.12 fixed point
  int32_t green = 0, green_step = 0;
  int32_t blue = 0, blue_step = 0;
};

struct TextureAddressing {
  const TextureLevel* level = nullptr;
  float scale16 = 0;  // s units to texels x 16
  float bias16 = 0;   // 8 for bilinear: samples are centred between texels
  bool clamp_s = false;
  bool clamp_t = false;
};

struct PixelGroup {
  alignas(16) float w[kGroupPixels];
  alignas(16) int32_t depth[kGroupPixels];
  alignas(16) int32_t texel[4][kGroupPixels];   // lower left, lower right, upper left, upper right
  alignas(16) int32_t weight[4][kGroupPixels];  // bilinear weights, summing to 256
  alignas(16) uint8_t red[16];                  // 0..255, first eight used
  alignas(16) uint8_t green[16];
  alignas(16) uint8_t blue[16];
};

namespace span_groups {

// Texel coordinates x 16, floored; far-off values are clamped first (they
// only ever wrap or clamp afterwards).
inline int32_t FloorToInt(float value) {
  if (value != value) return 0;  // NaN
  const float clamped = std::clamp(value, -1.0e9f, 1.0e9f);
  const auto truncated = static_cast<int32_t>(clamped);
  return truncated - (clamped < static_cast<float>(truncated) ? 1 : 0);
}

inline int32_t WrapOrClampIndex(int32_t index, int32_t mask, bool clamp) {
  if (!clamp) return index & mask;
  return index < 0 ? 0 : (index > mask ? mask : index);
}

inline uint8_t ClampColour(int32_t fixed) {
  const int32_t v = fixed >> 12;
  return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

#if defined(__SSE2__)

inline __m128 Lanes(float first) {
  return _mm_add_ps(_mm_set1_ps(first), _mm_set_ps(3, 2, 1, 0));
}

inline __m128i Floor4(__m128 value) {
  const __m128 clamped = _mm_min_ps(_mm_max_ps(value, _mm_set1_ps(-1.0e9f)), _mm_set1_ps(1.0e9f));
  const __m128i truncated = _mm_cvttps_epi32(clamped);
  // Truncation rounds negative values up; one less where it did.
  const __m128 above = _mm_cmplt_ps(clamped, _mm_cvtepi32_ps(truncated));
  return _mm_add_epi32(truncated, _mm_castps_si128(above));
}

inline __m128i WrapOrClamp4(__m128i index, int32_t mask, bool clamp) {
  const __m128i limit = _mm_set1_epi32(mask);
  if (!clamp) return _mm_and_si128(index, limit);
  index = _mm_andnot_si128(_mm_srai_epi32(index, 31), index);
  const __m128i over = _mm_cmpgt_epi32(index, limit);
  return _mm_or_si128(_mm_and_si128(over, limit), _mm_andnot_si128(over, index));
}

// Products of 32-bit lanes holding 0..16: the low 16-bit halves multiply,
// the high halves are zero.
inline __m128i MultiplySmall(__m128i a, __m128i b) {
  return _mm_mullo_epi16(a, b);
}

#endif

// lanes (4 or 8): how many pixels of the group are wanted; a group that
// ends within its first four pixels skips the second half.
inline void InverseW(const SpanStart& s, float first, int lanes, PixelGroup* g) {
#if defined(__SSE2__)
  for (int half = 0; half < lanes; half += 4) {
    const __m128 k = Lanes(first + static_cast<float>(half));
    const __m128 oow = _mm_add_ps(_mm_set1_ps(s.oow), _mm_mul_ps(k, _mm_set1_ps(s.oow_step)));
    _mm_store_ps(g->w + half, _mm_div_ps(_mm_set1_ps(1.0f), oow));
  }
#else
  (void)lanes;
  for (int i = 0; i < kGroupPixels; ++i) {
    g->w[i] = 1.0f / (s.oow + (first + static_cast<float>(i)) * s.oow_step);
  }
#endif
}

inline void WDepths(int lanes, PixelGroup* g) {
#if defined(__SSE2__)
  for (int half = 0; half < lanes; half += 4) {
    const __m128i bits = _mm_castps_si128(_mm_load_ps(g->w + half));
    const __m128i near = _mm_cmplt_epi32(bits, _mm_set1_epi32(0x3F800000));
    __m128i depth = _mm_sub_epi32(_mm_srli_epi32(bits, 11), _mm_set1_epi32(127 << 12));
    const __m128i far = _mm_cmpgt_epi32(depth, _mm_set1_epi32(0xFFFF));
    depth = _mm_or_si128(_mm_andnot_si128(far, depth), _mm_and_si128(far, _mm_set1_epi32(0xFFFF)));
    _mm_store_si128(reinterpret_cast<__m128i*>(g->depth + half), _mm_andnot_si128(near, depth));
  }
  if (lanes == 4) _mm_store_si128(reinterpret_cast<__m128i*>(g->depth + 4), _mm_setzero_si128());
#else
  (void)lanes;
  for (int i = 0; i < kGroupPixels; ++i) g->depth[i] = WBufferDepth(g->w[i]);
#endif
}

inline void ZDepths(const SpanStart& s, float first, PixelGroup* g) {
  for (int i = 0; i < kGroupPixels; ++i) {
    g->depth[i] = ZBufferDepth(s.ooz + (first + static_cast<float>(i)) * s.ooz_step);
  }
}

#if defined(__SSE2__)
// Colours of the group from 12.12 values of its pixels 0-3 (low) and 4-7
// (high), which then move on by the group's width. Saturating packs clamp
// to 0..255 on the way to bytes.
inline void ColoursFromLanes(__m128i low[3], __m128i high[3], const __m128i step8[3],
                             PixelGroup* g) {
  uint8_t* out[3] = {g->red, g->green, g->blue};
  for (int c = 0; c < 3; ++c) {
    const __m128i words = _mm_packs_epi32(_mm_srai_epi32(low[c], 12), _mm_srai_epi32(high[c], 12));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out[c]), _mm_packus_epi16(words, words));
    low[c] = _mm_add_epi32(low[c], step8[c]);
    high[c] = _mm_add_epi32(high[c], step8[c]);
  }
}
#endif

// Colours of pixels offset .. offset + 7 of the span.
inline void Colours(const SpanStart& s, int32_t offset, PixelGroup* g) {
#if defined(__SSE2__)
  const auto channel = [&](int32_t start, int32_t step, uint8_t* out) {
    const __m128i per_lane = _mm_set_epi32(3 * step, 2 * step, step, 0);
    const __m128i low = _mm_add_epi32(_mm_set1_epi32(start + offset * step), per_lane);
    const __m128i high = _mm_add_epi32(low, _mm_set1_epi32(4 * step));
    // Saturating packs clamp to 0..255 on the way to bytes.
    const __m128i words = _mm_packs_epi32(_mm_srai_epi32(low, 12), _mm_srai_epi32(high, 12));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(words, words));
  };
  channel(s.red, s.red_step, g->red);
  channel(s.green, s.green_step, g->green);
  channel(s.blue, s.blue_step, g->blue);
#else
  for (int i = 0; i < kGroupPixels; ++i) {
    const int32_t step = offset + i;
    g->red[i] = ClampColour(s.red + step * s.red_step);
    g->green[i] = ClampColour(s.green + step * s.green_step);
    g->blue[i] = ClampColour(s.blue + step * s.blue_step);
  }
#endif
}

// Texel indices (and for bilinear, the four neighbours and their weights)
// of the group, after InverseW.
template <bool kBilinear>
inline void TexelAddresses(const SpanStart& s, float first, const TextureAddressing& a, int lanes,
                           PixelGroup* g) {
  const TextureLevel& level = *a.level;
#if defined(__SSE2__)
  for (int half = 0; half < lanes; half += 4) {
    const __m128 k = Lanes(first + static_cast<float>(half));
    const __m128 w = _mm_load_ps(g->w + half);
    const __m128 scale = _mm_set1_ps(a.scale16);
    const __m128 bias = _mm_set1_ps(a.bias16);
    const __m128 sow = _mm_add_ps(_mm_set1_ps(s.sow), _mm_mul_ps(k, _mm_set1_ps(s.sow_step)));
    const __m128 tow = _mm_add_ps(_mm_set1_ps(s.tow), _mm_mul_ps(k, _mm_set1_ps(s.tow_step)));
    const __m128i u16 = Floor4(_mm_sub_ps(_mm_mul_ps(_mm_mul_ps(sow, w), scale), bias));
    const __m128i v16 = Floor4(_mm_sub_ps(_mm_mul_ps(_mm_mul_ps(tow, w), scale), bias));
    const __m128i x = _mm_srai_epi32(u16, 4);
    const __m128i y = _mm_srai_epi32(v16, 4);
    const __m128i row_shift = _mm_cvtsi32_si128(level.width_log2);
    const __m128i x0 = WrapOrClamp4(x, level.width_mask, a.clamp_s);
    const __m128i y0 = _mm_sll_epi32(WrapOrClamp4(y, level.height_mask, a.clamp_t), row_shift);
    _mm_store_si128(reinterpret_cast<__m128i*>(g->texel[0] + half), _mm_add_epi32(y0, x0));
    if constexpr (kBilinear) {
      const __m128i one = _mm_set1_epi32(1);
      const __m128i x1 = WrapOrClamp4(_mm_add_epi32(x, one), level.width_mask, a.clamp_s);
      const __m128i y1 = _mm_sll_epi32(
          WrapOrClamp4(_mm_add_epi32(y, one), level.height_mask, a.clamp_t), row_shift);
      _mm_store_si128(reinterpret_cast<__m128i*>(g->texel[1] + half), _mm_add_epi32(y0, x1));
      _mm_store_si128(reinterpret_cast<__m128i*>(g->texel[2] + half), _mm_add_epi32(y1, x0));
      _mm_store_si128(reinterpret_cast<__m128i*>(g->texel[3] + half), _mm_add_epi32(y1, x1));
      const __m128i fifteen = _mm_set1_epi32(15);
      const __m128i sixteen = _mm_set1_epi32(16);
      const __m128i fx = _mm_and_si128(u16, fifteen);
      const __m128i fy = _mm_and_si128(v16, fifteen);
      const __m128i gx = _mm_sub_epi32(sixteen, fx);
      const __m128i gy = _mm_sub_epi32(sixteen, fy);
      _mm_store_si128(reinterpret_cast<__m128i*>(g->weight[0] + half), MultiplySmall(gx, gy));
      _mm_store_si128(reinterpret_cast<__m128i*>(g->weight[1] + half), MultiplySmall(fx, gy));
      _mm_store_si128(reinterpret_cast<__m128i*>(g->weight[2] + half), MultiplySmall(gx, fy));
      _mm_store_si128(reinterpret_cast<__m128i*>(g->weight[3] + half), MultiplySmall(fx, fy));
    }
  }
#else
  (void)lanes;
  for (int i = 0; i < kGroupPixels; ++i) {
    const float k = first + static_cast<float>(i);
    const int32_t u16 = FloorToInt((s.sow + k * s.sow_step) * g->w[i] * a.scale16 - a.bias16);
    const int32_t v16 = FloorToInt((s.tow + k * s.tow_step) * g->w[i] * a.scale16 - a.bias16);
    const int32_t x = u16 >> 4, y = v16 >> 4;
    const int32_t x0 = WrapOrClampIndex(x, level.width_mask, a.clamp_s);
    const int32_t y0 = WrapOrClampIndex(y, level.height_mask, a.clamp_t) << level.width_log2;
    g->texel[0][i] = y0 + x0;
    if constexpr (kBilinear) {
      const int32_t x1 = WrapOrClampIndex(x + 1, level.width_mask, a.clamp_s);
      const int32_t y1 = WrapOrClampIndex(y + 1, level.height_mask, a.clamp_t) << level.width_log2;
      g->texel[1][i] = y0 + x1;
      g->texel[2][i] = y1 + x0;
      g->texel[3][i] = y1 + x1;
      const int32_t fx = u16 & 15, fy = v16 & 15;
      g->weight[0][i] = (16 - fx) * (16 - fy);
      g->weight[1][i] = fx * (16 - fy);
      g->weight[2][i] = (16 - fx) * fy;
      g->weight[3][i] = fx * fy;
    }
  }
#endif
}

}  // namespace span_groups
