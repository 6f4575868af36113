// The triangle drawers of the vector pixel pipeline, compiled twice: by
// span_avx2.cpp for processors with AVX2 and by span_avx512.cpp with the
// AVX-512 register file and masked stores (WIDE_MASKED_STORES). Each
// includes this inside an anonymous namespace, under its target options.
// A triangle is drawn row by row, with what stays fixed over the triangle
// set up once; a group of eight pixels goes from 1/w to the written 565
// colour and depth in registers, texels are filtered in 16-bit lanes. It
// computes the same values with the same float operations in the same
// order as the SSE2 path and the portable loop (span_pipeline.cpp), so all
// of them draw identical pixels and depths. No FMA: a fused multiply-add
// would round differently.

// kQuadTexture: bilinear from quad texels (texture_memory.h), one read per
// sample; the state must wrap and use one level.
enum TexturePath { kNoTexture, kPointTexture, kBilinearTexture, kQuadTexture };

// The pointer, hidden from the optimiser: what is read through it cannot be
// hoisted out of the loop that launders it.
template <typename T>
inline const T* Launder(const T* pointer) {
  __asm__("" : "+r"(pointer));
  return pointer;
}

// The constants of the group loop, built once and read from memory.
struct GroupConstants {
  __m256i floor_low, floor_high;  // -1e9f, 1e9f
  __m256i one_float, eight_float;
  __m256i float_one_bits, w_exponent_bias;  // 32-bit lanes
  __m256i one32, fifteen32, sixteen16;
  __m256i top16, one16;
  __m256i sixteen32;
  __m256i blue_red_words, green_words;  // word picks of BilinearFromQuads

  static GroupConstants Make() {
    GroupConstants c;
    c.floor_low = _mm256_castps_si256(_mm256_set1_ps(-1.0e9f));
    c.floor_high = _mm256_castps_si256(_mm256_set1_ps(1.0e9f));
    c.one_float = _mm256_castps_si256(_mm256_set1_ps(1.0f));
    c.eight_float = _mm256_castps_si256(_mm256_set1_ps(8.0f));
    c.float_one_bits = _mm256_set1_epi32(0x3F800000);
    c.w_exponent_bias = _mm256_set1_epi32(127 << 12);
    c.one32 = _mm256_set1_epi32(1);
    c.fifteen32 = _mm256_set1_epi32(15);
    c.sixteen16 = _mm256_set1_epi16(16);
    c.top16 = _mm256_set1_epi16(255);
    c.one16 = _mm256_set1_epi16(1);
    c.sixteen32 = _mm256_set1_epi32(16);
    c.blue_red_words = _mm256_setr_epi16(0, 4, 16, 20, 8, 12, 24, 28, 2, 6, 18, 22, 10, 14, 26, 30);
    c.green_words = _mm256_setr_epi16(1, 5, 17, 21, 9, 13, 25, 29, 1, 5, 17, 21, 9, 13, 25, 29);
    return c;
  }
};

// floor() of eight values as in span_groups::Floor4: far-off values clamped
// first (NaN becomes -1e9 there too); for the clamped values rounding down
// and converting equals truncating and correcting where it rounded up.
inline __m256i Floor8(__m256 value, const GroupConstants& c) {
  const __m256 clamped = _mm256_min_ps(_mm256_max_ps(value, _mm256_castsi256_ps(c.floor_low)),
                                       _mm256_castsi256_ps(c.floor_high));
  return _mm256_cvttps_epi32(_mm256_floor_ps(clamped));
}

inline __m256i WrapOrClamp8(__m256i index, __m256i mask, bool clamp) {
  if (!clamp) return _mm256_and_si256(index, mask);
  return _mm256_min_epi32(_mm256_max_epi32(index, _mm256_setzero_si256()), mask);
}

// Eight 32-bit depths as 16-bit lanes: the unsigned saturating pack keeps
// 0..0xFFFF and turns the saturated far depths (above it) into 0xFFFF.
inline __m128i Depth16(__m256i depth) {
#if defined(WIDE_MASKED_STORES)
  return _mm256_maskz_cvtusepi32_epi16(0xFF,
                                       depth);  // (the unmasked form trips a compiler warning)
#else
  return _mm_packus_epi32(_mm256_castsi256_si128(depth), _mm256_extracti128_si256(depth, 1));
#endif
}

