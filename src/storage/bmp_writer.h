// Writes uncompressed 24-bit BMP pictures (bottom-up rows, padded to four
// bytes), for the tools and the default content.
#pragma once

#include <cstdint>
#include <vector>

// rgb_top_row_first: width x height pixels of red, green, blue, top row
// first. Returns an empty vector for a width or height below 1.
std::vector<uint8_t> EncodeBmp24(const uint8_t* rgb_top_row_first, int width, int height);
