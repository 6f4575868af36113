// The pixel pipeline for processors with AVX2, chosen at run time: a group
// of eight pixels goes from 1/w to the written 565 colour and depth in
// registers, texels arrive by gathers and are filtered in 16-bit lanes. It
// computes the same values with the same float operations in the same order
// as the SSE2 path and the portable loop (span_pipeline.cpp), so all three
// draw identical pixels and depths. No FMA: a fused multiply-add would round
// differently.
#include <cstddef>
#include <cstdint>

#include "board/depth.h"
#include "board/glide.h"
#include "board/render_state.h"
#include "board/span_pipeline.h"

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)

#include <immintrin.h>

#pragma GCC push_options
#pragma GCC target("avx2")

namespace {

enum TexturePath { kNoTexture, kPointTexture, kBilinearTexture };

// floor() of eight values as in span_groups::Floor4: far-off values clamped
// first, then truncation corrected where it rounded up.
inline __m256i Floor8(__m256 value) {
  const __m256 clamped =
      _mm256_min_ps(_mm256_max_ps(value, _mm256_set1_ps(-1.0e9f)), _mm256_set1_ps(1.0e9f));
  const __m256i truncated = _mm256_cvttps_epi32(clamped);
  const __m256 above = _mm256_cmp_ps(clamped, _mm256_cvtepi32_ps(truncated), _CMP_LT_OQ);
  return _mm256_add_epi32(truncated, _mm256_castps_si256(above));
}

inline __m256i WrapOrClamp8(__m256i index, __m256i mask, bool clamp) {
  if (!clamp) return _mm256_and_si256(index, mask);
  return _mm256_min_epi32(_mm256_max_epi32(index, _mm256_setzero_si256()), mask);
}

// 16-bit depths of eight 32-bit lanes, biased by -32768 so that they compare
// as signed lanes (the form the LESS test wants).
inline __m128i BiasedDepth16(__m256i depth) {
  const __m256i biased = _mm256_sub_epi32(depth, _mm256_set1_epi32(32768));
  return _mm_packs_epi32(_mm256_castsi256_si128(biased), _mm256_extracti128_si256(biased, 1));
}

inline __m256i WDepth8(__m256 w) {
  const __m256i bits = _mm256_castps_si256(w);
  const __m256i near = _mm256_cmpgt_epi32(_mm256_set1_epi32(0x3F800000), bits);
  const __m256i depth =
      _mm256_min_epi32(_mm256_sub_epi32(_mm256_srli_epi32(bits, 11), _mm256_set1_epi32(127 << 12)),
                       _mm256_set1_epi32(0xFFFF));
  return _mm256_andnot_si256(near, depth);
}

// ZBufferDepth of eight lanes: 0 unless ooz > 0, 0xFFFF from 65535, else
// truncated.
inline __m256i ZDepth8(__m256 ooz) {
  const __m256i positive = _mm256_castps_si256(_mm256_cmp_ps(ooz, _mm256_setzero_ps(), _CMP_GT_OQ));
  const __m256i far = _mm256_castps_si256(_mm256_cmp_ps(ooz, _mm256_set1_ps(65535.0f), _CMP_GE_OQ));
  const __m256i truncated = _mm256_cvttps_epi32(_mm256_min_ps(ooz, _mm256_set1_ps(65535.0f)));
  return _mm256_and_si256(positive, _mm256_blendv_epi8(truncated, _mm256_set1_epi32(0xFFFF), far));
}

// As span_sse2::DitherLanes: floor((v x factor + threshold) / 65536).
inline __m256i Dither16(__m256i value, __m256i factor, __m256i threshold) {
  const __m256i low = _mm256_mullo_epi16(value, factor);
  const __m256i high = _mm256_mulhi_epu16(value, factor);
  const __m256i sum = _mm256_add_epi16(low, threshold);
  const __m256i sign = _mm256_set1_epi16(static_cast<int16_t>(0x8000));
  const __m256i carry =
      _mm256_cmpgt_epi16(_mm256_xor_si256(low, sign), _mm256_xor_si256(sum, sign));
  return _mm256_sub_epi16(high, carry);
}

// Texels of eight pixels: pixels 0-3 in *low, 4-7 in *high, one expanded
// texel (channels in 16-bit lanes) per 64-bit lane.
inline void Gather8(const uint64_t* texels, __m256i address, __m256i* low, __m256i* high) {
  const auto* base = reinterpret_cast<const long long*>(texels);
  *low = _mm256_i32gather_epi64(base, _mm256_castsi256_si128(address), 8);
  *high = _mm256_i32gather_epi64(base, _mm256_extracti128_si256(address, 1), 8);
}

// Eight 32-bit lanes, each holding one value twice (16-bit halves), spread to
// the 64-bit lanes of pixels 0-3 (low) and 4-7 (high) so that every channel
// lane of a texel meets it.
inline void SpreadWeights(__m256i weight, __m256i* low, __m256i* high) {
  *low = _mm256_permutevar8x32_epi32(weight, _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3));
  *high = _mm256_permutevar8x32_epi32(weight, _mm256_setr_epi32(4, 4, 5, 5, 6, 6, 7, 7));
}

