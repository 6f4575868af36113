// The command line of captures, part-way starts, resolutions and frame
// reports: what it accepts, and the combinations and values it refuses with a
// message, and the number of drawing threads.
#include "shell/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

bool Parse(std::vector<std::string> words, ShellOptions* options, std::string* error) {
  words.insert(words.begin(), "veyrith");
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  return ParseShellOptions(static_cast<int>(argv.size()), argv.data(), options, error);
}

TEST(ShellOptions, ACaptureLineSetsItsPart) {
  ShellOptions options;
  std::string error;
  ASSERT_TRUE(Parse({"--capture", "out.mkv", "--scale", "3", "--from", "15", "--to", "20.5",
                     "--fps", "30", "--video-quality", "best", "--threads", "64"},
                    &options, &error))
      << error;
  EXPECT_TRUE(options.capture);
  EXPECT_EQ(options.capture_path, "out.mkv");
  EXPECT_EQ(options.scale, 3);
  EXPECT_DOUBLE_EQ(options.from_seconds, 15.0);
  EXPECT_DOUBLE_EQ(options.to_seconds, 20.5);
  EXPECT_TRUE(options.to_given);
  EXPECT_DOUBLE_EQ(options.fps, 30.0);
  EXPECT_EQ(options.video_quality, VideoQuality::kBest);
  EXPECT_EQ(options.threads, 64);

  ShellOptions start;
  ASSERT_TRUE(Parse({"--start", "160", "--fullscreen"}, &start, &error)) << error;
  EXPECT_TRUE(start.start_given);
  EXPECT_DOUBLE_EQ(start.start_seconds, 160.0);
  EXPECT_EQ(start.threads, 0);  // not given: every core, found at run time
  // --resolution goes with every output, --fps-report with the headless run.
  ShellOptions video, headless;
  EXPECT_TRUE(Parse({"--resolution", "native", "--capture", "out.mp4"}, &video, &error)) << error;
  EXPECT_TRUE(Parse({"--headless", "--fps-report", "--resolution", "1920x1440"}, &headless, &error))
      << error;
}

TEST(ShellOptions, WrongCapturesAreRefusedWithTheReason) {
  struct Case {
    std::vector<std::string> words;
    const char* reason;
  };
  const Case cases[] = {
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
  for (const Case& c : cases) {
    ShellOptions options;
    std::string error;
    EXPECT_FALSE(Parse(c.words, &options, &error)) << c.words[0];
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.words[0] << ": " << error;
  }
}

}  // namespace
