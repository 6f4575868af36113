// The icon and the cursor (see window_art.h). Every pixel is sampled 4 x 4
// times, so the round planet and the slanted strokes get smooth edges at
// any icon size.
#include "platform/window_art.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace platform {
namespace {

constexpr int kSamples = 4;  // per axis, per pixel

struct Colour {
  float r = 0, g = 0, b = 0, a = 0;  // 0..1, straight alpha
};

Colour Mix(const Colour& from, const Colour& to, float t) {
  t = std::clamp(t, 0.0f, 1.0f);
  return {from.r + (to.r - from.r) * t, from.g + (to.g - from.g) * t, from.b + (to.b - from.b) * t,
          from.a + (to.a - from.a) * t};
}

uint32_t Pack(const Colour& c) {
  const auto byte = [](float v) {
    return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
  };
  return byte(c.a) << 24 | byte(c.r) << 16 | byte(c.g) << 8 | byte(c.b);
}

// Distance from point (x, y) to the segment (ax, ay)-(bx, by).
float SegmentDistance(float x, float y, float ax, float ay, float bx, float by) {
  const float dx = bx - ax, dy = by - ay;
  const float t = std::clamp(((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy), 0.0f, 1.0f);
  return std::hypot(x - (ax + t * dx), y - (ay + t * dy));
}

// The icon at one sample point, in units where the tile spans 0..1.
Colour IconSample(float x, float y) {
  const Colour night_top{0.04f, 0.05f, 0.18f, 1}, night_bottom{0.10f, 0.02f, 0.20f, 1};
  const Colour sun_side{1.00f, 0.72f, 0.30f, 1}, shadow_side{0.45f, 0.08f, 0.12f, 1};
  const Colour gold{1.00f, 0.86f, 0.35f, 1}, rim{0.05f, 0.03f, 0.08f, 1};

  // A tile with rounded corners: outside it the icon is transparent.
  const float corner = 0.22f;
  const float qx = std::max(std::abs(x - 0.5f) - (0.5f - corner), 0.0f);
  const float qy = std::max(std::abs(y - 0.5f) - (0.5f - corner), 0.0f);
  if (std::hypot(qx, qy) > corner) return {};
  Colour c = Mix(night_top, night_bottom, y);

  // The planet, lit from the upper left like the demo's own planet scenes.
  const float px = x - 0.5f, py = y - 0.58f, radius = 0.33f;
  if (std::hypot(px, py) < radius) {
    const float light = 0.5f - (px + py) / (2.0f * radius) * 0.7f;
    c = Mix(shadow_side, sun_side, light);
  }

  // The "V": two strokes, a dark rim under gold.
  const float stroke = std::min(SegmentDistance(x, y, 0.20f, 0.16f, 0.50f, 0.84f),
                                SegmentDistance(x, y, 0.80f, 0.16f, 0.50f, 0.84f));
  if (stroke < 0.095f) c = rim;
  if (stroke < 0.060f) c = Mix(gold, sun_side, y);
  return c;
}

// The classic arrow outline, tip at (1.5, 1.5) so that its dark rim fits
// inside the picture, in cursor pixels.
constexpr float kArrow[][2] = {{1.5f, 1.5f},   {1.5f, 23.0f},  {7.0f, 18.0f}, {11.0f, 27.0f},
                               {15.0f, 25.5f}, {11.0f, 16.5f}, {18.0f, 16.5f}};

bool InsideArrow(float x, float y) {
  bool inside = false;
  const int n = static_cast<int>(std::size(kArrow));
  for (int i = 0, j = n - 1; i < n; j = i++) {
    const float xi = kArrow[i][0], yi = kArrow[i][1], xj = kArrow[j][0], yj = kArrow[j][1];
    if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) inside = !inside;
  }
  return inside;
}

float ArrowEdgeDistance(float x, float y) {
  float nearest = 1e9f;
  const int n = static_cast<int>(std::size(kArrow));
  for (int i = 0, j = n - 1; i < n; j = i++) {
    nearest = std::min(
        nearest, SegmentDistance(x, y, kArrow[j][0], kArrow[j][1], kArrow[i][0], kArrow[i][1]));
  }
  return nearest;
}

Colour CursorSample(float x, float y) {
  const Colour rim{0.06f, 0.03f, 0.10f, 1}, gold{1.00f, 0.86f, 0.35f, 1};
  const Colour ember{0.95f, 0.42f, 0.12f, 1};
  const bool inside = InsideArrow(x, y);
  const float edge = ArrowEdgeDistance(x, y);
  if (!inside && edge > 1.2f) return {};
  if (!inside || edge < 1.2f) return rim;
  return Mix(gold, ember, y / 27.0f);
}

template <typename Sampler>
ArgbImage Render(int width, int height, float scale, Sampler sample) {
  ArgbImage image;
  image.width = width;
  image.height = height;
  image.pixels.resize(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      Colour sum;  // premultiplied while summing, so edges do not darken
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          const Colour c =
              sample((x + (sx + 0.5f) / kSamples) * scale, (y + (sy + 0.5f) / kSamples) * scale);
          sum.r += c.r * c.a;
          sum.g += c.g * c.a;
          sum.b += c.b * c.a;
          sum.a += c.a;
        }
      }
      Colour pixel;
      if (sum.a > 0.0f) {
        pixel = {sum.r / sum.a, sum.g / sum.a, sum.b / sum.a, sum.a / (kSamples * kSamples)};
      }
      image.pixels[static_cast<size_t>(y) * width + x] = Pack(pixel);
    }
  }
  return image;
}

}  // namespace

ArgbImage DrawDemoIcon(int size) {
  size = std::max(size, 1);
  return Render(size, size, 1.0f / static_cast<float>(size), IconSample);
}

ArgbImage DrawDemoCursor() {
  ArgbImage cursor = Render(32, 32, 1.0f, CursorSample);
  cursor.hot_x = 1;
  cursor.hot_y = 1;
  return cursor;
}

}  // namespace platform
