// The board's render state: what the Glide state calls have chosen, kept in
// the form the triangle setup and the pixel pipeline read directly.
#pragma once

#include <cstddef>
#include <cstdint>

// How a pixel's colour is formed before dithering.
enum class ColourSource : uint8_t {
  kIterated,  // the colour iterated across the triangle
  kConstant,  // the constant colour
  kBlack,     // the combine function gives zero
  kWhite,     // full intensity: a texture drawn unscaled
};

enum class DepthSource : uint8_t {
  kNone,     // no depth test, no depth write
  kWBuffer,  // 16-bit pseudo-float of w
  kZBuffer,  // ooz iterated linearly, 0..65535
};

struct QuadTexel;

struct TextureLevel {
  const uint64_t* texels = nullptr;  // expanded texels, see texture_memory.h
  const QuadTexel* quads = nullptr;  // quad texels when they are this level's
  int32_t width_log2 = 0;
  int32_t height_log2 = 0;
  int32_t width_mask = 0;
  int32_t height_mask = 0;
  float texels_per_s_unit = 1.0f;  // s and t are 0..256 across the largest level
  bool operator==(const TextureLevel&) const = default;
};

// What grTexSource was last given, so that binding the same texture again
// (as a renderer does polygon after polygon) skips working out its levels.
struct TextureSource {
  uint32_t start_address = 0;
  int32_t small_lod = 0;
  int32_t large_lod = 0;
  int32_t aspect = 0;
  int32_t format = 0;
  uint32_t generation = 0;  // of texture memory: a download since means look again
  bool operator==(const TextureSource&) const = default;
};

// The levels follow from the source (and the downloads, which change its
// generation), so they come last: comparing up to them compares all.
struct BoundTexture {
  int32_t level_count = 0;  // 0 until a valid grTexSource
  TextureSource source;     // meaningful while level_count > 0
  TextureLevel levels[9];
  bool operator==(const BoundTexture&) const = default;
};

// Which implementation of the pixel pipeline draws. All give the same
// pixels and depths; tests pick each in turn to check that.
enum class PixelPath : uint8_t {
  kFastest,   // AVX-512 or AVX2 where the processor has it and the state allows, else SSE2
  kAvx2,      // AVX2 even where AVX-512 is there (else as kSse2)
  kSse2,      // the SSE2 group path (x86-64), else the portable loop
  kPortable,  // the plain per-pixel loop
};

struct BoardRenderState {
  int32_t cull_mode = 0;  // GR_CULL_*
  ColourSource colour = ColourSource::kIterated;
  bool textured = false;  // the colour scales the texel (texel x (colour + 1) / 256)
  uint8_t constant_red = 0;
  uint8_t constant_green = 0;
  uint8_t constant_blue = 0;
  DepthSource depth = DepthSource::kNone;
  int32_t depth_function = 1;  // GR_CMP_*, LESS after start-up
  bool depth_write = true;
  int32_t dither_mode = 2;  // GR_DITHER_*, 4x4 after start-up as on the original board
  bool chromakey = false;
  uint32_t chromakey_rgb = 0;  // 0x00RRGGBB
  bool bilinear = false;
  bool clamp_s = false;
  bool clamp_t = false;
  bool mipmapping = false;  // pick a level per pixel group when the texture has several
  PixelPath pixel_path = PixelPath::kFastest;
  // Combine settings the board cannot draw are drawn as FUNCTION_LOCAL and
  // counted here, so tests and tools can tell.
  int32_t unsupported_combines = 0;
  BoundTexture texture;  // last: see kStateBytesThatDecide
  bool operator==(const BoardRenderState&) const = default;
};

// The bytes of a BoardRenderState that decide how it draws: all but the
// texture levels, which follow from the rest. Comparing these is a quick
// test for a state that has not changed.
constexpr size_t kStateBytesThatDecide =
    offsetof(BoardRenderState, texture) + offsetof(BoundTexture, levels);

// Inline: every state call and every triangle reads it.
inline BoardRenderState& RenderState() {
  static BoardRenderState state;
  return state;
}
