// The demo's own icon and mouse cursor, drawn in code so that no image file
// has to travel with the program: the icon is a lit planet under a gold "V"
// on a night-blue tile, the cursor a gold arrow with a dark rim.
#pragma once

#include <cstdint>
#include <vector>

namespace platform {

// A small picture with straight (not premultiplied) alpha, top row first,
// each pixel 0xAARRGGBB. hot_x, hot_y: the pixel a cursor points with.
struct ArgbImage {
  int width = 0;
  int height = 0;
  int hot_x = 0;
  int hot_y = 0;
  std::vector<uint32_t> pixels;
};

// The window's icon, size x size pixels (32 or more reads well).
ArgbImage DrawDemoIcon(int size);

// The arrow cursor over the picture, 32 x 32 with its tip at the hot spot.
ArgbImage DrawDemoCursor();

}  // namespace platform
