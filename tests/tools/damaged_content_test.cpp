// The demo against damaged content (library, members, module, sound
// device): one screenshot in a folder holding the damaged copy; a failure is
// the loader's own message with exit 1, sound trouble leaves the picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "run_program.h"
#include "storage/library_writer.h"

namespace {

namespace fs = std::filesystem;

const std::string kContent = std::string(VEYRITH_BINARY_DIR) + "/content";

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}
int32_t Le32(const std::vector<uint8_t>& bytes, size_t at) {
  return static_cast<int32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                              static_cast<uint32_t>(bytes[at + 3]) << 24);
}

// The members of the default library: 12-byte head, then 64-byte entries of
// a 52-byte name, the offset and the length.
std::vector<LibraryMember> DefaultMembers() {
  const std::vector<uint8_t> library = ReadBytes(kContent + "/demo.dat");
  std::vector<LibraryMember> members;
  const int32_t count = Le32(library, 8);
  for (size_t entry = 12; entry < 12 + static_cast<size_t>(count) * 64; entry += 64) {
    const auto from = library.begin() + Le32(library, entry + 52);
    members.push_back(
        {reinterpret_cast<const char*>(&library[entry]), {from, from + Le32(library, entry + 56)}});
  }
  return members;
}

struct Shot {
  ProgramResult result;
  bool png_written = false;
};

// One screenshot at 0.5 s in the folder, with extra arguments and
// environment; the folder is removed afterwards.
Shot TakeShot(const std::string& folder, std::vector<std::string> extra = {},
              std::vector<std::pair<std::string, std::string>> environment = {}) {
  std::vector<std::string> arguments = {ProgramFolder() + "/veyrith", "--screenshot", "0.5",
                                        folder + "/shot.png"};
  arguments.insert(arguments.end(), extra.begin(), extra.end());
  ProgramRun run = Command(arguments, folder);
  run.set_environment = std::move(environment);
  run.time_limit_seconds = 120;
  Shot shot;
  shot.result = RunProgram(run);
  shot.png_written = fs::exists(folder + "/shot.png");
  fs::remove_all(folder);
  return shot;
}

long Lines(const std::string& text) {
  return std::count(text.begin(), text.end(), '\n');
}
bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// A folder with the default module and the library made of these members.
std::string FolderWith(const std::vector<LibraryMember>& members) {
  const std::string folder = MakeTemporaryFolder();
  std::string error;
  EXPECT_TRUE(WriteLibrary(folder + "/demo.dat", members, &error)) << error;
  fs::copy_file(kContent + "/music.s3m", folder + "/music.s3m");
  return folder;
}

class DamagedContent : public testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kContent + "/demo.dat")) GTEST_SKIP() << "needs the default content";
  }
};

// Each failure is the loader's one message and exit 1: no crash, no
// sanitizer report, no screenshot.
void ExpectLoadFailure(const Shot& shot, const std::vector<std::string>& messages,
                       const std::string& what) {
  EXPECT_EQ(shot.result.exit_code, 1) << what << "\n" << shot.result.err;
  EXPECT_FALSE(shot.png_written) << what;
  EXPECT_EQ(Lines(shot.result.err), 1) << what << "\n" << shot.result.err;
  const bool known = std::any_of(messages.begin(), messages.end(), [&](const std::string& m) {
    return Contains(shot.result.err, "Veyrith: " + m);
  });
  EXPECT_TRUE(known) << what << "\n" << shot.result.err;
}

TEST_F(DamagedContent, LibraryMissingUnreadableOrCutAnywhereFailsWithTheLoadersMessage) {
  ExpectLoadFailure(TakeShot(MakeTemporaryFolder()), {"Cannot open file library!"}, "no demo.dat");
  const std::string folder_not_file = MakeTemporaryFolder();
  fs::create_directory(folder_not_file + "/demo.dat");
  ExpectLoadFailure(TakeShot(folder_not_file),
                    {"Cannot open file library!", "File library invalid!"}, "demo.dat a folder");

  // Cut points through the head, the directory and every stretch of the
  // members; any cut loses at least the last picture.
  const std::vector<uint8_t> library = ReadBytes(kContent + "/demo.dat");
  const std::vector<std::string> messages = {"File library invalid!",
                                             "Error on loading 3D animation",
                                             "Texture load error!",
                                             "Error on loading logo!",
                                             "Error on loading scroller background!",
                                             "Error on loading bump!",
                                             "Error on loading scroller!"};
  std::vector<size_t> cuts = {
      0, 7, 8, 11, 12, 12 + 64 * 3 + 20, 12 + 64 * static_cast<size_t>(Le32(library, 8)) - 1};
  for (int step = 1; step <= 9; ++step) cuts.push_back(library.size() * step / 10);
  cuts.push_back(library.size() - 1);
  for (const size_t cut : cuts) {
    const std::string folder = MakeTemporaryFolder();
    WriteBytes(folder + "/demo.dat", {library.begin(), library.begin() + cut});
    fs::copy_file(kContent + "/music.s3m", folder + "/music.s3m");
    ExpectLoadFailure(TakeShot(folder), messages, "cut at " + std::to_string(cut));
  }
}

// A picture cut inside its pixel runs still decodes (the bytes past its end
// read as 0); cut inside its header it fails.
enum class Damage { kRemove, kGarbage, kCutHalf, kCutHead, kEmpty };

