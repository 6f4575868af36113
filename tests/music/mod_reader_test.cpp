// The plain-module reader: the signatures and their channel counts, 15-sample
// modules, sample headers (finetune, loops, volume), periods into notes, and
// the refusal of files that are no module or are cut or damaged.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "music/mod_builder.h"
#include "music/music_errors.h"

namespace {

// The first entry of row `row` of pattern `pattern`, or null for an empty row.
const uint8_t* RowEntry(const Module& module, int pattern, int row) {
  const uint8_t* at = module.patterns[pattern]->rows;
  for (int skipped = 0; skipped < row; ++skipped) {
    while (*at != 0) at += 1 + ((*at & 32) ? 2 : 0) + ((*at & 64) ? 1 : 0) + ((*at & 128) ? 2 : 0);
    ++at;
  }
  return *at != 0 ? at : nullptr;
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
    const uint8_t* entry = RowEntry(*loaded.module, 0, 5);
    ASSERT_NE(entry, nullptr) << c.tag;
    EXPECT_EQ(entry[0], 32 | (c.channels - 1)) << c.tag;  // the last channel's note
  }
}

TEST(ModReader, EightChannelStartrekkerPatternsArePairsOfHalves) {
  ModBuilder builder;
  builder.signature = "FLT8";
  builder.orders = {0, 2};  // stored as block numbers, two per pattern
  builder.pattern_blocks = 4;
  builder.cells = {{.pattern = 1, .row = 3, .channel = 2, .period = 428, .sample = 1},
                   {.pattern = 3, .row = 0, .channel = 0, .effect = 0xC, .parameter = 9}};
  Loaded loaded(builder.Build());
  ASSERT_EQ(loaded.code, 0) << loaded.reason;
  EXPECT_EQ(loaded.module->channel_count, 8);
  EXPECT_EQ(loaded.module->pattern_count, 2);
  EXPECT_EQ(loaded.module->orders[1], 1);
  const uint8_t* second_half = RowEntry(*loaded.module, 0, 3);
  const uint8_t* next_pair = RowEntry(*loaded.module, 1, 0);
  ASSERT_TRUE(second_half != nullptr && next_pair != nullptr);
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
  for (int i = 0; i < 5; ++i) {
    const uint8_t* entry = RowEntry(m, 0, i);
    ASSERT_NE(entry, nullptr) << i;
    EXPECT_EQ(entry[1], notes[i]) << "period " << periods[i];
    EXPECT_EQ(entry[2], 0) << i;  // sample 1
  }
}

TEST(ModReader, NoModuleDamagedOrCutFilesAreRefusedWithAReason) {
  ModBuilder song;
  song.samples.push_back({.length_bytes = 300});
  song.cells = {
      {.row = 1, .channel = 3, .period = 214, .sample = 2, .effect = 0xA, .parameter = 4}};
  const std::vector<uint8_t> good = song.Build();
  ModBuilder no_orders, unknown_tag, too_many_channels;
  no_orders.orders.clear();
  unknown_tag.signature = "ABCD";
  too_many_channels.signature = "64CH";
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
    int code;
    const char* reason;
  } cases[] = {
      {"empty", {}, kMusicInvalidModule, "not a module"},
      {"text", std::vector<uint8_t>(3000, 'a'), kMusicInvalidModule, "not a module"},
      {"unknown tag", unknown_tag.Build(), kMusicInvalidModule, "not a module"},
      {"64 channels", too_many_channels.Build(), kMusicInvalidModule, "not a module"},
      {"no orders", no_orders.Build(), kMusicInvalidModule, "song length"},
      {"cut in the patterns",
       {good.begin(), good.begin() + 1584},
       kMusicUnexpectedEndOfFile,
       "ends inside its patterns"},
      {"cut in the samples",
       {good.begin(), good.end() - 1},
       kMusicUnexpectedEndOfFile,
       "ends inside its sample data"},
  };
  for (const auto& c : cases) {
    Loaded loaded(c.bytes);
    EXPECT_EQ(loaded.code, c.code) << c.what;
    EXPECT_EQ(loaded.module, nullptr) << c.what;
    EXPECT_NE(loaded.reason.find(c.reason), std::string::npos) << c.what << ": " << loaded.reason;
  }
  for (size_t size = 0; size < good.size(); ++size) {
    Loaded loaded({good.begin(), good.begin() + static_cast<long>(size)});
    EXPECT_NE(loaded.code, 0) << size;
    EXPECT_FALSE(loaded.reason.empty()) << size;
  }
  EXPECT_EQ(Loaded(good).code, 0);
}

}  // namespace
