// The middle frame of every scene row of the schedule, with the default
// content, drawn with the board on 1, 2 and 3 threads: the same pixels and
// depths every time.
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

// The colour and depth buffers of the row's middle frame.
std::vector<uint16_t> DrawScene(const TimelineEntry& row, int threads) {
  EXPECT_EQ(BoardSetThreads(threads), threads);
  ClearFrame();
  FadeLevel = 255;
  DrawSceneFrame(SceneSlotOf(row), row.from_frame, row.to_frame, 0.5f);
  BoardFinish();
  std::vector<uint16_t> buffers = Board().colour[Board().back];
  buffers.insert(buffers.end(), Board().depth.begin(), Board().depth.end());
  return buffers;
}

TEST(ThreadedScenes, EverySceneDrawsTheSameFrameOnAnyNumberOfThreads) {
  const std::string path = std::string(VEYRITH_BINARY_DIR) + "/content/demo.dat";
  ASSERT_TRUE(std::filesystem::exists(path)) << path << ": the build makes the default content";
  platform::SetMessageBoxDialogs(false);
  CountingFrameSink sink;
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
  int scene_rows = 0;
  for (int r = 0; r < kTimelineRows; ++r) {
    const TimelineEntry& row = Timeline[r];
    if (SceneSlotOf(row) < 0) continue;
    ++scene_rows;
    const std::vector<uint16_t> one = DrawScene(row, 1);
    long drawn = 0;  // pixels of the screen that are not black
    for (long i = 0; i < 480L * kBoardStridePixels; ++i)
      drawn += i % kBoardStridePixels < 640 && one[i];
    EXPECT_GT(drawn, 640 * 480 / 10) << "row " << r;
    for (int threads : {2, 3}) EXPECT_TRUE(DrawScene(row, threads) == one) << "row " << r;
  }
  EXPECT_EQ(scene_rows, 12);
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
