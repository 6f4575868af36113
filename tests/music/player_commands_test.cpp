// The player's commands, tick by tick: for each command family a table of
// the values expected after the row's tick and each following tick,
// including the memory of the last info byte and the limits.
#include <gtest/gtest.h>

#include <vector>

#include "music/mixer.h"
#include "music/mod_builder.h"
#include "music/pitch.h"

namespace {

using Values = std::vector<int>;

// A one-pattern song: row 0 plays C-4 on channel 0 with the command given
// (plus anything added later); the sample has volume 32.
S3mBuilder NoteWith(char command, int info, uint8_t speed = 4, uint32_t length = 64) {
  S3mBuilder builder = OneSampleSong(length);
  builder.samples[0].volume = 32;
  builder.speed = speed;
  builder.Entry(
      0, {.row = 0, .channel = 0, .note = 0x40, .instrument = 1, .command = command, .info = info});
  return builder;
}

// Ticks up to row 0 and records `read` after row 0's tick and the next ones.
Values RowAndTicks(PlayerHarness& harness, int ticks,
                   const std::function<int(PlayerHarness&)>& read) {
  EXPECT_TRUE(harness.ready());
  EXPECT_EQ(harness.Tick(harness.state->speed - 1), 0);
  return harness.Track(ticks, [&] { return read(harness); });
}

int Volume(PlayerHarness& h) {
  return h.channel(0).volume;
}
int Period(PlayerHarness& h) {
  return static_cast<int>(h.channel(0).period);
}
int OutputPeriod(PlayerHarness& h) {
  return static_cast<int>(h.channel(0).output_period);
}

TEST(PlayerVolume, SlidesRetriggersAndCutsPerTick) {
  const struct {
    char command;
    int info;
    uint16_t flags;
    Values expected;
  } cases[] = {
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
    PlayerHarness harness(builder);
    EXPECT_EQ(RowAndTicks(harness, 4, Volume), c.expected)
        << c.command << std::hex << c.info << " flags " << c.flags;
  }
}

TEST(PlayerVolumeSlide, MemoryAndCombinedCommands) {
  S3mBuilder builder = NoteWith('D', 0x02);
  builder.Entry(0, {.row = 1, .channel = 0, .command = 'D', .info = 0});
  PlayerHarness harness(builder);
  // Row 1's D00 slides with the remembered 02.
  EXPECT_EQ(RowAndTicks(harness, 8, Volume), (Values{32, 30, 28, 26, 26, 24, 22, 20}));

  // A pattern delay repeats the row's actions with the info as stored: D00
  // (a fine slide F2 from the memory on the row's tick) slides only once.
  S3mBuilder delayed = NoteWith('D', 0xF2);
  delayed.Entry(0, {.row = 1, .channel = 0, .command = 'D', .info = 0});
  delayed.Entry(0, {.row = 1, .channel = 1, .command = 'S', .info = 0xE1});
  PlayerHarness repeated(delayed);
  EXPECT_EQ(RowAndTicks(repeated, 12, Volume),
            (Values{30, 30, 30, 30, 28, 28, 28, 28, 28, 28, 28, 28}));
}

TEST(PlayerPortamento, UpDownFineAndClamps) {
  const struct {
    char command;
    int info;
    uint16_t flags;
    Values expected;
  } cases[] = {
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
    builder.Entry(0, {.row = 1, .channel = 0, .command = c.command, .info = c.info});
    builder.flags = c.flags;
    PlayerHarness harness(builder);
    ASSERT_TRUE(harness.ready());
    ASSERT_EQ(harness.Tick(4), 0);
    EXPECT_EQ(RowAndTicks(harness, 4, Period), c.expected) << c.command << std::hex << c.info;
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
    builder.Entry(0, {.row = 0, .channel = 0, .note = c.from, .instrument = 1});
    builder.Entry(0, {.row = 1, .channel = 0, .note = c.to, .command = 'G', .info = 0x40});
    builder.Entry(0, {.row = 2, .channel = 0, .command = 'G', .info = 0});
    PlayerHarness harness(builder);
    ASSERT_TRUE(harness.ready());
    EXPECT_EQ(harness.Tick(7), 0);  // row 0 and its effect ticks
    harness.mixer.SetPosition(0, 7);
    EXPECT_EQ(harness.Track(8, [&] { return Period(harness); }), c.expected) << c.from;
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
    PlayerHarness harness(NoteWith(c.command, c.info, c.speed));
    EXPECT_EQ(RowAndTicks(harness, c.speed, OutputPeriod), c.expected)
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

  PlayerHarness restart(NoteWith('Q', 0x02));
  ASSERT_TRUE(restart.ready());
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
  PlayerHarness delay(NoteWith('S', 0xD2));
  EXPECT_EQ(RowAndTicks(delay, 4, [](PlayerHarness& h) { return h.mixer.channel_playing(0); }),
            (Values{0, 0, 1, 1}));
  EXPECT_EQ(delay.channel(0).period, 1712u);

  PlayerHarness never(NoteWith('S', 0xD7));  // beyond the row's ticks: never starts
  EXPECT_EQ(RowAndTicks(never, 4, [](PlayerHarness& h) { return h.mixer.channel_playing(0); }),
            (Values{0, 0, 0, 0}));
}

TEST(PlayerSampleOffset, OffsetsAddUpAndStopPastTheEnd) {
  S3mBuilder builder = NoteWith('O', 0x02, 1, 1024);
  builder.Entry(0, {.row = 1, .channel = 0, .note = 0x40, .command = 'O', .info = 0x01});
  builder.Entry(0,
                {.row = 2, .channel = 0, .note = 0x40, .instrument = 1, .command = 'O', .info = 0});
  builder.Entry(
      0, {.row = 3, .channel = 0, .note = 0x40, .instrument = 1, .command = 'O', .info = 0x05});
  PlayerHarness harness(builder);
  const Values positions = RowAndTicks(harness, 4, [](PlayerHarness& h) {
    return h.mixer.channel_playing(0) ? static_cast<int>(h.mixer.channel_position(0)) : -1;
  });
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
    PlayerHarness harness(NoteWith(p.command, p.info));
    ASSERT_TRUE(harness.ready());
    ASSERT_EQ(harness.Tick(4), 0);
    EXPECT_EQ(harness.mixer.channel_panning(0), p.expected) << p.command << std::hex << p.info;
  }

  // An instrument byte alone resets the volume without restarting the sample.
  S3mBuilder builder = NoteWith('T', 150);
  builder.Entry(0, {.row = 0, .channel = 0, .note = 0x40, .instrument = 1, .volume = 10});
  builder.Entry(0, {.row = 1, .channel = 0, .instrument = 1, .command = 'V', .info = 0x20});
  builder.Entry(0, {.row = 2, .channel = 0, .command = 'T', .info = 31});
  PlayerHarness harness(builder);
  ASSERT_TRUE(harness.ready());
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
    builder.Entry(0, {.row = 0,
                      .channel = 0,
                      .note = 0x40,
                      .instrument = 1,
                      .volume = c.volume_byte,
                      .command = 'V',
                      .info = c.global_info});
    PlayerHarness harness(builder);
    ASSERT_TRUE(harness.ready());
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

}  // namespace
