// Plays the plain and "Extended Module:" modules that Debian's games ship
// and checks, against libopenmpt, that we visit the same rows in the same
// order and that the song lengths agree within 0.3 %.
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

// Every module file in the folder (tecnoballz-data also keeps an "Extended
// Module:" file under a .mod name).
std::vector<std::string> ModulesIn(const char* folder, const char* extension) {
  std::vector<std::string> paths;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (entry.path().extension() == extension) paths.push_back(entry.path().string());
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

// Our song starts with a lead-in of speed - 1 ticks before the first row
// (the S3M player's designed start); libopenmpt's does not.
double LeadInSeconds(const Module& module) {
  return (module.speed - 1) * 2.5 / (module.tempo != 0 ? module.tempo : 125);
}

void ExpectRowsAndLengthOfLibopenmpt(const std::vector<std::string>& paths, int32_t rules) {
  for (const std::string& path : paths) {
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    Module* module = nullptr;
    std::string reason;
    ASSERT_EQ(LoadModuleFromMemory(bytes.data(), bytes.size(), &module, &reason), 0)
        << path << ": " << reason;
    const bool extended = std::string(bytes.begin(), bytes.begin() + 16) == "Extended Module:";
    EXPECT_EQ(module->rules, extended ? kRulesExtended : rules) << path;
    RowList ours;
    const double our_seconds =
        PlayerWalkSong(module, 1000000, CollectRow, &ours) - LeadInSeconds(*module);
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

TEST(FormatConformance, PlainModulesPlayTheRowsOfAnIndependentPlayer) {
  const std::vector<std::string> paths = ModulesIn("/usr/share/games/tecnoballz/musics", ".mod");
  if (paths.empty()) GTEST_SKIP() << "tecnoballz-data is not installed";
  ExpectRowsAndLengthOfLibopenmpt(paths, kRulesPlain);
}

TEST(FormatConformance, ExtendedModulesPlayTheRowsOfAnIndependentPlayer) {
  const std::vector<std::string> paths = ModulesIn("/usr/share/games/flobopuyo/sfx", ".xm");
  if (paths.empty()) GTEST_SKIP() << "flobopuyo is not installed";
  ExpectRowsAndLengthOfLibopenmpt(paths, kRulesExtended);
}

}  // namespace
