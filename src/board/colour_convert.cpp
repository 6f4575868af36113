// Builds the 565 tables once and picks the dither rows for a screen row.
#include "board/colour_convert.h"

#include "board/glide.h"

namespace {

Rgb565Tables BuildTables() {
  Rgb565Tables t{};
  for (uint32_t m = 0; m < 16; ++m) {
    for (uint32_t v = 0; v < 256; ++v) {
      t.red[m][v] = static_cast<uint16_t>(DitherChannel(v, 31, m) << 11);
      t.green[m][v] = static_cast<uint16_t>(DitherChannel(v, 63, m) << 5);
      t.blue[m][v] = DitherChannel(v, 31, m);
    }
  }
  for (uint32_t v = 0; v < 256; ++v) {
    t.red[kTruncateRow][v] = static_cast<uint16_t>((v >> 3) << 11);
    t.green[kTruncateRow][v] = static_cast<uint16_t>((v >> 2) << 5);
    t.blue[kTruncateRow][v] = static_cast<uint16_t>(v >> 3);
  }
  return t;
}

}  // namespace

const Rgb565Tables& Rgb565() {
  static const Rgb565Tables tables = BuildTables();
  return tables;
}

namespace {

DitherPattern BuildPattern(int32_t dither_mode) {
  DitherPattern pattern{};
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      uint8_t row = kTruncateRow;
      if (dither_mode == GR_DITHER_4x4) {
        row = kDitherMatrix4x4[y][x];
      } else if (dither_mode == GR_DITHER_2x2) {
        // The 2x2 pattern 0 2 / 3 1 spread over the sixteen thresholds.
        constexpr uint8_t kPattern2x2[2][2] = {{0, 2}, {3, 1}};
        row = static_cast<uint8_t>(kPattern2x2[y & 1][x & 1] * 4 + 2);
      }
      pattern.rows[y][x] = row;
    }
  }
  for (int y = 0; y < 4; ++y) {
    for (int phase = 0; phase < 4; ++phase) {
      for (int i = 0; i < 8; ++i) {
        const uint8_t row = pattern.rows[y][(phase + i) & 3];
        pattern.thresholds[y][phase][i] =
            static_cast<int16_t>(row == kTruncateRow ? 0 : DitherThreshold(row));
      }
    }
  }
  const bool truncate = dither_mode != GR_DITHER_4x4 && dither_mode != GR_DITHER_2x2;
  pattern.red_factor = static_cast<uint16_t>(truncate ? 8192 : DitherFactor(31));
  pattern.green_factor = static_cast<uint16_t>(truncate ? 16384 : DitherFactor(63));
  return pattern;
}

}  // namespace

const DitherPattern& DitherPatternFor(int32_t dither_mode) {
  static const DitherPattern patterns[3] = {
      BuildPattern(GR_DITHER_DISABLE), BuildPattern(GR_DITHER_2x2), BuildPattern(GR_DITHER_4x4)};
  if (dither_mode == GR_DITHER_4x4) return patterns[2];
  if (dither_mode == GR_DITHER_2x2) return patterns[1];
  return patterns[0];
}
