// Loading the effect pictures from small libraries: each lands in its
// buffer, the logo keeps its palette, and a missing one fails with its message.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "device/demo_state.h"
#include "platform/message_box.h"
#include "shell/content_loader.h"
#include "storage/content_fixture.h"
#include "storage/pcx_writer.h"

namespace {

std::vector<std::string> shown_messages;

void Remember(const std::string& text, const std::string& /*caption*/) {
  shown_messages.push_back(text);
}

struct PictureMember {
  const char* name;
  int width;
  int height;
  uint8_t seed;  // pixels and palette differ per picture
};

const PictureMember kPictures[] = {
    {"textures\\veyri.pcx", 640, 480, 1},
    {"textures\\bump\\scroller\\background.pcx", 320, 200, 2},
    {"textures\\bump\\256.pcx", 256, 256, 3},
    {"textures\\bump\\scroller\\text1024.pcx", 320, 1024, 4},
};

uint8_t PixelOf(const PictureMember& p, int x, int y) {
  return static_cast<uint8_t>((x * 3 + y * 5) * p.seed + p.seed);
}

std::vector<uint8_t> PaletteOf(const PictureMember& p) {
  std::vector<uint8_t> palette(768);
  for (int i = 0; i < 768; ++i) palette[i] = static_cast<uint8_t>(i * p.seed + 4 * p.seed);
  return palette;
}

std::pair<std::string, std::vector<uint8_t>> Encode(const PictureMember& p) {
  std::vector<uint8_t> pixels(static_cast<size_t>(p.width) * p.height);
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) pixels[y * p.width + x] = PixelOf(p, x, y);
  }
  return {p.name, EncodePcx8(pixels.data(), p.width, p.height, PaletteOf(p).data())};
}

class EffectPictures : public ::testing::Test {
 protected:
  void SetUp() override {
    shown_messages.clear();
    platform::SetMessageBoxDialogs(false);
    platform::SetMessageBoxHook(Remember);
  }
  void TearDown() override { platform::SetMessageBoxHook(nullptr); }
  // Installs a library of the pictures whose index is not `left_out` as the
  // content library.
  void OpenLibraryWithout(int left_out) {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> members;
    members.push_back({"3ds\\intro.3DS", {1, 2, 3}});
    for (int i = 0; i < 4; ++i) {
      if (i != left_out) members.push_back(Encode(kPictures[i]));
    }
    content_.emplace(members);
  }
  std::optional<storage_test::ContentLibraryScope> content_;
};

TEST_F(EffectPictures, EveryPictureLandsInItsBufferAndTheLogoKeepsItsPalette) {
  OpenLibraryWithout(-1);
  ASSERT_EQ(LoadEffectPictures(), 1);
  EXPECT_TRUE(shown_messages.empty());
  uint8_t* const buffers[] = {LogoPicture, ScrollerBackground, BumpLight, ScrollerText};
  for (int i = 0; i < 4; ++i) {
    const PictureMember& p = kPictures[i];
    for (int y = 0; y < p.height; y += 7) {
      for (int x = 0; x < p.width; x += 3) {
        ASSERT_EQ(buffers[i][y * p.width + x], PixelOf(p, x, y)) << p.name << " " << x << "," << y;
      }
    }
  }
  // The palette of the logo, in 6-bit components, not that of the text
  // picture that was loaded last.
  const std::vector<uint8_t> logo_palette = PaletteOf(kPictures[0]);
  for (int i = 0; i < 768; ++i) ASSERT_EQ(LogoPalette[i], logo_palette[i] >> 2) << i;
  for (int i = 0; i < kScreen320Bytes; ++i) ASSERT_EQ(BumpGradient[i], 0) << i;
  EXPECT_NE(BumpWork, nullptr);
}

TEST_F(EffectPictures, AMissingPictureFailsWithItsOwnMessageAndKeepsNothingStale) {
  const char* const messages[] = {"Error on loading logo!", "Error on loading scroller background!",
                                  "Error on loading bump!", "Error on loading scroller!"};
  OpenLibraryWithout(-1);
  ASSERT_EQ(LoadEffectPictures(), 1);
  for (int left_out = 0; left_out < 4; ++left_out) {
    shown_messages.clear();
    OpenLibraryWithout(left_out);
    EXPECT_EQ(LoadEffectPictures(), 0) << kPictures[left_out].name;
    EXPECT_EQ(shown_messages, std::vector<std::string>{messages[left_out]});
  }
  // The text picture of the earlier load is not kept when its load fails:
  // the buffers are filled with 0 before the pictures load.
  for (int i = 0; i < kScrollerTextBytes; ++i) ASSERT_EQ(ScrollerText[i], 0) << i;
}

}  // namespace