// Which of a group's eight pixels are still to be written: a mask register
// with AVX-512, else 16-bit lanes of all ones.
#if defined(WIDE_MASKED_STORES)
using PassLanes = __mmask8;
inline PassLanes FirstPixels(int32_t count) {
  static constexpr uint8_t kFirst[9] = {0x00, 0x01, 0x03, 0x07, 0x0F, 0x1F, 0x3F, 0x7F, 0xFF};
  return kFirst[count < 8 ? count : 8];
}
// Keeps the pixels whose new depth is LESS than the stored one.
inline PassLanes KeepNearer(PassLanes pass, __m128i incoming, __m128i stored) {
  return _mm_mask_cmplt_epu16_mask(pass, incoming, stored);
}
// Drops the pixels whose lanes in 'dropped' are all ones.
inline PassLanes DropLanes(PassLanes pass, __m128i dropped) {
  return static_cast<__mmask8>(pass & ~_mm_movepi16_mask(dropped));
}
inline bool NoPixels(PassLanes pass) {
  return pass == 0;
}
// Writes the passing pixels only: nothing is read back first.
inline void StorePixels(uint16_t* row, __m128i values, PassLanes pass) {
  _mm_mask_storeu_epi16(row, pass, values);
}
// Lanes 0-3 of first and 4-7 of second as one group's passing pixels.
inline PassLanes JoinHalves(PassLanes first, PassLanes second) {
  return static_cast<__mmask8>((first & 0x0F) | (second << 4));
}
// The upper four lanes moved down to the lower four.
inline PassLanes UpperHalf(PassLanes pass) {
  return static_cast<__mmask8>(pass >> 4);
}
#else
using PassLanes = __m128i;
inline PassLanes FirstPixels(int32_t count) {
  return _mm_cmplt_epi16(_mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7),
                         _mm_set1_epi16(static_cast<int16_t>(count < 8 ? count : 8)));
}
inline PassLanes KeepNearer(PassLanes pass, __m128i incoming, __m128i stored) {
  // LESS: the larger of the two is not the new depth.
  const __m128i not_less = _mm_cmpeq_epi16(_mm_max_epu16(incoming, stored), incoming);
  return _mm_andnot_si128(not_less, pass);
}
inline PassLanes DropLanes(PassLanes pass, __m128i dropped) {
  return _mm_andnot_si128(dropped, pass);
}
inline bool NoPixels(PassLanes pass) {
  return _mm_movemask_epi8(pass) == 0;
}
inline void StorePixels(uint16_t* row, __m128i values, PassLanes pass) {
  auto* lanes = reinterpret_cast<__m128i*>(row);
  _mm_storeu_si128(lanes, _mm_blendv_epi8(_mm_loadu_si128(lanes), values, pass));
}
inline PassLanes JoinHalves(PassLanes first, PassLanes second) {
  return _mm_unpacklo_epi64(first, second);
}
inline PassLanes UpperHalf(PassLanes pass) {
  return _mm_srli_si128(pass, 8);
}
#endif

// WBufferDepth of eight lanes before the saturation Depth16 applies.
inline __m256i WDepth8(__m256 w, const GroupConstants& c) {
  const __m256i bits = _mm256_castps_si256(w);
  const __m256i near = _mm256_cmpgt_epi32(c.float_one_bits, bits);
  const __m256i depth = _mm256_sub_epi32(_mm256_srli_epi32(bits, 11), c.w_exponent_bias);
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

// As DitherChannel: floor((v K + (2m + 1) 2048) / 65536) for v <= 255. The
// threshold is a whole multiple of 2048, so this equals
// floor((floor(32 v K / 65536) + 2m + 1) / 32): one 16-bit high multiply.
// odd holds 2m + 1 (0 when truncating).
inline __m256i Dither16(__m256i value, __m256i factor, __m256i odd) {
  const __m256i scaled = _mm256_mulhi_epu16(_mm256_slli_epi16(value, 5), factor);
  return _mm256_srli_epi16(_mm256_add_epi16(scaled, odd), 5);
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

// The bilinear samples of eight pixels from their quad texels at address
// (texture_memory.h) and 1/16-texel positions u16, v16: the same 4-bit
// weights and sums as the other paths, taken in two steps that round
// nowhere: each pair along x weighed by (16 - fx, fx) with byte multiplies,
// then the two pairs by (16 - fy, fy). The sums are cut to 8 bits. Blue of
// pixels 0-7 ends in the low half of *blue_red, red in its high half, green
// in *green. Always inlined: called, it would hand its results back through
// memory and cost every group a call.
__attribute__((always_inline)) inline void BilinearFromQuads(const QuadTexel* quads,
                                                             __m256i address, __m256i u16,
                                                             __m256i v16, const GroupConstants& c,
                                                             __m256i* blue_red, __m128i* green) {
  // Byte offsets, scaled in the vector: eight scalar shifts fewer.
  static_assert(sizeof(QuadTexel) == 16);
  alignas(32) uint32_t offset[8];
  _mm256_store_si256(reinterpret_cast<__m256i*>(offset), _mm256_slli_epi32(address, 4));
  // Read back through memory: one store and eight loads are cheaper than the
  // lane extractions the compiler would otherwise make of it.
  __asm__("" : "+m"(offset));
  const char* base = reinterpret_cast<const char*>(quads);
  const __m256i fx = _mm256_and_si256(u16, c.fifteen32);
  const __m256i fy = _mm256_and_si256(v16, c.fifteen32);
  // Bytes (16 - fx, fx) twice, and words (16 - fy, fy), in each pixel's lane.
  const __m256i x_pair =
      _mm256_or_si256(_mm256_sub_epi32(c.sixteen32, fx), _mm256_slli_epi32(fx, 8));
  const __m256i x_weights = _mm256_or_si256(x_pair, _mm256_slli_epi32(x_pair, 16));
  const __m256i y_weights =
      _mm256_or_si256(_mm256_sub_epi32(c.sixteen32, fy), _mm256_slli_epi32(fy, 16));
  // Pixels j and j + 4 in one register, the one in each 128-bit half where
  // its weights already are, so that an in-half shuffle spreads them: dwords
  // blue, green, red, 0 of each.
  const auto pair_sums = [&](int j, __m256i x_weight, __m256i y_weight) {
    const __m256i quad = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(base + offset[j]))),
        _mm_load_si128(reinterpret_cast<const __m128i*>(base + offset[j + 4])), 1);
    return _mm256_madd_epi16(_mm256_maddubs_epi16(quad, x_weight), y_weight);
  };
  const __m256i sums04 =
      pair_sums(0, _mm256_shuffle_epi32(x_weights, 0x00), _mm256_shuffle_epi32(y_weights, 0x00));
  const __m256i sums15 =
      pair_sums(1, _mm256_shuffle_epi32(x_weights, 0x55), _mm256_shuffle_epi32(y_weights, 0x55));
  const __m256i sums26 =
      pair_sums(2, _mm256_shuffle_epi32(x_weights, 0xAA), _mm256_shuffle_epi32(y_weights, 0xAA));
  const __m256i sums37 =
      pair_sums(3, _mm256_shuffle_epi32(x_weights, 0xFF), _mm256_shuffle_epi32(y_weights, 0xFF));
  // The sums stay below 65536: packed to words they keep their value. Words
  // (b g r 0) of pixels 0 1 | 4 5 and 2 3 | 6 7, to channel order.
  const __m256i low = _mm256_packus_epi32(sums04, sums15);
  const __m256i high = _mm256_packus_epi32(sums26, sums37);
