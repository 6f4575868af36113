// The span drawers: per pixel, depth test, iterated or constant colour,
// texture fetch and scaling, chroma-key, depth write, 565 conversion.
// Perspective division is exact per pixel; it and the other per-pixel
// values are computed for groups of eight pixels (span_groups.h), and this
// loop then works pixel by pixel.
#include "board/span_pipeline.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "board/depth.h"
#include "board/glide.h"
#include "board/span_groups.h"
#include "board/span_shade_sse2.h"
#include "board/texture_sampler.h"

namespace {

enum TexturePath { kNoTexture, kPointTexture, kBilinearTexture };
enum DepthPath { kNoDepth, kDepthLess, kDepthAnyFunction };

bool DepthPasses(int32_t function, uint16_t incoming, uint16_t stored) {
  switch (function) {
    case GR_CMP_NEVER:
      return false;
    case GR_CMP_LESS:
      return incoming < stored;
    case GR_CMP_EQUAL:
      return incoming == stored;
    case GR_CMP_LEQUAL:
      return incoming <= stored;
    case GR_CMP_GREATER:
      return incoming > stored;
    case GR_CMP_NOTEQUAL:
      return incoming != stored;
    case GR_CMP_GEQUAL:
      return incoming >= stored;
    default:
      return true;
  }
}

}  // namespace

// The mipmap level for a group of pixels: the one whose texels come nearest
// to one per pixel, from the derivatives of s and t at the group's first
// pixel (s = sow / oow, so ds/dx = (dsow/dx - s doow/dx) / oow).
int32_t MipmapLevel(const TriangleSetup& t, const BoundTexture& texture, float oow, float sow,
                    float tow) {
  if (!(oow > 0.0f)) return 0;
  const float w = 1.0f / oow;
  const float s = sow * w;
  const float tt = tow * w;
  const float oow_dx = static_cast<float>(t.planes.per_x[kOowPlane]);
  const float oow_dy = static_cast<float>(t.planes.per_y[kOowPlane]);
  const float ds_dx = (static_cast<float>(t.planes.per_x[kSowPlane]) - s * oow_dx) * w;
  const float dt_dx = (static_cast<float>(t.planes.per_x[kTowPlane]) - tt * oow_dx) * w;
  const float ds_dy = (static_cast<float>(t.planes.per_y[kSowPlane]) - s * oow_dy) * w;
  const float dt_dy = (static_cast<float>(t.planes.per_y[kTowPlane]) - tt * oow_dy) * w;
  const float scale = texture.levels[0].texels_per_s_unit;
  const float rho_squared =
      std::max(ds_dx * ds_dx + dt_dx * dt_dx, ds_dy * ds_dy + dt_dy * dt_dy) * scale * scale;
  if (!(rho_squared > 1.0f)) return 0;
  if (!(rho_squared < 1.0e30f)) return texture.level_count - 1;
  // Nearest level: round(log2(rho)) = floor((log2(rho^2) + 1) / 2).
  const auto level = static_cast<int32_t>(std::floor((std::log2(rho_squared) + 1.0f) * 0.5f));
  return std::min(level, texture.level_count - 1);
}

