// The "Extended Module:" reader: header, packed patterns with their volume
// column and effects, instruments with note maps and envelopes, delta-coded
// 8- and 16-bit samples and their loops, and the refusal of cut, damaged
// or other-version files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "music/mixer.h"
#include "music/module_loader.h"
#include "music/module_records.h"
#include "music/music_errors.h"
#include "music/player.h"
#include "music/player_commands.h"

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

// A two-channel song of one 4-row pattern (orders 0, 1: pattern 1 is not
// stored) and one instrument with two samples: an 8-bit one for the low
// notes and a 16-bit ping-pong one an octave up for the notes from C-5.
// clang-format off
const std::vector<uint8_t> kTinyPattern = {
    49, 1, 0x50, 0x0F, 0x20,                    // C-4, instrument 1, volume 64, F20 (tempo 32)
    0x80 | 1 | 4 | 8 | 16, 97, 0x30, 16, 0x30,  // key off, volume 32, G30
    0x80, 0x80 | 1, 61,                         // row 1: nothing, then C-5 alone
    0x80, 0x80, 0x80, 0x80};                    // rows 2 and 3 empty
// clang-format on

std::vector<uint8_t> TinyXm(uint16_t version = 0x0104,
                            const std::vector<uint8_t>& packed = kTinyPattern) {
  std::vector<uint8_t> out(17 + 20 + 1 + 20, 0);
  std::memcpy(out.data(), "Extended Module: ", 17);
  std::memcpy(out.data() + 17, "tiny", 4);
  out[37] = 0x1A;
  Put16(out, version);
  Put32(out, 20 + 256);  // header size from here
  Put16(out, 2);         // song length
  Put16(out, 0);         // restart
  Put16(out, 2);         // channels
  Put16(out, 1);         // stored patterns
  Put16(out, 1);         // instruments
  Put16(out, 1);         // linear frequencies
  Put16(out, 5);         // speed
  Put16(out, 140);       // tempo
  std::vector<uint8_t> orders(256, 0);
  orders[1] = 1;
  out.insert(out.end(), orders.begin(), orders.end());
  // Pattern: row 0 channel 0 a full cell, channel 1 a packed key off with
  // volume 0x30; row 1 channel 0 effect F03 only; rows 2 and 3 empty.
  // rows 2 and 3 empty
  Put32(out, 9);
  out.push_back(0);
  Put16(out, 4);
  Put16(out, static_cast<uint32_t>(packed.size()));
  out.insert(out.end(), packed.begin(), packed.end());
  // Instrument header (263 bytes) with two samples.
  const size_t instrument_at = out.size();
  Put32(out, 263);
  out.resize(out.size() + 22, 0);
  std::memcpy(&out[instrument_at + 4], "lead", 4);
  out.push_back(0);
  Put16(out, 2);
  Put32(out, 40);
  std::vector<uint8_t> note_map(96, 0);
  for (size_t n = 60; n < 96; ++n) note_map[n] = 1;
  out.insert(out.end(), note_map.begin(), note_map.end());
  std::vector<uint8_t> envelopes(96, 0);
  envelopes[4] = 10;  // volume point 1: tick 10 ...
  envelopes[6] = 32;  // ... value 32
  out.insert(out.end(), envelopes.begin(), envelopes.end());
  const uint8_t tail[] = {2, 0, 1, 0, 1, 0, 0, 0, 1 | 2, 0, 0, 0, 0, 0};
  out.insert(out.end(), std::begin(tail), std::end(tail));
  Put16(out, 0x400);  // fade-out
  out.resize(instrument_at + 263, 0);
  // Sample headers: 8 bytes 8-bit, no loop; 4 frames 16-bit ping-pong 1..3.
  Put32(out, 8);
  Put32(out, 0);
  Put32(out, 0);
  out.insert(out.end(), {48, 0, 0, 128, 0, 0});
  out.resize(out.size() + 22, 0);
  Put32(out, 8);
  Put32(out, 2);
  Put32(out, 4);
  out.insert(out.end(), {64, 0, 2 | 16, 128, 12, 0});
  out.resize(out.size() + 22, 0);
  out.insert(out.end(), {10, 10, 246, 0, 1, 2, 3, 4});  // deltas: 10 20 10 10 11 13 16 20
  for (int16_t delta : {1000, -2000, 500, 500}) Put16(out, static_cast<uint16_t>(delta));
  return out;
}

struct Loaded {
  Module* module = nullptr;
  int code = -1;
  std::string reason;
  explicit Loaded(const std::vector<uint8_t>& bytes) {
    code = LoadModuleFromMemory(bytes.data(), bytes.size(), &module, &reason);
  }
  ~Loaded() { FreeModule(module); }
  Loaded(const Loaded&) = delete;
  Loaded& operator=(const Loaded&) = delete;
};

