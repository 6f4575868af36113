// The fields of a PCX header that the decoders and the tools read.
#pragma once

#include <cstdint>

constexpr int32_t kPcxHeaderBytes = 128;
constexpr int32_t kPcxPaletteBytes = 768;

struct PcxHeader {
  uint8_t manufacturer;  // 10 for PCX
  uint8_t version;       // 5: a 256-colour palette ends the file
  uint8_t encoding;      // 1: run-length
  uint8_t bits_per_pixel;
  int16_t xmin, ymin, xmax, ymax;
  uint8_t planes;
  uint16_t bytes_per_line;  // per plane
  int32_t width;            // xmax - xmin + 1
  int32_t height;           // ymax - ymin + 1
  int32_t scanline_bytes;   // bytes_per_line x planes
};

inline PcxHeader ParsePcxHeader(const uint8_t raw[kPcxHeaderBytes]) {
  auto le16 = [raw](int at) { return static_cast<uint16_t>(raw[at] | raw[at + 1] << 8); };
  PcxHeader h;
  h.manufacturer = raw[0];
  h.version = raw[1];
  h.encoding = raw[2];
  h.bits_per_pixel = raw[3];
  h.xmin = static_cast<int16_t>(le16(4));
  h.ymin = static_cast<int16_t>(le16(6));
  h.xmax = static_cast<int16_t>(le16(8));
  h.ymax = static_cast<int16_t>(le16(10));
  h.planes = raw[65];
  h.bytes_per_line = le16(66);
  h.width = h.xmax - h.xmin + 1;
  h.height = h.ymax - h.ymin + 1;
  h.scanline_bytes = h.bytes_per_line * h.planes;
  return h;
}

// An 8-bit, one-plane, run-length PCX (any version).
inline bool IsPcx8(const PcxHeader& h) {
  return h.manufacturer == 10 && h.encoding == 1 && h.planes == 1 && h.bits_per_pixel == 8;
}
