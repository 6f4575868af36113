// The schedule: row search, fades and progress at the edges of rows, and
// the frame loop's clears, blanking and swaps as the board sees them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/call_record.h"
#include "board/frame_sink.h"
#include "device/demo_state.h"
#include "device/device.h"
#include "platform/clock.h"
#include "platform/exit_handlers.h"
#include "scene/scene_test_support.h"
#include "shell/shell_state.h"
#include "shell/timeline.h"

namespace {

int32_t Fade(float t) {
  const int row = FindTimelineRow(t);
  return ComputeFadeLevel(t - Timeline[row].start, Timeline[row + 1].start - Timeline[row].start);
}

TEST(TimelineRows, RowsIncludeTheirStartAndExcludeTheNext) {
  const std::pair<float, int> cases[] = {{0.0f, 0},    {14.999f, 0},   {15.0f, 1},   {159.99f, 12},
                                         {160.0f, 13}, {217.999f, 13}, {218.0f, 14}, {5000.0f, 14}};
  for (const auto& [t, row] : cases) EXPECT_EQ(FindTimelineRow(t), row) << t;
}

TEST(TimelineFades, OneSecondFadesAtBothEdges) {
  // Row 0 is 15 s long, row 7 (95 s) three seconds: the fade-in ends at one
  // second, the fade-out starts one second before the row's end.
  const std::pair<float, int> cases[] = {{0.0f, 0},    {0.5f, 127},  {1.0f, 255},
                                         {7.0f, 255},  {14.0f, 255}, {14.5f, 127},
                                         {95.5f, 127}, {96.5f, 255}, {97.5f, 127}};
  for (const auto& [t, level] : cases) EXPECT_EQ(Fade(t), level) << t;
  // A row shorter than two seconds: the fade-in wins while local < 1.
  EXPECT_EQ(ComputeFadeLevel(0.9f, 1.5f), 229);
  EXPECT_EQ(ComputeFadeLevel(1.2f, 1.5f), 76);
}

// Drives RunTimeline through a script of demo times, one per frame; the
// frame sink moves the virtual clock to the next time at every swap.
class TimelineLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::RunExitHandlers();
    DeviceResetState();
    BoardSetFrameSink(&sink_);
    DeviceInit();
    DeviceOpen(7);
    ASSERT_EQ(DeviceIsOpen(), 1);
    platform::ClockUseVirtual(true);
    sink_.SetHook(&TimelineLoop::OnFrame, this);
  }
  void TearDown() override {
    BoardSetCallRecorder(nullptr);
    platform::ClockUseVirtual(false);
    platform::RunExitHandlers();
    DeviceResetState();
    BoardSetFrameSink(nullptr);
  }

  static void OnFrame(void* context, const CountingFrameSink&, int interval) {
    auto* self = static_cast<TimelineLoop*>(context);
    if (interval < 1) return;
    self->fades_.push_back(FadeLevel);
    if (SceneSlots[1] != nullptr)
      self->frames_.push_back(SceneSlots[1]->roots[0]->position.value.x);
    if (++self->next_ < self->times_.size()) {
      platform::ClockSetVirtualMs(self->times_[self->next_] * 1000.0);
    } else {
      DemoRunning.store(0);  // the frame in progress still completes
    }
  }

  // Runs the loop and returns, per frame, the clear and swap calls in order.
  std::vector<std::string> Run(const std::vector<double>& times) {
    times_ = times;
    next_ = 0;
    fades_.clear();
    frames_.clear();
    StartTick = 0;
    platform::ClockSetVirtualMs(times_[0] * 1000.0);
    BoardCallLog log;
    BoardSetCallRecorder(&log);
    DemoRunning.store(1);
    RunTimeline();
    BoardSetCallRecorder(nullptr);
    std::vector<std::string> frames(1);
    for (const std::string& line : log.Lines()) {
      if (line == "grBufferClear(0,0,65535)") frames.back() += "C";
      if (line == "grBufferSwap(0)") frames.back() += "0";
      if (line == "grBufferSwap(1)") {
        frames.back() += "1";
        frames.emplace_back();
      }
    }
    frames.pop_back();
    return frames;
  }

  CountingFrameSink sink_;
  std::vector<double> times_;
  size_t next_ = 0;
  std::vector<int32_t> fades_;
  std::vector<float> frames_;
};

// The frame drawn is the piece's first frame plus its length times the
// progress inside the row: row 2 (20 s, 25 s long, frames 0-685) at 30 s is
// 0.4 in, frame 274; row 4 (67 s, 7 s, 685-865) at 70.5 s is half-way,
// frame 775; row 12 (133 s, 27 s, 1115-1599) at 135.7 s is 0.1 in, 1163.4.
TEST_F(TimelineLoop, ScenesAreDrawnAtTheProgressInsideTheirRow) {
  // Its one node moves one unit along x per frame: its x is the frame drawn.
  SceneSlots[1] = LoadDescription(MovingTriangle("PROBE", 2000, 2000)).release();
  ASSERT_NE(SceneSlots[1], nullptr);
  Run({30.0, 70.5, 135.7});
  ASSERT_EQ(frames_.size(), 3u);
  EXPECT_NEAR(frames_[0], 274.0f, 0.01f);
  EXPECT_NEAR(frames_[1], 775.0f, 0.01f);
  EXPECT_NEAR(frames_[2], 1163.4f, 0.05f);
  EXPECT_EQ(SceneSlots[1], nullptr);  // freed when the loop ends
}

TEST_F(TimelineLoop, BlanksWhenTypesTwoThreeAndElevenBegin) {
  const auto frames = Run({0.0, 0.5, 14.5, 15.0, 15.5, 20.0, 30.0, 45.0, 67.0, 160.0, 161.0});
  EXPECT_EQ(frames, (std::vector<std::string>{"C1", "C1", "C1",  // row 0, a scene: no blanking
                                              "CC0C1", "C1",     // row 1, the logo begins
                                              "CC0C1", "C1",     // row 2, mainscene begins
                                              "C1",     // row 3, another scene: no blanking
                                              "CC0C1",  // row 4, mainscene again after another type
                                              "CC0C1", "C1"}));  // row 13, the scroller begins
  EXPECT_EQ(fades_, (std::vector<int32_t>{0, 127, 127, 0, 127, 0, 255, 0, 0, 0, 255}));
  EXPECT_EQ(DemoRunning.load(), 0);
}

// The first frame of a blanking type blanks even without a previous frame;
// the end row blanks too, then the loop returns without waiting for the
// script's later frames.
TEST_F(TimelineLoop, FirstFramesBlankAndTheEndRowStopsTheLoop) {
  const struct {
    const char* name;
    std::vector<double> times;
    std::vector<std::string> frames;
  } cases[] = {
      {"planet_part2 never blanks", {100.0}, {"C1"}},
      {"a mainscene piece", {120.0}, {"CC0C1"}},
      {"the logo", {17.0}, {"CC0C1"}},
      {"the scroller, then the end row", {217.5, 218.0, 219.0, 220.0}, {"CC0C1", "CC0C1"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Run(c.times), c.frames);
    for (Scene* scene : SceneSlots) EXPECT_EQ(scene, nullptr);
  }
}

}  // namespace
