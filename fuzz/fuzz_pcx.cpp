// libFuzzer entry for the PCX decoders: the bytes are one picture member,
// decoded as a texture (with and without reduced levels) and as an indexed
// picture into a clipped destination.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "storage/picture_decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  const auto n = static_cast<int32_t>(size);
  Texture texture;
  if (DecodePcxTexture(data, n, &texture, static_cast<int32_t>(size & 1))) {
    ReleaseImage(&texture.image);
  }
  // Exactly sized, so a write outside the clipped rectangle is caught.
  constexpr int32_t kPitch = 97, kRows = 41;
  std::vector<uint8_t> dest(kPitch * kRows);
  DecodePcxIndexed(data, n, dest.data(), static_cast<int32_t>(size % kPitch),
                   static_cast<int32_t>(size % kRows), kPitch, kRows);
  return 0;
}
