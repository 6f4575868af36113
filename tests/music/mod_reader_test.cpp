// The plain-module reader: the signatures and their channel counts, 15-sample
// modules, sample headers (finetune, loops, volume), periods into notes, and
// the refusal of files that are no module or are cut or damaged.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "music/mod_builder.h"
#include "music/mod_reader.h"
#include "music/module_loader.h"
#include "music/module_records.h"
#include "music/music_errors.h"

namespace {

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
    const char* tag;
    int stored_channels;
    int channels;
  } cases[] = {
      {"M.K.", 4, 4}, {"M!K!", 4, 4}, {"FLT4", 4, 4}, {"4CHN", 4, 4},   {"6CHN", 6, 6},
      {"8CHN", 8, 8}, {"CD81", 8, 8}, {"OKTA", 8, 8}, {"12CH", 12, 12}, {"32CH", 32, 32},
  };
  for (const auto& c : cases) {
    ModBuilder builder;
    builder.signature = c.tag;
    builder.channels = c.stored_channels;
    builder.Cell({.row = 5, .channel = c.channels - 1, .period = 428, .sample = 1});
    Loaded loaded(builder.Build());
    ASSERT_EQ(loaded.code, 0) << c.tag << ": " << loaded.reason;
    EXPECT_EQ(loaded.module->rules, kRulesPlain);
    EXPECT_EQ(loaded.module->channel_count, c.channels) << c.tag;
    EXPECT_STREQ(loaded.module->format, c.tag);
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
  builder.Cell({.pattern = 1, .row = 3, .channel = 2, .period = 428, .sample = 1});
  builder.Cell({.pattern = 3, .row = 0, .channel = 0, .effect = 0xC, .parameter = 9});
  Loaded loaded(builder.Build());
  ASSERT_EQ(loaded.code, 0) << loaded.reason;
  EXPECT_EQ(loaded.module->channel_count, 8);
  EXPECT_EQ(loaded.module->pattern_count, 2);
  EXPECT_EQ(loaded.module->orders[1], 1);
  ASSERT_NE(RowEntry(*loaded.module, 0, 3), nullptr);
  EXPECT_EQ(RowEntry(*loaded.module, 0, 3)[0], 32 | 6);  // second half, third channel
  ASSERT_NE(RowEntry(*loaded.module, 1, 0), nullptr);
  EXPECT_EQ(RowEntry(*loaded.module, 1, 0)[0], 128 | 4);
}

TEST(ModReader, FifteenSampleModulesWithoutASignature) {
  ModBuilder builder;
  builder.signature.clear();
  builder.Cell({.row = 0, .channel = 0, .period = 428, .sample = 1});
  Loaded loaded(builder.Build());
  ASSERT_EQ(loaded.code, 0) << loaded.reason;
  EXPECT_EQ(loaded.module->instrument_count, 15);
  EXPECT_EQ(loaded.module->channel_count, 4);
  EXPECT_STREQ(loaded.module->format, "15 samples");
  EXPECT_EQ(loaded.module->samples[0]->length, 64u);
}

TEST(ModReader, SampleHeadersAndNotes) {
  ModBuilder builder;
  builder.samples = {
      {.length_bytes = 64, .finetune = 0},
      {.length_bytes = 64, .finetune = 7, .volume = 70},
      {.length_bytes = 64, .finetune = 8, .loop_start_bytes = 10, .loop_length_bytes = 20},
      {.length_bytes = 64, .loop_start_bytes = 60, .loop_length_bytes = 40}};
  const int periods[] = {428, 856, 113, 1712, 0};
  for (int i = 0; i < 5; ++i)
    builder.Cell({.row = i, .channel = 0, .period = periods[i], .sample = 1});
  Loaded loaded(builder.Build());
  ASSERT_EQ(loaded.code, 0) << loaded.reason;
  const Module& m = *loaded.module;
  EXPECT_EQ(m.samples[0]->rate_hz, 8363u);
  EXPECT_NEAR(m.samples[1]->rate_hz, 8363 * std::exp2(7 / 96.0), 1);
  EXPECT_EQ(m.samples[1]->volume, 64);  // a volume above 64 is taken as 64
  EXPECT_NEAR(m.samples[2]->rate_hz, 8363 * std::exp2(-8 / 96.0), 1);
  EXPECT_EQ(m.samples[2]->loop_mode, kLoopForward);
  EXPECT_EQ(m.samples[2]->loop_start, 10u);
  EXPECT_EQ(m.samples[2]->loop_end, 30u);
  EXPECT_EQ(m.samples[2]->length, 30u);           // nothing after the loop is heard
  EXPECT_EQ(m.samples[0]->loop_mode, kLoopNone);  // a loop of one word is none
  EXPECT_EQ(m.samples[3]->loop_end, 64u);         // a loop past the end is cut there
  EXPECT_EQ(m.samples[3]->data[0], 40);
  std::vector<uint8_t> cut = builder.Build();
  cut.pop_back();
  EXPECT_EQ(Loaded(cut).code, kMusicUnexpectedEndOfFile);
  const uint8_t notes[] = {0x40, 0x30, 0x5B, 0x20, kNoteNone};
  for (int i = 0; i < 5; ++i) {
    const uint8_t* entry = RowEntry(m, 0, i);
    ASSERT_NE(entry, nullptr) << i;
    EXPECT_EQ(entry[1], notes[i]) << "period " << periods[i];
    EXPECT_EQ(entry[2], 0) << i;  // sample 1
  }
}

TEST(ModReader, NoModuleDamagedOrCutFilesAreRefusedWithAReason) {
  const std::vector<uint8_t> good = ModBuilder().Build();
  ModBuilder no_song;
  no_song.orders.clear();
  ModBuilder unknown_tag;
  unknown_tag.signature = "ABCD";
  ModBuilder sixty_four_channels;
  sixty_four_channels.signature = "64CH";
  std::vector<uint8_t> cut_patterns = good;
  cut_patterns.resize(1084 + 500);
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
    int code;
    const char* reason;
  } cases[] = {
      {"empty", {}, kMusicInvalidModule, "not a module"},
      {"text", std::vector<uint8_t>(3000, 'a'), kMusicInvalidModule, "not a module"},
      {"unknown tag", unknown_tag.Build(), kMusicInvalidModule, "not a module"},
      {"64 channels", sixty_four_channels.Build(), kMusicInvalidModule, "not a module"},
      {"no orders", no_song.Build(), kMusicInvalidModule, "song length"},
      {"cut in the patterns", cut_patterns, kMusicUnexpectedEndOfFile, "ends inside its patterns"},
  };
  for (const auto& c : cases) {
    Loaded loaded(c.bytes);
    EXPECT_EQ(loaded.code, c.code) << c.what;
    EXPECT_EQ(loaded.module, nullptr) << c.what;
    EXPECT_NE(loaded.reason.find(c.reason), std::string::npos) << c.what << ": " << loaded.reason;
  }
}

TEST(ModReader, EveryPrefixIsRefused) {
  ModBuilder builder;
  builder.samples.push_back({.length_bytes = 300});
  builder.Cell({.row = 1, .channel = 3, .period = 214, .sample = 2, .effect = 0xA, .parameter = 4});
  const std::vector<uint8_t> bytes = builder.Build();
  for (size_t size = 0; size < bytes.size(); ++size) {
    const std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + static_cast<long>(size));
    Loaded loaded(prefix);
    EXPECT_NE(loaded.code, 0) << size;
    EXPECT_FALSE(loaded.reason.empty()) << size;
  }
  EXPECT_EQ(Loaded(bytes).code, 0);
}

}  // namespace
