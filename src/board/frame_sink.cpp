#include "board/frame_sink.h"

#include <cstring>

#include "board/board_state.h"
#include "board/board_threads.h"

// A frame handed over at a swap goes to the sink it was swapped for, which
// may be gone once another takes its place.
void BoardSetFrameSink(FrameSink* sink) {
  if (Board().drawn_by_stripes) BoardFinish();
  Board().sink = sink;
}
FrameSink* BoardFrameSink() {
  return Board().sink;
}

bool CountingFrameSink::Open(int width, int height) {
  open_ = true;
  width_ = width;
  height_ = height;
  return true;
}

void CountingFrameSink::Present(const uint16_t* pixels, int width, int height, int stride_pixels,
                                int interval) {
  ++frames_;
  if (interval >= 1) ++retrace_frames_;
  if (interval >= 1 && keep_last_) {
    last_.resize(static_cast<size_t>(width) * height);
    for (int row = 0; row < height; ++row) {
      std::memcpy(&last_[static_cast<size_t>(row) * width],
                  pixels + static_cast<size_t>(height - 1 - row) * stride_pixels,
                  static_cast<size_t>(width) * sizeof(uint16_t));
    }
  }
  if (hook_) hook_(hook_context_, *this, interval);
}
