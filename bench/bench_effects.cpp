// Frames per second of the 2D effect rows: one frame as the timeline draws it
// (clear, draw, swap) into a sink that drops the picture, and the same frame
// captured (converted to the video encoder's YUV and handed through the
// capture's queue to a writer, on its own thread, that keeps nothing). The
// rows must reach 2,000 frames per second on one core.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "board/frame_sink.h"
#include "board/glide.h"
#include "device/demo_state.h"
#include "device/device.h"
#include "effects/bump_scroller.h"
#include "effects/logo.h"
#include "platform/clock.h"
#include "shell/capture.h"
#include "shell/capture_frames.h"
#include "shell/capture_queue.h"

namespace {

class DroppingSink final : public FrameSink {
 public:
  bool Open(int, int) override { return true; }
  void Present(const uint16_t*, int, int, int, int) override {}
  void Close() override {}
};

// Pictures of noise: every byte value, so the tables are used throughout.
struct EffectPictures {
  std::vector<uint8_t> logo, text, background, light, gradient, work;
  EffectPictures() {
    std::mt19937 random(1998);
    const auto fill = [&](std::vector<uint8_t>& v, size_t n) {
      v.resize(n);
      for (uint8_t& b : v) b = static_cast<uint8_t>(random());
    };
    fill(logo, kLogoBytes);
    fill(text, kScrollerTextBytes);
    fill(background, kScreen320Bytes);
    fill(light, kBumpLightBytes);
    gradient.assign(kScreen320Bytes, 0);
    work.assign(kScreen320Bytes, 0);
    LogoPicture = logo.data();
    ScrollerText = text.data();
    ScrollerBackground = background.data();
    BumpLight = light.data();
    BumpGradient = gradient.data();
    BumpWork = work.data();
    for (int i = 0; i < 768; ++i) LogoPalette[i] = static_cast<uint8_t>(random() & 63);
  }
};

void OpenBoard(FrameSink* sink) {
  static EffectPictures pictures;
  grGlideShutdown();
  DeviceResetState();
  BoardSetFrameSink(sink);
  DeviceInit();
  DeviceOpen(GR_RESOLUTION_640x480);
}

void CloseBoard() {
  DeviceClose();
  BoardSetFrameSink(nullptr);
}

enum Row { kLogoRow, kScrollerRow };

void DrawRow(Row row, float progress) {
  if (row == kLogoRow) {
    DrawLogo(progress);
  } else {
    DrawBumpScroller(progress);
  }
}

void RowFrames(benchmark::State& state, Row row, bool capture) {
  DroppingSink dropping;
  NullFrameWriter writer;
  CaptureFrameQueue queue(&writer, CapturePictureBytes(CapturePixels::kYuv420, 640, 480));
  std::string error;
  if (capture && !queue.Start(&error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  platform::ClockUseVirtual(true);
  CaptureSink capturing(&queue, CapturePixels::kYuv420, 640, 480, 1, 1L << 40, 60.0, nullptr);
  OpenBoard(capture ? static_cast<FrameSink*>(&capturing) : &dropping);
  if (!DeviceIsOpen()) {
    state.SkipWithError("the board did not open");
    return;
  }
  FadeLevel = 200;
  long frame = 0;
  for (auto _ : state) {
    ClearFrame();
    DrawRow(row, static_cast<float>(frame % 3480) / 3480.0f);
    ShowFrame(1);
    ++frame;
  }
  state.counters["frames_per_second"] =
      benchmark::Counter(static_cast<double>(frame), benchmark::Counter::kIsRate);
  CloseBoard();
  if (capture) queue.Drain(&error);
  platform::ClockUseVirtual(false);
}

void DrawOnly(benchmark::State& state, Row row) {
  DroppingSink dropping;
  OpenBoard(&dropping);
  FadeLevel = 200;
  long frame = 0;
  for (auto _ : state) {
    DrawRow(row, static_cast<float>(frame % 3480) / 3480.0f);
    ++frame;
  }
  state.counters["frames_per_second"] =
      benchmark::Counter(static_cast<double>(frame), benchmark::Counter::kIsRate);
  CloseBoard();
}

void BM_LogoRowFrame(benchmark::State& state) {
  RowFrames(state, kLogoRow, false);
}
void BM_ScrollerRowFrame(benchmark::State& state) {
  RowFrames(state, kScrollerRow, false);
}
void BM_LogoRowCaptured(benchmark::State& state) {
  RowFrames(state, kLogoRow, true);
}
void BM_ScrollerRowCaptured(benchmark::State& state) {
  RowFrames(state, kScrollerRow, true);
}
void BM_DrawLogo(benchmark::State& state) {
  DrawOnly(state, kLogoRow);
}
void BM_DrawBumpScroller(benchmark::State& state) {
  DrawOnly(state, kScrollerRow);
}

void BM_ConvertFrameToRgb(benchmark::State& state) {
  const int scale = static_cast<int>(state.range(0));
  std::vector<uint16_t> frame(1024 * 480, 0x7BEF);
  std::vector<uint8_t> rgb(static_cast<size_t>(640) * scale * 480 * scale * 3);
  for (auto _ : state) {
    ConvertFrameToRgb(frame.data(), 640, 480, 1024, scale, rgb.data());
    benchmark::DoNotOptimize(rgb.data());
  }
  state.counters["frames_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_LogoRowFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ScrollerRowFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LogoRowCaptured)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ScrollerRowCaptured)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawLogo)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawBumpScroller)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ConvertFrameToRgb)->Arg(1)->Arg(3)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
