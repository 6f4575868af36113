// The software mixer: levels, panning, interpolation, loop wraps, saturation
// and tick spacing; its sample formats (16-bit and stereo data heard at
// their full precision), ping-pong and sustain loops, the resonant filter,
// and volume ramps and background voices (no start, stop or volume step
// jumps).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "music/mixer.h"
#include "music/module.h"
#include "music/music_errors.h"

namespace {

// A sample over its own frames (kept alive by the test).
struct TestSample {
  std::vector<int8_t> frames;
  ModuleSample sample{};
  explicit TestSample(std::vector<int8_t> data, uint32_t loop_start = 0, uint32_t loop_end = 0)
      : frames(std::move(data)) {
    sample.data = frames.data();
    sample.length = static_cast<uint32_t>(frames.size());
    sample.sample_type = 1;
    sample.loop_mode = loop_end > loop_start ? 1 : 0;
    sample.loop_flag = sample.loop_mode;
    sample.loop_start = loop_start;
    sample.loop_end = loop_end;
    sample.rate_hz = 8363;
  }
};

std::vector<int16_t> Render(Mixer& mixer, int frames) {
  std::vector<int16_t> out(static_cast<size_t>(frames) *
                           (mixer.output_mode() == kMixerStereo ? 2 : 1));
  EXPECT_EQ(mixer.Render(out.data(), frames, nullptr, nullptr), 0);
  return out;
}

// Starts a sample on a channel, with the mixer's ramps as they are.
void Play(Mixer& mixer, int channel, const ModuleSample& sample, uint32_t rate_hz) {
  ASSERT_EQ(mixer.SetSample(channel, &sample), 0);
  ASSERT_EQ(mixer.PlaySound(channel, rate_hz), 0);
}

// Starts it at exact levels from the first frame (ramps: MixerRamps below).
void Start(Mixer& mixer, int channel, const TestSample& sample, uint32_t rate_hz, int volume = 64,
           int panning = 0) {
  mixer.SetRampFrames(0);
  Play(mixer, channel, sample.sample, rate_hz);
  ASSERT_EQ(mixer.SetVolume(channel, volume), 0);
  ASSERT_EQ(mixer.SetPanning(channel, panning), 0);
}

TEST(Mixer, LevelsFollowVolumeAndPanning) {
  const TestSample constant(std::vector<int8_t>(4000, 100));
  const struct {
    int output_mode;
    int volume;
    int panning;
    int left;
    int right;
  } cases[] = {
      {kMixerStereo, 64, 0, 6400, 6400},  // 100 x 64 x 64 >> 6
      {kMixerStereo, 32, 0, 3200, 3200},
      {kMixerStereo, 0, 0, 0, 0},         // volume 0 is silence
      {kMixerStereo, 64, -64, 12800, 0},  // hard left
      {kMixerStereo, 64, 64, 0, 12800},   // hard right
      {kMixerStereo, 64, kMixerPanSurround, 6400, -6400},
      {kMixerMono, 64, 64, 6400, 6400},  // mono ignores the panning
  };
  for (const auto& c : cases) {
    Mixer mixer;
    ASSERT_EQ(mixer.Configure(44100, c.output_mode, 0), 0);
    Start(mixer, 3, constant, 22050, c.volume, c.panning);
    const std::vector<int16_t> frame = c.output_mode == kMixerStereo
                                           ? std::vector<int16_t>{int16_t(c.left), int16_t(c.right)}
                                           : std::vector<int16_t>{int16_t(c.left)};
    const std::vector<int16_t> out = Render(mixer, 1000);
    for (size_t i = 0; i < out.size(); ++i)
      ASSERT_EQ(out[i], frame[i % frame.size()]) << c.volume << " " << c.panning << " " << i;
  }
}

TEST(Mixer, InterpolationOfARampIsLinear) {
  std::vector<int8_t> ramp;
  for (int i = 0; i < 12; ++i) ramp.push_back(static_cast<int8_t>(i * 10));
  const TestSample sample(ramp);
  Mixer mixer;
  ASSERT_EQ(mixer.Configure(40000, kMixerMono, 1), 0);
  Start(mixer, 0, sample, 10000);  // a quarter frame per output frame
  const std::vector<int16_t> out = Render(mixer, 40);
  // 2.5 sample units per output frame at 64 x 64 >> 6 = 64 per unit, up to
  // the last frame that has a successor (11 x 4 output frames).
  for (int i = 0; i < 40; ++i) EXPECT_EQ(out[static_cast<size_t>(i)], i * 160) << i;

  ASSERT_EQ(mixer.Configure(40000, kMixerMono, 0), 0);  // sample and hold
  Start(mixer, 0, sample, 10000);
  const std::vector<int16_t> held = Render(mixer, 8);
  EXPECT_EQ(held, (std::vector<int16_t>{0, 0, 0, 0, 640, 640, 640, 640}));
}

TEST(Mixer, LoopsWrapKeepingTheOvershootAndSamplesEnd) {
  // Exact frames at a wrap: three frames per output frame keep their
  // overshoot past the loop end (12 -> 6); interpolating at half a frame,
  // the loop's last frame blends towards the loop start (40 .. 10 -> 25).
  const TestSample ramp({0, 10, 20, 30, 40, 50, 60, 70, 80, 90}, 4, 10);
  Mixer stepping;
  ASSERT_EQ(stepping.Configure(8000, kMixerMono, 0), 0);
  Start(stepping, 0, ramp, 24000);
  EXPECT_EQ(Render(stepping, 7), (std::vector<int16_t>{0, 1920, 3840, 5760, 3840, 5760, 3840}));
  const TestSample short_loop({10, 20, 30, 40}, 0, 4);
  Mixer blending;
  ASSERT_EQ(blending.Configure(8000, kMixerMono, 1), 0);
  Start(blending, 0, short_loop, 4000);
  EXPECT_EQ(Render(blending, 10),
            (std::vector<int16_t>{640, 960, 1280, 1600, 1920, 2240, 2560, 1600, 640, 960}));

  // Without a loop the sample ends and the channel falls silent.
  const TestSample once(std::vector<int8_t>(100, 50));
  Mixer mixer;
  ASSERT_EQ(mixer.Configure(44100, kMixerStereo, 1), 0);
  Start(mixer, 0, once, 44100);
  const std::vector<int16_t> out = Render(mixer, 150);
  EXPECT_EQ(out[2 * 99], 3200);
  EXPECT_EQ(out[2 * 100], 0);
  EXPECT_FALSE(mixer.channel_playing(0));
}

TEST(Mixer, LoudChannelsSaturate) {
  const TestSample loud(std::vector<int8_t>(500, 127));
  const TestSample low(std::vector<int8_t>(500, -128));
  Mixer mixer;
  ASSERT_EQ(mixer.Configure(44100, kMixerStereo, 0), 0);
  for (int channel = 0; channel < 4; ++channel) Start(mixer, channel, loud, 44100, 64, 64);
  for (int channel = 4; channel < 8; ++channel) Start(mixer, channel, low, 44100, 64, -64);
  const std::vector<int16_t> out = Render(mixer, 100);
  EXPECT_EQ(out[0], -32768);
  EXPECT_EQ(out[1], 32767);
}

TEST(Mixer, TickSpacingAndTickCalls) {
  const struct {
    int rate_hz;
    uint32_t update_rate;
    int spacing;
  } cases[] = {{44100, 5000, 882},
               {44100, 6000, 736},
               {22050, 5000, 442},
               {32000, 1280, 2500},
               {8000, 10200, 78}};
  for (const auto& c : cases) {
    Mixer mixer;
    ASSERT_EQ(mixer.Configure(c.rate_hz, kMixerStereo, 0), 0);
    ASSERT_EQ(mixer.SetUpdateRate(c.update_rate), 0);
    EXPECT_EQ(mixer.tick_spacing_frames(), c.spacing) << c.rate_hz << " " << c.update_rate;
  }
  Mixer mixer;
  EXPECT_EQ(mixer.SetUpdateRate(0), kMusicInvalidArgument);
  int ticks = 0;
  std::vector<int16_t> out(2 * 882 * 3);
  auto count = [](void* counter) { return ++*static_cast<int*>(counter), 0; };
  // The first tick comes before the first frame, then one every 882 frames.
  ASSERT_EQ(mixer.Render(out.data(), 882 * 3, count, &ticks), 0);
  EXPECT_EQ(ticks, 3);
  ASSERT_EQ(mixer.Render(out.data(), 1, count, &ticks), 0);
  EXPECT_EQ(ticks, 4);

  // A tick's error stops the mixing; the rest is silence.
  const TestSample constant(std::vector<int8_t>(4000, 100));
  Start(mixer, 0, constant, 22050);
  int mixed = -1;
  std::fill(out.begin(), out.end(), 1);
  EXPECT_EQ(mixer.Render(
                out.data(), 882 * 2, [](void*) { return 17; }, nullptr, &mixed),
            17);
  EXPECT_EQ(mixed, 881);
  EXPECT_EQ(out[2 * 880], 6400);
  EXPECT_EQ(out[2 * 881], 0);
}

TEST(Mixer, PositionPastTheEndSilencesUntilARetrigger) {
  const TestSample sample(std::vector<int8_t>(100, 20));
  Mixer mixer;
  Start(mixer, 0, sample, 8000);
  EXPECT_EQ(mixer.SetPosition(0, 99), 0);
  EXPECT_TRUE(mixer.channel_playing(0));
  EXPECT_EQ(mixer.SetPosition(0, 100), 0);  // past the end: silent, nothing read
  EXPECT_FALSE(mixer.channel_playing(0));
  EXPECT_EQ(mixer.SetPosition(0, 10), 0);  // a retrigger brings it back
  EXPECT_EQ(mixer.channel_playing(0) ? mixer.channel_position(0) : 0, 10u);
}

struct Sample16 {
  std::vector<int16_t> values;  // interleaved when stereo
  ModuleSample sample{};
  Sample16(std::vector<int16_t> data, int channels, uint8_t loop_mode = kLoopNone,
           uint32_t loop_start = 0)
      : values(std::move(data)) {
    sample.data16 = values.data();
    sample.channels = static_cast<uint8_t>(channels);
    sample.length = static_cast<uint32_t>(values.size()) / static_cast<uint32_t>(channels);
    sample.sample_type = 1;
    sample.loop_mode = loop_mode;
    sample.loop_start = loop_start;
    sample.loop_end = loop_mode != kLoopNone ? sample.length : 0;
  }
};

TEST(MixerFormats, SixteenBitAndStereoKeepTheirPrecision) {
  // 0x1235 at volume 64 in the centre is a quarter: 1165.25, where an 8-bit
  // copy (0x12) would give 1152.
  const Sample16 mono(std::vector<int16_t>(400, 0x1235), 1);
  std::vector<int16_t> pairs;
  for (int i = 0; i < 400; ++i) pairs.insert(pairs.end(), {4000, -2000});
  const Sample16 stereo(pairs, 2);
  const struct {
    const ModuleSample* sample;
    int output_mode, interpolate;
    std::vector<int16_t> frame;
  } cases[] = {
      {&mono.sample, kMixerStereo, 0, {1165, 1165}},
      {&mono.sample, kMixerStereo, 1, {1165, 1165}},
      {&stereo.sample, kMixerStereo, 0, {1000, -500}},
      {&stereo.sample, kMixerStereo, 1, {1000, -500}},
      {&stereo.sample, kMixerMono, 0, {250}},  // the two sides averaged
  };
  for (const auto& c : cases) {
    Mixer mixer;
    ASSERT_EQ(mixer.Configure(44100, c.output_mode, c.interpolate), 0);
    mixer.SetRampFrames(0);
    Play(mixer, 2, *c.sample, 22050);
    const std::vector<int16_t> out = Render(mixer, 100);
    for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], c.frame[i % c.frame.size()]) << i;
  }
}

