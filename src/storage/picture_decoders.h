// Picture decoders: PCX and BMP members of the content library into RGB 565
// textures, and PCX members into a rectangle of an 8-bit picture buffer.
// Results are 1 for success and 0 for failure; a failure leaves the Texture
// untouched. The Decode* variants read the same formats from bytes in memory
// with the same code, for the tools and the fuzzers.
#pragma once

#include <cstdint>

#include "storage/texture.h"

class TStream;

// The palette of the last version-5 picture LoadPcxIndexed read: 256 entries
// of red, green, blue, each 0..63 (the file's value shifted right by 2).
extern uint8_t PicturePalette[768];

// Limits of the PCX line buffer: a scanline plus the longest run must fit.
constexpr int32_t kPcxLineBufferBytes = 1024;
constexpr int32_t kPcxMaxScanlineBytes = kPcxLineBufferBytes - 62;  // 962

// An 8-bit, version-5 PCX member into 565 texels, top row first. Nonzero
// mipmapped also builds the reduced levels after the full-size texels.
int32_t LoadPcxTexture(const char* name, Texture* texture, int32_t mipmapped);
// A 24-bit BMP member with power-of-two sides of 1 to 256 into 565 texels, in
// file row order (bottom row of the picture first: rows are not flipped).
int32_t LoadBmpTexture(const char* name, Texture* texture, int32_t mipmapped);
// An 8-bit PCX member into dest at (x, y), clipped to pitch x dest_height.
// A version-5 picture replaces PicturePalette. Needs 0 <= x < pitch and
// 0 <= y < dest_height, and dest_height x pitch bytes at dest.
int32_t LoadPcxIndexed(const char* name, uint8_t* dest, int32_t x, int32_t y, int32_t pitch,
                       int32_t dest_height);

int32_t DecodePcxTexture(const uint8_t* bytes, int32_t size, Texture* texture, int32_t mipmapped);
int32_t DecodeBmpTexture(const uint8_t* bytes, int32_t size, Texture* texture, int32_t mipmapped);
int32_t DecodePcxIndexed(const uint8_t* bytes, int32_t size, uint8_t* dest, int32_t x, int32_t y,
                         int32_t pitch, int32_t dest_height);

// The shared cores: source is a new, unopened stream (a member stream or a
// memory stream) that the decoder takes over and destroys.
int32_t LoadPcxTextureFrom(TStream* source, const char* name, Texture* texture, int32_t mipmapped);
int32_t LoadBmpTextureFrom(TStream* source, const char* name, Texture* texture, int32_t mipmapped);
int32_t LoadPcxIndexedFrom(TStream* source, const char* name, uint8_t* dest, int32_t x, int32_t y,
                           int32_t pitch, int32_t dest_height);
