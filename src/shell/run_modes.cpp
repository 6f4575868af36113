#include "shell/run_modes.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>

#include "board/board_threads.h"
#include "board/frame_sink.h"
#include "device/device.h"
#include "music/music_options.h"
#include "music/music_system.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/message_box.h"
#include "platform/picture_window.h"
#include "platform/thread.h"
#include "shell/capture.h"
#include "shell/demo_program.h"
#include "shell/frame_report.h"
#include "shell/options.h"
#include "shell/shell_state.h"
#include "storage/png_file.h"

namespace {

// Headless runs hear nothing unless asked: the silent sound output comes
// first, so a --sound option on the command line still wins.
void PresetSilentSound() {
  const char* arguments[] = {"veyrith", "--sound", "none"};
  int index = 1;
  std::string ignored;
  ParseMusicArgument(3, const_cast<char**>(arguments), &index, &ignored);
}

// Watching from part-way: the schedule starts at T, and the music is
// advanced silently to the same point so picture and sound stay in step.
void StartPartWay(const ShellOptions& options) {
  if (!options.start_given) return;
  DemoStartMs = static_cast<uint32_t>(std::llround(options.start_seconds * 1000.0));
  MusicSetStartTime(DemoStartMs / 1000.0);
}

// A headless run's frames: every swap at the retrace moves the virtual clock
// on by one frame, and the frames are taken late, so drawing threads draw
// one frame while the next is evaluated.
class HeadlessSink final : public CountingFrameSink {
 public:
  explicit HeadlessSink(double fps) : frame_ms_(1000.0 / fps) {
    timing_.period_seconds = 1.0 / fps;
    SetLateFrames(true);
    SetKeepLastFrame(false);
  }
  void Swapped(int interval) override {
    if (interval < 1) return;
    platform::ClockAdvanceVirtualMs(frame_ms_);
    RecordFrameTime(&timing_, FrameClockSeconds());
  }
  const FrameTiming& timing() const { return timing_; }  // on the wall clock

 private:
  double frame_ms_;
  FrameTiming timing_;
};

void ReportFrames(const ShellOptions& options, const FrameTiming& timing) {
  if (options.fps_report) {
    std::fprintf(stderr, "veyrith: %s\n", DescribeFrameTiming(timing).c_str());
  }
}

// The size the demo draws at, told to the device before anything opens;
// "native" takes it from the display. False, with a message, when there is
// no display to take it from.
bool ChooseScreenSize(const ShellOptions& options, const platform::PictureWindowOptions& window) {
  ScreenResolution resolution = options.resolution;
  if (resolution.native) {
    platform::PictureWindowOptions asked = window;
    // Without a window the picture takes the whole screen's size.
    asked.fullscreen =
        window.fullscreen || options.headless || options.screenshot || options.capture;
    platform::SetPictureWindowOptions(asked);
    int width = 0, height = 0;
    const bool found = platform::PictureWindowSizeFor(640, 480, &width, &height);
    platform::SetPictureWindowOptions(window);
    if (!found) {
      std::fprintf(stderr,
                   "veyrith: --resolution native: no display to take the size from; give "
                   "WIDTHxHEIGHT instead\n");
      return false;
    }
    resolution = ResolutionWithin(width, height);
  }
  if (resolution.width == 640 && resolution.height == 480) return true;
  return DeviceSetScreenSize(resolution.width, resolution.height);
}

int RunHeadless(const ShellOptions& options) {
  EnterHeadless(options.sound_chosen ? HeadlessSound::kAsChosen : HeadlessSound::kSilent);
  HeadlessSink sink(options.fps);
  BoardSetFrameSink(&sink);
  const auto begin = std::chrono::steady_clock::now();
  const int code = RunDemoProgram();
  BoardSetFrameSink(nullptr);  // the last frame drawn reaches the sink
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  if (code == 0) {
    const double demo_seconds = platform::ClockVirtualMs() / 1000.0;
    std::fprintf(stderr,
                 "veyrith: %ld frames (%.1f s of demo time at %g fps) in %.2f s: %.0f frames "
                 "per second\n",
                 sink.retrace_frames(), demo_seconds, options.fps, wall,
                 wall > 0 ? static_cast<double>(sink.retrace_frames()) / wall : 0.0);
    ReportFrames(options, sink.timing());
  }
  return code;
}

struct Screenshot {
  std::string path;
  std::string error;
  bool written = false;
};

// The first frame shown at the retrace is the one at the asked time.
void TakeScreenshot(void* context, const CountingFrameSink& sink, int interval) {
  auto* shot = static_cast<Screenshot*>(context);
  if (interval < 1 || shot->written || !shot->error.empty()) return;
  if (WritePngRgb565(shot->path, sink.last_frame(), sink.width(), sink.height(), &shot->error)) {
    shot->written = true;
  }
  DemoRunning.store(0);
}

int RunScreenshot(const ShellOptions& options) {
  EnterHeadless(options.sound_chosen ? HeadlessSound::kAsChosen : HeadlessSound::kSilent);
  DemoStartMs = static_cast<uint32_t>(std::llround(options.screenshot_seconds * 1000.0));
  CountingFrameSink sink;
  Screenshot shot{options.screenshot_path, {}, false};
  sink.SetHook(TakeScreenshot, &shot);
  BoardSetFrameSink(&sink);
  const int code = RunDemoProgram();
  BoardSetFrameSink(nullptr);
  if (code != 0) return code;
  if (!shot.written) {
    std::fprintf(stderr, "veyrith: screenshot not written: %s\n",
                 shot.error.empty() ? "no frame was drawn" : shot.error.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

void EnterHeadless(HeadlessSound sound) {
  platform::SetHeadless(true);
  platform::SetMessageBoxDialogs(false);
  platform::ClockUseVirtual(true);
  platform::ClockSetVirtualMs(0.0);
  MusicSkipSetupDialog(true);
  if (sound == HeadlessSound::kSilent) PresetSilentSound();
}

int RunWithOptions(const ShellOptions& options) {
  const int threads = options.threads > 0 ? options.threads : platform::UsableCores();
  const int drawing = BoardSetThreads(threads);
  if (drawing < threads) {
    std::fprintf(stderr, "veyrith: drawing on %d thread%s; %d could not start\n", drawing,
                 drawing == 1 ? "" : "s", threads - drawing);
  }
  platform::PictureWindowOptions window;
  window.fullscreen = options.fullscreen;
  if (options.window_scale > 0) {
    window.width = 640 * options.window_scale;
    window.height = 480 * options.window_scale;
  }
  platform::SetPictureWindowOptions(window);
  if (options.resolution_given && !ChooseScreenSize(options, window)) return 1;
  if (options.capture) return RunCapture(options);
  if (options.screenshot) return RunScreenshot(options);
  StartPartWay(options);
  if (options.headless) return RunHeadless(options);
  if (!options.fps_report) return RunDemoProgram();
  TimedWindowSink timed;
  BoardSetFrameSink(&timed);
  const int code = RunDemoProgram();
  BoardSetFrameSink(nullptr);
  ReportFrames(options, timed.timing());
  return code;
}
