// libFuzzer target for the PCX decoders: the bytes are one picture member,
// decoded as a texture (with and without reduced levels) and as an indexed
// picture into a clipped destination.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "picture_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  const auto n = static_cast<int32_t>(size);
  for (int32_t mipmapped : {0, 1}) {
    Texture texture;
    CheckDecodedOrRefused(DecodePcxTexture(data, n, &texture, mipmapped), &texture);
  }
  // Exactly sized, so a write outside the destination is caught by the
  // address sanitizer, and a write left of the picture's column by the check.
  constexpr int32_t kPitch = 97, kRows = 41;
  const int32_t x = static_cast<int32_t>(size % kPitch), y = static_cast<int32_t>(size % kRows);
  std::vector<uint8_t> dest(kPitch * kRows, 0x5C);
  const int32_t result = DecodePcxIndexed(data, n, dest.data(), x, y, kPitch, kRows);
  FuzzCheck(result == 0 || result == 1, "the indexed decoder returns 1 or 0");
  for (int32_t column = 0; column < x; ++column) {
    FuzzCheck(dest[static_cast<size_t>(y) * kPitch + column] == 0x5C,
              "nothing is written left of the picture");
  }
  return 0;
}
