// Frame conversion and the PNG folder writer of captures (see capture_frames.h).
#include "shell/capture_frames.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "storage/png_file.h"

namespace {

// Every RGB 565 value widened to red, green, blue bytes (in memory order,
// the fourth byte unused). 5 and 6 bits become 8 by repeating their top
// bits, so full intensity stays full (31 -> 255) and black stays black.
struct WideningTable {
  uint32_t rgb[65536];
  WideningTable() {
    for (uint32_t t = 0; t < 65536; ++t) {
      const uint32_t r5 = t >> 11, g6 = (t >> 5) & 63, b5 = t & 31;
      const uint8_t bytes[4] = {static_cast<uint8_t>((r5 << 3) | (r5 >> 2)),
                                static_cast<uint8_t>((g6 << 2) | (g6 >> 4)),
                                static_cast<uint8_t>((b5 << 3) | (b5 >> 2)), 0};
      std::memcpy(&rgb[t], bytes, 4);
    }
  }
};

const WideningTable& Widening() {
  static const WideningTable table;
  return table;
}

}  // namespace

void ConvertFrameToRgb(const uint16_t* pixels, int width, int height, int stride_pixels, int scale,
                       uint8_t* rgb) {
  const WideningTable& w = Widening();
  const int out_width = width * scale;
  const size_t out_row_bytes = static_cast<size_t>(out_width) * 3;
  for (int y = 0; y < height; ++y) {
    // Screen row y (from the top) is memory row height - 1 - y.
    const uint16_t* in = pixels + static_cast<size_t>(height - 1 - y) * stride_pixels;
    uint8_t* out = rgb + static_cast<size_t>(y) * scale * out_row_bytes;
    uint8_t* o = out;
    // Four-byte stores, each overwritten by the next pixel's; the row's
    // last pixel is stored in three bytes so nothing spills past the row.
    for (int x = 0; x < width - 1; ++x) {
      const uint32_t value = w.rgb[in[x]];
      for (int k = 0; k < scale; ++k, o += 3) std::memcpy(o, &value, 4);
    }
    const uint32_t last = w.rgb[in[width - 1]];
    for (int k = 0; k < scale - 1; ++k, o += 3) std::memcpy(o, &last, 4);
    std::memcpy(o, &last, 3);
    // The enlarged row repeats downward.
    for (int k = 1; k < scale; ++k) std::memcpy(out + k * out_row_bytes, out, out_row_bytes);
  }
}

PngFolderWriter::PngFolderWriter(std::string folder)
    : folder_(std::move(folder)), partial_(folder_ + ".part") {}

PngFolderWriter::~PngFolderWriter() {
  if (begun_) Abandon();
}

std::string PngFolderWriter::FrameName(long index) {
  char name[32];
  std::snprintf(name, sizeof name, "frame_%06ld.png", index);
  return name;
}

bool PngFolderWriter::Begin(int width, int height, std::string* error) {
  namespace fs = std::filesystem;
  std::error_code code;
  // A folder left by an earlier, interrupted capture is stale.
  fs::remove_all(partial_, code);
  if (!fs::create_directories(partial_, code)) {
    *error = partial_ + ": cannot create the folder (" + code.message() + ")";
    return false;
  }
  width_ = width;
  height_ = height;
  frames_ = 0;
  begun_ = true;
  return true;
}

bool PngFolderWriter::WriteFrame(const uint8_t* rgb, std::string* error) {
  const std::string path = partial_ + "/" + FrameName(frames_);
  if (!WritePngRgb888(path, rgb, width_, height_, error)) return false;
  ++frames_;
  return true;
}

bool PngFolderWriter::Finish(std::string* error) {
  namespace fs = std::filesystem;
  std::error_code code;
  // Only an empty folder may stand in the way: it is replaced.
  if (fs::is_directory(folder_, code) && fs::is_empty(folder_, code)) fs::remove(folder_, code);
  fs::rename(partial_, folder_, code);
  if (code) {
    *error = folder_ + ": cannot move the finished frames into place (" + code.message() + ")";
    return false;
  }
  begun_ = false;
  return true;
}

void PngFolderWriter::Abandon() {
  std::error_code code;
  std::filesystem::remove_all(partial_, code);
  begun_ = false;
}