namespace {

template <bool kIterated, int kTexture, int kDepth>
void DrawSpan(const TriangleSetup& t, int32_t y, int32_t x_begin, int32_t x_end) {
  const BoardRenderState& state = *t.state;
  const BoundTexture& texture = *t.texture;
  const Rgb565Tables& tables = *t.tables;
  const uint8_t* dither_row = t.dither->rows[y & 3];
  uint16_t* colour_row = t.colour + static_cast<std::ptrdiff_t>(y) * t.stride_pixels;
  uint16_t* depth_row =
      kDepth != kNoDepth ? t.depth + static_cast<std::ptrdiff_t>(y) * t.stride_pixels : nullptr;
  const bool depth_write = state.depth_write;
  const bool w_depth = state.depth == DepthSource::kWBuffer;
  const bool chromakey = state.chromakey;
  const bool portable = state.pixel_path == PixelPath::kPortable;
  const bool choose_level = kTexture != kNoTexture && state.mipmapping && texture.level_count > 1;

  const SpanStart start =
      StartOfSpan(t, y, x_begin, kIterated, kTexture != kNoTexture, kDepth != kNoDepth);
  TextureAddressing addressing;
  addressing.level = &texture.levels[0];
  addressing.scale16 = addressing.level->texels_per_s_unit * 16.0f;
  // Bilinear samples are centred: the texel to the lower left is at -0.5.
  addressing.bias16 = kTexture == kBilinearTexture ? 8.0f : 0.0f;
  addressing.clamp_s = state.clamp_s;
  addressing.clamp_t = state.clamp_t;

#if defined(__SSE2__)
  const __m128i dither_threshold =
      _mm_load_si128(reinterpret_cast<const __m128i*>(t.dither->thresholds[y & 3][x_begin & 3]));
#endif
#if defined(__SSE2__)
  __m128i colour_low[3], colour_high[3];
  if constexpr (kIterated) {
    const int32_t starts[3] = {start.red, start.green, start.blue};
    for (int channel = 0; channel < 3; ++channel) {
      colour_low[channel] =
          _mm_add_epi32(_mm_set1_epi32(starts[channel]), t.vector.colour_lanes[channel]);
      colour_high[channel] = _mm_add_epi32(colour_low[channel], t.vector.colour_step4[channel]);
    }
  }
#endif
  PixelGroup g;
  for (int32_t group = x_begin; group < x_end; group += kGroupPixels) {
    const int32_t count = std::min(kGroupPixels, x_end - group);
    const int lanes = count > 4 ? 8 : 4;
    const int32_t offset = group - x_begin;
    const auto first = static_cast<float>(offset);
    if constexpr (kTexture != kNoTexture || kDepth != kNoDepth)
      span_groups::InverseW(start, first, lanes, &g);
    if constexpr (kTexture != kNoTexture) {
      if (choose_level) {
        addressing.level = &texture.levels[MipmapLevel(
            t, texture, start.oow + first * start.oow_step, start.sow + first * start.sow_step,
            start.tow + first * start.tow_step)];
        addressing.scale16 = addressing.level->texels_per_s_unit * 16.0f;
      }
      span_groups::TexelAddresses<kTexture == kBilinearTexture>(start, first, addressing, lanes,
                                                                &g);
    }
    if constexpr (kDepth != kNoDepth) {
      if (w_depth) {
        span_groups::WDepths(lanes, &g);
      } else {
        span_groups::ZDepths(start, first, &g);
      }
    }
    if constexpr (kIterated) {
#if defined(__SSE2__)
      span_groups::ColoursFromLanes(colour_low, colour_high, t.vector.colour_step8, &g);
#else
      span_groups::Colours(start, offset, &g);
#endif
    }
    const uint64_t* texels = addressing.level->texels;

#if defined(__SSE2__)
    __m128i pass = span_sse2::FirstLanes(count);
    __m128i new_depth = _mm_setzero_si128();
    if constexpr (kDepth != kNoDepth) {
      // Depths biased by -32768 compare as signed 16-bit lanes.
      const __m128i bias = _mm_set1_epi32(32768);
      const __m128i sign = _mm_set1_epi16(static_cast<int16_t>(0x8000));
      const __m128i biased = _mm_packs_epi32(
          _mm_sub_epi32(_mm_load_si128(reinterpret_cast<const __m128i*>(g.depth)), bias),
          _mm_sub_epi32(_mm_load_si128(reinterpret_cast<const __m128i*>(g.depth + 4)), bias));
      new_depth = _mm_xor_si128(biased, sign);
      if constexpr (kDepth == kDepthLess) {
        const __m128i stored = _mm_loadu_si128(reinterpret_cast<const __m128i*>(depth_row + group));
        pass = _mm_and_si128(pass, _mm_cmplt_epi16(biased, _mm_xor_si128(stored, sign)));
      } else {
        alignas(16) int16_t passes[kGroupPixels];
        for (int i = 0; i < kGroupPixels; ++i) {
          const bool inside = i < count;
          passes[i] = inside && DepthPasses(state.depth_function, static_cast<uint16_t>(g.depth[i]),
                                            depth_row[group + i])
                          ? -1
                          : 0;
        }
        pass = _mm_and_si128(pass, _mm_load_si128(reinterpret_cast<const __m128i*>(passes)));
      }
    }
    if (_mm_movemask_epi8(pass) == 0) continue;
    if (!portable) {
      span_sse2::ShadeGroup<kIterated, kTexture != kNoTexture, kTexture == kBilinearTexture>(
          t.vector, dither_threshold, g, count, texels, chromakey, pass, new_depth,
          colour_row + group, kDepth != kNoDepth && depth_write ? depth_row + group : nullptr);
      continue;
    }
#endif
    for (int i = 0; i < count; ++i) {
      const int32_t x = group + i;
      const auto depth = static_cast<uint16_t>(g.depth[i]);
      if constexpr (kDepth == kDepthLess) {
        if (!(depth < depth_row[x])) continue;
      } else if constexpr (kDepth == kDepthAnyFunction) {
        if (!DepthPasses(state.depth_function, depth, depth_row[x])) continue;
      }
      uint32_t red, green, blue;
      if constexpr (kIterated) {
        red = g.red[i];
        green = g.green[i];
        blue = g.blue[i];
      } else {
        red = t.constant_red;
        green = t.constant_green;
        blue = t.constant_blue;
      }
      if constexpr (kTexture != kNoTexture) {
        const uint64_t texel =
            kTexture == kBilinearTexture ? BilinearTexel(texels, g, i) : PointTexel(texels, g, i);
        // Scaling by colour + 1 keeps full texel x full colour at full.
        red = (TexelRed(texel) * (red + 1)) >> 8;
        green = (TexelGreen(texel) * (green + 1)) >> 8;
        blue = (TexelBlue(texel) * (blue + 1)) >> 8;
      }
      if (chromakey && ((red << 16) | (green << 8) | blue) == state.chromakey_rgb) continue;
      if constexpr (kDepth != kNoDepth) {
        if (depth_write) depth_row[x] = depth;
      }
      const uint8_t m = dither_row[x & 3];
      colour_row[x] =
          static_cast<uint16_t>(tables.red[m][red] | tables.green[m][green] | tables.blue[m][blue]);
    }
  }
}

template <bool kIterated, int kTexture>
SpanDrawer ForDepth(int depth) {
  if (depth == kDepthLess) return &DrawSpan<kIterated, kTexture, kDepthLess>;
  if (depth == kDepthAnyFunction) return &DrawSpan<kIterated, kTexture, kDepthAnyFunction>;
  return &DrawSpan<kIterated, kTexture, kNoDepth>;
}

template <bool kIterated>
SpanDrawer ForTexture(int texture, int depth) {
  if (texture == kBilinearTexture) return ForDepth<kIterated, kBilinearTexture>(depth);
  if (texture == kPointTexture) return ForDepth<kIterated, kPointTexture>(depth);
  return ForDepth<kIterated, kNoTexture>(depth);
}

}  // namespace

