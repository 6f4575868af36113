// Builds small "IMPM" files for the tests: one pattern, one 8-bit sample of
// constant value (middle C at 8363 Hz) and, in instrument mode, one
// instrument that maps every note to it.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

// note: 0..119 (60 is middle C), 254 cut, 255 off, -1 none; instrument:
// 1-based, 0 none; volume: the column's byte, -1 none; effect: A = 1.
struct ItCell {
  int row = 0, channel = 0, note = -1, instrument = 0, volume = -1, effect = 0, parameter = 0;
};

struct ItBuilder {
  uint8_t speed = 4, tempo = 125, global_volume = 128;
  uint16_t flags = 1;  // stereo; 4 instruments, 16 old effects, 32 compatible Gxx
  int rows = 64;
  int orders = 1;  // each plays the one pattern
  uint32_t frames = 4000;
  std::vector<ItCell> cells;
  std::vector<uint8_t> packed;  // when set, the pattern's packed bytes in place of the cells'

  std::vector<uint8_t> Build() const {
    const bool instruments = (flags & 4) != 0;
    std::vector<uint8_t> out(0xC0, 0);
    auto u16 = [&](size_t at, uint32_t value) {
      out[at] = static_cast<uint8_t>(value);
      out[at + 1] = static_cast<uint8_t>(value >> 8);
    };
    auto u32 = [&](size_t at, uint32_t value) {
      u16(at, value & 0xFFFF);
      u16(at + 2, value >> 16);
    };
    std::memcpy(out.data(), "IMPMtiny", 8);
    u16(0x20, static_cast<uint32_t>(orders + 1));  // and an end marker
    u16(0x22, instruments ? 1 : 0);
    u16(0x24, 1);
    u16(0x26, 1);
    u16(0x28, 0x214);
    u16(0x2A, 0x214);
    u16(0x2C, flags);
    out[0x30] = global_volume;
    out[0x32] = speed;
    out[0x33] = tempo;
    std::memset(&out[0x40], 32, 64);  // centred
    std::memset(&out[0x80], 64, 64);
    out.insert(out.end(), static_cast<size_t>(orders), 0);
    out.push_back(255);
    const size_t table_at = out.size();
    out.resize(table_at + (instruments ? 12 : 8), 0);
    if (instruments) {
      u32(table_at, static_cast<uint32_t>(out.size()));
      const size_t at = out.size();
      out.resize(at + 554, 0);
      std::memcpy(&out[at], "IMPI", 4);
      out[at + 0x18] = 128;  // global volume
      out[at + 0x19] = 128;  // no panning of its own
      for (int note = 0; note < 120; ++note) {
        out[at + 0x40 + size_t(note) * 2] = static_cast<uint8_t>(note);
        out[at + 0x41 + size_t(note) * 2] = 1;
      }
    }
    const size_t sample_slot = table_at + (instruments ? 4 : 0);
    u32(sample_slot, static_cast<uint32_t>(out.size()));
    const size_t sample_at = out.size();
    out.resize(sample_at + 80, 0);
    std::memcpy(&out[sample_at], "IMPS", 4);
    out[sample_at + 0x11] = 64;
    out[sample_at + 0x12] = 1;  // data, 8-bit, no loop
    out[sample_at + 0x13] = 32;
    out[sample_at + 0x2E] = 1;  // signed
    u32(sample_at + 0x30, frames);
    u32(sample_at + 0x3C, 8363);
    u32(sample_slot + 4, static_cast<uint32_t>(out.size()));
    const size_t pattern_at = out.size();
    out.resize(pattern_at + 8, 0);
    u16(pattern_at + 2, static_cast<uint32_t>(rows));
    out.insert(out.end(), packed.begin(), packed.end());
    for (int row = 0; row < rows && packed.empty(); ++row) {
      for (const ItCell& cell : cells) {
        if (cell.row != row) continue;
        const uint8_t mask =
            static_cast<uint8_t>((cell.note >= 0 ? 1 : 0) | (cell.instrument ? 2 : 0) |
                                 (cell.volume >= 0 ? 4 : 0) | (cell.effect ? 8 : 0));
        out.push_back(static_cast<uint8_t>((cell.channel + 1) | 128));
        out.push_back(mask);
        if (mask & 1) out.push_back(static_cast<uint8_t>(cell.note));
        if (mask & 2) out.push_back(static_cast<uint8_t>(cell.instrument));
        if (mask & 4) out.push_back(static_cast<uint8_t>(cell.volume));
        if (mask & 8) {
          out.push_back(static_cast<uint8_t>(cell.effect));
          out.push_back(static_cast<uint8_t>(cell.parameter));
        }
      }
      out.push_back(0);
    }
    const size_t packed_bytes = out.size() - pattern_at - 8;
    out[pattern_at] = static_cast<uint8_t>(packed_bytes);
    out[pattern_at + 1] = static_cast<uint8_t>(packed_bytes >> 8);
    u32(sample_at + 0x48, static_cast<uint32_t>(out.size()));
    out.insert(out.end(), frames, 40);
    return out;
  }
};
