// A tiny S3M writer for the music core's tests: a module described in a few
// fields (orders, channel settings, instruments, pattern entries) becomes the
// bytes of an S3M file, laid out as Scream Tracker stores it: the 96-byte
// header, orders, instrument and pattern pointers, the optional pan table,
// then 16-byte aligned instrument headers, packed patterns and sample bytes.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

struct BuilderSample {
  std::vector<uint8_t> bytes;  // as stored in the file
  uint32_t length = 0;         // frames (the header's length field)
  uint32_t loop_start = 0;
  uint32_t loop_end = 0;
  uint8_t flags = 0;  // bit 0 loop, bit 2 16-bit
  uint8_t volume = 64;
  uint32_t rate_hz = 8363;
  uint8_t type = 1;
  uint32_t paragraph_override = 0;  // nonzero: stored as the sample pointer as is
};

struct BuilderEntry {
  int row = 0;
  int channel = 0;
  int note = -1;        // -1: no note/instrument pair unless instrument is set
  int instrument = -1;  // file number, 1-based; 0 is "none"
  int volume = -1;
  char command = 0;         // 'A'..'Z' or 0
  uint8_t raw_command = 0;  // nonzero: the command byte as is
  int info = 0;
};

struct S3mBuilder {
  std::string name = "test song";
  std::vector<uint8_t> orders = {0};
  uint8_t channel_settings[32];
  bool pan_table = false;
  uint8_t pan[32] = {};
  uint8_t speed = 6;
  uint8_t tempo = 125;
  uint8_t global_volume = 64;
  uint16_t flags = 0;
  uint16_t tracker_version = 0x1320;
  uint16_t sample_format = 2;  // 2 unsigned, 1 signed
  std::vector<BuilderSample> samples;
  int pattern_count = 1;
  std::vector<BuilderEntry> entries_by_pattern[8];
  std::vector<uint8_t> raw_pattern[8];  // nonzero size: stored instead of the entries
  bool zero_pattern_pointer[8] = {};
  size_t padding_before_samples = 0;

  S3mBuilder() {
    for (int i = 0; i < 32; ++i)
      channel_settings[i] = i < 4 ? static_cast<uint8_t>(i < 2 ? i : 8 + i) : 255;
  }

  // Adds an entry to pattern `pattern`.
  S3mBuilder& Entry(int pattern, BuilderEntry entry) {
    entries_by_pattern[pattern].push_back(entry);
    return *this;
  }

  static std::vector<uint8_t> PackPattern(const std::vector<BuilderEntry>& entries) {
    std::vector<uint8_t> rows;
    for (int row = 0; row < 64; ++row) {
      for (const BuilderEntry& e : entries) {
        if (e.row != row) continue;
        const bool pair = e.note >= 0 || e.instrument >= 0;
        const bool command = e.command != 0 || e.raw_command != 0;
        uint8_t what = static_cast<uint8_t>(e.channel & 31);
        if (pair) what |= 32;
        if (e.volume >= 0) what |= 64;
        if (command) what |= 128;
        rows.push_back(what);
        if (pair) {
          rows.push_back(static_cast<uint8_t>(e.note >= 0 ? e.note : 255));
          rows.push_back(static_cast<uint8_t>(e.instrument >= 0 ? e.instrument : 0));
        }
        if (e.volume >= 0) rows.push_back(static_cast<uint8_t>(e.volume));
        if (command) {
          rows.push_back(e.raw_command != 0 ? e.raw_command
                                            : static_cast<uint8_t>(e.command - 'A' + 1));
          rows.push_back(static_cast<uint8_t>(e.info));
        }
      }
      rows.push_back(0);
    }
    return rows;
  }

  std::vector<uint8_t> Build() const {
    std::vector<uint8_t> file(96, 0);
    auto put16 = [&file](size_t at, uint32_t value) {
      file[at] = static_cast<uint8_t>(value);
      file[at + 1] = static_cast<uint8_t>(value >> 8);
    };
    auto put32 = [&](size_t at, uint32_t value) {
      put16(at, value & 0xFFFF);
      put16(at + 2, value >> 16);
    };
    auto align = [&file] { file.resize((file.size() + 15) / 16 * 16, 0); };
    std::memcpy(file.data(), name.data(), std::min<size_t>(name.size(), 28));
    file[28] = 0x1A;
    file[29] = 16;
    put16(32, static_cast<uint32_t>(orders.size()));
    put16(34, static_cast<uint32_t>(samples.size()));
    put16(36, static_cast<uint32_t>(pattern_count));
    put16(38, flags);
    put16(40, tracker_version);
    put16(42, sample_format);
    std::memcpy(&file[44], "SCRM", 4);
    file[48] = global_volume;
    file[49] = speed;
    file[50] = tempo;
    file[51] = 0xB0;
    file[53] = pan_table ? 252 : 0;
    std::memcpy(&file[64], channel_settings, 32);
    file.insert(file.end(), orders.begin(), orders.end());
    const size_t instrument_pointers = file.size();
    file.resize(file.size() + samples.size() * 2 + static_cast<size_t>(pattern_count) * 2, 0);
    const size_t pattern_pointers = instrument_pointers + samples.size() * 2;
    if (pan_table) file.insert(file.end(), pan, pan + 32);
    align();
    std::vector<size_t> headers;
    for (size_t i = 0; i < samples.size(); ++i) {
      headers.push_back(file.size());
      put16(instrument_pointers + i * 2, static_cast<uint32_t>(file.size() / 16));
      file.resize(file.size() + 80, 0);
    }
    for (int p = 0; p < pattern_count; ++p) {
      if (zero_pattern_pointer[p]) continue;
      const std::vector<uint8_t> packed =
          raw_pattern[p].empty() ? PackPattern(entries_by_pattern[p]) : raw_pattern[p];
      put16(pattern_pointers + static_cast<size_t>(p) * 2, static_cast<uint32_t>(file.size() / 16));
      const size_t at = file.size();
      file.resize(at + 2, 0);
      put16(at, static_cast<uint32_t>(packed.size()));
      file.insert(file.end(), packed.begin(), packed.end());
      align();
    }
    file.resize(file.size() + padding_before_samples, 0);
    for (size_t i = 0; i < samples.size(); ++i) {
      const BuilderSample& s = samples[i];
      const size_t h = headers[i];
      uint32_t paragraph = static_cast<uint32_t>(file.size() / 16);
      if (s.paragraph_override != 0) paragraph = s.paragraph_override;
      file[h] = s.type;
      file[h + 13] = static_cast<uint8_t>(paragraph >> 16);
      put16(h + 14, paragraph & 0xFFFF);
      put32(h + 16, s.length);
      put32(h + 20, s.loop_start);
      put32(h + 24, s.loop_end);
      file[h + 28] = s.volume;
      file[h + 31] = s.flags;
      put32(h + 32, s.rate_hz);
      std::memcpy(&file[h + 48], "sample", 6);
      std::memcpy(&file[h + 76], "SCRS", 4);
      if (s.paragraph_override == 0) {
        file.insert(file.end(), s.bytes.begin(), s.bytes.end());
        align();
      }
    }
    return file;
  }
};

// An unsigned 8-bit sample of `length` frames, all at `value`, as the file
// stores it (128 is silence).
inline BuilderSample ConstantSample(uint32_t length, uint8_t value = 200) {
  BuilderSample sample;
  sample.bytes.assign(length, value);
  sample.length = length;
  return sample;
}
