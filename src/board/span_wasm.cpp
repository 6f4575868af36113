// The WebAssembly pixel pipeline of the web build: whole triangles, eight
// pixels a group, in WebAssembly's own 128-bit vector instructions. The SSE2
// path also compiles there, but through a translation layer in which many
// of its instructions become several; here most steps are single machine
// instructions once the browser has compiled them, what stays fixed over a
// triangle is set up once, and a bilinear sample is one read of its quad
// texel (texture_memory.h) instead of four. It computes the same values
// with the same float operations in the same order as the SSE2 path and the
// portable loop (span_pipeline.cpp), so it draws the same pixels and
// depths. States it does not cover (depth functions other than LESS, point
// sampling, textures without quad texels, clamped coordinates) stay with
// the span drawers.
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

// Four pixels' channel sums from their quad texels (each the dwords blue,
// green, red, 0 of four texels' bytes) at texel indices address.
inline void QuadSums4(const QuadTexel* quads, v128_t address, v128_t weights01, v128_t weights23,
                      v128_t* blue, v128_t* green, v128_t* red) {
  const v128_t q0 = wasm_v128_load(quads + wasm_i32x4_extract_lane(address, 0));
  const v128_t q1 = wasm_v128_load(quads + wasm_i32x4_extract_lane(address, 1));
  const v128_t q2 = wasm_v128_load(quads + wasm_i32x4_extract_lane(address, 2));
  const v128_t q3 = wasm_v128_load(quads + wasm_i32x4_extract_lane(address, 3));
  const v128_t blue_green01 = wasm_i32x4_shuffle(q0, q1, 0, 4, 1, 5);
  const v128_t blue_green23 = wasm_i32x4_shuffle(q2, q3, 0, 4, 1, 5);
  const v128_t red01 = wasm_i32x4_shuffle(q0, q1, 2, 6, 3, 7);
  const v128_t red23 = wasm_i32x4_shuffle(q2, q3, 2, 6, 3, 7);
  *blue = ChannelSums(wasm_u16x8_extend_low_u8x16(blue_green01),
                      wasm_u16x8_extend_low_u8x16(blue_green23), weights01, weights23);
  *green = ChannelSums(wasm_u16x8_extend_high_u8x16(blue_green01),
                       wasm_u16x8_extend_high_u8x16(blue_green23), weights01, weights23);
  *red = ChannelSums(wasm_u16x8_extend_low_u8x16(red01), wasm_u16x8_extend_low_u8x16(red23),
                     weights01, weights23);
}

// The bilinear samples of eight pixels from their quad texels at
// address_low (pixels 0-3) and address_high (4-7), with fx and fy their
// 1/16-texel fractions in 16-bit lanes: the 4-bit weights of the other
// paths, each channel's weighted sum exact and divided by 256, in 16-bit
// lanes. Without both_halves, only pixels 0-3 are sampled.
inline void BilinearFromQuads8(const QuadTexel* quads, v128_t address_low, v128_t address_high,
                               v128_t fx, v128_t fy, bool both_halves, v128_t* blue, v128_t* green,
                               v128_t* red) {
  const v128_t sixteen = wasm_i16x8_splat(16);
  const v128_t gx = wasm_i16x8_sub(sixteen, fx);
  const v128_t gy = wasm_i16x8_sub(sixteen, fy);
  // Weights of the texels here, right, above, above right: at most 256.
  const v128_t here = wasm_i16x8_mul(gx, gy);
  const v128_t right = wasm_i16x8_mul(fx, gy);
  const v128_t above = wasm_i16x8_mul(gx, fy);
  const v128_t above_right = wasm_i16x8_mul(fx, fy);
  // Per pixel its four weights, two pixels a vector.
  const v128_t lower_low = wasm_i16x8_shuffle(here, right, 0, 8, 1, 9, 2, 10, 3, 11);
  const v128_t lower_high = wasm_i16x8_shuffle(here, right, 4, 12, 5, 13, 6, 14, 7, 15);
  const v128_t upper_low = wasm_i16x8_shuffle(above, above_right, 0, 8, 1, 9, 2, 10, 3, 11);
  const v128_t upper_high = wasm_i16x8_shuffle(above, above_right, 4, 12, 5, 13, 6, 14, 7, 15);
  v128_t sums[2][3];
  QuadSums4(quads, address_low, wasm_i32x4_shuffle(lower_low, upper_low, 0, 4, 1, 5),
            wasm_i32x4_shuffle(lower_low, upper_low, 2, 6, 3, 7), &sums[0][0], &sums[0][1],
            &sums[0][2]);
  if (both_halves) {
    QuadSums4(quads, address_high, wasm_i32x4_shuffle(lower_high, upper_high, 0, 4, 1, 5),
              wasm_i32x4_shuffle(lower_high, upper_high, 2, 6, 3, 7), &sums[1][0], &sums[1][1],
              &sums[1][2]);
  } else {
    sums[1][0] = sums[1][1] = sums[1][2] = sums[0][0];
  }
  // The weights sum to 256: the sample is the sum's high byte.
  *blue = wasm_u16x8_shr(wasm_u16x8_narrow_i32x4(sums[0][0], sums[1][0]), 8);
  *green = wasm_u16x8_shr(wasm_u16x8_narrow_i32x4(sums[0][1], sums[1][1]), 8);
  *red = wasm_u16x8_shr(wasm_u16x8_narrow_i32x4(sums[0][2], sums[1][2]), 8);
}

