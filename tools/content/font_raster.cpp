// FreeType lettering; see font_raster.h.
#include "content/font_raster.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>

float Canvas::Get(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return 0.0f;
  return values[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
}

FontRaster::FontRaster() {
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) == 0) library_ = library;
}

FontRaster::~FontRaster() {
  if (face_) FT_Done_Face(static_cast<FT_Face>(face_));
  if (library_) FT_Done_FreeType(static_cast<FT_Library>(library_));
}

bool FontRaster::Open(const std::string& path, std::string* error) {
  if (!library_) {
    *error = "FreeType could not be started";
    return false;
  }
  FT_Face face = nullptr;
  if (FT_New_Face(static_cast<FT_Library>(library_), path.c_str(), 0, &face) != 0) {
    *error = path + ": cannot open the font (install fonts-dejavu-core)";
    return false;
  }
  if (face_) FT_Done_Face(static_cast<FT_Face>(face_));
  face_ = face;
  return true;
}

int FontRaster::Measure(const std::string& text, int pixel_size) {
  FT_Face face = static_cast<FT_Face>(face_);
  if (!face) return 0;
  FT_Set_Transform(face, nullptr, nullptr);
  FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixel_size));
  long advance = 0;
  for (unsigned char c : text) {
    if (FT_Load_Char(face, c, FT_LOAD_DEFAULT) == 0) advance += face->glyph->advance.x;
  }
  return static_cast<int>(advance >> 6);
}

void FontRaster::Draw(Canvas& canvas, int x, int baseline_y, const std::string& text,
                      int pixel_size, float shear) {
  FT_Face face = static_cast<FT_Face>(face_);
  if (!face) return;
  FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixel_size));
  FT_Matrix matrix = {0x10000, static_cast<FT_Fixed>(std::lround(shear * 0x10000)), 0, 0x10000};
  FT_Set_Transform(face, &matrix, nullptr);
  long pen = static_cast<long>(x) << 6;
  for (unsigned char c : text) {
    if (FT_Load_Char(face, c, FT_LOAD_RENDER) != 0) continue;
    const FT_GlyphSlot glyph = face->glyph;
    const FT_Bitmap& bitmap = glyph->bitmap;
    const int left = static_cast<int>(pen >> 6) + glyph->bitmap_left;
    const int top = baseline_y - glyph->bitmap_top;
    for (unsigned row = 0; row < bitmap.rows; ++row) {
      for (unsigned column = 0; column < bitmap.width; ++column) {
        const int px = left + static_cast<int>(column), py = top + static_cast<int>(row);
        if (px < 0 || py < 0 || px >= canvas.width || py >= canvas.height) continue;
        const float coverage =
            bitmap.buffer[row * static_cast<unsigned>(bitmap.pitch) + column] / 255.0f;
        float& cell = canvas.At(px, py);
        cell = std::max(cell, coverage);
      }
    }
    pen += glyph->advance.x;
  }
  FT_Set_Transform(face, nullptr, nullptr);
}

void FontRaster::DrawCentred(Canvas& canvas, int centre_x, int baseline_y, const std::string& text,
                             int pixel_size, float shear) {
  Draw(canvas, centre_x - Measure(text, pixel_size) / 2, baseline_y, text, pixel_size, shear);
}

void BlurCanvas(Canvas& canvas, int radius, int passes) {
  std::vector<float> line;
  for (int pass = 0; pass < passes; ++pass) {
    for (int axis = 0; axis < 2; ++axis) {
      const int length = axis == 0 ? canvas.width : canvas.height;
      const int lines = axis == 0 ? canvas.height : canvas.width;
      line.resize(static_cast<size_t>(length));
      for (int l = 0; l < lines; ++l) {
        for (int i = 0; i < length; ++i)
          line[static_cast<size_t>(i)] = axis == 0 ? canvas.At(i, l) : canvas.At(l, i);
        for (int i = 0; i < length; ++i) {
          float sum = 0;
          for (int k = -radius; k <= radius; ++k) {
            const int j = std::clamp(i + k, 0, length - 1);
            sum += line[static_cast<size_t>(j)];
          }
          (axis == 0 ? canvas.At(i, l) : canvas.At(l, i)) =
              sum / static_cast<float>(2 * radius + 1);
        }
      }
    }
  }
}