#if defined(WIDE_MASKED_STORES)
  *blue_red = _mm256_srli_epi16(_mm256_permutex2var_epi16(low, c.blue_red_words, high), 8);
  *green = _mm256_castsi256_si128(
      _mm256_srli_epi16(_mm256_permutex2var_epi16(low, c.green_words, high), 8));
#else
  // Gathered to dwords per channel, each half holds (bx by) (rx ry) (gx gy)
  // of its two pixels: 0 1 | 4 5 from low, 2 3 | 6 7 from high. Interleaved
  // by dwords, the channels come out in pixel order.
  const __m256i by_channel =
      _mm256_setr_epi8(0, 1, 8, 9, 4, 5, 12, 13, 2, 3, 10, 11, -1, -1, -1, -1, 0, 1, 8, 9, 4, 5, 12,
                       13, 2, 3, 10, 11, -1, -1, -1, -1);
  const __m256i a = _mm256_shuffle_epi8(low, by_channel);
  const __m256i b = _mm256_shuffle_epi8(high, by_channel);
  // Words b0 b1 b2 b3 r0 r1 r2 r3 | b4 .. r7, and g0 g1 g2 g3 - | g4 .. -.
  const __m256i blue_red_quarters = _mm256_unpacklo_epi32(a, b);
  const __m256i green_quarters = _mm256_unpackhi_epi32(a, b);
  *blue_red = _mm256_srli_epi16(_mm256_permute4x64_epi64(blue_red_quarters, 0xD8), 8);
  *green =
      _mm256_castsi256_si128(_mm256_srli_epi16(_mm256_permute4x64_epi64(green_quarters, 0x08), 8));
#endif
}

// 12.12 colours of eight pixels to 0..255 in 16-bit lanes (the saturating
// packs of the SSE2 path, then min and max): blue in the low half of
// *blue_red, red in its high half, green in *green.
inline void ColourWords(__m256i red, __m256i green, __m256i blue, const GroupConstants& c,
                        __m256i* blue_red, __m128i* green_words) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i top = c.top16;
  // Packs work within 128-bit halves; the permute puts the quarters in order.
  const __m256i packed = _mm256_permute4x64_epi64(
      _mm256_packs_epi32(_mm256_srai_epi32(blue, 12), _mm256_srai_epi32(red, 12)), 0xD8);
  *blue_red = _mm256_min_epi16(_mm256_max_epi16(packed, zero), top);
  const __m256i shifted = _mm256_srai_epi32(green, 12);
  const __m256i green_packed = _mm256_permute4x64_epi64(_mm256_packs_epi32(shifted, shifted), 0xD8);
  *green_words = _mm_min_epi16(
      _mm_max_epi16(_mm256_castsi256_si128(green_packed), _mm256_castsi256_si128(zero)),
      _mm256_castsi256_si128(top));
}

// StartOfSpan (span_pipeline.h) for all seven planes at once: each plane is
// evaluated as at_origin + per_x cx + per_y cy in the same order, colours
// are clamped, scaled and rounded half away from zero the same way, and the
// float conversions round to nearest as static_cast does.
inline SpanStart StartOfSpanAvx2(const TriangleSetup& t, int32_t y, int32_t x_begin) {
  const __m256d cx = _mm256_set1_pd(x_begin + 0.5);
  const __m256d cy = _mm256_set1_pd(y + 0.5);
  const auto plane = [&](int first) {
    return _mm256_add_pd(_mm256_add_pd(_mm256_load_pd(t.planes.at_origin + first),
                                       _mm256_mul_pd(_mm256_load_pd(t.planes.per_x + first), cx)),
                         _mm256_mul_pd(_mm256_load_pd(t.planes.per_y + first), cy));
  };
  const __m256d colour_ooz = plane(kRedPlane);     // red, green, blue, ooz
  const __m256d oow_texture = plane(kAlphaPlane);  // alpha (unused), oow, sow, tow
  // ToColourFixed: NaN gives 0.
  const __m256d known = _mm256_cmp_pd(colour_ooz, colour_ooz, _CMP_ORD_Q);
  const __m256d fixed = _mm256_mul_pd(
      _mm256_min_pd(_mm256_max_pd(_mm256_and_pd(colour_ooz, known), _mm256_set1_pd(-131072.0)),
                    _mm256_set1_pd(131072.0)),
      _mm256_set1_pd(4096.0));
  const __m256d sign = _mm256_and_pd(fixed, _mm256_set1_pd(-0.0));
  const __m128i colours =
      _mm256_cvttpd_epi32(_mm256_add_pd(fixed, _mm256_or_pd(sign, _mm256_set1_pd(0.5))));
  alignas(16) int32_t whole[4];
  alignas(16) float low[4], high[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(whole), colours);
  _mm_store_ps(low, _mm256_cvtpd_ps(colour_ooz));
  _mm_store_ps(high, _mm256_cvtpd_ps(oow_texture));
  SpanStart start;
  start.red = whole[0];
  start.green = whole[1];
  start.blue = whole[2];
  start.red_step = t.red_step;
  start.green_step = t.green_step;
  start.blue_step = t.blue_step;
  start.ooz = low[3];
  start.oow = high[1];
  start.sow = high[2];
  start.tow = high[3];
  return start;
}

