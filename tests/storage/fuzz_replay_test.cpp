// Replays the fuzzing corpus (tests/data/storage/fuzz/, grown by fuzz/fuzz_pcx
// and fuzz/fuzz_bmp) through every decoder, so builds without libFuzzer run it
// too; under AddressSanitizer this catches any input that makes a decoder
// touch memory outside its buffers.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "storage/picture_decoders.h"
#include "storage/test_files.h"

namespace {

void ExpectDecodedOrRefused(int32_t result, Texture* texture, const std::string& what) {
  ASSERT_TRUE(result == 0 || result == 1) << what;
  if (result == 0) {
    EXPECT_EQ(texture->image.pixels, nullptr) << what;
    return;
  }
  EXPECT_NE(texture->image.pixels, nullptr) << what;
  EXPECT_GE(texture->image.width, 1) << what;
  EXPECT_GE(texture->image.height, 1) << what;
  ReleaseImage(&texture->image);
}

TEST(FuzzReplayTest, CorpusFilesFailOrDecodeCleanly) {
  const std::filesystem::path corpus =
      std::filesystem::path(VEYRITH_SOURCE_DIR) / "tests/data/storage/fuzz";
  int files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus)) {
    if (!entry.is_regular_file()) continue;
    ++files;
    const std::vector<uint8_t> bytes = storage_test::ReadBytes(entry.path().string());
    const auto size = static_cast<int32_t>(bytes.size());
    const std::string name = entry.path().filename().string();
    for (int32_t mipmapped : {0, 1}) {
      Texture pcx, bmp;
      ExpectDecodedOrRefused(DecodePcxTexture(bytes.data(), size, &pcx, mipmapped), &pcx, name);
      ExpectDecodedOrRefused(DecodeBmpTexture(bytes.data(), size, &bmp, mipmapped), &bmp, name);
    }
    std::vector<uint8_t> dest(97 * 41, 0x5C);
    const int32_t result = DecodePcxIndexed(bytes.data(), size, dest.data(), 13, 7, 97, 41);
    EXPECT_TRUE(result == 0 || result == 1) << name;
    for (int32_t x = 0; x < 13; ++x) EXPECT_EQ(dest[7 * 97 + x], 0x5C) << name << " left of x";
  }
  EXPECT_GT(files, 20) << "the corpus is missing";
}

}  // namespace
