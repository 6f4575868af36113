// The module readers: S3M headers, orders, panning, pattern conversion and
// samples; plain-module signatures, sample headers and notes; "Extended
// Module:" headers, patterns, instruments and delta-coded samples; and the
// files each format refuses, with a reason.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "music/it_builder.h"
#include "music/mod_builder.h"
#include "music/module.h"
#include "music/music_errors.h"
#include "music/s3m_builder.h"
#include "music/s3m_reader.h"

namespace {

S3mBuilder OneInstrument() {
  S3mBuilder builder;
  builder.samples.push_back(ConstantSample(16));
  builder.Entry(0, {.row = 0, .note = 0x40, .instrument = 1});
  return builder;
}

TEST(S3mReaderHeader, FieldsAndFlags) {
  S3mBuilder builder = OneInstrument();
  builder.name = "Song Name";
  builder.speed = 4;
  builder.tempo = 150;
  Loaded loaded(builder.Build());
  ASSERT_EQ(loaded.code, 0);
  const Module& m = *loaded.module;
  EXPECT_STREQ(m.name, "Song Name");
  EXPECT_EQ((std::vector<int>{m.rules, m.speed, m.tempo, m.sample_count}),
            (std::vector<int>{kRulesS3M, 4, 150, 1}));
  // Flags: pitch limits from header flag 16; fast slides from flag 64 or a
  // tracker version below 0x1320. The global volume is limited to 64: more
  // would ask the device for more than full volume.
  const struct {
    uint16_t flags;
    uint16_t version;
    uint8_t global_volume;
    uint32_t expected_flags;
    int expected_volume;
  } cases[] = {{16, 0x1320, 48, kModuleFlagAmigaLimits, 48},
               {64, 0x1320, 64, kModuleFlagFastSlides, 64},
               {0, 0x1300, 65, kModuleFlagFastSlides, 64},
               {0, 0x1320, 255, 0, 64},
               {80, 0x1320, 0, kModuleFlagFastSlides | kModuleFlagAmigaLimits, 0}};
  for (const auto& c : cases) {
    builder.flags = c.flags;
    builder.tracker_version = c.version;
    builder.global_volume = c.global_volume;
    Loaded flagged(builder.Build());
    ASSERT_EQ(flagged.code, 0);
    EXPECT_EQ(flagged.module->flags, c.expected_flags) << c.flags << " " << c.version;
    EXPECT_EQ(flagged.module->master_volume, c.expected_volume) << int(c.global_volume);
  }
}

TEST(S3mReaderHeader, OrdersDropTrailingEndsKeepMarkersAndNameEmptyPatterns) {
  S3mBuilder builder = OneInstrument();
  builder.orders = {0, 1, 254, 1, 255, 255};
  builder.pattern_count = 2;
  Loaded loaded(builder.Build());
  ASSERT_EQ(loaded.code, 0);
  ASSERT_EQ(loaded.module->song_length, 4);
  EXPECT_EQ(std::vector<int>(loaded.module->orders, loaded.module->orders + 4),
            (std::vector<int>{0, 1, kOrderSkip, 1}));
  EXPECT_EQ(loaded.module->pattern_count, 2);

  builder.orders = {0, 255, 1};  // an end marker inside the list stays
  Loaded inner(builder.Build());
  ASSERT_EQ(inner.code, 0);
  EXPECT_EQ(inner.module->orders[1], kOrderEndOfSong);

  // Patterns named only by orders, or not stored, are built empty.
  builder.orders = {0, 5};
  builder.pattern_count = 3;
  builder.zero_pattern_pointer[1] = true;
  Loaded named(builder.Build());
  ASSERT_EQ(named.code, 0);
  ASSERT_EQ(named.module->pattern_count, 6);
  for (int p = 1; p < 6; ++p) {
    const ModulePattern& pattern = *named.module->patterns[p];
    EXPECT_EQ(pattern.size_bytes, 72) << p;
    EXPECT_EQ(std::count(pattern.rows, pattern.rows + 64, 0), 64) << p;
  }
}

TEST(S3mReaderChannels, PanningFromSettingsAndPanTable) {
  // Channel 3's setting and pan byte; separation 64 unless given.
  const struct {
    uint8_t setting;
    bool pan_table;
    uint8_t pan_byte;
    int separation;
    int expected;
  } cases[] = {{3, false, 0, 64, 0},     {8, false, 0, 64, 128},   {255, false, 0, 64, 0},
               {3, false, 0, 32, 32},    {9, false, 0, 32, 96},    {0, true, 0x27, 64, 64},
               {0, true, 0x20, 64, 0},   {0, true, 0x2F, 64, 128}, {0, true, 0x29, 64, 80},
               {0, true, 0x28, 64, 64},  {0, true, 0x26, 64, 48},  {0, true, 0x07, 64, 0},
               {9, true, 0x07, 64, 128}, {255, true, 0x2F, 64, 64}};
  for (const auto& c : cases) {
    S3mBuilder builder = OneInstrument();
    builder.channel_settings[3] = c.setting;
    builder.pan_table = c.pan_table;
    builder.pan[3] = c.pan_byte;
    SetPanSeparation(c.separation);
    Loaded loaded(builder.Build());
    SetPanSeparation(64);
    ASSERT_EQ(loaded.code, 0);
    EXPECT_EQ(loaded.module->panning[3], c.expected)
        << "setting " << int(c.setting) << " pan byte " << int(c.pan_byte) << " S " << c.separation;
  }
}

TEST(S3mReaderChannels, ChannelCountIsTheSmallerOfEnabledAndUsed) {
  S3mBuilder builder = OneInstrument();
  for (int i = 0; i < 32; ++i) builder.channel_settings[i] = i < 8 ? static_cast<uint8_t>(i) : 255;
  builder.Entry(0, {.row = 1, .channel = 12, .volume = 10});
  Loaded loaded(builder.Build());
  ASSERT_EQ(loaded.code, 0);
  EXPECT_EQ(loaded.module->channel_count, 8);
  for (const auto& row : PatternRows(*loaded.module->patterns[0])) {
    for (uint8_t byte : row) EXPECT_NE(byte & 31, 12);  // the entry was dropped
  }

  S3mBuilder sparse = OneInstrument();  // data on channel 0 only of 4 enabled
  Loaded few(sparse.Build());
  ASSERT_EQ(few.code, 0);
  EXPECT_EQ(few.module->channel_count, 1);
}

TEST(S3mReaderPatterns, EntriesAreConvertedToInternalForm) {
  S3mBuilder builder;
  builder.samples.assign(2, ConstantSample(16));
  builder.Entry(0, {.row = 0, .channel = 1, .note = 0x40, .instrument = 2, .volume = 64});
  builder.Entry(0, {.row = 1, .note = 0x40, .instrument = 0});
  builder.Entry(0, {.row = 2, .note = 200, .instrument = 3});
  builder.Entry(0, {.row = 5, .volume = 20, .command = 'M', .info = 0x12});  // M dropped
  builder.Entry(0, {.row = 9, .raw_command = 26, .info = 1});                // Z and above: dropped
  builder.Entry(0, {.row = 8, .note = 254});
  Loaded loaded(builder.Build());
  ASSERT_EQ(loaded.code, 0);
  const ModulePattern& pattern = *loaded.module->patterns[0];
  const auto rows = PatternRows(pattern);
  ASSERT_EQ(rows.size(), 64u);
  EXPECT_EQ(rows[0], (std::vector<uint8_t>{32 | 64 | 1, 0x40, 1, 63}));
  EXPECT_EQ(rows[1], (std::vector<uint8_t>{32, 0x40, 255}));
  EXPECT_EQ(rows[2], (std::vector<uint8_t>{32, 255, 255}));
  EXPECT_EQ(rows[5], (std::vector<uint8_t>{64, 20}));
  EXPECT_TRUE(rows[9].empty());
  EXPECT_EQ(rows[8], (std::vector<uint8_t>{32, kNoteCut, 255}));
  size_t row_bytes = 0;
  for (const auto& row : rows) row_bytes += row.size() + 1;
  EXPECT_EQ(pattern.size_bytes, static_cast<int32_t>(8 + row_bytes));
  // Instrument 2 is used by a pattern, instrument 1 only through "3" (out of range): unused.
  EXPECT_EQ(loaded.module->instruments[0]->used, 0);
  EXPECT_EQ(loaded.module->instruments[1]->used, 1);
}

TEST(S3mReaderPatterns, CommandTableCoversEveryLetter) {
  // Letters A..Y on rows 1..25 (S on its row is skipped: its number comes
  // from the S table, tried with every high nibble on rows 30..45).
  const uint8_t letters[26] = {0, 15, 12, 14, 11, 3, 2, 4,  5, 0,  1,  7, 6,
                               0, 0,  10, 0,  29, 8, 0, 16, 0, 27, 30, 9, 0};
  const uint8_t s_table[16] = {0, 0, 0, 0, 0, 0, 0, 0, 20, 0, 0, 19, 24, 25, 26, 0};
  S3mBuilder builder = OneInstrument();
  std::vector<std::vector<uint8_t>> expected(64);
  for (int letter = 1; letter <= 25; ++letter) {
    if (letter == 19) continue;
    builder.Entry(0, {.row = letter, .raw_command = static_cast<uint8_t>(letter), .info = 0x42});
    if (letters[letter] != 0) expected[size_t(letter)] = {128, letters[letter], 0x42};
  }
  for (int nibble = 0; nibble < 16; ++nibble) {
    builder.Entry(0, {.row = 30 + nibble, .command = 'S', .info = nibble << 4 | 5});
    if (s_table[nibble] != 0) expected[size_t(30 + nibble)] = {128, s_table[nibble], 5};
  }
  expected[0] = {32, 0x40, 0};
  Loaded loaded(builder.Build());
  ASSERT_EQ(loaded.code, 0);
  EXPECT_EQ(PatternRows(*loaded.module->patterns[0]), expected);
}

TEST(S3mReaderSamples, LoopsLengthsAndUse) {
  S3mBuilder builder;
  BuilderSample looping = ConstantSample(10000);
  looping.flags = 1;
  looping.loop_start = 100;
  looping.loop_end = 8000;
  BuilderSample flat = looping;  // loop start = loop end: no loop
  flat.loop_start = flat.loop_end = 500;
  flat.volume = 40;
  flat.rate_hz = 22050;
  BuilderSample unused = ConstantSample(64);
  unused.paragraph_override = 0xFFFF;  // far beyond the file: must never be read
  BuilderSample adlib = ConstantSample(16);
  adlib.type = 2;  // its "length" is synthesiser data
  adlib.length = 0x00FFFFFF;
  builder.samples = {looping, flat, unused, ConstantSample(0), adlib};
  for (int i : {1, 2, 4, 5}) builder.Entry(0, {.row = i, .note = 0x40, .instrument = i});
  Loaded loaded(builder.Build());
  ASSERT_EQ(loaded.code, 0);
  const Module& m = *loaded.module;
  const ModuleSample& a = *m.samples[0];
  const ModuleSample& b = *m.samples[1];
  EXPECT_EQ((std::vector<int>{int(a.length), a.loop_mode, a.loop_flag, a.sample_type,
                              int(a.loop_start), int(a.loop_end)}),
            (std::vector<int>{8000, kLoopForward, 1, 1, 100, 8000}));
  EXPECT_EQ((std::vector<int>{int(b.length), b.loop_mode, b.volume, int(b.rate_hz)}),
            (std::vector<int>{10000, kLoopNone, 40, 22050}));
  EXPECT_EQ(m.instruments[2]->sample, nullptr);
  EXPECT_EQ(m.instruments[2]->sample_count, 0);
  EXPECT_EQ(m.samples[2], nullptr);
  for (int i : {3, 4}) {
    EXPECT_EQ(m.samples[i]->length, 0u) << i;
    EXPECT_EQ(m.samples[i]->sample_type, 0) << i;
    EXPECT_EQ(m.samples[i]->data, nullptr) << i;
  }
}

TEST(S3mReaderSamples, StoredFormatsBecomeSigned8BitWhereverTheyLie) {
  S3mBuilder builder = OneInstrument();
  builder.samples[0].bytes = {0x80, 0xFF, 0x00, 0x90};
  builder.samples[0].length = 4;
  builder.padding_before_samples = 0x110000;  // found through the pointer's high byte
  Loaded unsigned_data(builder.Build());
  ASSERT_EQ(unsigned_data.code, 0);
  const int8_t* data = unsigned_data.module->instruments[0]->sample->data;
  EXPECT_EQ(std::vector<int>(data, data + 4), (std::vector<int>{0, 127, -128, 16}));

  builder.sample_format = 1;  // signed: taken as stored
  Loaded signed_data(builder.Build());
  ASSERT_EQ(signed_data.code, 0);
  data = signed_data.module->instruments[0]->sample->data;
  EXPECT_EQ(std::vector<int>(data, data + 4), (std::vector<int>{-128, -1, 0, -112}));

  builder.samples[0].flags = 4;  // 16-bit signed: kept whole
  builder.samples[0].bytes = {0x34, 0x12, 0xFF, 0x80, 0x00, 0x7F};
  builder.samples[0].length = 3;
  Loaded wide(builder.Build());
  ASSERT_EQ(wide.code, 0);
  const int16_t* words = wide.module->instruments[0]->sample->data16;
  ASSERT_EQ(wide.module->instruments[0]->sample->length, 3u);
  EXPECT_EQ(wide.module->instruments[0]->sample->data, nullptr);
  EXPECT_EQ(std::vector<int>(words, words + 3), (std::vector<int>{0x1234, -0x7F01, 0x7F00}));
}

TEST(S3mReaderPatterns, EntriesPastTheByteCountAreNotRead) {
  S3mBuilder cut = OneInstrument();
  cut.raw_pattern[0] = {0, 0, 32 | 64 | 128 | 0, 0x40, 1};
  Loaded truncated(cut.Build());
  ASSERT_EQ(truncated.code, 0);
  EXPECT_EQ(truncated.module->patterns[0]->size_bytes, 72);
}

TEST(ModReader, SignaturesGiveTheirChannelCounts) {
  const struct {
    const char* tag;  // empty: no signature, 15 sample headers
    int channels;
  } cases[] = {{"M.K.", 4}, {"M!K!", 4}, {"FLT4", 4},  {"4CHN", 4},  {"6CHN", 6},
               {"CD81", 8}, {"OKTA", 8}, {"12CH", 12}, {"32CH", 32}, {"", 4}};
  for (const auto& c : cases) {
    ModBuilder builder;
    builder.signature = c.tag;
    builder.channels = c.channels;
    builder.cells = {{.row = 5, .channel = c.channels - 1, .period = 428, .sample = 1}};
    Loaded loaded(builder.Build());
    ASSERT_EQ(loaded.code, 0) << c.tag << ": " << loaded.reason;
    EXPECT_EQ(loaded.module->rules, kRulesPlain);
    EXPECT_EQ(loaded.module->channel_count, c.channels) << c.tag;
    EXPECT_EQ(loaded.module->instrument_count, *c.tag != 0 ? 31 : 15) << c.tag;
    EXPECT_STREQ(loaded.module->format, *c.tag != 0 ? c.tag : "15 samples");
    const auto rows = PatternRows(*loaded.module->patterns[0]);
    ASSERT_FALSE(rows[5].empty()) << c.tag;
    EXPECT_EQ(rows[5][0], 32 | (c.channels - 1)) << c.tag;  // the last channel's note
  }
}

TEST(ModReader, EightChannelStartrekkerPatternsArePairsOfHalves) {
  ModBuilder builder;
  builder.signature = "FLT8";
  builder.orders = {0, 2};  // stored as block numbers, two per pattern
  builder.pattern_blocks = 4;
  builder.cells = {{.pattern = 1, .row = 3, .channel = 2, .period = 428, .sample = 1},
                   {.pattern = 3, .row = 0, .effect = 0xC, .parameter = 9}};
  Loaded loaded(builder.Build());
  ASSERT_EQ(loaded.code, 0) << loaded.reason;
  EXPECT_EQ(loaded.module->channel_count, 8);
  EXPECT_EQ(loaded.module->pattern_count, 2);
  EXPECT_EQ(loaded.module->orders[1], 1);
  const auto second_half = PatternRows(*loaded.module->patterns[0])[3];
  const auto next_pair = PatternRows(*loaded.module->patterns[1])[0];
  ASSERT_TRUE(!second_half.empty() && !next_pair.empty());
  EXPECT_EQ(second_half[0], 32 | 6);  // the third channel of the second half
  EXPECT_EQ(next_pair[0], 128 | 4);
}

TEST(ModReader, SampleHeadersAndNotes) {
  ModBuilder builder;
  builder.samples = {{.finetune = 0},
                     {.finetune = 7, .volume = 70},
                     {.finetune = 8, .loop_start_bytes = 10, .loop_length_bytes = 20},
                     {.loop_start_bytes = 60, .loop_length_bytes = 40}};
  const int periods[] = {428, 856, 113, 1712, 0};
  const uint8_t notes[] = {0x40, 0x30, 0x5B, 0x20, kNoteNone};
  for (int i = 0; i < 5; ++i)
    builder.cells.push_back({.row = i, .period = periods[i], .sample = 1});
  Loaded loaded(builder.Build());
  ASSERT_EQ(loaded.code, 0) << loaded.reason;
  const Module& m = *loaded.module;
  // Finetunes 0, 7 and 8 (-8) in eighths of a semitone; a volume of 70 is
  // taken as 64.
  EXPECT_EQ(m.samples[0]->rate_hz, 8363u);
  EXPECT_NEAR(m.samples[1]->rate_hz, 8363 * std::exp2(7 / 96.0), 1);
  EXPECT_NEAR(m.samples[2]->rate_hz, 8363 * std::exp2(-8 / 96.0), 1);
  EXPECT_EQ(m.samples[1]->volume, 64);
  // Loops: one word is none; nothing after the loop is heard; a loop past
  // the end is cut there.
  const ModuleSample& none = *m.samples[0];
  const ModuleSample& loop = *m.samples[2];
  const ModuleSample& past = *m.samples[3];
  EXPECT_EQ(
      std::vector<int>({none.loop_mode, loop.loop_mode, int(loop.loop_start), int(loop.loop_end),
                        int(loop.length), int(past.loop_end), past.data[0]}),
      std::vector<int>({kLoopNone, kLoopForward, 10, 30, 30, 64, 40}));
  const auto rows = PatternRows(*m.patterns[0]);
  for (size_t i = 0; i < 5; ++i) {
    ASSERT_GE(rows[i].size(), 3u) << i;
    EXPECT_EQ(rows[i][1], notes[i]) << "period " << periods[i];
    EXPECT_EQ(rows[i][2], 0) << i;  // sample 1
  }
}

// clang-format off
const std::vector<uint8_t> kTinyPattern = {
    49, 1, 0x50, 0x0F, 0x20,                    // C-4, instrument 1, volume 64, F20 (tempo 32)
    0x80 | 1 | 4 | 8 | 16, 97, 0x30, 16, 0x30,  // key off, volume 32, G30
    0x80, 0x80 | 1, 61,                         // row 1: nothing, then C-5 alone
    0x80, 0x80, 0x80, 0x80};                    // rows 2 and 3 empty
// clang-format on

// A two-channel song of one 4-row pattern (orders 0, 1: pattern 1 is not
// stored) and one instrument with two samples: an 8-bit one for the low
// notes and a 16-bit ping-pong one an octave up for the notes from C-5.
std::vector<uint8_t> TinyXm(uint16_t version = 0x0104,
                            const std::vector<uint8_t>& packed = kTinyPattern) {
  std::vector<uint8_t> out(17 + 20 + 1 + 20, 0);
  auto put = [&out](uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
  };
  std::memcpy(out.data(), "Extended Module: tiny", 21);
  out[37] = 0x1A;
  put(version, 2);
  put(20 + 256, 4);  // header size from here
  // Song length, restart, channels, stored patterns, instruments, linear
  // frequencies, speed, tempo.
  for (uint32_t field : {2, 0, 2, 1, 1, 1, 5, 140}) put(field, 2);
  std::vector<uint8_t> orders(256, 0);
  orders[1] = 1;
  out.insert(out.end(), orders.begin(), orders.end());
  put(9, 4);  // pattern header: size, packing, rows, packed size
  put(0, 1);
  put(4, 2);
  put(static_cast<uint32_t>(packed.size()), 2);
  out.insert(out.end(), packed.begin(), packed.end());
  const size_t instrument_at = out.size();  // 263 bytes with two samples
  put(263, 4);
  out.resize(out.size() + 23, 0);  // name, type
  put(2, 2);
  put(40, 4);
  for (size_t n = 0; n < 96; ++n) out.push_back(n >= 60 ? 1 : 0);  // note map
  std::vector<uint8_t> envelopes(96, 0);
  envelopes[4] = 10;  // volume point 1: tick 10 ...
  envelopes[6] = 32;  // ... value 32
  out.insert(out.end(), envelopes.begin(), envelopes.end());
  out.insert(out.end(), {2, 1, 1, 0, 1, 0, 0, 0, 1 | 2, 0, 0, 0, 0, 0});  // points, flags
  put(0x400, 2);                                                          // fade-out
  out.resize(instrument_at + 263, 0);
  // Sample headers: 8 bytes 8-bit, no loop; 4 frames 16-bit ping-pong 1..3.
  for (uint32_t field : {8, 0, 0}) put(field, 4);
  out.insert(out.end(), {48, 0, 0, 128, 0, 0});
  out.resize(out.size() + 22, 0);
  for (uint32_t field : {8, 2, 4}) put(field, 4);
  out.insert(out.end(), {64, 0, 2 | 16, 128, 12, 0});
  out.resize(out.size() + 22, 0);
  out.insert(out.end(), {10, 10, 246, 0, 1, 2, 3, 4});  // deltas: 10 20 10 10 11 13 16 20
  for (int16_t delta : {1000, -2000, 500, 500}) put(static_cast<uint16_t>(delta), 2);
  return out;
}

TEST(XmReader, HeaderPatternsInstrumentsAndSamples) {
  Loaded loaded(TinyXm());
  ASSERT_EQ(loaded.code, 0) << loaded.reason;
  const Module& m = *loaded.module;
  // Rules, frequencies, channels, speed, tempo, orders, patterns (the
  // unstored one is an empty one of 64 rows), samples.
  EXPECT_EQ(std::vector<int>({m.rules, m.frequency_model, m.channel_count, m.speed, m.tempo,
                              m.song_length, m.pattern_count, m.patterns[0]->row_count,
                              m.patterns[1]->row_count, m.sample_count}),
            std::vector<int>({kRulesExtended, kFrequencyLinear, 2, 5, 140, 2, 2, 4, 64, 2}));
  EXPECT_EQ(std::vector<uint8_t>(m.patterns[0]->rows, m.patterns[0]->rows + 17),
            (std::vector<uint8_t>{0xE0, 0x40, 0, 64, kCommandSetTempo, 0x20,  // C-4 ...
                                  0xE1, kNoteKeyOff, kInstrumentNone, 32,     // key off
                                  kCommandGlobalVolume, 0x30, 0,              // G30
                                  0x21, 0x50, kInstrumentNone, 0}));          // C-5
  // The instrument: samples, note map, fade-out (of 65536), volume envelope,
  // panning envelope (around 0).
  const ModuleInstrument& lead = *m.instruments[0];
  const ModuleEnvelope& envelope = lead.volume_envelope;
  EXPECT_EQ(std::vector<int>({lead.sample_count, lead.note_samples[59], lead.note_samples[60],
                              lead.fadeout, envelope.point_count, envelope.flags, envelope.ticks[1],
                              envelope.values[1], lead.panning_envelope.values[0]}),
            std::vector<int>({2, 0, 1, 0x800, 2, kEnvelopeOn | kEnvelopeSustain, 10, 32, -32}));
  const ModuleSample& low = *m.samples[0];
  const ModuleSample& high = *m.samples[1];
  ASSERT_TRUE(low.data != nullptr && high.data == nullptr && high.data16 != nullptr);
  EXPECT_EQ(std::vector<int>(low.data, low.data + 8),
            (std::vector<int>{10, 20, 10, 10, 11, 13, 16, 20}));
  EXPECT_EQ(std::vector<int>(high.data16, high.data16 + 4),
            (std::vector<int>{1000, -1000, -500, 0}));
  // Rate, volume, length and loop of each (the high one an octave up).
  EXPECT_EQ(std::vector<int>({int(low.rate_hz), low.volume, int(high.rate_hz), int(high.length),
                              high.loop_mode, int(high.loop_start), int(high.loop_end)}),
            std::vector<int>({8363, 48, 16726, 3, kLoopPingPong, 1, 3}));
}

TEST(ModuleReaders, NoModuleDamagedOrCutFilesAreRefusedWithAReason) {
  ModBuilder song;
  song.samples.push_back({.length_bytes = 300});
  song.cells = {
      {.row = 1, .channel = 3, .period = 214, .sample = 2, .effect = 0xA, .parameter = 4}};
  const std::vector<uint8_t> good = song.Build();
  ModBuilder no_orders, unknown_tag, too_many_channels;
  no_orders.orders.clear();
  unknown_tag.signature = "ABCD";
  too_many_channels.signature = "64CH";
  std::vector<uint8_t> xm_channels = TinyXm(), xm_samples = TinyXm();
  xm_channels[68] = 33;
  xm_samples[60 + 20 + 256 + 9 + 19 + 27] = 17;  // the instrument's sample count
  S3mBuilder huge = OneInstrument(), long_sample = OneInstrument(), no_samples = OneInstrument();
  huge.samples[0].length = 0x7FFFFFF0;
  huge.samples[0].bytes.clear();
  long_sample.samples[0].length = 1000;  // more than the file holds
  no_samples.samples.clear();
  no_samples.entries_by_pattern[0].clear();
  S3mBuilder only_ends = OneInstrument(), only_skips = OneInstrument();
  only_ends.orders = {255, 255};
  only_skips.orders = {254};  // no pattern at all: nothing to allocate
  std::vector<uint8_t> no_signature = OneInstrument().Build();
  no_signature[47] = 'X';
  std::vector<uint8_t> far_pattern = OneInstrument().Build();
  far_pattern[96 + 1 + 2] = far_pattern[96 + 1 + 3] = 0xFF;  // the pattern's pointer
  const std::vector<uint8_t> it = ItBuilder().Build();
  const size_t it_sample = 0xC0 + 2 + 8;  // after the orders and the two offsets
  auto it_with = [&it](size_t at, uint8_t value, size_t size) {
    std::vector<uint8_t> bytes(it.begin(), it.begin() + long(size));
    if (at < size) bytes[at] = value;
    return bytes;
  };
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
    int code;
    const char* reason;
  } cases[] = {
      // clang-format off
      {"empty", {}, kMusicInvalidModule, "not a module"},
      {"text", std::vector<uint8_t>(3000, 'a'), kMusicInvalidModule, "not a module"},
      {"unknown tag", unknown_tag.Build(), kMusicInvalidModule, "not a module"},
      {"64 channels", too_many_channels.Build(), kMusicInvalidModule, "not a module"},
      {"no orders", no_orders.Build(), kMusicInvalidModule, "song length"},
      {"cut in the patterns", {good.begin(), good.begin() + 1584}, kMusicUnexpectedEndOfFile, "ends inside its patterns"},
      {"cut in the samples", {good.begin(), good.end() - 1}, kMusicUnexpectedEndOfFile, "ends inside its sample data"},
      {"extended, version 1.03", TinyXm(0x0103), kMusicInvalidModule, "version 1.04"},
      {"extended, 33 channels", xm_channels, kMusicInvalidModule, ""},
      {"extended, 17 samples", xm_samples, kMusicInvalidInstrument, ""},
      {"S3M, no SCRM", no_signature, kMusicInvalidModule, "not a module"},
      {"S3M, only end markers", only_ends.Build(), kMusicInvalidModule, ""},
      {"S3M, only skip markers", only_skips.Build(), kMusicInvalidMemoryBlock, ""},
      {"S3M, a huge sample", huge.Build(), kMusicInvalidInstrument, ""},
      {"S3M, a sample past the end", long_sample.Build(), kMusicUnexpectedEndOfFile, ""},
      {"S3M, no instruments", no_samples.Build(), kMusicInvalidMemoryBlock, ""},
      {"S3M, a pattern past the end", far_pattern, kMusicFileSeekFailed, ""},
      {"impulse, cut inside the header", it_with(0, 'I', 100), kMusicUnexpectedEndOfFile, "header"},
      {"impulse, cut inside the sample data", it_with(0, 'I', it.size() - 1), kMusicUnexpectedEndOfFile, "sample data"},
      {"impulse, no orders", it_with(0x20, 0, it.size()), kMusicInvalidModule, "order"},
      {"impulse, only an end marker", it_with(0xC0, 255, it.size()), kMusicInvalidModule, "no pattern"},
      {"impulse, a broken sample mark", it_with(it_sample, 'X', it.size()), kMusicInvalidInstrument, "IMPS"},
      {"impulse, sample data past the end", it_with(it_sample + 0x4B, 0x40, it.size()), kMusicUnexpectedEndOfFile, "sample"},
      {"impulse, a pattern past the end", it_with(0xC6 + 3, 0x40, it.size()), kMusicUnexpectedEndOfFile, "pattern"},
      {"impulse, a pattern of 0 rows", it_with(it_sample + 82, 0, it.size()), kMusicInvalidPatternData, "rows"},
      // clang-format on
  };
  for (const auto& c : cases) {
    Loaded loaded(c.bytes);
    EXPECT_EQ(loaded.code, c.code) << c.what;
    EXPECT_EQ(loaded.module, nullptr) << c.what;
    EXPECT_NE(loaded.reason.find(c.reason), std::string::npos) << c.what << ": " << loaded.reason;
  }
  EXPECT_EQ(Loaded(good).code, 0);
  EXPECT_EQ(Loaded(it).code, 0);
}

}  // namespace
