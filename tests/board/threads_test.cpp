// Drawing on worker threads: every scene gives the same pixels and depths
// with 1, 2, 3 and 8 threads, including scenes that
// change state, clip window and texture memory between triangles; frames
// handed over at the swap reach the sink whole and in order; workers that
// cannot start leave fewer threads, never a hang.
#include <atomic>
#include <cstdint>
#include <random>
#include <vector>

#include "board/board_threads.h"
#include "board/frame_sink.h"
#include "board_fixture.h"
#include "golden_scenes.h"

namespace {

using Scene = void (*)();

// A mip chain of 64x64 down to 1x1; the data is given for a download.
GrTexInfo MipChain(void* data = nullptr) {
  GrTexInfo info;
  info.largeLod = GR_LOD_64;
  info.smallLod = GR_LOD_1;
  info.aspectRatio = GR_ASPECT_1x1;
  info.format = GR_TEXFMT_RGB_565;
  info.data = data;
  return info;
}
constexpr FxU32 kChainAddresses[2] = {0, 0x10000};

// Seeded texels at a texture address, bound for drawing.
void DownloadMipChain(uint32_t seed, FxU32 address) {
  std::vector<uint16_t> texels(4096 + 1024 + 256 + 64 + 16 + 4 + 1);
  std::mt19937 random(seed);
  for (uint16_t& texel : texels) texel = static_cast<uint16_t>(random());
  GrTexInfo info = MipChain(texels.data());
  grTexDownloadMipMap(GR_TMU0, address, GR_MIPMAPLEVELMASK_BOTH, &info);
  grTexSource(GR_TMU0, address, GR_MIPMAPLEVELMASK_BOTH, &info);
}

// Random triangles, in and beyond the screen, with the state, the clip
// window and the texture bound changed between them, a clear part-way
// through and a texture replaced (workers must draw each triangle with what
// was current when it was submitted).
void ChangingState(int triangles, int change_every, uint32_t seed = 11, bool download = true) {
  std::mt19937 random(seed);
  const auto uniform = [&](float low, float high) {
    return std::uniform_real_distribution<float>(low, high)(random);
  };
  const auto pick = [&](int count) { return static_cast<int>(random() % count); };
  if (download) {
    DownloadMipChain(1, kChainAddresses[1]);
    DownloadMipChain(2, kChainAddresses[0]);
  }
  for (int i = 0; i < triangles; ++i) {
    if (i % change_every == change_every / 2) {  // on its own, as renderers do
      GrTexInfo info = MipChain();
      // The texels at an address may also be bound as 64x32.
      info.aspectRatio = pick(2) == 0 ? GR_ASPECT_1x1 : GR_ASPECT_2x1;
      grTexSource(GR_TMU0, kChainAddresses[pick(2)], GR_MIPMAPLEVELMASK_BOTH, &info);
    }
    if (i % change_every == 0) {
      grDepthBufferMode(pick(3));
      grDepthBufferFunction(pick(8));
      grDepthMask(pick(2));
      grDitherMode(pick(3));
      grChromakeyMode(pick(4) == 0);
      grChromakeyValue(random());
      grConstantColorValue(random());
      grTexFilterMode(GR_TMU0, pick(2), pick(2));
      grTexClampMode(GR_TMU0, pick(2), pick(2));
      grTexMipMapMode(GR_TMU0, pick(2), FXFALSE);
      const GrCombineFunction_t functions[] = {GR_COMBINE_FUNCTION_LOCAL,
                                               GR_COMBINE_FUNCTION_SCALE_OTHER};
      const GrCombineFactor_t factors[] = {GR_COMBINE_FACTOR_LOCAL, GR_COMBINE_FACTOR_ONE};
      grColorCombine(functions[pick(2)], factors[pick(2)], pick(2), GR_COMBINE_OTHER_TEXTURE,
                     FXFALSE);
    }
    if (i % (3 * change_every) == 1) {
      const auto x = static_cast<FxU32>(pick(100)), y = static_cast<FxU32>(pick(100));
      grClipWindow(x, y, x + 80 + pick(200), y + 60 + pick(200));
    }
    if (i == triangles / 2) grBufferClear(random(), 0, static_cast<FxU16>(random()));
    if (i == 3 * triangles / 4 && download) DownloadMipChain(3, kChainAddresses[1]);
    const float size = pick(4) == 0 ? 200.0f : 12.0f;
    const float x = uniform(-20, 340), y = uniform(-20, 260);
    GrVertex v[3];
    for (GrVertex& corner : v) {
      corner.x = x + uniform(-size, size), corner.y = y + uniform(-size, size);
      corner.r = uniform(0, 255), corner.g = uniform(0, 255), corner.b = uniform(0, 255);
      corner.ooz = uniform(0, 65535), corner.oow = corner.tmuvtx[0].oow = uniform(0.05f, 1.0f);
      corner.tmuvtx[0].sow = uniform(0, 512) * corner.oow;
      corner.tmuvtx[0].tow = uniform(0, 512) * corner.oow;
    }
    grDrawTriangle(&v[0], &v[1], &v[2]);
  }
}

void MixedTriangles() {
  ChangingState(1500, 40);
}
// More commands than the workers take at once, the state changing with
// every other triangle.
void LongStream() {
  ChangingState(12000, 2);
}
// Frames that leave texture memory alone, so nothing waits between them.
void BusyFrameA() {
  ChangingState(3000, 40, 21, false);
}
void BusyFrameB() {
  ChangingState(3000, 40, 22, false);
}

class ThreadsTest : public BoardTest {
 protected:
  void TearDown() override {
    BoardSetThreads(1);
    BoardTest::TearDown();
  }

