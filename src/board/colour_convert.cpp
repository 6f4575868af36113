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

void DitherRowsFor(int32_t dither_mode, int32_t y, uint8_t rows[4]) {
  for (int x = 0; x < 4; ++x) {
    if (dither_mode == GR_DITHER_4x4) {
      rows[x] = kDitherMatrix4x4[y & 3][x];
    } else if (dither_mode == GR_DITHER_2x2) {
      // The 2x2 pattern 0 2 / 3 1 spread over the sixteen thresholds.
      constexpr uint8_t kPattern2x2[2][2] = {{0, 2}, {3, 1}};
      rows[x] = static_cast<uint8_t>(kPattern2x2[y & 1][x & 1] * 4 + 2);
    } else {
      rows[x] = kTruncateRow;
    }
  }
}
