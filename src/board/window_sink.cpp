#include "board/window_sink.h"

#include "platform/picture_window.h"

bool WindowFrameSink::Open(int width, int height) {
  return platform::OpenPictureWindow(width, height);
}

void WindowFrameSink::Present(const uint16_t* pixels, int width, int height, int stride_pixels,
                              int interval) {
  platform::SubmitPicture(pixels, width, height, stride_pixels, interval >= 1);
}

void WindowFrameSink::Close() {
  platform::ClosePictureWindow();
}

WindowFrameSink& DefaultWindowSink() {
  static WindowFrameSink sink;
  return sink;
}
