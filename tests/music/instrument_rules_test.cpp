// The instrument rules: envelope values and positions under both trackers'
// rules, and what the device hears tick by tick from "Extended Module:"
// instruments (envelopes with sustain and loop, key off with and without a
// volume envelope, fade-out, instrument bytes without notes, panning
// envelopes, automatic vibrato). The expected values were worked out by hand
// and agree with libopenmpt's and libxmp's output for the same files.
#include <gtest/gtest.h>

#include <vector>

#include "music/envelope.h"
#include "music/mod_builder.h"
#include "music/xm_builder.h"

namespace {

ModuleEnvelope MakeEnvelope(std::vector<std::pair<int, int>> points, uint8_t flags,
                            int sustain_start, int sustain_end, int loop_start, int loop_end) {
  ModuleEnvelope envelope{};
  envelope.flags = flags;
  envelope.point_count = static_cast<uint8_t>(points.size());
  for (size_t i = 0; i < points.size(); ++i) {
    envelope.ticks[i] = static_cast<uint16_t>(points[i].first);
    envelope.values[i] = static_cast<int8_t>(points[i].second);
  }
  envelope.sustain_start = static_cast<uint8_t>(sustain_start);
  envelope.sustain_end = static_cast<uint8_t>(sustain_end);
  envelope.loop_start = static_cast<uint8_t>(loop_start);
  envelope.loop_end = static_cast<uint8_t>(loop_end);
  return envelope;
}

TEST(Envelopes, ValuesFollowSustainAndLoopUnderBothRules) {
  const std::vector<std::pair<int, int>> points = {{0, 0}, {2, 8}, {4, 16}, {6, 4}};
  constexpr uint8_t kOn = kEnvelopeOn, kSustain = kEnvelopeSustain, kLoop = kEnvelopeLoop;
  const struct {
    const char* what;
    ModuleEnvelope envelope;
    EnvelopeRules rules;
    bool held;
    std::vector<int> values;  // the whole units heard on ticks 0, 1, ...
  } cases[] = {
      {"plain run, then the last point",
       MakeEnvelope(points, kOn, 0, 0, 0, 0),
       EnvelopeRules::kExtended,
       true,
       {0, 4, 8, 12, 16, 10, 4, 4, 4}},
      {"held at a sustain point",
       MakeEnvelope(points, kOn | kSustain, 2, 2, 0, 0),
       EnvelopeRules::kExtended,
       true,
       {0, 4, 8, 12, 16, 16, 16}},
      {"a released sustain runs on",
       MakeEnvelope(points, kOn | kSustain, 2, 2, 0, 0),
       EnvelopeRules::kExtended,
       false,
       {0, 4, 8, 12, 16, 10, 4}},
      {"extended loop: the end point is not heard",
       MakeEnvelope(points, kOn | kLoop, 0, 0, 1, 2),
       EnvelopeRules::kExtended,
       true,
       {0, 4, 8, 12, 8, 12, 8}},
      {"impulse loop plays its end point",
       MakeEnvelope(points, kOn | kLoop, 0, 0, 1, 2),
       EnvelopeRules::kImpulse,
       true,
       {0, 4, 8, 12, 16, 8, 12, 16, 8}},
      {"impulse sustain range while held",
       MakeEnvelope(points, kOn | kSustain, 1, 3, 0, 0),
       EnvelopeRules::kImpulse,
       true,
       {0, 4, 8, 12, 16, 10, 4, 8, 12}},
      {"extended loop ending on the released sustain point lets go",
       MakeEnvelope(points, kOn | kSustain | kLoop, 2, 2, 1, 2),
       EnvelopeRules::kExtended,
       false,
       {0, 4, 8, 12, 16, 10, 4}},
      {"single-point loop holds",
       MakeEnvelope(points, kOn | kLoop, 0, 0, 2, 2),
       EnvelopeRules::kExtended,
       false,
       {0, 4, 8, 12, 16, 16, 16}},
  };
  for (const auto& c : cases) {
    std::vector<int> heard;
    uint16_t position = 0;
    for (size_t tick = 0; tick < c.values.size(); ++tick) {
      heard.push_back(EnvelopeValue(c.envelope, position) >> kEnvelopeValueBits);
      position = EnvelopeNextPosition(c.envelope, position, c.held, c.rules);
    }
    EXPECT_EQ(heard, c.values) << c.what;
  }
}

// Plays the module and reads channel 0 of the device after each tick,
// starting with the first row's tick.
std::vector<int> DeviceTrack(const XmBuilder& builder, int ticks, int (*read)(const Mixer&)) {
  Playing playing(builder.Build());
  std::vector<int> values;
  if (playing.state == nullptr) return values;
  for (int tick = 1; tick < builder.speed; ++tick) PlayerTickState(playing.state);  // lead-in
  for (int tick = 0; tick < ticks; ++tick) {
    EXPECT_EQ(PlayerTickState(playing.state), 0);
    values.push_back(read(playing.mixer));
  }
  return values;
}

TEST(ExtendedInstruments, VolumeEnvelopesKeyOffAndFadeOut) {
  // Envelope 64, 32 at tick 4, 48 at 8, 0 at 12; speed 3 (a row is 3 ticks).
  const XmEnvelope shape = {{{0, 64}, {4, 32}, {8, 48}, {12, 0}}, 1, 2, 0, 0};
  const struct {
    const char* what;
    int flags, sustain, loop_start, loop_end;
    std::vector<XmCell> cells;
    std::vector<int> volumes;  // ticks 0..23
  } cases[] = {
      // clang-format off
      // Held at 48 (point 2) until the key off on row 6, then the envelope
      // goes on to 0 while the fade-out (1/16 a tick) takes its share.
      {"sustain, key off, fade", 1 | 2, 2, 0, 0, {{0, 0, 49, 1}, {6, 0, 97}},
       {64, 56, 48, 40, 32, 36, 40, 44, 48, 48, 48, 48,
        48, 48, 48, 48, 48, 48, 45, 32, 20, 9, 0, 0}},
      // Loop over points 1..2 (ticks 4..7), released on row 4: the loop
      // goes on, faded.
      {"loop, key off", 1 | 4, 0, 1, 2, {{0, 0, 49, 1}, {4, 0, 97}},
       {64, 56, 48, 40, 32, 36, 40, 44, 32, 36, 40, 44,
        30, 32, 33, 33, 22, 23, 23, 22, 14, 14, 13, 11}},
      // Without a volume envelope a key off silences at once; an
      // instrument byte alone brings the volume back.
      {"no envelope: key off cuts, instrument byte restores", 0, 0, 0, 0,
       {{0, 0, 49, 1}, {2, 0, 97}, {4, 0, 0, 1}},
       {64, 64, 64, 64, 64, 64, 0, 0, 0, 0, 0, 0,
        64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64}},
      // An instrument byte restarts the envelope, a note without one does
      // not, tone portamento with one does.
      {"instrument bytes restart the envelope", 1 | 2, 2, 0, 0,
       {{0, 0, 49, 1}, {4, 0, 0, 1}, {5, 0, 61}, {7, 0, 0, 1, 0, 3, 4}},
       {64, 56, 48, 40, 32, 36, 40, 44, 48, 48, 48, 48,
        64, 56, 48, 40, 32, 36, 40, 44, 48, 64, 56, 48}},
      // clang-format on
  };
  for (const auto& c : cases) {
    XmBuilder builder;
    builder.instruments[0].volume = shape;
    builder.instruments[0].volume.flags = c.flags;
    builder.instruments[0].volume.sustain = c.sustain;
    builder.instruments[0].volume.loop_start = c.loop_start;
    builder.instruments[0].volume.loop_end = c.loop_end;
    builder.instruments[0].fadeout = 0x800;
    builder.cells = c.cells;
    EXPECT_EQ(DeviceTrack(builder, 24, [](const Mixer& m) { return m.channel_volume(0); }),
              c.volumes)
        << c.what;
  }
}

TEST(ExtendedInstruments, PanningEnvelopeAndAutomaticVibrato) {
  XmBuilder builder;
  XmInstrument& instrument = builder.instruments[0];
  instrument.panning = {{{0, 0}, {4, 64}, {8, 32}}, 1, 0, 0, 0};
  instrument.sample_panning = 192;  // three quarters right: room for a quarter each way
  instrument.vibrato_depth = 8;  // 1/8 semitone
  instrument.vibrato_rate = 32;  // a period of 8 ticks
  builder.cells = {{0, 0, 49, 1}};
  EXPECT_EQ(DeviceTrack(builder, 10, [](const Mixer& m) { return m.channel_panning(0); }),
            (std::vector<int>{0, 16, 32, 48, 64, 56, 48, 40, 32, 32}));
  // The vibrato lowers the pitch first: 8362 Hz moved by up to 8/64 semitone
  // (the sine's 45 of 64 at an eighth of its period gives 5/64).
  EXPECT_EQ(DeviceTrack(builder, 9, [](const Mixer& m) { return int(m.channel_rate_hz(0)); }),
            (std::vector<int>{8362, 8324, 8302, 8324, 8362, 8400, 8423, 8400, 8362}));
}

}  // namespace