TEST(MixerFormats, PingPongLoopsTurnAtBothEnds) {
  std::vector<int16_t> ramp(100);
  for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<int16_t>(i * 300);
  const Sample16 bouncing(ramp, 1, kLoopPingPong, 60);
  for (int interpolate : {0, 1}) {
    Mixer mixer;
    ASSERT_EQ(mixer.Configure(40000, kMixerMono, interpolate), 0);
    mixer.SetRampFrames(0);
    Play(mixer, 0, bouncing.sample, 40000);  // one sample frame per output frame
    const std::vector<int16_t> out = Render(mixer, 400);
    // Up to frame 99, down to 60, up again: the level stays between the
    // loop's values after the first pass, moves by one step at most and
    // turns at least four times.
    int turns = 0, last_direction = 0;
    for (size_t i = 101; i < out.size(); ++i) {
      ASSERT_TRUE(out[i] >= 60 * 75 && out[i] <= 99 * 75 && std::abs(out[i] - out[i - 1]) <= 75)
          << i << ": " << out[i];
      const int direction = (out[i] > out[i - 1]) - (out[i] < out[i - 1]);
      if (direction != 0 && last_direction != 0 && direction != last_direction) ++turns;
      if (direction != 0) last_direction = direction;
    }
    EXPECT_GE(turns, 4) << interpolate;
    EXPECT_TRUE(mixer.channel_playing(0));
  }
}

