// A module built in memory for the instrument rules' tests: one looping
// square-wave sample at 8363 Hz, one instrument for the test to shape
// (envelopes, fade-out, actions, filter), speed 3, two channels of which the
// test fills channel 0 cell by cell. Played on its own mixer without ramps,
// started by the first Play.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "music/mod_builder.h"
#include "music/module_records.h"

struct SongCell {
  int row = 0;
  uint8_t note = kNoteNone, instrument = kInstrumentNone, command = kCommandNone, info = 0;
};

struct InstrumentSong : Started {
  int8_t data[256];
  ModuleSample sample{};
  ModuleSample* samples[1] = {&sample};
  ModuleInstrument instrument{};
  ModuleInstrument* instruments[1] = {&instrument};
  std::vector<uint8_t> rows;
  ModulePattern pattern{};
  ModulePattern* patterns[1] = {&pattern};
  uint16_t orders[1] = {0};
  Module module{};

  InstrumentSong(int32_t rules, const std::vector<SongCell>& cells) {
    for (int row = 0; row < 16; ++row) {
      for (const SongCell& c : cells) {
        if (c.row != row) continue;
        const bool note = c.note != kNoteNone || c.instrument != kInstrumentNone;
        rows.push_back(static_cast<uint8_t>((note ? 0x20 : 0) | (c.command ? 0x80 : 0)));
        if (note) rows.insert(rows.end(), {c.note, c.instrument});
        if (c.command) rows.insert(rows.end(), {c.command, c.info});
      }
      rows.push_back(0);
    }
    for (int i = 0; i < 256; ++i) data[i] = static_cast<int8_t>(i % 32 < 16 ? 64 : -64);
    SetUpPlainSample(sample);
    sample.data = data;
    sample.length = sample.loop_end = 256;
    sample.sample_type = sample.loop_flag = 1;
    sample.loop_mode = kLoopForward;
    sample.volume = 64;
    sample.rate_hz = 8363;
    SetUpPlainInstrument(instrument, 0);
    instrument.sample = &sample;
    instrument.sample_count = instrument.used = 1;
    pattern = {static_cast<int32_t>(kModulePatternHeadBytes + rows.size()), 16, rows.data()};
    module.rules = rules;
    module.song_length = module.instrument_count = module.sample_count = module.pattern_count = 1;
    module.channel_count = 2;
    module.master_volume = 64;
    module.speed = 3;
    module.tempo = 125;
    module.panning[0] = module.panning[1] = 64;
    module.orders = orders;
    module.instruments = instruments;
    module.samples = samples;
    module.patterns = patterns;
    mixer.SetRampFrames(0);
  }
  // Starts the song on the first call (and plays its lead-in), then plays
  // `ticks` ticks.
  void Play(int ticks) {
    if (state == nullptr) {
      Start(&module, 0);
      ticks += 2;
    }
    EXPECT_EQ(Tick(ticks), 0);
  }
};
