// A 2D effect on a screen larger than its 640x480: the picture is scaled up
// smoothly into the screen's largest 4:3 area, with black bars around it.
// The 1280x960 frame is compared with ImageMagick's bilinear ("Triangle")
// enlargement of the 640x480 frame.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "board_fixture.h"
#include "effects/logo.h"
#include "storage/png_file.h"
#include "temp_folder.h"

namespace {

class ScaledEffectTest : public EffectBoardTest {
 protected:
  // Smooth ramps beside hard edges, so that both the blend and where it
  // falls show; then the frame on a screen of this size (0: the mode's own).
  std::vector<uint16_t> LogoFrame(int width, int height) {
    for (int i = 0; i < kLogoBytes; ++i) {
      const int x = i % 640, y = i / 640;
      logo_[i] = static_cast<uint8_t>((x / 37 + y / 29) % 2 ? (x + 2 * y) % 256 : 255 - x % 256);
    }
    for (int i = 0; i < 768; ++i) LogoPalette[i] = static_cast<uint8_t>((i * 7 / 3) % 64);
    platform::RunExitHandlers();
    DeviceResetState();
    EXPECT_TRUE(width == 0 || DeviceSetScreenSize(width, height));
    DeviceInit();
    DeviceOpen(GR_RESOLUTION_640x480);
    FadeLevel = 255;
    ClearFrame();
    DrawLogo(0.0f);
    ShowFrame(1);
    return {sink_.last_frame(),
            sink_.last_frame() + static_cast<size_t>(sink_.width()) * sink_.height()};
  }
};

TEST_F(ScaledEffectTest, MatchesImageMagicksBilinearEnlargement) {
  const std::vector<uint16_t> small = LogoFrame(0, 0);
  const std::vector<uint16_t> large = LogoFrame(1280, 960);
  ASSERT_EQ(large.size(), 1280u * 960u);
  const TempFolder folder;
  const std::string in = folder / "small.png", out = folder / "im.png";
  std::string error;
  ASSERT_TRUE(WritePngRgb565(in, small.data(), 640, 480, &error)) << error;
  const std::string command =
      "convert '" + in + "' -filter Triangle -resize 1280x960! '" + out + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command << " (ImageMagick is needed)";
  PngPicture reference;
  ASSERT_TRUE(ReadPng(out, &reference, &error)) << error;
  ASSERT_EQ(reference.pixels.size(), large.size() * 3);

  // Both blend the same pixel values at the same places; ImageMagick in
  // floating point from 8-bit widened values to 8 bits, the board in steps of
  // 1/256 pixel to 5 or 6 bits. Rounding each to the 565 grid, they may then
  // differ by one step where a blend falls half-way between two steps (at
  // twice the size the weights are quarters, so about one value in ten
  // does), never by more. A picture placed or blended wrongly differs by
  // more at the hard edges, and by one far more often.
  int worst = 0;
  long differing = 0;
  for (size_t i = 0; i < large.size(); ++i) {
    const int ours[3] = {large[i] >> 11, (large[i] >> 5) & 63, large[i] & 31};
    const int top[3] = {31, 63, 31};
    for (int c = 0; c < 3; ++c) {
      const int difference = std::abs(ours[c] - (reference.pixels[3 * i + c] * top[c] + 127) / 255);
      worst = std::max(worst, difference);
      differing += difference != 0;
    }
  }
  EXPECT_LE(worst, 1);
  EXPECT_LT(differing, static_cast<long>(large.size()) * 3 / 5) << "more than a rounding apart";
}

TEST_F(ScaledEffectTest, OtherShapesKeepTheFourToThreePictureBetweenBars) {
  const std::vector<uint16_t> fitted = LogoFrame(1280, 960);
  const struct {
    int width, height, x, y;  // screen, and where the 1280x960 picture lies
  } cases[] = {{1280, 1024, 0, 32}, {1440, 960, 80, 0}};
  for (const auto& c : cases) {
    const std::vector<uint16_t> frame = LogoFrame(c.width, c.height);
    long wrong = 0;
    for (int y = 0; y < c.height; ++y) {
      for (int x = 0; x < c.width; ++x) {
        const int fx = x - c.x, fy = y - c.y;
        const bool bar = fx < 0 || fy < 0 || fx >= 1280 || fy >= 960;
        wrong += frame[static_cast<size_t>(y) * c.width + x] !=
                 (bar ? 0 : fitted[static_cast<size_t>(fy) * 1280 + fx]);
      }
    }
    EXPECT_EQ(wrong, 0) << c.width << "x" << c.height;
  }
}

}  // namespace
