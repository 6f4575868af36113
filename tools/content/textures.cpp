// Procedural textures: plasma, grass, rock, snow, wood, stone, stars,
// flames, a planet's surface, a moon, brushed metal, sky, water and pine.
// Paletted ones are an index field over a smooth colour ramp, so they keep
// their gradients in the board's 16-bit colour.
#include "content/textures.h"

#include <cmath>
#include <functional>
#include <string>

#include "content/picture.h"
#include "content/procedural.h"

namespace {

constexpr float kTwoPi = 6.2831853f;

LibraryMember Member(const std::string& name, std::vector<uint8_t> bytes) {
  return {"textures\\" + name, std::move(bytes)};
}

// A paletted texture from a field f(x, y) in 0..1 and a colour ramp.
LibraryMember RampTexture(const std::string& name, int width, int height,
                          const std::vector<RampStop>& ramp,
                          const std::function<float(int, int)>& field) {
  IndexedPicture picture;
  picture.width = width;
  picture.height = height;
  FillRamp(picture.palette, ramp);
  picture.indices.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const float v = std::fmin(std::fmax(field(x, y), 0.0f), 1.0f);
      picture.indices[static_cast<size_t>(y * width + x)] =
          static_cast<uint8_t>(std::lround(v * 255.0f));
    }
  }
  return Member(name, EncodePcx(picture));
}

LibraryMember ColourTexture(const std::string& name, int width, int height,
                            const std::function<void(int, int, float*)>& colour, bool as_bmp) {
  RgbPicture picture(width, height);
  float rgb[3];
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      colour(x, y, rgb);
      picture.Set(x, y, rgb[0], rgb[1], rgb[2]);
    }
  }
  return Member(name, as_bmp ? EncodeBmp(picture) : EncodePcx(ReduceColours(picture)));
}

float Mix(float a, float b, float t) {
  return a + (b - a) * t;
}

LibraryMember Plasma() {
  return RampTexture(
      "plasm.pcx", 128, 128,
      {{0.0f, 0.05f, 0.0f, 0.15f},
       {0.25f, 0.45f, 0.05f, 0.55f},
       {0.5f, 0.95f, 0.35f, 0.3f},
       {0.75f, 1.0f, 0.85f, 0.35f},
       {1.0f, 0.2f, 0.9f, 0.95f}},
      [](int x, int y) {
        const float fx = static_cast<float>(x) / 128.0f, fy = static_cast<float>(y) / 128.0f;
        const float v = std::sin(kTwoPi * 2 * fx) + std::sin(kTwoPi * 3 * fy) +
                        std::sin(kTwoPi * (fx + fy)) + std::sin(kTwoPi * (2 * fx - fy) + 1.0f);
        return (v + 4.0f) / 8.0f;
      });
}

LibraryMember Grass() {
  return RampTexture("GRASS.PCX", 256, 256,
                     {{0.0f, 0.08f, 0.16f, 0.04f},
                      {0.35f, 0.2f, 0.36f, 0.09f},
                      {0.6f, 0.33f, 0.5f, 0.14f},
                      {0.8f, 0.52f, 0.55f, 0.22f},
                      {1.0f, 0.55f, 0.45f, 0.25f}},
                     [](int x, int y) {
                       const float fx = static_cast<float>(x), fy = static_cast<float>(y);
                       const float broad = TileFractal(fx / 64, fy / 64, 4, 4, 0.5f, 11);
                       const float fine = TileNoise(fx / 2, fy / 2, 128, 12);
                       return broad * 0.8f + fine * 0.25f - 0.05f;
                     });
}

LibraryMember Rock() {
  return ColourTexture(
      "ROCK.BMP", 128, 128,
      [](int x, int y, float* c) {
        const float fx = static_cast<float>(x), fy = static_cast<float>(y);
        const float ridge = TileRidged(fx / 32, fy / 32, 4, 4, 21);
        const float tint = TileFractal(fx / 64, fy / 64, 2, 3, 0.5f, 22);
        const float grain = TileNoise(fx, fy, 128, 23);
        const float v = 0.25f + 0.5f * ridge + 0.12f * grain;
        c[0] = v * Mix(0.95f, 1.1f, tint);
        c[1] = v * Mix(0.92f, 0.98f, tint);
        c[2] = v * Mix(0.95f, 0.82f, tint);
      },
      true);
}

LibraryMember Snow() {
  return RampTexture(
      "SNOW.PCX", 64, 64,
      {{0.0f, 0.55f, 0.62f, 0.78f}, {0.6f, 0.86f, 0.9f, 0.97f}, {1.0f, 1.0f, 1.0f, 1.0f}},
      [](int x, int y) {
        return TileFractal(static_cast<float>(x) / 16, static_cast<float>(y) / 16, 4, 4, 0.6f, 31);
      });
}

