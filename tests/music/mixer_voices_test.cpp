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

void Start(Mixer& mixer, int channel, const ModuleSample& sample, uint32_t sample_rate_hz) {
  ASSERT_EQ(mixer.SetSample(channel, &sample), 0);
  ASSERT_EQ(mixer.PlaySound(channel, sample_rate_hz), 0);
}

std::vector<int16_t> Render(Mixer& mixer, int frames) {
  std::vector<int16_t> out(static_cast<size_t>(frames) *
                           (mixer.output_mode() == kMixerStereo ? 2 : 1));
  EXPECT_EQ(mixer.Render(out.data(), frames, nullptr, nullptr), 0);
  return out;
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
    Start(mixer, 2, *c.sample, 22050);
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
    Start(mixer, 0, bouncing.sample, 40000);  // one sample frame per output frame
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
    if (s.action == kNote) Start(mixer, 0, loud.sample, 44100);
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
    Start(mixer, 1, loud.sample, 44100);
    ASSERT_GE(mixer.DetachVoice(1), 0);
  }
  Start(mixer, 0, loud.sample, 44100);
  Render(mixer, 100);
  ASSERT_EQ(mixer.StopSound(0), 0);
  EXPECT_EQ(mixer.active_voices(), kMixerDetachedVoices + 1);
}

}  // namespace

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
  Start(mixer, 0, held.sample, 40000);  // one sample frame per output frame
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
      Start(mixer, 0, sample.sample, 44100);
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
