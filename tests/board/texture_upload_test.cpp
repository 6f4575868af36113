// Texture memory and the texture upload: placement back to back, levels of
// detail and aspect ratios, refusals that leave memory and cursor alone.
#include "engine/texture_upload.h"

#include <gtest/gtest.h>

#include <vector>

#include "board/glide.h"
#include "board/texture_memory.h"
#include "device/demo_state.h"
#include "storage/texture.h"

namespace {

class TextureUploadTest : public ::testing::Test {
 protected:
  void SetUp() override { TextureMemoryCursor = static_cast<uint32_t>(-1); }

  // A texture of width x height texels numbered from 'first', with the
  // reduced levels when mipmapped.
  Texture Make(int width, int height, bool mipmapped, uint16_t first = 1) {
    size_t count = 0;
    for (int w = width, h = height;; w = std::max(w / 2, 1), h = std::max(h / 2, 1)) {
      count += static_cast<size_t>(w) * h;
      if (!mipmapped || (w == 1 && h == 1)) break;
    }
    auto& texels = storage_.emplace_back(count);
    for (size_t i = 0; i < count; ++i) texels[i] = static_cast<uint16_t>(first + i);
    Texture texture;
    texture.image.pixels = texels.data();
    texture.image.width = width;
    texture.image.height = height;
    texture.image.mipmapped = mipmapped ? 1 : 0;
    return texture;
  }

  std::vector<std::vector<uint16_t>> storage_;
};

TEST_F(TextureUploadTest, TexturesArePlacedBackToBackFromTheLowestAddress) {
  Texture first = Make(64, 64, false, 100);
  Texture second = Make(32, 16, true, 7000);
  ASSERT_EQ(UploadTexture(&first), 1);
  ASSERT_EQ(UploadTexture(&second), 1);
  EXPECT_EQ(first.start_address, grTexMinAddress(GR_TMU0));
  EXPECT_EQ(first.memory_required, 64u * 64 * 2);
  EXPECT_EQ(second.start_address, first.start_address + first.memory_required);
  // 32x16, 16x8, 8x4, 4x2, 2x1, 1x1 texels, rounded up to 8 bytes.
  EXPECT_EQ(second.memory_required, (512u + 128 + 32 + 8 + 2 + 1) * 2 + 2);
  EXPECT_EQ(TextureMemoryCursor, second.start_address + second.memory_required);
  // The texels are in texture memory where the records say.
  EXPECT_EQ(TextureMemoryTexelAt(first.start_address), 100);
  EXPECT_EQ(TextureMemoryTexelAt(first.start_address + 2 * 4095), 100 + 4095);
  EXPECT_EQ(TextureMemoryTexelAt(second.start_address + 2 * 682), 7000 + 682);
}

TEST_F(TextureUploadTest, LevelsOfDetailAndAspectRatiosFollowTheSides) {
  const struct {
    int width, height;
    bool mipmapped;
    GrLOD_t large, small;
    GrAspectRatio_t aspect;
  } cases[] = {
      {256, 256, false, GR_LOD_256, GR_LOD_256, GR_ASPECT_1x1},
      {256, 256, true, GR_LOD_256, GR_LOD_1, GR_ASPECT_1x1},
      {64, 256, false, GR_LOD_256, GR_LOD_256, GR_ASPECT_1x4},
      {256, 32, false, GR_LOD_256, GR_LOD_256, GR_ASPECT_8x1},
      {16, 8, false, GR_LOD_16, GR_LOD_16, GR_ASPECT_2x1},
      {1, 8, true, GR_LOD_8, GR_LOD_1, GR_ASPECT_1x8},
      {1, 1, false, GR_LOD_1, GR_LOD_1, GR_ASPECT_1x1},
  };
  for (const auto& c : cases) {
    Texture texture = Make(c.width, c.height, c.mipmapped);
    ASSERT_EQ(UploadTexture(&texture), 1) << c.width << "x" << c.height;
    EXPECT_EQ(texture.large_lod, c.large) << c.width << "x" << c.height;
    EXPECT_EQ(texture.small_lod, c.small) << c.width << "x" << c.height;
    EXPECT_EQ(texture.aspect_ratio, c.aspect) << c.width << "x" << c.height;
    EXPECT_EQ(texture.format, GR_TEXFMT_RGB_565);
    EXPECT_EQ(texture.data, texture.image.pixels);
  }
}

TEST_F(TextureUploadTest, UnsupportedAspectRatioIsRefusedWithTheMessage) {
  Texture fitting = Make(8, 8, false);
  ASSERT_EQ(UploadTexture(&fitting), 1);
  const uint32_t cursor = TextureMemoryCursor;
  for (const auto& [width, height] : {std::pair{256, 16}, std::pair{1, 16}, std::pair{3, 2}}) {
    Texture texture = Make(width, height, false);
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(UploadTexture(&texture), 0);
    const std::string expected = "nonsupported aspect ratio (" + std::to_string(width) + " x " +
                                 std::to_string(height) + ")\n";
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), expected);
    EXPECT_EQ(TextureMemoryCursor, cursor);
  }
  Texture empty;
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(UploadTexture(&empty), 0);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "nonsupported aspect ratio (0 x 0)\n");
}

