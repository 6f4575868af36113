// The instrument rules: envelope values and positions under both trackers'
// rules, and what the device hears tick by tick from "Extended Module:"
// instruments (envelopes with sustain and loop, key off with and without a
// volume envelope, fade-out, instrument bytes without notes, panning
// envelopes, automatic vibrato). The expected values were worked out by hand
// and agree with libopenmpt's and libxmp's output for the same songs saved
// as files.
#include <gtest/gtest.h>

#include <vector>

#include "music/envelope.h"
#include "music/instrument_song.h"

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

constexpr uint8_t kC4 = 0x40, kC5 = 0x50;

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
    EXPECT_EQ(song.Track(24, [](const Mixer& m) { return m.channel_volume(0); }), c.volumes)
        << c.what;
  }
}

TEST(ExtendedInstruments, PanningEnvelopeAndAutomaticVibrato) {
  InstrumentSong song(kRulesExtended, {{0, kC4, 0}});
  song.instrument.panning_envelope = {kEnvelopeOn, 3, 0, 0, 0, 0, {0, 4, 8}, {-32, 32, 0}};
  song.sample.panning = 192;      // three quarters right: room for a quarter each way
  song.sample.vibrato_depth = 8;  // 8/64 semitone
  song.sample.vibrato_rate = 32;  // a period of 8 ticks
  song.Play(0);
  std::vector<int> rates;
  EXPECT_EQ(song.Track(9,
                       [&rates](const Mixer& m) {
                         rates.push_back(static_cast<int>(m.channel_rate_hz(0)));
                         return m.channel_panning(0);
                       }),
            (std::vector<int>{0, 16, 32, 48, 64, 56, 48, 40, 32}));
  // The vibrato lowers the pitch first: 8362 Hz moved by up to 8/64
  // semitone (the sine's 45 of 64 at an eighth of its period gives 5/64).
  EXPECT_EQ(rates, (std::vector<int>{8362, 8324, 8302, 8324, 8362, 8400, 8423, 8400, 8362}));
}

}  // namespace
