// The progress line of long captures on standard error: frames done of the
// total, frames per second and the time left, redrawn in place a few times
// a second when standard error is a terminal, silent otherwise.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

class CaptureProgress {
 public:
  // total_frames > 0. enabled false keeps it silent (not a terminal).
  CaptureProgress(long total_frames, bool enabled, std::FILE* out = stderr);
  // Frames done so far; redraws at most every 0.2 s, and always at the end.
  void Update(long frames_done);
  // Clears the line so the next message starts at column 0.
  void Finish();
  // Seconds since the capture began.
  double ElapsedSeconds() const;

  // The text of the line, for frames done after elapsed seconds.
  static std::string Line(long frames_done, long total_frames, double elapsed_seconds);

 private:
  long total_;
  bool enabled_;
  bool drawn_ = false;
  std::FILE* out_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_draw_;
};
