// The S3M reader: header and orders, channels and panning, pattern
// conversion, instruments and samples, and malformed files.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "music/mod_builder.h"
#include "music/module.h"
#include "music/music_errors.h"
#include "music/player.h"
#include "music/s3m_builder.h"
#include "music/s3m_reader.h"

namespace {

S3mBuilder OneInstrument() {
  S3mBuilder builder;
  builder.samples.push_back(ConstantSample(16));
  builder.Entry(0, {.row = 0, .channel = 0, .note = 0x40, .instrument = 1});
  return builder;
}

TEST(S3mReaderHeader, SignatureFieldsAndFlags) {
  std::vector<uint8_t> bytes = OneInstrument().Build();
  bytes[47] = 'X';
  Module* module = reinterpret_cast<Module*>(0x1);
  EXPECT_EQ(LoadS3MFromMemory(bytes.data(), bytes.size(), &module), kMusicInvalidModule);
  EXPECT_EQ(module, reinterpret_cast<Module*>(0x1));  // nothing built

  S3mBuilder builder = OneInstrument();
  builder.name = "Song Name";
  builder.speed = 4;
  builder.tempo = 150;
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
    const Module& m = *flagged.module;
    EXPECT_STREQ(m.name, "Song Name");
    EXPECT_EQ((std::vector<int>{m.rules, m.speed, m.tempo, m.sample_count}),
              (std::vector<int>{kRulesS3M, 4, 150, 1}));
  }
}

TEST(S3mReaderHeader, OrdersDropTrailingEndsAndKeepMarkers) {
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

  builder.orders = {255, 255};
  EXPECT_EQ(Loaded(builder.Build()).code, kMusicInvalidModule);
  builder.orders = {254};  // no pattern at all: nothing to allocate
  EXPECT_EQ(Loaded(builder.Build()).code, kMusicInvalidMemoryBlock);
}

TEST(S3mReaderHeader, PatternsNamedOnlyByOrdersAreBuiltEmpty) {
  S3mBuilder builder = OneInstrument();
  builder.orders = {0, 5};
  builder.pattern_count = 3;
  builder.zero_pattern_pointer[1] = true;
  Loaded loaded(builder.Build());
  ASSERT_EQ(loaded.code, 0);
  ASSERT_EQ(loaded.module->pattern_count, 6);
  for (int p = 1; p < 6; ++p) {
    const ModulePattern& pattern = *loaded.module->patterns[p];
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
  builder.Entry(0, {.row = 1, .channel = 0, .note = 0x40, .instrument = 0});
  builder.Entry(0, {.row = 2, .channel = 0, .note = 200, .instrument = 3});
  builder.Entry(0,
                {.row = 5, .channel = 0, .volume = 20, .command = 'M', .info = 0x12});  // M dropped
  builder.Entry(0, {.row = 9, .channel = 0, .raw_command = 26, .info = 1});  // Z and above: dropped
  builder.Entry(0, {.row = 8, .channel = 0, .note = 254});
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
  for (int i : {1, 2, 4, 5})
    builder.Entry(0, {.row = i, .channel = 0, .note = 0x40, .instrument = i});
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

TEST(S3mReaderSamples, StoredFormatsBecomeSigned8Bit) {
  S3mBuilder builder = OneInstrument();
  builder.samples[0].bytes = {0x80, 0xFF, 0x00, 0x90};
  builder.samples[0].length = 4;
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

TEST(S3mReaderSamples, SamplesBeyondOneMebibyteUseThePointersHighByte) {
  S3mBuilder builder = OneInstrument();
  builder.samples[0].bytes = {0xC0, 0xC0, 0xC0, 0xC0};
  builder.samples[0].length = 4;
  builder.padding_before_samples = 0x110000;
  Loaded loaded(builder.Build());
  ASSERT_EQ(loaded.code, 0);
  EXPECT_EQ(loaded.module->instruments[0]->sample->data[0], 0x40);
}

TEST(S3mReaderMalformed, BadCountsAndPointersGiveCodes) {
  S3mBuilder huge = OneInstrument();
  huge.samples[0].length = 0x7FFFFFF0;
  huge.samples[0].bytes.clear();
  EXPECT_EQ(Loaded(huge.Build()).code, kMusicInvalidInstrument);

  S3mBuilder long_sample = OneInstrument();
  long_sample.samples[0].length = 1000;  // more than the file holds
  EXPECT_EQ(Loaded(long_sample.Build()).code, kMusicUnexpectedEndOfFile);

  S3mBuilder no_instruments = OneInstrument();
  no_instruments.samples.clear();
  no_instruments.entries_by_pattern[0].clear();
  EXPECT_EQ(Loaded(no_instruments.Build()).code, kMusicInvalidMemoryBlock);

  std::vector<uint8_t> bytes = OneInstrument().Build();
  const size_t pattern_pointer = 96 + 1 + 2;
  bytes[pattern_pointer] = 0xFF;
  bytes[pattern_pointer + 1] = 0xFF;
  EXPECT_EQ(Loaded(bytes).code, kMusicFileSeekFailed);

  // A packed pattern whose entries run past its byte count ends there.
  S3mBuilder cut = OneInstrument();
  cut.raw_pattern[0] = {0, 0, 32 | 64 | 128 | 0, 0x40, 1};
  Loaded truncated(cut.Build());
  ASSERT_EQ(truncated.code, 0);
  EXPECT_EQ(truncated.module->patterns[0]->size_bytes, 72);

  Module* module = nullptr;
  EXPECT_EQ(LoadS3M("/nonexistent/music.s3m", &module), kMusicFileOpenFailed);
  EXPECT_EQ(module, nullptr);
}

}  // namespace
