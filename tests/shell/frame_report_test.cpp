// --fps-report's count of frames that missed their time.
#include <gtest/gtest.h>

#include <vector>

#include "shell/frame_report.h"

namespace {

struct MissCase {
  const char* what;
  std::vector<double> gaps_ms;  // between frames, at 60 periods a second
  long missed;
};

TEST(FrameReport, CountsThePeriodsWithoutANewFrame) {
  const std::vector<double> steady_50(100, 20.0);
  const std::vector<double> jittery_60 = {16.0, 17.3, 16.2, 17.1, 16.5, 16.9, 16.4, 17.0};
  std::vector<double> fast_then_slow(50, 8.0);
  fast_then_slow.push_back(40.0);
  const MissCase cases[] = {
      {"every period", std::vector<double>(100, 1000.0 / 60), 0},
      {"a period's jitter evens out", jittery_60, 0},
      {"steady 50 a second misses every sixth period", steady_50, 20},
      {"one gap of three periods", {16.7, 50.0, 16.7}, 2},
      {"a frame a period late, then on time again", {33.3, 16.7, 16.7}, 1},
      {"time won early does not hide a slow frame", fast_then_slow, 1},
  };
  for (const MissCase& c : cases) {
    FrameTiming timing;
    timing.period_seconds = 1.0 / 60;
    double now = 100.0;
    RecordFrameTime(&timing, now);
    for (const double gap : c.gaps_ms) RecordFrameTime(&timing, now += gap / 1000.0);
    EXPECT_EQ(timing.missed, c.missed) << c.what;
    EXPECT_EQ(timing.frames, static_cast<long>(c.gaps_ms.size()) + 1) << c.what;
  }
}

}  // namespace
