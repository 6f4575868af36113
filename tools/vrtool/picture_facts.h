// What vrtool pic knows about a picture file: its format, a readable summary
// of its header, and why the demo's decoders would refuse it, if they would.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PictureFacts {
  std::string format;   // "PCX", "BMP", or empty when neither (summary says why)
  std::string summary;  // indented lines: size, bits, planes, palette...
  int width = 0;
  int height = 0;
  std::string texture_problem;  // empty: LoadPcxTexture / LoadBmpTexture accept it
  std::string indexed_problem;  // empty: LoadPcxIndexed accepts it (PCX only)
};

PictureFacts ExaminePicture(const std::vector<uint8_t>& bytes);