TEST(MixerRamps, StartsCutsAndVolumeStepsDoNotClick) {
  const Sample16 loud(std::vector<int16_t>(20000, 20000), 1);
  Mixer mixer;
  ASSERT_EQ(mixer.Configure(44100, kMixerStereo, 0), 0);  // ramps of 44 frames
  // After each action (a new note, a stop, else a volume): the voices
  // sounding, then over 100 frames the range of the first left value, the
  // last one, the largest step between neighbours and the voices left.
  enum { kNote = -1, kStop = -2, kVolume16 = 16, kVolume64 = 64 };
  const struct {
    const char* what;
    int action;
    int voices, first_low, first_high, last, largest_step, voices_after;
  } steps[] = {
      {"a start fades in to a quarter", kNote, 1, 0, 0, 5000, 5000 / 40, 1},
      {"a volume step slides down", kVolume16, 1, 1250, 5000, 1250, 3750 / 40, 1},
      {"and up", kVolume64, 1, 1250, 5000, 5000, 3750 / 40, 1},
      // The old note fades out on a background voice while the new fades in.
      {"a new note over a sounding one", kNote, 2, 0, 5000, 5000, 5000 / 40, 1},
      {"a stop fades out", kStop, 1, 4001, 5000, 0, 5000 / 40, 0},
  };
  for (const auto& s : steps) {
    if (s.action == kNote) Play(mixer, 0, loud.sample, 44100);
    ASSERT_EQ(s.action >= 0 ? mixer.SetVolume(0, s.action) : 0, 0);
    ASSERT_EQ(s.action == kStop ? mixer.StopSound(0) : 0, 0);
    EXPECT_EQ(mixer.channel_playing(0), s.action != kStop) << s.what;
    EXPECT_EQ(mixer.active_voices(), s.voices) << s.what;
    const std::vector<int16_t> out = Render(mixer, 100);
    int largest = 0;
    for (size_t i = 2; i < out.size(); ++i)
      largest = std::max(largest, std::abs(out[i] - out[i - 2]));
    EXPECT_TRUE(out[0] >= s.first_low && out[0] <= s.first_high) << s.what << ": " << out[0];
    EXPECT_EQ(out[198], s.last) << s.what;
    EXPECT_LT(largest, s.largest_step) << s.what;
    EXPECT_EQ(mixer.active_voices(), s.voices_after) << s.what;
  }
  // With every detached voice taken, a stop still fades out on a voice of its own.
  for (int i = 0; i < kMixerDetachedVoices; ++i) {
    Play(mixer, 1, loud.sample, 44100);
    ASSERT_GE(mixer.DetachVoice(1), 0);
  }
  Play(mixer, 0, loud.sample, 44100);
  Render(mixer, 100);
  ASSERT_EQ(mixer.StopSound(0), 0);
  EXPECT_EQ(mixer.active_voices(), kMixerDetachedVoices + 1);
  // A sample about to be freed leaves no voice, fading or detached, reading it.
  const ModuleSample* const freed[] = {nullptr, &loud.sample};
  mixer.ForgetSamples(freed, 2);
  EXPECT_EQ(mixer.active_voices(), 0);
}