// What stays fixed over one triangle, in vectors.
struct TriangleFixed {
  v128_t oow_step, sow_step, tow_step, ooz_step;
  v128_t colour_lanes[3];  // steps 0-3 of red, green, blue (12.12)
  v128_t colour_step4[3], colour_step8[3];
  v128_t red_blue_factor, green_factor;
  v128_t constant_red, constant_green, constant_blue;
  v128_t key_red, key_green, key_blue;
  bool depth_write, w_depth, chromakey, choose_level;
};

template <bool kIterated>
TriangleFixed FixedOver(const TriangleSetup& t) {
  const BoardRenderState& state = *t.state;
  TriangleFixed f;
  const ScreenPlanes& p = t.planes;
  f.oow_step = wasm_f32x4_splat(static_cast<float>(p.per_x[kOowPlane]));
  f.sow_step = wasm_f32x4_splat(static_cast<float>(p.per_x[kSowPlane]));
  f.tow_step = wasm_f32x4_splat(static_cast<float>(p.per_x[kTowPlane]));
  f.ooz_step = wasm_f32x4_splat(static_cast<float>(p.per_x[kOozPlane]));
  if constexpr (kIterated) {
    const int32_t steps[3] = {t.red_step, t.green_step, t.blue_step};
    for (int c = 0; c < 3; ++c) {
      const int32_t s = steps[c];
      f.colour_lanes[c] = wasm_i32x4_make(0, s, 2 * s, 3 * s);
      f.colour_step4[c] = wasm_i32x4_splat(4 * s);
      f.colour_step8[c] = wasm_i32x4_splat(8 * s);
    }
  }
  f.red_blue_factor = wasm_i16x8_splat(static_cast<int16_t>(t.dither->red_factor));
  f.green_factor = wasm_i16x8_splat(static_cast<int16_t>(t.dither->green_factor));
  f.constant_red = wasm_i16x8_splat(t.constant_red);
  f.constant_green = wasm_i16x8_splat(t.constant_green);
  f.constant_blue = wasm_i16x8_splat(t.constant_blue);
  const uint32_t key = state.chromakey_rgb;
  f.key_red = wasm_i16x8_splat(static_cast<int16_t>((key >> 16) & 0xFF));
  f.key_green = wasm_i16x8_splat(static_cast<int16_t>((key >> 8) & 0xFF));
  f.key_blue = wasm_i16x8_splat(static_cast<int16_t>(key & 0xFF));
  f.depth_write = state.depth_write;
  f.w_depth = state.depth == DepthSource::kWBuffer;
  f.chromakey = state.chromakey;
  f.choose_level = state.mipmapping && t.texture->level_count > 1;
  return f;
}

// A span's start as StartOfSpan (span_pipeline.h) computes it, two planes
// per instruction: each plane is at_origin + per_x cx + per_y cy in the
// same order, colours are clamped, scaled and rounded half away from zero
// the same way, and the float values round to nearest as static_cast does.
struct VectorStart {
  v128_t colours;  // red, green, blue, (ooz) as 12.12 integers
  float oow, sow, tow, ooz;
};

