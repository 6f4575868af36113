// Milliseconds per frame of the scene engine, split into evaluation
// (tracks, matrices, culling, lighting, collection) and drawing (render
// state, projection, clipping and the board's rasteriser); drawing and whole
// frames at 640x480 and at 1920x1440 (the second argument is the screen's
// height, 4:3), with the board on one thread and on two (the last), and the
// speed-up.
// One row per scene of the default content when build/content/demo.dat (or
// $VEYRITH_CONTENT_DIR/demo.dat) exists, else one generated 20,000-face scene.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "board/board_threads.h"
#include "board/frame_sink.h"
#include "board/glide.h"
#include "device/demo_state.h"
#include "device/device.h"
#include "engine/polygon_buffer.h"
#include "engine/scene_evaluation.h"
#include "engine/scene_renderer.h"
#include "platform/message_box.h"
#include "scene/tds_reader.h"
#include "scene/tds_writer.h"
#include "shell/content_loader.h"
#include "storage/content_library.h"
#include "thread_speedup.h"

namespace {

const char* const kSceneNames[8] = {"intro",        "mainscene",      "mountainworld",
                                    "mountainhut",  "planet_part1",   "planet_part2",
                                    "planet_part3", "stonehedge_fire"};

// Takes frames late, as the window does: with drawing threads, a frame is
// drawn while the next one is evaluated and recorded.
CountingFrameSink& Sink() {
  static CountingFrameSink sink;
  sink.SetLateFrames(true);
  sink.SetKeepLastFrame(false);  // as a headless run: only counted
  return sink;
}

// A grid of 100 x 100 quads (20,000 faces) rippling in front of a camera,
// with one light, smooth shading and every face visible.
Scene* GeneratedScene() {
  TdsScene description;
  description.frame_count = 100;
  TdsMaterial& material = description.materials.emplace_back();
  material.name = "SKIN";
  material.diffuse = {200, 180, 160};
  TdsMesh& mesh = description.meshes.emplace_back();
  mesh.name = "GRID";
  constexpr int kSide = 101;
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      const float fx = static_cast<float>(x) / 10.0f - 5.0f;
      const float fz = static_cast<float>(y) / 10.0f - 5.0f;
      mesh.vertices.push_back({fx, 0.3f * std::sin(fx * 2.0f + fz), fz});
      mesh.mapping.push_back({fx, fz});
    }
  }
  for (int y = 0; y + 1 < kSide; ++y) {
    for (int x = 0; x + 1 < kSide; ++x) {
      const auto v = static_cast<uint16_t>(y * kSide + x);
      mesh.faces.push_back(
          {v, static_cast<uint16_t>(v + 1), static_cast<uint16_t>(v + kSide + 1), 7});
      mesh.faces.push_back(
          {v, static_cast<uint16_t>(v + kSide + 1), static_cast<uint16_t>(v + kSide), 7});
    }
  }
  mesh.AssignMaterial("SKIN");
  material.two_sided = true;
  const int grid = description.AddNode(kNodeObject, "GRID");
  description.nodes[grid].position.Add(0, {0, 0, 0});
  description.nodes[grid].rotation.Add(0, {0.0f, {0, 0, 1}}).Add(100, {6.28f, {0, 0, 1}});
  description.nodes[grid].scale.Add(0, {1, 1, 1});
  TdsLight& light = description.lights.emplace_back();
  light.name = "LAMP";
  const int lamp = description.AddNode(kNodeLight, "LAMP");
  description.nodes[lamp].position.Add(0, {3, -8, 6});
  description.nodes[lamp].colour.Add(0, {1, 1, 1});
  TdsCamera& camera = description.cameras.emplace_back();
  camera.name = "CAM";
  const int eye = description.AddNode(kNodeCamera, "CAM");
  description.nodes[eye].position.Add(0, {0, -9, 4});
  description.nodes[eye].fov.Add(0, 70.0f);
  const int target = description.AddNode(kNodeCameraTarget, "CAM");
  description.nodes[target].position.Add(0, {0, 0, 0});
  std::vector<uint8_t> bytes;
  std::string error;
  if (!WriteTdsFile(description, &bytes, &error)) return nullptr;
  return LoadSceneFromMemory(bytes.data(), bytes.size());
}

constexpr int kOwnHeight = 480;
constexpr int kLargeHeight = 1440;
int open_height = kOwnHeight;

void OpenScreen() {
  BoardSetFrameSink(&Sink());
  DeviceInit();
  DeviceOpen(GR_RESOLUTION_640x480);
  DeviceSetViewScale(1.0f);
}