// What stays fixed over one triangle, in the form the group loop uses.
struct TriangleFixed {
  const BoundTexture* texture;
  bool depth_write, w_depth, chromakey, clamp_s, clamp_t, choose_level;
  __m256 bias, oow_step, sow_step, tow_step, ooz_step;
  __m256i red_lanes, green_lanes, blue_lanes;  // 0..7 steps of each colour
  __m256i red_step8, green_step8, blue_step8;
  __m256i red_blue_factor;
  __m128i green_factor;
  __m256i constant_blue_red;
  __m128i constant_green;
  __m256i key_blue_red;
  __m128i key_green;
  // Level 0's addressing, for the drawers that never change level (kPlain).
  __m256 level0_scale;
  __m256i level0_width_mask, level0_height_mask;
  __m128i level0_row_shift;
  const GroupConstants* c;  // the same for every triangle
};

// Members a drawer does not read (by kIterated and kPlain) are left unset.
template <bool kIterated, bool kTextured, bool kBilinear, bool kDepth, bool kPlain>
inline TriangleFixed FixedOver(const TriangleSetup& t) {
  const BoardRenderState& state = *t.state;
  TriangleFixed f;
  f.texture = t.texture;
  f.depth_write = kDepth && state.depth_write;
  f.w_depth = state.depth == DepthSource::kWBuffer;
  f.chromakey = state.chromakey;
  f.clamp_s = state.clamp_s;
  f.clamp_t = state.clamp_t;
  f.choose_level = kTextured && state.mipmapping && t.texture->level_count > 1;
  f.bias = _mm256_set1_ps(kBilinear ? 8.0f : 0.0f);
  f.oow_step = _mm256_set1_ps(static_cast<float>(t.planes.per_x[kOowPlane]));
  f.sow_step = _mm256_set1_ps(static_cast<float>(t.planes.per_x[kSowPlane]));
  f.tow_step = _mm256_set1_ps(static_cast<float>(t.planes.per_x[kTowPlane]));
  f.ooz_step = _mm256_set1_ps(static_cast<float>(t.planes.per_x[kOozPlane]));
  if constexpr (kIterated) {
    const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    f.red_lanes = _mm256_mullo_epi32(lanes, _mm256_set1_epi32(t.red_step));
    f.green_lanes = _mm256_mullo_epi32(lanes, _mm256_set1_epi32(t.green_step));
    f.blue_lanes = _mm256_mullo_epi32(lanes, _mm256_set1_epi32(t.blue_step));
    f.red_step8 = _mm256_set1_epi32(8 * t.red_step);
    f.green_step8 = _mm256_set1_epi32(8 * t.green_step);
    f.blue_step8 = _mm256_set1_epi32(8 * t.blue_step);
  } else {
    f.constant_blue_red =
        _mm256_set_m128i(_mm_set1_epi16(t.constant_red), _mm_set1_epi16(t.constant_blue));
    f.constant_green = _mm_set1_epi16(t.constant_green);
  }
  f.red_blue_factor = _mm256_set1_epi16(static_cast<int16_t>(t.dither->red_factor));
  f.green_factor = _mm_set1_epi16(static_cast<int16_t>(t.dither->green_factor));
  if constexpr (kTextured) {
    const TextureLevel& level = t.texture->levels[0];
    f.level0_scale = _mm256_set1_ps(level.texels_per_s_unit * 16.0f);
    f.level0_width_mask = _mm256_set1_epi32(level.width_mask);
    f.level0_height_mask = _mm256_set1_epi32(level.height_mask);
    f.level0_row_shift = _mm_cvtsi32_si128(level.width_log2);
  }
  if constexpr (!kPlain) {
    f.key_blue_red =
        _mm256_set_m128i(_mm_set1_epi16(static_cast<int16_t>((state.chromakey_rgb >> 16) & 0xFF)),
                         _mm_set1_epi16(static_cast<int16_t>(state.chromakey_rgb & 0xFF)));
    f.key_green = _mm_set1_epi16(static_cast<int16_t>((state.chromakey_rgb >> 8) & 0xFF));
  }
  // Built on first use, which is on a processor with AVX2.
  static const GroupConstants constants = GroupConstants::Make();
  f.c = &constants;
  return f;
}

// texel x (colour + 1) / 256 in each channel: a full texel times a full
// colour stays full.
__attribute__((always_inline)) inline void ScaleByTexel(__m256i texel_blue_red, __m128i texel_green,
                                                        const GroupConstants& c, __m256i* blue_red,
                                                        __m128i* green) {
  *blue_red = _mm256_srli_epi16(
      _mm256_mullo_epi16(texel_blue_red, _mm256_add_epi16(*blue_red, c.one16)), 8);
  *green = _mm_srli_epi16(
      _mm_mullo_epi16(texel_green, _mm_add_epi16(*green, _mm256_castsi256_si128(c.one16))), 8);
}

