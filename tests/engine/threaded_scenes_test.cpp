// The middle frame of every scene row of the schedule, with the default
// content, drawn and swapped with the board on 1, 2 and 3 threads: the same
// frames shown every time.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "board/board_state.h"
#include "board/board_threads.h"
#include "board/frame_sink.h"
#include "board/glide.h"
#include "device/demo_state.h"
#include "device/device.h"
#include "engine/scene_renderer.h"
#include "platform/message_box.h"
#include "scene/scene.h"
#include "shell/content_loader.h"
#include "shell/timeline.h"
#include "storage/content_library.h"

namespace {

// The scene slot a row of the schedule shows, or -1.
int SceneSlotOf(const TimelineEntry& row) {
  if (row.type == 1 || row.type == 3) return static_cast<int>(row.type) / 2;
  return row.type >= 4 && row.type <= 10 ? static_cast<int>(row.type) - 2 : -1;
}

// Keeps every frame shown at the retrace.
void KeepFrame(void* context, const CountingFrameSink& sink, int interval) {
  if (interval < 1) return;
  const size_t pixels = static_cast<size_t>(sink.width()) * sink.height();
  static_cast<std::vector<std::vector<uint16_t>>*>(context)->emplace_back(
      sink.last_frame(), sink.last_frame() + pixels);
}

// The middle frame of every scene row, swapped one after the other as the
// schedule does (with threads, each is drawn while the next is evaluated).
std::vector<std::vector<uint16_t>> DrawScenes(CountingFrameSink& sink, int threads) {
  EXPECT_EQ(BoardSetThreads(threads), threads);
  std::vector<std::vector<uint16_t>> shown;
  sink.SetHook(KeepFrame, &shown);
  for (const TimelineEntry& row : Timeline) {
    if (SceneSlotOf(row) < 0) continue;
    ClearFrame();
    FadeLevel = 255;
    DrawSceneFrame(SceneSlotOf(row), row.from_frame, row.to_frame, 0.5f);
    ShowFrame(1);
  }
  BoardFinish();
  sink.SetHook(nullptr, nullptr);
  return shown;
}

TEST(ThreadedScenes, EverySceneDrawsTheSameFrameOnAnyNumberOfThreads) {
  const std::string path = std::string(VEYRITH_BINARY_DIR) + "/content/demo.dat";
  ASSERT_TRUE(std::filesystem::exists(path)) << path << ": the build makes the default content";
  platform::SetMessageBoxDialogs(false);
  CountingFrameSink sink;
  sink.SetLateFrames(true);
  BoardSetFrameSink(&sink);
  ContentFile = new TFile();
  ContentFile->SetName(path.c_str());
  ASSERT_TRUE(ContentFile->Open(smRead));
  ContentLibrary = new TFileLib(ContentFile);
  ASSERT_TRUE(LoadSceneSlots() && CollectAndLoadTextures());
  DeviceInit();
  DeviceOpen(GR_RESOLUTION_640x480);
  DeviceSetViewScale(1.0f);
  ASSERT_TRUE(DeviceIsOpen() && UploadAllTextures());
  const std::vector<std::vector<uint16_t>> one = DrawScenes(sink, 1);
  ASSERT_EQ(one.size(), 12u);  // the scene rows of the schedule
  for (size_t r = 0; r < one.size(); ++r) {
    const auto drawn = std::count_if(one[r].begin(), one[r].end(), [](uint16_t p) { return p; });
    EXPECT_GT(drawn, 640 * 480 / 10) << "scene row " << r;
  }
  for (int threads : {2, 3}) EXPECT_TRUE(DrawScenes(sink, threads) == one) << threads;
  BoardSetThreads(1);
  grGlideShutdown();
  BoardSetFrameSink(nullptr);
  for (Scene*& scene : SceneSlots) {
    FreeScene(scene);
    scene = nullptr;
  }
  for (int32_t k = 0; k < kTextureSlotCount; ++k) {
    delete[] TextureSlots[k].image.pixels;
    TextureSlots[k] = Texture{};
  }
  TextureCount = 0;
  CloseLibraryAtExit();
}

}  // namespace