LibraryMember Wood() {
  return RampTexture("WOOD.PCX", 64, 256,
                     {{0.0f, 0.12f, 0.06f, 0.02f},
                      {0.3f, 0.36f, 0.2f, 0.09f},
                      {0.7f, 0.55f, 0.34f, 0.16f},
                      {1.0f, 0.68f, 0.46f, 0.24f}},
                     [](int x, int y) {
                       if (x % 16 == 0) return 0.02f;  // gap between planks
                       const float fx = static_cast<float>(x), fy = static_cast<float>(y);
                       const float warp = TileNoise(fx / 8, fy / 32, 8, 41) * 5.0f;
                       const float grain = 0.5f + 0.5f * std::sin(kTwoPi * (fx + warp) / 5.3f);
                       const float plank = LatticeValue(x / 16, 0, 42);
                       return 0.25f + 0.45f * grain * grain + 0.3f * plank;
                     });
}

LibraryMember Stone() {
  return ColourTexture(
      "STONE.BMP", 128, 64,
      [](int x, int y, float* c) {
        const float fx = static_cast<float>(x), fy = static_cast<float>(y);
        const float base = TileFractal(fx / 32, fy / 32, 4, 5, 0.55f, 51);
        const float crack = TileRidged(fx / 64, fy / 32, 2, 3, 52);
        const float lichen = TileFractal(fx / 16, fy / 16, 8, 3, 0.5f, 53);
        float v = 0.3f + 0.45f * base - 0.25f * std::pow(crack, 6.0f);
        c[0] = v, c[1] = v * 0.98f, c[2] = v * 0.92f;
        if (lichen > 0.62f) {
          const float t = std::fmin((lichen - 0.62f) * 6.0f, 0.8f);
          c[0] = Mix(c[0], 0.55f, t), c[1] = Mix(c[1], 0.58f, t), c[2] = Mix(c[2], 0.25f, t);
        }
      },
      true);
}

LibraryMember Stars() {
  return RampTexture("STARS.PCX", 256, 32,
                     {{0.0f, 0.0f, 0.0f, 0.02f},
                      {0.25f, 0.1f, 0.03f, 0.16f},
                      {0.5f, 0.35f, 0.4f, 0.6f},
                      {1.0f, 1.0f, 1.0f, 1.0f}},
                     [](int x, int y) {
                       const float nebula = TileFractal(static_cast<float>(x) / 64,
                                                        static_cast<float>(y) / 8, 4, 4, 0.55f, 61);
                       float v = std::fmax(0.0f, nebula - 0.45f) * 0.9f;
                       const float star = LatticeValue(x, y, 62);
                       if (star > 0.985f) v = 0.5f + (star - 0.985f) * 33.0f;
                       return v;
                     });
}

LibraryMember Fire() {
  return RampTexture("FIRE.PCX", 32, 256,
                     {{0.0f, 0.0f, 0.0f, 0.0f},
                      {0.3f, 0.5f, 0.04f, 0.0f},
                      {0.55f, 0.95f, 0.35f, 0.02f},
                      {0.8f, 1.0f, 0.75f, 0.2f},
                      {1.0f, 1.0f, 1.0f, 0.85f}},
                     [](int x, int y) {
                       const float fx = static_cast<float>(x), fy = static_cast<float>(y);
                       const float height = fy / 255.0f;  // 0 at the tip, 1 at the base
                       const float centre = 1.0f - std::fabs(fx - 15.5f) / 16.0f;
                       const float turbulence = TileFractal(fx / 8, fy / 32, 4, 4, 0.6f, 71);
                       return std::pow(height, 0.7f) * (0.45f + 0.55f * centre) *
                              (0.6f + 0.8f * turbulence);
                     });
}

LibraryMember Planet() {
  return ColourTexture(
      "PLANET.BMP", 256, 128,
      [](int x, int y, float* c) {
        const float fx = static_cast<float>(x), fy = static_cast<float>(y);
        const float land = TileFractal(fx / 64, fy / 64, 4, 6, 0.55f, 81);
        const float cloud = TileFractal(fx / 32, fy / 16, 8, 4, 0.5f, 82);
        const float latitude = std::fabs(fy - 63.5f) / 64.0f;
        if (land < 0.5f) {
          const float depth = (0.5f - land) * 4.0f;
          c[0] = Mix(0.1f, 0.02f, depth), c[1] = Mix(0.35f, 0.1f, depth),
          c[2] = Mix(0.6f, 0.35f, depth);
        } else {
          const float high = std::fmin((land - 0.5f) * 5.0f, 1.0f);
          c[0] = Mix(0.25f, 0.55f, high), c[1] = Mix(0.45f, 0.42f, high),
          c[2] = Mix(0.15f, 0.25f, high);
        }
        const float ice = std::fmin(std::fmax((latitude - 0.78f) * 8.0f, 0.0f), 1.0f);
        const float white = std::fmax(ice, std::fmax(cloud - 0.55f, 0.0f) * 2.5f);
        for (int i = 0; i < 3; ++i) c[i] = Mix(c[i], 0.95f, std::fmin(white, 1.0f));
      },
      true);
}

