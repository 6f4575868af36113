// The size the demo draws at (--resolution): the board's own 640x480 by
// default, any even size up to 3840x2880, or the display's own ("native").
#pragma once

#include <string>

struct ScreenResolution {
  int width = 640;
  int height = 480;
  bool native = false;  // take the window's or the screen's size when it opens
};

constexpr int kMinResolutionWidth = 320;
constexpr int kMinResolutionHeight = 200;
constexpr int kMaxResolutionWidth = 3840;
constexpr int kMaxResolutionHeight = 2880;

// "WxH" (digits, an x, digits) or "native"; false with a message naming the
// text and what is wrong with it.
bool ParseResolution(const char* text, ScreenResolution* resolution, std::string* error);

// A display's size brought inside the limits and to even numbers (video
// encoders need even sizes).
ScreenResolution ResolutionWithin(int width, int height);
