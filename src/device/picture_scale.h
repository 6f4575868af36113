// Smooth scaling of an RGB 565 picture into an area of a larger (or smaller)
// one: how the 2D effects, drawn at their mode's own size, reach a screen of
// another size. Bilinear, with the picture's pixel centres spread evenly over
// the area's (the edges repeat the outermost pixels), so a uniform area stays
// uniform and an enlargement by two lands every source pixel on a 2x2 block
// centre.
#pragma once

#include <cstdint>
#include <vector>

struct PicturePlane {
  uint16_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  int stride_pixels = 0;
};

// Where a picture of the shape source_width x source_height lies on a screen
// of width x height: the largest area of that shape, centred (bars of black
// left and right, or above and below, never a stretched picture).
struct PictureArea {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const PictureArea&) const = default;
};
PictureArea FitPictureArea(int source_width, int source_height, int width, int height);

// Reusable working memory of the scaler, so a frame allocates nothing once
// the first has run. The picture is scaled across first, a source row at a
// time (each once), then every target row blends two of those rows.
struct PictureScaler {
  std::vector<uint64_t> spread;   // source pixels, red, green, blue in 16-bit lanes
  std::vector<int32_t> columns;   // per target column: two source columns, weight
  std::vector<uint16_t> rows[2];  // a source row scaled across: red, green, blue planes
  int row_of[2] = {-1, -1};       // the source row each holds (source rows r go to r % 2)
};

// Scales source into the area of target and paints the rest of target black.
void ScalePictureSmooth(const PicturePlane& source, const PicturePlane& target,
                        const PictureArea& area, PictureScaler* scaler);
