#include "shell/frame_report.h"

#include <chrono>
#include <cmath>
#include <cstdio>

#include "board/window_sink.h"
#include "platform/picture_window.h"

void RecordFrameTime(FrameTiming* timing, double now_seconds) {
  if (timing->frames++ == 0) {
    timing->first_seconds = timing->last_seconds = now_seconds;
    return;
  }
  const double gap = now_seconds - timing->last_seconds;
  timing->last_seconds = now_seconds;
  if (gap > timing->longest_gap_seconds) timing->longest_gap_seconds = gap;
  if (gap > 1.5 * timing->period_seconds) {
    timing->missed += std::lround(gap / timing->period_seconds) - 1;
  }
}

std::string DescribeFrameTiming(const FrameTiming& timing) {
  const double span = timing.last_seconds - timing.first_seconds;
  char line[256];
  std::snprintf(line, sizeof line,
                "%ld frames in %.1f s (%.1f per second, aiming at %.1f); %ld missed their time; "
                "the longest gap %.1f ms",
                timing.frames, span, span > 0 ? (timing.frames - 1) / span : 0.0,
                1.0 / timing.period_seconds, timing.missed, timing.longest_gap_seconds * 1000.0);
  return line;
}

double FrameClockSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

bool TimedWindowSink::Open(int width, int height) {
  if (!DefaultWindowSink().Open(width, height)) return false;
  timing_ = FrameTiming{};
  timing_.period_seconds = 1.0 / platform::PictureWindowRefreshHz();
  return true;
}

void TimedWindowSink::Present(const uint16_t* pixels, int width, int height, int stride_pixels,
                              int interval) {
  DefaultWindowSink().Present(pixels, width, height, stride_pixels, interval);
  if (interval >= 1) RecordFrameTime(&timing_, FrameClockSeconds());
}

void TimedWindowSink::Close() {
  DefaultWindowSink().Close();
}