// Eight dithered 565 pixels from 0..255 channels (blue in the low half of
// blue_red, red in its high half), with the thresholds of their columns.
__attribute__((always_inline)) inline __m128i DitheredPixels(__m256i blue_red, __m128i green,
                                                             const TriangleFixed& f,
                                                             __m256i threshold_odd) {
  const __m256i blue_red5 = Dither16(blue_red, f.red_blue_factor, threshold_odd);
  const __m128i green6 = _mm256_castsi256_si128(Dither16(
      _mm256_castsi128_si256(green), _mm256_castsi128_si256(f.green_factor), threshold_odd));
  return _mm_or_si128(_mm_or_si128(_mm_slli_epi16(_mm256_extracti128_si256(blue_red5, 1), 11),
                                   _mm_slli_epi16(green6, 5)),
                      _mm256_castsi256_si128(blue_red5));
}

// Pixels x_begin .. x_end - 1 of row y, eight at a time.
// kPlain: the common state, known at compile time: no chroma-key, texture
// coordinates wrapping, no mipmapping, and with depth, the W-buffer with
// writes on.
template <bool kIterated, int kTexture, bool kDepth, bool kPlain>
__attribute__((always_inline)) inline void SpanAvx2(const TriangleSetup& t, const TriangleFixed& f,
                                                    int32_t y, int32_t x_begin, int32_t x_end) {
  constexpr bool kTextured = kTexture != kNoTexture;
  constexpr bool kBilinear = kTexture == kBilinearTexture || kTexture == kQuadTexture;
  constexpr bool kQuads = kTexture == kQuadTexture;
  const BoundTexture& texture = *f.texture;
  uint16_t* colour_row = t.colour + static_cast<std::ptrdiff_t>(y) * t.stride_pixels;
  uint16_t* depth_row =
      kDepth ? t.depth + static_cast<std::ptrdiff_t>(y) * t.stride_pixels : nullptr;
  const bool depth_write = kPlain ? kDepth : f.depth_write;
  const bool w_depth = kPlain || f.w_depth;
  const bool chromakey = !kPlain && f.chromakey;
  const bool clamp_s = !kPlain && f.clamp_s;
  const bool clamp_t = !kPlain && f.clamp_t;
  const bool choose_level = !kPlain && f.choose_level;
  const SpanStart start = StartOfSpanAvx2(t, y, x_begin);

  const TextureLevel* level = &texture.levels[0];
  const __m256 oow_start = _mm256_set1_ps(start.oow);
  const __m256 sow_start = _mm256_set1_ps(start.sow);
  const __m256 tow_start = _mm256_set1_ps(start.tow);
  const __m256 ooz_start = _mm256_set1_ps(start.ooz);

  const __m256i threshold_odd = _mm256_srli_epi16(
      _mm256_broadcastsi128_si256(_mm_load_si128(
          reinterpret_cast<const __m128i*>(t.dither->thresholds[y & 3][x_begin & 3]))),
      11);

  __m256i red = _mm256_setzero_si256(), green = red, blue = red;
  if constexpr (kIterated) {
    red = _mm256_add_epi32(_mm256_set1_epi32(start.red), f.red_lanes);
    green = _mm256_add_epi32(_mm256_set1_epi32(start.green), f.green_lanes);
    blue = _mm256_add_epi32(_mm256_set1_epi32(start.blue), f.blue_lanes);
  }

  __m256 k = _mm256_setr_ps(0, 1, 2, 3, 4, 5, 6, 7);  // pixel offsets in the span
  for (int32_t group = x_begin; group < x_end; group += kGroupPixels) {
    // The triangle's constants are read as memory operands in every group:
    // hoisted out of the loop they would not fit the registers and be
    // copied to the stack for every row.
    const TriangleFixed& fixed = *Launder(&f);
    const GroupConstants& c = *fixed.c;
    const __m256& bias = fixed.bias;
    const __m256& oow_step = fixed.oow_step;
    const __m256& sow_step = fixed.sow_step;
    const __m256& tow_step = fixed.tow_step;
    const __m256& ooz_step = fixed.ooz_step;
    const __m256i& red_step8 = fixed.red_step8;
    const __m256i& green_step8 = fixed.green_step8;
    const __m256i& blue_step8 = fixed.blue_step8;
    const __m256i& constant_blue_red = fixed.constant_blue_red;
    const __m128i& constant_green = fixed.constant_green;
    const __m256i& key_blue_red = fixed.key_blue_red;
    const __m128i& key_green = fixed.key_green;
    const int32_t count = x_end - group;
    const __m256 oow = _mm256_add_ps(oow_start, _mm256_mul_ps(k, oow_step));
    const __m256 w = _mm256_div_ps(_mm256_castsi256_ps(c.one_float), oow);
    PassLanes pass = FirstPixels(count);
    __m128i new_depth = _mm_setzero_si128();
    if constexpr (kDepth) {
      new_depth = Depth16(w_depth ? WDepth8(w, c)
                                  : ZDepth8(_mm256_add_ps(ooz_start, _mm256_mul_ps(k, ooz_step))));
      const __m128i stored = _mm_loadu_si128(reinterpret_cast<const __m128i*>(depth_row + group));
      pass = KeepNearer(pass, new_depth, stored);
    }
    __m256i colour_blue_red;
    __m128i colour_green;
    if constexpr (!kIterated) {
      colour_blue_red = constant_blue_red;
      colour_green = constant_green;
    } else {
      ColourWords(red, green, blue, c, &colour_blue_red, &colour_green);
      red = _mm256_add_epi32(red, red_step8);
      green = _mm256_add_epi32(green, green_step8);
      blue = _mm256_add_epi32(blue, blue_step8);
    }
    if (NoPixels(pass)) {
      k = _mm256_add_ps(k, _mm256_castsi256_ps(c.eight_float));
      continue;
    }

    if constexpr (kTextured) {
      if (choose_level) {
        const auto first = static_cast<float>(group - x_begin);
        const auto oow_per_x = static_cast<float>(t.planes.per_x[kOowPlane]);
        const auto sow_per_x = static_cast<float>(t.planes.per_x[kSowPlane]);
        const auto tow_per_x = static_cast<float>(t.planes.per_x[kTowPlane]);
        level =
            &texture
                 .levels[MipmapLevel(t, texture, start.oow + first * oow_per_x,
                                     start.sow + first * sow_per_x, start.tow + first * tow_per_x)];
      }
      const __m256 scale =
          kPlain ? fixed.level0_scale : _mm256_set1_ps(level->texels_per_s_unit * 16.0f);
      const __m256 sow = _mm256_add_ps(sow_start, _mm256_mul_ps(k, sow_step));
      const __m256 tow = _mm256_add_ps(tow_start, _mm256_mul_ps(k, tow_step));
      const __m256i u16 =
          Floor8(_mm256_sub_ps(_mm256_mul_ps(_mm256_mul_ps(sow, w), scale), bias), c);
      const __m256i v16 =
          Floor8(_mm256_sub_ps(_mm256_mul_ps(_mm256_mul_ps(tow, w), scale), bias), c);
      const __m256i x = _mm256_srai_epi32(u16, 4);
      const __m256i y_texel = _mm256_srai_epi32(v16, 4);
      const __m256i width_mask =
          kPlain ? fixed.level0_width_mask : _mm256_set1_epi32(level->width_mask);
      const __m256i height_mask =
          kPlain ? fixed.level0_height_mask : _mm256_set1_epi32(level->height_mask);
      const __m128i row_shift =
          kPlain ? fixed.level0_row_shift : _mm_cvtsi32_si128(level->width_log2);
      const __m256i x0 = WrapOrClamp8(x, width_mask, clamp_s);
      const __m256i y0 = _mm256_sll_epi32(WrapOrClamp8(y_texel, height_mask, clamp_t), row_shift);
      __m256i low, high;
      __m256i texel_blue_red;
      __m128i texel_green;
      if constexpr (kQuads) {
        BilinearFromQuads(level->quads, _mm256_add_epi32(y0, x0), u16, v16, c, &texel_blue_red,
                          &texel_green);
      } else {
        Gather8(level->texels, _mm256_add_epi32(y0, x0), &low, &high);
        if constexpr (kBilinear) {
          const __m256i one = c.one32;
          const __m256i x1 = WrapOrClamp8(_mm256_add_epi32(x, one), width_mask, clamp_s);
          const __m256i y1 = _mm256_sll_epi32(
              WrapOrClamp8(_mm256_add_epi32(y_texel, one), height_mask, clamp_t), row_shift);
          // Weights (16 - fx)(16 - fy), fx (16 - fy), (16 - fx) fy, fx fy,
          // each held in both 16-bit halves of its lane.
          const __m256i fifteen = c.fifteen32;
          const __m256i fx = _mm256_and_si256(u16, fifteen);
          const __m256i fy = _mm256_and_si256(v16, fifteen);
          const __m256i fx2 = _mm256_or_si256(fx, _mm256_slli_epi32(fx, 16));
          const __m256i fy2 = _mm256_or_si256(fy, _mm256_slli_epi32(fy, 16));
          const __m256i sixteen2 = c.sixteen16;
          const __m256i gx2 = _mm256_sub_epi32(sixteen2, fx2);
          const __m256i gy2 = _mm256_sub_epi32(sixteen2, fy2);
          __m256i weight_low, weight_high;
          SpreadWeights(_mm256_mullo_epi16(gx2, gy2), &weight_low, &weight_high);
          __m256i sum_low = _mm256_mullo_epi16(low, weight_low);
          __m256i sum_high = _mm256_mullo_epi16(high, weight_high);
          const auto add_neighbour = [&](__m256i address, __m256i weight) {
            Gather8(level->texels, address, &low, &high);
            SpreadWeights(weight, &weight_low, &weight_high);
            sum_low = _mm256_add_epi16(sum_low, _mm256_mullo_epi16(low, weight_low));
            sum_high = _mm256_add_epi16(sum_high, _mm256_mullo_epi16(high, weight_high));
          };
          add_neighbour(_mm256_add_epi32(y0, x1), _mm256_mullo_epi16(fx2, gy2));
          add_neighbour(_mm256_add_epi32(y1, x0), _mm256_mullo_epi16(gx2, fy2));
          add_neighbour(_mm256_add_epi32(y1, x1), _mm256_mullo_epi16(fx2, fy2));
          // The weights sum to 256: no lane carries, and the mean is the
          // sum's high byte.
          low = _mm256_srli_epi16(sum_low, 8);
          high = _mm256_srli_epi16(sum_high, 8);
        }
        Transpose(low, high, &texel_blue_red, &texel_green);
      }
      ScaleByTexel(texel_blue_red, texel_green, c, &colour_blue_red, &colour_green);
    }
    if (chromakey) {
      const __m256i same = _mm256_cmpeq_epi16(colour_blue_red, key_blue_red);
      const __m128i keyed = _mm_and_si128(
          _mm_and_si128(_mm256_castsi256_si128(same), _mm256_extracti128_si256(same, 1)),
          _mm_cmpeq_epi16(colour_green, key_green));
      pass = DropLanes(pass, keyed);
    }
    const __m128i packed = DitheredPixels(colour_blue_red, colour_green, fixed, threshold_odd);
    StorePixels(colour_row + group, packed, pass);
    if (depth_write) StorePixels(depth_row + group, new_depth, pass);
    k = _mm256_add_ps(k, _mm256_castsi256_ps(c.eight_float));
  }
}

