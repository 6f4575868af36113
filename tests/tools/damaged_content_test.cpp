// The demo against damaged content: one screenshot in a folder holding a
// damaged copy of the default library and module. A damaged library or member
// fails with the loader's one message and exit 1 (no crash, no sanitizer
// report, no screenshot); a missing texture takes the fallback picture, and
// trouble with the music or the sound device leaves the picture with at most
// one line on standard error. The message of every scene and picture is the
// loader's own tests' matter; here a few stand for them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "run_program.h"
#include "storage/library_writer.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;

int32_t Le32(const std::vector<uint8_t>& bytes, size_t at) {
  return static_cast<int32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                              static_cast<uint32_t>(bytes[at + 3]) << 24);
}

// The default content as the damage is done to it: the library's raw bytes
// or its members (12-byte head, then 64-byte entries of a 52-byte name, the
// offset and the length), and the module.
struct Content {
  std::vector<uint8_t> library;
  std::vector<LibraryMember> members;  // written instead of library when not empty
  std::vector<uint8_t> module;
  bool has_library = true, has_module = true;

  static Content Default() {
    Content c;
    c.library = ReadBytes(ContentFolder() + "/demo.dat");
    c.module = ReadBytes(ContentFolder() + "/music.s3m");
    return c;
  }
  std::vector<uint8_t>& Member(const std::string& name) {
    if (members.empty()) {
      for (size_t entry = 12; entry < 12 + 64 * static_cast<size_t>(Le32(library, 8));
           entry += 64) {
        const auto from = library.begin() + Le32(library, entry + 52);
        members.push_back({reinterpret_cast<const char*>(&library[entry]),
                           {from, from + Le32(library, entry + 56)}});
      }
    }
    const auto member = std::find_if(members.begin(), members.end(),
                                     [&](const LibraryMember& m) { return m.name == name; });
    EXPECT_NE(member, members.end()) << name;
    return member->bytes;
  }
  void Remove(const std::string& name) {
    Member(name);
    std::erase_if(members, [&](const LibraryMember& m) { return m.name == name; });
  }
};

void Garble(std::vector<uint8_t>* bytes) {
  for (size_t i = 0; i < bytes->size(); ++i) (*bytes)[i] = static_cast<uint8_t>(i * 151 + 7);
}

struct Case {
  std::string what;
  std::function<void(Content&)> damage;
  // The loader's messages, one of which the failure must give; empty: the
  // demo plays and standard error has `complaint` on its one line (or, with
  // an empty complaint, at most one line).
  std::vector<std::string> fails_with;
  std::string complaint = "";
  std::vector<std::string> extra = {};
  std::vector<std::pair<std::string, std::string>> environment = {};
};

const std::vector<std::string> kAnyLoadMessage = {
    "File library invalid!",     "Error on loading 3D animation",         "Texture load error!",
    "Error on loading logo!",    "Error on loading scroller background!", "Error on loading bump!",
    "Error on loading scroller!"};

// Cuts the library after `keep(size)` bytes: any cut loses at least the
// last picture.
Case Cut(const std::string& what, std::function<size_t(const Content&)> keep) {
  return {"library cut " + what, [keep](Content& c) { c.library.resize(keep(c)); },
          kAnyLoadMessage};
}

std::vector<Case> Cases() {
  return {
      {"no demo.dat", [](Content& c) { c.has_library = false; }, {"Cannot open file library!"}},
      {"library cut in its head",
       [](Content& c) { c.library.resize(11); },
       {"File library invalid!"}},
      Cut("in its directory", [](const Content&) { return 12 + 64 * 3 + 20; }),
      Cut("in the middle", [](const Content& c) { return c.library.size() / 2; }),
      Cut("by its last byte", [](const Content& c) { return c.library.size() - 1; }),
      {"mountain hut garbled",
       [](Content& c) { Garble(&c.Member("3ds\\mountainhut.3DS")); },
       {"Error on loading 3D animation 1b\n"}},
      {"bump light cut in its header",
       [](Content& c) { c.Member("textures\\bump\\256.pcx").resize(100); },
       {"Error on loading bump!"}},
      // A texture missing or undecodable takes the fallback picture; a
      // picture cut inside its pixel runs still decodes.
      {"textures missing, garbled or cut",
       [](Content& c) {
         c.Remove("textures\\GRASS.PCX");
         Garble(&c.Member("textures\\ROCK.BMP"));
         auto& planet = c.Member("textures\\PLANET.BMP");
         planet.resize(planet.size() / 2);
       },
       {}},
      {"fallback texture garbled",
       [](Content& c) {
         Garble(&c.Member("textures\\plasm.pcx"));
         c.Remove("textures\\SKY.PCX");
       },
       {"Texture load error!"}},
      {"no module", [](Content& c) { c.has_module = false; }, {}, "music.s3m"},
      {"module garbled", [](Content& c) { Garble(&c.module); }, {}, "music.s3m"},
      {"module cut in its samples",
       [](Content& c) { c.module.resize(c.module.size() * 2 / 3); },
       {},
       ""},
      {"no sound device",
       [](Content&) {},
       {},
       "playing without sound",
       {"--sound", "default"},
       // SDL's audio start-up leaves a D-Bus buffer that libdbus keeps for
       // the life of the process; the sanitizer build's leak check is not
       // about it.
       {{"SDL_AUDIODRIVER", "no-such-driver"}, {"ASAN_OPTIONS", "detect_leaks=0"}}},
  };
}

TEST(DamagedContent, FailsWithTheLoadersMessageOrPlaysWithOneLine) {
  if (!fs::exists(ContentFolder() + "/demo.dat")) GTEST_SKIP() << "needs the default content";
  const Content intact = Content::Default();
  for (const Case& c : Cases()) {
    Content content = intact;
    c.damage(content);
    const TempFolder temp;
    const std::string& folder = temp.path();
    std::string error;
    if (!content.members.empty()) {
      EXPECT_TRUE(WriteLibrary(folder + "/demo.dat", content.members, &error)) << error;
    } else if (content.has_library) {
      WriteBytes(folder + "/demo.dat", content.library);
    }
    if (content.has_module) WriteBytes(folder + "/music.s3m", content.module);
    std::vector<std::string> arguments = {"--screenshot", "0.5", folder + "/shot.png"};
    arguments.insert(arguments.end(), c.extra.begin(), c.extra.end());
    ProgramRun run = Veyrith(arguments, folder);
    run.set_environment = c.environment;
    run.time_limit_seconds = 120;
    const ProgramResult result = RunProgram(run);
    const bool shot = fs::exists(folder + "/shot.png");
    const long lines = std::count(result.err.begin(), result.err.end(), '\n');
    if (c.fails_with.empty()) {
      EXPECT_TRUE(result.exit_code == 0 && shot) << c.what << "\n" << result.err;
      EXPECT_EQ(lines, c.complaint.empty() ? std::min(lines, 1L) : 1) << c.what << result.err;
      EXPECT_TRUE(Contains(result.err, c.complaint)) << c.what << "\n" << result.err;
    } else {
      EXPECT_EQ(result.exit_code, 1) << c.what << "\n" << result.err;
      EXPECT_FALSE(shot) << c.what;
      EXPECT_EQ(lines, 1) << c.what << "\n" << result.err;
      EXPECT_TRUE(
          std::any_of(c.fails_with.begin(), c.fails_with.end(),
                      [&](const std::string& m) { return Contains(result.err, "Veyrith: " + m); }))
          << c.what << "\n"
          << result.err;
    }
  }
}

}  // namespace
