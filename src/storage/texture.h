// A texture as the demo keeps it: the picture decoders fill its Image with
// RGB 565 texels, the texture upload fills the board description (levels of
// detail, aspect ratio, format, data) and the place in texture memory.
#pragma once

#include <cstdint>

// RGB 565 texels: red in bits 15-11, green in bits 10-5, blue in bits 4-0.
struct Image {
  // Owned, allocated with new[]: width x height texels, row after row, then
  // the reduced levels when mipmapped is 1. Free with ReleaseImage.
  uint16_t* pixels = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  int32_t mipmapped = 0;  // 1: reduced levels follow the full-size texels
};

// Index of the highest set bit of v: 1 -> 0, 2 and 3 -> 1, 256 -> 8; -1 for 0
// and for negative v. The BMP decoder and the texture upload use it to find
// power-of-two sides.
constexpr int32_t FloorLog2(int32_t v) {
  if (v <= 0) return -1;
  int32_t shifts = 0;
  while (v > 0) {
    v >>= 1;
    ++shifts;
  }
  return shifts - 1;
}

// Frees the texels a picture decoder allocated and clears the picture.
inline void ReleaseImage(Image* image) {
  delete[] image->pixels;
  *image = Image{};
}

struct Texture {
  // These five fields are the board's texture description, in its order.
  int32_t small_lod = 0;
  int32_t large_lod = 0;
  int32_t aspect_ratio = 0;
  int32_t format = 0;
  void* data = nullptr;  // equal to image.pixels once uploaded
  Image image;
  uint32_t memory_required = 0;  // bytes of texture memory
  uint32_t start_address = 0;    // place in texture memory
};
