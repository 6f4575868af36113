// The mixer's sample formats, ping-pong loops, volume ramps and background
// voices: 16-bit and stereo data are heard at their full precision, a
// ping-pong loop turns at its ends, and no start, stop or volume step jumps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "music/mixer.h"
#include "music/module.h"

namespace {

struct Sample16 {
  std::vector<int16_t> values;  // interleaved when stereo
  ModuleSample sample{};
  Sample16(std::vector<int16_t> data, int channels, uint8_t loop_mode = kLoopNone,
           uint32_t loop_start = 0, uint32_t loop_end = 0)
      : values(std::move(data)) {
    sample.data16 = values.data();
    sample.channels = static_cast<uint8_t>(channels);
    sample.length = static_cast<uint32_t>(values.size()) / static_cast<uint32_t>(channels);
    sample.sample_type = 1;
    sample.loop_mode = loop_mode;
    sample.loop_start = loop_start;
    sample.loop_end = loop_end;
  }
};

std::vector<int16_t> Render(Mixer& mixer, int frames) {
  std::vector<int16_t> out(static_cast<size_t>(frames) *
                           (mixer.output_mode() == kMixerStereo ? 2 : 1));
  EXPECT_EQ(mixer.Render(out.data(), frames, nullptr, nullptr), 0);
  return out;
}

void Start(Mixer& mixer, int channel, const ModuleSample& sample, uint32_t rate_hz) {
  ASSERT_EQ(mixer.SetSample(channel, &sample), 0);
  ASSERT_EQ(mixer.PlaySound(channel, rate_hz), 0);
}

TEST(MixerFormats, SixteenBitAndStereoKeepTheirPrecision) {
  // 0x1235 at volume 64 in the centre is a quarter: 1165.25, where an 8-bit
  // copy (0x12) would give 1152.
  const Sample16 mono(std::vector<int16_t>(400, 0x1235), 1);
  std::vector<int16_t> pairs;
  for (int i = 0; i < 400; ++i) pairs.insert(pairs.end(), {4000, -2000});
  const Sample16 stereo(pairs, 2);
  const struct {
    const ModuleSample* sample;
    int output_mode;
    int interpolate;
    int left;
    int right;
  } cases[] = {
      {&mono.sample, kMixerStereo, 0, 1165, 1165},   {&mono.sample, kMixerStereo, 1, 1165, 1165},
      {&stereo.sample, kMixerStereo, 0, 1000, -500}, {&stereo.sample, kMixerStereo, 1, 1000, -500},
      {&stereo.sample, kMixerMono, 0, 250, 250},  // the two sides averaged
  };
  for (const auto& c : cases) {
    Mixer mixer;
    ASSERT_EQ(mixer.Configure(44100, c.output_mode, c.interpolate), 0);
    mixer.SetRampFrames(0);
    Start(mixer, 2, *c.sample, 22050);
    const std::vector<int16_t> out = Render(mixer, 100);
    const size_t stride = c.output_mode == kMixerStereo ? 2 : 1;
    for (size_t i = 0; i < out.size(); i += stride) {
      ASSERT_EQ(out[i], c.left) << i;
      if (stride == 2) {
        ASSERT_EQ(out[i + 1], c.right) << i;
      }
    }
  }
}

TEST(MixerFormats, PingPongLoopsTurnAtBothEnds) {
  std::vector<int16_t> ramp(100);
  for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<int16_t>(i * 300);
  const Sample16 bouncing(ramp, 1, kLoopPingPong, 60, 100);
  for (int interpolate : {0, 1}) {
    Mixer mixer;
    ASSERT_EQ(mixer.Configure(40000, kMixerMono, interpolate), 0);
    mixer.SetRampFrames(0);
    Start(mixer, 0, bouncing.sample, 40000);  // one sample frame per output frame
    const std::vector<int16_t> out = Render(mixer, 400);
    // Up to frame 99, down to 60, up again: the level stays between the
    // loop's values after the first pass and turns at least four times.
    int turns = 0;
    int last_direction = 0;
    for (size_t i = 101; i < out.size(); ++i) {
      ASSERT_GE(out[i], 60 * 75) << i;
      ASSERT_LE(out[i], 99 * 75) << i;
      ASSERT_LE(std::abs(out[i] - out[i - 1]), 75) << i;  // no jump at a turn
      const int direction = (out[i] > out[i - 1]) - (out[i] < out[i - 1]);
      if (direction != 0 && last_direction != 0 && direction != last_direction) ++turns;
      if (direction != 0) last_direction = direction;
    }
    EXPECT_GE(turns, 4) << interpolate;
    EXPECT_TRUE(mixer.channel_playing(0));
  }
}

// Largest step between neighbouring output values of a stereo render.
int LargestStep(const std::vector<int16_t>& out) {
  int largest = 0;
  for (size_t i = 2; i < out.size(); ++i)
    largest = std::max(largest, std::abs(out[i] - out[i - 2]));
  return largest;
}

TEST(MixerRamps, StartsCutsAndVolumeStepsDoNotClick) {
  const Sample16 loud(std::vector<int16_t>(20000, 20000), 1);
  Mixer mixer;
  ASSERT_EQ(mixer.Configure(44100, kMixerStereo, 0), 0);  // ramps of 44 frames
  Start(mixer, 0, loud.sample, 44100);
  std::vector<int16_t> out = Render(mixer, 100);
  EXPECT_EQ(out[0], 0);       // the start fades in ...
  EXPECT_EQ(out[198], 5000);  // ... to a quarter of the value
  EXPECT_LT(LargestStep(out), 5000 / 40);

  ASSERT_EQ(mixer.SetVolume(0, 16), 0);
  out = Render(mixer, 100);
  EXPECT_EQ(out[198], 1250);
  EXPECT_LT(LargestStep(out), 3750 / 40);

  // A new note over a sounding one: the old fades out on a background voice
  // while the new fades in.
  ASSERT_EQ(mixer.SetVolume(0, 64), 0);
  Render(mixer, 100);
  Start(mixer, 0, loud.sample, 44100);
  EXPECT_EQ(mixer.active_voices(), 2);
  out = Render(mixer, 100);
  EXPECT_LT(LargestStep(out), 5000 / 40);
  EXPECT_EQ(mixer.active_voices(), 1);

  ASSERT_EQ(mixer.StopSound(0), 0);
  EXPECT_FALSE(mixer.channel_playing(0));
  out = Render(mixer, 100);
  EXPECT_GT(out[0], 4000);  // still fading
  EXPECT_EQ(out[198], 0);
  EXPECT_LT(LargestStep(out), 5000 / 40);
  EXPECT_EQ(mixer.active_voices(), 0);
}

}  // namespace
