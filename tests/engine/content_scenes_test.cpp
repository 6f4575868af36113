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
#include "device/demo_state.h"
#include "device/device.h"
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

std::vector<std::string>& Shown() {
  static std::vector<std::string> shown;
  return shown;
}
void RecordMessage(const std::string& text, const std::string& /*caption*/) {
  Shown().push_back(text);
}

// A scene whose one mesh uses one material per texture file name given.
std::vector<uint8_t> SceneUsing(const std::vector<std::string>& textures) {
  TdsScene scene;
  TdsMesh mesh = SquareFacingMinusY("SQUARE", "");
  for (size_t i = 0; i < textures.size(); ++i) {
    const std::string name = "M" + std::to_string(i);
    AddMaterial(&scene, name, 3, {255, 255, 255}, textures[i]);
    mesh.material_groups.push_back({name, {0}});
  }
  scene.meshes.push_back(mesh);
  return WriteOrDie(scene);
}

// A PCX picture of one colour index (the palette maps index i to grey i).
std::vector<uint8_t> Pcx(int width, int height, uint8_t index) {
  uint8_t palette[768];
  for (int i = 0; i < 256; ++i) palette[i * 3] = palette[i * 3 + 1] = palette[i * 3 + 2] = i;
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height, index);
  return EncodePcx8(pixels.data(), width, height, palette);
}

std::vector<uint8_t> Bmp(int side) {
  std::vector<uint8_t> rgb(static_cast<size_t>(side) * side * 3, 0x80);
  return EncodeBmp24(rgb.data(), side, side);
}

class ContentScenesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetMessageBoxHook(RecordMessage);
    Shown().clear();
    for (int slot = 0; slot < 8; ++slot) scenes_[slot] = SceneUsing({});
  }

  static void FreeSlots() {
    for (Scene*& scene : SceneSlots) {
      FreeScene(scene);
      scene = nullptr;
    }
  }
  void TearDown() override {
    FreeSlots();
    for (int32_t k = 0; k < kTextureSlotCount; ++k) {
      delete[] TextureSlots[k].image.pixels;
      TextureSlots[k] = Texture{};
    }
    TextureCount = 0;
    platform::SetMessageBoxHook(nullptr);
  }

  // Installs the scenes (a missing one left out) and the extra members as
  // the content library.
  void OpenLibrary(int missing_scene = -1) {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> members = extra_;
    for (int slot = 0; slot < 8; ++slot) {
      if (slot == missing_scene) continue;
      members.push_back({std::string("3ds\\") + kSceneNames[slot] + ".3DS", scenes_[slot]});
    }
    content_.emplace(members);
  }

  std::vector<uint8_t> scenes_[8];
  std::vector<std::pair<std::string, std::vector<uint8_t>>> extra_;
  std::optional<storage_test::ContentLibraryScope> content_;
};

TEST_F(ContentScenesTest, EachMissingSceneFailsWithItsOwnMessage) {
  const char* const messages[8] = {"0", "1", "1a", "1b", "1c I", "1c II", "1c III", "1d"};
  for (int missing = 0; missing < 8; ++missing) {
    Shown().clear();
    OpenLibrary(missing);
    EXPECT_EQ(LoadSceneSlots(), 0);
    EXPECT_EQ(Shown(), std::vector<std::string>{std::string("Error on loading 3D animation ") +
                                                messages[missing]});
    for (int slot = 0; slot < missing; ++slot) EXPECT_NE(SceneSlots[slot], nullptr);
    EXPECT_EQ(SceneSlots[missing], nullptr);
    FreeSlots();
  }
  OpenLibrary();
  Shown().clear();
  ASSERT_EQ(LoadSceneSlots(), 1);
  EXPECT_TRUE(Shown().empty());
  for (int slot = 0; slot < 8; ++slot) EXPECT_FLOAT_EQ(SceneSlots[slot]->frame_rate, 25.0f);
  EXPECT_EQ(SceneSlots[8], nullptr);
  // A name too long for the path buffer fails instead of overflowing it.
  EXPECT_EQ(OpenSceneFile(8, std::string(200, 'x').c_str()), 1);
  EXPECT_EQ(OpenSceneFile(9, "intro"), 1);
}