void PrepareSpanDrawing(TriangleSetup* setup) {
#if defined(__SSE2__)
  const BoardRenderState& state = *setup->state;
  span_sse2::SpanConstants& c = setup->vector;
  c.red_factor = _mm_set1_epi16(static_cast<int16_t>(setup->dither->red_factor));
  c.green_factor = _mm_set1_epi16(static_cast<int16_t>(setup->dither->green_factor));
  c.constant_red = _mm_set1_epi16(setup->constant_red);
  c.constant_green = _mm_set1_epi16(setup->constant_green);
  c.constant_blue = _mm_set1_epi16(setup->constant_blue);
  c.chromakey_red = _mm_set1_epi16(static_cast<int16_t>((state.chromakey_rgb >> 16) & 0xFF));
  c.chromakey_green = _mm_set1_epi16(static_cast<int16_t>((state.chromakey_rgb >> 8) & 0xFF));
  c.chromakey_blue = _mm_set1_epi16(static_cast<int16_t>(state.chromakey_rgb & 0xFF));
  const int32_t steps[3] = {setup->red_step, setup->green_step, setup->blue_step};
  for (int channel = 0; channel < 3; ++channel) {
    const int32_t step = steps[channel];
    c.colour_lanes[channel] = _mm_set_epi32(3 * step, 2 * step, step, 0);
    c.colour_step4[channel] = _mm_set1_epi32(4 * step);
    c.colour_step8[channel] = _mm_set1_epi32(8 * step);
  }
#else
  (void)setup;
#endif
}

SpanDrawer SelectSpanDrawer(const BoardRenderState& state, bool has_depth_buffer) {
  int depth = kNoDepth;
  if (state.depth != DepthSource::kNone && has_depth_buffer) {
    depth = state.depth_function == GR_CMP_LESS ? kDepthLess : kDepthAnyFunction;
  }
  int texture = kNoTexture;
  if (state.textured) texture = state.bilinear ? kBilinearTexture : kPointTexture;
  if (state.colour == ColourSource::kIterated) return ForTexture<true>(texture, depth);
  return ForTexture<false>(texture, depth);
}
