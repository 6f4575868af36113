// Loading the eight scenes and their textures from a real library file: the
// failure messages per scene, texture sharing by case-insensitive base name,
// the PCX, BMP and fallback order, the bounds on names and counts, and the
// upload's failure path.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "board/frame_sink.h"
#include "engine/engine_scenes.h"
#include "platform/message_box.h"
#include "shell/content_loader.h"
#include "storage/bmp_writer.h"
#include "storage/content_fixture.h"
#include "storage/pcx_writer.h"

namespace {

const char* const kSceneNames[8] = {"intro",        "mainscene",      "mountainworld",
                                    "mountainhut",  "planet_part1",   "planet_part2",
                                    "planet_part3", "stonehedge_fire"};

std::vector<std::string> shown_messages;
void RecordMessage(const std::string& text, const std::string& /*caption*/) {
  shown_messages.push_back(text);
}

// A scene whose one mesh uses one material per texture file name given.
std::vector<uint8_t> SceneUsing(const std::vector<std::string>& textures) {
  TdsScene scene;
  TdsMesh mesh = SquareFacingMinusY("SQUARE", "");
  for (size_t i = 0; i < textures.size(); ++i) {
    AddMaterial(&scene, "M" + std::to_string(i), 3, {255, 255, 255}, textures[i]);
    mesh.material_groups.push_back({"M" + std::to_string(i), {0}});
  }
  scene.meshes.push_back(mesh);
  return WriteOrDie(scene);
}

// A PCX picture of side x height of one colour, or a BMP square.
std::vector<uint8_t> Pcx(int width, int height) {
  const std::vector<uint8_t> pixels(static_cast<size_t>(width) * height, 9), palette(768, 9);
  return EncodePcx8(pixels.data(), width, height, palette.data());
}
std::vector<uint8_t> Bmp(int side) {
  const std::vector<uint8_t> rgb(static_cast<size_t>(side) * side * 3, 0x80);
  return EncodeBmp24(rgb.data(), side, side);
}

class ContentScenesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetMessageBoxHook(RecordMessage);
    shown_messages.clear();
    for (std::vector<uint8_t>& scene : scenes_) scene = SceneUsing({});
  }
  void TearDown() override {
    FreeSlots();
    FreeTextures();
    platform::SetMessageBoxHook(nullptr);
  }
  static void FreeSlots() {
    for (Scene*& scene : SceneSlots) FreeScene(std::exchange(scene, nullptr));
  }
  static void FreeTextures() {
    for (Texture& texture : TextureSlots) {
      ReleaseImage(&texture.image);
      texture = Texture{};
    }
    TextureCount = 0;
  }

  // Installs the scenes (a missing one left out) and the extra members as
  // the content library, and loads the scenes.
  int OpenLibraryAndLoad(int missing_scene = -1) {
    FreeSlots();
    shown_messages.clear();
    std::vector<std::pair<std::string, std::vector<uint8_t>>> members = extra_;
    for (int slot = 0; slot < 8; ++slot) {
      if (slot == missing_scene) continue;
      members.push_back({std::string("3ds\\") + kSceneNames[slot] + ".3DS", scenes_[slot]});
    }
    content_.emplace(members);
    return LoadSceneSlots();
  }

  std::vector<uint8_t> scenes_[8];
  std::vector<std::pair<std::string, std::vector<uint8_t>>> extra_;
  std::optional<storage_test::ContentLibraryScope> content_;
};

TEST_F(ContentScenesTest, EachMissingSceneFailsWithItsOwnMessage) {
  const char* const messages[8] = {"0", "1", "1a", "1b", "1c I", "1c II", "1c III", "1d"};
  for (int missing = 0; missing < 8; ++missing) {
    EXPECT_EQ(OpenLibraryAndLoad(missing), 0);
    EXPECT_EQ(shown_messages,
              std::vector<std::string>{std::string("Error on loading 3D animation ") +
                                       messages[missing]});
    for (int slot = 0; slot <= missing; ++slot)
      EXPECT_EQ(SceneSlots[slot] != nullptr, slot < missing);
  }
  ASSERT_EQ(OpenLibraryAndLoad(), 1);
  EXPECT_TRUE(shown_messages.empty());
  for (int slot = 0; slot < 8; ++slot) EXPECT_FLOAT_EQ(SceneSlots[slot]->frame_rate, 25.0f);
  // A name too long for the path buffer fails instead of overflowing it.
  EXPECT_EQ(OpenSceneFile(8, std::string(200, 'x').c_str()), 1);
  EXPECT_EQ(OpenSceneFile(9, "intro"), 1);
}

