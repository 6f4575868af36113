#include "device/picture_scale.h"

#include <algorithm>

namespace {

// Weights are in 1/256: positions are kept to 1/256 of a source pixel.
constexpr int kWeightBits = 8;
constexpr int kWeightOne = 1 << kWeightBits;

// The source position of the centre of target pixel i (of count across an
// area that source_count pixels span), in 1/256 source pixels: centres map to
// centres, (i + 0.5) x source_count / count - 0.5.
int64_t SourcePosition(int i, int count, int source_count) {
  const int64_t scaled = (static_cast<int64_t>(2 * i + 1) * source_count * kWeightOne) /
                         (2 * static_cast<int64_t>(count));
  return scaled - kWeightOne / 2;
}

// The first of the two source pixels blended and the weight of the second,
// the edges held at the outermost pixel.
void Neighbours(int64_t position, int source_count, int* first, int* weight) {
  if (position <= 0) {
    *first = 0;
    *weight = 0;
    return;
  }
  *first = static_cast<int>(position >> kWeightBits);
  *weight = static_cast<int>(position & (kWeightOne - 1));
  if (*first >= source_count - 1) {
    *first = source_count - 1;
    *weight = 0;
  }
}

}  // namespace

PictureArea FitPictureArea(int source_width, int source_height, int width, int height) {
  PictureArea area;
  if (static_cast<int64_t>(width) * source_height >= static_cast<int64_t>(height) * source_width) {
    area.height = height;
    area.width = static_cast<int>(static_cast<int64_t>(height) * source_width / source_height);
  } else {
    area.width = width;
    area.height = static_cast<int>(static_cast<int64_t>(width) * source_height / source_width);
  }
  area.x = (width - area.width) / 2;
  area.y = (height - area.height) / 2;
  return area;
}

void ScalePictureSmooth(const PicturePlane& source, const PicturePlane& target,
                        const PictureArea& area, PictureScaler* scaler) {
  const int sw = source.width, sh = source.height;
  const size_t plane = static_cast<size_t>(sw) * sh;
  // Each channel in its own plane, at its own depth (5, 6 and 5 bits): the
  // blends then work on plain small integers.
  scaler->channels.resize(3 * plane);
  uint8_t* red = scaler->channels.data();
  uint8_t* green = red + plane;
  uint8_t* blue = green + plane;
  for (int y = 0; y < sh; ++y) {
    const uint16_t* row = source.pixels + static_cast<size_t>(y) * source.stride_pixels;
    const size_t at = static_cast<size_t>(y) * sw;
    for (int x = 0; x < sw; ++x) {
      red[at + x] = static_cast<uint8_t>(row[x] >> 11);
      green[at + x] = static_cast<uint8_t>((row[x] >> 5) & 63);
      blue[at + x] = static_cast<uint8_t>(row[x] & 31);
    }
  }
  scaler->columns.resize(2 * static_cast<size_t>(area.width));
  for (int i = 0; i < area.width; ++i) {
    Neighbours(SourcePosition(i, area.width, sw), sw, &scaler->columns[2 * i],
               &scaler->columns[2 * i + 1]);
  }
  scaler->row_blend.resize(3 * static_cast<size_t>(sw) + 1);
  uint32_t* blend = scaler->row_blend.data();

  for (int y = 0; y < target.height; ++y) {
    uint16_t* out = target.pixels + static_cast<size_t>(y) * target.stride_pixels;
    if (y < area.y || y >= area.y + area.height) {
      std::fill(out, out + target.width, uint16_t{0});
      continue;
    }
    std::fill(out, out + area.x, uint16_t{0});
    std::fill(out + area.x + area.width, out + target.width, uint16_t{0});
    int top, weight;
    Neighbours(SourcePosition(y - area.y, area.height, sh), sh, &top, &weight);
    const int bottom = std::min(top + 1, sh - 1);
    // The source row at this height, blended, in 1/256 steps of each channel.
    for (int c = 0; c < 3; ++c) {
      const uint8_t* first = red + c * plane + static_cast<size_t>(top) * sw;
      const uint8_t* second = red + c * plane + static_cast<size_t>(bottom) * sw;
      uint32_t* row = blend + c * sw;
      for (int x = 0; x < sw; ++x) {
        row[x] = first[x] * static_cast<uint32_t>(kWeightOne - weight) +
                 second[x] * static_cast<uint32_t>(weight);
      }
    }
    const uint32_t* row_red = blend;
    const uint32_t* row_green = blend + sw;
    const uint32_t* row_blue = blend + 2 * sw;
    const int32_t* column = scaler->columns.data();
    constexpr uint32_t kHalf = 1u << (2 * kWeightBits - 1);  // rounds to nearest
    for (int i = 0; i < area.width; ++i) {
      const int x = column[2 * i];
      const auto w = static_cast<uint32_t>(column[2 * i + 1]);
      const int next = x + (w != 0 ? 1 : 0);
      const uint32_t keep = kWeightOne - w;
      const uint32_t r = (row_red[x] * keep + row_red[next] * w + kHalf) >> (2 * kWeightBits);
      const uint32_t g = (row_green[x] * keep + row_green[next] * w + kHalf) >> (2 * kWeightBits);
      const uint32_t b = (row_blue[x] * keep + row_blue[next] * w + kHalf) >> (2 * kWeightBits);
      out[area.x + i] = static_cast<uint16_t>(r << 11 | g << 5 | b);
    }
  }
}
