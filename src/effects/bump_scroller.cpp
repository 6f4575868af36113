// The bump-lit scroller row (see bump_scroller.h).
#include "effects/bump_scroller.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "device/demo_state.h"
#include "device/device.h"

uint16_t BumpColorTable[256];

namespace {

constexpr int kBumpPixels = kBumpWidth * kBumpHeight;
// The lit picture lies this many rows above the height field it comes from.
constexpr int kLightRowShift = 5;
constexpr int kFirstLitRow = 10;
// Highest memory row pair of the doubled picture (rows 440 and 441).
constexpr int kTopMemoryRow = 440;

}  // namespace

BumpFrame ComputeBumpFrame(float progress) {
  BumpFrame frame;
  // T runs from 0 to 75 over the 58-second row: computed in double, kept
  // as float.
  frame.effect_time = static_cast<float>(static_cast<double>(progress) * 75.0);
  // 16 text rows per unit of T. The clamp only guards the conversion
  // against a progress far outside [0, 1); inside it nothing changes.
  const float rows = std::clamp(frame.effect_time * 16.0f, -1.0e6f, 1.0e6f);
  frame.scroll = std::isnan(rows) ? 0 : static_cast<int32_t>(rows);
  // The light's path is computed in extended precision and truncated.
  const long double t = frame.effect_time;
  const long double lx = std::sin(t + static_cast<long double>(0.2)) * 100.0L + 125.0L;
  const long double ly = std::cos(t * static_cast<long double>(1.862)) * 50.0L + 100.0L;
  frame.light_x = std::isfinite(lx) ? static_cast<int32_t>(lx) : 125;
  frame.light_y = std::isfinite(ly) ? static_cast<int32_t>(ly) : 100;
  return frame;
}

void BuildBumpColorTable(int32_t fade, uint16_t table[256]) {
  const uint32_t f = static_cast<uint32_t>(std::clamp(fade, 0, 255));
  for (uint32_t i = 0; i < 256; ++i) {
    const uint32_t v = (i * f) >> 8;
    // Blue takes v >> 4, one bit less than red: white is slightly yellow.
    table[i] = static_cast<uint16_t>(((v >> 3) << 11) | ((v >> 2) << 5) | (v >> 4));
  }
}

void OverlayScrollerText(const uint8_t* text, int32_t scroll, uint8_t* work) {
  const int32_t top = kBumpHeight - scroll;
  int32_t rows = kBumpHeight - top;
  const int32_t source_row = top < 0 ? -top : 0;
  const int32_t target_row = top < 0 ? 0 : top;
  if (rows + source_row > kScrollerTextRows) rows = kScrollerTextRows - source_row;
  if (rows > kBumpHeight) rows = kBumpHeight;
  if (rows <= 0) return;
  const uint8_t* in = text + static_cast<std::ptrdiff_t>(source_row) * kBumpWidth;
  uint8_t* out = work + static_cast<std::ptrdiff_t>(target_row) * kBumpWidth;
  const int count = rows * kBumpWidth;
  for (int i = 0; i < count; ++i) {
    const uint8_t value = in[i];
    out[i] = value != 0 ? value : out[i];  // 0 lets the background through
  }
}

void ComputeGradient(const uint8_t* source, uint8_t* target) {
  for (int y = 1; y < kBumpHeight - 1; ++y) {
    const uint8_t* above = source + (y - 1) * kBumpWidth;
    const uint8_t* here = source + y * kBumpWidth;
    uint8_t* out = target + y * kBumpWidth;
    for (int x = 1; x < kBumpWidth - 1; ++x) {
      // A signed difference halved toward zero: 1..255 around the flat 128.
      const int difference = static_cast<int>(above[x - 1]) - static_cast<int>(here[x]);
      out[x] = static_cast<uint8_t>(difference / 2 + 128);
    }
  }
}

void SetGradientBorders(uint8_t* gradient) {
  for (int y = 0; y < kBumpHeight; ++y) {
    gradient[y * kBumpWidth] = 0;
    gradient[y * kBumpWidth + kBumpWidth - 1] = 255;
  }
}

