// Effect pictures. The logo is a true-colour painting reduced to 256
// colours; the scroller pictures are grey height and light fields, whose
// values the effect uses directly (0 in the text picture is transparent).
#include "content/effect_pictures.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "content/font_raster.h"
#include "content/picture.h"
#include "content/procedural.h"

namespace {

float Mix(float a, float b, float t) {
  return a + (b - a) * t;
}

IndexedPicture GreyPicture(const Canvas& canvas, const std::function<uint8_t(float)>& value) {
  IndexedPicture picture;
  picture.width = canvas.width;
  picture.height = canvas.height;
  FillRamp(picture.palette, {{0, 0, 0, 0}, {1, 1, 1, 1}});
  picture.indices.resize(canvas.values.size());
  for (size_t i = 0; i < canvas.values.size(); ++i) picture.indices[i] = value(canvas.values[i]);
  return picture;
}

uint8_t Level(float v) {
  return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

// Chrome lettering: sky above the middle line, dark earth below it turning
// to gold at the foot, with a bevel light from the upper left.
void PaintChrome(RgbPicture& picture, const Canvas& letters, const Canvas& bevel, int top,
                 int bottom, int x, int y) {
  const float cover = letters.Get(x, y);
  if (cover <= 0) return;
  const float t =
      std::clamp(static_cast<float>(y - top) / static_cast<float>(bottom - top), 0.0f, 1.0f);
  float r, g, b;
  if (t < 0.52f) {
    const float s = t / 0.52f;
    r = Mix(0.35f, 0.95f, s), g = Mix(0.45f, 0.97f, s), b = Mix(0.85f, 1.0f, s);
  } else {
    const float s = (t - 0.52f) / 0.48f;
    r = Mix(0.25f, 1.0f, s * s), g = Mix(0.12f, 0.75f, s * s), b = Mix(0.1f, 0.3f, s * s);
  }
  const float light = (bevel.Get(x - 1, y - 1) - bevel.Get(x + 1, y + 1)) * 2.5f;
  r += light, g += light, b += light;
  uint8_t* p = picture.At(x, y);
  p[0] = Level(Mix(p[0], std::clamp(r, 0.0f, 1.0f) * 255, cover));
  p[1] = Level(Mix(p[1], std::clamp(g, 0.0f, 1.0f) * 255, cover));
  p[2] = Level(Mix(p[2], std::clamp(b, 0.0f, 1.0f) * 255, cover));
}

bool MakeLogo(std::vector<LibraryMember>* members, std::string* error) {
  constexpr int kW = 640, kH = 480;
  FontRaster bold, plain;
  if (!bold.Open(std::string(kDejaVuDirectory) + "DejaVuSans-Bold.ttf", error) ||
      !plain.Open(std::string(kDejaVuDirectory) + "DejaVuSans.ttf", error)) {
    return false;
  }
  Canvas letters(kW, kH);
  constexpr int kBaseline = 268, kSize = 118;
  bold.DrawCentred(letters, kW / 2 + 8, kBaseline, "VEYRITH", kSize, 0.18f);
  const int top = kBaseline - 88, bottom = kBaseline + 2;
  Canvas bevel = letters;
  BlurCanvas(bevel, 2, 2);
  Canvas outline = letters;
  BlurCanvas(outline, 3, 1);
  Canvas glow = letters;
  BlurCanvas(glow, 14, 3);
  Canvas subtitle(kW, kH);
  plain.DrawCentred(subtitle, kW / 2, 330, "a   r e a l - t i m e   j o u r n e y", 20);
  plain.DrawCentred(subtitle, kW / 2, 440, "kvx  1998", 14);

  RgbPicture picture(kW, kH);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      const float fy = static_cast<float>(y) / kH;
      // Night sky: black above, deep violet towards a low horizon glow.
      float r = Mix(0.0f, 0.16f, fy * fy), g = Mix(0.0f, 0.04f, fy), b = Mix(0.03f, 0.3f, fy);
      const float haze =
          TileFractal(static_cast<float>(x) / 80, static_cast<float>(y) / 80, 8, 4, 0.55f, 201);
      r += 0.08f * haze * fy, b += 0.1f * haze;
      const float star = LatticeValue(x, y, 202);
      if (star > 0.9975f) r = g = b = 0.5f + (star - 0.9975f) * 200;
      // Horizon grid below the lettering.
      if (y > 360) {
        const float depth = static_cast<float>(y - 360) / 120.0f;
        const float lane = std::fabs(
            std::fmod((static_cast<float>(x) - 320) / (8 + 90 * depth) + 100.5f, 1.0f) - 0.5f);
        const float rung = std::fabs(std::fmod(1.0f / (depth + 0.05f) * 2.0f, 1.0f) - 0.5f);
        const float line =
            std::max(lane < 0.06f ? 1.0f : 0.0f, rung < 0.08f * (1 + depth) ? 1.0f : 0.0f);
        r = Mix(r, 0.9f, line * depth * 0.8f), g = Mix(g, 0.2f, line * depth * 0.8f),
        b = Mix(b, 0.8f, line * depth * 0.8f);
      }
      const float halo = glow.Get(x, y);
      r = Mix(r, 0.7f, std::min(halo * 1.6f, 0.85f)),
      g = Mix(g, 0.25f, std::min(halo * 1.6f, 0.85f)),
      b = Mix(b, 0.95f, std::min(halo * 1.6f, 0.85f));
      const float edge = std::min(outline.Get(x, y) * 3.0f, 1.0f);
      r = Mix(r, 0.02f, edge), g = Mix(g, 0.01f, edge), b = Mix(b, 0.08f, edge);
      const float sub = subtitle.Get(x, y);
      r = Mix(r, 0.75f, sub), g = Mix(g, 0.8f, sub), b = Mix(b, 1.0f, sub);
      picture.Set(x, y, r, g, b);
      PaintChrome(picture, letters, bevel, top, bottom, x, y);
    }
  }
  members->push_back({"textures\\veyri.pcx", EncodePcx(ReduceColours(picture))});
  return true;
}

