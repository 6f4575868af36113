// The WebAssembly pixel pipeline of the web build: whole triangles, eight
// pixels a group, in WebAssembly's own 128-bit vector instructions. The SSE2
// path also compiles there, but through a translation layer in which many
// of its instructions become several; here every step is one the browser
// turns into one or two machine instructions, and a bilinear sample is one
// read of its quad texel (texture_memory.h) instead of four. It computes
// the same values with the same float operations in the same order as the
// SSE2 path and the portable loop (span_pipeline.cpp), so it draws the same
// pixels and depths. States it does not cover (depth functions other than
// LESS, textures without quad texels, clamped coordinates) stay with the
// span drawers.
#include <cstddef>
#include <cstdint>

#include "board/glide.h"
#include "board/render_state.h"
#include "board/span_pipeline.h"
#include "board/texture_memory.h"

#if defined(__wasm_simd128__)

#include <wasm_simd128.h>

namespace {

// floor() of four texel positions as span_groups::Floor4 takes it: clamped
// to +-1e9 first, NaN becoming -1e9 (the pseudo-minimum and -maximum keep
// the bound where a comparison with NaN fails, as SSE2's minps and maxps).
inline v128_t Floor4(v128_t value) {
  const v128_t clamped =
      wasm_f32x4_pmin(wasm_f32x4_splat(1.0e9f), wasm_f32x4_pmax(wasm_f32x4_splat(-1.0e9f), value));
  return wasm_i32x4_trunc_sat_f32x4(wasm_f32x4_floor(clamped));
}

// WBufferDepth of four lanes before the saturation to 16 bits.
inline v128_t WDepth4(v128_t w) {
  const v128_t near = wasm_i32x4_lt(w, wasm_i32x4_splat(0x3F800000));
  const v128_t depth = wasm_i32x4_sub(wasm_u32x4_shr(w, 11), wasm_i32x4_splat(127 << 12));
  return wasm_v128_andnot(depth, near);
}

// ZBufferDepth of four lanes: 0 unless ooz > 0, 0xFFFF from 65535, else
// truncated.
inline v128_t ZDepth4(v128_t ooz) {
  const v128_t positive = wasm_f32x4_gt(ooz, wasm_f32x4_splat(0.0f));
  const v128_t far = wasm_f32x4_ge(ooz, wasm_f32x4_splat(65535.0f));
  const v128_t depth =
      wasm_v128_bitselect(wasm_i32x4_splat(0xFFFF), wasm_i32x4_trunc_sat_f32x4(ooz), far);
  return wasm_v128_and(depth, positive);
}

// 12.12 colours of eight pixels to 0..255 in 16-bit lanes, as the SSE2
// path's saturating packs.
inline v128_t ColourWords(v128_t low, v128_t high) {
  const v128_t words = wasm_i16x8_narrow_i32x4(wasm_i32x4_shr(low, 12), wasm_i32x4_shr(high, 12));
  return wasm_i16x8_min(wasm_i16x8_max(words, wasm_i16x8_splat(0)), wasm_i16x8_splat(255));
}

// floor((v x factor + threshold) / 65536) of eight 16-bit lanes (DitherChannel),
// the thresholds widened to 32 bits.
inline v128_t Dither8(v128_t value, v128_t factor, v128_t threshold_low, v128_t threshold_high) {
  const v128_t low = wasm_i32x4_add(wasm_u32x4_extmul_low_u16x8(value, factor), threshold_low);
  const v128_t high = wasm_i32x4_add(wasm_u32x4_extmul_high_u16x8(value, factor), threshold_high);
  return wasm_u16x8_narrow_i32x4(wasm_u32x4_shr(low, 16), wasm_u32x4_shr(high, 16));
}

// The sums of the four weighted texels of one channel of four pixels, from
// their bytes as 16-bit lanes (the four texels of pixels 0 and 1 in pair01,
// of 2 and 3 in pair23) and the weights laid out alike: each sum is exact.
inline v128_t ChannelSums(v128_t pair01, v128_t pair23, v128_t weights01, v128_t weights23) {
  const v128_t halves01 = wasm_i32x4_dot_i16x8(pair01, weights01);  // 0: 0+1, 2+3; 1: ...
  const v128_t halves23 = wasm_i32x4_dot_i16x8(pair23, weights23);
  return wasm_i32x4_add(wasm_i32x4_shuffle(halves01, halves23, 0, 2, 4, 6),
                        wasm_i32x4_shuffle(halves01, halves23, 1, 3, 5, 7));
}

// The bilinear samples of four pixels from their quad texels at address
// (texel indices) and their 1/16-texel positions u16, v16: per channel the
// sum of texel x weight with the 4-bit weights of the other paths, each in
// a 32-bit lane, before the division by 256.
inline void BilinearFromQuads4(const QuadTexel* quads, v128_t address, v128_t u16, v128_t v16,
                               v128_t* blue, v128_t* green, v128_t* red) {
  const v128_t fifteen = wasm_i32x4_splat(15);
  const v128_t sixteen = wasm_i32x4_splat(16);
  const v128_t fx = wasm_v128_and(u16, fifteen);
  const v128_t fy = wasm_v128_and(v16, fifteen);
  const v128_t gx = wasm_i32x4_sub(sixteen, fx);
  const v128_t gy = wasm_i32x4_sub(sixteen, fy);
  // Weights of the texels here, right, above, above right: at most 256.
  const v128_t here_right = wasm_i16x8_narrow_i32x4(wasm_i32x4_mul(gx, gy), wasm_i32x4_mul(fx, gy));
  const v128_t above = wasm_i16x8_narrow_i32x4(wasm_i32x4_mul(gx, fy), wasm_i32x4_mul(fx, fy));
  // Per pixel its four weights, pixels 0 and 1 in one vector, 2 and 3 in the other.
  const v128_t weights01 = wasm_i16x8_shuffle(here_right, above, 0, 4, 8, 12, 1, 5, 9, 13);
  const v128_t weights23 = wasm_i16x8_shuffle(here_right, above, 2, 6, 10, 14, 3, 7, 11, 15);
  const v128_t q0 = wasm_v128_load(quads + wasm_i32x4_extract_lane(address, 0));
  const v128_t q1 = wasm_v128_load(quads + wasm_i32x4_extract_lane(address, 1));
  const v128_t q2 = wasm_v128_load(quads + wasm_i32x4_extract_lane(address, 2));
  const v128_t q3 = wasm_v128_load(quads + wasm_i32x4_extract_lane(address, 3));
  // Each quad is the dwords blue, green, red, 0 (four texels' bytes each).
  const v128_t blue_green01 = wasm_i32x4_shuffle(q0, q1, 0, 4, 1, 5);
  const v128_t blue_green23 = wasm_i32x4_shuffle(q2, q3, 0, 4, 1, 5);
  const v128_t red01 = wasm_i32x4_shuffle(q0, q1, 2, 6, 2, 6);
  const v128_t red23 = wasm_i32x4_shuffle(q2, q3, 2, 6, 2, 6);
  *blue = ChannelSums(wasm_u16x8_extend_low_u8x16(blue_green01),
                      wasm_u16x8_extend_low_u8x16(blue_green23), weights01, weights23);
  *green = ChannelSums(wasm_u16x8_extend_high_u8x16(blue_green01),
                       wasm_u16x8_extend_high_u8x16(blue_green23), weights01, weights23);
  *red = ChannelSums(wasm_u16x8_extend_low_u8x16(red01), wasm_u16x8_extend_low_u8x16(red23),
                     weights01, weights23);
}

// Pixels x_begin .. x_end - 1 of row y, eight at a time.
template <bool kIterated, bool kTextured, bool kDepth>
void SpanWasm(const TriangleSetup& t, int32_t y, int32_t x_begin, int32_t x_end) {
  const BoardRenderState& state = *t.state;
  const BoundTexture& texture = *t.texture;
  uint16_t* colour_row = t.colour + static_cast<std::ptrdiff_t>(y) * t.stride_pixels;
  uint16_t* depth_row =
      kDepth ? t.depth + static_cast<std::ptrdiff_t>(y) * t.stride_pixels : nullptr;
  const bool depth_write = kDepth && state.depth_write;
  const bool w_depth = state.depth == DepthSource::kWBuffer;
  const bool chromakey = state.chromakey;
  const bool choose_level = kTextured && state.mipmapping && texture.level_count > 1;
  const SpanStart start = StartOfSpan(t, y, x_begin, kIterated, kTextured, kDepth);

  const v128_t oow_start = wasm_f32x4_splat(start.oow);
  const v128_t oow_step = wasm_f32x4_splat(start.oow_step);
  const v128_t sow_start = wasm_f32x4_splat(start.sow);
  const v128_t sow_step = wasm_f32x4_splat(start.sow_step);
  const v128_t tow_start = wasm_f32x4_splat(start.tow);
  const v128_t tow_step = wasm_f32x4_splat(start.tow_step);
  const v128_t ooz_start = wasm_f32x4_splat(start.ooz);
  const v128_t ooz_step = wasm_f32x4_splat(start.ooz_step);
  const v128_t bias = wasm_f32x4_splat(8.0f);
  const v128_t thresholds = wasm_v128_load(t.dither->thresholds[y & 3][x_begin & 3]);
  const v128_t threshold_low = wasm_u32x4_extend_low_u16x8(thresholds);
  const v128_t threshold_high = wasm_u32x4_extend_high_u16x8(thresholds);
  const v128_t red_blue_factor = wasm_i16x8_splat(static_cast<int16_t>(t.dither->red_factor));
  const v128_t green_factor = wasm_i16x8_splat(static_cast<int16_t>(t.dither->green_factor));
  const v128_t lane_numbers = wasm_i16x8_make(0, 1, 2, 3, 4, 5, 6, 7);

  // Colours: 12.12 values of pixels 0-3 (low) and 4-7 (high) of the group.
  v128_t colour_low[3], colour_high[3], colour_step8[3];
  if constexpr (kIterated) {
    const int32_t starts[3] = {start.red, start.green, start.blue};
    const int32_t steps[3] = {start.red_step, start.green_step, start.blue_step};
    for (int c = 0; c < 3; ++c) {
      const int32_t s = steps[c];
      colour_low[c] =
          wasm_i32x4_add(wasm_i32x4_splat(starts[c]), wasm_i32x4_make(0, s, 2 * s, 3 * s));
      colour_high[c] = wasm_i32x4_add(colour_low[c], wasm_i32x4_splat(4 * s));
      colour_step8[c] = wasm_i32x4_splat(8 * s);
    }
  }

  v128_t k = wasm_f32x4_make(0, 1, 2, 3);  // pixel offsets in the span of lanes 0-3
  const v128_t four = wasm_f32x4_splat(4.0f);
  const v128_t eight = wasm_f32x4_splat(8.0f);
  const TextureLevel* level = &texture.levels[0];
  for (int32_t group = x_begin; group < x_end; group += kGroupPixels) {
    const int32_t count = x_end - group;
    const v128_t k_high = wasm_f32x4_add(k, four);
    v128_t w_low = oow_start, w_high = oow_start;
    if constexpr (kTextured || kDepth) {
      w_low = wasm_f32x4_div(wasm_f32x4_splat(1.0f),
                             wasm_f32x4_add(oow_start, wasm_f32x4_mul(k, oow_step)));
      w_high = wasm_f32x4_div(wasm_f32x4_splat(1.0f),
                              wasm_f32x4_add(oow_start, wasm_f32x4_mul(k_high, oow_step)));
    }
    v128_t pass = wasm_i16x8_lt(lane_numbers, wasm_i16x8_splat(static_cast<int16_t>(count)));
    v128_t new_depth = wasm_i16x8_splat(0);
    if constexpr (kDepth) {
      if (w_depth) {
        new_depth = wasm_u16x8_narrow_i32x4(WDepth4(w_low), WDepth4(w_high));
      } else {
        new_depth = wasm_u16x8_narrow_i32x4(
            ZDepth4(wasm_f32x4_add(ooz_start, wasm_f32x4_mul(k, ooz_step))),
            ZDepth4(wasm_f32x4_add(ooz_start, wasm_f32x4_mul(k_high, ooz_step))));
      }
      pass = wasm_v128_and(pass, wasm_u16x8_lt(new_depth, wasm_v128_load(depth_row + group)));
    }
    v128_t red, green, blue;
    if constexpr (kIterated) {
      red = ColourWords(colour_low[0], colour_high[0]);
      green = ColourWords(colour_low[1], colour_high[1]);
      blue = ColourWords(colour_low[2], colour_high[2]);
      for (int c = 0; c < 3; ++c) {
        colour_low[c] = wasm_i32x4_add(colour_low[c], colour_step8[c]);
        colour_high[c] = wasm_i32x4_add(colour_high[c], colour_step8[c]);
      }
    } else {
      red = wasm_i16x8_splat(t.constant_red);
      green = wasm_i16x8_splat(t.constant_green);
      blue = wasm_i16x8_splat(t.constant_blue);
    }
    if (!wasm_v128_any_true(pass)) {
      k = wasm_f32x4_add(k, eight);
      continue;
    }

    if constexpr (kTextured) {
      if (choose_level) {
        const auto first = static_cast<float>(group - x_begin);
        level = &texture.levels[MipmapLevel(t, texture, start.oow + first * start.oow_step,
                                            start.sow + first * start.sow_step,
                                            start.tow + first * start.tow_step)];
      }
      const v128_t scale = wasm_f32x4_splat(level->texels_per_s_unit * 16.0f);
      const v128_t width_mask = wasm_i32x4_splat(level->width_mask);
      const v128_t height_mask = wasm_i32x4_splat(level->height_mask);
      v128_t sums[2][3];  // blue, green, red of pixels 0-3 and 4-7
      const v128_t ks[2] = {k, k_high};
      const v128_t ws[2] = {w_low, w_high};
      for (int half = 0; half < 2; ++half) {
        const v128_t sow = wasm_f32x4_add(sow_start, wasm_f32x4_mul(ks[half], sow_step));
        const v128_t tow = wasm_f32x4_add(tow_start, wasm_f32x4_mul(ks[half], tow_step));
        const v128_t u16 =
            Floor4(wasm_f32x4_sub(wasm_f32x4_mul(wasm_f32x4_mul(sow, ws[half]), scale), bias));
        const v128_t v16 =
            Floor4(wasm_f32x4_sub(wasm_f32x4_mul(wasm_f32x4_mul(tow, ws[half]), scale), bias));
        const v128_t x0 = wasm_v128_and(wasm_i32x4_shr(u16, 4), width_mask);
        const v128_t y0 = wasm_i32x4_shl(wasm_v128_and(wasm_i32x4_shr(v16, 4), height_mask),
                                         static_cast<uint32_t>(level->width_log2));
        BilinearFromQuads4(level->quads, wasm_i32x4_add(y0, x0), u16, v16, &sums[half][0],
                           &sums[half][1], &sums[half][2]);
      }
      // The weights sum to 256: the sample is the sum's high byte.
      const auto texel = [&](int c) {
        return wasm_u16x8_shr(wasm_u16x8_narrow_i32x4(sums[0][c], sums[1][c]), 8);
      };
      // texel x (colour + 1) / 256: a full texel times a full colour stays full.
      const v128_t one = wasm_i16x8_splat(1);
      blue = wasm_u16x8_shr(wasm_i16x8_mul(texel(0), wasm_i16x8_add(blue, one)), 8);
      green = wasm_u16x8_shr(wasm_i16x8_mul(texel(1), wasm_i16x8_add(green, one)), 8);
      red = wasm_u16x8_shr(wasm_i16x8_mul(texel(2), wasm_i16x8_add(red, one)), 8);
    }
    if (chromakey) {
      const uint32_t key = state.chromakey_rgb;
      const v128_t keyed = wasm_v128_and(
          wasm_v128_and(
              wasm_i16x8_eq(red, wasm_i16x8_splat(static_cast<int16_t>((key >> 16) & 0xFF))),
              wasm_i16x8_eq(green, wasm_i16x8_splat(static_cast<int16_t>((key >> 8) & 0xFF)))),
          wasm_i16x8_eq(blue, wasm_i16x8_splat(static_cast<int16_t>(key & 0xFF))));
      pass = wasm_v128_andnot(pass, keyed);
    }
    const v128_t red5 = Dither8(red, red_blue_factor, threshold_low, threshold_high);
    const v128_t green6 = Dither8(green, green_factor, threshold_low, threshold_high);
    const v128_t blue5 = Dither8(blue, red_blue_factor, threshold_low, threshold_high);
    const v128_t packed =
        wasm_v128_or(wasm_v128_or(wasm_i16x8_shl(red5, 11), wasm_i16x8_shl(green6, 5)), blue5);
    uint16_t* colour = colour_row + group;
    wasm_v128_store(colour, wasm_v128_bitselect(packed, wasm_v128_load(colour), pass));
    if (depth_write) {
      uint16_t* depth = depth_row + group;
      wasm_v128_store(depth, wasm_v128_bitselect(new_depth, wasm_v128_load(depth), pass));
    }
    k = wasm_f32x4_add(k, eight);
  }
}

template <bool kIterated, bool kTextured, bool kDepth>
void DrawTriangleWasm(const TriangleSetup& t, const TriangleRows& walk) {
  TriangleRows rows = walk;  // a local walk keeps its steppers in registers
  for (int64_t row = rows.first_row; row <= rows.last_row; ++row) {
    int64_t begin, end;
    if (rows.Span(&begin, &end)) {
      SpanWasm<kIterated, kTextured, kDepth>(
          t, static_cast<int32_t>(row), static_cast<int32_t>(begin), static_cast<int32_t>(end));
    }
    rows.Advance(row);
  }
}

template <bool kIterated, bool kTextured>
TriangleDrawer ForDepth(bool depth) {
  return depth ? &DrawTriangleWasm<kIterated, kTextured, true>
               : &DrawTriangleWasm<kIterated, kTextured, false>;
}

}  // namespace

TriangleDrawer SelectTriangleDrawerWasm(const BoardRenderState& state, bool has_depth_buffer) {
  if (state.pixel_path != PixelPath::kFastest) return nullptr;
  const bool depth = state.depth != DepthSource::kNone && has_depth_buffer;
  if (depth && state.depth_function != GR_CMP_LESS) return nullptr;
  const bool textured = state.textured;
  if (textured && (!state.bilinear || state.clamp_s || state.clamp_t ||
                   state.texture.level_count == 0 || !state.texture.levels[0].quads)) {
    return nullptr;
  }
  if (state.colour == ColourSource::kIterated) {
    return textured ? ForDepth<true, true>(depth) : ForDepth<true, false>(depth);
  }
  return textured ? ForDepth<false, true>(depth) : ForDepth<false, false>(depth);
}

#else

TriangleDrawer SelectTriangleDrawerWasm(const BoardRenderState&, bool) {
  return nullptr;
}

#endif
