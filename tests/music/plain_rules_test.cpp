// The plain-module (Protracker) rules in the player, tick by tick: effect
// memory only where Protracker keeps it, its volume slide, fine slides and
// volumes up to 64, the sample offset beyond the end, retriggers, tremolo,
// and the traversal commands (per-channel pattern loop, break, delay).
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "music/mixer.h"
#include "music/mod_builder.h"
#include "music/module_loader.h"
#include "music/module_records.h"
#include "music/player.h"

namespace {

using Values = std::vector<int>;

class PlainHarness {
 public:
  explicit PlainHarness(const ModBuilder& builder) {
    const std::vector<uint8_t> bytes = builder.Build();
    std::string reason;
    EXPECT_EQ(LoadModuleFromMemory(bytes.data(), bytes.size(), &module, &reason), 0) << reason;
    if (module == nullptr) return;
    mixer.SetRampFrames(0);
    PlayerSetDevice(&mixer);
    EXPECT_EQ(PlayerStart(module, nullptr, 0, &state), 0);
    PlayerSetDevice(nullptr);
  }
  ~PlainHarness() {
    PlayerStop(state);
    FreeModule(module);
  }
  PlainHarness(const PlainHarness&) = delete;
  PlainHarness& operator=(const PlainHarness&) = delete;

  // Ticks to row 0, then records `read` after its tick and the next ones.
  Values RowAndTicks(int ticks, const std::function<int(PlainHarness&)>& read) {
    Values values;
    if (state == nullptr) return values;
    for (int i = 0; i < state->speed - 1; ++i) EXPECT_EQ(PlayerTickState(state), 0);
    for (int i = 0; i < ticks; ++i) {
      EXPECT_EQ(PlayerTickState(state), 0);
      values.push_back(read(*this));
    }
    return values;
  }
  PlayChannel& channel() { return state->channels[0]; }

  Module* module = nullptr;
  Mixer mixer;
  PlayState* state = nullptr;
};

int Volume(PlainHarness& h) {
  return h.channel().volume;
}
int OutputVolume(PlainHarness& h) {
  return h.channel().output_volume;
}
int Period(PlainHarness& h) {
  return static_cast<int>(h.channel().period);
}

// Row 0: C-4 of sample 1 (volume 32) with the effect; row 1 the second
// effect without a note (speed 4).
ModBuilder TwoRows(int effect, int parameter, int effect2 = 0, int parameter2 = 0) {
  ModBuilder builder;
  builder.samples[0].volume = 32;
  builder.samples[0].length_bytes = 4000;
  builder.Cell({.row = 0, .period = 428, .sample = 1, .effect = effect, .parameter = parameter});
  builder.Cell({.row = 1, .effect = effect2, .parameter = parameter2});
  builder.Cell({.row = 0, .channel = 1, .effect = 0xF, .parameter = 4});
  return builder;
}

TEST(PlainRules, VolumeCommands) {
  const struct {
    const char* what;
    int effect, parameter, effect2, parameter2;
    Values expected;  // volume after row 0's 4 ticks and row 1's 4 ticks
  } cases[] = {
      {"A04 slides down on later ticks", 0xA, 0x04, 0, 0, {32, 28, 24, 20, 20, 20, 20, 20}},
      {"A34: the up nibble wins", 0xA, 0x34, 0, 0, {32, 35, 38, 41, 41, 41, 41, 41}},
      {"A00 has no memory", 0xA, 0x04, 0xA, 0x00, {32, 28, 24, 20, 20, 20, 20, 20}},
      {"volume reaches 64", 0xA, 0xF0, 0, 0, {32, 47, 62, 64, 64, 64, 64, 64}},
      {"C70 is 64", 0xC, 0x70, 0, 0, {64, 64, 64, 64, 64, 64, 64, 64}},
      {"EA5 and EB3 on the row's tick", 0xE, 0xA5, 0xE, 0xB3, {37, 37, 37, 37, 34, 34, 34, 34}},
      {"EC2 cuts on tick 2", 0xE, 0xC2, 0, 0, {32, 32, 0, 0, 0, 0, 0, 0}},
      {"6xy slides without a row step", 0x6, 0x02, 0, 0, {32, 30, 28, 26, 26, 26, 26, 26}},
  };
  for (const auto& c : cases) {
    PlainHarness harness(TwoRows(c.effect, c.parameter, c.effect2, c.parameter2));
    EXPECT_EQ(harness.RowAndTicks(8, Volume), c.expected) << c.what;
  }
}

TEST(PlainRules, PitchCommands) {
  const struct {
    const char* what;
    int effect, parameter, effect2, parameter2;
    Values expected;  // period after each tick (C-4 is 1712, four times Amiga's 428)
  } cases[] = {
      {"101 slides up 4 per later tick", 0x1, 0x01, 0, 0, {1712, 1708, 1704, 1700, 1700, 1700}},
      {"100 has no memory", 0x1, 0x02, 0x1, 0x00, {1712, 1704, 1696, 1688, 1688, 1688}},
      {"1F0 is a fast slide, not a fine one", 0x1, 0xF0, 0, 0, {1712, 752, 452, 452, 452, 452}},
      {"2xx stops at the lowest note", 0x2, 0xFF, 0, 0, {1712, 2732, 3424, 3424, 3424, 3424}},
      {"E12 and E23 on the row's tick", 0xE, 0x12, 0xE, 0x23, {1704, 1704, 1704, 1704, 1716, 1716}},
  };
  for (const auto& c : cases) {
    PlainHarness harness(TwoRows(c.effect, c.parameter, c.effect2, c.parameter2));
    EXPECT_EQ(harness.RowAndTicks(6, Period), c.expected) << c.what;
  }
}

TEST(PlainRules, TremoloMovesOnlyWhatIsHeard) {
  PlainHarness harness(TwoRows(0x7, 0x48));
  const Values heard = harness.RowAndTicks(5, OutputVolume);
  // Depth 8, speed 4 over the sine: 32 on the row, then 32 + wave x 8 / 64
  // (wave 0, 97, 180); the next row, without tremolo, is heard at 32 again.
  EXPECT_EQ(heard, (Values{32, 32, 44, 54, 32}));
  EXPECT_EQ(harness.channel().volume, 32);
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
    builder.Cell({.row = 1, .period = 428});  // a note without 9xx
    PlainHarness harness(builder);
    harness.RowAndTicks(1, Volume);
    EXPECT_EQ(harness.mixer.channel_playing(0), c.playing) << c.what;
    if (c.playing) {
      EXPECT_EQ(harness.mixer.channel_position(0), c.position) << c.what;
    }
    harness.RowAndTicks(1, Volume);
    EXPECT_EQ(harness.mixer.channel_position(0), 0u) << c.what << ": the next note starts at 0";
  }
}

