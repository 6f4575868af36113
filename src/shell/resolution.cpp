#include "shell/resolution.h"

#include <algorithm>
#include <cstring>

namespace {

// A run of at most five digits at *text, moved past; false if there is none.
bool ReadDimension(const char** text, int* value) {
  int digits = 0;
  *value = 0;
  while (**text >= '0' && **text <= '9' && digits < 5) {
    *value = *value * 10 + (**text - '0');
    ++*text;
    ++digits;
  }
  return digits > 0 && !(**text >= '0' && **text <= '9');
}

}  // namespace

bool ParseResolution(const char* text, ScreenResolution* resolution, std::string* error) {
  const std::string shown = std::string("--resolution ") + (text ? text : "");
  if (text && std::strcmp(text, "native") == 0) {
    resolution->native = true;
    return true;
  }
  const char* at = text;
  int width = 0, height = 0;
  if (!at || !ReadDimension(&at, &width) || (*at != 'x' && *at != 'X') ||
      !(++at, ReadDimension(&at, &height)) || *at != '\0') {
    *error = shown + ": needs WIDTHxHEIGHT in pixels (e.g. 1920x1440) or native";
    return false;
  }
  if (width < kMinResolutionWidth || width > kMaxResolutionWidth || height < kMinResolutionHeight ||
      height > kMaxResolutionHeight) {
    *error = shown + ": the width must be from " + std::to_string(kMinResolutionWidth) + " to " +
             std::to_string(kMaxResolutionWidth) + " and the height from " +
             std::to_string(kMinResolutionHeight) + " to " + std::to_string(kMaxResolutionHeight);
    return false;
  }
  if (width % 2 != 0 || height % 2 != 0) {
    *error = shown + ": the width and the height must be even (video needs that)";
    return false;
  }
  resolution->width = width;
  resolution->height = height;
  resolution->native = false;
  return true;
}

ScreenResolution ResolutionWithin(int width, int height) {
  ScreenResolution resolution;
  resolution.width = std::clamp(width, kMinResolutionWidth, kMaxResolutionWidth) & ~1;
  resolution.height = std::clamp(height, kMinResolutionHeight, kMaxResolutionHeight) & ~1;
  return resolution;
}