TEST(MixerFormats, SustainLoopHoldsUntilTheRelease) {
  std::vector<int16_t> ramp(100);
  for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<int16_t>(i * 300);
  Sample16 held(ramp, 1, kLoopForward, 60);
  held.sample.sustain_mode = kLoopPingPong;
  held.sample.sustain_start = 20;
  held.sample.sustain_end = 40;
  Mixer mixer;
  ASSERT_EQ(mixer.Configure(40000, kMixerMono, 0), 0);
  mixer.SetRampFrames(0);
  Play(mixer, 0, held.sample, 40000);  // one sample frame per output frame
  // While held: frames 20..39 only; released: past 40 into the own loop 60..99.
  const std::vector<int16_t> sustained = Render(mixer, 300);
  const auto [low, high] = std::minmax_element(sustained.begin() + 40, sustained.end());
  EXPECT_EQ(std::vector<int>({*low, *high}), std::vector<int>({20 * 75, 39 * 75}));
  ASSERT_EQ(mixer.ReleaseSound(0), 0);
  const std::vector<int16_t> released = Render(mixer, 300);
  const auto [low_after, high_after] = std::minmax_element(released.begin() + 100, released.end());
  EXPECT_EQ(std::vector<int>({*low_after, *high_after}), std::vector<int>({60 * 75, 99 * 75}));
}

