// BMP writer: file header, 40-byte information header, bottom-up BGR rows.
#include "storage/bmp_writer.h"

#include <cstddef>

namespace {

void PutLe(std::vector<uint8_t>& out, size_t at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

std::vector<uint8_t> EncodeBmp24(const uint8_t* rgb_top_row_first, int width, int height) {
  if (width < 1 || height < 1 || width > 65536 || height > 65536) return {};
  const size_t row_bytes = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
  const size_t pixel_offset = 14 + 40;
  const size_t file_size = pixel_offset + row_bytes * height;
  std::vector<uint8_t> out(file_size, 0);
  out[0] = 'B';
  out[1] = 'M';
  PutLe(out, 2, static_cast<uint32_t>(file_size), 4);
  PutLe(out, 10, static_cast<uint32_t>(pixel_offset), 4);
  PutLe(out, 14, 40, 4);  // information header size
  PutLe(out, 18, static_cast<uint32_t>(width), 4);
  PutLe(out, 22, static_cast<uint32_t>(height), 4);  // positive: bottom-up
  PutLe(out, 26, 1, 2);                              // planes
  PutLe(out, 28, 24, 2);                             // bits per pixel
  PutLe(out, 34, static_cast<uint32_t>(row_bytes * height), 4);
  PutLe(out, 38, 2835, 4);  // 72 dots per inch, in dots per metre
  PutLe(out, 42, 2835, 4);
  for (int y = 0; y < height; ++y) {
    const uint8_t* source = rgb_top_row_first + static_cast<size_t>(height - 1 - y) * width * 3;
    uint8_t* row = &out[pixel_offset + row_bytes * y];
    for (int x = 0; x < width; ++x) {
      row[3 * x + 0] = source[3 * x + 2];
      row[3 * x + 1] = source[3 * x + 1];
      row[3 * x + 2] = source[3 * x + 0];
    }
  }
  return out;
}