// From texels in 64-bit lanes (blue, green, red, 0) to one channel per
// 16-bit lane: blue of pixels 0-7 in the low half of *blue_red, red in its
// high half, green in *green.
inline void Transpose(__m256i low, __m256i high, __m256i* blue_red, __m128i* green) {
  const __m256i pairs = _mm256_setr_epi8(0, 1, 8, 9, 2, 3, 10, 11, 4, 5, 12, 13, -1, -1, -1, -1, 0,
                                         1, 8, 9, 2, 3, 10, 11, 4, 5, 12, 13, -1, -1, -1, -1);
  const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  const __m256i a = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(low, pairs), order);
  const __m256i b = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(high, pairs), order);
  *blue_red = _mm256_unpacklo_epi64(a, b);
  *green = _mm256_castsi256_si128(_mm256_unpackhi_epi64(a, b));
}

// 12.12 colours of eight pixels to 0..255 in 16-bit lanes (the saturating
// packs of the SSE2 path, as min and max).
inline __m128i ColourWords(__m256i fixed) {
  const __m256i whole = _mm256_srai_epi32(fixed, 12);
  const __m128i words =
      _mm_packs_epi32(_mm256_castsi256_si128(whole), _mm256_extracti128_si256(whole, 1));
  return _mm_min_epi16(_mm_max_epi16(words, _mm_setzero_si128()), _mm_set1_epi16(255));
}

// StartOfSpan (span_pipeline.h) for all seven planes at once: each plane is
// evaluated as at_origin + per_x cx + per_y cy in the same order, colours
// are clamped, scaled and rounded half away from zero the same way, and the
// float conversions round to nearest as static_cast does.
inline SpanStart StartOfSpanAvx2(const TriangleSetup& t, int32_t y, int32_t x_begin) {
  const __m256d cx = _mm256_set1_pd(x_begin + 0.5);
  const __m256d cy = _mm256_set1_pd(y + 0.5);
  const auto plane = [&](int first) {
    return _mm256_add_pd(_mm256_add_pd(_mm256_load_pd(t.plane_at_origin + first),
                                       _mm256_mul_pd(_mm256_load_pd(t.plane_per_x + first), cx)),
                         _mm256_mul_pd(_mm256_load_pd(t.plane_per_y + first), cy));
  };
  const __m256d colour_oow = plane(0);     // red, green, blue, oow
  const __m256d texture_depth = plane(4);  // sow, tow, ooz, unused
  // ToColourFixed: NaN gives 0.
  const __m256d known = _mm256_cmp_pd(colour_oow, colour_oow, _CMP_ORD_Q);
  const __m256d fixed = _mm256_mul_pd(
      _mm256_min_pd(_mm256_max_pd(_mm256_and_pd(colour_oow, known), _mm256_set1_pd(-131072.0)),
                    _mm256_set1_pd(131072.0)),
      _mm256_set1_pd(4096.0));
  const __m256d sign = _mm256_and_pd(fixed, _mm256_set1_pd(-0.0));
  const __m128i colours =
      _mm256_cvttpd_epi32(_mm256_add_pd(fixed, _mm256_or_pd(sign, _mm256_set1_pd(0.5))));
  alignas(16) int32_t whole[4];
  alignas(16) float low[4], high[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(whole), colours);
  _mm_store_ps(low, _mm256_cvtpd_ps(colour_oow));
  _mm_store_ps(high, _mm256_cvtpd_ps(texture_depth));
  SpanStart start;
  start.red = whole[0];
  start.green = whole[1];
  start.blue = whole[2];
  start.red_step = t.red_step;
  start.green_step = t.green_step;
  start.blue_step = t.blue_step;
  start.oow = low[3];
  start.oow_step = static_cast<float>(t.oow.per_x);
  start.sow = high[0];
  start.sow_step = static_cast<float>(t.sow.per_x);
  start.tow = high[1];
  start.tow_step = static_cast<float>(t.tow.per_x);
  start.ooz = high[2];
  start.ooz_step = static_cast<float>(t.ooz.per_x);
  return start;
}

