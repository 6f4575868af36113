// The "IMPM" reader: every sample of Debian's impulse modules decodes to what
// libxmp (an independent reader) decodes, compressed or not; both versions
// of the compression on hand-built bit streams; and damaged files refused
// with a reason, never read past their end.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "music/it_builder.h"
#include "music/it_reader.h"
#include "music/it_samples.h"
#include "music/mod_builder.h"
#include "music/module_records.h"
#include "tiny_s3m.h"
#include "xmp.h"

namespace {

TEST(ImpulseReader, SamplesMatchAnIndependentReader) {
  const std::vector<std::string> paths = FilesIn("/usr/share/games/pingus/data/music", ".it");
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
        // (sorcerer.it, pingus-3.it); the bits are there and read here.
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

// Values of the given widths, lowest bit first, as one block with its
// byte count.
std::vector<uint8_t> Block(const std::vector<std::pair<uint32_t, int>>& values) {
  std::vector<uint8_t> bytes;
  size_t bit = 0;
  for (const auto& [value, width] : values) {
    for (int i = 0; i < width; ++i, ++bit) {
      if (bit % 8 == 0) bytes.push_back(0);
      bytes.back() |= static_cast<uint8_t>(((value >> i) & 1) << (bit % 8));
    }
  }
  bytes.insert(bytes.begin(), {uint8_t(bytes.size()), uint8_t(bytes.size() >> 8)});
  return bytes;
}

TEST(ImpulseReader, CompressedBlocksOfBothVersions) {
  // 8-bit: 5 at the full width 9; 0x102 switches to width 3; 7 is -1; the
  // escape 4 plus 3 bits (6) switches to width 8; 0xF0 is -16.
  const std::vector<std::pair<uint32_t, int>> eight = {{5, 9}, {0x102, 9}, {7, 3},
                                                       {4, 3}, {6, 3},     {0xF0, 8}};
  // 16-bit: 1000 at width 17; 0x10006 switches to width 7; 127 is -1.
  const std::vector<std::pair<uint32_t, int>> sixteen = {{1000, 17}, {0x10006, 17}, {127, 7}};
  const struct {
    const char* what;
    std::vector<uint8_t> data;
    bool sixteen_bit, double_delta;
    std::vector<int> expected;  // empty: refused
  } cases[] = {
      {"8-bit, deltas summed once", Block(eight), false, false, {5, 4, -12}},
      {"8-bit, summed twice", Block(eight), false, true, {5, 9, -3}},
      {"16-bit, summed once", Block(sixteen), true, false, {1000, 999}},
      {"16-bit, summed twice", Block(sixteen), true, true, {1000, 1999}},
      {"a width of 0 does not exist", Block({{5, 9}, {0x1FF, 9}, {1, 1}}), false, false, {}},
      {"the bits end before the values", Block({{5, 9}}), false, false, {}},
      {"a block longer than the data", {200, 0, 1, 2}, false, false, {}},
  };
  for (const auto& c : cases) {
    const uint32_t count = c.expected.empty() ? 3 : uint32_t(c.expected.size());
    std::vector<int16_t> out(count, 99);
    const size_t used = DecompressImpulseSide(c.data.data(), c.data.size(), c.sixteen_bit,
                                              c.double_delta, count, out.data(), 1);
    if (c.expected.empty()) {
      EXPECT_EQ(used, 0u) << c.what;
    } else {
      EXPECT_EQ(used, c.data.size()) << c.what;
      EXPECT_EQ(std::vector<int>(out.begin(), out.end()), c.expected) << c.what;
    }
  }
}

TEST(ImpulseReader, PackedPatternsRememberMasksAndValues) {
  ItBuilder builder;
  builder.rows = 4;
  builder.packed = {
      0x81, 0x0F, 60,  1, 99, 4, 0x12,  // row 0, channel 0: C-5, sample 1, d4, D12
      0x83, 0x01, 254, 0,               // channel 2: a note cut
      0x81, 0xF0, 0,                    // row 1, channel 0: all four as last stored
      0x83, 0x04, 80,  0,               // row 2, channel 2: the volume byte 80 (b5)
      0x01, 0,                          // row 3, channel 0: its last mask again
  };
  Loaded loaded(builder.Build());
  ASSERT_EQ(loaded.code, 0) << loaded.reason;
  const ModulePattern& pattern = *loaded.module->patterns[0];
  const std::vector<uint8_t> rows(pattern.rows, pattern.rows + pattern.size_bytes - 8);
  // The player's rows: C-5 is its C-4 (0x40); volume bytes from 80 on move
  // one up (d4 to 100, b5 to 81) so that 80 stays "none"; D is command 11.
  const std::vector<uint8_t> expected = {
      0xE0, 0x40, 0, 100, 11, 0x12, 0x22, kNoteCut, kInstrumentNone, 0,  // row 0
      0xE0, 0x40, 0, 100, 11, 0x12, 0,                                   // row 1
      0x42, 81,   0,                                                     // row 2
      0xE0, 0x40, 0, 100, 11, 0x12, 0};                                  // row 3
  EXPECT_EQ(rows, expected);
  EXPECT_EQ(loaded.module->channel_count, 3);
}

}  // namespace
