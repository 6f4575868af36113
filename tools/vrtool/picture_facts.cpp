// Header inspection for vrtool pic, following the checks of the decoders.
#include "vrtool/picture_facts.h"

#include "storage/pcx_format.h"
#include "storage/picture_decoders.h"

namespace {

int32_t Le32(const uint8_t* b) {
  return static_cast<int32_t>(static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                              static_cast<uint32_t>(b[2]) << 16 |
                              static_cast<uint32_t>(b[3]) << 24);
}

std::string Size(int width, int height) {
  return std::to_string(width) + "x" + std::to_string(height);
}

void ExaminePcx(const std::vector<uint8_t>& bytes, PictureFacts* facts) {
  const PcxHeader h = ParsePcxHeader(bytes.data());
  facts->format = "PCX";
  facts->width = h.width;
  facts->height = h.height;
  const bool palette = h.version == 5 && bytes.size() >= kPcxHeaderBytes + kPcxPaletteBytes;
  facts->summary =
      "  version " + std::to_string(h.version) + ", " + Size(h.width, h.height) + " pixels, " +
      std::to_string(h.bits_per_pixel) + " bits x " + std::to_string(h.planes) + " plane(s), " +
      std::to_string(h.bytes_per_line) + " bytes per line, encoding " + std::to_string(h.encoding) +
      "\n  palette: " + (palette ? "256 colours at the end of the file" : "none") + "\n";
  std::string problem;
  if (h.encoding != 1) {
    problem = "not run-length encoded (encoding " + std::to_string(h.encoding) + ")";
  } else if (h.planes != 1 || h.bits_per_pixel != 8) {
    problem = std::to_string(h.bits_per_pixel) + " bits x " + std::to_string(h.planes) +
              " planes; only 8-bit pictures of one plane are read";
  } else if (h.width < 1 || h.height < 1) {
    problem = "empty size " + Size(h.width, h.height);
  } else if (h.width > h.scanline_bytes) {
    problem = "width " + std::to_string(h.width) + " exceeds the " +
              std::to_string(h.scanline_bytes) + " bytes per line";
  } else if (h.scanline_bytes > kPcxMaxScanlineBytes) {
    problem = std::to_string(h.scanline_bytes) + " bytes per line; the decoder holds at most " +
              std::to_string(kPcxMaxScanlineBytes);
  }
  facts->indexed_problem = problem;
  facts->texture_problem = problem;
  if (problem.empty() && h.version != 5) {
    facts->texture_problem =
        "version " + std::to_string(h.version) + " has no palette; textures need version 5";
  } else if (problem.empty() && !palette) {
    facts->texture_problem = "too short to hold a palette";
  }
}

void ExamineBmp(const std::vector<uint8_t>& bytes, PictureFacts* facts) {
  facts->format = "BMP";
  const int32_t offset = Le32(&bytes[10]);
  const int32_t width = Le32(&bytes[18]);
  const int32_t height = Le32(&bytes[22]);
  const int bits = bytes[28] | bytes[29] << 8;
  const int32_t compression = bytes.size() >= 34 ? Le32(&bytes[30]) : 0;
  facts->width = width;
  facts->height = height < 0 ? -height : height;
  facts->summary = "  " + Size(width, facts->height) + " pixels, " +
                   (height < 0 ? "top-down" : "bottom-up") + " rows, " + std::to_string(bits) +
                   " bits per pixel, compression " + std::to_string(compression) +
                   ", pixel array at byte " + std::to_string(offset) + "\n";
  auto texture_side = [](int32_t side) {
    const int32_t log2 = FloorLog2(side);
    return log2 >= 0 && log2 <= 8 && side == 1 << log2;
  };
  const int64_t row_bytes = (static_cast<int64_t>(width) * 3 + 3) & ~int64_t{3};
  const int64_t array_bytes = row_bytes * (height > 0 ? height : 0);
  if (height < 0) {
    facts->texture_problem = "top-down rows (negative height) are not read";
  } else if (!texture_side(width) || !texture_side(height)) {
    facts->texture_problem =
        "size " + Size(width, height) + "; both sides must be powers of two from 1 to 256";
  } else if (bits != 24) {
    facts->texture_problem =
        std::to_string(bits) + " bits per pixel; only 24-bit pictures are read";
  } else if (offset < 0 || offset + array_bytes > static_cast<int64_t>(bytes.size())) {
    facts->texture_problem = "the pixel array runs past the end of the file";
  }
  facts->indexed_problem = "BMP pictures are never indexed";
}

}  // namespace

PictureFacts ExaminePicture(const std::vector<uint8_t>& bytes) {
  PictureFacts facts;
  if (bytes.size() >= kPcxHeaderBytes && bytes[0] == 10) {
    ExaminePcx(bytes, &facts);
  } else if (bytes.size() >= 30 && bytes[0] == 'B' && bytes[1] == 'M') {
    ExamineBmp(bytes, &facts);
  } else {
    facts.summary = bytes.size() < 30
                        ? "too short to be a picture (" + std::to_string(bytes.size()) + " bytes)"
                        : "neither a PCX (first byte 10) nor a BMP (\"BM\") picture";
  }
  return facts;
}
