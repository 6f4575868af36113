// Paces an output that has no sound card behind it: it wants as many frames
// as the clock says have played since it opened.
#pragma once

#include <cstdint>

#include "music/sound_output.h"

class ClockPacer {
 public:
  // Catching up after a long stall (or a virtual clock's jump) goes in
  // steps of at most this many frames per ask.
  static constexpr int kMaxFramesPerAsk = 1 << 16;

  ClockPacer(int rate_hz, MillisecondClock clock);
  int FramesDue();
  void Took(int frames) { frames_taken_ += frames; }

 private:
  int rate_hz_;
  MillisecondClock clock_;
  double start_ms_;
  int64_t frames_taken_ = 0;
};
