// The player's traversal of a song: ticks and rows, pattern delay, the order
// list with its markers, jumps, breaks, pattern loops, song end and the
// play slots.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "music/mod_builder.h"
#include "music/music_errors.h"

namespace {

using Row = std::pair<int, int>;  // order position, row

// Ticks until `count` rows have been read; returns them in order.
std::vector<Row> RowsRead(PlayerHarness& harness, size_t count, int max_ticks = 20000) {
  std::vector<Row> rows;
  uint32_t seen = harness.state->rows_read;
  for (int tick = 0; tick < max_ticks && rows.size() < count; ++tick) {
    EXPECT_EQ(harness.Tick(), 0);
    if (harness.state->rows_read != seen) {
      seen = harness.state->rows_read;
      rows.emplace_back(harness.state->status.position, harness.state->status.row);
    }
  }
  return rows;
}

S3mBuilder TwoChannelSong(int patterns, std::vector<uint8_t> orders) {
  S3mBuilder builder = OneSampleSong();
  builder.pattern_count = patterns;
  builder.orders = std::move(orders);
  for (int p = 0; p < patterns; ++p) builder.Entry(p, {.row = 0, .channel = 1, .volume = 10});
  return builder;
}

TEST(PlayerTraversal, PatternDelayRepeatsTheRowWithAnExtraEffectPass) {
  S3mBuilder builder = OneSampleSong();
  builder.Entry(0, {.row = 0, .channel = 0, .note = 0x40, .instrument = 1});
  builder.Entry(0, {.row = 1, .channel = 0, .command = 'F', .info = 0x01});
  builder.Entry(0, {.row = 1, .channel = 1, .command = 'S', .info = 0xE2});
  PlayerHarness harness(builder);
  ASSERT_TRUE(harness.ready());
  ASSERT_EQ(harness.Tick(6), 0);  // row 0
  EXPECT_EQ(harness.channel(0).period, 1712u);
  // Row 1 is read on the sixth tick from here, then lasts three row periods
  // of 6 ticks: 15 effect ticks and an extra pass at the start of the second
  // and third.
  ASSERT_EQ(harness.Tick(6 + 17), 0);
  EXPECT_EQ(harness.state->rows_read, 2u);
  // 3 x 5 effect ticks plus one extra pass at the start of each repetition.
  EXPECT_EQ(harness.channel(0).period, 1712u - 17 * 4);
  ASSERT_EQ(harness.Tick(), 0);
  EXPECT_EQ(harness.state->rows_read, 3u);
  EXPECT_EQ(harness.state->status.row, 2);
}

TEST(PlayerTraversal, FlowCommandsSteerTheRows) {
  // clang-format off
  const struct {
    const char* what;
    int patterns;
    std::vector<uint8_t> orders;
    std::vector<BuilderEntry> entries;  // of pattern 0, unless the row is 63
    int loop;
    std::vector<Row> rows;  // the first rows read
  } cases[] = {
      {"a jump then a break on one row go to the break's row", 6, {0, 1, 2, 3, 4, 5},
       {{.row = 2, .channel = 0, .command = 'B', .info = 5}, {.row = 2, .channel = 1, .command = 'C', .info = 0x10}},
       0, {{0, 0}, {0, 1}, {0, 2}, {5, 10}}},
      {"a break then a jump: the jump's row 0", 6, {0, 1, 2, 3, 4, 5},
       {{.row = 2, .channel = 1, .command = 'B', .info = 5}, {.row = 2, .channel = 0, .command = 'C', .info = 0x10}},
       0, {{0, 0}, {0, 1}, {0, 2}, {5, 0}}},
      // Past row 99 a break goes to row 63; pattern 1's C5F (row 65) also.
      {"markers are skipped and break rows limited", 2, {0, 254, 1, 254},
       {{.row = 0, .channel = 0, .command = 'C', .info = 0x99}, {.row = 63, .channel = 0, .command = 'C', .info = 0x5F}},
       1, {{0, 0}, {2, 63}, {0, 63}, {2, 0}}},
      {"a jump onto a marker goes on to the next pattern", 2, {0, 254, 1},
       {{.row = 1, .channel = 0, .command = 'B', .info = 1}}, 0, {{0, 0}, {0, 1}, {2, 0}}},
      // A volume slide's memory must not turn SB0 into a loop count.
      {"a pattern loop repeats from the marked row", 1, {0},
       {{.row = 1, .channel = 0, .command = 'S', .info = 0xB0}, {.row = 3, .channel = 0, .command = 'S', .info = 0xB2},
        {.row = 0, .channel = 0, .command = 'D', .info = 0x03}},
       0, {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 1}, {0, 2}, {0, 3}, {0, 1}, {0, 2}, {0, 3}, {0, 4}}},
      {"C00 after a D05 breaks to row 0, not from the memory", 2, {0, 1},
       {{.row = 0, .channel = 0, .command = 'D', .info = 0x05}, {.row = 1, .channel = 0, .command = 'C', .info = 0}},
       0, {{0, 0}, {0, 1}, {1, 0}}},
      {"a pattern delay does not repeat the loop", 1, {0},
       {{.row = 1, .channel = 0, .command = 'S', .info = 0xB0}, {.row = 2, .channel = 0, .command = 'S', .info = 0xB2},
        {.row = 2, .channel = 1, .command = 'S', .info = 0xE1}},
       0, {{0, 0}, {0, 1}, {0, 2}, {0, 1}, {0, 2}, {0, 1}, {0, 2}, {0, 3}}},
  };
  // clang-format on
  for (const auto& c : cases) {
    S3mBuilder builder = TwoChannelSong(c.patterns, c.orders);
    for (const BuilderEntry& entry : c.entries) builder.Entry(entry.row == 63 ? 1 : 0, entry);
    PlayerHarness harness(builder, c.loop);
    ASSERT_TRUE(harness.ready()) << c.what;
    EXPECT_EQ(RowsRead(harness, c.rows.size()), c.rows) << c.what;
    EXPECT_EQ(harness.state->loop_count, c.loop) << c.what;
  }
}

