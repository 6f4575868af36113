// The promises of the picture decoders that the PCX and BMP targets hold
// them to: a result of 1 or 0, a texture either complete or left empty.
#pragma once

#include <cstdint>

#include "fuzz_check.h"
#include "storage/picture_decoders.h"

inline void CheckDecodedOrRefused(int32_t result, Texture* texture) {
  FuzzCheck(result == 0 || result == 1, "a decoder returns 1 or 0");
  if (result == 0) {
    FuzzCheck(texture->image.pixels == nullptr, "a refused picture leaves no pixels");
    return;
  }
  FuzzCheck(
      texture->image.pixels != nullptr && texture->image.width >= 1 && texture->image.height >= 1,
      "a decoded picture has pixels and a size");
  ReleaseImage(&texture->image);
}
