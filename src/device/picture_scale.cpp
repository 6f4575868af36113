#include "device/picture_scale.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Weights are in 1/256 (0..255 for the second pixel): positions are kept to
// 1/256 of a source pixel, and a blended channel in 1/256 of its step.
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

// The two source pixels blended and the weight of the second, the edges held
// at the outermost pixel.
void Neighbours(int64_t position, int source_count, int* first, int* second, int* weight) {
  *first = 0;
  *weight = 0;
  if (position > 0) {
    *first = static_cast<int>(position >> kWeightBits);
    *weight = static_cast<int>(position & (kWeightOne - 1));
  }
  if (*first >= source_count - 1) {
    *first = source_count - 1;
    *weight = 0;
  }
  *second = std::min(*first + 1, source_count - 1);
}

// Red, green and blue of a 565 pixel in the 16-bit lanes 0, 1 and 2: a
// multiple by a weight up to 256 keeps every lane apart.
uint64_t Spread(uint16_t pixel) {
  return (pixel >> 11) | (uint64_t{(pixel >> 5) & 63u} << 16) | (uint64_t{pixel & 31u} << 32);
}

// Source row `row` scaled across the area into its slot.
void ScaleRowAcross(PictureScaler* scaler, int source_width, int row, int width) {
  const int slot = row % 2;
  if (scaler->row_of[slot] == row) return;
  scaler->row_of[slot] = row;
  const uint64_t* source = scaler->spread.data() + static_cast<size_t>(row) * source_width;
  uint16_t* red = scaler->rows[slot].data();
  uint16_t* green = red + width;
  uint16_t* blue = green + width;
  const int32_t* column = scaler->columns.data();
  for (int i = 0; i < width; ++i, column += 3) {
    const auto weight = static_cast<uint64_t>(column[2]);
    const uint64_t blend = source[column[0]] * (kWeightOne - weight) + source[column[1]] * weight;
    red[i] = static_cast<uint16_t>(blend);
    green[i] = static_cast<uint16_t>(blend >> 16);
    blue[i] = static_cast<uint16_t>(blend >> 32);
  }
}

// One channel of a target pixel from the rows above and below (in 1/256
// steps, 0..63 x 256) and the weight of the lower one (0..255): rounded to
// a whole step.
uint32_t BlendDown(int32_t upper, int32_t lower, int32_t weight) {
  const int32_t value = upper + (((lower - upper) * weight) >> kWeightBits);  // floor
  return static_cast<uint32_t>(value + kWeightOne / 2) >> kWeightBits;
}

// A target row from two rows scaled across, count pixels.
void BlendRows(const uint16_t* upper, const uint16_t* lower, int width, int weight, uint16_t* out) {
  int i = 0;
#if defined(__SSE2__)
  // The same arithmetic eight pixels at a time: the high half of a 16-bit
  // product of 2 x difference and 128 x weight is floor(difference x
  // weight / 256), as in BlendDown.
  const __m128i scaled_weight = _mm_set1_epi16(static_cast<int16_t>(weight << 7));
  const __m128i half = _mm_set1_epi16(kWeightOne / 2);
  for (; i + 8 <= width; i += 8) {
    __m128i channel[3];
    for (int c = 0; c < 3; ++c) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(upper + c * width + i));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lower + c * width + i));
      const __m128i difference = _mm_slli_epi16(_mm_sub_epi16(b, a), 1);
      const __m128i value = _mm_add_epi16(a, _mm_mulhi_epi16(difference, scaled_weight));
      channel[c] = _mm_srli_epi16(_mm_add_epi16(value, half), kWeightBits);
    }
    const __m128i pixels = _mm_or_si128(
        _mm_or_si128(_mm_slli_epi16(channel[0], 11), _mm_slli_epi16(channel[1], 5)), channel[2]);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), pixels);
  }
#endif
  for (; i < width; ++i) {
    const uint32_t r = BlendDown(upper[i], lower[i], weight);
    const uint32_t g = BlendDown(upper[width + i], lower[width + i], weight);
    const uint32_t b = BlendDown(upper[2 * width + i], lower[2 * width + i], weight);
    out[i] = static_cast<uint16_t>(r << 11 | g << 5 | b);
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
  scaler->spread.resize(static_cast<size_t>(sw) * sh);
  for (int y = 0; y < sh; ++y) {
    const uint16_t* row = source.pixels + static_cast<size_t>(y) * source.stride_pixels;
    uint64_t* spread = scaler->spread.data() + static_cast<size_t>(y) * sw;
    for (int x = 0; x < sw; ++x) spread[x] = Spread(row[x]);
  }
  scaler->columns.resize(3 * static_cast<size_t>(area.width));
  for (int i = 0; i < area.width; ++i) {
    int32_t* column = &scaler->columns[3 * static_cast<size_t>(i)];
    Neighbours(SourcePosition(i, area.width, sw), sw, &column[0], &column[1], &column[2]);
  }
  for (auto& row : scaler->rows) row.resize(3 * static_cast<size_t>(area.width));
  scaler->row_of[0] = scaler->row_of[1] = -1;

  for (int y = 0; y < target.height; ++y) {
    uint16_t* out = target.pixels + static_cast<size_t>(y) * target.stride_pixels;
    if (y < area.y || y >= area.y + area.height) {
      std::fill(out, out + target.width, uint16_t{0});
      continue;
    }
    std::fill(out, out + area.x, uint16_t{0});
    std::fill(out + area.x + area.width, out + target.width, uint16_t{0});
    int upper, lower, weight;
    Neighbours(SourcePosition(y - area.y, area.height, sh), sh, &upper, &lower, &weight);
    ScaleRowAcross(scaler, sw, upper, area.width);
    ScaleRowAcross(scaler, sw, lower, area.width);
    BlendRows(scaler->rows[upper % 2].data(), scaler->rows[lower % 2].data(), area.width, weight,
              out + area.x);
  }
}
