// The player. Its commands, tick by tick: for each command family a table of
// the values expected after the row's tick and each following tick,
// including the memory of the last info byte and the limits. Its traversal
// of a song: ticks and rows, pattern delay, the order list with its markers,
// jumps, breaks, pattern loops, song end and the play slots.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "music/mixer.h"
#include "music/mod_builder.h"
#include "music/music_errors.h"
#include "music/pitch.h"

namespace {

using Values = std::vector<int>;

// A one-pattern song: row 0 plays C-4 on channel 0 with the command given
// (plus anything added later); the sample has volume 32.
S3mBuilder NoteWith(char command, int info, uint8_t speed = 4, uint32_t length = 64) {
  S3mBuilder builder = OneSampleSong(length);
  builder.samples[0].volume = 32;
  builder.speed = speed;
  builder.Entry(0, {.note = 0x40, .instrument = 1, .command = command, .info = info});
  return builder;
}

// A command with its info byte under the module's flags, and what one
// channel value reads after each tick.
struct CommandCase {
  char command;
  int info;
  uint16_t flags;
  Values expected;
};

TEST(PlayerVolume, SlidesRetriggersAndCutsPerTick) {
  const CommandCase cases[] = {
      {'D', 0x04, 0, {32, 28, 24, 20}},  // down 4 on the ticks after the row
      {'D', 0x40, 0, {32, 36, 40, 44}},  // up 4
      {'D', 0x34, 0, {32, 28, 24, 20}},  // both nibbles, neither 15: down by y
      {'D', 0xF3, 0, {29, 29, 29, 29}},  // fine down, row only
      {'D', 0x3F, 0, {35, 35, 35, 35}},  // fine up, row only
      {'D', 0xFF, 0, {47, 47, 47, 47}},  // DFF: fine up by 15
      {'D', 0x0F, 0, {32, 17, 2, 0}},    // D0F: a normal slide, clamped at 0
      {'D', 0x0F, 64, {17, 2, 0, 0}},    // ... also on the row's tick with fast slides
      {'D', 0xF0, 0, {32, 47, 62, 63}},  // DF0: up by 15, clamped at 63
      // K and L slide the volume as D does, with the vibrato or portamento going on.
      {'K', 0x20, 0, {32, 34, 36, 38}},
      {'L', 0x20, 0, {32, 34, 36, 38}},
      {'Q', 0x11, 0, {32, 31, 30, 29}},  // retrigger every tick, volume - 1
      {'Q', 0x82, 0, {32, 32, 32, 32}},  // every second tick, no change
      {'Q', 0x61, 0, {32, 20, 12, 7}},   // x 10/16
      {'Q', 0xF1, 0, {32, 63, 63, 63}},  // x 2, clamped
      {'S', 0xC2, 0, {32, 32, 0, 0}},    // note cut on tick 2
      {'S', 0xC0, 0, {0, 0, 0, 0}},      // ... on the row's tick
  };
  for (const auto& c : cases) {
    S3mBuilder builder = NoteWith(c.command, c.info);
    builder.flags = c.flags;
    Playing harness(builder);
    EXPECT_EQ(harness.RowAndTicks(4, kVolume), c.expected)
        << c.command << std::hex << c.info << " flags " << c.flags;
  }
}

TEST(PlayerVolumeSlide, MemoryAndCombinedCommands) {
  S3mBuilder builder = NoteWith('D', 0x02);
  builder.Entry(0, {.row = 1, .command = 'D', .info = 0});
  Playing harness(builder);
  // Row 1's D00 slides with the remembered 02.
  EXPECT_EQ(harness.RowAndTicks(8, kVolume), (Values{32, 30, 28, 26, 26, 24, 22, 20}));

  // A pattern delay repeats the row's actions with the info as stored: D00
  // (a fine slide F2 from the memory on the row's tick) slides only once.
  S3mBuilder delayed = NoteWith('D', 0xF2);
  delayed.Entry(0, {.row = 1, .command = 'D', .info = 0});
  delayed.Entry(0, {.row = 1, .channel = 1, .command = 'S', .info = 0xE1});
  Playing repeated(delayed);
  EXPECT_EQ(repeated.RowAndTicks(12, kVolume),
            (Values{30, 30, 30, 30, 28, 28, 28, 28, 28, 28, 28, 28}));
}

TEST(PlayerPortamento, UpDownFineAndClamps) {
  const CommandCase cases[] = {
      {'F', 0x08, 0, {1712, 1680, 1648, 1616}},
      {'F', 0xF2, 0, {1704, 1704, 1704, 1704}},  // fine: 2 x 4, row only
      {'F', 0xE3, 0, {1709, 1709, 1709, 1709}},  // extra fine: 3, row only
      {'E', 0x08, 0, {1712, 1744, 1776, 1808}},
      {'E', 0xF1, 0, {1716, 1716, 1716, 1716}},
      // A slide past the highest pitch stops at the minimum period, never wraps.
      {'F', 0xDF, 0, {1712, 820, 64, 64}},
      {'F', 0xDF, 16, {1712, 820, 452, 452}},  // Amiga limits
      {'E', 0xDF, 16, {1712, 2604, 3424, 3424}},
  };
  for (const auto& c : cases) {
    // On row 1: on the note's own row the note, started after the row's
    // commands, would set the period again.
    S3mBuilder builder = NoteWith(0, 0);
    builder.Entry(0, {.row = 1, .command = c.command, .info = c.info});
    builder.flags = c.flags;
    Playing harness(builder);
    ASSERT_EQ(harness.Tick(4), 0);
    EXPECT_EQ(harness.RowAndTicks(4, kPeriod), c.expected) << c.command << std::hex << c.info;
  }
}

TEST(PlayerPortamento, TonePortamentoSlidesToTheNoteWithoutRestartingIt) {
  // Steps of 0x40 x 4 = 256 towards the row's note; row 2's G00 goes on
  // with the remembered speed and lands on the target, in either direction.
  const struct {
    int from;
    int to;
    Values expected;
  } cases[] = {{0x40, 0x50, {1712, 1456, 1200, 944, 944, 856, 856, 856}},
               {0x50, 0x40, {856, 1112, 1368, 1624, 1624, 1712, 1712, 1712}}};
  for (const auto& c : cases) {
    S3mBuilder builder = OneSampleSong();
    builder.speed = 4;
    builder.Entry(0, {.note = c.from, .instrument = 1});
    builder.Entry(0, {.row = 1, .note = c.to, .command = 'G', .info = 0x40});
    builder.Entry(0, {.row = 2, .command = 'G', .info = 0});
    Playing harness(builder);
    EXPECT_EQ(harness.Tick(7), 0);  // row 0 and its effect ticks
    harness.mixer.SetPosition(0, 7);
    EXPECT_EQ(harness.Track(8, kPeriod), c.expected) << c.from;
    EXPECT_EQ(harness.mixer.channel_position(0), 7u);  // not restarted
    EXPECT_EQ(harness.mixer.channel_rate_hz(0), kPeriodClockHz / c.expected.back());
  }
}

TEST(PlayerPitchEffects, VibratoAndArpeggio) {
  const struct {
    char command;
    int info;
    uint8_t speed;
    Values expected;
  } cases[] = {
      // Wave steps of 4 at depth 8: (wave x 8) >> 5 added to the period.
      {'H', 0x48, 5, {1712, 1712, 1736, 1757, 1770}},
      // Positions 0, 15, 30, 45, 60: wave 0, 253, 49, then, past half a
      // wave (position bit 5), 244 and 97 subtracted.
      {'H', 0xF8, 6, {1712, 1712, 1712 + 63, 1712 + 12, 1712 - 61, 1712 - 24}},
      // Arpeggio: base, +x, +y semitones by tick mod 3; +12 carries into the next octave.
      {'J', 0x47, 7, {1712, 1356, 1140, 1712, 1356, 1140, 1712}},
      {'J', 0x0C, 3, {1712, 1712, 856}},
  };
  for (const auto& c : cases) {
    Playing harness(NoteWith(c.command, c.info, c.speed));
    EXPECT_EQ(harness.RowAndTicks(c.speed, kOutputPeriod), c.expected)
        << c.command << std::hex << c.info;
    EXPECT_EQ(harness.channel(0).period, 1712u);
    EXPECT_EQ(harness.Tick(), 0);  // the next row ends the offset
    EXPECT_EQ(harness.channel(0).output_period, 1712u);
  }
}

TEST(PlayerRetrigger, VolumeChangesAndRestart) {
  // The volume change of each high nibble, from 32: additions, or sixteenths.
  const Values changed = {32, 31, 30, 28, 24, 16, 20, 16, 32, 33, 34, 36, 40, 48, 48, 64};
  for (int x = 0; x < 16; ++x)
    EXPECT_EQ(RetriggerVolume(32, x), changed[static_cast<size_t>(x)]) << x;

  Playing restart(NoteWith('Q', 0x02));
  ASSERT_EQ(restart.Tick(4), 0);
  Values positions;
  for (int tick = 0; tick < 3; ++tick) {
    restart.mixer.SetPosition(0, 9);
    ASSERT_EQ(restart.Tick(), 0);
    positions.push_back(static_cast<int>(restart.mixer.channel_position(0)));
  }
  EXPECT_EQ(positions, (Values{9, 0, 9}));  // restarted on the second tick only
}

TEST(PlayerNoteTiming, NoteDelay) {
  Playing delay(NoteWith('S', 0xD2));
  EXPECT_EQ(delay.RowAndTicks(4, kPlaying), (Values{0, 0, 1, 1}));
  EXPECT_EQ(delay.channel(0).period, 1712u);

  Playing never(NoteWith('S', 0xD7));  // beyond the row's ticks: never starts
  EXPECT_EQ(never.RowAndTicks(4, kPlaying), (Values{0, 0, 0, 0}));
}

TEST(PlayerSampleOffset, OffsetsAddUpAndStopPastTheEnd) {
  S3mBuilder builder = NoteWith('O', 0x02, 1, 1024);
  builder.Entry(0, {.row = 1, .note = 0x40, .command = 'O', .info = 0x01});
  builder.Entry(0, {.row = 2, .note = 0x40, .instrument = 1, .command = 'O', .info = 0});
  builder.Entry(0, {.row = 3, .note = 0x40, .instrument = 1, .command = 'O', .info = 0x05});
  Playing harness(builder);
  const Values positions = harness.RowAndTicks(4, kPosition);
  // 512; then 512 + 256 (no instrument byte resets the offset); then the
  // remembered 01 after a reset; then 1280, past the 1024 frames: silent.
  EXPECT_EQ(positions, (Values{512, 768, 256, -1}));
}

TEST(PlayerChannelSettings, PanningInstrumentVolumeTempoAndGlobalVolume) {
  const struct {
    char command;
    int info;
    int expected;
  } pans[] = {{'X', 0x80, 64},  {'X', 0x40, 0},   {'X', 0xA4, kMixerPanSurround},
              {'X', 0x00, -64}, {'X', 0xFF, 64},  {'S', 0x87, 0},
              {'S', 0x8F, 64},  {'S', 0x80, -64}, {'S', 0x83, -40},
              {'S', 0x89, 16}};
  for (const auto& p : pans) {
    Playing harness(NoteWith(p.command, p.info));
    ASSERT_EQ(harness.Tick(4), 0);
    EXPECT_EQ(harness.mixer.channel_panning(0), p.expected) << p.command << std::hex << p.info;
  }

  // An instrument byte alone resets the volume without restarting the sample.
  S3mBuilder builder = NoteWith('T', 150);
  builder.Entry(0, {.note = 0x40, .instrument = 1, .volume = 10});
  builder.Entry(0, {.row = 1, .instrument = 1, .command = 'V', .info = 0x20});
  builder.Entry(0, {.row = 2, .command = 'T', .info = 31});
  Playing harness(builder);
  ASSERT_EQ(harness.Tick(4), 0);
  EXPECT_EQ(harness.channel(0).volume, 10);
  EXPECT_EQ(harness.mixer.update_rate(), 6000u);
  EXPECT_EQ(harness.mixer.tick_spacing_frames(), 736);
  harness.mixer.SetPosition(0, 5);
  ASSERT_EQ(harness.Tick(4), 0);
  EXPECT_EQ(harness.channel(0).volume, 32);
  EXPECT_EQ(harness.mixer.channel_position(0), 5u);
  // Global volume 32 halves what reaches the device.
  EXPECT_EQ(harness.mixer.channel_volume(0), 16);
  ASSERT_EQ(harness.Tick(4), 0);
  EXPECT_EQ(harness.mixer.update_rate(), 6000u);  // T1F is ignored
}

TEST(PlayerVolume, ChannelAndGlobalVolumesReachTheDeviceScaledAndLimited) {
  // Device volume = global x channel x 64 x 64 / 2^18, rounded up; the
  // global volume is limited to 64 and a sample's volume to 63.
  const struct {
    int global_info;  // V on row 0
    int volume_byte;  // -1: none, the sample's volume stays
    int sample_volume;
    int channel_volume;
    int device_volume;
  } cases[] = {{0x40, 63, 32, 63, 63}, {0x20, 33, 32, 33, 17}, {0x80, 32, 32, 32, 32},
               {0xFF, -1, 64, 63, 63}, {0x00, 63, 32, 63, 0},  {0x10, -1, 5, 5, 2}};
  for (const auto& c : cases) {
    S3mBuilder builder = OneSampleSong();
    builder.samples[0].volume = static_cast<uint8_t>(c.sample_volume);
    builder.Entry(0, {.note = 0x40,
                      .instrument = 1,
                      .volume = c.volume_byte,
                      .command = 'V',
                      .info = c.global_info});
    Playing harness(builder);
    ASSERT_EQ(harness.Tick(6), 0) << std::hex << c.global_info;
    EXPECT_EQ(harness.channel(0).volume, c.channel_volume) << std::hex << c.global_info;
    EXPECT_EQ(harness.mixer.channel_volume(0), c.device_volume) << std::hex << c.global_info;
  }
}

TEST(PlayerPitch, NotesBecomeRates) {
  EXPECT_EQ(NotePeriod(0x4B, 8363), 907u);
  EXPECT_EQ(NotePeriod(0x40, 16726), 856u);
  EXPECT_EQ(NotePeriod(0x4C, 8363), 0u);  // no such semitone
  EXPECT_EQ(NotePeriod(0x40, 0), 0u);     // no rate: no division
  EXPECT_EQ(PeriodToRateHz(0), 0u);
  EXPECT_EQ(RaiseNote(0x4B, 1), 0x50);
  EXPECT_EQ(RaiseNote(0x45, 15), 0x58);
}

using Row = std::pair<int, int>;  // order position, row

// Ticks until `count` rows have been read; returns them in order.
std::vector<Row> RowsRead(Playing& harness, size_t count, int max_ticks = 20000) {
  std::vector<Row> rows;
  if (harness.state == nullptr) return rows;
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
  builder.Entry(0, {.note = 0x40, .instrument = 1});
  builder.Entry(0, {.row = 1, .command = 'F', .info = 0x01});
  builder.Entry(0, {.row = 1, .channel = 1, .command = 'S', .info = 0xE2});
  Playing harness(builder);
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
       {{.row = 2, .command = 'B', .info = 5}, {.row = 2, .channel = 1, .command = 'C', .info = 0x10}},
       0, {{0, 0}, {0, 1}, {0, 2}, {5, 10}}},
      {"a break then a jump: the jump's row 0", 6, {0, 1, 2, 3, 4, 5},
       {{.row = 2, .channel = 1, .command = 'B', .info = 5}, {.row = 2, .command = 'C', .info = 0x10}},
       0, {{0, 0}, {0, 1}, {0, 2}, {5, 0}}},
      // Past row 99 a break goes to row 63; pattern 1's C5F (row 65) also.
      {"markers are skipped and break rows limited", 2, {0, 254, 1, 254},
       {{.command = 'C', .info = 0x99}, {.row = 63, .command = 'C', .info = 0x5F}},
       1, {{0, 0}, {2, 63}, {0, 63}, {2, 0}}},
      {"a jump onto a marker goes on to the next pattern", 2, {0, 254, 1},
       {{.row = 1, .command = 'B', .info = 1}}, 0, {{0, 0}, {0, 1}, {2, 0}}},
      // A volume slide's memory must not turn SB0 into a loop count.
      {"a pattern loop repeats from the marked row", 1, {0},
       {{.row = 1, .command = 'S', .info = 0xB0}, {.row = 3, .command = 'S', .info = 0xB2},
        {.command = 'D', .info = 0x03}},
       0, {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 1}, {0, 2}, {0, 3}, {0, 1}, {0, 2}, {0, 3}, {0, 4}}},
      {"C00 after a D05 breaks to row 0, not from the memory", 2, {0, 1},
       {{.command = 'D', .info = 0x05}, {.row = 1, .command = 'C', .info = 0}},
       0, {{0, 0}, {0, 1}, {1, 0}}},
      {"a pattern delay does not repeat the loop", 1, {0},
       {{.row = 1, .command = 'S', .info = 0xB0}, {.row = 2, .command = 'S', .info = 0xB2},
        {.row = 2, .channel = 1, .command = 'S', .info = 0xE1}},
       0, {{0, 0}, {0, 1}, {0, 2}, {0, 1}, {0, 2}, {0, 1}, {0, 2}, {0, 3}}},
      {"a marker before the first pattern is skipped", 1, {254, 0}, {}, 0, {{1, 0}}},
  };
  // clang-format on
  for (const auto& c : cases) {
    S3mBuilder builder = TwoChannelSong(c.patterns, c.orders);
    for (const BuilderEntry& entry : c.entries) builder.Entry(entry.row == 63 ? 1 : 0, entry);
    Playing harness(builder, c.loop);
    EXPECT_EQ(RowsRead(harness, c.rows.size()), c.rows) << c.what;
    EXPECT_EQ(harness.state->loop_count, c.loop) << c.what;
  }
}

