// Lettering for the generated pictures: text drawn with a font of
// Debian's fonts-dejavu-core package through FreeType, as coverage (0..1)
// on a float canvas.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct Canvas {
  int width = 0, height = 0;
  std::vector<float> values;  // top row first
  Canvas(int w, int h)
      : width(w), height(h), values(static_cast<size_t>(w) * static_cast<size_t>(h), 0.0f) {}
  float& At(int x, int y) {
    return values[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
  }
  float Get(int x, int y) const;  // 0 outside
};

// Directory of fonts-dejavu-core.
constexpr const char* kDejaVuDirectory = "/usr/share/fonts/truetype/dejavu/";

class FontRaster {
 public:
  FontRaster();
  ~FontRaster();
  FontRaster(const FontRaster&) = delete;
  FontRaster& operator=(const FontRaster&) = delete;

  // Opens a font file; false with the reason in *error.
  bool Open(const std::string& path, std::string* error);
  // Width in pixels of text at pixel_size.
  int Measure(const std::string& text, int pixel_size);
  // Draws text with its baseline at y, keeping the larger coverage where
  // letters overlap; shear leans the letters (0.2 is a mild italic).
  void Draw(Canvas& canvas, int x, int baseline_y, const std::string& text, int pixel_size,
            float shear = 0.0f);
  // Draws text centred on centre_x.
  void DrawCentred(Canvas& canvas, int centre_x, int baseline_y, const std::string& text,
                   int pixel_size, float shear = 0.0f);

 private:
  void* library_ = nullptr;  // FT_Library
  void* face_ = nullptr;     // FT_Face
};

// Box blur of the given radius, repeated `passes` times (near Gaussian).
void BlurCanvas(Canvas& canvas, int radius, int passes);
