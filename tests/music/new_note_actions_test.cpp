// The "IMPM" rules' new note actions: a channel's sounding note is cut, goes
// on, is released or fades on a background voice when the channel's next
// note starts; duplicate checks act on earlier notes of the same channel;
// S7x acts on past notes, changes the sounding note's action and switches
// envelopes; the filter's cutoff comes from the instrument, Zxx and the
// filter envelope. Played on a module built in memory: one looping sample,
// one instrument with a sustained volume envelope, speed 3.
#include <gtest/gtest.h>

#include <vector>

#include "music/mixer.h"
#include "music/module_records.h"
#include "music/player.h"

namespace {

struct ImpulseSong {
  int8_t data[256];
  ModuleSample sample{};
  ModuleSample* samples[1] = {&sample};
  ModuleInstrument instrument{};
  ModuleInstrument* instruments[1] = {&instrument};
  std::vector<uint8_t> rows;
  ModulePattern pattern{};
  ModulePattern* patterns[1] = {&pattern};
  uint16_t orders[1] = {0};
  Module module{};

  // rows: the packed rows of channel 0 (see module.h), 16 rows in all.
  explicit ImpulseSong(std::vector<uint8_t> packed) : rows(std::move(packed)) {
    for (int i = 0; i < 256; ++i) data[i] = static_cast<int8_t>(i % 32 < 16 ? 64 : -64);
    SetUpPlainSample(sample);
    sample.data = data;
    sample.sample_type = 1;
    sample.length = sample.loop_end = 256;
    sample.loop_mode = kLoopForward;
    sample.volume = 64;
    sample.rate_hz = 8363;
    SetUpPlainInstrument(instrument, 0);
    instrument.sample = &sample;
    instrument.sample_count = instrument.used = 1;
    instrument.fadeout = 8192;  // an eighth a tick
    ModuleEnvelope& envelope = instrument.volume_envelope;
    envelope = {kEnvelopeOn | kEnvelopeSustain, 2, 1, 1, 0, 0, {0, 8}, {64, 32}};
    rows.resize(rows.size() + 16, 0);  // the rows not given are empty
    pattern = {static_cast<int32_t>(kModulePatternHeadBytes + rows.size()), 16, rows.data()};
    module.rules = kRulesImpulse;
    module.song_length = module.instrument_count = module.sample_count = module.pattern_count = 1;
    module.channel_count = 2;
    module.master_volume = 64;
    module.speed = 3;
    module.tempo = 125;
    module.panning[0] = module.panning[1] = 64;
    module.orders = orders;
    module.instruments = instruments;
    module.samples = samples;
    module.patterns = patterns;
  }
};

int InUse(const PlayState& state) {
  int count = 0;
  for (const BackgroundVoice& slot : state.background) count += slot.in_use;
  return count;
}

constexpr uint8_t kC4 = 0x40, kD4 = 0x42;

TEST(NewNoteActions, SoundingNotesGoOnCutReleaseOrFade) {
  const struct {
    const char* what;
    uint8_t action, check, check_action, second_note, command_info;
    // After row 1 (the second note): background voices, released, fading;
    // after row 2 (S7x when command_info is set, else nothing): background voices.
    int voices, released, fading, voices_later;
  } cases[] = {
      {"cut", kNewNoteCut, 0, 0, kD4, 0xFF, 0, 0, 0, 0},
      {"continue", kNewNoteContinue, 0, 0, kD4, 0xFF, 1, 0, 0, 1},
      {"note off", kNewNoteOff, 0, 0, kD4, 0xFF, 1, 1, 0, 1},
      // Fading an eighth a tick, the note is over after eight ticks.
      {"fade", kNewNoteFade, 0, 0, kD4, 0xFF, 1, 0, 1, 0},
      {"the same note again is cut as a duplicate", kNewNoteContinue, kDuplicateCheckNote,
       kDuplicateActionCut, kC4, 0xFF, 0, 0, 0, 0},
      {"another note is no duplicate", kNewNoteContinue, kDuplicateCheckNote, kDuplicateActionCut,
       kD4, 0xFF, 1, 0, 0, 1},
      {"a duplicate sample is released", kNewNoteContinue, kDuplicateCheckSample,
       kDuplicateActionOff, kD4, 0xFF, 1, 1, 0, 1},
      {"S70 cuts the past notes", kNewNoteContinue, 0, 0, kD4, 0, 1, 0, 0, 0},
      {"S71 releases them", kNewNoteContinue, 0, 0, kD4, 1, 1, 0, 0, 1},
  };
  for (const auto& c : cases) {
    // Row 0: C-4; row 1: the second note; row 2: S7x on channel 0.
    ImpulseSong song({0x20, kC4, 0, 0, 0x20, c.second_note, 0, 0, 0x80, kCommandInstrumentControl,
                      c.command_info, 0});
    if (c.command_info == 0xFF) song.rows[8] = 0;  // no command: an empty row
    song.instrument.new_note_action = c.action;
    song.instrument.duplicate_check = c.check;
    song.instrument.duplicate_action = c.check_action;
    Mixer mixer;
    mixer.SetRampFrames(0);
    PlayerSetDevice(&mixer);
    PlayState* state = nullptr;
    ASSERT_EQ(PlayerStart(&song.module, nullptr, 0, &state), 0);
    PlayerSetDevice(nullptr);
    for (int tick = 0; tick < 2 + 3 + 1; ++tick) ASSERT_EQ(PlayerTickState(state), 0);
    const BackgroundVoice* slot = nullptr;
    for (const BackgroundVoice& candidate : state->background)
      if (candidate.in_use) slot = &candidate;
    EXPECT_EQ(std::vector<int>({InUse(*state), slot != nullptr ? slot->voice.released : 0,
                                slot != nullptr ? slot->voice.fading : 0}),
              std::vector<int>({c.voices, c.released, c.fading}))
        << c.what;
    // The note that went on still sounds beside the channel's new one.
    EXPECT_EQ(mixer.active_voices(), 1 + c.voices) << c.what;
    for (int tick = 0; tick < 9; ++tick) ASSERT_EQ(PlayerTickState(state), 0);
    EXPECT_EQ(InUse(*state), c.voices_later) << c.what;
    EXPECT_EQ(mixer.active_voices(), 1 + c.voices_later) << c.what;
    PlayerStop(state);
    EXPECT_EQ(mixer.active_voices(), 1) << c.what;  // the device's voices given back
  }
}

TEST(NewNoteActions, CommandsSwitchEnvelopesAndTheSoundingNotesAction) {
  // S77 switches the volume envelope off (full volume instead of its 64 to
  // 32 slope), S78 on again; S73 makes the sounding note's action a cut.
  const struct {
    uint8_t info;
    int instrument_volume_tick4, voices;
  } cases[] = {{7, 64, 1}, {8, 48, 1}, {3, 48, 0}};
  for (const auto& c : cases) {
    // Row 0: C-4 with S7x; row 2: D-4.
    ImpulseSong song(
        {0x20 | 0x80, kC4, 0, kCommandInstrumentControl, c.info, 0, 0, 0x20, kD4, 0, 0});
    song.instrument.new_note_action = kNewNoteContinue;
    Mixer mixer;
    PlayerSetDevice(&mixer);
    PlayState* state = nullptr;
    ASSERT_EQ(PlayerStart(&song.module, nullptr, 0, &state), 0);
    PlayerSetDevice(nullptr);
    for (int tick = 0; tick < 2 + 5; ++tick) ASSERT_EQ(PlayerTickState(state), 0);  // tick 4
    EXPECT_EQ(state->channels[0].instrument_volume, c.instrument_volume_tick4) << int(c.info);
    for (int tick = 0; tick < 2; ++tick) ASSERT_EQ(PlayerTickState(state), 0);  // row 2
    EXPECT_EQ(InUse(*state), c.voices) << int(c.info);
    PlayerStop(state);
  }
}

TEST(ImpulseFilter, CutoffFromInstrumentCommandAndEnvelope) {
  const struct {
    const char* what;
    int instrument_cutoff, command_info;
    bool envelope;
    std::vector<int> cutoffs;  // ticks 0..4 of row 0
  } cases[] = {
      {"no filter", 255, -1, false, {127, 127, 127, 127, 127}},
      {"the instrument's", 64, -1, false, {64, 64, 64, 64, 64}},
      {"Zxx on the note's row wins", 64, 0x20, false, {32, 32, 32, 32, 32}},
      // The filter envelope runs -32 to 32 over ticks 0..4: none to all of 100.
      {"the envelope scales it", 100, -1, true, {0, 25, 50, 75, 100}},
  };
  for (const auto& c : cases) {
    ImpulseSong song({0x20 | 0x80, kC4, 0, kCommandFilterCutoff, uint8_t(c.command_info), 0});
    if (c.command_info < 0) song.rows[0] = 0x20, song.rows[3] = 0, song.rows[4] = 0;
    song.instrument.filter_cutoff = static_cast<uint8_t>(c.instrument_cutoff);
    if (c.envelope) {
      song.instrument.pitch_envelope = {
          kEnvelopeOn | kEnvelopeFilter, 2, 0, 0, 0, 0, {0, 4}, {-32, 32}};
    }
    Mixer mixer;
    PlayerSetDevice(&mixer);
    PlayState* state = nullptr;
    ASSERT_EQ(PlayerStart(&song.module, nullptr, 0, &state), 0);
    PlayerSetDevice(nullptr);
    std::vector<int> cutoffs;
    for (int tick = 0; tick < 2 + 5; ++tick) {
      ASSERT_EQ(PlayerTickState(state), 0);
      if (tick >= 2) cutoffs.push_back(mixer.channel_filter_cutoff(0));
    }
    EXPECT_EQ(cutoffs, c.cutoffs) << c.what;
    PlayerStop(state);
  }
}

}  // namespace
