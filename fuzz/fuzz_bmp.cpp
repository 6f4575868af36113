// libFuzzer entry for the BMP texture decoder.
#include <cstddef>
#include <cstdint>

#include "storage/picture_decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  Texture texture;
  if (DecodeBmpTexture(data, static_cast<int32_t>(size), &texture,
                       static_cast<int32_t>(size & 1))) {
    ReleaseImage(&texture.image);
  }
  return 0;
}
