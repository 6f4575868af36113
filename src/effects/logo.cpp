// The logo picture row (see logo.h).
#include "effects/logo.h"

#include <algorithm>

#include "device/demo_state.h"
#include "device/device.h"

uint16_t LogoColorTable[256];

void BuildLogoColorTable(const uint8_t palette[768], int32_t fade, uint16_t table[256]) {
  // FadeLevel is 0..255 by construction; the clamp and the field masks keep
  // a stray value from spilling into the neighbouring colour fields.
  const uint32_t f = static_cast<uint32_t>(std::clamp(fade, 0, 255));
  for (int i = 0; i < 256; ++i) {
    const uint32_t r = palette[3 * i];
    const uint32_t g = palette[3 * i + 1];
    const uint32_t b = palette[3 * i + 2];
    // The palette is 6 bits per component: red and blue lose one more bit
    // than green, so full white comes out as 0xFFDF, not 0xFFFF.
    const uint32_t red = ((r * f) >> 9) & 0x1F;
    const uint32_t green = ((g * f) >> 8) & 0x3F;
    const uint32_t blue = (((b * f) >> 8) >> 1) & 0x1F;
    table[i] = static_cast<uint16_t>((red << 11) | (green << 5) | blue);
  }
}

void WriteLogoPicture(const uint8_t* picture, const uint16_t table[256], uint16_t* buffer,
                      int32_t stride_bytes) {
  // The screen's origin is at the lower left: the picture's top row is the
  // highest memory row, and each following row is one stride lower.
  auto* row_bytes = reinterpret_cast<uint8_t*>(buffer) +
                    static_cast<std::ptrdiff_t>(kLogoHeight - 1) * stride_bytes;
  for (int y = 0; y < kLogoHeight; ++y) {
    uint16_t* out = reinterpret_cast<uint16_t*>(row_bytes);
    const uint8_t* in = picture + static_cast<std::ptrdiff_t>(y) * kLogoWidth;
    for (int x = 0; x < kLogoWidth; x += 4) {
      out[x] = table[in[x]];
      out[x + 1] = table[in[x + 1]];
      out[x + 2] = table[in[x + 2]];
      out[x + 3] = table[in[x + 3]];
    }
    row_bytes -= stride_bytes;
  }
}

void DrawLogo(float /*progress*/) {
  // Without the picture, or on a screen smaller than it, there is nothing
  // this row can draw safely.
  if (!LogoPicture || ScreenWidth < kLogoWidth || ScreenHeight < kLogoHeight) return;
  int32_t stride_bytes = 0;
  uint16_t* buffer = LockFrameWrite(&stride_bytes);
  if (!buffer) return;  // no back buffer this frame: draw nothing
  // A stride narrower than a row, or not a whole number of pixels, would
  // make rows overlap or misalign; the board never gives one.
  if (stride_bytes >= kLogoWidth * 2 && stride_bytes % 2 == 0) {
    BuildLogoColorTable(LogoPalette, FadeLevel, LogoColorTable);
    WriteLogoPicture(LogoPicture, LogoColorTable, buffer, stride_bytes);
  }
  UnlockFrameWrite();
}
