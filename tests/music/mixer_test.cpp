// The software mixer: levels, panning, interpolation, loop wraps, cancellation,
// saturation, tick spacing and independence from the buffer size.
#include <gtest/gtest.h>

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

void Start(Mixer& mixer, int channel, const TestSample& sample, uint32_t rate_hz, int volume = 64,
           int panning = 0) {
  mixer.SetRampFrames(0);  // exact levels from the first frame (ramps: mixer_voices_test)
  ASSERT_EQ(mixer.SetSample(channel, &sample.sample), 0);
  ASSERT_EQ(mixer.PlaySound(channel, rate_hz), 0);
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
    std::vector<int16_t> expected;
    for (int i = 0; i < 1000; ++i) expected.insert(expected.end(), frame.begin(), frame.end());
    EXPECT_EQ(Render(mixer, 1000), expected) << c.volume << " " << c.panning;
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

TEST(Mixer, OppositePhaseSamplesCancelAndLoudOnesSaturate) {
  std::vector<int8_t> noise(3000);
  std::vector<int8_t> inverted(3000);
  for (size_t i = 0; i < noise.size(); ++i) {
    noise[i] = static_cast<int8_t>((i * 7919 % 255) - 127);
    inverted[i] = static_cast<int8_t>(-noise[i]);
  }
  const TestSample a(noise);
  const TestSample b(inverted);
  for (int interpolate : {0, 1}) {
    Mixer mixer;
    ASSERT_EQ(mixer.Configure(44100, kMixerStereo, interpolate), 0);
    Start(mixer, 0, a, 33000, 50, 20);
    Start(mixer, 7, b, 33000, 50, 20);
    for (int16_t value : Render(mixer, 2000)) ASSERT_EQ(value, 0);
  }

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
    EXPECT_EQ(mixer.update_rate(), kMixerDefaultUpdateRate);
    ASSERT_EQ(mixer.SetUpdateRate(c.update_rate), 0);
    EXPECT_EQ(mixer.tick_spacing_frames(), c.spacing) << c.rate_hz << " " << c.update_rate;
  }
  Mixer mixer;
  EXPECT_EQ(mixer.SetUpdateRate(0), kMusicInvalidArgument);
  int ticks = 0;
  std::vector<int16_t> out(2 * 882 * 3);
  // The first tick comes before the first frame, then one every 882 frames.
  ASSERT_EQ(
      mixer.Render(
          out.data(), 882 * 3, [](void* count) { return ++*static_cast<int*>(count), 0; }, &ticks),
      0);
  EXPECT_EQ(ticks, 3);
  ASSERT_EQ(mixer.Render(
                out.data(), 1, [](void* count) { return ++*static_cast<int*>(count), 0; }, &ticks),
            0);
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

// Changes the volume at every tick, so the buffer boundaries matter.
int RampVolume(void* context) {
  auto* mixer = static_cast<Mixer*>(context);
  return mixer->SetVolume(0, (mixer->channel_volume(0) + 5) % 65);
}

TEST(Mixer, AnyBufferSizeGivesTheSameSamples) {
  std::vector<int8_t> wave(5000);
  for (size_t i = 0; i < wave.size(); ++i) wave[i] = static_cast<int8_t>(i * 13 % 251 - 125);
  const TestSample sample(wave, 1000, 5000);
  std::vector<int16_t> reference;
  for (int chunk : {7000, 1, 7, 333, 882}) {
    Mixer mixer;
    ASSERT_EQ(mixer.Configure(44100, kMixerStereo, 1), 0);
    ASSERT_EQ(mixer.SetUpdateRate(3300), 0);
    Start(mixer, 5, sample, 30001, 10);
    std::vector<int16_t> out(2 * 7000);
    for (int done = 0; done < 7000; done += chunk) {
      const int frames = std::min(chunk, 7000 - done);
      ASSERT_EQ(mixer.Render(out.data() + 2 * done, frames, RampVolume, &mixer), 0);
    }
    if (reference.empty()) {
      reference = out;
    } else {
      EXPECT_EQ(out, reference) << "chunks of " << chunk;
    }
  }
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

}  // namespace