TEST(PlayerTraversal, UnplayableOrderLists) {
  S3mBuilder builder = TwoChannelSong(1, {254, 255, 0});  // position 2 is never reached
  PlayerHarness stuck(builder);
  ASSERT_TRUE(stuck.ready());
  EXPECT_EQ(PlayerSongEnded(stuck.state), 1);
  EXPECT_EQ(stuck.Tick(20), 0);
  EXPECT_EQ(stuck.state->rows_read, 0u);
  EXPECT_EQ(PlayerWalkSong(stuck.module, 1000, nullptr, nullptr), 0.0);

  S3mBuilder skip_first = TwoChannelSong(1, {254, 0});
  PlayerHarness skipping(skip_first);
  ASSERT_TRUE(skipping.ready());
  EXPECT_EQ(PlayerSongEnded(skipping.state), 0);
  EXPECT_EQ(RowsRead(skipping, 1), (std::vector<Row>{{1, 0}}));
}

TEST(PlayerTraversal, BackwardOrSamePlaceJumpCountsAPassAndEndsTheSong) {
  for (int target : {0, 1}) {
    S3mBuilder builder = TwoChannelSong(2, {0, 1});
    builder.Entry(1, {.row = 1, .channel = 0, .command = 'B', .info = target});
    PlayerHarness harness(builder);
    ASSERT_TRUE(harness.ready());
    const std::vector<Row> rows = RowsRead(harness, 67);
    ASSERT_EQ(rows.size(), 66u) << target;  // nothing after the end
    EXPECT_EQ(rows[65], Row(1, 1));
    EXPECT_EQ(PlayerSongEnded(harness.state), 1) << target;
  }
}

TEST(PlayerTraversal, PatternEndAndSongEndResetLoopRowAndGlobalVolume) {
  // SB0 marks row 62 of the first pattern; the next pattern's SB1 loops
  // back to its own start. V10 holds until the song passes its end, which
  // restores the module's global volume.
  S3mBuilder builder = TwoChannelSong(2, {0, 1});
  builder.Entry(0, {.row = 62, .channel = 0, .command = 'S', .info = 0xB0});
  builder.Entry(0, {.row = 63, .channel = 0, .command = 'V', .info = 0x10});
  builder.Entry(1, {.row = 1, .channel = 0, .command = 'S', .info = 0xB1});
  PlayerHarness harness(builder, /*loop=*/1);
  ASSERT_TRUE(harness.ready());
  const std::vector<Row> rows = RowsRead(harness, 68);
  EXPECT_EQ(std::vector<Row>(rows.begin() + 64, rows.end()),
            (std::vector<Row>{{1, 0}, {1, 1}, {1, 0}, {1, 1}}));
  EXPECT_EQ(harness.state->global_volume, 16);
  RowsRead(harness, 62);  // the rest of the second pattern, then the end
  EXPECT_EQ(harness.state->loop_count, 1);
  EXPECT_EQ(harness.state->global_volume, 64);
}

