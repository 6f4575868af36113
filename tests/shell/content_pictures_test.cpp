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
  uint8_t seed;         // pixels and palette differ per picture
  const char* missing;  // the message when it is missing
};

const PictureMember kPictures[] = {
    {"textures\\veyri.pcx", 640, 480, 1, "Error on loading logo!"},
    {"textures\\bump\\scroller\\background.pcx", 320, 200, 2,
     "Error on loading scroller background!"},
    {"textures\\bump\\256.pcx", 256, 256, 3, "Error on loading bump!"},
    {"textures\\bump\\scroller\\text1024.pcx", 320, 1024, 4, "Error on loading scroller!"},
};

uint8_t PixelOf(const PictureMember& p, int x, int y) {
  return static_cast<uint8_t>((x * 3 + y * 5) * p.seed + p.seed);
}

std::vector<uint8_t> PaletteOf(const PictureMember& p) {
  std::vector<uint8_t> palette(768);
  for (int i = 0; i < 768; ++i) palette[i] = static_cast<uint8_t>(i * p.seed + 4 * p.seed);
  return palette;
}

// A content library with every picture but the one at `left_out`.
std::optional<storage_test::ContentLibraryScope> content;
void OpenLibraryWithout(int left_out) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> members = {
      {"3ds\\intro.3DS", {1, 2, 3}}};
  for (int i = 0; i < 4; ++i) {
    if (i == left_out) continue;
    const PictureMember& p = kPictures[i];
    std::vector<uint8_t> pixels(static_cast<size_t>(p.width) * p.height);
    for (int y = 0; y < p.height; ++y) {
      for (int x = 0; x < p.width; ++x) pixels[y * p.width + x] = PixelOf(p, x, y);
    }
    members.push_back({p.name, EncodePcx8(pixels.data(), p.width, p.height, PaletteOf(p).data())});
  }
  content.emplace(members);
}

TEST(EffectPictures, EachLandsInItsBufferAndAMissingOneFailsWithItsMessage) {
  platform::SetMessageBoxDialogs(false);
  platform::SetMessageBoxHook(Remember);
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

  for (int left_out = 0; left_out < 4; ++left_out) {
    shown_messages.clear();
    OpenLibraryWithout(left_out);
    EXPECT_EQ(LoadEffectPictures(), 0) << kPictures[left_out].name;
    EXPECT_EQ(shown_messages, std::vector<std::string>{kPictures[left_out].missing});
  }
  // The text picture of the first load is not kept when its load fails: the
  // buffers are filled with 0 before the pictures load.
  for (int i = 0; i < kScrollerTextBytes; ++i) ASSERT_EQ(ScrollerText[i], 0) << i;
  content.reset();
  platform::SetMessageBoxHook(nullptr);
}

}  // namespace
