// The default frame sink: the picture window of the platform.
#pragma once

#include "board/frame_sink.h"

class WindowFrameSink : public FrameSink {
 public:
  bool Open(int width, int height) override;
  void Present(const uint16_t* pixels, int width, int height, int stride_pixels,
               int interval) override;
  void Close() override;
  // The window runs on the wall clock: a frame shown a little later changes
  // nothing the demo computes.
  bool AcceptsLateFrames() const override { return true; }
};

WindowFrameSink& DefaultWindowSink();