TEST(PlayerTraversal, SongEndWithoutLoopStopsSendingToTheDevice) {
  S3mBuilder builder = OneSampleSong();
  builder.speed = 1;
  builder.Entry(0, {.row = 0, .channel = 0, .note = 0x40, .instrument = 1});
  PlayerHarness harness(builder, /*loop=*/0);
  ASSERT_TRUE(harness.ready());
  ASSERT_EQ(harness.Tick(63), 0);  // rows 0..62 (speed 1: no lead-in)
  EXPECT_EQ(harness.state->loop_count, 0);
  ASSERT_EQ(harness.Tick(), 0);  // row 63: the position passes the end
  EXPECT_EQ(harness.state->loop_count, 1);
  harness.mixer.SetVolume(0, 5);  // anything the player sent would overwrite this
  const uint32_t rows = harness.state->rows_read;
  ASSERT_EQ(harness.Tick(10), 0);
  EXPECT_EQ(harness.mixer.channel_volume(0), 5);
  EXPECT_EQ(harness.state->rows_read, rows);

  PlayerHarness looping(builder, /*loop=*/1);
  ASSERT_TRUE(looping.ready());
  ASSERT_EQ(looping.Tick(65), 0);
  EXPECT_EQ(looping.state->loop_count, 1);
  EXPECT_EQ(looping.state->rows_read, 65u);
}

TEST(PlayerTraversal, WalkMeasuresTheSongAtItsTempo) {
  S3mBuilder builder = TwoChannelSong(1, {0});
  // 64 rows of 6 ticks of 20 ms, after the 5 lead-in ticks before row 0;
  // tempo 0 is played at 125 instead of stopping the clock.
  EXPECT_NEAR(PlayerWalkSong(PlayerHarness(builder).module, 100000, nullptr, nullptr), 7.78, 1e-9);
  builder.tempo = 0;
  EXPECT_NEAR(PlayerWalkSong(PlayerHarness(builder).module, 100000, nullptr, nullptr), 7.78, 1e-9);
  builder.tempo = 125;
  builder.Entry(0, {.row = 32, .channel = 0, .command = 'T', .info = 250});
  PlayerHarness faster(builder);
  // 32 rows at 20 ms per tick, then 32 rows at 10 ms.
  EXPECT_NEAR(PlayerWalkSong(faster.module, 100000, nullptr, nullptr), 0.1 + 3.84 + 1.92, 1e-9);
}

TEST(PlayerTraversal, SlotsAndInvalidData) {
  S3mBuilder builder = TwoChannelSong(1, {0});
  PlayerHarness harness(builder);
  ASSERT_TRUE(harness.ready());
  std::vector<PlayState*> states;
  int code = 0;
  while (code == 0) {
    PlayState* state = nullptr;
    code = PlayerStart(harness.module, nullptr, 0, &state);
    if (code == 0) states.push_back(state);
  }
  EXPECT_EQ(code, kMusicOutOfResources);
  EXPECT_EQ(states.size(), static_cast<size_t>(kPlaySlots - 1));  // the harness holds one
  EXPECT_EQ(PlayerTick(), 0);
  for (PlayState* state : states) PlayerStop(state);

  // A command number the reader never produces is invalid pattern data.
  S3mBuilder bad = OneSampleSong();
  bad.Entry(0, {.row = 0, .channel = 0, .command = 'A', .info = 3});
  PlayerHarness invalid(bad);
  ASSERT_TRUE(invalid.ready());
  invalid.module->patterns[0]->rows[1] = 40;
  EXPECT_EQ(invalid.Tick(6), kMusicInvalidPatternData);
}

}  // namespace
