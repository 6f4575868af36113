// libFuzzer target for the PCX decoders: the bytes are one picture member,
// decoded as a texture (with and without reduced levels) and as an indexed
// picture into a clipped destination.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "picture_checks.h"

namespace {

// Past its end a member reads as zeros, so a few bytes may describe a
// picture of up to 962 x 65536 pixels, decoded in full as the format asks;
// pictures above this many pixels are skipped to keep each run well under
// the fuzzer's one-second limit.
constexpr int64_t kMaximumPixels = int64_t{1} << 22;

int64_t DeclaredPixels(const uint8_t* header, size_t size) {
  if (size < 12) return 0;
  auto field = [header](int at) {
    return int64_t{static_cast<int16_t>(header[at] | header[at + 1] << 8)};  // signed
  };
  return (field(8) - field(4) + 1) * (field(10) - field(6) + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20) || DeclaredPixels(data, size) > kMaximumPixels) return 0;
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
