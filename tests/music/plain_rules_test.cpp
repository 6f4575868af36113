// The plain-module (Protracker) rules in the player, tick by tick: effect
// memory only where Protracker keeps it, its volume slide, fine slides and
// volumes up to 64, the sample offset beyond the end, retriggers, tremolo,
// and the traversal commands (per-channel pattern loop, break, delay).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "music/mod_builder.h"

namespace {

using Values = std::vector<int>;

// Row 0: C-4 of sample 1 (volume 32) with the effect; row 1 the second
// effect and the note period2, if any (speed 4).
ModBuilder TwoRows(int effect, int parameter, int effect2 = 0, int parameter2 = 0,
                   int period2 = 0) {
  ModBuilder builder;
  builder.samples[0].volume = 32;
  builder.samples[0].length_bytes = 4000;
  builder.cells = {{.row = 0, .period = 428, .sample = 1, .effect = effect, .parameter = parameter},
                   {.row = 1, .period = period2, .effect = effect2, .parameter = parameter2},
                   {.row = 0, .channel = 1, .effect = 0xF, .parameter = 4}};
  return builder;
}

TEST(PlainRules, VolumePitchTremoloAndWaveformsPerTick) {
  const struct {
    const char* what;
    int effect, parameter, effect2, parameter2;
    Read read;
    Values expected;  // after row 0's 4 ticks and row 1's (C-4's period is 4 x 428)
    int period2 = 0;
  } cases[] = {
      // clang-format off
      {"A04 slides down on later ticks", 0xA, 0x04, 0, 0, kVolume, {32, 28, 24, 20, 20, 20}},
      {"A34: the up nibble wins", 0xA, 0x34, 0, 0, kVolume, {32, 35, 38, 41, 41, 41}},
      {"A00 has no memory", 0xA, 0x04, 0xA, 0x00, kVolume, {32, 28, 24, 20, 20, 20}},
      {"volume reaches 64", 0xA, 0xF0, 0, 0, kVolume, {32, 47, 62, 64, 64, 64}},
      {"C70 is 64", 0xC, 0x70, 0, 0, kVolume, {64, 64, 64, 64, 64, 64}},
      {"EA5 and EB3 on the row's tick", 0xE, 0xA5, 0xE, 0xB3, kVolume, {37, 37, 37, 37, 34, 34}},
      {"EC2 cuts on tick 2", 0xE, 0xC2, 0, 0, kVolume, {32, 32, 0, 0, 0, 0}},
      {"6xy slides without a row step", 0x6, 0x02, 0, 0, kVolume, {32, 30, 28, 26, 26, 26}},
      {"101 slides up 4 per later tick", 0x1, 0x01, 0, 0, kPeriod, {1712, 1708, 1704, 1700, 1700}},
      {"100 has no memory", 0x1, 0x02, 0x1, 0x00, kPeriod, {1712, 1704, 1696, 1688, 1688, 1688}},
      {"1F0 is a fast slide, not a fine one", 0x1, 0xF0, 0, 0, kPeriod, {1712, 752, 452, 452, 452}},
      {"2xx stops at the lowest note", 0x2, 0xFF, 0, 0, kPeriod, {1712, 2732, 3424, 3424, 3424}},
      {"E12 and E23 on the row's tick", 0xE, 0x12, 0xE, 0x23, kPeriod, {1704, 1704, 1704, 1704, 1716}},
      // Depth 8, speed 4 over the sine: 32 + wave x 8 / 64 (wave 0, 97,
      // 180), and 32 again on the next row without tremolo.
      {"E92 restarts on tick 2, not 1 or 3", 0xE, 0x92, 0, 0, kRestarted, {1, 0, 1, 0}},
      {"7xy moves only what is heard", 0x7, 0x48, 0, 0, kOutputVolume, {32, 32, 44, 54, 32}},
      {"... never the volume", 0x7, 0x48, 0, 0, kVolume, {32, 32, 32, 32, 32}},
      // Depth 8 of a square: 32 + 255 x 8 / 64 on every tick of its first half.
      {"E72 makes the tremolo square", 0xE, 0x72, 0x7, 0x48, kOutputVolume, {32, 32, 32, 32, 32, 63, 63, 63}},
      // Speed 4, depth 8 down the ramp: 1712 + (255 - 8 x position) x 8 / 32.
      {"E41 makes the vibrato a ramp", 0xE, 0x41, 0x4, 0x48, kOutputPeriod, {1712, 1712, 1712, 1712, 1712, 1775, 1767, 1759}},
      // Sliding 32 a tick from C-4 (1712, heard until 1664) to C#4 (1616).
      {"E31 makes the tone portamento glide in semitones", 0xE, 0x31, 0x3, 0x08, kOutputPeriod, {1712, 1712, 1712, 1712, 1712, 1712, 1616, 1616}, 381},
      // clang-format on
  };
  for (const auto& c : cases) {
    Playing playing(TwoRows(c.effect, c.parameter, c.effect2, c.parameter2, c.period2).Build(),
                    c.read == kRestarted ? 44100 : 0);
    EXPECT_EQ(playing.RowAndTicks(static_cast<int>(c.expected.size()), c.read), c.expected)
        << c.what;
  }
  // E58 plays its note as a sample of finetune -8 (stored 8) plays it.
  ModBuilder tuned = TwoRows(0, 0);
  tuned.samples[0].finetune = 8;
  Playing with_command(TwoRows(0xE, 0x58).Build()), with_sample(tuned.Build());
  const Values period = with_sample.RowAndTicks(1, kPeriod);
  EXPECT_EQ(with_command.RowAndTicks(1, kPeriod), period);
  EXPECT_NE(period, Values{1712});
}

TEST(PlainRules, SampleOffsetBelongsToItsNoteAndBeyondTheEndLoopsOrStops) {
  const struct {
    const char* what;
    uint32_t loop_start_bytes, loop_length_bytes;
    int parameter;
    int playing;
    uint32_t position;  // frames, after the row's tick
  } cases[] = {
      {"inside", 0, 2, 0x02, 1, 512},
      {"beyond, no loop: silent", 0, 2, 0x20, 0, 0},
      {"beyond a looping sample: its loop start", 1000, 2000, 0x20, 1, 1000},
  };
  for (const auto& c : cases) {
    ModBuilder builder = TwoRows(0x9, c.parameter);
    builder.samples[0].loop_start_bytes = c.loop_start_bytes;
    builder.samples[0].loop_length_bytes = c.loop_length_bytes;
    builder.cells.push_back({.row = 1, .period = 428});  // a note without 9xx
    Playing playing(builder.Build());
    playing.RowAndTicks(1, kVolume);
    EXPECT_EQ(playing.mixer.channel_playing(0), c.playing) << c.what;
    if (c.playing) {
      EXPECT_EQ(playing.mixer.channel_position(0), c.position) << c.what;
    }
    EXPECT_EQ(playing.RowAndTicks(1, kPosition), Values{0}) << c.what << ": the next note at 0";
  }
}

TEST(PlainRules, TraversalCommands) {
  // Each song: orders 0, 1 of two patterns; the cells steer the rows.
  const struct {
    const char* what;
    std::vector<ModCell> cells;
    std::string first_rows;
  } cases[] = {
      {"D10 breaks to row 10 of the next order",
       {{.row = 1, .effect = 0xD, .parameter = 0x10}},
       "0:0 0:1 1:10 1:11 "},
      {"D70 (row 70) breaks to row 0",
       {{.row = 1, .effect = 0xD, .parameter = 0x70}},
       "0:0 0:1 1:0 1:1 "},
      // Channel 1 has marked no row: its loop goes to row 0, where channel
      // 0's finished loop starts again.
      {"loops on two channels keep their own start rows",
       {{.row = 1, .effect = 0xE, .parameter = 0x60},
        {.row = 2, .effect = 0xE, .parameter = 0x61},
        {.row = 3, .channel = 1, .effect = 0xE, .parameter = 0x61}},
       "0:0 0:1 0:2 0:1 0:2 0:3 0:0 0:1 0:2 0:1 0:2 0:3 0:4 "},
      {"B00 on the last order ends the song there", {{.pattern = 1, .effect = 0xB}}, "0:0 0:1 "},
  };
  for (const auto& c : cases) {
    ModBuilder builder;
    builder.orders = {0, 1};
    builder.pattern_blocks = 2;
    builder.cells = c.cells;
    Loaded loaded(builder.Build());
    EXPECT_EQ(WalkedRows(loaded.module, 200).substr(0, c.first_rows.size()), c.first_rows)
        << c.what;
  }
}

}  // namespace