// first in lanes 0-3, second in lanes 4-7.
inline __m256 Halves(float first, float second) {
  return _mm256_set_m128(_mm_set1_ps(second), _mm_set1_ps(first));
}
// The same for 12.12 colours, each moved on by steps 0-3 (lanes 0-3 of
// lanes, which hold steps 0-7).
inline __m256i HalvesStepped(int32_t first, int32_t second, __m256i lanes) {
  return _mm256_add_epi32(_mm256_set_m128i(_mm_set1_epi32(second), _mm_set1_epi32(first)),
                          _mm256_permute4x64_epi64(lanes, 0x44));
}

// The spans of two neighbouring rows of at most four pixels each, as one
// group: lanes 0-3 are pixels x_begin[0] on of row y[0], lanes 4-7 pixels
// x_begin[1] on of row y[1]. Each lane computes what it computes as one of
// the first four pixels of its own row's group, from the same start and
// with the same operations, so the pixels and depths are the same; only
// the group is shared. For the plain state with quad texels, the common
// state of small triangles.
template <bool kIterated, bool kDepth>
__attribute__((always_inline)) inline void PairedSpansAvx2(const TriangleSetup& t,
                                                           const TriangleFixed& f,
                                                           const int32_t (&y)[2],
                                                           const int32_t (&x_begin)[2],
                                                           const int32_t (&x_end)[2]) {
  const GroupConstants& c = *f.c;
  const SpanStart start[2] = {StartOfSpanAvx2(t, y[0], x_begin[0]),
                              StartOfSpanAvx2(t, y[1], x_begin[1])};
  const __m256 k = _mm256_setr_ps(0, 1, 2, 3, 0, 1, 2, 3);
  uint16_t* colour[2];
  uint16_t* depth[2] = {nullptr, nullptr};
  for (int i = 0; i < 2; ++i) {
    const std::ptrdiff_t offset = static_cast<std::ptrdiff_t>(y[i]) * t.stride_pixels + x_begin[i];
    colour[i] = t.colour + offset;
    if constexpr (kDepth) depth[i] = t.depth + offset;
  }

  const __m256 oow =
      _mm256_add_ps(Halves(start[0].oow, start[1].oow), _mm256_mul_ps(k, f.oow_step));
  const __m256 w = _mm256_div_ps(_mm256_castsi256_ps(c.one_float), oow);
  PassLanes pass =
      JoinHalves(FirstPixels(x_end[0] - x_begin[0]), FirstPixels(x_end[1] - x_begin[1]));
  __m128i new_depth = _mm_setzero_si128();
  if constexpr (kDepth) {
    new_depth = Depth16(WDepth8(w, c));
    const __m128i stored =
        _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(depth[0])),
                           _mm_loadl_epi64(reinterpret_cast<const __m128i*>(depth[1])));
    pass = KeepNearer(pass, new_depth, stored);
  }
  if (NoPixels(pass)) return;

  __m256i colour_blue_red;
  __m128i colour_green;
  if constexpr (!kIterated) {
    colour_blue_red = f.constant_blue_red;
    colour_green = f.constant_green;
  } else {
    ColourWords(HalvesStepped(start[0].red, start[1].red, f.red_lanes),
                HalvesStepped(start[0].green, start[1].green, f.green_lanes),
                HalvesStepped(start[0].blue, start[1].blue, f.blue_lanes), c, &colour_blue_red,
                &colour_green);
  }

  const __m256 sow =
      _mm256_add_ps(Halves(start[0].sow, start[1].sow), _mm256_mul_ps(k, f.sow_step));
  const __m256 tow =
      _mm256_add_ps(Halves(start[0].tow, start[1].tow), _mm256_mul_ps(k, f.tow_step));
  const __m256i u16 =
      Floor8(_mm256_sub_ps(_mm256_mul_ps(_mm256_mul_ps(sow, w), f.level0_scale), f.bias), c);
  const __m256i v16 =
      Floor8(_mm256_sub_ps(_mm256_mul_ps(_mm256_mul_ps(tow, w), f.level0_scale), f.bias), c);
  const __m256i x0 = _mm256_and_si256(_mm256_srai_epi32(u16, 4), f.level0_width_mask);
  const __m256i y0 = _mm256_sll_epi32(
      _mm256_and_si256(_mm256_srai_epi32(v16, 4), f.level0_height_mask), f.level0_row_shift);
  __m256i texel_blue_red;
  __m128i texel_green;
  BilinearFromQuads(f.texture->levels[0].quads, _mm256_add_epi32(y0, x0), u16, v16, c,
                    &texel_blue_red, &texel_green);
  ScaleByTexel(texel_blue_red, texel_green, c, &colour_blue_red, &colour_green);

  // The dither thresholds of each row's first four pixels.
  const auto* thresholds = t.dither->thresholds;
  const __m128i row_thresholds = _mm_unpacklo_epi64(
      _mm_load_si128(reinterpret_cast<const __m128i*>(thresholds[y[0] & 3][x_begin[0] & 3])),
      _mm_load_si128(reinterpret_cast<const __m128i*>(thresholds[y[1] & 3][x_begin[1] & 3])));
  const __m256i threshold_odd = _mm256_srli_epi16(_mm256_broadcastsi128_si256(row_thresholds), 11);
  const __m128i packed = DitheredPixels(colour_blue_red, colour_green, f, threshold_odd);
  const PassLanes lower = JoinHalves(pass, FirstPixels(0));
  const PassLanes upper = UpperHalf(pass);
  StorePixels(colour[0], packed, lower);
  StorePixels(colour[1], _mm_srli_si128(packed, 8), upper);
  if constexpr (kDepth) {
    StorePixels(depth[0], new_depth, lower);
    StorePixels(depth[1], _mm_srli_si128(new_depth, 8), upper);
  }
}

