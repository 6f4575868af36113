// Tileable value noise; see procedural.h.
#include "content/procedural.h"

#include <cmath>

namespace {

float SmoothStep(float t) {
  return t * t * (3.0f - 2.0f * t);
}

int Wrap(int v, int period) {
  const int r = v % period;
  return r < 0 ? r + period : r;
}

}  // namespace

float LatticeValue(int x, int y, uint32_t seed) {
  uint32_t h = static_cast<uint32_t>(x) * 0x8DA6B343u ^ static_cast<uint32_t>(y) * 0xD8163841u ^
               seed * 0xCB1AB31Fu;
  h ^= h >> 13;
  h *= 0x5BD1E995u;
  h ^= h >> 15;
  return static_cast<float>(h & 0xFFFFFF) / static_cast<float>(0xFFFFFF);
}

float TileNoise(float x, float y, int period, uint32_t seed) {
  const float fx = std::floor(x);
  const float fy = std::floor(y);
  const int x0 = static_cast<int>(fx);
  const int y0 = static_cast<int>(fy);
  const float tx = SmoothStep(x - fx);
  const float ty = SmoothStep(y - fy);
  const float a = LatticeValue(Wrap(x0, period), Wrap(y0, period), seed);
  const float b = LatticeValue(Wrap(x0 + 1, period), Wrap(y0, period), seed);
  const float c = LatticeValue(Wrap(x0, period), Wrap(y0 + 1, period), seed);
  const float d = LatticeValue(Wrap(x0 + 1, period), Wrap(y0 + 1, period), seed);
  return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

float TileFractal(float x, float y, int period, int octaves, float persistence, uint32_t seed) {
  float sum = 0, weight = 1, total = 0;
  for (int o = 0; o < octaves; ++o) {
    const float scale = static_cast<float>(1 << o);
    sum += weight *
           TileNoise(x * scale, y * scale, period << o, seed + static_cast<uint32_t>(o) * 101u);
    total += weight;
    weight *= persistence;
  }
  return sum / total;
}

float TileRidged(float x, float y, int period, int octaves, uint32_t seed) {
  float sum = 0, weight = 1, total = 0;
  for (int o = 0; o < octaves; ++o) {
    const float scale = static_cast<float>(1 << o);
    const float n =
        TileNoise(x * scale, y * scale, period << o, seed + static_cast<uint32_t>(o) * 131u);
    const float ridge = 1.0f - std::fabs(2.0f * n - 1.0f);
    sum += weight * ridge * ridge;
    total += weight;
    weight *= 0.5f;
  }
  return sum / total;
}