TEST(PlainRules, RetriggerRestartsEveryYTicks) {
  ModBuilder builder = TwoRows(0xE, 0x92);
  builder.samples[0].length_bytes = 60000;
  PlainHarness harness(builder);
  harness.mixer.Configure(44100, kMixerStereo, 0);
  harness.mixer.SetRampFrames(0);
  std::vector<int16_t> out(2 * 2000);
  for (int tick = 0; tick < 5; ++tick) EXPECT_EQ(PlayerTickState(harness.state), 0);  // lead-in
  Values positions;
  for (int tick = 0; tick < 4; ++tick) {
    EXPECT_EQ(PlayerTickState(harness.state), 0);
    positions.push_back(static_cast<int>(harness.mixer.channel_position(0)));
    harness.mixer.Render(out.data(), 100, nullptr, nullptr);  // the sample moves on
  }
  // The row's tick starts the note, tick 2 restarts it, ticks 1 and 3 do not.
  EXPECT_EQ(positions[0], 0);
  EXPECT_GT(positions[1], 0);
  EXPECT_EQ(positions[2], 0);
  EXPECT_GT(positions[3], 0);
}

void Collect(const PlayStatus& status, void* rows) {
  static_cast<std::vector<std::pair<int, int>>*>(rows)->emplace_back(status.position, status.row);
}

TEST(PlainRules, TraversalCommands) {
  using Rows = std::vector<std::pair<int, int>>;
  // Each song: orders 0, 1 of two patterns; the cells steer the rows.
  const struct {
    const char* what;
    std::vector<ModCell> cells;
    Rows first_rows;
  } cases[] = {
      {"D10 breaks to row 10 of the next order",
       {{.pattern = 0, .row = 1, .effect = 0xD, .parameter = 0x10}},
       {{0, 0}, {0, 1}, {1, 10}, {1, 11}}},
      {"D70 (row 70) breaks to row 0",
       {{.pattern = 0, .row = 1, .effect = 0xD, .parameter = 0x70}},
       {{0, 0}, {0, 1}, {1, 0}, {1, 1}}},
      {"loops on two channels keep their own start rows",
       {{.pattern = 0, .row = 1, .channel = 0, .effect = 0xE, .parameter = 0x60},
        {.pattern = 0, .row = 2, .channel = 0, .effect = 0xE, .parameter = 0x61},
        {.pattern = 0, .row = 3, .channel = 1, .effect = 0xE, .parameter = 0x61}},
       // Channel 1 has marked no row: its loop goes to row 0, where channel
       // 0's finished loop starts again.
       {{0, 0},
        {0, 1},
        {0, 2},
        {0, 1},
        {0, 2},
        {0, 3},
        {0, 0},
        {0, 1},
        {0, 2},
        {0, 1},
        {0, 2},
        {0, 3},
        {0, 4}}},
      {"B01 on the last order ends the song there",
       {{.pattern = 1, .row = 0, .effect = 0xB, .parameter = 0x00}},
       {{0, 0}, {0, 1}}},
  };
  for (const auto& c : cases) {
    ModBuilder builder;
    builder.orders = {0, 1};
    builder.pattern_blocks = 2;
    builder.cells = c.cells;
    const std::vector<uint8_t> bytes = builder.Build();
    Module* module = nullptr;
    ASSERT_EQ(LoadModuleFromMemory(bytes.data(), bytes.size(), &module, nullptr), 0);
    Rows rows;
    PlayerWalkSong(module, 200, Collect, &rows);
    FreeModule(module);
    ASSERT_GE(rows.size(), c.first_rows.size()) << c.what;
    EXPECT_EQ(Rows(rows.begin(), rows.begin() + static_cast<long>(c.first_rows.size())),
              c.first_rows)
        << c.what;
  }
}

}  // namespace
