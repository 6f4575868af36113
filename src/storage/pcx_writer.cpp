// PCX writer: 128-byte header, run-length scanlines, 0x0C and the palette.
#include "storage/pcx_writer.h"

#include <cstddef>

#include <cstring>

namespace {

constexpr int kMaxRun = 63;

void PutLe16(std::vector<uint8_t>& out, size_t at, int value) {
  out[at] = static_cast<uint8_t>(value & 0xFF);
  out[at + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

// Encodes bytes[0..count) as runs; a single byte of 192 or more needs a run
// of one, since its top bits would mark a run count.
void EncodeRuns(const uint8_t* bytes, size_t count, std::vector<uint8_t>& out) {
  size_t i = 0;
  while (i < count) {
    const uint8_t value = bytes[i];
    size_t run = 1;
    while (i + run < count && run < kMaxRun && bytes[i + run] == value) ++run;
    if (run > 1 || value >= 0xC0) {
      out.push_back(static_cast<uint8_t>(0xC0 | run));
    }
    out.push_back(value);
    i += run;
  }
}

}  // namespace

std::vector<uint8_t> EncodePcx8(const uint8_t* indices, int width, int height,
                                const uint8_t palette_rgb888[768], PcxRunMode mode) {
  PcxEncodeOptions options;
  options.run_mode = mode;
  return EncodePcx8(indices, width, height, palette_rgb888, options);
}

std::vector<uint8_t> EncodePcx8(const uint8_t* indices, int width, int height,
                                const uint8_t palette_rgb888[768],
                                const PcxEncodeOptions& options) {
  if (width < 1 || height < 1 || width > 32767 || height > 32767) return {};
  const int line = options.bytes_per_line ? options.bytes_per_line : (width + 1) & ~1;
  if (line < width || line > 65535) return {};

  std::vector<uint8_t> out(128, 0);
  out[0] = 10;  // manufacturer
  out[1] = options.version;
  out[2] = 1;  // run-length encoding
  out[3] = 8;  // bits per pixel per plane
  PutLe16(out, 8, width - 1);
  PutLe16(out, 10, height - 1);
  PutLe16(out, 12, 72);  // resolution, dots per inch
  PutLe16(out, 14, 72);
  out[65] = 1;  // planes
  PutLe16(out, 66, line);
  PutLe16(out, 68, 1);  // palette of colours

  std::vector<uint8_t> scanlines(static_cast<size_t>(line) * height, 0);
  for (int y = 0; y < height; ++y) {
    std::memcpy(&scanlines[static_cast<size_t>(y) * line], indices + static_cast<size_t>(y) * width,
                static_cast<size_t>(width));
  }
  if (options.run_mode == PcxRunMode::kCrossScanlines) {
    EncodeRuns(scanlines.data(), scanlines.size(), out);
  } else {
    for (int y = 0; y < height; ++y) {
      EncodeRuns(&scanlines[static_cast<size_t>(y) * line], static_cast<size_t>(line), out);
    }
  }
  if (options.version == 5) {
    out.push_back(0x0C);
    out.insert(out.end(), palette_rgb888, palette_rgb888 + 768);
  }
  return out;
}