// The walk of a plain triangle with quad texels: where a row and the next
// both span at most four pixels, the two share one group.
template <bool kIterated, bool kDepth>
void DrawPairedRows(const TriangleSetup& t, const TriangleFixed& f, TriangleRows& rows) {
  int64_t row = rows.first_row;
  while (row <= rows.last_row) {
    int64_t begin, end;
    const bool covered = rows.Span(&begin, &end);
    rows.Advance(row);
    if (!covered) {
      ++row;
      continue;
    }
    if (end - begin <= 4 && row < rows.last_row) {
      int64_t next_begin, next_end;
      if (rows.Span(&next_begin, &next_end) && next_end - next_begin <= 4) {
        const int32_t y[2] = {static_cast<int32_t>(row), static_cast<int32_t>(row + 1)};
        const int32_t x_begin[2] = {static_cast<int32_t>(begin), static_cast<int32_t>(next_begin)};
        const int32_t x_end[2] = {static_cast<int32_t>(end), static_cast<int32_t>(next_end)};
        PairedSpansAvx2<kIterated, kDepth>(t, f, y, x_begin, x_end);
        rows.Advance(row + 1);
        row += 2;
        continue;
      }
    }
    SpanAvx2<kIterated, kQuadTexture, kDepth, true>(
        t, f, static_cast<int32_t>(row), static_cast<int32_t>(begin), static_cast<int32_t>(end));
    ++row;
  }
}