inline VectorStart StartOfSpanWasm(const TriangleSetup& t, int32_t y, int32_t x_begin) {
  const v128_t cx = wasm_f64x2_splat(x_begin + 0.5);
  const v128_t cy = wasm_f64x2_splat(y + 0.5);
  const ScreenPlanes& p = t.planes;
  const auto planes = [&](int first) {
    return wasm_f64x2_add(wasm_f64x2_add(wasm_v128_load(p.at_origin + first),
                                         wasm_f64x2_mul(wasm_v128_load(p.per_x + first), cx)),
                          wasm_f64x2_mul(wasm_v128_load(p.per_y + first), cy));
  };
  const v128_t red_green = planes(kRedPlane);
  const v128_t blue_ooz = planes(kBluePlane);
  const v128_t alpha_oow = planes(kAlphaPlane);
  const v128_t sow_tow = planes(kSowPlane);
  // ToColourFixed: NaN gives 0.
  const auto fixed = [](v128_t value) {
    const v128_t known = wasm_v128_and(value, wasm_f64x2_eq(value, value));
    const v128_t clamped = wasm_f64x2_pmin(wasm_f64x2_splat(131072.0),
                                           wasm_f64x2_pmax(wasm_f64x2_splat(-131072.0), known));
    const v128_t scaled = wasm_f64x2_mul(clamped, wasm_f64x2_splat(4096.0));
    const v128_t half =
        wasm_v128_or(wasm_v128_and(scaled, wasm_f64x2_splat(-0.0)), wasm_f64x2_splat(0.5));
    return wasm_i32x4_trunc_sat_f64x2_zero(wasm_f64x2_add(scaled, half));
  };
  VectorStart start;
  start.colours = wasm_i32x4_shuffle(fixed(red_green), fixed(blue_ooz), 0, 1, 4, 5);
  const v128_t floats = wasm_i32x4_shuffle(wasm_f32x4_demote_f64x2_zero(alpha_oow),
                                           wasm_f32x4_demote_f64x2_zero(sow_tow), 1, 4, 5, 0);
  start.oow = wasm_f32x4_extract_lane(floats, 0);
  start.sow = wasm_f32x4_extract_lane(floats, 1);
  start.tow = wasm_f32x4_extract_lane(floats, 2);
  start.ooz = wasm_f32x4_extract_lane(wasm_f32x4_demote_f64x2_zero(blue_ooz), 1);
  return start;
}

