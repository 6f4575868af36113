// The picture window: shows the board's RGB 565 frames scaled to the window
// with the 4:3 shape kept (black bars), resizable or full screen, presented
// with vertical sync on the main thread.
#pragma once

#include <cstdint>

namespace platform {

struct PictureWindowOptions {
  bool fullscreen = false;
  int scale = 0;  // initial window size in multiples of the picture; 0 picks one
  // The initial window size in pixels instead (0: from scale). A window
  // larger than the display's usable area is made smaller, in shape.
  int width = 0;
  int height = 0;
};
void SetPictureWindowOptions(const PictureWindowOptions& options);

// Main thread. Opens the window titled "Veyrith" for frames of this size.
bool OpenPictureWindow(int width, int height);
void ClosePictureWindow();
bool PictureWindowOpen();

// The display's refresh rate while a window is open (60 when unknown).
int PictureWindowRefreshHz();

// The size in pixels a window for pictures of picture_width x
// picture_height would open at with the options set, or with fullscreen the
// desktop's size; false when no real display can be reached.
bool PictureWindowSizeFor(int picture_width, int picture_height, int* width, int* height);
// How the open window presents itself: the demo's cursor over a window, no
// cursor in full screen. All false when no window is open.
struct PictureWindowLook {
  bool own_cursor = false;
  bool cursor_shown = false;
  bool fullscreen = false;
};
PictureWindowLook PictureWindowLookNow();

// Any thread. Copies a finished frame whose memory row 0 is the bottom row.
// With wait, first waits until the frame submitted before is presented (at a
// retrace), or until presenting has stopped: the caller then draws its next
// frame while this one is presented, one frame ahead of the screen at most.
// A frame submitted without wait did not ask for the retrace: it is shown as
// soon as the main thread takes it, without pacing.
void SubmitPicture(const uint16_t* pixels, int width, int height, int stride_pixels, bool wait);

// Main thread, after its message loop: frames are no longer presented and
// waiting submitters are released.
void StopPresenting();

// Internal to the platform: called by GetMessage on the main thread.
// Presents a pending frame and turns window events into posted messages.
void ServePictureWindow();

}  // namespace platform
