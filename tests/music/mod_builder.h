// Builds plain (Protracker-style) module files in memory for the tests:
// a title, 31 (or 15) sample headers, the order table, a signature, 4-byte
// pattern cells and the sample bytes, laid out as the trackers wrote them.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

struct ModCell {
  int pattern = 0;
  int row = 0;
  int channel = 0;
  int period = 0;  // Amiga period, 0 for none (428 is C-4 here)
  int sample = 0;  // 1-based, 0 for none
  int effect = 0;
  int parameter = 0;
};

struct ModSampleSpec {
  uint32_t length_bytes = 64;
  int finetune = 0;  // 0..15 as stored
  int volume = 64;
  uint32_t loop_start_bytes = 0;
  uint32_t loop_length_bytes = 2;  // 2: no loop
  int8_t value = 40;               // every byte of the data
};

struct ModBuilder {
  std::string signature = "M.K.";  // empty: a 15-sample module
  int channels = 4;                // cells per row as stored
  std::vector<uint8_t> orders = {0};
  int pattern_blocks = 1;  // stored patterns of 64 rows
  std::vector<ModSampleSpec> samples = {ModSampleSpec{}};
  std::vector<ModCell> cells;

  ModBuilder& Cell(const ModCell& cell) {
    cells.push_back(cell);
    return *this;
  }

  std::vector<uint8_t> Build() const {
    const int sample_slots = signature.empty() ? 15 : 31;
    std::vector<uint8_t> out(20, 0);
    std::memcpy(out.data(), "test song", 9);
    for (int s = 0; s < sample_slots; ++s) {
      uint8_t header[30] = {};
      if (s < static_cast<int>(samples.size())) {
        const ModSampleSpec& spec = samples[static_cast<size_t>(s)];
        PutWord(header + 22, spec.length_bytes / 2);
        header[24] = static_cast<uint8_t>(spec.finetune);
        header[25] = static_cast<uint8_t>(spec.volume);
        PutWord(header + 26, spec.loop_start_bytes / 2);
        PutWord(header + 28, spec.loop_length_bytes / 2);
      }
      out.insert(out.end(), header, header + 30);
    }
    out.push_back(static_cast<uint8_t>(orders.size()));
    out.push_back(127);
    std::vector<uint8_t> table(128, 0);
    std::memcpy(table.data(), orders.data(), orders.size());
    out.insert(out.end(), table.begin(), table.end());
    out.insert(out.end(), signature.begin(), signature.end());
    const size_t patterns_at = out.size();
    const size_t cells_per_block =
        signature.rfind("FLT8", 0) == 0 ? 4 : static_cast<size_t>(channels);
    out.resize(patterns_at + static_cast<size_t>(pattern_blocks) * 64 * cells_per_block * 4, 0);
    for (const ModCell& cell : cells) {
      uint8_t* at = &out[patterns_at +
                         ((static_cast<size_t>(cell.pattern) * 64 + static_cast<size_t>(cell.row)) *
                              cells_per_block +
                          static_cast<size_t>(cell.channel)) *
                             4];
      at[0] = static_cast<uint8_t>((cell.sample & 0xF0) | ((cell.period >> 8) & 15));
      at[1] = static_cast<uint8_t>(cell.period & 0xFF);
      at[2] = static_cast<uint8_t>(((cell.sample & 15) << 4) | (cell.effect & 15));
      at[3] = static_cast<uint8_t>(cell.parameter);
    }
    for (const ModSampleSpec& spec : samples)
      out.insert(out.end(), spec.length_bytes, static_cast<uint8_t>(spec.value));
    return out;
  }

 private:
  static void PutWord(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value >> 8);
    at[1] = static_cast<uint8_t>(value);
  }
};
