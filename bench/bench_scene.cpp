// Scene benchmarks: loading a large generated scene from a library member,
// and evaluating every track of many nodes at one frame.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "scene/tds_reader.h"
#include "scene/tds_writer.h"
#include "scene/tracks.h"
#include "storage/content_library.h"
#include "storage/file_library.h"
#include "storage/library_writer.h"
#include "storage/stream.h"

namespace {

// A triangle strip of face_count faces along a wavy line.
TdsMesh Strip(const std::string& name, int face_count) {
  TdsMesh mesh;
  mesh.name = name;
  for (int i = 0; i < face_count + 2; ++i) {
    const float x = static_cast<float>(i / 2);
    mesh.vertices.push_back({x, static_cast<float>(i % 2), std::sin(x * 0.1f)});
    mesh.mapping.push_back({x * 0.01f, static_cast<float>(i % 2)});
  }
  for (int i = 0; i < face_count; ++i) {
    mesh.faces.push_back(
        {static_cast<uint16_t>(i), static_cast<uint16_t>(i + 1), static_cast<uint16_t>(i + 2)});
  }
  mesh.AssignMaterial("STONE");
  return mesh;
}

// Meshes of faces_each faces, each with an animated node of key_count keys
// per track.
TdsScene AnimatedScene(int mesh_count, int faces_each, int key_count) {
  TdsScene scene;
  scene.frame_count = key_count * 10;
  TdsMaterial& stone = scene.materials.emplace_back();
  stone.name = "STONE";
  stone.texture = "stone.pcx";
  for (int m = 0; m < mesh_count; ++m) {
    const std::string name = "PART" + std::to_string(m);
    scene.meshes.push_back(Strip(name, faces_each));
    TdsNode& node = scene.nodes[static_cast<size_t>(scene.AddNode(kNodeObject, name, -1))];
    for (int k = 0; k < key_count; ++k) {
      const float t = static_cast<float>(k);
      const TdsSpline spline{0.1f, 0.2f, -0.1f, 0.0f, 0.0f, 0};
      node.position.Add(k * 10, {t, 2 * t, std::cos(t)}, spline);
      node.rotation.Add(k * 10, {0.3f, {0.0f, 0.6f, 0.8f}}, spline);
      node.scale.Add(k * 10, {1 + t * 0.1f, 1, 1});
      node.hide.Add(k * 10 + 5, {});
    }
  }
  return scene;
}

// The scene as a member of a library on disk, opened as the content library.
class LibraryFixture {
 public:
  explicit LibraryFixture(const std::vector<uint8_t>& scene_bytes) {
    path_ = (std::filesystem::temp_directory_path() / "veyrith_bench_scene.dat").string();
    std::string error;
    if (!WriteLibrary(path_, {{"3ds\\BENCH.3DS", scene_bytes}}, &error)) {
      std::fprintf(stderr, "bench_scene: %s\n", error.c_str());
      return;
    }
    file_.SetName(path_.c_str());
    file_.Open(smRead);
    library_ = new TFileLib(&file_);
    ContentLibrary = library_;
  }
  ~LibraryFixture() {
    ContentLibrary = nullptr;
    delete library_;
    file_.Close();
    std::filesystem::remove(path_);
  }
  bool Ready() const { return library_ != nullptr && !library_->Failed(); }

 private:
  std::string path_;
  TFile file_;
  TFileLib* library_ = nullptr;
};

void BM_LoadSceneFromLibrary(benchmark::State& state) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!WriteTdsFile(AnimatedScene(10, 10000, 30), &bytes, &error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  LibraryFixture library(bytes);
  if (!library.Ready()) {
    state.SkipWithError("cannot open the benchmark library");
    return;
  }
  for (auto _ : state) {
    Scene* scene = LoadScene("3ds\\BENCH.3DS");
    if (scene == nullptr) {
      state.SkipWithError("the scene does not load");
      return;
    }
    benchmark::DoNotOptimize(scene->meshes[9].faces[9999].normal);
    FreeScene(scene);
  }
  state.counters["faces"] = 100000;
  state.counters["bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK(BM_LoadSceneFromLibrary)->Unit(benchmark::kMillisecond);

void EvaluateAllTracks(SceneNode* node, float frame) {
  EvalVectorTrack(frame, &node->position);
  EvalRotationTrack(frame, &node->rotation);
  EvalVectorTrack(frame, &node->scale);
  EvalScalarTrack(frame, &node->fov);
  EvalScalarTrack(frame, &node->roll);
  EvalVectorTrack(frame, &node->colour);
  EvalScalarTrack(frame, &node->hotspot);
  EvalScalarTrack(frame, &node->falloff);
  EvalHideTrack(frame, &node->hide);
}

void BM_EvaluateTracksOf200Nodes(benchmark::State& state) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!WriteTdsFile(AnimatedScene(200, 2, 10), &bytes, &error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  Scene* scene = LoadSceneFromMemory(bytes.data(), bytes.size());
  if (scene == nullptr) {
    state.SkipWithError("the scene does not load");
    return;
  }
  float frame = 0.0f;
  for (auto _ : state) {
    // A frame in the middle of the key range; it moves so no segment is cached.
    frame = frame > 80.0f ? 3.5f : frame + 0.77f;
    for (int i = 0; i < scene->root_count; ++i) EvaluateAllTracks(scene->roots[i], frame);
    benchmark::DoNotOptimize(scene->roots[199]->rotation.rotation);
  }
  FreeScene(scene);
}
BENCHMARK(BM_EvaluateTracksOf200Nodes)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
