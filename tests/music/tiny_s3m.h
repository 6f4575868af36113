// A small S3M module for the music system's tests: two channels, one looping
// square-wave instrument, one pattern of 64 rows with a note on row 0
// (channel 0) and on row 32 (channel 1). At speed 6 and tempo 125 it lasts
// 64 x 6 ticks of 20 ms = 7.68 s. Also the tests' file helpers.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "music/s3m_builder.h"

inline std::vector<uint8_t> TinyS3M(uint8_t speed = 6, uint8_t tempo = 125) {
  S3mBuilder builder;
  builder.name = "tiny";
  builder.speed = speed;
  builder.tempo = tempo;
  BuilderSample square = ConstantSample(256);
  for (size_t i = 0; i < 256; ++i) square.bytes[i] = (i / 16) % 2 ? 0xE0 : 0x20;
  square.flags = 1;  // looping over the whole sample
  square.loop_end = 256;
  square.volume = 48;
  builder.samples = {square};
  builder.Entry(0, {.row = 0, .channel = 0, .note = 0x40, .instrument = 1});
  builder.Entry(0, {.row = 32, .channel = 1, .note = 0x47, .instrument = 1});
  return builder.Build();
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

// The files of a folder with the extension, sorted (none when the folder is
// missing: the packages that hold the reference songs are not installed).
inline std::vector<std::string> FilesIn(const char* folder, const char* extension) {
  std::vector<std::string> paths;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (entry.path().extension() == extension) paths.push_back(entry.path().string());
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