TEST(PlayerTraversal, AnOrderListWithoutAPlayablePatternHasEnded) {
  Playing stuck(TwoChannelSong(1, {254, 255, 0}));  // position 2 is never reached
  EXPECT_EQ(PlayerSongEnded(stuck.state), 1);
  EXPECT_EQ(stuck.Tick(20), 0);
  EXPECT_EQ(stuck.state->rows_read, 0u);
  EXPECT_EQ(PlayerWalkSong(stuck.module, 1000, nullptr, nullptr), 0.0);
}

TEST(PlayerTraversal, BackwardOrSamePlaceJumpCountsAPassAndEndsTheSong) {
  for (int target : {0, 1}) {
    S3mBuilder builder = TwoChannelSong(2, {0, 1});
    builder.Entry(1, {.row = 1, .command = 'B', .info = target});
    Playing harness(builder);
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
  builder.Entry(0, {.row = 62, .command = 'S', .info = 0xB0});
  builder.Entry(0, {.row = 63, .command = 'V', .info = 0x10});
  builder.Entry(1, {.row = 1, .command = 'S', .info = 0xB1});
  Playing harness(builder, /*loop=*/1);
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
  builder.Entry(0, {.note = 0x40, .instrument = 1});
  Playing harness(builder, /*loop=*/0);
  ASSERT_EQ(harness.Tick(63), 0);  // rows 0..62 (speed 1: no lead-in)
  EXPECT_EQ(harness.state->loop_count, 0);
  ASSERT_EQ(harness.Tick(), 0);  // row 63: the position passes the end
  EXPECT_EQ(harness.state->loop_count, 1);
  harness.mixer.SetVolume(0, 5);  // anything the player sent would overwrite this
  const uint32_t rows = harness.state->rows_read;
  ASSERT_EQ(harness.Tick(10), 0);
  EXPECT_EQ(harness.mixer.channel_volume(0), 5);
  EXPECT_EQ(harness.state->rows_read, rows);

  Playing looping(builder, /*loop=*/1);
  ASSERT_EQ(looping.Tick(65), 0);
  EXPECT_EQ(looping.state->loop_count, 1);
  EXPECT_EQ(looping.state->rows_read, 65u);
}

TEST(PlayerTraversal, WalkMeasuresTheSongAtItsTempo) {
  S3mBuilder builder = TwoChannelSong(1, {0});
  // 64 rows of 6 ticks of 20 ms, after the 5 lead-in ticks before row 0;
  // tempo 0 is played at 125 instead of stopping the clock.
  EXPECT_NEAR(PlayerWalkSong(Playing(builder).module, 100000, nullptr, nullptr), 7.78, 1e-9);
  builder.tempo = 0;
  EXPECT_NEAR(PlayerWalkSong(Playing(builder).module, 100000, nullptr, nullptr), 7.78, 1e-9);
  builder.tempo = 125;
  builder.Entry(0, {.row = 32, .command = 'T', .info = 250});
  Playing faster(builder);
  // 32 rows at 20 ms per tick, then 32 rows at 10 ms.
  EXPECT_NEAR(PlayerWalkSong(faster.module, 100000, nullptr, nullptr), 0.1 + 3.84 + 1.92, 1e-9);
}

TEST(PlayerTraversal, SlotsAndInvalidData) {
  S3mBuilder builder = TwoChannelSong(1, {0});
  Playing harness(builder);
  ASSERT_NE(harness.state, nullptr);
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
  bad.Entry(0, {.command = 'A', .info = 3});
  Playing invalid(bad);
  ASSERT_NE(invalid.state, nullptr);
  invalid.module->patterns[0]->rows[1] = 40;
  EXPECT_EQ(invalid.Tick(6), kMusicInvalidPatternData);
}

}  // namespace
