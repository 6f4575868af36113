// The instrument rules: envelopes under both trackers' rules; what the device
// hears tick by tick from "Extended Module:" instruments (worked out by hand,
// agreeing with libopenmpt and libxmp on the same songs saved as files); the
// "IMPM" new note actions and filter; the linear frequency table of both.
#include <gtest/gtest.h>

#include <vector>

#include "music/envelope.h"
#include "music/instrument_song.h"
#include "music/it_builder.h"
#include "music/mod_builder.h"

namespace {

TEST(Envelopes, ValuesFollowSustainAndLoopUnderBothRules) {
  constexpr uint8_t kOn = kEnvelopeOn, kSustain = kEnvelopeSustain, kLoop = kEnvelopeLoop;
  const struct {
    const char* what;
    uint8_t flags, sustain_start, sustain_end, loop_start, loop_end;
    bool impulse, held;
    // The whole units heard on ticks 0, 1, ... of the points (0, 0), (2, 8),
    // (4, 16), (6, 4); the extended rules' sustain point and loop are also
    // played through the player below.
    std::vector<int> values;
  } cases[] = {
      // clang-format off
      {"a released sustain runs on",
       kOn | kSustain, 2, 2, 0, 0, false, false, {0, 4, 8, 12, 16, 10, 4, 4}},
      {"impulse loop plays its end point",
       kOn | kLoop, 0, 0, 1, 2, true, true, {0, 4, 8, 12, 16, 8, 12, 16, 8}},
      {"impulse sustain range while held",
       kOn | kSustain, 1, 3, 0, 0, true, true, {0, 4, 8, 12, 16, 10, 4, 8, 12}},
      {"extended loop ending on the released sustain point lets go",
       kOn | kSustain | kLoop, 2, 2, 1, 2, false, false, {0, 4, 8, 12, 16, 10, 4}},
      {"extended loop jumps back on reaching its end point",
       kOn | kLoop, 0, 0, 1, 2, false, true, {0, 4, 8, 12, 8, 12, 8, 12}},
      {"single-point loop holds", kOn | kLoop, 0, 0, 2, 2, false, false, {0, 4, 8, 12, 16, 16, 16}},
      // clang-format on
  };
  for (const auto& c : cases) {
    const ModuleEnvelope envelope = {c.flags,      4,          c.sustain_start, c.sustain_end,
                                     c.loop_start, c.loop_end, {0, 2, 4, 6},    {0, 8, 16, 4}};
    const EnvelopeRules rules = c.impulse ? EnvelopeRules::kImpulse : EnvelopeRules::kExtended;
    std::vector<int> heard;
    uint16_t position = 0;
    for (size_t tick = 0; tick < c.values.size(); ++tick) {
      heard.push_back(EnvelopeValue(envelope, position) >> kEnvelopeValueBits);
      position = EnvelopeNextPosition(envelope, position, c.held, rules);
    }
    EXPECT_EQ(heard, c.values) << c.what;
  }
}

constexpr uint8_t kC4 = 0x40, kD4 = 0x42, kC5 = 0x50, kNone = kNoteNone;

TEST(ExtendedInstruments, VolumeEnvelopesKeyOffAndFadeOut) {
  // Envelope 64, 32 at tick 4, 48 at 8, 0 at 12; a row is 3 ticks; fade-out
  // 1/16 a tick.
  const ModuleEnvelope shape = {0, 4, 2, 2, 1, 2, {0, 4, 8, 12}, {64, 32, 48, 0}};
  constexpr uint8_t kOn = kEnvelopeOn, kSustain = kEnvelopeSustain, kLoop = kEnvelopeLoop;
  const struct {
    const char* what;
    uint8_t flags;
    std::vector<SongCell> cells;
    std::vector<int> volumes;  // ticks 0..23
  } cases[] = {
      // clang-format off
      // Held at 48 (point 2) until the key off on row 6, then the envelope
      // goes on to 0 while the fade-out takes its share.
      {"sustain, key off, fade", kOn | kSustain, {{0, kC4, 0}, {6, kNoteKeyOff}},
       {64, 56, 48, 40, 32, 36, 40, 44, 48, 48, 48, 48,
        48, 48, 48, 48, 48, 48, 45, 32, 20, 9, 0, 0}},
      // Loop over points 1..2 (ticks 4..7), released on row 4: the loop
      // goes on, faded.
      {"loop, key off", kOn | kLoop, {{0, kC4, 0}, {4, kNoteKeyOff}},
       {64, 56, 48, 40, 32, 36, 40, 44, 32, 36, 40, 44,
        30, 32, 33, 33, 22, 23, 23, 22, 14, 14, 13, 11}},
      // Without a volume envelope a key off silences at once; an
      // instrument byte alone brings the volume back.
      {"no envelope: key off cuts, instrument byte restores", 0,
       {{0, kC4, 0}, {2, kNoteKeyOff}, {4, kNoteNone, 0}},
       {64, 64, 64, 64, 64, 64, 0, 0, 0, 0, 0, 0,
        64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64}},
      // An instrument byte restarts the envelope, a note without one does
      // not, tone portamento with one does.
      {"instrument bytes restart the envelope", kOn | kSustain,
       {{0, kC4, 0}, {4, kNoteNone, 0}, {5, kC5}, {7, kNoteNone, 0, kCommandTonePortamento, 4}},
       {64, 56, 48, 40, 32, 36, 40, 44, 48, 48, 48, 48,
        64, 56, 48, 40, 32, 36, 40, 44, 48, 64, 56, 48}},
      // clang-format on
  };
  for (const auto& c : cases) {
    InstrumentSong song(kRulesExtended, c.cells);
    song.instrument.volume_envelope = shape;
    song.instrument.volume_envelope.flags = c.flags;
    song.instrument.fadeout = 4096;
    song.Play(0);
    EXPECT_EQ(song.Track(24, kDeviceVolume), c.volumes) << c.what;
  }
}

TEST(ExtendedInstruments, PanningEnvelopeAndAutomaticVibrato) {
  InstrumentSong song(kRulesExtended, {{0, kC4, 0}});
  song.instrument.panning_envelope = {kEnvelopeOn, 3, 0, 0, 0, 0, {0, 4, 8}, {-32, 32, 0}};
  song.sample.panning = 192;      // three quarters right: room for a quarter each way
  song.sample.vibrato_depth = 8;  // 8/64 semitone
  song.sample.vibrato_rate = 32;  // a period of 8 ticks
  song.Play(0);
  std::vector<int> pannings, rates;
  for (int tick = 0; tick < 9; ++tick) {
    song.Play(1);
    pannings.push_back(song.mixer.channel_panning(0));
    rates.push_back(static_cast<int>(song.mixer.channel_rate_hz(0)));
  }
  EXPECT_EQ(pannings, (std::vector<int>{0, 16, 32, 48, 64, 56, 48, 40, 32}));
  // The vibrato lowers the pitch first: 8362 Hz moved by up to 8/64
  // semitone (the sine's 45 of 64 at an eighth of its period gives 5/64).
  EXPECT_EQ(rates, (std::vector<int>{8362, 8324, 8302, 8324, 8362, 8400, 8423, 8400, 8362}));
}

// The "IMPM" rules' voices: new note actions and duplicate checks when the
// next note starts, S7x on past notes, on the sounding note's action and on
// the envelopes, and the filter's cutoff from the instrument, Zxx and the
// filter envelope.

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
    EXPECT_EQ(song.Track(5, kCutoff), c.cutoffs) << c.what;
  }
}

