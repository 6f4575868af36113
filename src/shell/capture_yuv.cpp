// Board frames to YUV 4:2:0 pictures for the video encoder (see
// capture_frames.h). The encoder's own conversion from RGB cost as much CPU
// time as the demo's rendering; tables over the 65536 colours of the board
// make it a few lookups a pixel.
#include <cstring>
#include <vector>

#include "shell/capture_frames.h"

namespace {

// BT.601 in the limited range (Y 16..235, U and V 16..240 around 128):
// the standard's coefficients over 255, in 16.16 fixed point, rounded to
// the nearest (each difference's coefficients sum to zero, so grey stays
// at 128).
int LumaOf(int r, int g, int b) {
  return 16 + ((16829 * r + 33039 * g + 6416 * b + 32768) >> 16);
}
int BlueDifferenceOf(int r, int g, int b) {
  return 128 + ((-9714 * r - 19070 * g + 28784 * b + 32768) >> 16);
}
int RedDifferenceOf(int r, int g, int b) {
  return 128 + ((28784 * r - 24103 * g - 4681 * b + 32768) >> 16);
}

struct ColourTables {
  uint8_t luma[65536];
  // Red, green and blue widened to 8 bits as the RGB pictures have them.
  uint8_t red[65536], green[65536], blue[65536];
  ColourTables() {
    for (int t = 0; t < 65536; ++t) {
      const int r5 = t >> 11, g6 = (t >> 5) & 63, b5 = t & 31;
      red[t] = static_cast<uint8_t>((r5 << 3) | (r5 >> 2));
      green[t] = static_cast<uint8_t>((g6 << 2) | (g6 >> 4));
      blue[t] = static_cast<uint8_t>((b5 << 3) | (b5 >> 2));
      luma[t] = static_cast<uint8_t>(LumaOf(red[t], green[t], blue[t]));
    }
  }
};

const ColourTables& Tables() {
  static const ColourTables tables;
  return tables;
}

}  // namespace

size_t CapturePictureBytes(CapturePixels pixels, int width, int height) {
  const size_t area = static_cast<size_t>(width) * height;
  return pixels == CapturePixels::kRgb24 ? area * 3 : area + area / 2;
}

void ConvertFrameToYuv420(const uint16_t* pixels, int width, int height, int stride_pixels,
                          int scale, uint8_t* yuv) {
  const ColourTables& t = Tables();
  const int out_width = width * scale;
  const int out_height = height * scale;
  // The board pixel under each enlarged column; screen row y is memory row
  // height - 1 - y.
  std::vector<int> columns(static_cast<size_t>(out_width));
  int* column = columns.data();
  for (int x = 0; x < out_width; ++x) column[x] = x / scale;
  const auto row = [&](int out_y) {
    return pixels + static_cast<size_t>(height - 1 - out_y / scale) * stride_pixels;
  };
  uint8_t* luma = yuv;
  for (int y = 0; y < out_height; ++y) {
    const uint16_t* in = row(y);
    uint8_t* out = luma + static_cast<size_t>(y) * out_width;
    for (int x = 0; x < out_width; ++x) out[x] = t.luma[in[column[x]]];
  }
  const int chroma_width = out_width / 2;
  uint8_t* blue_difference = yuv + static_cast<size_t>(out_width) * out_height;
  uint8_t* red_difference = blue_difference + static_cast<size_t>(chroma_width) * (out_height / 2);
  for (int cy = 0; cy < out_height / 2; ++cy) {
    const uint16_t* top = row(2 * cy);
    const uint16_t* bottom = row(2 * cy + 1);
    uint8_t* u = blue_difference + static_cast<size_t>(cy) * chroma_width;
    uint8_t* v = red_difference + static_cast<size_t>(cy) * chroma_width;
    for (int cx = 0; cx < chroma_width; ++cx) {
      const uint16_t a = top[column[2 * cx]], b = top[column[2 * cx + 1]];
      const uint16_t c = bottom[column[2 * cx]], d = bottom[column[2 * cx + 1]];
      // The average colour of the four pixels, rounded to the nearest.
      const int r = (t.red[a] + t.red[b] + t.red[c] + t.red[d] + 2) >> 2;
      const int g = (t.green[a] + t.green[b] + t.green[c] + t.green[d] + 2) >> 2;
      const int bl = (t.blue[a] + t.blue[b] + t.blue[c] + t.blue[d] + 2) >> 2;
      u[cx] = static_cast<uint8_t>(BlueDifferenceOf(r, g, bl));
      v[cx] = static_cast<uint8_t>(RedDifferenceOf(r, g, bl));
    }
  }
}
