// The command line of captures, part-way starts, resolutions and frame
// reports: what it accepts, and the combinations and values it refuses with a
// message, and the number of drawing threads. --resolution's sizes: accepted,
// or refused naming the text and what is wrong.
#include "shell/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/resolution.h"

namespace {

bool Parse(std::vector<std::string> words, ShellOptions* options, std::string* error) {
  words.insert(words.begin(), "veyrith");
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  return ParseShellOptions(static_cast<int>(argv.size()), argv.data(), options, error);
}

TEST(ShellOptions, ACaptureLineSetsItsPart) {
  ShellOptions o;
  std::string error;
  ASSERT_TRUE(Parse({"--capture", "out.mkv", "--scale", "3", "--from", "15", "--to", "20.5",
                     "--fps", "30", "--video-quality", "best", "--threads", "64"},
                    &o, &error))
      << error;
  EXPECT_TRUE(o.capture && o.capture_path == "out.mkv" && o.scale == 3 && o.to_given);
  EXPECT_TRUE(o.from_seconds == 15 && o.to_seconds == 20.5 && o.fps == 30) << o.to_seconds;
  EXPECT_TRUE(o.video_quality == VideoQuality::kBest && o.threads == 64);

  ShellOptions start;
  ASSERT_TRUE(Parse({"--start", "160", "--fullscreen"}, &start, &error)) << error;
  EXPECT_TRUE(start.start_given && start.start_seconds == 160);
  EXPECT_EQ(start.threads, 0);  // not given: every core, found at run time
  // --resolution goes with every output, --fps-report with the headless run.
  ShellOptions video, headless;
  EXPECT_TRUE(Parse({"--resolution", "native", "--capture", "out.mp4"}, &video, &error)) << error;
  EXPECT_TRUE(video.resolution.native);
  EXPECT_TRUE(Parse({"--headless", "--fps-report", "--resolution", "1920x1440"}, &headless, &error))
      << error;
  EXPECT_TRUE(headless.fps_report && headless.resolution.height == 1440);
}

TEST(ShellOptions, WrongCapturesAreRefusedWithTheReason) {
  const struct {
    std::vector<std::string> words;
    const char* reason;
  } cases[] = {
      {{"--capture", "out.avi"}, ".mp4"},
      {{"--capture"}, "--capture needs"},
      {{"--capture", "a.mp4", "--headless"}, "choose one"},
      {{"--capture", "a.mp4", "--screenshot", "3", "x.png"}, "choose one"},
      {{"--scale", "2"}, "go with --capture"},
      {{"--from", "10"}, "go with --capture"},
      {{"--capture", "a.mp4", "--scale", "1.5"}, "whole number"},
      {{"--capture", "a.mp4", "--scale", "9"}, "whole number"},
      {{"--capture", "a.mp4", "--from", "30", "--to", "20"}, "before --to"},
      {{"--capture", "a.mp4", "--from", "218"}, "before --to"},
      {{"--capture", "a.mp4", "--to", "300"}, "from 0 to 218"},
      {{"--capture", "a.mp4", "--from", "-1"}, "from 0 to 218"},
      {{"--capture", "a.mp4", "--start", "5"}, "--from"},
      {{"--capture", "a.mp4", "--video-quality", "good"}, "fast, balanced or best"},
      {{"--capture", "frames", "--video-quality", "best"}, "a video"},
      {{"--start", "218"}, "before the end"},
      {{"--start", "ten"}, "'ten'"},
      {{"--threads", "0"}, "--threads needs a whole number from 1 to 64"},
      {{"--threads", "65"}, "--threads needs a whole number from 1 to 64"},
      {{"--threads", "2.5"}, "--threads needs a whole number from 1 to 64"},
      {{"--threads", "two"}, "--threads needs a whole number from 1 to 64"},
      {{"--threads"}, "--threads needs a whole number from 1 to 64"},
      {{"--resolution", "1280x960", "--capture", "a.mp4", "--scale", "2"}, "--scale and"},
      {{"--fps-report", "--screenshot", "1", "a.png"}, "--fps-report goes with"},
  };
  for (const auto& c : cases) {
    ShellOptions options;
    std::string error;
    EXPECT_FALSE(Parse(c.words, &options, &error)) << c.words[0];
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.words[0] << ": " << error;
  }
}

TEST(Resolution, ParsesSizesAndRefusesWithTheReason) {
  const struct {
    const char* text;
    int width, height;   // 0 x 0: native; -1: refused
    const char* reason;  // refused: part of the message
  } cases[] = {
      {"1920x1440", 1920, 1440, ""},
      {"320X200", 320, 200, ""},
      {"3840x2880", 3840, 2880, ""},
      {"native", 0, 0, ""},
      {"5000x10", -1, -1, "width must be from 320 to 3840 and the height from 200 to 2880"},
      {"318x480", -1, -1, "from 320"},
      {"640x2882", -1, -1, "from 200 to 2880"},
      {"1921x1440", -1, -1, "even"},
      {"640x480x2", -1, -1, "WIDTHxHEIGHT"},
      {"-640x480", -1, -1, "WIDTHxHEIGHT"},
      {"0000000640x480", -1, -1, "WIDTHxHEIGHT"},
      {"", -1, -1, "WIDTHxHEIGHT"},
  };
  for (const auto& c : cases) {
    ScreenResolution resolution;
    std::string error;
    ASSERT_EQ(ParseResolution(c.text, &resolution, &error), c.width >= 0) << c.text << error;
    if (c.width < 0) {
      EXPECT_EQ(error.rfind(std::string("--resolution ") + c.text + ":", 0), 0u) << error;
      EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    } else {
      EXPECT_EQ(resolution.native, c.width == 0) << c.text;
      EXPECT_EQ(resolution.width, c.width == 0 ? 640 : c.width) << c.text;
      EXPECT_EQ(resolution.height, c.height == 0 ? 480 : c.height) << c.text;
    }
  }
  const ScreenResolution within = ResolutionWithin(5121, 1081);  // a display's size
  EXPECT_EQ(within.width, 3840);
  EXPECT_EQ(within.height, 1080);
}

}  // namespace
