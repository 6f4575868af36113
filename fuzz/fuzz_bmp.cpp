// libFuzzer target for the BMP texture decoder, with and without reduced
// levels.
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "picture_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  for (int32_t mipmapped : {0, 1}) {
    Texture texture;
    CheckDecodedOrRefused(DecodeBmpTexture(data, static_cast<int32_t>(size), &texture, mipmapped),
                          &texture);
  }
  return 0;
}
