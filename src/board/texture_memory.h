// Texture memory of texture unit 0: 2 MiB of RGB 565 texels placed by the
// demo at addresses of its choosing, and beside it the same texels expanded
// for the sampler. The expanded form keeps each channel in its own 16-bit
// lane (red bits 32-39, green 16-23, blue 0-7) so that bilinear filtering
// weighs all three channels with one multiply per texel. A third copy holds
// each texel's bilinear neighbourhood (see QuadTexel) for the textures that
// were downloaded whole.
#pragma once

#include <cstdint>

#include "board/glide.h"

constexpr uint32_t kTextureMemoryBytes = 2u * 1024u * 1024u;

// Every texture occupies a multiple of this many bytes, so each one starts
// on an 8-byte boundary when they are placed back to back.
constexpr uint32_t kTextureAlignmentBytes = 8;

struct TextureLevelShape {
  int32_t width_log2 = 0;
  int32_t height_log2 = 0;
};

// The shape of level lod of a texture of the given aspect ratio; false for
// codes outside GR_LOD_256..GR_LOD_1 or GR_ASPECT_8x1..GR_ASPECT_1x8.
bool TextureLevelShapeOf(GrLOD_t lod, GrAspectRatio_t aspect, TextureLevelShape* shape);

// Bytes the levels largeLod..smallLod occupy, rounded up to the alignment;
// 0 when the description is not one the board can store.
uint32_t TextureBytesRequired(const GrTexInfo& info);

inline uint64_t ExpandTexel565(uint16_t texel) {
  const uint64_t r5 = texel >> 11;
  const uint64_t g6 = (texel >> 5) & 0x3F;
  const uint64_t b5 = texel & 0x1F;
  // Bit replication maps 0 to 0 and the top code to 255.
  const uint64_t r = (r5 << 3) | (r5 >> 2);
  const uint64_t g = (g6 << 2) | (g6 >> 4);
  const uint64_t b = (b5 << 3) | (b5 >> 2);
  return (r << 32) | (g << 16) | b;
}

// The four texels bilinear filtering reads for a sample whose lower-left
// texel is (x, y): (x, y), (x + 1, y), (x, y + 1), (x + 1, y + 1), the
// neighbours wrapped within the level, widened to 8 bits a channel as
// ExpandTexel565 does. Channel by channel, each pair along x side by side
// (blue of the four, green, red, then four zero bytes), so that one read
// serves a sample and byte multiplies weigh each pair along x at once.
struct alignas(16) QuadTexel {
  uint8_t bytes[16];
};

inline QuadTexel MakeQuadTexel(uint16_t here, uint16_t right, uint16_t above,
                               uint16_t above_right) {
  const uint64_t texels[4] = {ExpandTexel565(here), ExpandTexel565(right), ExpandTexel565(above),
                              ExpandTexel565(above_right)};
  QuadTexel quad{};
  for (int i = 0; i < 4; ++i) {
    quad.bytes[i] = static_cast<uint8_t>(texels[i]);            // blue
    quad.bytes[4 + i] = static_cast<uint8_t>(texels[i] >> 16);  // green
    quad.bytes[8 + i] = static_cast<uint8_t>(texels[i] >> 32);  // red
  }
  return quad;
}

// The expanded texel at a byte address of texture memory (even, inside it).
const uint64_t* ExpandedTexelsAt(uint32_t address);
// The stored 565 texel at a byte address, for tests and tools.
uint16_t TextureMemoryTexelAt(uint32_t address);
