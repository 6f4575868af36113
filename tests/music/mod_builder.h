// Builds plain (Protracker-style) module files in memory for the tests:
// a title, 31 (or 15) sample headers, the order table, a signature, 4-byte
// pattern cells and the sample bytes, laid out as the trackers wrote them.
// Also loads the bytes of any module format, starts them on a mixer (an S3M
// module built with S3mBuilder played tick by tick for the player's tests,
// with helpers that record a value after every tick) and reads back the
// patterns the readers convert.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "music/mixer.h"
#include "music/module_loader.h"
#include "music/module_records.h"
#include "music/player.h"
#include "music/s3m_builder.h"

// period: Amiga period, 0 for none (428 is C-4 here); sample: 1-based, 0 for none.
struct ModCell {
  int pattern = 0, row = 0, channel = 0, period = 0, sample = 0, effect = 0, parameter = 0;
};

// finetune: 0..15 as stored; a loop of 2 bytes is none; value: every byte.
struct ModSampleSpec {
  uint32_t length_bytes = 64;
  int finetune = 0, volume = 64;
  uint32_t loop_start_bytes = 0, loop_length_bytes = 2;
  int8_t value = 40;
};

struct ModBuilder {
  std::string signature = "M.K.";  // empty: a 15-sample module
  int channels = 4;                // cells per row as stored
  std::vector<uint8_t> orders = {0};
  int pattern_blocks = 1;  // stored patterns of 64 rows
  std::vector<ModSampleSpec> samples = {ModSampleSpec{}};
  std::vector<ModCell> cells;