template <bool kIterated, int kTexture, bool kDepth>
void DrawSpanAvx2(const TriangleSetup& t, int32_t y, int32_t x_begin, int32_t x_end) {
  constexpr bool kTextured = kTexture != kNoTexture;
  constexpr bool kBilinear = kTexture == kBilinearTexture;
  const BoardRenderState& state = *t.state;
  const BoundTexture& texture = *t.texture;
  uint16_t* colour_row = t.colour + static_cast<std::ptrdiff_t>(y) * t.stride_pixels;
  uint16_t* depth_row =
      kDepth ? t.depth + static_cast<std::ptrdiff_t>(y) * t.stride_pixels : nullptr;
  const bool depth_write = kDepth && state.depth_write;
  const bool w_depth = state.depth == DepthSource::kWBuffer;
  const bool chromakey = state.chromakey;
  const bool choose_level = kTextured && state.mipmapping && texture.level_count > 1;
  const SpanStart start = StartOfSpanAvx2(t, y, x_begin);

  const TextureLevel* level = &texture.levels[0];
  const __m256 bias = _mm256_set1_ps(kBilinear ? 8.0f : 0.0f);
  const __m256 oow_start = _mm256_set1_ps(start.oow);
  const __m256 oow_step = _mm256_set1_ps(start.oow_step);
  const __m256 sow_start = _mm256_set1_ps(start.sow);
  const __m256 sow_step = _mm256_set1_ps(start.sow_step);
  const __m256 tow_start = _mm256_set1_ps(start.tow);
  const __m256 tow_step = _mm256_set1_ps(start.tow_step);
  const __m256 ooz_start = _mm256_set1_ps(start.ooz);
  const __m256 ooz_step = _mm256_set1_ps(start.ooz_step);

  const __m128i threshold128 =
      _mm_load_si128(reinterpret_cast<const __m128i*>(t.dither->thresholds[y & 3][x_begin & 3]));
  const __m256i threshold = _mm256_broadcastsi128_si256(threshold128);
  const __m256i red_blue_factor = _mm256_set1_epi16(static_cast<int16_t>(t.dither->red_factor));
  const __m128i green_factor = _mm_set1_epi16(static_cast<int16_t>(t.dither->green_factor));

  __m256i red = _mm256_setzero_si256(), green = red, blue = red;
  __m256i red_step8 = red, green_step8 = red, blue_step8 = red;
  if constexpr (kIterated) {
    const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    red = _mm256_add_epi32(_mm256_set1_epi32(start.red),
                           _mm256_mullo_epi32(lanes, _mm256_set1_epi32(start.red_step)));
    green = _mm256_add_epi32(_mm256_set1_epi32(start.green),
                             _mm256_mullo_epi32(lanes, _mm256_set1_epi32(start.green_step)));
    blue = _mm256_add_epi32(_mm256_set1_epi32(start.blue),
                            _mm256_mullo_epi32(lanes, _mm256_set1_epi32(start.blue_step)));
    red_step8 = _mm256_set1_epi32(8 * start.red_step);
    green_step8 = _mm256_set1_epi32(8 * start.green_step);
    blue_step8 = _mm256_set1_epi32(8 * start.blue_step);
  }
  const __m256i constant_blue_red =
      _mm256_set_m128i(_mm_set1_epi16(t.constant_red), _mm_set1_epi16(t.constant_blue));
  const __m128i constant_green = _mm_set1_epi16(t.constant_green);
  const __m256i key_blue_red =
      _mm256_set_m128i(_mm_set1_epi16(static_cast<int16_t>((state.chromakey_rgb >> 16) & 0xFF)),
                       _mm_set1_epi16(static_cast<int16_t>(state.chromakey_rgb & 0xFF)));
  const __m128i key_green = _mm_set1_epi16(static_cast<int16_t>((state.chromakey_rgb >> 8) & 0xFF));
  const __m128i lane_numbers = _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7);

  __m256 k = _mm256_setr_ps(0, 1, 2, 3, 4, 5, 6, 7);  // pixel offsets in the span
  for (int32_t group = x_begin; group < x_end; group += kGroupPixels) {
    const int32_t count = x_end - group;
    const __m256 oow = _mm256_add_ps(oow_start, _mm256_mul_ps(k, oow_step));
    const __m256 w = _mm256_div_ps(_mm256_set1_ps(1.0f), oow);
    __m128i pass = _mm_cmplt_epi16(
        lane_numbers,
        _mm_set1_epi16(static_cast<int16_t>(count < kGroupPixels ? count : kGroupPixels)));
    __m128i new_depth = _mm_setzero_si128();
    if constexpr (kDepth) {
      const __m128i biased = BiasedDepth16(
          w_depth ? WDepth8(w) : ZDepth8(_mm256_add_ps(ooz_start, _mm256_mul_ps(k, ooz_step))));
      const __m128i sign = _mm_set1_epi16(static_cast<int16_t>(0x8000));
      new_depth = _mm_xor_si128(biased, sign);
      const __m128i stored = _mm_loadu_si128(reinterpret_cast<const __m128i*>(depth_row + group));
      pass = _mm_and_si128(pass, _mm_cmplt_epi16(biased, _mm_xor_si128(stored, sign)));
    }
    __m256i colour_blue_red = constant_blue_red;
    __m128i colour_green = constant_green;
    if constexpr (kIterated) {
      colour_blue_red = _mm256_set_m128i(ColourWords(red), ColourWords(blue));
      colour_green = ColourWords(green);
      red = _mm256_add_epi32(red, red_step8);
      green = _mm256_add_epi32(green, green_step8);
      blue = _mm256_add_epi32(blue, blue_step8);
    }
    if (_mm_movemask_epi8(pass) == 0) {
      k = _mm256_add_ps(k, _mm256_set1_ps(8.0f));
      continue;
    }

    if constexpr (kTextured) {
      if (choose_level) {
        const auto first = static_cast<float>(group - x_begin);
        level = &texture.levels[MipmapLevel(t, texture, start.oow + first * start.oow_step,
                                            start.sow + first * start.sow_step,
                                            start.tow + first * start.tow_step)];
      }
      const __m256 scale = _mm256_set1_ps(level->texels_per_s_unit * 16.0f);
      const __m256 sow = _mm256_add_ps(sow_start, _mm256_mul_ps(k, sow_step));
      const __m256 tow = _mm256_add_ps(tow_start, _mm256_mul_ps(k, tow_step));
      const __m256i u16 = Floor8(_mm256_sub_ps(_mm256_mul_ps(_mm256_mul_ps(sow, w), scale), bias));
      const __m256i v16 = Floor8(_mm256_sub_ps(_mm256_mul_ps(_mm256_mul_ps(tow, w), scale), bias));
      const __m256i x = _mm256_srai_epi32(u16, 4);
      const __m256i y_texel = _mm256_srai_epi32(v16, 4);
      const __m256i width_mask = _mm256_set1_epi32(level->width_mask);
      const __m256i height_mask = _mm256_set1_epi32(level->height_mask);
      const __m128i row_shift = _mm_cvtsi32_si128(level->width_log2);
      const __m256i x0 = WrapOrClamp8(x, width_mask, state.clamp_s);
      const __m256i y0 =
          _mm256_sll_epi32(WrapOrClamp8(y_texel, height_mask, state.clamp_t), row_shift);
      __m256i low, high;
      Gather8(level->texels, _mm256_add_epi32(y0, x0), &low, &high);
      if constexpr (kBilinear) {
        const __m256i one = _mm256_set1_epi32(1);
        const __m256i x1 = WrapOrClamp8(_mm256_add_epi32(x, one), width_mask, state.clamp_s);
        const __m256i y1 = _mm256_sll_epi32(
            WrapOrClamp8(_mm256_add_epi32(y_texel, one), height_mask, state.clamp_t), row_shift);
        // Weights (16 - fx)(16 - fy), fx (16 - fy), (16 - fx) fy, fx fy,
        // each held in both 16-bit halves of its lane.
        const __m256i fifteen = _mm256_set1_epi32(15);
        const __m256i fx = _mm256_and_si256(u16, fifteen);
        const __m256i fy = _mm256_and_si256(v16, fifteen);
        const __m256i fx2 = _mm256_or_si256(fx, _mm256_slli_epi32(fx, 16));
        const __m256i fy2 = _mm256_or_si256(fy, _mm256_slli_epi32(fy, 16));
        const __m256i sixteen2 = _mm256_set1_epi32(0x00100010);
        const __m256i gx2 = _mm256_sub_epi32(sixteen2, fx2);
        const __m256i gy2 = _mm256_sub_epi32(sixteen2, fy2);
        __m256i weight_low, weight_high;
        SpreadWeights(_mm256_mullo_epi16(gx2, gy2), &weight_low, &weight_high);
        __m256i sum_low = _mm256_mullo_epi16(low, weight_low);
        __m256i sum_high = _mm256_mullo_epi16(high, weight_high);
        const __m256i addresses[3] = {_mm256_add_epi32(y0, x1), _mm256_add_epi32(y1, x0),
                                      _mm256_add_epi32(y1, x1)};
        const __m256i weights[3] = {_mm256_mullo_epi16(fx2, gy2), _mm256_mullo_epi16(gx2, fy2),
                                    _mm256_mullo_epi16(fx2, fy2)};
        for (int n = 0; n < 3; ++n) {
          Gather8(level->texels, addresses[n], &low, &high);
          SpreadWeights(weights[n], &weight_low, &weight_high);
          sum_low = _mm256_add_epi16(sum_low, _mm256_mullo_epi16(low, weight_low));
          sum_high = _mm256_add_epi16(sum_high, _mm256_mullo_epi16(high, weight_high));
        }
        // The weights sum to 256: no lane carries, and the mean is the
        // sum's high byte.
        low = _mm256_srli_epi16(sum_low, 8);
        high = _mm256_srli_epi16(sum_high, 8);
      }
      __m256i texel_blue_red;
      __m128i texel_green;
      Transpose(low, high, &texel_blue_red, &texel_green);
      // texel x (colour + 1) / 256: full texel x full colour stays full.
      colour_blue_red = _mm256_srli_epi16(
          _mm256_mullo_epi16(texel_blue_red,
                             _mm256_add_epi16(colour_blue_red, _mm256_set1_epi16(1))),
          8);
      colour_green = _mm_srli_epi16(
          _mm_mullo_epi16(texel_green, _mm_add_epi16(colour_green, _mm_set1_epi16(1))), 8);
    }
    if (chromakey) {
      const __m256i same = _mm256_cmpeq_epi16(colour_blue_red, key_blue_red);
      const __m128i keyed = _mm_and_si128(
          _mm_and_si128(_mm256_castsi256_si128(same), _mm256_extracti128_si256(same, 1)),
          _mm_cmpeq_epi16(colour_green, key_green));
      pass = _mm_andnot_si128(keyed, pass);
    }
    const __m256i blue_red5 = Dither16(colour_blue_red, red_blue_factor, threshold);
    const __m128i green6 = _mm256_castsi256_si128(Dither16(
        _mm256_castsi128_si256(colour_green), _mm256_castsi128_si256(green_factor), threshold));
    const __m128i packed =
        _mm_or_si128(_mm_or_si128(_mm_slli_epi16(_mm256_extracti128_si256(blue_red5, 1), 11),
                                  _mm_slli_epi16(green6, 5)),
                     _mm256_castsi256_si128(blue_red5));
    auto* colour_lanes = reinterpret_cast<__m128i*>(colour_row + group);
    _mm_storeu_si128(colour_lanes, _mm_blendv_epi8(_mm_loadu_si128(colour_lanes), packed, pass));
    if (depth_write) {
      auto* depth_lanes = reinterpret_cast<__m128i*>(depth_row + group);
      _mm_storeu_si128(depth_lanes, _mm_blendv_epi8(_mm_loadu_si128(depth_lanes), new_depth, pass));
    }
    k = _mm256_add_ps(k, _mm256_set1_ps(8.0f));
  }
}

