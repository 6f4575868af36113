// --resolution: the sizes accepted and refused, each refusal naming the text
// and what is wrong. The options it does not go with are in the options'
// tables.
#include <gtest/gtest.h>

#include <string>

#include "shell/resolution.h"

namespace {

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
