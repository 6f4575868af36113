// From 8 bits per channel to the RGB 565 of the frame buffer: with the
// board's 4x4 or 2x2 ordered dither, or by plain truncation. Tables give the
// channels already shifted into place, so a pixel is three loads and two ORs.
#pragma once

#include <cstdint>

// Dither thresholds 0..15 by screen row (y & 3, counted from the bottom, as
// the board addresses rows) and column (x & 3).
constexpr uint8_t kDitherMatrix4x4[4][4] = {
    {0, 8, 2, 10},
    {12, 4, 14, 6},
    {3, 11, 1, 9},
    {15, 7, 13, 5},
};

// Row kTruncateRow of the tables truncates (v >> 3, v >> 2) instead.
constexpr int kTruncateRow = 16;

struct Rgb565Tables {
  uint16_t red[17][256];    // 5-bit red in bits 15-11
  uint16_t green[17][256];  // 6-bit green in bits 10-5
  uint16_t blue[17][256];   // 5-bit blue in bits 4-0
};

const Rgb565Tables& Rgb565();

// A dither mode (GR_DITHER_*) laid out for the pixel pipeline.
struct DitherPattern {
  uint8_t rows[4][4];  // table row by (y & 3, x & 3): a threshold, or kTruncateRow
  // DitherThreshold of eight pixels starting at a column with x & 3 = phase,
  // by (y & 3, phase); 0 when truncating.
  alignas(16) int16_t thresholds[4][4][8];
  uint16_t red_factor;    // for 5-bit red and blue (8192 truncates: v >> 3)
  uint16_t green_factor;  // for 6-bit green (16384 truncates: v >> 2)
};

const DitherPattern& DitherPatternFor(int32_t dither_mode);

// One channel value v (0..255) brought to 'levels' (31 or 63) with the
// threshold m (0..15): floor(v * levels / 255 + (m + 0.5) / 16), with
// levels / 255 taken as K / 65536 (K = 7967 or 16191, off by less than 1/1000
// of a level at 255) so that the vector path computes it with 16-bit
// multiplies. Over the sixteen thresholds the mean stays within 1/32 of a
// level of v * levels / 255, and 255 maps to the top code at every threshold.
constexpr uint32_t DitherFactor(uint32_t levels) {
  return levels == 31 ? 7967u : 16191u;
}
constexpr uint32_t DitherThreshold(uint32_t m) {
  return (2 * m + 1) * 2048;
}
constexpr uint16_t DitherChannel(uint32_t v, uint32_t levels, uint32_t m) {
  return static_cast<uint16_t>((v * DitherFactor(levels) + DitherThreshold(m)) >> 16);
}