template <bool kIterated, int kTexture, bool kDepth, bool kPlain>
void DrawTriangleAvx2(const TriangleSetup& t, const TriangleRows& walk) {
  TriangleRows rows = walk;  // a local walk keeps its steppers in registers
  constexpr bool kBilinear = kTexture == kBilinearTexture || kTexture == kQuadTexture;
  const TriangleFixed f =
      FixedOver<kIterated, kTexture != kNoTexture, kBilinear, kDepth, kPlain>(t);
  if constexpr (kTexture == kQuadTexture && kPlain) {
    DrawPairedRows<kIterated, kDepth>(t, f, rows);
    return;
  }
  for (int64_t row = rows.first_row; row <= rows.last_row; ++row) {
    int64_t begin, end;
    if (rows.Span(&begin, &end)) {
      SpanAvx2<kIterated, kTexture, kDepth, kPlain>(
          t, f, static_cast<int32_t>(row), static_cast<int32_t>(begin), static_cast<int32_t>(end));
    }
    rows.Advance(row);
  }
}

template <bool kIterated, int kTexture, bool kDepth>
TriangleDrawer ForPlain(bool plain) {
  return plain ? &DrawTriangleAvx2<kIterated, kTexture, kDepth, true>
               : &DrawTriangleAvx2<kIterated, kTexture, kDepth, false>;
}

template <bool kIterated, int kTexture>
TriangleDrawer TriangleForDepth(bool depth, bool plain) {
  return depth ? ForPlain<kIterated, kTexture, true>(plain)
               : ForPlain<kIterated, kTexture, false>(plain);
}

template <bool kIterated>
TriangleDrawer TriangleForTexture(int texture, bool depth, bool plain) {
  if (texture == kQuadTexture) {
    // Quads serve the plain state only.
    return depth ? &DrawTriangleAvx2<kIterated, kQuadTexture, true, true>
                 : &DrawTriangleAvx2<kIterated, kQuadTexture, false, true>;
  }
  if (texture == kBilinearTexture) {
    return TriangleForDepth<kIterated, kBilinearTexture>(depth, plain);
  }
  if (texture == kPointTexture) return TriangleForDepth<kIterated, kPointTexture>(depth, plain);
  return TriangleForDepth<kIterated, kNoTexture>(depth, plain);
}

// The drawer for the state, or null where it needs another path (depth
// functions other than LESS stay with the SSE2 path).
TriangleDrawer DrawerFor(const BoardRenderState& state, bool has_depth_buffer) {
  const bool depth = state.depth != DepthSource::kNone && has_depth_buffer;
  if (depth && state.depth_function != GR_CMP_LESS) return nullptr;
  int texture = kNoTexture;
  if (state.textured) texture = state.bilinear ? kBilinearTexture : kPointTexture;
  const bool plain = !state.chromakey && !state.clamp_s && !state.clamp_t &&
                     !(state.mipmapping && state.texture.level_count > 1) &&
                     (!depth || (state.depth_write && state.depth == DepthSource::kWBuffer));
  if (plain && texture == kBilinearTexture && state.texture.level_count > 0 &&
      state.texture.levels[0].quads) {
    texture = kQuadTexture;
  }
  if (state.colour == ColourSource::kIterated) {
    return TriangleForTexture<true>(texture, depth, plain);
  }
  return TriangleForTexture<false>(texture, depth, plain);
}
