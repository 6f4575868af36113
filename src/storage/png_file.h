// PNG reading and writing over libpng, for the tools and the shell's
// screenshots. Writes go through a temporary file renamed into place, so a
// failure never leaves a half-written picture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PngPicture {
  int width = 0;
  int height = 0;
  bool paletted = false;
  // Paletted: one index per pixel. Otherwise: red, green, blue per pixel.
  // Top row first either way.
  std::vector<uint8_t> pixels;
  std::vector<uint8_t> palette_rgb888;  // paletted only: 3 bytes per entry
};

// RGB 565 texels (red in bits 15-11), top row first, widened to 8 bits per
// component by repeating the top bits.
bool WritePngRgb565(const std::string& path, const uint16_t* pixels_top_row_first, int width,
                    int height, std::string* error);
bool WritePngRgb888(const std::string& path, const uint8_t* rgb_top_row_first, int width,
                    int height, std::string* error);
// palette_rgb888 holds palette_entries (1..256) entries of red, green, blue.
bool WritePngIndexed(const std::string& path, const uint8_t* indices_top_row_first, int width,
                     int height, const uint8_t* palette_rgb888, int palette_entries,
                     std::string* error);

// Reads a paletted PNG as indices and its palette; any other PNG as RGB
// (alpha is dropped by composing over black).
bool ReadPng(const std::string& path, PngPicture* picture, std::string* error);

// Widens RGB 565 texels to red, green, blue bytes.
void Rgb565ToRgb888(const uint16_t* texels, size_t count, uint8_t* rgb);
