// The span drawers: per pixel, depth test, iterated or constant colour,
// texture fetch and scaling, chroma-key, depth write, 565 conversion.
// Perspective division is done per pixel, for eight pixels at a time in
// a loop the compiler turns into vector code; the rest runs per pixel.
#include "board/span_pipeline.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "board/depth.h"
#include "board/glide.h"
#include "board/texture_sampler.h"

namespace {

constexpr int kGroupPixels = 8;

enum TexturePath { kNoTexture, kPointTexture, kBilinearTexture };
enum DepthPath { kNoDepth, kDepthLess, kDepthAnyFunction };

// Colours are iterated in 12.12 fixed point; the plane value is clamped so
// that stepping across the widest span cannot overflow.
int32_t ToColourFixed(double value) {
  return static_cast<int32_t>(std::lround(std::clamp(value, -131072.0, 131072.0) * 4096.0));
}

inline uint32_t ColourChannel(int32_t fixed) {
  const int32_t v = fixed >> 12;
  return static_cast<uint32_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// Texel coordinates x 16 as integers, floored; far-off values are clamped
// before the conversion (they only ever wrap or clamp afterwards).
inline int32_t FloorToInt(float value) {
  const float clamped = std::clamp(value, -1.0e9f, 1.0e9f);
  const auto truncated = static_cast<int32_t>(clamped);
  return truncated - (clamped < static_cast<float>(truncated) ? 1 : 0);
}

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

// The mipmap level for a group of pixels: the one whose texels come nearest
// to one per pixel, from the derivatives of s and t at the group's first
// pixel (s = sow / oow, so ds/dx = (dsow/dx - s doow/dx) / oow).
int32_t MipmapLevel(const TriangleSetup& t, const BoundTexture& texture, float oow, float sow,
                    float tow) {
  if (!(oow > 0.0f)) return 0;
  const float w = 1.0f / oow;
  const float s = sow * w;
  const float tt = tow * w;
  const float oow_dx = static_cast<float>(t.oow.per_x);
  const float oow_dy = static_cast<float>(t.oow.per_y);
  const float ds_dx = (static_cast<float>(t.sow.per_x) - s * oow_dx) * w;
  const float dt_dx = (static_cast<float>(t.tow.per_x) - tt * oow_dx) * w;
  const float ds_dy = (static_cast<float>(t.sow.per_y) - s * oow_dy) * w;
  const float dt_dy = (static_cast<float>(t.tow.per_y) - tt * oow_dy) * w;
  const float scale = texture.levels[0].texels_per_s_unit;
  const float rho_squared =
      std::max(ds_dx * ds_dx + dt_dx * dt_dx, ds_dy * ds_dy + dt_dy * dt_dy) * scale * scale;
  if (!(rho_squared > 1.0f)) return 0;
  // Nearest level: round(log2(rho)) = floor((log2(rho^2) + 1) / 2).
  const auto level = static_cast<int32_t>(std::floor((std::log2(rho_squared) + 1.0f) * 0.5f));
  return std::min(level, texture.level_count - 1);
}

template <bool kIterated, int kTexture, int kDepth>
void DrawSpan(const TriangleSetup& t, int32_t y, int32_t x_begin, int32_t x_end) {
  const BoardRenderState& state = *t.state;
  const BoundTexture& texture = *t.texture;
  const Rgb565Tables& tables = *t.tables;
  const uint8_t* dither_row = t.dither_rows[y & 3];
  uint16_t* colour_row = t.colour + static_cast<std::ptrdiff_t>(y) * t.stride_pixels;
  uint16_t* depth_row =
      kDepth != kNoDepth ? t.depth + static_cast<std::ptrdiff_t>(y) * t.stride_pixels : nullptr;
  const bool clamp_s = state.clamp_s;
  const bool clamp_t = state.clamp_t;
  const bool depth_write = state.depth_write;
  const bool w_depth = state.depth == DepthSource::kWBuffer;
  const bool chromakey = state.chromakey;
  const bool choose_level = kTexture != kNoTexture && state.mipmapping && texture.level_count > 1;

  const double cx = x_begin + 0.5;
  const double cy = y + 0.5;
  const int32_t red0 = kIterated ? ToColourFixed(t.red.At(cx, cy)) : 0;
  const int32_t green0 = kIterated ? ToColourFixed(t.green.At(cx, cy)) : 0;
  const int32_t blue0 = kIterated ? ToColourFixed(t.blue.At(cx, cy)) : 0;
  const auto oow0 = static_cast<float>(t.oow.At(cx, cy));
  const auto sow0 = static_cast<float>(t.sow.At(cx, cy));
  const auto tow0 = static_cast<float>(t.tow.At(cx, cy));
  const auto ooz0 = static_cast<float>(t.ooz.At(cx, cy));
  const auto oow_step = static_cast<float>(t.oow.per_x);
  const auto sow_step = static_cast<float>(t.sow.per_x);
  const auto tow_step = static_cast<float>(t.tow.per_x);
  const auto ooz_step = static_cast<float>(t.ooz.per_x);
  // Bilinear samples are centred: the texel to the lower left is at -0.5.
  const float texel_bias16 = kTexture == kBilinearTexture ? 8.0f : 0.0f;

  for (int32_t group = x_begin; group < x_end; group += kGroupPixels) {
    const int32_t count = std::min(kGroupPixels, x_end - group);
    const auto first = static_cast<float>(group - x_begin);
    float w[kGroupPixels];
    int32_t u16[kGroupPixels];
    int32_t v16[kGroupPixels];
    uint16_t depth[kGroupPixels];
    if constexpr (kTexture != kNoTexture || kDepth != kNoDepth) {
      for (int i = 0; i < kGroupPixels; ++i) {
        w[i] = 1.0f / (oow0 + (first + static_cast<float>(i)) * oow_step);
      }
    }
    const TextureLevel* level = &texture.levels[0];
    if constexpr (kTexture != kNoTexture) {
      if (choose_level) {
        level = &texture.levels[MipmapLevel(t, texture, oow0 + first * oow_step,
                                            sow0 + first * sow_step, tow0 + first * tow_step)];
      }
      const float scale16 = level->texels_per_s_unit * 16.0f;
      for (int i = 0; i < kGroupPixels; ++i) {
        const float k = first + static_cast<float>(i);
        u16[i] = FloorToInt((sow0 + k * sow_step) * w[i] * scale16 - texel_bias16);
        v16[i] = FloorToInt((tow0 + k * tow_step) * w[i] * scale16 - texel_bias16);
      }
    }
    if constexpr (kDepth != kNoDepth) {
      if (w_depth) {
        for (int i = 0; i < kGroupPixels; ++i) depth[i] = WBufferDepth(w[i]);
      } else {
        for (int i = 0; i < kGroupPixels; ++i) {
          depth[i] = ZBufferDepth(ooz0 + (first + static_cast<float>(i)) * ooz_step);
        }
      }
    }

    const int32_t offset = group - x_begin;
    for (int i = 0; i < count; ++i) {
      const int32_t x = group + i;
      if constexpr (kDepth == kDepthLess) {
        if (!(depth[i] < depth_row[x])) continue;
      } else if constexpr (kDepth == kDepthAnyFunction) {
        if (!DepthPasses(state.depth_function, depth[i], depth_row[x])) continue;
      }
      uint32_t red, green, blue;
      if constexpr (kIterated) {
        const int32_t step = offset + i;
        red = ColourChannel(red0 + step * t.red_step);
        green = ColourChannel(green0 + step * t.green_step);
        blue = ColourChannel(blue0 + step * t.blue_step);
      } else {
        red = t.constant_red;
        green = t.constant_green;
        blue = t.constant_blue;
      }
      if constexpr (kTexture != kNoTexture) {
        const uint64_t texel = kTexture == kBilinearTexture
                                   ? SampleBilinear(*level, u16[i], v16[i], clamp_s, clamp_t)
                                   : SamplePoint(*level, u16[i], v16[i], clamp_s, clamp_t);
        // Scaling by colour + 1 keeps full texel x full colour at full.
        red = (static_cast<uint32_t>(texel >> 32) * (red + 1)) >> 8;
        green = ((static_cast<uint32_t>(texel >> 16) & 0xFF) * (green + 1)) >> 8;
        blue = ((static_cast<uint32_t>(texel) & 0xFF) * (blue + 1)) >> 8;
      }
      if (chromakey && ((red << 16) | (green << 8) | blue) == state.chromakey_rgb) continue;
      if constexpr (kDepth != kNoDepth) {
        if (depth_write) depth_row[x] = depth[i];
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