TEST(XmReader, HeaderPatternsInstrumentsAndSamples) {
  Loaded loaded(TinyXm());
  ASSERT_EQ(loaded.code, 0) << loaded.reason;
  const Module& m = *loaded.module;
  EXPECT_EQ(m.rules, kRulesExtended);
  EXPECT_EQ(m.frequency_model, kFrequencyLinear);
  EXPECT_EQ(m.channel_count, 2);
  EXPECT_EQ(m.speed, 5);
  EXPECT_EQ(m.tempo, 140);
  EXPECT_EQ(m.song_length, 2);
  EXPECT_EQ(m.pattern_count, 2);  // the unstored pattern is an empty one of 64 rows
  EXPECT_EQ(m.patterns[0]->row_count, 4);
  EXPECT_EQ(m.patterns[1]->row_count, 64);
  const std::vector<uint8_t> rows(m.patterns[0]->rows, m.patterns[0]->rows + 17);
  EXPECT_EQ(rows, (std::vector<uint8_t>{0xE0, 0x40, 0, 64, kCommandSetTempo, 0x20,  // C-4 ...
                                        0xE1, kNoteKeyOff, kInstrumentNone, 32,     // key off
                                        kCommandGlobalVolume, 0x30, 0,              // G30
                                        0x21, 0x50, kInstrumentNone, 0}));          // C-5
  const ModuleInstrument& lead = *m.instruments[0];
  EXPECT_EQ(lead.sample_count, 2);
  EXPECT_EQ(lead.note_samples[59], 0);
  EXPECT_EQ(lead.note_samples[60], 1);
  EXPECT_EQ(lead.fadeout, 0x400);
  EXPECT_EQ(lead.volume_envelope.point_count, 2);
  EXPECT_EQ(lead.volume_envelope.flags, kEnvelopeOn | kEnvelopeSustain);
  EXPECT_EQ(lead.volume_envelope.ticks[1], 10);
  EXPECT_EQ(lead.volume_envelope.values[1], 32);
  ASSERT_EQ(m.sample_count, 2);
  const ModuleSample& low = *m.samples[0];
  EXPECT_EQ(std::vector<int>(low.data, low.data + 8),
            (std::vector<int>{10, 20, 10, 10, 11, 13, 16, 20}));
  EXPECT_EQ(low.rate_hz, 8363u);
  EXPECT_EQ(low.volume, 48);
  const ModuleSample& high = *m.samples[1];
  EXPECT_EQ(high.data, nullptr);
  EXPECT_EQ(std::vector<int>(high.data16, high.data16 + 4),
            (std::vector<int>{1000, -1000, -500, 0}));
  EXPECT_EQ(high.length, 3u);
  EXPECT_EQ(high.loop_mode, kLoopPingPong);
  EXPECT_EQ(high.loop_start, 1u);
  EXPECT_EQ(high.loop_end, 3u);
  EXPECT_EQ(high.rate_hz, 16726u);  // an octave up
}

TEST(XmReader, CutDamagedAndOtherVersionsAreRefused) {
  const std::vector<uint8_t> good = TinyXm();
  for (size_t size = 17; size < good.size(); ++size) {
    Loaded loaded(std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(size)));
    EXPECT_NE(loaded.code, 0) << size;
    EXPECT_FALSE(loaded.reason.empty()) << size;
  }
  Loaded old_layout(TinyXm(0x0103));
  EXPECT_EQ(old_layout.code, kMusicInvalidModule);
  EXPECT_NE(old_layout.reason.find("version 1.04"), std::string::npos);
  std::vector<uint8_t> many_channels = TinyXm();
  many_channels[68] = 33;
  EXPECT_EQ(Loaded(many_channels).code, kMusicInvalidModule);
  std::vector<uint8_t> too_many_samples = TinyXm();
  too_many_samples[60 + 20 + 256 + 9 + 19 + 27] = 17;  // the instrument's sample count
  EXPECT_EQ(Loaded(too_many_samples).code, kMusicInvalidInstrument);
}

// The extended rules keep one memory per effect (A00 goes on sliding, where
// the plain rules' A00 does nothing), and the instrument's map picks the
// sample of each note.
TEST(ExtendedRules, MemoriesPerEffectAndTheNoteMap) {
  // clang-format off
  const std::vector<uint8_t> pattern = {
      49, 1, 0x50, 0x0A, 0x04,    // row 0: C-4 at volume 64, A04
      0x80,                       //        channel 1 empty
      0x80 | 8 | 16, 0x0A, 0x00,  // row 1: A00
      0x80,
      0x80 | 1, 61,               // row 2: C-5, no instrument byte
      0x80, 0x80, 0x80};          // row 3 empty
  // clang-format on
  const std::vector<uint8_t> bytes = TinyXm(0x0104, pattern);
  Module* module = nullptr;
  ASSERT_EQ(LoadModuleFromMemory(bytes.data(), bytes.size(), &module, nullptr), 0);
  Mixer mixer;
  PlayerSetDevice(&mixer);
  PlayState* state = nullptr;
  ASSERT_EQ(PlayerStart(module, nullptr, 0, &state), 0);
  PlayerSetDevice(nullptr);
  std::vector<int> volumes;
  std::vector<const ModuleSample*> samples;
  for (int tick = 0; tick < 4 + 3 * 5; ++tick) {  // lead-in of 4, then rows 0 to 2
    ASSERT_EQ(PlayerTickState(state), 0);
    volumes.push_back(state->channels[0].volume);
    samples.push_back(ChannelSample(*state, state->channels[0]));
  }
  EXPECT_EQ(std::vector<int>(volumes.begin() + 4, volumes.begin() + 14),
            (std::vector<int>{64, 60, 56, 52, 48, 48, 44, 40, 36, 32}));
  EXPECT_EQ(samples[4], module->samples[0]);   // C-4
  EXPECT_EQ(samples[14], module->samples[1]);  // C-5
  PlayerStop(state);
  FreeModule(module);
}

}  // namespace
