// Golden pictures: frames looked at by eye and kept under tests/data/; a
// frame must match its picture exactly. VEYRITH_REGENERATE_GOLDEN=1
// rewrites the pictures instead.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "storage/png_file.h"

// picture: width x height RGB 565 pixels, top row first; name: the file
// under tests/data/.
inline void ExpectGolden(const std::vector<uint16_t>& picture, int width, int height,
                         const std::string& name) {
  const std::string path = std::string(VEYRITH_SOURCE_DIR) + "/tests/data/" + name;
  std::string error;
  const char* regenerate = std::getenv("VEYRITH_REGENERATE_GOLDEN");
  if (regenerate != nullptr && std::string(regenerate) == "1") {
    ASSERT_TRUE(WritePngRgb565(path, picture.data(), width, height, &error)) << error;
  }
  PngPicture golden;
  ASSERT_TRUE(ReadPng(path, &golden, &error)) << error << " (VEYRITH_REGENERATE_GOLDEN=1 makes it)";
  ASSERT_EQ(golden.width, width) << name;
  ASSERT_EQ(golden.height, height) << name;
  std::vector<uint8_t> rgb(picture.size() * 3);
  Rgb565ToRgb888(picture.data(), picture.size(), rgb.data());
  EXPECT_TRUE(rgb == golden.pixels) << name << ": differs from its golden picture";
}