TEST_F(ContentScenesTest, TexturesAreSharedByBaseNameAndFallBackInOrder) {
  scenes_[0] = SceneUsing({"Wood.PCX", "brick.bmp", "ab", ""});
  scenes_[3] = SceneUsing({"wOOD.bmp", "gone.pcx", "BRICK.PCX"});
  extra_ = {{"textures\\wood.pcx", Pcx(32, 32, 200)},
            {"textures\\brick.BMP", Bmp(16)},
            {"textures\\ab.PCX", Pcx(8, 8, 7)},
            {"textures\\plasm.pcx", Pcx(4, 4, 100)}};
  OpenLibrary();
  ASSERT_EQ(LoadSceneSlots(), 1);
  SceneSlots[0]->materials[3]->texture_index = 77;  // no texture map
  ASSERT_EQ(CollectAndLoadTextures(), 1);
  EXPECT_TRUE(Shown().empty());
  ASSERT_EQ(TextureCount, 4);
  // "ab" is shorter than an extension: used whole.
  EXPECT_EQ(std::vector<std::string>(TextureNames, TextureNames + 4),
            (std::vector<std::string>{"Wood", "brick", "ab", "gone"}));
  const int32_t indices[2][3] = {{0, 1, 2}, {0, 3, 1}};
  for (int s = 0; s < 2; ++s) {
    const Scene* scene = SceneSlots[s == 0 ? 0 : 3];
    for (int m = 0; m < 3; ++m) EXPECT_EQ(scene->materials[m]->texture_index, indices[s][m]);
  }
  // The PCX, else the BMP (brick), else the fallback picture (gone).
  const int widths[4] = {32, 16, 8, 4};
  for (int t = 0; t < 4; ++t) EXPECT_EQ(TextureSlots[t].image.width, widths[t]) << t;
  // Materials without a texture keep their index.
  EXPECT_EQ(SceneSlots[0]->materials[3]->texture_index, 77);
}

TEST_F(ContentScenesTest, UnloadableTexturesAndBrokenBoundsFailTheLoad) {
  struct Case {
    std::vector<std::string> textures;
    bool with_fallback;
  };
  std::vector<std::string> many;
  for (int i = 0; i < kTextureSlotCount + 1; ++i) many.push_back("t" + std::to_string(i) + ".pcx");
  const Case cases[] = {
      {{"gone.pcx"}, false},                    // nothing to fall back to
      {{std::string(43, 'n') + ".PCX"}, true},  // too long for the path
      {std::vector<std::string>(many.begin(), many.begin() + 129), true},  // 129 textures
  };
  for (const Case& c : cases) {
    Shown().clear();
    scenes_[2] = SceneUsing(c.textures);
    extra_.clear();
    if (c.with_fallback) extra_.push_back({"textures\\plasm.pcx", Pcx(4, 4, 100)});
    OpenLibrary();
    ASSERT_EQ(LoadSceneSlots(), 1);
    EXPECT_EQ(CollectAndLoadTextures(), 0);
    ASSERT_EQ(Shown().size(), 1u);
    EXPECT_EQ(Shown()[0], "Texture load error!\n");
    FreeSlots();
  }
  // 42 characters still fit, and exactly 128 textures are accepted.
  Shown().clear();
  scenes_[2] = SceneUsing({std::string(42, 'n') + ".PCX"});
  scenes_[4] = SceneUsing(std::vector<std::string>(many.begin(), many.begin() + 127));
  extra_ = {{"textures\\plasm.pcx", Pcx(4, 4, 100)}};
  OpenLibrary();
  ASSERT_EQ(LoadSceneSlots(), 1);
  EXPECT_EQ(CollectAndLoadTextures(), 1);
  EXPECT_EQ(TextureCount, 128);
  EXPECT_TRUE(Shown().empty());
}

TEST_F(ContentScenesTest, AFailedUploadClosesTheDeviceAndSaysSo) {
  scenes_[0] = SceneUsing({"square.pcx", "strip.pcx"});
  extra_ = {{"textures\\square.pcx", Pcx(16, 16, 9)},
            {"textures\\strip.pcx", Pcx(256, 16, 9)}};  // 16 : 1, not drawable
  OpenLibrary();
  ASSERT_EQ(LoadSceneSlots(), 1);
  ASSERT_EQ(CollectAndLoadTextures(), 1);
  CountingFrameSink sink;
  BoardSetFrameSink(&sink);
  DeviceResetState();
  DeviceInit();
  DeviceOpen(7);
  ASSERT_EQ(DeviceIsOpen(), 1);
  EXPECT_EQ(UploadAllTextures(), 0);
  EXPECT_EQ(DeviceIsOpen(), 0);
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_EQ(Shown()[0], "Error on uploading textures!\n");
  // The first texture went in before the failure.
  EXPECT_GT(TextureSlots[0].memory_required, 0u);
  DeviceShutdownAtExit();
  DeviceResetState();
  BoardSetFrameSink(nullptr);
}

}  // namespace
