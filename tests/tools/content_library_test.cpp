// Tests of the default demo.dat: the scenes load through the demo's own
// reader, cover the schedule, stay within the engine's polygon buffer and
// keep their camera paths whole, and the library is the same bytes at every
// build. Whether every texture loads is the headless run's matter, which
// fails on any texture load or upload error.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "content/content_build.h"
#include "engine/scene_evaluation.h"
#include "scene/scene.h"
#include "storage/content_library.h"
#include "storage/file_library.h"
#include "storage/stream.h"

namespace {

constexpr int kPolygonBufferRecords = 16384;

// The scene rows of the schedule: slot name and frame range.
struct SceneRow {
  const char* name;
  int from, to;
};
constexpr SceneRow kSceneRows[] = {
    {"intro", 0, 299},        {"mainscene", 0, 685},       {"mountainworld", 0, 899},
    {"mainscene", 685, 865},  {"mountainhut", 0, 599},     {"mainscene", 865, 985},
    {"planet_part1", 0, 99},  {"planet_part2", 0, 172},    {"planet_part3", 0, 179},
    {"mainscene", 985, 1115}, {"stonehedge_fire", 0, 599}, {"mainscene", 1115, 1599},
};
constexpr const char* kSceneNames[] = {"intro",        "mainscene",      "mountainworld",
                                       "mountainhut",  "planet_part1",   "planet_part2",
                                       "planet_part3", "stonehedge_fire"};

class DefaultLibrary : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    ASSERT_TRUE(MakeLibraryMembers(&members_, &error)) << error;
    path_ = (std::filesystem::temp_directory_path() /
             ("veyrith_content_" + std::to_string(getpid()) + ".dat"))
                .string();
    ASSERT_TRUE(WriteLibrary(path_, members_, &error)) << error;
    ContentFile = new TFile;
    ContentFile->SetName(path_.c_str());
    ASSERT_TRUE(ContentFile->Open(smRead));
    ContentLibrary = new TFileLib(ContentFile);
    ASSERT_FALSE(ContentLibrary->Failed());
    for (const char* name : kSceneNames) {
      scenes_[name] = LoadScene(("3ds\\" + std::string(name) + ".3DS").c_str());
    }
  }
  static void TearDownTestSuite() {
    for (auto& [name, scene] : scenes_) FreeScene(scene);
    scenes_.clear();
    delete ContentLibrary;
    delete ContentFile;
    ContentLibrary = nullptr;
    ContentFile = nullptr;
    std::filesystem::remove(path_);
  }
  static Scene* SceneNamed(const std::string& name) { return scenes_[name]; }

  static std::vector<LibraryMember> members_;
  static std::string path_;
  static std::map<std::string, Scene*> scenes_;
};

std::vector<LibraryMember> DefaultLibrary::members_;
std::string DefaultLibrary::path_;
std::map<std::string, Scene*> DefaultLibrary::scenes_;

int counted_polygons = 0;
int CountPolygon(const PolygonRecord* record) {
  if (record->material_flags & kMaterialDrawn) ++counted_polygons;
  return 1;
}

Vec3 CameraAt(Scene* scene, float frame) {
  float fov = 0;
  EvaluateScene(scene, CountPolygon, frame, &fov);
  const Matrix4x4& m = scene->cameras[0].node->object_to_world;
  return {m.m[3][0], m.m[3][1], m.m[3][2]};
}

float Distance(Vec3 a, Vec3 b) {
  return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) +
                   (a.z - b.z) * (a.z - b.z));
}

TEST_F(DefaultLibrary, EverySceneLoadsAndCoversTheFramesTheSchedulePlays) {
  for (const SceneRow& row : kSceneRows) {
    Scene* scene = SceneNamed(row.name);
    ASSERT_NE(scene, nullptr) << row.name << " does not load";
    EXPECT_GT(scene->frame_count, row.to) << row.name;
    ASSERT_GE(scene->camera_count, 1) << row.name;
    EXPECT_NE(scene->cameras[0].node, nullptr) << row.name;
    EXPECT_NE(scene->cameras[0].target_node, nullptr) << row.name;
    for (int l = 0; l < scene->light_count; ++l) {
      EXPECT_NE(scene->lights[l].node, nullptr) << row.name << " light " << scene->lights[l].name;
    }
  }
}

TEST_F(DefaultLibrary, NoScheduledFrameOverflowsThePolygonBuffer) {
  for (const SceneRow& row : kSceneRows) {
    Scene* scene = SceneNamed(row.name);
    ASSERT_NE(scene, nullptr);
    int most = 0, least = 1 << 30;
    for (int frame = row.from; frame <= row.to; frame += 5) {
      counted_polygons = 0;
      float fov = 0;
      EvaluateScene(scene, CountPolygon, static_cast<float>(frame), &fov);
      most = std::max(most, counted_polygons);
      least = std::min(least, counted_polygons);
    }
    EXPECT_LE(most, kPolygonBufferRecords) << row.name << " " << row.from << "-" << row.to;
    EXPECT_GT(least, 200) << row.name << ": the camera looks at the scene";
  }
}

// The planet's three pieces, and the landscape's five, are each one camera
// path: no jump where one piece hands over to the next.
TEST_F(DefaultLibrary, CameraPathsJoinAcrossTheScenesThatFollowEachOther) {
  EXPECT_LT(
      Distance(CameraAt(SceneNamed("planet_part1"), 99), CameraAt(SceneNamed("planet_part2"), 0)),
      1.0f);
  EXPECT_LT(
      Distance(CameraAt(SceneNamed("planet_part2"), 172), CameraAt(SceneNamed("planet_part3"), 0)),
      1.0f);
  Vec3 previous = CameraAt(SceneNamed("mainscene"), 0);
  for (int frame = 1; frame < 1600; ++frame) {
    const Vec3 now = CameraAt(SceneNamed("mainscene"), static_cast<float>(frame));
    ASSERT_LT(Distance(previous, now), 40.0f) << "camera jumps at frame " << frame;
    previous = now;
  }
}

TEST_F(DefaultLibrary, IsTheSameBytesEveryTimeAsIsTheMusic) {
  std::vector<LibraryMember> again;
  std::string error;
  ASSERT_TRUE(MakeLibraryMembers(&again, &error)) << error;
  ASSERT_EQ(again.size(), members_.size());
  for (size_t i = 0; i < again.size(); ++i) {
    EXPECT_EQ(again[i].name, members_[i].name);
    EXPECT_TRUE(again[i].bytes == members_[i].bytes) << again[i].name;
  }
  std::vector<uint8_t> first, second;
  ASSERT_TRUE(MakeMusicFile(&first, &error) && MakeMusicFile(&second, &error)) << error;
  EXPECT_TRUE(first == second);
}

}  // namespace