LibraryMember Moon() {
  return RampTexture(
      "MOON.PCX", 64, 64,
      {{0.0f, 0.12f, 0.12f, 0.14f}, {0.5f, 0.45f, 0.44f, 0.45f}, {1.0f, 0.85f, 0.84f, 0.8f}},
      [](int x, int y) {
        float v = 0.35f + 0.4f * TileFractal(static_cast<float>(x) / 16, static_cast<float>(y) / 16,
                                             4, 4, 0.6f, 91);
        for (int k = 0; k < 9; ++k) {  // craters: dark floor, bright rim
          const float cx = LatticeValue(k, 0, 92) * 64, cy = LatticeValue(k, 1, 92) * 64;
          const float r = 3 + LatticeValue(k, 2, 92) * 7;
          float dx = std::fabs(static_cast<float>(x) - cx),
                dy = std::fabs(static_cast<float>(y) - cy);
          dx = std::fmin(dx, 64 - dx), dy = std::fmin(dy, 64 - dy);
          const float d = std::sqrt(dx * dx + dy * dy) / r;
          if (d < 0.85f)
            v -= 0.18f * (1 - d);
          else if (d < 1.1f)
            v += 0.2f * (1.1f - d) * 4;
        }
        return v;
      });
}

LibraryMember Metal() {
  return ColourTexture(
      "METAL.BMP", 64, 16,
      [](int x, int y, float* c) {
        const float streak =
            TileNoise(static_cast<float>(x) / 16, static_cast<float>(y) * 2, 4, 101);
        const float band = 0.5f + 0.5f * std::cos(kTwoPi * static_cast<float>(y) / 16.0f);
        const float v = 0.35f + 0.25f * streak + 0.35f * band * band;
        c[0] = v * 0.9f, c[1] = v * 0.95f, c[2] = v * 1.08f;
      },
      true);
}

LibraryMember Sky() {
  return ColourTexture(
      "SKY.PCX", 128, 256,
      [](int x, int y, float* c) {
        // Row 0 is the zenith: the demo's reader negates v, so a dome mapped
        // with v rising from the horizon meets the rows from the bottom up.
        const float up = 1.0f - static_cast<float>(y) / 255.0f;
        const float cloud =
            TileFractal(static_cast<float>(x) / 32, static_cast<float>(y) / 32, 4, 5, 0.55f, 111);
        c[0] = Mix(0.95f, 0.15f, std::sqrt(up));
        c[1] = Mix(0.65f, 0.3f, std::sqrt(up));
        c[2] = Mix(0.5f, 0.7f, up);
        const float white = std::fmax(cloud - 0.52f, 0.0f) * 2.5f * (1.0f - up * 0.5f);
        for (int i = 0; i < 3; ++i) c[i] = Mix(c[i], 1.0f, std::fmin(white, 0.9f));
      },
      false);
}

LibraryMember Water() {
  return RampTexture(
      "WATER.PCX", 128, 128,
      {{0.0f, 0.02f, 0.1f, 0.25f}, {0.6f, 0.08f, 0.3f, 0.5f}, {1.0f, 0.6f, 0.8f, 0.95f}},
      [](int x, int y) {
        const float fx = static_cast<float>(x), fy = static_cast<float>(y);
        const float waves = TileRidged(fx / 32, fy / 16, 4, 3, 121);
        return 0.2f + 0.7f * std::pow(waves, 3.0f);
      });
}

LibraryMember Pine() {
  return RampTexture(
      "PINE.PCX", 64, 128,
      {{0.0f, 0.02f, 0.08f, 0.03f}, {0.5f, 0.08f, 0.25f, 0.1f}, {1.0f, 0.3f, 0.5f, 0.2f}},
      [](int x, int y) {
        const float fx = static_cast<float>(x), fy = static_cast<float>(y);
        const float needles = TileNoise(fx / 2, fy / 6, 32, 131);
        const float tiers = 0.5f + 0.5f * std::sin(kTwoPi * fy / 32.0f);
        return 0.2f + 0.5f * needles + 0.3f * tiers;
      });
}

}  // namespace

std::vector<LibraryMember> MakeTextures() {
  return {Plasma(), Grass(),  Rock(), Snow(),  Wood(), Stone(), Stars(),
          Fire(),   Planet(), Moon(), Metal(), Sky(),  Water(), Pine()};
}