TEST_F(ContentScenesTest, TexturesAreSharedByBaseNameAndFallBackInOrder) {
  scenes_[0] = SceneUsing({"Wood.PCX", "brick.bmp", "ab", ""});
  scenes_[3] = SceneUsing({"wOOD.bmp", "gone.pcx", "BRICK.PCX"});
  extra_ = {{"textures\\wood.pcx", Pcx(32, 32)},
            {"textures\\brick.BMP", Bmp(16)},
            {"textures\\ab.PCX", Pcx(8, 8)},
            {"textures\\plasm.pcx", Pcx(4, 4)}};
  ASSERT_EQ(OpenLibraryAndLoad(), 1);
  SceneSlots[0]->materials[3]->texture_index = 77;  // no texture map
  ASSERT_EQ(CollectAndLoadTextures(), 1);
  EXPECT_TRUE(shown_messages.empty());
  ASSERT_EQ(TextureCount, 4);
  // "ab" is shorter than an extension: used whole.
  EXPECT_EQ(std::vector<std::string>(TextureNames, TextureNames + 4),
            (std::vector<std::string>{"Wood", "brick", "ab", "gone"}));
  const int32_t indices[2][4] = {{0, 1, 2, 77}, {0, 3, 1}};  // 77: kept, no texture
  for (int s = 0; s < 2; ++s) {
    const Scene* scene = SceneSlots[s == 0 ? 0 : 3];
    for (int m = 0; m < scene->material_count; ++m) {
      EXPECT_EQ(scene->materials[m]->texture_index, indices[s][m]) << s << " " << m;
    }
  }
  // The PCX, else the BMP (brick), else the fallback picture (gone).
  const int widths[4] = {32, 16, 8, 4};
  for (int t = 0; t < 4; ++t) EXPECT_EQ(TextureSlots[t].image.width, widths[t]) << t;
}

// Base names of up to 42 characters and up to 128 textures fit.
TEST_F(ContentScenesTest, UnloadableTexturesAndBrokenBoundsFailTheLoad) {
  std::vector<std::string> many;
  for (int i = 0; i < kTextureSlotCount + 1; ++i) many.push_back("t" + std::to_string(i) + ".pcx");
  const struct {
    const char* name;
    std::vector<std::string> textures;
    bool with_fallback, loads;
  } cases[] = {
      {"nothing to fall back to", {"gone.pcx"}, false, false},
      {"43 characters", {std::string(43, 'n') + ".PCX"}, true, false},
      {"42 characters", {std::string(42, 'n') + ".PCX"}, true, true},
      {"129 textures", many, true, false},
      {"128 textures", std::vector<std::string>(many.begin(), many.end() - 1), true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FreeTextures();  // each case loads into empty slots, as the program does once
    scenes_[2] = SceneUsing(c.textures);
    extra_.clear();
    if (c.with_fallback) extra_.push_back({"textures\\plasm.pcx", Pcx(4, 4)});
    ASSERT_EQ(OpenLibraryAndLoad(), 1);
    EXPECT_EQ(CollectAndLoadTextures(), c.loads ? 1 : 0);
    EXPECT_EQ(shown_messages, c.loads ? std::vector<std::string>{}
                                      : std::vector<std::string>{"Texture load error!\n"});
  }
  EXPECT_EQ(TextureCount, 128);
}

TEST_F(ContentScenesTest, AFailedUploadClosesTheDeviceAndSaysSo) {
  scenes_[0] = SceneUsing({"square.pcx", "strip.pcx"});
  extra_ = {{"textures\\square.pcx", Pcx(16, 16)},
            {"textures\\strip.pcx", Pcx(256, 16)}};  // 16 : 1, not drawable
  ASSERT_EQ(OpenLibraryAndLoad(), 1);
  ASSERT_EQ(CollectAndLoadTextures(), 1);
  CountingFrameSink sink;
  BoardSetFrameSink(&sink);
  DeviceResetState();
  DeviceInit();
  DeviceOpen(7);
  ASSERT_EQ(DeviceIsOpen(), 1);
  EXPECT_EQ(UploadAllTextures(), 0);
  EXPECT_EQ(DeviceIsOpen(), 0);
  EXPECT_EQ(shown_messages, std::vector<std::string>{"Error on uploading textures!\n"});
  DeviceShutdownAtExit();
  DeviceResetState();
  BoardSetFrameSink(nullptr);
}

}  // namespace