// The resonant low-pass: the level a filter leaves of a steady signal, in
// percent of the unfiltered one (RMS after the filter has settled).
TEST(MixerFilter, LowPassKeepsLowsCutsHighsAndResonates) {
  auto percent_left = [](int period_frames, int cutoff, int resonance) {
    std::vector<int16_t> wave(4000);
    for (size_t i = 0; i < wave.size(); ++i) {
      const double phase = 2 * 3.14159265358979 * double(i) / period_frames;
      wave[i] = static_cast<int16_t>(std::lround(16000 * std::sin(phase)));
    }
    const Sample16 sample(wave, 1);
    auto rms = [&](bool filtered) {
      Mixer mixer;
      EXPECT_EQ(mixer.Configure(44100, kMixerMono, 0), 0);
      mixer.SetRampFrames(0);
      Play(mixer, 0, sample.sample, 44100);
      EXPECT_EQ(filtered ? mixer.SetFilter(0, cutoff, resonance) : 0, 0);
      const std::vector<int16_t> out = Render(mixer, 3000);
      double sum = 0;
      for (size_t i = 1000; i < out.size(); ++i) sum += double(out[i]) * out[i];
      return std::sqrt(sum / double(out.size() - 1000));
    };
    return static_cast<int>(std::lround(100 * rms(true) / rms(false)));
  };
  const struct {
    const char* what;
    int period_frames, cutoff, resonance, low, high;
  } cases[] = {
      {"a low tone passes a high cutoff", 400, 100, 0, 97, 103},    // 110 Hz, 2.2 kHz
      {"a high tone is cut by a low cutoff", 4, 30, 0, 0, 2},       // 11 kHz, 313 Hz
      {"an octave above the corner loses most", 10, 96, 0, 8, 25},  // 4.4 kHz, 2.2 kHz
      {"resonance lifts the corner", 20, 96, 127, 300, 1000},       // 2.2 kHz at 2.2 kHz
  };
  for (const auto& c : cases) {
    const int left = percent_left(c.period_frames, c.cutoff, c.resonance);
    EXPECT_TRUE(left >= c.low && left <= c.high) << c.what << ": " << left << " %";
  }
}

}  // namespace