// Pixels x_begin .. x_end - 1 of row y, eight at a time.
template <bool kIterated, bool kTextured, bool kDepth>
__attribute__((always_inline)) inline void SpanWasm(const TriangleSetup& t, const TriangleFixed& f,
                                                    int32_t y, int32_t x_begin, int32_t x_end) {
  const BoundTexture& texture = *t.texture;
  uint16_t* colour_row = t.colour + static_cast<std::ptrdiff_t>(y) * t.stride_pixels;
  uint16_t* depth_row =
      kDepth ? t.depth + static_cast<std::ptrdiff_t>(y) * t.stride_pixels : nullptr;
  const VectorStart start = StartOfSpanWasm(t, y, x_begin);
  const v128_t oow_start = wasm_f32x4_splat(start.oow);
  const v128_t sow_start = wasm_f32x4_splat(start.sow);
  const v128_t tow_start = wasm_f32x4_splat(start.tow);
  const v128_t ooz_start = wasm_f32x4_splat(start.ooz);
  const v128_t thresholds = wasm_v128_load(t.dither->thresholds[y & 3][x_begin & 3]);
  const v128_t threshold_low = wasm_u32x4_extend_low_u16x8(thresholds);
  const v128_t threshold_high = wasm_u32x4_extend_high_u16x8(thresholds);

  // Colours: 12.12 values of pixels 0-3 (low) and 4-7 (high) of the group.
  v128_t colour_low[3], colour_high[3];
  if constexpr (kIterated) {
    const v128_t starts[3] = {wasm_i32x4_shuffle(start.colours, start.colours, 0, 0, 0, 0),
                              wasm_i32x4_shuffle(start.colours, start.colours, 1, 1, 1, 1),
                              wasm_i32x4_shuffle(start.colours, start.colours, 2, 2, 2, 2)};
    for (int c = 0; c < 3; ++c) {
      colour_low[c] = wasm_i32x4_add(starts[c], f.colour_lanes[c]);
      colour_high[c] = wasm_i32x4_add(colour_low[c], f.colour_step4[c]);
    }
  }

  v128_t k = wasm_f32x4_make(0, 1, 2, 3);  // pixel offsets in the span of lanes 0-3
  const TextureLevel* level = &texture.levels[0];
  for (int32_t group = x_begin; group < x_end; group += kGroupPixels) {
    const int32_t count = x_end - group;
    const v128_t k_high = wasm_f32x4_add(k, wasm_f32x4_splat(4.0f));
    // A group that ends within its first four pixels skips the work of the
    // other four (their lanes are not written).
    const bool both_halves = count > 4;
    v128_t w_low = oow_start, w_high = oow_start;
    if constexpr (kTextured || kDepth) {
      w_low = wasm_f32x4_div(wasm_f32x4_splat(1.0f),
                             wasm_f32x4_add(oow_start, wasm_f32x4_mul(k, f.oow_step)));
      w_high = both_halves
                   ? wasm_f32x4_div(wasm_f32x4_splat(1.0f),
                                    wasm_f32x4_add(oow_start, wasm_f32x4_mul(k_high, f.oow_step)))
                   : w_low;
    }
    v128_t pass = wasm_i16x8_lt(wasm_i16x8_make(0, 1, 2, 3, 4, 5, 6, 7),
                                wasm_i16x8_splat(static_cast<int16_t>(count)));
    v128_t new_depth = wasm_i16x8_splat(0);
    if constexpr (kDepth) {
      if (f.w_depth) {
        new_depth = wasm_u16x8_narrow_i32x4(WDepth4(w_low), WDepth4(w_high));
      } else {
        new_depth = wasm_u16x8_narrow_i32x4(
            ZDepth4(wasm_f32x4_add(ooz_start, wasm_f32x4_mul(k, f.ooz_step))),
            ZDepth4(wasm_f32x4_add(ooz_start, wasm_f32x4_mul(k_high, f.ooz_step))));
      }
      pass = wasm_v128_and(pass, wasm_u16x8_lt(new_depth, wasm_v128_load(depth_row + group)));
    }
    v128_t red, green, blue;
    if constexpr (kIterated) {
      red = ColourWords(colour_low[0], colour_high[0]);
      green = ColourWords(colour_low[1], colour_high[1]);
      blue = ColourWords(colour_low[2], colour_high[2]);
      for (int c = 0; c < 3; ++c) {
        colour_low[c] = wasm_i32x4_add(colour_low[c], f.colour_step8[c]);
        colour_high[c] = wasm_i32x4_add(colour_high[c], f.colour_step8[c]);
      }
    } else {
      red = f.constant_red;
      green = f.constant_green;
      blue = f.constant_blue;
    }
    if (!wasm_v128_any_true(pass)) {
      k = wasm_f32x4_add(k, wasm_f32x4_splat(8.0f));
      continue;
    }

    if constexpr (kTextured) {
      if (f.choose_level) {
        const auto first = static_cast<float>(group - x_begin);
        const auto oow_step = static_cast<float>(t.planes.per_x[kOowPlane]);
        const auto sow_step = static_cast<float>(t.planes.per_x[kSowPlane]);
        const auto tow_step = static_cast<float>(t.planes.per_x[kTowPlane]);
        level =
            &texture
                 .levels[MipmapLevel(t, texture, start.oow + first * oow_step,
                                     start.sow + first * sow_step, start.tow + first * tow_step)];
      }
      const v128_t scale = wasm_f32x4_splat(level->texels_per_s_unit * 16.0f);
      const v128_t bias = wasm_f32x4_splat(8.0f);
      const auto position = [&](v128_t start_value, v128_t step, v128_t lanes, v128_t w) {
        const v128_t value = wasm_f32x4_add(start_value, wasm_f32x4_mul(lanes, step));
        return Floor4(wasm_f32x4_sub(wasm_f32x4_mul(wasm_f32x4_mul(value, w), scale), bias));
      };
      const v128_t u_low = position(sow_start, f.sow_step, k, w_low);
      const v128_t v_low = position(tow_start, f.tow_step, k, w_low);
      v128_t u_high = u_low, v_high = v_low;
      if (both_halves) {
        u_high = position(sow_start, f.sow_step, k_high, w_high);
        v_high = position(tow_start, f.tow_step, k_high, w_high);
      }
      const v128_t width_mask = wasm_i32x4_splat(level->width_mask);
      const v128_t height_mask = wasm_i32x4_splat(level->height_mask);
      const auto width_log2 = static_cast<uint32_t>(level->width_log2);
      const auto address = [&](v128_t u16, v128_t v16) {
        return wasm_i32x4_add(
            wasm_i32x4_shl(wasm_v128_and(wasm_i32x4_shr(v16, 4), height_mask), width_log2),
            wasm_v128_and(wasm_i32x4_shr(u16, 4), width_mask));
      };
      v128_t texel_blue, texel_green, texel_red;
      BilinearFromQuads8(level->quads, address(u_low, v_low), address(u_high, v_high),
                         wasm_u16x8_narrow_i32x4(wasm_v128_and(u_low, wasm_i32x4_splat(15)),
                                                 wasm_v128_and(u_high, wasm_i32x4_splat(15))),
                         wasm_u16x8_narrow_i32x4(wasm_v128_and(v_low, wasm_i32x4_splat(15)),
                                                 wasm_v128_and(v_high, wasm_i32x4_splat(15))),
                         both_halves, &texel_blue, &texel_green, &texel_red);
      // texel x (colour + 1) / 256: a full texel times a full colour stays full.
      const v128_t one = wasm_i16x8_splat(1);
      blue = wasm_u16x8_shr(wasm_i16x8_mul(texel_blue, wasm_i16x8_add(blue, one)), 8);
      green = wasm_u16x8_shr(wasm_i16x8_mul(texel_green, wasm_i16x8_add(green, one)), 8);
      red = wasm_u16x8_shr(wasm_i16x8_mul(texel_red, wasm_i16x8_add(red, one)), 8);
    }
    if (f.chromakey) {
      const v128_t keyed = wasm_v128_and(
          wasm_v128_and(wasm_i16x8_eq(red, f.key_red), wasm_i16x8_eq(green, f.key_green)),
          wasm_i16x8_eq(blue, f.key_blue));
      pass = wasm_v128_andnot(pass, keyed);
    }
    const v128_t red5 = Dither8(red, f.red_blue_factor, threshold_low, threshold_high);
    const v128_t green6 = Dither8(green, f.green_factor, threshold_low, threshold_high);
    const v128_t blue5 = Dither8(blue, f.red_blue_factor, threshold_low, threshold_high);
    const v128_t packed =
        wasm_v128_or(wasm_v128_or(wasm_i16x8_shl(red5, 11), wasm_i16x8_shl(green6, 5)), blue5);
    uint16_t* colour = colour_row + group;
    wasm_v128_store(colour, wasm_v128_bitselect(packed, wasm_v128_load(colour), pass));
    if (kDepth && f.depth_write) {
      uint16_t* depth = depth_row + group;
      wasm_v128_store(depth, wasm_v128_bitselect(new_depth, wasm_v128_load(depth), pass));
    }
    k = wasm_f32x4_add(k, wasm_f32x4_splat(8.0f));
  }
}

template <bool kIterated, bool kTextured, bool kDepth>
void DrawTriangleWasm(const TriangleSetup& t, const TriangleRows& walk) {
  TriangleRows rows = walk;  // a local walk keeps its steppers in registers
  const TriangleFixed f = FixedOver<kIterated>(t);
  for (int64_t row = rows.first_row; row <= rows.last_row; ++row) {
    int64_t begin, end;
    if (rows.Span(&begin, &end)) {
      SpanWasm<kIterated, kTextured, kDepth>(
          t, f, static_cast<int32_t>(row), static_cast<int32_t>(begin), static_cast<int32_t>(end));
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