template <bool kIterated, int kTexture>
SpanDrawer ForDepth(bool depth) {
  return depth ? &DrawSpanAvx2<kIterated, kTexture, true>
               : &DrawSpanAvx2<kIterated, kTexture, false>;
}

template <bool kIterated>
SpanDrawer ForTexture(int texture, bool depth) {
  if (texture == kBilinearTexture) return ForDepth<kIterated, kBilinearTexture>(depth);
  if (texture == kPointTexture) return ForDepth<kIterated, kPointTexture>(depth);
  return ForDepth<kIterated, kNoTexture>(depth);
}

}  // namespace

#pragma GCC pop_options

SpanDrawer SelectSpanDrawerAvx2(const BoardRenderState& state, bool has_depth_buffer) {
  static const bool has_avx2 = __builtin_cpu_supports("avx2");
  if (!has_avx2) return nullptr;
  const bool depth = state.depth != DepthSource::kNone && has_depth_buffer;
  // Depth functions other than LESS stay with the SSE2 path.
  if (depth && state.depth_function != GR_CMP_LESS) return nullptr;
  int texture = kNoTexture;
  if (state.textured) texture = state.bilinear ? kBilinearTexture : kPointTexture;
  if (state.colour == ColourSource::kIterated) return ForTexture<true>(texture, depth);
  return ForTexture<false>(texture, depth);
}

#else

SpanDrawer SelectSpanDrawerAvx2(const BoardRenderState&, bool) {
  return nullptr;
}

#endif