void MakeLightSpot(std::vector<LibraryMember>* members) {
  Canvas spot(256, 256);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      const float dx = static_cast<float>(x) - 128, dy = static_cast<float>(y) - 128;
      const float d = std::sqrt(dx * dx + dy * dy) / 124.0f;
      const float body = std::pow(std::max(0.0f, 1.0f - d), 1.6f);
      const float core = std::exp(-d * d * 40.0f) * 0.35f;
      spot.At(x, y) = std::min(body * 0.9f + core, 1.0f) * 255.0f;
    }
  }
  members->push_back({"textures\\bump\\256.pcx", EncodePcx(GreyPicture(spot, Level))});
}

// Relief: flagstones with worn grooves between them and a grainy surface.
void MakeScrollerBackground(std::vector<LibraryMember>* members) {
  Canvas relief(320, 200);
  for (int y = 0; y < 200; ++y) {
    for (int x = 0; x < 320; ++x) {
      const float fx = static_cast<float>(x), fy = static_cast<float>(y);
      const int row = y / 40;
      const float shifted = fx + (row % 2 ? 32.0f : 0.0f);
      const float gx = std::fabs(std::fmod(shifted, 64.0f) - 32.0f) / 32.0f;  // 1 at the joint
      const float gy = std::fabs(std::fmod(fy, 40.0f) - 20.0f) / 20.0f;
      const float joint = std::pow(std::max(gx, gy), 8.0f);
      const float surface = TileFractal(fx / 40, fy / 40, 8, 4, 0.55f, 301);
      relief.At(x, y) = 70.0f + 36.0f * surface - 40.0f * joint;
    }
  }
  BlurCanvas(relief, 1, 1);
  members->push_back(
      {"textures\\bump\\scroller\\background.pcx", EncodePcx(GreyPicture(relief, Level))});
}

bool MakeScrollerText(std::vector<LibraryMember>* members, std::string* error) {
  FontRaster font;
  if (!font.Open(std::string(kDejaVuDirectory) + "DejaVuSans-Bold.ttf", error)) return false;
  Canvas text(320, 1024);
  int baseline = 40;
  for (const std::string& line : ScrollerLines()) {
    const bool heading = !line.empty() && line[0] == '*';
    const std::string shown = heading ? line.substr(1) : line;
    if (!shown.empty()) font.DrawCentred(text, 160, baseline, shown, heading ? 30 : 20);
    baseline += heading ? 40 : 30;
  }
  BlurCanvas(text, 1, 2);
  // Raised letters on a plate of their own; 0 leaves the background seen.
  members->push_back(
      {"textures\\bump\\scroller\\text1024.pcx", EncodePcx(GreyPicture(text, [](float v) {
         return v < 0.06f ? uint8_t{0} : Level(90.0f + 150.0f * v);
       }))});
  return true;
}

}  // namespace

const std::vector<std::string>& ScrollerLines() {
  // A leading '*' marks a heading.
  static const std::vector<std::string> lines = {
      "*VEYRITH",
      "a real-time journey",
      "",
      "*code",
      "engine, player, board",
      "written line by line",
      "",
      "*music",
      "every drum and string",
      "synthesised in code",
      "",
      "*graphics",
      "noise, plasma, stone",
      "and a lot of patience",
      "",
      "*greetings",
      "Nebula Arts - Hexfield",
      "Polygon Pilots",
      "The Retrace Club",
      "Bitplane Brothers",
      "Voxel Vagrants",
      "Copper Kids - Quasar Nine",
      "",
      "*thanks",
      "for watching",
      "see you at the party",
      "",
      "*KVX 1998",
  };
  return lines;
}

bool MakeEffectPictures(std::vector<LibraryMember>* members, std::string* error) {
  if (!MakeLogo(members, error)) return false;
  MakeLightSpot(members);
  MakeScrollerBackground(members);
  return MakeScrollerText(members, error);
}