// Sixteen 256x256 textures fill the 2 MiB exactly; one more texel does
// not fit, and is refused without touching memory or cursor.
TEST_F(TextureUploadTest, TextureThatDoesNotFitIsRefused) {
  for (int i = 0; i < 16; ++i) {
    Texture texture = Make(256, 256, false, static_cast<uint16_t>(i));
    ASSERT_EQ(UploadTexture(&texture), 1) << i;
  }
  EXPECT_EQ(TextureMemoryCursor, kTextureMemoryBytes);
  const uint16_t last = TextureMemoryTexelAt(kTextureMemoryBytes - 2);
  Texture extra = Make(1, 1, false, 0xABCD);
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(UploadTexture(&extra), 0);
  EXPECT_NE(::testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(TextureMemoryCursor, kTextureMemoryBytes);
  EXPECT_EQ(TextureMemoryTexelAt(kTextureMemoryBytes - 2), last);
}

TEST(TextureMemoryTest, DownloadsPastTheEndOrOfUnknownShapeWriteNothing) {
  std::vector<uint16_t> texels(256 * 256, 0x1234);
  GrTexInfo info;
  info.smallLod = info.largeLod = GR_LOD_256;
  info.aspectRatio = GR_ASPECT_1x1;
  info.format = GR_TEXFMT_RGB_565;
  info.data = texels.data();
  const uint32_t start = kTextureMemoryBytes - 128 * 128 * 2;  // a quarter of it would fit
  const uint16_t before = TextureMemoryTexelAt(start);
  grTexDownloadMipMap(GR_TMU0, start, GR_MIPMAPLEVELMASK_BOTH, &info);
  EXPECT_EQ(TextureMemoryTexelAt(start), before);
  info.smallLod = info.largeLod = GR_LOD_128;
  grTexDownloadMipMap(GR_TMU0, start, GR_MIPMAPLEVELMASK_BOTH, &info);
  EXPECT_EQ(TextureMemoryTexelAt(start), 0x1234);  // 128x128 fits exactly
  EXPECT_EQ(TextureMemoryTexelAt(kTextureMemoryBytes - 2), 0x1234);

  info.format = 3;  // not a format the board stores
  EXPECT_EQ(grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &info), 0u);
  info.format = GR_TEXFMT_RGB_565;
  info.aspectRatio = 7;
  EXPECT_EQ(grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &info), 0u);
  // 256x32 with every level: 8192 + 2048 + 512 + 128 + 32 + 8 + 4 + 2 + 1
  // texels, the short side staying at 1 once reached.
  info.aspectRatio = GR_ASPECT_8x1;
  info.largeLod = GR_LOD_256;
  info.smallLod = GR_LOD_1;
  EXPECT_EQ(grTexTextureMemRequired(GR_MIPMAPLEVELMASK_BOTH, &info), 21856u);
}

}  // namespace
