// Colour ramps, colour reduction and encoding of generated pictures.
#include "content/picture.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "storage/bmp_writer.h"
#include "storage/pcx_writer.h"

namespace {

uint8_t ToByte(float v) {
  return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
}

struct ColourBox {
  std::vector<uint16_t> colours;  // 15-bit colours, one entry per distinct colour
  int Channel(uint16_t c, int ch) const { return (c >> (10 - 5 * ch)) & 31; }
  int LongestChannel(int* span) const {
    int best = 0;
    *span = -1;
    for (int ch = 0; ch < 3; ++ch) {
      int lo = 31, hi = 0;
      for (uint16_t c : colours)
        lo = std::min(lo, Channel(c, ch)), hi = std::max(hi, Channel(c, ch));
      if (hi - lo > *span) *span = hi - lo, best = ch;
    }
    return best;
  }
};

// Splits the box with the widest channel at its weighted median until
// there are 256 boxes or nothing is left to split.
void MedianCut(std::vector<ColourBox>& boxes, const std::vector<uint32_t>& counts) {
  while (boxes.size() < 256) {
    size_t widest = boxes.size();
    int widest_span = 0, widest_channel = 0;
    for (size_t b = 0; b < boxes.size(); ++b) {
      if (boxes[b].colours.size() < 2) continue;
      int span;
      const int channel = boxes[b].LongestChannel(&span);
      if (span > widest_span) widest = b, widest_span = span, widest_channel = channel;
    }
    if (widest == boxes.size()) break;
    ColourBox& box = boxes[widest];
    std::sort(box.colours.begin(), box.colours.end(), [&](uint16_t a, uint16_t b) {
      const int ca = box.Channel(a, widest_channel), cb = box.Channel(b, widest_channel);
      return ca != cb ? ca < cb : a < b;
    });
    // Split at the weighted median.
    uint64_t total = 0, running = 0;
    for (uint16_t c : box.colours) total += counts[c];
    size_t split = 1;
    for (size_t i = 0; i + 1 < box.colours.size(); ++i) {
      running += counts[box.colours[i]];
      split = i + 1;
      if (running * 2 >= total) break;
    }
    ColourBox upper;
    upper.colours.assign(box.colours.begin() + static_cast<long>(split), box.colours.end());
    box.colours.resize(split);
    boxes.push_back(std::move(upper));
  }
}

}  // namespace

void RgbPicture::Set(int x, int y, float r, float g, float b) {
  uint8_t* p = At(x, y);
  p[0] = ToByte(r);
  p[1] = ToByte(g);
  p[2] = ToByte(b);
}

void FillRamp(uint8_t palette[768], const std::vector<RampStop>& stops) {
  for (int i = 0; i < 256; ++i) {
    const float t = static_cast<float>(i) / 255.0f;
    size_t k = 0;
    while (k + 2 < stops.size() && t > stops[k + 1].at) ++k;
    const RampStop& a = stops[k];
    const RampStop& b = stops[std::min(k + 1, stops.size() - 1)];
    const float f = b.at > a.at ? std::clamp((t - a.at) / (b.at - a.at), 0.0f, 1.0f) : 0.0f;
    palette[i * 3 + 0] = ToByte(a.r + (b.r - a.r) * f);
    palette[i * 3 + 1] = ToByte(a.g + (b.g - a.g) * f);
    palette[i * 3 + 2] = ToByte(a.b + (b.b - a.b) * f);
  }
}

IndexedPicture ReduceColours(const RgbPicture& picture) {
  std::vector<uint32_t> counts(32768, 0);
  const size_t pixels = static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height);
  auto key = [&](size_t i) {
    const uint8_t* p = &picture.rgb[i * 3];
    return static_cast<uint16_t>((p[0] >> 3) << 10 | (p[1] >> 3) << 5 | (p[2] >> 3));
  };
  for (size_t i = 0; i < pixels; ++i) ++counts[key(i)];
  std::vector<ColourBox> boxes(1);
  for (uint16_t c = 0; c < 32768; ++c) {
    if (counts[c] != 0) boxes[0].colours.push_back(c);
  }
  MedianCut(boxes, counts);
  IndexedPicture out;
  out.width = picture.width;
  out.height = picture.height;
  std::vector<std::array<int, 3>> means;
  for (size_t b = 0; b < boxes.size(); ++b) {
    uint64_t sum[3] = {0, 0, 0}, weight = 0;
    for (uint16_t c : boxes[b].colours) {
      for (int ch = 0; ch < 3; ++ch)
        sum[ch] += static_cast<uint64_t>(boxes[b].Channel(c, ch) * 8 + 4) * counts[c];
      weight += counts[c];
    }
    std::array<int, 3> mean{};
    for (int ch = 0; ch < 3; ++ch) {
      mean[static_cast<size_t>(ch)] = weight ? static_cast<int>(sum[ch] / weight) : 0;
      out.palette[b * 3 + static_cast<size_t>(ch)] =
          static_cast<uint8_t>(std::min(mean[static_cast<size_t>(ch)], 255));
    }
    means.push_back(mean);
  }
  std::vector<int16_t> nearest(32768, -1);
  out.indices.resize(pixels);
  for (size_t i = 0; i < pixels; ++i) {
    const uint16_t c = key(i);
    if (nearest[c] < 0) {
      const int r = (c >> 10) * 8 + 4, g = ((c >> 5) & 31) * 8 + 4, b = (c & 31) * 8 + 4;
      int best = 0, best_distance = 1 << 30;
      for (size_t m = 0; m < means.size(); ++m) {
        const int dr = r - means[m][0], dg = g - means[m][1], db = b - means[m][2];
        const int d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
        if (d < best_distance) best_distance = d, best = static_cast<int>(m);
      }
      nearest[c] = static_cast<int16_t>(best);
    }
    out.indices[i] = static_cast<uint8_t>(nearest[c]);
  }
  return out;
}

std::vector<uint8_t> EncodePcx(const IndexedPicture& picture) {
  return EncodePcx8(picture.indices.data(), picture.width, picture.height, picture.palette);
}

std::vector<uint8_t> EncodeBmp(const RgbPicture& picture) {
  return EncodeBmp24(picture.rgb.data(), picture.width, picture.height);
}