  // The scene submitted on a cleared screen with fresh state.
  static void Submit(Scene scene) {
    FreshState();
    scene();
  }
  static Frame Render(Scene scene) {
    Submit(scene);
    BoardFinish();
    return ReadFrame();
  }
  static Frame RenderWith(int threads, Scene scene) {
    EXPECT_EQ(BoardSetThreads(threads), threads);
    return Render(scene);
  }
};

TEST_F(ThreadsTest, EveryThreadCountDrawsTheSamePixelsAndDepths) {
  const std::pair<const char*, Scene> scenes[] = {{"tilted checkerboard", DrawTiltedCheckerboard},
                                                  {"intersecting quads", DrawIntersectingQuads},
                                                  {"mixed triangles", MixedTriangles}};
  for (const auto& [name, scene] : scenes) {
    const Frame one = RenderWith(1, scene);
    for (int threads : {2, 3, 8}) {
      EXPECT_TRUE(RenderWith(threads, scene) == one) << name << ", " << threads << " threads";
    }
  }
}

TEST_F(ThreadsTest, ALongStreamIsDrawnWholeBeforeTheThreadCountChanges) {
  const Frame one = RenderWith(1, LongStream);
  BoardSetThreads(3);
  Submit(LongStream);
  EXPECT_EQ(BoardSetThreads(2), 2);
  EXPECT_TRUE(ReadFrame() == one);
}

// Keeps every frame shown at the retrace.
void KeepFrame(void* context, const CountingFrameSink& sink, int interval) {
  if (interval < 1) return;
  const size_t pixels = static_cast<size_t>(sink.width()) * sink.height();
  static_cast<std::vector<std::vector<uint16_t>>*>(context)->emplace_back(
      sink.last_frame(), sink.last_frame() + pixels);
}

// What a sink that takes frames late is shown of four frames swapped one
// after the other, then what locks read of a fifth: the texels the first
// frame was drawn with are replaced right after its swap, the next three
// follow one another with nothing in between that waits, and the locks
// come with the fourth still unshown.
std::vector<std::vector<uint16_t>> ShowFrames() {
  CountingFrameSink sink;
  sink.Open(BoardTest::kWidth, BoardTest::kHeight);
  sink.SetLateFrames(true);
  std::vector<std::vector<uint16_t>> shown;
  sink.SetHook(KeepFrame, &shown);
  BoardSetFrameSink(&sink);
  const auto submit = [](Scene scene) {
    RenderState() = BoardRenderState{};
    grClipWindow(0, 0, BoardTest::kWidth, BoardTest::kHeight);
    grBufferClear(0x102030, 0, 0xFFFF);
    scene();
  };
  submit(MixedTriangles);
  grBufferSwap(1);
  DownloadMipChain(5, kChainAddresses[0]);
  DownloadMipChain(6, kChainAddresses[1]);
  for (Scene scene : {BusyFrameA, BusyFrameB, BusyFrameA}) {
    submit(scene);
    grBufferSwap(1);
  }
  submit(DrawIntersectingQuads);
  GrLfbInfo_t info;
  info.size = sizeof info;
  for (GrBuffer_t buffer : {GR_BUFFER_BACKBUFFER, GR_BUFFER_FRONTBUFFER}) {
    EXPECT_TRUE(
        grLfbLock(GR_LFB_READ_ONLY, buffer, GR_LFBWRITEMODE_565, GR_ORIGIN_ANY, FXFALSE, &info));
    const auto* pixels = static_cast<const uint16_t*>(info.lfbPtr);
    auto& read = shown.emplace_back();
    for (int y = 0; y < BoardTest::kHeight; ++y) {
      read.insert(read.end(), pixels + y * kBoardStridePixels,
                  pixels + y * kBoardStridePixels + BoardTest::kWidth);
    }
    grLfbUnlock(GR_LFB_READ_ONLY, buffer);
  }
  BoardSetFrameSink(nullptr);
  return shown;
}

TEST_F(ThreadsTest, FramesHandedOverAtTheSwapAreShownWholeAndInOrder) {
  BoardSetThreads(1);
  const std::vector<std::vector<uint16_t>> one = ShowFrames();
  ASSERT_EQ(one.size(), 6u);  // four frames shown, two buffers read
  for (int threads : {2, 3}) {
    EXPECT_EQ(BoardSetThreads(threads), threads);
    EXPECT_TRUE(ShowFrames() == one) << threads << " threads";
  }
}

TEST_F(ThreadsTest, AFrameHandedOverReachesItsSinkBeforeTheSinkChangesOrTheScreenCloses) {
  CountingFrameSink first, second;
  first.SetLateFrames(true);
  second.SetLateFrames(true);
  BoardSetFrameSink(&first);
  ASSERT_EQ(BoardSetThreads(2), 2);
  Submit(MixedTriangles);
  grBufferSwap(1);
  BoardSetFrameSink(&second);
  EXPECT_EQ(first.retrace_frames(), 1);
  Submit(MixedTriangles);
  grBufferSwap(1);
  Submit(LongStream);  // no swap: closed part-way
  grGlideShutdown();
  EXPECT_EQ(second.retrace_frames(), 1);
  EXPECT_EQ(BoardSetThreads(1), 1);
}

// Starts the first starts_left threads, then fails.
std::atomic<int> starts_left{0};
bool StartSome(platform::Thread* thread, platform::ThreadFunction function, void* argument) {
  if (starts_left.fetch_sub(1) <= 0) return false;
  return thread->Start(function, argument, 256 * 1024);
}

TEST_F(ThreadsTest, WorkersThatCannotStartLeaveFewerThreads) {
  const Frame one = RenderWith(1, MixedTriangles);
  // Starts, threads: the calling thread draws beside the workers that started.
  const std::pair<int, int> cases[] = {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {8, 4}};
  for (const auto& [starts, threads] : cases) {
    starts_left = starts;
    ASSERT_EQ(BoardSetThreads(4, StartSome), threads) << starts << " starts";
    EXPECT_TRUE(Render(MixedTriangles) == one) << starts;
  }
}

}  // namespace
