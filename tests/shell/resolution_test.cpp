// --resolution and --fps-report: the sizes accepted and refused (each refusal
// naming the text and what is wrong), the options they do not go with, and
// how frame gaps count as missed frames.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/frame_report.h"
#include "shell/options.h"
#include "shell/resolution.h"

namespace {

TEST(Resolution, ParsesSizesAndRefusesWithTheReason) {
  const struct {
    const char* text;
    bool accepted;
    int width, height;   // accepted: the size; 0 x 0 for native
    const char* reason;  // refused: part of the message
  } cases[] = {
      {"1920x1440", true, 1920, 1440, ""},
      {"1280X960", true, 1280, 960, ""},
      {"320x200", true, 320, 200, ""},
      {"3840x2880", true, 3840, 2880, ""},
      {"native", true, 0, 0, ""},
      {"5000x10", false, 0, 0, "width must be from 320 to 3840"},
      {"3842x2880", false, 0, 0, "from 320 to 3840"},
      {"640x2882", false, 0, 0, "height from 200 to 2880"},
      {"318x240", false, 0, 0, "from 320"},
      {"1921x1440", false, 0, 0, "must be even"},
      {"1920x", false, 0, 0, "WIDTHxHEIGHT"},
      {"x1440", false, 0, 0, "WIDTHxHEIGHT"},
      {"-640x480", false, 0, 0, "WIDTHxHEIGHT"},
      {"640x480x2", false, 0, 0, "WIDTHxHEIGHT"},
      {"640 x480", false, 0, 0, "WIDTHxHEIGHT"},
      {"0000000640x480", false, 0, 0, "WIDTHxHEIGHT"},
      {"Native", false, 0, 0, "WIDTHxHEIGHT"},
      {"", false, 0, 0, "WIDTHxHEIGHT"},
  };
  for (const auto& c : cases) {
    ScreenResolution resolution;
    std::string error;
    ASSERT_EQ(ParseResolution(c.text, &resolution, &error), c.accepted) << c.text << ": " << error;
    if (!c.accepted) {
      EXPECT_EQ(error.rfind(std::string("--resolution ") + c.text + ":", 0), 0u) << error;
      EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    } else if (c.width == 0) {
      EXPECT_TRUE(resolution.native);
    } else {
      EXPECT_EQ(resolution.width, c.width);
      EXPECT_EQ(resolution.height, c.height);
      EXPECT_FALSE(resolution.native);
    }
  }
  std::string error;
  ScreenResolution resolution;
  EXPECT_FALSE(ParseResolution(nullptr, &resolution, &error));
  // A display's size is brought inside the limits, to even numbers.
  const ScreenResolution within = ResolutionWithin(5121, 1081);
  EXPECT_EQ(within.width, 3840);
  EXPECT_EQ(within.height, 1080);
}

bool Parse(std::vector<std::string> words, std::string* error) {
  words.insert(words.begin(), "veyrith");
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  ShellOptions options;
  return ParseShellOptions(static_cast<int>(argv.size()), argv.data(), &options, error);
}

TEST(Resolution, GoesWithEveryOutputButNotWithCaptureScaling) {
  const struct {
    std::vector<std::string> words;
    const char* refusal;  // null: accepted
  } cases[] = {
      {{"--resolution", "1920x1440", "--capture", "out.mp4"}, nullptr},
      {{"--resolution", "native", "--screenshot", "30", "a.png"}, nullptr},
      {{"--resolution", "1280x960", "--fullscreen", "--fps-report"}, nullptr},
      {{"--headless", "--fps-report", "--resolution", "1920x1440"}, nullptr},
      {{"--resolution", "1280x960", "--capture", "out.mp4", "--scale", "2"}, "--scale and"},
      {{"--fps-report", "--screenshot", "1", "a.png"}, "--fps-report goes with"},
      {{"--resolution"}, "WIDTHxHEIGHT"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_EQ(Parse(c.words, &error), c.refusal == nullptr) << c.words[0] << " " << error;
    if (c.refusal) {
      EXPECT_NE(error.find(c.refusal), std::string::npos) << error;
    }
  }
}

TEST(FrameReport, GapsLongerThanOneAndAHalfPeriodsCountTheFramesTheyLost) {
  const struct {
    std::vector<double> gaps;  // in periods, between frames after the first
    long missed;
    double longest;
  } cases[] = {
      {{1, 1, 1, 1}, 0, 1},
      {{1, 1.4, 0.6, 1}, 0, 1.4},  // late and early again: no frame lost
      {{1, 2, 1}, 1, 2},
      {{3.1, 1, 1.6}, 3, 3.1},  // two lost, then one
  };
  for (const auto& c : cases) {
    FrameTiming timing;
    timing.period_seconds = 0.02;
    double now = 100.0;
    RecordFrameTime(&timing, now);
    for (double gap : c.gaps) RecordFrameTime(&timing, now += gap * 0.02);
    EXPECT_EQ(timing.frames, static_cast<long>(c.gaps.size()) + 1);
    EXPECT_EQ(timing.missed, c.missed) << c.gaps[0];
    EXPECT_NEAR(timing.longest_gap_seconds, c.longest * 0.02, 1e-9);
    EXPECT_NE(DescribeFrameTiming(timing).find(std::to_string(c.missed) + " missed"),
              std::string::npos);
  }
}

}  // namespace