// The linear frequency table: slides move a linear period (1/64 semitone a
// unit, C-4 at 4608) and the device plays 8363 x 2^((4608 - period) / 768)
// for a sample whose middle C plays at 8363 Hz.
TEST(LinearFrequency, ExtendedSlidesVibratoAndArpeggioMoveInEqualSteps) {
  // Speed 3. Portamento 4608, 4576, 4544; tone portamento by 48 towards
  // A#-3; vibrato 0 and +31 around 4640; arpeggio on D-4 (4480, -448, -256:
  // at speed 3 the ticks count down to y first); portamento by 24 to 4432;
  // arpeggio from the semitone at or below, 4480;
  // fine -16; extra-fine -4.
  InstrumentSong song(kRulesExtended,
                      {{0, 0x40, 0, kCommandPortamentoUp, 0x08},
                       {1, 0x3A, kInstrumentNone, kCommandTonePortamento, 0x0C},
                       {2, kNoteNone, kInstrumentNone, kCommandVibrato, 0xF4},
                       {3, 0x42, kInstrumentNone, kCommandArpeggio, 0x47},
                       {4, kNoteNone, kInstrumentNone, kCommandPortamentoUp, 6},
                       {5, kNoteNone, kInstrumentNone, kCommandArpeggio, 0x47},
                       {6, kNoteNone, kInstrumentNone, kCommandFinePortamentoUp, 4},
                       {7, kNoteNone, kInstrumentNone, kCommandExtraFinePortamentoUp, 4}});
  song.module.frequency_model = kFrequencyLinear;
  song.Play(0);
  EXPECT_EQ(song.Track(24, kRate),
            (std::vector<int>{8363,  8608,  8860,  8860,  8485, 8125, 8125, 8125,
                              7901,  9387,  14065, 11827, 9387, 9593, 9803, 9803,
                              14065, 11827, 9945,  9945,  9945, 9981, 9981, 9981}));
}

TEST(LinearFrequency, ImpulseSlidesAndArpeggioMoveInEqualSteps) {
  // Speed 4. C-5 F08: 4608 .. 4512; FF4 -16; FE4 -4; J47 from the slid
  // pitch itself: 4492 - 256, - 448.
  ItBuilder it;
  it.flags = 1 | 8;  // stereo, linear
  it.frames = 8000;
  it.cells = {{0, 0, 60, 1, -1, 6, 0x08},
              {1, 0, -1, 0, -1, 6, 0xF4},
              {2, 0, -1, 0, -1, 6, 0xE4},
              {3, 0, -1, 0, -1, 10, 0x47}};
  Playing playing(it.Build());
  ASSERT_EQ(playing.module->frequency_model, kFrequencyLinear);
  EXPECT_EQ(playing.RowAndTicks(16, kRate),
            (std::vector<int>{8363, 8608, 8860, 9120, 9253, 9253, 9253, 9253, 9286, 9286, 9286,
                              9286, 9286, 11700, 13913, 9286}));
}

}  // namespace
