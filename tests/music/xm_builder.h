// Builds small "Extended Module:" files in memory for the instrument tests:
// one pattern of cells and instruments of one sample each, with volume and
// panning envelopes, fade-out and automatic vibrato, laid out as the tracker
// wrote them (version 1.04, every cell stored unpacked).
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

// note: 1..96 (49 is C-4), 97 key off, 0 none; instrument 1-based, 0 none;
// volume: the volume column byte (0x10..0x50 sets 0..64), 0 none.
struct XmCell {
  int row = 0, channel = 0, note = 0, instrument = 0, volume = 0, effect = 0, parameter = 0;
};

// points: (tick, value 0..64); flags: 1 on, 2 sustain, 4 loop.
struct XmEnvelope {
  std::vector<std::pair<int, int>> points;
  int flags = 0, sustain = 0, loop_start = 0, loop_end = 0;
};

struct XmInstrument {
  XmEnvelope volume, panning;
  int fadeout = 0;
  int vibrato_type = 0, vibrato_sweep = 0, vibrato_depth = 0, vibrato_rate = 0;
  int sample_volume = 64, sample_panning = 128;
  uint32_t frames = 256;  // 8-bit, looping over the whole sample
};

struct XmBuilder {
  int channels = 2, rows = 16, speed = 3, tempo = 125;
  std::vector<XmInstrument> instruments = {XmInstrument{}};
  std::vector<XmCell> cells;

  std::vector<uint8_t> Build() const {
    std::vector<uint8_t> out;
    auto put = [&out](uint32_t value, int bytes) {
      for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    };
    // (Bytes are appended one by one: GCC 12 misjudges inserts into a
    // growing vector and warns.)
    for (const char* c = "Extended Module: built"; *c != 0; ++c)
      out.push_back(static_cast<uint8_t>(*c));
    out.resize(37, ' ');
    out.push_back(0x1A);
    out.resize(58, ' ');
    put(0x0104, 2);
    put(20 + 256, 4);
    // Song length, restart, channels, patterns, instruments, linear, speed, tempo.
    for (int field : {1, 0, channels, 1, int(instruments.size()), 1, speed, tempo}) put(field, 2);
    out.resize(out.size() + 256, 0);  // orders: pattern 0
    std::vector<uint8_t> packed(static_cast<size_t>(rows * channels) * 5, 0);
    for (const XmCell& c : cells) {
      uint8_t* at = &packed[static_cast<size_t>(c.row * channels + c.channel) * 5];
      const int fields[5] = {c.note, c.instrument, c.volume, c.effect, c.parameter};
      for (int f = 0; f < 5; ++f) at[f] = static_cast<uint8_t>(fields[f]);
    }
    put(9, 4);
    put(0, 1);
    put(static_cast<uint32_t>(rows), 2);
    put(static_cast<uint32_t>(packed.size()), 2);
    for (uint8_t byte : packed) out.push_back(byte);
    for (const XmInstrument& instrument : instruments) {
      const size_t at = out.size();
      put(263, 4);
      out.resize(at + 27, 0);  // name, type
      put(1, 2);
      put(40, 4);
      out.resize(at + 33 + 96, 0);  // every note plays sample 0
      for (const XmEnvelope* envelope : {&instrument.volume, &instrument.panning}) {
        for (size_t p = 0; p < 12; ++p) {
          const bool used = p < envelope->points.size();
          put(used ? static_cast<uint32_t>(envelope->points[p].first) : 0, 2);
          put(used ? static_cast<uint32_t>(envelope->points[p].second) : 0, 2);
        }
      }
      out.push_back(static_cast<uint8_t>(instrument.volume.points.size()));
      out.push_back(static_cast<uint8_t>(instrument.panning.points.size()));
      for (const XmEnvelope* envelope : {&instrument.volume, &instrument.panning}) {
        for (int v : {envelope->sustain, envelope->loop_start, envelope->loop_end})
          out.push_back(static_cast<uint8_t>(v));
      }
      out.push_back(static_cast<uint8_t>(instrument.volume.flags));
      out.push_back(static_cast<uint8_t>(instrument.panning.flags));
      for (int v : {instrument.vibrato_type, instrument.vibrato_sweep, instrument.vibrato_depth,
                    instrument.vibrato_rate})
        out.push_back(static_cast<uint8_t>(v));
      put(static_cast<uint32_t>(instrument.fadeout), 2);
      out.resize(at + 263, 0);
      // Sample header: length, loop start, loop length, volume, finetune,
      // type (forward loop), panning, relative note, reserved, name.
      for (uint32_t field : {instrument.frames, 0u, instrument.frames}) put(field, 4);
      for (int v : {instrument.sample_volume, 0, 1, instrument.sample_panning, 0, 0})
        out.push_back(static_cast<uint8_t>(v));
      out.resize(out.size() + 22, 0);
      // A square wave of +-64, delta-coded: 0x80 flips the sign every 16 frames.
      for (uint32_t i = 0; i < instrument.frames; ++i)
        out.push_back(i == 0 ? 64 : (i % 16 == 0 ? 0x80 : 0));
    }
    return out;
  }
};
