// A texture as the demo keeps it: the picture decoders fill its Image with
// RGB 565 texels, the texture upload fills the board description (levels of
// detail, aspect ratio, format, data) and the place in texture memory.
#pragma once

#include <cstdint>

// RGB 565 texels: red in bits 15-11, green in bits 10-5, blue in bits 4-0.
struct Image {
  uint16_t* pixels = nullptr;  // owned: width x height texels, row after row
  int32_t width = 0;
  int32_t height = 0;
  int32_t mipmapped = 0;  // 1: reduced levels follow the full-size texels
};

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
