// Writes 8-bit, version-5, run-length PCX pictures with their 256-colour
// palette: for the tools, the default content and the decoder tests.
#pragma once

#include <cstdint>
#include <vector>

enum class PcxRunMode {
  kStopAtScanlineEnd,  // every run ends with its scanline, as most writers do
  kCrossScanlines,     // runs may continue into the next scanline
};

struct PcxEncodeOptions {
  PcxRunMode run_mode = PcxRunMode::kStopAtScanlineEnd;
  // Bytes per scanline; 0 means the width rounded up to an even count. Must
  // be at least the width; the bytes after the width are written as 0.
  int bytes_per_line = 0;
  uint8_t version = 5;  // the palette is written only for version 5
};

// indices: width x height palette indices, top row first. palette_rgb888:
// 256 entries of red, green, blue. Returns an empty vector for a width or
// height outside 1..32767 or a bytes_per_line below the width.
std::vector<uint8_t> EncodePcx8(const uint8_t* indices, int width, int height,
                                const uint8_t palette_rgb888[768],
                                PcxRunMode mode = PcxRunMode::kStopAtScanlineEnd);
std::vector<uint8_t> EncodePcx8(const uint8_t* indices, int width, int height,
                                const uint8_t palette_rgb888[768], const PcxEncodeOptions& options);
