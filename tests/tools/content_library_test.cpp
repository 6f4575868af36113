// Tests of the default demo.dat: every member the demo asks for loads
// through the demo's own readers, the scenes cover the schedule, use what
// the engine draws and stay within its polygon buffer, and the library is
// the same bytes at every build.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "content/content_build.h"
#include "engine/scene_evaluation.h"
#include "scene/scene.h"
#include "storage/content_library.h"
#include "storage/file_library.h"
#include "storage/picture_decoders.h"
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

std::vector<SceneNode*> AllNodes(Scene* scene) {
  std::vector<SceneNode*> nodes, stack;
  for (int r = 0; r < scene->root_count; ++r) stack.push_back(scene->roots[r]);
  while (!stack.empty()) {
    SceneNode* node = stack.back();
    stack.pop_back();
    nodes.push_back(node);
    for (SceneNode* child = node->first_child; child; child = child->next) stack.push_back(child);
  }
  return nodes;
}

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

TEST_F(DefaultLibrary, EveryTextureResolvesAsTheDemoLooksItUp) {
  std::map<std::string, std::string> loaded_from;  // case-folded base name -> member used
  std::set<std::string> spellings;
  std::set<int> aspect_logs;
  for (const char* name : kSceneNames) {
    Scene* scene = SceneNamed(name);
    ASSERT_NE(scene, nullptr);
    for (int i = 0; i < scene->material_count; ++i) {
      const Material* m = scene->materials[i];
      if (!(m->flags & kMaterialTextured)) continue;
      std::string base = m->texture_file;
      ASSERT_GT(base.size(), 4u);
      base.resize(base.size() - 4);
      spellings.insert(m->texture_file);
      std::string folded = base;
      for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (loaded_from.count(folded)) continue;
      Texture texture;
      std::string used = "textures\\" + base + ".PCX";
      if (!LoadPcxTexture(used.c_str(), &texture, 0)) {
        used = "textures\\" + base + ".BMP";
        if (!LoadBmpTexture(used.c_str(), &texture, 0)) {
          used = "textures\\plasm.pcx";
          ASSERT_TRUE(LoadPcxTexture(used.c_str(), &texture, 0)) << m->texture_file;
        }
      }
      const int w = texture.image.width, h = texture.image.height;
      EXPECT_TRUE(w <= 256 && h <= 256 && FloorLog2(w) >= 0 && (1 << FloorLog2(w)) == w &&
                  (1 << FloorLog2(h)) == h)
          << used << " is " << w << "x" << h;
      aspect_logs.insert(FloorLog2(w) - FloorLog2(h));
      ReleaseImage(&texture.image);
      loaded_from[folded] = used;
    }
  }
  EXPECT_EQ(loaded_from["glow"], "textures\\plasm.pcx")
      << "one name stands in for a missing texture";
  EXPECT_TRUE(spellings.count("ROCK.BMP") && spellings.count("rock.pcx"))
      << "two spellings of one texture, in case and extension";
  EXPECT_EQ(loaded_from["rock"], "textures\\ROCK.BMP");
  for (int a = -3; a <= 3; ++a) EXPECT_TRUE(aspect_logs.count(a)) << "no texture of aspect 2^" << a;
}

TEST_F(DefaultLibrary, ScenesUseWhatTheEngineDraws) {
  std::set<std::string> seen;
  size_t busiest = 0;
  for (const char* name : kSceneNames) {
    Scene* scene = SceneNamed(name);
    ASSERT_NE(scene, nullptr);
    size_t faces = 0;
    for (int i = 0; i < scene->mesh_count; ++i)
      faces += static_cast<size_t>(scene->meshes[i].face_count);
    busiest = std::max(busiest, faces);
    for (int i = 0; i < scene->material_count; ++i) {
      const Material* m = scene->materials[i];
      seen.insert((m->flags & 3) == 0 ? "flat" : "smooth");
      seen.insert(m->flags & kMaterialTextured ? "textured" : "untextured");
      if (m->flags & kMaterialTwoSided) seen.insert("two-sided");
      if (m->self_illumination > 0) seen.insert("self-illuminated");
      if (m->ambient.x + m->ambient.y + m->ambient.z > 0) seen.insert("ambient");
    }
    for (int l = 0; l < scene->light_count; ++l) {
      if (scene->lights[l].spot) seen.insert("spotlight");
    }
    for (SceneNode* node : AllNodes(scene)) {
      if (node->type == kNodeLightTarget) seen.insert("light target");
      if (node->parent && node->parent->parent) seen.insert("grandchild");
      for (int32_t flags :
           {node->position.flags, node->rotation.flags, node->scale.flags, node->colour.flags}) {
        if ((flags & kTrackRepeatMask) == kTrackModeRepeat) seen.insert("repeat");
        if ((flags & kTrackRepeatMask) == kTrackModeLoop) seen.insert("loop");
      }
      for (int k = 0; k < node->scale.key_count; ++k) {
        const TcbParams& t = node->scale.keys[k].tcb;
        if (t.tension != 0 || t.continuity != 0 || t.bias != 0) seen.insert("scale tcb");
      }
      for (int k = 0; k < node->rotation.key_count; ++k) {
        const TcbParams& t = node->rotation.keys[k].tcb;
        if (t.tension != 0) seen.insert("rotation tcb");
        if (t.ease_from != 0 || t.ease_to != 0) seen.insert("rotation ease");
      }
      if (node->hide.key_count >= 2) seen.insert(std::string("hide in ") + name);
      if (node->colour.key_count >= 20) seen.insert(std::string("flicker in ") + name);
    }
  }
  for (const char* feature :
       {"flat", "smooth", "textured", "untextured", "two-sided", "self-illuminated", "ambient",
        "spotlight", "light target", "grandchild", "repeat", "loop", "scale tcb", "rotation tcb",
        "rotation ease", "hide in stonehedge_fire", "flicker in stonehedge_fire"}) {
    EXPECT_TRUE(seen.count(feature)) << "no scene has: " << feature;
  }
  EXPECT_GE(busiest, 20000u);
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

TEST_F(DefaultLibrary, CameraPathsJoinAcrossTheScenesThatFollowEachOther) {
  struct Join {
    const char* before;
    float end;
    const char* after;
    float start;
  };
  for (const Join& j : {Join{"planet_part1", 99, "planet_part2", 0},
                        Join{"planet_part2", 172, "planet_part3", 0}}) {
    const Vec3 a = CameraAt(SceneNamed(j.before), j.end);
    const Vec3 b = CameraAt(SceneNamed(j.after), j.start);
    EXPECT_LT(Distance(a, b), 1.0f) << j.before << " -> " << j.after;
  }
  // The landscape's five pieces are one path: no jump from frame to frame.
  Scene* main = SceneNamed("mainscene");
  Vec3 previous = CameraAt(main, 0);
  for (int frame = 1; frame < 1600; ++frame) {
    const Vec3 now = CameraAt(main, static_cast<float>(frame));
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
