// The picture window of the page: each finished RGB 565 frame becomes RGBA
// for the canvas (the page scales it, 4:3 kept), and a swap at the retrace
// waits for the browser's next animation frame, which is how the demo loop
// yields to the page once per frame.
#include <wasm_simd128.h>

#include <cstdint>
#include <vector>

#include "platform/picture_window.h"
#include "platform/web/web_page.h"

namespace platform {
namespace {

struct PictureState {
  bool open = false;
  bool presenting = false;
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;
};

PictureState& State() {
  static PictureState state;
  return state;
}

// The same widening as the screenshots' (storage/png_file.cpp): the top bits
// repeated into the low ones, so 0 stays 0 and full stays 255.
uint8_t Widen5(unsigned v) {
  return static_cast<uint8_t>(v << 3 | v >> 2);
}
uint8_t Widen6(unsigned v) {
  return static_cast<uint8_t>(v << 2 | v >> 4);
}

}  // namespace

void SetPictureWindowOptions(const PictureWindowOptions& /*options*/) {}

bool OpenPictureWindow(int width, int height) {
  if (width <= 0 || height <= 0) return false;
  PictureState& s = State();
  s.open = true;
  s.presenting = true;
  s.width = width;
  s.height = height;
  s.rgba.assign(static_cast<size_t>(width) * height * 4, 0);
  return true;
}

void ClosePictureWindow() {
  State().open = false;
}

bool PictureWindowOpen() {
  return State().open;
}

PictureWindowLook PictureWindowLookNow() {
  return PictureWindowLook{};
}

void SubmitPicture(const uint16_t* pixels, int width, int height, int stride_pixels, bool wait) {
  PictureState& s = State();
  if (!s.open || !s.presenting || width != s.width || height != s.height) return;
  uint8_t* out = s.rgba.data();
  const v128_t low5 = wasm_i16x8_splat(0x1F);
  const v128_t low6 = wasm_i16x8_splat(0x3F);
  const v128_t opaque = wasm_i16x8_splat(static_cast<int16_t>(0xFF00));
  for (int y = 0; y < height; ++y) {
    // Memory row 0 is the bottom of the screen; the canvas starts at the top.
    const uint16_t* row = pixels + static_cast<ptrdiff_t>(height - 1 - y) * stride_pixels;
    int x = 0;
    // Eight pixels at a time: the channels widened in 16-bit lanes, then
    // red with green and blue with alpha interleaved to RGBA bytes.
    for (; x + 8 <= width; x += 8) {
      const v128_t p = wasm_v128_load(row + x);
      const v128_t r5 = wasm_u16x8_shr(p, 11);
      const v128_t g6 = wasm_v128_and(wasm_u16x8_shr(p, 5), low6);
      const v128_t b5 = wasm_v128_and(p, low5);
      const v128_t r = wasm_v128_or(wasm_i16x8_shl(r5, 3), wasm_u16x8_shr(r5, 2));
      const v128_t g = wasm_v128_or(wasm_i16x8_shl(g6, 2), wasm_u16x8_shr(g6, 4));
      const v128_t b = wasm_v128_or(wasm_i16x8_shl(b5, 3), wasm_u16x8_shr(b5, 2));
      const v128_t red_green = wasm_v128_or(r, wasm_i16x8_shl(g, 8));
      const v128_t blue_alpha = wasm_v128_or(b, opaque);
      wasm_v128_store(out, wasm_i16x8_shuffle(red_green, blue_alpha, 0, 8, 1, 9, 2, 10, 3, 11));
      wasm_v128_store(out + 16,
                      wasm_i16x8_shuffle(red_green, blue_alpha, 4, 12, 5, 13, 6, 14, 7, 15));
      out += 32;
    }
    for (; x < width; ++x) {
      const unsigned p = row[x];
      out[0] = Widen5(p >> 11);
      out[1] = Widen6((p >> 5) & 0x3F);
      out[2] = Widen5(p & 0x1F);
      out[3] = 255;
      out += 4;
    }
  }
  veyrith_page_show_picture(s.rgba.data(), width, height, wait ? 1 : 0);
  if (wait) veyrith_page_wait_frame();
}

void StopPresenting() {
  State().presenting = false;
}

void ServePictureWindow() {}

}  // namespace platform
