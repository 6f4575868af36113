// BMP decoder: 24-bit pictures with power-of-two sides into 565 texels.
#include <memory>
#include <new>

#include "storage/content_library.h"
#include "storage/file_library.h"
#include "storage/mip_levels.h"
#include "storage/picture_decoders.h"
#include "storage/stream.h"

namespace {

constexpr int32_t kMaxSideLog2 = 8;  // 256 texels

int32_t Le32(const uint8_t* b) {
  return static_cast<int32_t>(static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                              static_cast<uint32_t>(b[2]) << 16 |
                              static_cast<uint32_t>(b[3]) << 24);
}

bool IsTextureSide(int32_t side) {
  const int32_t log2 = FloorLog2(side);
  return log2 >= 0 && log2 <= kMaxSideLog2 && side == 1 << log2;
}

}  // namespace

int32_t LoadBmpTextureFrom(TStream* source, const char* name, Texture* texture, int32_t mipmapped) {
  std::unique_ptr<TStream> stream(source);
  if (!stream || !texture) return 0;
  stream->SetName(name);
  if (!stream->Open(smRead) || stream->Failed()) return 0;
  stream->Seek(2, soBegin);
  if (stream->Failed()) return 0;
  uint8_t header[28];  // file offsets 2 to 29
  if (stream->Read(header, 28, 1) == 0) return 0;
  const int32_t pixel_offset = Le32(header + 8);
  const int32_t width = Le32(header + 16);
  const int32_t height = Le32(header + 20);
  const int32_t bits_per_pixel = header[26] | header[27] << 8;
  // Negative heights (top-down rows) and sides the board cannot take fail here.
  if (!IsTextureSide(width) || !IsTextureSide(height)) return 0;
  if (bits_per_pixel != 24) return 0;
  stream->Seek(pixel_offset, soBegin);
  if (stream->Failed()) return 0;
  const int32_t row_bytes = (width * 3 + 3) & ~3;  // rows padded to four bytes
  const int32_t array_bytes = row_bytes * height;
  std::unique_ptr<uint8_t[]> raw(new (std::nothrow) uint8_t[static_cast<size_t>(array_bytes)]);
  if (!raw) return 0;
  if (stream->Read(raw.get(), array_bytes, 1) == 0) return 0;
  const size_t texels =
      mipmapped ? TexelsWithLevels(width, height) : static_cast<size_t>(width) * height;
  std::unique_ptr<uint16_t[]> pixels(new (std::nothrow) uint16_t[texels]);
  if (!pixels) return 0;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* bgr = raw.get() + static_cast<size_t>(y) * row_bytes;
    uint16_t* row = pixels.get() + static_cast<size_t>(y) * width;
    for (int32_t x = 0; x < width; ++x, bgr += 3) {
      row[x] = static_cast<uint16_t>((bgr[2] >> 3) << 11 | (bgr[1] >> 2) << 5 | bgr[0] >> 3);
    }
  }
  if (mipmapped) BuildReducedLevels(pixels.get(), width, height);
  texture->image.pixels = pixels.release();
  texture->image.width = width;
  texture->image.height = height;
  texture->image.mipmapped = mipmapped ? 1 : 0;
  return 1;
}

int32_t LoadBmpTexture(const char* name, Texture* texture, int32_t mipmapped) {
  return LoadBmpTextureFrom(new TFileInLib(ContentLibrary), name, texture, mipmapped);
}

int32_t DecodeBmpTexture(const uint8_t* bytes, int32_t size, Texture* texture, int32_t mipmapped) {
  return LoadBmpTextureFrom(new TMemoryStream(bytes, size), "", texture, mipmapped);
}