// Opens the screen again at height x 4/3 when it has another size, and puts
// the textures back into the new board's memory.
bool UseScreenHeight(benchmark::State& state, int height) {
  if (height == open_height) return true;
  DeviceClose();
  grGlideInit();
  grSstSelect(0);
  DeviceSetScreenSize(height * 4 / 3, height);
  DeviceOpen(GR_RESOLUTION_640x480);
  DeviceSetViewScale(1.0f);
  TextureMemoryCursor = static_cast<uint32_t>(-1);
  open_height = height;
  if (DeviceIsOpen() && UploadAllTextures()) return true;
  state.SkipWithError("the screen could not be opened again at that size");
  return false;
}

// Loads the eight scenes and their textures from the default content.
bool LoadDefaultContent(const std::string& path) {
  ContentFile = new TFile();
  ContentFile->SetName(path.c_str());
  if (!ContentFile->Open(smRead)) return false;
  ContentLibrary = new TFileLib(ContentFile);
  if (ContentLibrary->Failed()) return false;
  if (!LoadSceneSlots() || !CollectAndLoadTextures()) return false;
  OpenScreen();
  return DeviceIsOpen() && UploadAllTextures();
}

int Collect(const PolygonRecord* record) {
  return CollectPolygon(record);
}

// Evaluation only, one animation frame further per iteration.
void EvaluateFrames(benchmark::State& state, int slot) {
  Scene* scene = SceneSlots[slot];
  const float frames = static_cast<float>(scene->frame_count > 0 ? scene->frame_count : 1);
  float frame = 0.0f;
  float fov = 60.0f;
  for (auto _ : state) {
    PolygonCount = 0;
    EvaluateScene(scene, Collect, frame, &fov);
    benchmark::DoNotOptimize(PolygonCount);
    frame = std::fmod(frame + 1.0f, frames);
  }
  state.counters["polygons"] = PolygonCount;
}

// The screen is range(0) rows high and the board draws with range(1)
// threads; false (and the run skipped) when either cannot be had.
bool UseThreads(benchmark::State& state) {
  if (!UseScreenHeight(state, static_cast<int>(state.range(0)))) return false;
  const auto threads = static_cast<int>(state.range(1));
  if (BoardSetThreads(threads) == threads) return true;
  state.SkipWithError("the drawing threads could not start");
  return false;
}

// Drawing only: the polygons of one evaluated frame, rendered again and
// swapped (frames are counted at the swap; the last one is waited for).
void DrawFrames(benchmark::State& state, int slot) {
  if (!UseThreads(state)) return;
  Scene* scene = SceneSlots[slot];
  float fov = 60.0f;
  PolygonCount = 0;
  EvaluateScene(scene, Collect, static_cast<float>(scene->frame_count) * 0.5f, &fov);
  const ThreadTimes times;
  for (auto _ : state) {
    ClearFrame();
    RenderPolygons(PolygonBuffer, PolygonCount, TextureSlots, fov, 255);
    ShowFrame(0);
  }
  BoardFinish();
  times.SetCounters(state);
  state.counters["polygons"] = PolygonCount;
  BoardSetThreads(1);
}

// The whole frame as the timeline draws it, swap included.
void WholeFrames(benchmark::State& state, int slot) {
  if (!UseThreads(state)) return;
  Scene* scene = SceneSlots[slot];
  const int32_t frames = scene->frame_count > 0 ? scene->frame_count : 1;
  int32_t frame = 0;
  const ThreadTimes times;
  for (auto _ : state) {
    ClearFrame();
    DrawSceneFrame(slot, frame, frame + 1, 0.0f);
    ShowFrame(1);
    frame = (frame + 1) % frames;
  }
  BoardFinish();
  times.SetCounters(state);
  BoardSetThreads(1);
}

}  // namespace

int main(int argc, char** argv) {
  platform::SetMessageBoxDialogs(false);
  const char* directory = std::getenv("VEYRITH_CONTENT_DIR");
  const std::string path =
      std::string(directory != nullptr ? directory : "build/content") + "/demo.dat";
  std::vector<std::pair<std::string, int>> rows;
  if (std::filesystem::exists(path) && LoadDefaultContent(path)) {
    for (int slot = 0; slot < 8; ++slot) rows.push_back({kSceneNames[slot], slot});
  } else {
    std::fprintf(stderr, "bench_engine: no default content at %s; using a generated scene\n",
                 path.c_str());
    SceneSlots[8] = GeneratedScene();
    if (SceneSlots[8] == nullptr) return 1;
    OpenScreen();
    rows.push_back({"generated_20000_faces", 8});
  }
  for (const auto& [name, slot] : rows) {
    benchmark::RegisterBenchmark(("Evaluate/" + name).c_str(), EvaluateFrames, slot)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("Draw/" + name).c_str(), DrawFrames, slot)
        ->ArgsProduct({{kOwnHeight, kLargeHeight}, {1, 2}})
        ->UseRealTime()
        ->MeasureProcessCPUTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("Frame/" + name).c_str(), WholeFrames, slot)
        ->ArgsProduct({{kOwnHeight, kLargeHeight}, {1, 2}})
        ->UseRealTime()
        ->MeasureProcessCPUTime()
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  ThreadSpeedupReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
