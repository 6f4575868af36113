// The "IMPM" rules' voices: new note actions and duplicate checks when the next
// note starts, S7x on past notes, on the sounding note's action and on the
// envelopes, and the filter's cutoff from the instrument, Zxx and the filter
// envelope.
#include <gtest/gtest.h>

#include <vector>

#include "music/instrument_song.h"

namespace {

constexpr uint8_t kC4 = 0x40, kD4 = 0x42, kNone = kNoteNone;

// An instrument whose volume envelope falls from 64 to 32 over 8 ticks and
// holds there, fading out an eighth a tick once released.
void ShapeInstrument(ModuleInstrument& instrument) {
  instrument.fadeout = 8192;
  instrument.volume_envelope = {kEnvelopeOn | kEnvelopeSustain, 2, 1, 1, 0, 0, {0, 8}, {64, 32}};
}

int BackgroundVoices(const PlayState& state) {
  int count = 0;
  for (const BackgroundVoice& slot : state.background) count += slot.in_use;
  return count;
}

TEST(NewNoteActions, SoundingNotesGoOnCutReleaseOrFade) {
  constexpr uint8_t kNoCommand = 0xFF;
  const struct {
    const char* what;
    uint8_t action, check, check_action, second_note, command_info;
    // After row 1 (the second note): background voices, released, fading;
    // after row 4 (S7x on row 2 when command_info is set): background voices.
    int voices, released, fading, voices_later;
  } cases[] = {
      {"cut", kNewNoteCut, 0, 0, kD4, kNoCommand, 0, 0, 0, 0},
      {"continue", kNewNoteContinue, 0, 0, kD4, kNoCommand, 1, 0, 0, 1},
      {"note off", kNewNoteOff, 0, 0, kD4, kNoCommand, 1, 1, 0, 1},
      // Fading an eighth a tick, the note is over after eight ticks.
      {"fade", kNewNoteFade, 0, 0, kD4, kNoCommand, 1, 0, 1, 0},
      {"the same note again is cut as a duplicate", kNewNoteContinue, kDuplicateCheckNote,
       kDuplicateActionCut, kC4, kNoCommand, 0, 0, 0, 0},
      {"another note is no duplicate", kNewNoteContinue, kDuplicateCheckNote, kDuplicateActionCut,
       kD4, kNoCommand, 1, 0, 0, 1},
      {"a duplicate sample is released", kNewNoteContinue, kDuplicateCheckSample,
       kDuplicateActionOff, kD4, kNoCommand, 1, 1, 0, 1},
      {"S70 cuts the past notes", kNewNoteContinue, 0, 0, kD4, 0, 1, 0, 0, 0},
      {"S71 releases them", kNewNoteContinue, 0, 0, kD4, 1, 1, 0, 0, 1},
  };
  for (const auto& c : cases) {
    std::vector<SongCell> cells = {{0, kC4, 0}, {1, c.second_note, 0}};
    if (c.command_info != kNoCommand)
      cells.push_back({2, kNone, kInstrumentNone, kCommandInstrumentControl, c.command_info});
    InstrumentSong song(kRulesImpulse, cells);
    ShapeInstrument(song.instrument);
    song.instrument.new_note_action = c.action;
    song.instrument.duplicate_check = c.check;
    song.instrument.duplicate_action = c.check_action;
    song.Play(4);
    const BackgroundVoice* slot = nullptr;
    for (const BackgroundVoice& candidate : song.state->background)
      if (candidate.in_use) slot = &candidate;
    EXPECT_EQ(std::vector<int>({BackgroundVoices(*song.state), slot ? slot->voice.released : 0,
                                slot ? slot->voice.fading : 0}),
              std::vector<int>({c.voices, c.released, c.fading}))
        << c.what;
    // The note that went on still sounds beside the channel's new one.
    EXPECT_EQ(song.mixer.active_voices(), 1 + c.voices) << c.what;
    song.Play(9);
    EXPECT_EQ(BackgroundVoices(*song.state), c.voices_later) << c.what;
    EXPECT_EQ(song.mixer.active_voices(), 1 + c.voices_later) << c.what;
    PlayerStop(song.state);
    song.state = nullptr;
    EXPECT_EQ(song.mixer.active_voices(), 1) << c.what;  // the device's voices given back
  }
}

TEST(NewNoteActions, CommandsOnTheNotesRowSwitchEnvelopesAndItsAction) {
  // S77 switches the volume envelope off (full volume on tick 4 instead of
  // 48 on its slope), S78 on; S73 makes the note's action a cut.
  const struct {
    uint8_t info;
    int instrument_volume_tick4, voices;
  } cases[] = {{7, 64, 1}, {8, 48, 1}, {3, 48, 0}};
  for (const auto& c : cases) {
    InstrumentSong song(kRulesImpulse,
                        {{0, kC4, 0, kCommandInstrumentControl, c.info}, {2, kD4, 0}});
    ShapeInstrument(song.instrument);
    song.instrument.new_note_action = kNewNoteContinue;
    song.Play(5);
    EXPECT_EQ(song.state->channels[0].instrument_volume, c.instrument_volume_tick4) << int(c.info);
    song.Play(2);  // row 2: the next note
    EXPECT_EQ(BackgroundVoices(*song.state), c.voices) << int(c.info);
  }
}

TEST(ImpulseFilter, CutoffFromInstrumentCommandAndEnvelope) {
  const struct {
    const char* what;
    uint8_t instrument_cutoff, command;
    bool envelope;
    std::vector<int> cutoffs;  // ticks 0..4 of row 0
  } cases[] = {
      {"no filter", 255, kCommandNone, false, {127, 127, 127, 127, 127}},
      {"the instrument's", 64, kCommandNone, false, {64, 64, 64, 64, 64}},
      {"Zxx on the note's row wins", 64, kCommandFilterCutoff, false, {32, 32, 32, 32, 32}},
      // The filter envelope runs -32 to 32 over ticks 0..4: none to all of 100.
      {"the envelope scales it", 100, kCommandNone, true, {0, 25, 50, 75, 100}},
  };
  for (const auto& c : cases) {
    InstrumentSong song(kRulesImpulse, {{0, kC4, 0, c.command, 0x20}});
    song.instrument.filter_cutoff = c.instrument_cutoff;
    if (c.envelope) {
      song.instrument.pitch_envelope = {
          kEnvelopeOn | kEnvelopeFilter, 2, 0, 0, 0, 0, {0, 4}, {-32, 32}};
    }
    song.Play(0);
    EXPECT_EQ(song.Track(5, [](const Mixer& m) { return m.channel_filter_cutoff(0); }), c.cutoffs)
        << c.what;
  }
}

}  // namespace
