// Pictures made by the generator before they are encoded: true-colour
// pictures for BMP textures and colour-reduced PCX files, and paletted
// pictures built from an index field and a colour ramp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct RgbPicture {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;  // top row first
  RgbPicture() = default;
  RgbPicture(int w, int h)
      : width(w), height(h), rgb(static_cast<size_t>(w) * static_cast<size_t>(h) * 3) {}
  uint8_t* At(int x, int y) {
    return &rgb[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3];
  }
  void Set(int x, int y, float r, float g, float b);  // 0..1, clamped
};

struct IndexedPicture {
  int width = 0, height = 0;
  std::vector<uint8_t> indices;  // top row first
  uint8_t palette[768] = {};     // 8-bit red, green, blue
};

// A colour ramp through stops at positions 0..1, for 256 palette entries.
struct RampStop {
  float at;
  float r, g, b;  // 0..1
};
void FillRamp(uint8_t palette[768], const std::vector<RampStop>& stops);

// Reduces a true-colour picture to 256 colours (median cut over 15-bit
// colours, each pixel mapped to the nearest palette colour).
IndexedPicture ReduceColours(const RgbPicture& picture);

std::vector<uint8_t> EncodePcx(const IndexedPicture& picture);
std::vector<uint8_t> EncodeBmp(const RgbPicture& picture);
