// A small S3M module built byte by byte for the music system's tests: two
// channels, one looping instrument, one pattern of 64 rows with a note on
// row 0 (channel 0) and on row 32 (channel 1). At speed 6 and tempo 125 it
// lasts 64 × 6 ticks of 20 ms = 7.68 s.
#pragma once

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

inline std::vector<uint8_t> TinyS3M(uint8_t speed = 6, uint8_t tempo = 125) {
  std::vector<uint8_t> file(1024, 0);
  auto put16 = [&file](size_t at, uint32_t value) {
    file[at] = static_cast<uint8_t>(value);
    file[at + 1] = static_cast<uint8_t>(value >> 8);
  };
  auto put32 = [&](size_t at, uint32_t value) {
    put16(at, value & 0xFFFF);
    put16(at + 2, value >> 16);
  };
  std::memcpy(file.data(), "tiny", 4);  // song name
  file[28] = 0x1A;                      // end of text marker
  file[29] = 16;                        // type: S3M
  put16(32, 1);                         // orders
  put16(34, 1);                         // instruments
  put16(36, 1);                         // patterns
  put16(40, 0x1320);                    // tracker version
  put16(42, 2);                         // samples are unsigned
  std::memcpy(&file[44], "SCRM", 4);
  file[48] = 64;  // global volume
  file[49] = speed;
  file[50] = tempo;
  file[51] = 0xB0;                                                          // master volume, stereo
  for (int channel = 0; channel < 32; ++channel) file[64 + channel] = 255;  // disabled
  file[64] = 0;                                                             // left
  file[65] = 8;                                                             // right
  file[96] = 0;                                                             // order 0: pattern 0
  put16(97, 112 / 16);  // instrument header at 112
  put16(99, 448 / 16);  // pattern at 448
  // Instrument header at 112: a 256-frame looping square wave at 8363 Hz.
  file[112] = 1;
  put16(112 + 14, 192 / 16);  // sample data at 192
  put32(112 + 16, 256);       // length
  put32(112 + 20, 0);         // loop start
  put32(112 + 24, 256);       // loop end
  file[112 + 28] = 48;        // volume
  file[112 + 31] = 1;         // looping
  put32(112 + 32, 8363);      // middle-C rate
  std::memcpy(&file[112 + 48], "square", 6);
  std::memcpy(&file[112 + 76], "SCRS", 4);
  for (int i = 0; i < 256; ++i) file[192 + i] = (i / 16) % 2 ? 0xE0 : 0x20;
  // Pattern at 448: 64 rows, notes on rows 0 and 32.
  std::vector<uint8_t> rows;
  for (int row = 0; row < 64; ++row) {
    if (row == 0) rows.insert(rows.end(), {0x20 | 0, 0x40, 1});   // C-4, instrument 1
    if (row == 32) rows.insert(rows.end(), {0x20 | 1, 0x47, 1});  // G-4
    rows.push_back(0);
  }
  put16(448, static_cast<uint32_t>(rows.size()));
  std::memcpy(&file[450], rows.data(), rows.size());
  file.resize(450 + rows.size());
  return file;
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}
