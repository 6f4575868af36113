// The impulse and extended rules in the player, tick by tick: the volume
// column, channel and global volume with their slides, tempo and panning
// slides (opposite ways in the two trackers), tremor, the effect memories,
// the extended key off, envelope position and extra-fine slides, and the
// impulse pattern break and loop.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "music/instrument_song.h"
#include "music/it_builder.h"
#include "music/mod_builder.h"

namespace {

using Values = std::vector<int>;

// Middle C of the sample (volume 32) on row 0 with a volume-column byte and
// an effect, and a second effect on row 1 (speed 4).
std::vector<uint8_t> ImpulseSong(int volume, int effect, int parameter, int effect2, int parameter2,
                                 uint16_t flags) {
  ItBuilder builder;
  builder.flags = flags;
  builder.cells = {{.row = 0,
                    .note = 60,
                    .instrument = 1,
                    .volume = volume,
                    .effect = effect,
                    .parameter = parameter},
                   {.row = 1, .effect = effect2, .parameter = parameter2}};
  return builder.Build();
}

// The same song as an "Extended Module:" file (C-4 of its one sample,
// volume 32, the volume column as stored, effects as letters 0-35).
std::vector<uint8_t> ExtendedSong(int volume, int effect, int parameter, int effect2,
                                  int parameter2) {
  std::vector<uint8_t> out(60, 0);
  auto put = [&out](uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
  };
  std::memcpy(out.data(), "Extended Module: rules", 22);
  out[58] = 0x04;  // version 1.04
  out[59] = 0x01;
  put(20 + 256, 4);
  for (uint32_t field : {1, 0, 1, 1, 1, 0, 4, 125}) put(field, 2);
  out.resize(out.size() + 256, 0);
  // Row 0: C-4, sample 1, volume column, effect; row 1: the second effect.
  // clang-format off
  const uint8_t cells[] = {49, 1, uint8_t(volume), uint8_t(effect), uint8_t(parameter), 0x80 | 24,
                           uint8_t(effect2), uint8_t(parameter2), 0x80};
  // clang-format on
  put(9, 4);  // pattern header: 3 rows
  put(0, 1);
  put(3, 2);
  put(sizeof cells, 2);
  out.insert(out.end(), std::begin(cells), std::end(cells));
  const size_t instrument_at = out.size();
  put(243, 4);
  out.resize(out.size() + 23, 0);
  put(1, 2);
  put(40, 4);
  out.resize(instrument_at + 243, 0);
  for (uint32_t field : {4000, 0, 0}) put(field, 4);
  out.insert(out.end(), {32, 0, 0, 128, 0, 0});
  out.resize(out.size() + 22 + 4000, 0);
  out[out.size() - 4000] = 40;  // one delta: every frame 40
  return out;
}

struct Case {
  const char* what;
  int volume, effect, parameter, effect2, parameter2;
  Read read;
  Values expected;  // row 0's 4 ticks, then row 1's (C-5's period is 1712)
  uint16_t flags = 1;
};

// clang-format off
TEST(ImpulseRules, VolumeColumnCommandsAndSlidesPerTick) {
  const Case cases[] = {
      {"volume column d4 slides down on later ticks", 99, 0, 0, 0, 0, kVolume, {32, 28, 24, 20}},
      {"volume column a3 is fine, on the row's tick", 68, 0, 0, 0, 0, kVolume, {35, 35, 35, 35}},
      {"volume column panning 48 of 64", 176, 0, 0, 0, 0, kPanning, {191, 191}},
      {"volume column f2 raises the pitch 8 per tick", 117, 0, 0, 0, 0, kPeriod,
       {1712, 1680, 1648, 1616}},
      {"D04, then D00 remembers it", -1, 4, 0x04, 4, 0x00, kVolume,
       {32, 28, 24, 20, 20, 16, 12, 8}},
      {"DF2 is fine down, D0F a slide of 15", -1, 4, 0xF2, 4, 0x0F, kVolume,
       {30, 30, 30, 30, 30, 15, 0, 0}},
      {"F02, then E00 takes the shared memory", -1, 6, 0x02, 5, 0x00, kPeriod,
       {1712, 1704, 1696, 1688, 1688, 1696, 1704, 1712}},
      {"M20 halves what the device hears, V40 again", -1, 13, 0x20, 22, 0x40, kDeviceVolume,
       {16, 16, 16, 16, 8}},
      {"M20, then N10 slides the channel volume up", -1, 13, 0x20, 14, 0x10, kChannelVolume,
       {32, 32, 32, 32, 32, 33, 34, 35}},
      {"V60, then W02 slides the global volume down", -1, 22, 0x60, 23, 0x02, kGlobalVolume,
       {96, 96, 96, 96, 96, 94, 92, 90}},
      {"T12 raises the tempo, T05 lowers it", -1, 20, 0x12, 20, 0x05, kTempo,
       {125, 127, 129, 131, 131, 126, 121, 116}},
      {"P02 pans right, P20 left", -1, 16, 0x02, 16, 0x20, kPanning,
       {128, 136, 144, 152, 152, 144, 136, 128}},
      // The position moves on by 4 before each step (sine 97, 180, 235,
      // 255 of 255 at 4, 8, 12, 16), on every tick, the pitch up first;
      // old effects: twice as deep, down first, the row's tick keeps it.
      {"H48, H00: half as deep, up, from the row's tick on", -1, 8, 0x48, 8, 0, kOutputPeriod,
       {1700, 1690, 1683, 1681, 1683, 1690}},
      {"H48, H00 with old effects: as Scream Tracker's", -1, 8, 0x48, 8, 0, kOutputPeriod,
       {1712, 1736, 1757, 1770, 1770, 1775}, 1 | 16},
      {"I21: two ticks on, one off", -1, 9, 0x21, 0, 0, kOutputVolume, {32, 32, 0, 32}},
      {"I21 with old effects: three on, two off", -1, 9, 0x21, 0, 0, kOutputVolume,
       {32, 32, 32, 0}, 1 | 16},
      {"S62 holds row 0 two ticks longer", -1, 19, 0x62, 4, 0x04, kVolume,
       {32, 32, 32, 32, 32, 32, 32, 28, 24}},
  };
  for (const Case& c : cases) {
    Playing playing(ImpulseSong(c.volume, c.effect, c.parameter, c.effect2, c.parameter2, c.flags));
    EXPECT_EQ(playing.RowAndTicks(static_cast<int>(c.expected.size()), c.read), c.expected) << c.what;
  }
}

TEST(ExtendedRules, VolumeColumnAndTheirOwnCommandsPerTick) {
  const Case cases[] = {
      {"volume column -3 slides down", 0x63, 0, 0, 0, 0, kVolume, {32, 29, 26, 23}},
      {"volume column U2 is fine, on the row's tick", 0x92, 0, 0, 0, 0, kVolume, {34, 34, 34}},
      {"volume column P8 pans to 128", 0xC8, 0, 0, 0, 0, kPanning, {128, 128}},
      {"volume column R3 pans right", 0xE3, 0, 0, 0, 0, kPanning, {128, 131, 134, 137}},
      {"P02 pans left, P20 right", 0, 25, 0x02, 25, 0x20, kPanning,
       {128, 126, 124, 122, 122, 124, 126, 128}},
      {"H02 slides the global volume down, H00 remembers", 0, 17, 0x02, 17, 0x00, kGlobalVolume,
       {64, 62, 60, 58, 58, 56, 54, 52}},
      {"X12 and X23: extra-fine slides on the row's tick", 0, 33, 0x12, 33, 0x23, kPeriod,
       {1710, 1710, 1710, 1710, 1713}},
      {"K02 keys off at tick 2", 0, 20, 0x02, 0, 0, kDeviceVolume, {32, 32, 0, 0}},
      {"L05 moves the envelopes to tick 5", 0, 21, 0x05, 0, 0, kEnvelopePosition, {5, 5}},
      {"T21: three ticks on, two off", 0, 29, 0x21, 0, 0, kOutputVolume, {32, 32, 32, 0}},
  };
  for (const Case& c : cases) {
    Playing playing(ExtendedSong(c.volume, c.effect, c.parameter, c.effect2, c.parameter2));
    EXPECT_EQ(playing.RowAndTicks(static_cast<int>(c.expected.size()), c.read), c.expected) << c.what;
  }
}
// clang-format on

TEST(ImpulseRules, HighOffsetReachesPast64KFrames) {
  ItBuilder builder;
  builder.frames = 0x10400;
  builder.cells = {{.row = 0, .note = 60, .instrument = 1, .effect = 19, .parameter = 0xA1},
                   {.row = 1, .note = 60, .instrument = 1, .effect = 15, .parameter = 0x02}};
  Playing playing(builder.Build());
  playing.RowAndTicks(5, kVolume);
  // SA1 on row 0, then O02 with row 1's note: 1 x 65536 + 2 x 256 frames in.
  EXPECT_EQ(playing.mixer.channel_position(0), 0x10200u);
}

// clang-format off
TEST(ImpulseRules, BreakToAPlainRowNumberAndLoopsPerChannel) {
  const struct {
    const char* what;
    int row_count, orders;
    std::vector<ItCell> cells;
    std::string rows;
  } cases[] = {
      // C10 is row 16, not the decimal 10 of the S3M rules.
      {"C10 breaks to row 16", 20, 2, {{.row = 1, .effect = 3, .parameter = 0x10}},
       "0:0 0:1 1:16 1:17 1:18 1:19 "},
      // SB0 on row 1, SB1 on row 2 of channel 0; channel 1's SB1 on row 3
      // loops to its own mark (row 0), and channel 0 loops again after it.
      {"each channel loops on its own", 4, 1,
       {{.row = 1, .effect = 19, .parameter = 0xB0}, {.row = 2, .effect = 19, .parameter = 0xB1},
        {.row = 3, .channel = 1, .effect = 19, .parameter = 0xB1}},
       "0:0 0:1 0:2 0:1 0:2 0:3 0:0 0:1 0:2 0:1 0:2 0:3 "},
      // After the loop the mark is row 3, where S00 loops once more.
      {"S00 repeats the channel's last S", 4, 1,
       {{.row = 1, .effect = 19, .parameter = 0xB0}, {.row = 2, .effect = 19, .parameter = 0xB1},
        {.row = 3, .effect = 19, .parameter = 0x00}},
       "0:0 0:1 0:2 0:1 0:2 0:3 0:3 "},
  };
  // clang-format on
  for (const auto& c : cases) {
    ItBuilder builder;
    builder.rows = c.row_count;
    builder.orders = c.orders;
    builder.cells = c.cells;
    builder.cells.push_back({.row = 0, .channel = 1, .note = 60, .instrument = 1});
    Loaded loaded(builder.Build());
    ASSERT_EQ(loaded.code, 0) << loaded.reason;
    EXPECT_EQ(WalkedRows(loaded.module, 40), c.rows) << c.what;
  }
}

// The impulse rules' instruments tick by tick (speed 3): the note map on the
// note slid to (C-5 plays at 16725 Hz, D-5 at 18788), the automatic vibrato
// (its rate grows the depth, << 8, every tick; the pitch goes up first;
// 8362 Hz moved by 1, -3, 5, -7 of 64 semitones), the fade-out that the end
// of a volume envelope starts from the tick after, envelope carry from the
// last note only when it was of the same instrument, and the pitch of a note
// that goes on beside the next (C-4's period, not D-4's 1524).
TEST(ImpulseInstruments, NoteMapAutomaticVibratoEnvelopeEndAndCarry) {
  constexpr uint8_t kC4 = 0x40, kD4 = 0x42;
  const struct {
    const char* what;
    std::vector<SongCell> cells;
    void (*shape)(ModuleInstrument&);
    Read read;
    std::vector<int> values;
  } cases[] = {
      // clang-format off
      {"GFF slides to the mapped note", {{0, kC4, 0}, {1, kD4, 255, kCommandTonePortamento, 0xFF}},
       [](ModuleInstrument& i) {
         for (int n = 0; n < 108; ++n) i.note_notes[n] = uint8_t((n / 12 + 1) << 4 | n % 12);
       }, kRate, {16725, 16725, 16725, 16725, 18788, 18788}},
      {"sample vibrato of depth 64, rate 255, a quarter period a tick", {{0, kC4, 0}},
       [](ModuleInstrument& i) {
         i.sample->vibrato_depth = i.sample->vibrato_rate = 64;
         i.sample->vibrato_sweep = 255;
       }, kRate, {8362, 8370, 8362, 8339, 8362, 8400, 8362, 8309}},
      {"a volume envelope's end fades from the next tick", {{0, kC4, 0}},
       [](ModuleInstrument& i) {
         i.volume_envelope = {kEnvelopeOn, 2, 0, 0, 0, 0, {0, 2}, {64, 64}};
         i.fadeout = 16384;
       }, kInstrumentVolume, {64, 64, 64, 48, 32, 16, 0}},
      {"carry only from the same instrument", {{0, kC4, 0}, {1, kC4, 1}, {2, kC4, 1}},
       [](ModuleInstrument& i) {
         i.volume_envelope = {kEnvelopeOn | kEnvelopeCarry, 2, 0, 0, 0, 0, {0, 16}, {64, 0}};
       }, kInstrumentVolume, {64, 60, 56, 64, 60, 56, 52, 48, 44}},
      {"a note that goes on keeps its own pitch", {{0, kC4, 0}, {1, kD4, 0}},
       [](ModuleInstrument& i) { i.new_note_action = kNewNoteContinue; },
       kBackgroundPeriod, {0, 0, 0, 1712, 1712, 1712}},
      // clang-format on
  };
  for (const auto& c : cases) {
    InstrumentSong song(kRulesImpulse, c.cells);
    c.shape(song.instrument);
    ModuleInstrument* both[2] = {&song.instrument, &song.instrument};  // numbers 0 and 1
    song.module.instruments = both;
    song.module.instrument_count = 2;
    song.Play(0);
    EXPECT_EQ(song.Track(static_cast<int>(c.values.size()), c.read), c.values) << c.what;
  }
}

}  // namespace