void Apply(std::vector<LibraryMember>* members, const std::string& name, Damage damage) {
  const auto member = std::find_if(members->begin(), members->end(),
                                   [&](const LibraryMember& m) { return m.name == name; });
  ASSERT_NE(member, members->end()) << name;
  std::vector<uint8_t>& bytes = member->bytes;
  if (damage == Damage::kGarbage) {
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 151 + 7);
  }
  if (damage == Damage::kCutHalf || damage == Damage::kCutHead || damage == Damage::kEmpty) {
    bytes.resize(damage == Damage::kCutHalf ? bytes.size() / 2
                 : damage == Damage::kEmpty ? 0
                                            : 100);
  }
  if (damage == Damage::kRemove) members->erase(member);
}

TEST_F(DamagedContent, MissingOrCorruptMemberGivesItsMessageOrTheFallbackTexture) {
  struct Case {
    std::vector<std::pair<std::string, Damage>> damage;
    std::string message;  // empty: the demo plays (a texture falls back to plasm)
  };
  const Case cases[] = {
      {{{"3ds\\intro.3DS", Damage::kRemove}}, "Error on loading 3D animation 0\n"},
      {{{"3ds\\mountainhut.3DS", Damage::kGarbage}}, "Error on loading 3D animation 1b\n"},
      {{{"3ds\\planet_part3.3DS", Damage::kCutHalf}}, "Error on loading 3D animation 1c III\n"},
      {{{"3ds\\stonehedge_fire.3DS", Damage::kEmpty}}, "Error on loading 3D animation 1d\n"},
      {{{"textures\\veyri.pcx", Damage::kRemove}}, "Error on loading logo!"},
      {{{"textures\\bump\\scroller\\background.pcx", Damage::kGarbage}},
       "Error on loading scroller background!"},
      {{{"textures\\bump\\256.pcx", Damage::kCutHead}}, "Error on loading bump!"},
      {{{"textures\\bump\\scroller\\text1024.pcx", Damage::kEmpty}}, "Error on loading scroller!"},
      {{{"textures\\GRASS.PCX", Damage::kRemove}, {"textures\\ROCK.BMP", Damage::kGarbage}}, ""},
      {{{"textures\\PLANET.BMP", Damage::kCutHalf}}, ""},
      {{{"textures\\plasm.pcx", Damage::kRemove}, {"textures\\SKY.PCX", Damage::kRemove}},
       "Texture load error!"},
      {{{"textures\\plasm.pcx", Damage::kGarbage}, {"textures\\METAL.BMP", Damage::kCutHalf}},
       "Texture load error!"},
  };
  const std::vector<LibraryMember> intact = DefaultMembers();
  for (const Case& c : cases) {
    std::vector<LibraryMember> members = intact;
    std::string what;
    for (const auto& [name, damage] : c.damage) {
      Apply(&members, name, damage);
      what += name + " ";
    }
    const Shot shot = TakeShot(FolderWith(members));
    if (c.message.empty()) {
      EXPECT_TRUE(shot.result.exit_code == 0 && shot.png_written) << what << shot.result.err;
      EXPECT_EQ(shot.result.err, "") << what;
    } else {
      ExpectLoadFailure(shot, {c.message}, what);
    }
  }
}

TEST_F(DamagedContent, BrokenModuleOrNoSoundDevicePlaysSilentlyWithOneLine) {
  const std::vector<uint8_t> module = ReadBytes(kContent + "/music.s3m");
  std::vector<uint8_t> garbage(module.size());
  for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<uint8_t>(i * 37 + 11);
  std::vector<uint8_t> bad_head = module;  // an S3M whose counts run past the file
  std::memset(&bad_head[0x22], 0xFF, 6);
  struct Case {
    std::string what;
    bool write_module;
    std::vector<uint8_t> bytes;
    std::string complaint;  // what the one line on standard error names
    std::vector<std::string> extra = {};
    std::vector<std::pair<std::string, std::string>> environment = {};
  };
  const Case cases[] = {
      {"no module", false, {}, "music.s3m"},
      {"garbage", true, garbage, "music.s3m"},
      {"empty", true, {}, "music.s3m"},
      {"cut in its head", true, {module.begin(), module.begin() + 60}, "music.s3m"},
      {"counts past the end", true, bad_head, "music.s3m"},
      {"cut in its samples", true, {module.begin(), module.end() - module.size() / 3}, ""},
      {"no sound device",
       true,
       module,
       "playing without sound",
       {"--sound", "default"},
       // SDL's audio start-up leaves a D-Bus buffer that libdbus keeps for
       // the life of the process; the sanitizer build's leak check is not
       // about it.
       {{"SDL_AUDIODRIVER", "no-such-driver"}, {"ASAN_OPTIONS", "detect_leaks=0"}}},
  };
  const fs::path library = kContent + "/demo.dat";
  for (const Case& c : cases) {
    const std::string folder = MakeTemporaryFolder();
    fs::copy_file(library, folder + "/demo.dat");
    if (c.write_module) WriteBytes(folder + "/music.s3m", c.bytes);
    const Shot shot = TakeShot(folder, c.extra, c.environment);
    const std::string& err = shot.result.err;
    EXPECT_TRUE(shot.result.exit_code == 0 && shot.png_written) << c.what << "\n" << err;
    // One line naming the trouble; a module cut in its samples may say nothing.
    EXPECT_EQ(Lines(err), c.complaint.empty() ? std::min(Lines(err), 1L) : 1) << c.what << err;
    EXPECT_TRUE(Contains(err, c.complaint)) << c.what << "\n" << err;
  }
}

}  // namespace
