// How well the frames kept their time (--fps-report): every frame shown at
// the retrace is timed on the wall clock, and a frame period that passed
// without a frame of its own counts as missed. A window's period is the display's refresh; a
// headless run's is that of its virtual clock, so there a miss is a frame drawn more slowly than
// real time.
#pragma once

#include <string>

#include "board/frame_sink.h"

struct FrameTiming {
  double period_seconds = 1.0 / 60.0;
  long frames = 0;
  long missed = 0;
  double first_seconds = 0.0;  // wall time of the first frame
  double last_seconds = 0.0;
  double longest_gap_seconds = 0.0;
  // The frame the count of periods starts from, and what was missed before it.
  double anchor_seconds = 0.0;
  long frames_since_anchor = 0;
  long missed_before_anchor = 0;
};

// A frame shown at wall time now_seconds (from any fixed origin, rising).
void RecordFrameTime(FrameTiming* timing, double now_seconds);

// One line: frames, their rate, how many were missed and the longest gap.
std::string DescribeFrameTiming(const FrameTiming& timing);

// Seconds on a steady clock, for RecordFrameTime.
double FrameClockSeconds();

// The picture window, timing the frames it shows.
class TimedWindowSink final : public FrameSink {
 public:
  bool Open(int width, int height) override;
  void Present(const uint16_t* pixels, int width, int height, int stride_pixels,
               int interval) override;
  void Close() override;
  // As the window's own sink: a frame shown one swap later changes nothing.
  bool AcceptsLateFrames() const override { return true; }
  const FrameTiming& timing() const { return timing_; }

 private:
  FrameTiming timing_;
};
