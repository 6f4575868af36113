// A 2D effect on a screen larger than its 640x480: the picture is scaled up
// smoothly into the screen's largest 4:3 area, with black bars around it.
// The 1280x960 frame is compared with ImageMagick's bilinear ("Triangle")
// enlargement of the 640x480 frame.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "board_fixture.h"
#include "effects/logo.h"
#include "storage/png_file.h"

namespace {

class ScaledEffectTest : public EffectBoardTest {
 protected:
  // A picture with smooth ramps and hard edges, so that both the blend and
  // where it falls are seen.
  void PaintLogo() {
    for (int y = 0; y < 480; ++y) {
      for (int x = 0; x < 640; ++x) {
        const int block = ((x / 37) + (y / 29)) % 2;
        logo_[y * 640 + x] = static_cast<uint8_t>(block ? (x + 2 * y) % 256 : 255 - x % 256);
      }
    }
    for (int i = 0; i < 256; ++i) {
      LogoPalette[3 * i] = static_cast<uint8_t>(i / 4);
      LogoPalette[3 * i + 1] = static_cast<uint8_t>(63 - i / 4);
      LogoPalette[3 * i + 2] = static_cast<uint8_t>((i * 5) % 64);
    }
  }
  // The logo frame on a screen of this size (0 x 0: the mode's own), top row
  // first.
  std::vector<uint16_t> LogoFrame(int width, int height) {
    platform::RunExitHandlers();
    DeviceResetState();
    if (width > 0) {
      EXPECT_TRUE(DeviceSetScreenSize(width, height));
    }
    DeviceInit();
    DeviceOpen(GR_RESOLUTION_640x480);
    FadeLevel = 255;
    ClearFrame();
    DrawLogo(0.0f);
    ShowFrame(1);
    return std::vector<uint16_t>(
        sink_.last_frame(),
        sink_.last_frame() + static_cast<size_t>(sink_.width()) * sink_.height());
  }
};

TEST_F(ScaledEffectTest, MatchesImageMagicksBilinearEnlargement) {
  PaintLogo();
  const std::vector<uint16_t> small = LogoFrame(0, 0);
  ASSERT_EQ(sink_.width(), 640);
  const std::vector<uint16_t> large = LogoFrame(1280, 960);
  ASSERT_EQ(sink_.width(), 1280);

  char folder[] = "/tmp/veyrith-scaled-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string in = std::string(folder) + "/small.png", out = std::string(folder) + "/im.png";
  std::string error;
  ASSERT_TRUE(WritePngRgb565(in, small.data(), 640, 480, &error)) << error;
  const std::string command =
      "convert '" + in + "' -filter Triangle -resize 1280x960! -depth 8 '" + out + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command << " (ImageMagick is needed)";
  PngPicture reference;
  ASSERT_TRUE(ReadPng(out, &reference, &error)) << error;
  std::filesystem::remove_all(folder);
  ASSERT_EQ(reference.width, 1280);
  ASSERT_EQ(reference.height, 960);

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
      const int theirs = (reference.pixels[3 * i + c] * top[c] + 127) / 255;
      const int difference = std::abs(ours[c] - theirs);
      worst = std::max(worst, difference);
      differing += difference != 0;
    }
  }
  EXPECT_LE(worst, 1);
  EXPECT_LT(differing, static_cast<long>(large.size()) * 3 / 5) << "more than a rounding apart";
}

TEST_F(ScaledEffectTest, OtherShapesKeepTheFourToThreePictureBetweenBars) {
  PaintLogo();
  const std::vector<uint16_t> fitted = LogoFrame(1280, 960);
  const struct {
    int width, height, x, y;  // screen, and where the 1280x960 picture lies
  } cases[] = {{1280, 1024, 0, 32}, {1440, 960, 80, 0}};
  for (const auto& c : cases) {
    const std::vector<uint16_t> frame = LogoFrame(c.width, c.height);
    long outside_lit = 0, inside_wrong = 0;
    for (int y = 0; y < c.height; ++y) {
      for (int x = 0; x < c.width; ++x) {
        const uint16_t pixel = frame[static_cast<size_t>(y) * c.width + x];
        const int fx = x - c.x, fy = y - c.y;
        if (fx < 0 || fy < 0 || fx >= 1280 || fy >= 960) {
          outside_lit += pixel != 0;
        } else {
          inside_wrong += pixel != fitted[static_cast<size_t>(fy) * 1280 + fx];
        }
      }
    }
    EXPECT_EQ(outside_lit, 0) << c.width << "x" << c.height;
    EXPECT_EQ(inside_wrong, 0) << c.width << "x" << c.height;
  }
}

}  // namespace