  std::vector<uint8_t> Build() const {
    std::vector<uint8_t> out(20, 0);
    std::memcpy(out.data(), "test song", 9);
    auto word = [](uint8_t* at, uint32_t value) {
      at[0] = static_cast<uint8_t>(value >> 8);
      at[1] = static_cast<uint8_t>(value);
    };
    for (size_t s = 0; s < (signature.empty() ? 15u : 31u); ++s) {
      uint8_t header[30] = {};
      if (s < samples.size()) {
        word(header + 22, samples[s].length_bytes / 2);
        header[24] = static_cast<uint8_t>(samples[s].finetune);
        header[25] = static_cast<uint8_t>(samples[s].volume);
        word(header + 26, samples[s].loop_start_bytes / 2);
        word(header + 28, samples[s].loop_length_bytes / 2);
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
    const size_t row_cells = signature.rfind("FLT8", 0) == 0 ? 4 : static_cast<size_t>(channels);
    out.resize(patterns_at + static_cast<size_t>(pattern_blocks) * 64 * row_cells * 4, 0);
    for (const ModCell& c : cells) {
      uint8_t* at = &out[patterns_at +
                         static_cast<size_t>(
                             (c.pattern * 64 + c.row) * static_cast<int>(row_cells) + c.channel) *
                             4];
      at[0] = static_cast<uint8_t>((c.sample & 0xF0) | ((c.period >> 8) & 15));
      at[1] = static_cast<uint8_t>(c.period & 0xFF);
      at[2] = static_cast<uint8_t>(((c.sample & 15) << 4) | (c.effect & 15));
      at[3] = static_cast<uint8_t>(c.parameter);
    }
    for (const ModSampleSpec& spec : samples)
      out.insert(out.end(), spec.length_bytes, static_cast<uint8_t>(spec.value));
    return out;
  }
};

// A module loaded from bytes, freed with it.
struct Loaded {
  Module* module = nullptr;
  std::string reason;
  int code;
  explicit Loaded(const std::vector<uint8_t>& bytes)
      : code(LoadModuleFromMemory(bytes.data(), bytes.size(), &module, &reason)) {}
  ~Loaded() { FreeModule(module); }
  Loaded(const Loaded&) = delete;
  Loaded& operator=(const Loaded&) = delete;
};

// What the tick-by-tick tests read after each tick: channel 0's values in
// the player, the song's, or the device's (kPosition: -1 when silent;
// kRestarted: whether the sample is at its start, 100 frames being mixed
// after each tick), or the period of the first background voice.
// clang-format off
enum Read { kVolume, kOutputVolume, kChannelVolume, kInstrumentVolume, kGlobalVolume, kTempo,
            kPanning, kPeriod, kOutputPeriod, kEnvelopePosition, kBackgroundPeriod, kPlaying,
            kPosition, kDeviceVolume, kRate, kCutoff, kRestarted };
// clang-format on

// A song started on a mixer of its own, played tick by tick.
struct Started {
  Mixer mixer;
  PlayState* state = nullptr;
  Started() = default;
  ~Started() { PlayerStop(state); }
  Started(const Started&) = delete;
  Started& operator=(const Started&) = delete;

  // Starts the module (loop as PlayerStart takes it) on the mixer.
  void Start(Module* module, int loop) {
    PlayerSetDevice(&mixer);
    EXPECT_EQ(module != nullptr ? PlayerStart(module, nullptr, loop, &state) : 0, 0);
    PlayerSetDevice(nullptr);
  }
  // Plays `count` ticks; the first error, else 0 (-1 when nothing plays).
  int Tick(int count = 1) {
    if (state == nullptr) return -1;
    for (int i = 0; i < count; ++i) {
      const int result = PlayerTickState(state);
      if (result != 0) return result;
    }
    return 0;
  }
  PlayChannel& channel(int index) { return state->channels[index]; }
  // The value read after each of `ticks` ticks.
  std::vector<int> Track(int ticks, Read read) {
    std::vector<int> values;
    for (int i = 0; i < ticks && state != nullptr; ++i) {
      EXPECT_EQ(Tick(), 0);
      const PlayChannel& c = state->channels[0];
      // clang-format off
      const int by_read[] = {c.volume, c.output_volume, c.channel_volume, c.instrument_volume,
                             state->global_volume, int(state->update_rate / 40), c.panning,
                             int(c.period), int(c.output_period), c.voice.volume_position,
                             int(state->background[0].period), mixer.channel_playing(0),
                             mixer.channel_playing(0) ? int(mixer.channel_position(0)) : -1,
                             mixer.channel_volume(0), int(mixer.channel_rate_hz(0)),
                             mixer.channel_filter_cutoff(0), mixer.channel_position(0) == 0};
      // clang-format on
      values.push_back(by_read[read]);
      std::vector<int16_t> out(2 * 100);
      if (read == kRestarted) mixer.Render(out.data(), 100, nullptr, nullptr);
    }
    return values;
  }
  // Ticks up to row 0 (the lead-in of speed - 1 ticks), then tracks row 0's
  // tick and the next ones.
  std::vector<int> RowAndTicks(int ticks, Read read) {
    EXPECT_EQ(state != nullptr ? Tick(state->speed - 1) : 1, 0);
    return Track(ticks, read);
  }
};

// A module loaded from bytes and started: at rate_hz with interpolation and
// ramps, or (0) on an unconfigured mixer without ramps.
struct Playing : Loaded, Started {
  explicit Playing(const std::vector<uint8_t>& bytes, int rate_hz = 0, int loop = 0)
      : Loaded(bytes) {
    EXPECT_EQ(code, 0) << reason;
    if (rate_hz == 0) mixer.SetRampFrames(0);
    EXPECT_EQ(rate_hz != 0 ? mixer.Configure(rate_hz, kMixerStereo, 1) : 0, 0);
    Start(module, loop);
  }
  explicit Playing(const S3mBuilder& builder, int loop = 0) : Playing(builder.Build(), 0, loop) {}
};

// The converted rows of a pattern, each as its entries' bytes.
inline std::vector<std::vector<uint8_t>> PatternRows(const ModulePattern& pattern) {
  std::vector<std::vector<uint8_t>> rows(1);
  const uint8_t* at = pattern.rows;
  const uint8_t* end = pattern.rows + pattern.size_bytes - kModulePatternHeadBytes;
  while (at < end) {
    const uint8_t what = *at;
    const int size =
        what == 0 ? 1 : 1 + (what & 32 ? 2 : 0) + (what & 64 ? 1 : 0) + (what & 128 ? 2 : 0);
    if (what == 0)
      rows.emplace_back();
    else
      rows.back().insert(rows.back().end(), at, at + size);
    at += size;
  }
  rows.pop_back();  // after the last row's 0
  return rows;
}

// The rows a walk through the song reads (at most max_rows), as
// "position:row ".
inline std::string WalkedRows(Module* module, uint32_t max_rows) {
  std::string rows;
  auto collect = [](const PlayStatus& status, void* out) {
    *static_cast<std::string*>(out) +=
        std::to_string(status.position) + ":" + std::to_string(status.row) + " ";
  };
  PlayerWalkSong(module, max_rows, collect, &rows);
  return rows;
}

// A builder with one instrument of `length` frames (middle C at 8363 Hz).
inline S3mBuilder OneSampleSong(uint32_t length = 64) {
  S3mBuilder builder;
  builder.samples.push_back(ConstantSample(length));
  return builder;
}
