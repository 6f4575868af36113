#include "shell/frame_report.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "board/window_sink.h"
#include "platform/picture_window.h"

void RecordFrameTime(FrameTiming* timing, double now_seconds) {
  if (timing->frames++ == 0) {
    timing->first_seconds = timing->last_seconds = timing->anchor_seconds = now_seconds;
    return;
  }
  const double gap = now_seconds - timing->last_seconds;
  timing->last_seconds = now_seconds;
  if (gap > timing->longest_gap_seconds) timing->longest_gap_seconds = gap;
  // The periods passed since the anchor frame, less the frames shown in
  // them: a steady 50 frames a second at 60 misses 10 a second, though no
  // single gap reaches two periods. A frame more than half a period ahead
  // of that pace (a headless run faster than real time) becomes the anchor,
  // so time won early does not hide a slow frame later. A miss stays
  // counted: the display showed no new frame in that period.
  ++timing->frames_since_anchor;
  const long periods = std::lround((now_seconds - timing->anchor_seconds) / timing->period_seconds);
  if (periods < timing->frames_since_anchor) {
    timing->missed_before_anchor = timing->missed;
    timing->anchor_seconds = now_seconds;
    timing->frames_since_anchor = 0;
    return;
  }
  timing->missed = std::max(timing->missed,
                            timing->missed_before_anchor + periods - timing->frames_since_anchor);
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
