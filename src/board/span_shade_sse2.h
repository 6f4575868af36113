// The per-pixel half of the pixel pipeline, eight pixels per step with SSE2:
// depth test, colour, texture scaling, chroma-key, dither to 565 and the
// masked writes. Only the texel fetch runs pixel by pixel (it is a gather).
// The results equal the portable per-pixel loop of span_pipeline.cpp.
#pragma once

#if defined(__SSE2__)

#include <emmintrin.h>

#include <cstdint>

#include "board/colour_convert.h"
#include "board/span_groups.h"
#include "board/texture_sampler.h"

namespace span_sse2 {

// What stays fixed over one triangle.
struct SpanConstants {
  __m128i red_factor;  // 65536 x levels / 255 (or 8192, 16384 to truncate)
  __m128i green_factor;
  __m128i constant_red;  // the colour when not iterated, 16-bit lanes
  __m128i constant_green;
  __m128i constant_blue;
  __m128i chromakey_red;
  __m128i chromakey_green;
  __m128i chromakey_blue;
  // Iterated colour steps (12.12) of red, green, blue: per lane 0..3, for
  // four pixels and for eight.
  __m128i colour_lanes[3];
  __m128i colour_step4[3];
  __m128i colour_step8[3];
};

// floor((v x factor + threshold) / 65536) in 16-bit lanes: the high half of
// the product plus the carry out of the low half.
inline __m128i DitherLanes(__m128i value, __m128i factor, __m128i threshold) {
  const __m128i low = _mm_mullo_epi16(value, factor);
  const __m128i high = _mm_mulhi_epu16(value, factor);
  const __m128i sum = _mm_add_epi16(low, threshold);
  const __m128i sign = _mm_set1_epi16(static_cast<int16_t>(0x8000));
  const __m128i carry = _mm_cmplt_epi16(_mm_xor_si128(sum, sign), _mm_xor_si128(low, sign));
  return _mm_sub_epi16(high, carry);
}

// Lanes 0 .. count - 1 set.
inline __m128i FirstLanes(int count) {
  const __m128i lane = _mm_set_epi16(7, 6, 5, 4, 3, 2, 1, 0);
  return _mm_cmplt_epi16(lane, _mm_set1_epi16(static_cast<int16_t>(count)));
}

inline __m128i Blend(__m128i mask, __m128i when_set, __m128i otherwise) {
  return _mm_or_si128(_mm_and_si128(mask, when_set), _mm_andnot_si128(mask, otherwise));
}

// The eight filtered texels, one 64-bit multiply per texel. Kept scalar:
// GCC's vector form of 64-bit multiplies is slower than the scalar one.
template <bool kBilinear>
#if defined(__GNUC__) && !defined(__clang__)
__attribute__((optimize("no-tree-vectorize")))
#endif
inline void
FilterTexels(const uint64_t* texels, const PixelGroup& g, int count, uint64_t* filtered) {
  // Only the pixels of the span: the addresses of the others are not set.
  for (int i = 0; i < count; ++i) {
    filtered[i] = kBilinear ? BilinearTexel(texels, g, i) : PointTexel(texels, g, i);
  }
  for (int i = count; i < kGroupPixels; ++i) filtered[i] = 0;
}

// Texels of the eight pixels, filtered, as three vectors of 16-bit lanes.
template <bool kBilinear>
inline void FetchTexels(const uint64_t* texels, const PixelGroup& g, int count, __m128i* red,
                        __m128i* green, __m128i* blue) {
  uint64_t filtered[kGroupPixels];
  FilterTexels<kBilinear>(texels, g, count, filtered);
  // Lanes per pixel: blue, green, red, 0. Transpose to one channel per vector.
  const __m128i pairs[4] = {
      _mm_set_epi64x(static_cast<int64_t>(filtered[1]), static_cast<int64_t>(filtered[0])),
      _mm_set_epi64x(static_cast<int64_t>(filtered[3]), static_cast<int64_t>(filtered[2])),
      _mm_set_epi64x(static_cast<int64_t>(filtered[5]), static_cast<int64_t>(filtered[4])),
      _mm_set_epi64x(static_cast<int64_t>(filtered[7]), static_cast<int64_t>(filtered[6]))};
  const __m128i t0 = _mm_unpacklo_epi16(pairs[0], pairs[1]);
  const __m128i t1 = _mm_unpackhi_epi16(pairs[0], pairs[1]);
  const __m128i t2 = _mm_unpacklo_epi16(pairs[2], pairs[3]);
  const __m128i t3 = _mm_unpackhi_epi16(pairs[2], pairs[3]);
  const __m128i u0 = _mm_unpacklo_epi16(t0, t1);  // blue 0-3, green 0-3
  const __m128i u1 = _mm_unpackhi_epi16(t0, t1);  // red 0-3, zeros
  const __m128i u2 = _mm_unpacklo_epi16(t2, t3);  // blue 4-7, green 4-7
  const __m128i u3 = _mm_unpackhi_epi16(t2, t3);  // red 4-7, zeros
  *blue = _mm_unpacklo_epi64(u0, u2);
  *green = _mm_unpackhi_epi64(u0, u2);
  *red = _mm_unpacklo_epi64(u1, u3);
}

// One group: the pixels group .. group + count - 1 of the rows given.
// pass holds the lanes that passed the depth test (and lie in the span).
template <bool kIterated, bool kTextured, bool kBilinear>
inline void ShadeGroup(const SpanConstants& c, __m128i dither_threshold, const PixelGroup& g,
                       int count, const uint64_t* texels, bool chromakey, __m128i pass,
                       __m128i new_depth, uint16_t* colour, uint16_t* depth) {
  __m128i red, green, blue;
  if constexpr (kIterated) {
    const __m128i zero = _mm_setzero_si128();
    red = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(g.red)), zero);
    green = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(g.green)), zero);
    blue = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(g.blue)), zero);
  } else {
    red = c.constant_red;
    green = c.constant_green;
    blue = c.constant_blue;
  }
  if constexpr (kTextured) {
    __m128i texel_red, texel_green, texel_blue;
    FetchTexels<kBilinear>(texels, g, count, &texel_red, &texel_green, &texel_blue);
    // texel x (colour + 1) / 256: full texel x full colour stays full.
    const __m128i one = _mm_set1_epi16(1);
    red = _mm_srli_epi16(_mm_mullo_epi16(texel_red, _mm_add_epi16(red, one)), 8);
    green = _mm_srli_epi16(_mm_mullo_epi16(texel_green, _mm_add_epi16(green, one)), 8);
    blue = _mm_srli_epi16(_mm_mullo_epi16(texel_blue, _mm_add_epi16(blue, one)), 8);
  }
  if (chromakey) {
    const __m128i keyed = _mm_and_si128(_mm_and_si128(_mm_cmpeq_epi16(red, c.chromakey_red),
                                                      _mm_cmpeq_epi16(green, c.chromakey_green)),
                                        _mm_cmpeq_epi16(blue, c.chromakey_blue));
    pass = _mm_andnot_si128(keyed, pass);
  }
  const __m128i red5 = DitherLanes(red, c.red_factor, dither_threshold);
  const __m128i green6 = DitherLanes(green, c.green_factor, dither_threshold);
  const __m128i blue5 = DitherLanes(blue, c.red_factor, dither_threshold);
  const __m128i packed =
      _mm_or_si128(_mm_or_si128(_mm_slli_epi16(red5, 11), _mm_slli_epi16(green6, 5)), blue5);
  auto* colour_lanes = reinterpret_cast<__m128i*>(colour);
  _mm_storeu_si128(colour_lanes, Blend(pass, packed, _mm_loadu_si128(colour_lanes)));
  if (depth) {
    auto* depth_lanes = reinterpret_cast<__m128i*>(depth);
    _mm_storeu_si128(depth_lanes, Blend(pass, new_depth, _mm_loadu_si128(depth_lanes)));
  }
}

}  // namespace span_sse2

#endif