void LightBumpPicture(const uint8_t* gradient, const uint8_t* light, int32_t light_x,
                      int32_t light_y, uint8_t* work) {
  std::memset(work, 0, kBumpPixels);
  for (int y = kFirstLitRow; y < kBumpHeight - 1; ++y) {
    const uint8_t* slope = gradient + y * kBumpWidth;
    uint8_t* out = work + (y - kLightRowShift) * kBumpWidth;
    const int32_t v_base = y - light_y;
    for (int x = 0; x < kBumpWidth; ++x) {
      // One slope value shifts both coordinates of the light look-up.
      const int32_t g = slope[x];
      const uint32_t u = static_cast<uint32_t>(x - light_x + g);
      const uint32_t v = static_cast<uint32_t>(v_base + g);
      // Negative values wrapped to large ones, so one test covers both
      // ends of both ranges; outside, the pixel stays black. The masked
      // index keeps the look-up in the picture either way, so the choice
      // needs no branch.
      const bool inside = (u | v) < static_cast<uint32_t>(kBumpLightSize);
      const uint8_t lit = light[((v & 0xFF) << 8) | (u & 0xFF)];
      out[x] = inside ? lit : 0;
    }
  }
}

void WriteBumpPicture(const uint8_t* work, const uint16_t table[256], uint16_t* buffer,
                      int32_t stride_bytes) {
  // Lower-left origin: the picture's top row fills memory rows 440 and 441,
  // and each following row pair lies two strides lower, down to rows 42, 43.
  auto* row_bytes = reinterpret_cast<uint8_t*>(buffer) +
                    static_cast<std::ptrdiff_t>(kTopMemoryRow) * stride_bytes;
  for (int y = 0; y < kBumpHeight; ++y) {
    uint16_t* lower = reinterpret_cast<uint16_t*>(row_bytes);
    uint16_t* upper = reinterpret_cast<uint16_t*>(row_bytes + stride_bytes);
    const uint8_t* in = work + y * kBumpWidth;
    for (int x = 0; x < kBumpWidth; ++x) {
      // Both cells of a row pair in one 32-bit store.
      const uint32_t pair = table[in[x]] * 0x10001u;
      std::memcpy(lower + 2 * x, &pair, sizeof pair);
      std::memcpy(upper + 2 * x, &pair, sizeof pair);
    }
    row_bytes -= 2 * static_cast<std::ptrdiff_t>(stride_bytes);
  }
}

void DrawBumpScroller(float progress) {
  // Without the pictures, or on a screen too small for the doubled picture,
  // there is nothing this row can draw safely.
  if (!ScrollerText || !ScrollerBackground || !BumpLight || !BumpGradient || !BumpWork) return;
  if (ScreenWidth < 2 * kBumpWidth || ScreenHeight < kTopMemoryRow + 2) return;
  const BumpFrame frame = ComputeBumpFrame(progress);
  BuildBumpColorTable(FadeLevel, BumpColorTable);
  std::memcpy(BumpWork, ScrollerBackground, kBumpPixels);
  OverlayScrollerText(ScrollerText, frame.scroll, BumpWork);
  ComputeGradient(BumpWork, BumpGradient);
  SetGradientBorders(BumpGradient);
  LightBumpPicture(BumpGradient, BumpLight, frame.light_x, frame.light_y, BumpWork);

  int32_t stride_bytes = 0;
  uint16_t* buffer = LockFrameWrite(&stride_bytes);
  if (!buffer) return;  // no back buffer this frame: draw nothing
  // A stride narrower than a row, or not a whole number of pixels, would
  // make rows overlap or misalign; the board never gives one.
  if (stride_bytes >= 2 * kBumpWidth * 2 && stride_bytes % 2 == 0) {
    WriteBumpPicture(BumpWork, BumpColorTable, buffer, stride_bytes);
  }
  UnlockFrameWrite();
}
