// The state of the software board: the open screen, its frame memory and
// the clip window. One board per process, as the demo had one 3D board.
// The triangle, texture and combine state are kept beside this in their
// own files.
#pragma once

#include <cstdint>
#include <vector>

#include "board/frame_sink.h"

// Pixels per memory row of every colour and depth buffer of a screen up to
// 1024 pixels wide, as on the original board (a stride of 2048 bytes): rows
// are wider than the screen, and the bytes past its width belong to nobody.
// A wider screen's rows are its width rounded up to 64 pixels.
constexpr int kBoardStridePixels = 1024;

// The largest screen the board opens, in pixels each way.
constexpr int kBoardMaxScreenSide = 4096;

struct BoardClipWindow {
  int min_x = 0;  // inclusive
  int min_y = 0;
  int max_x = 0;  // exclusive
  int max_y = 0;
  bool operator==(const BoardClipWindow&) const = default;
};

struct BoardState {
  bool glide_initialised = false;
  int selected_board = -1;
  bool open = false;
  int width = 0;
  int height = 0;
  int stride_pixels = kBoardStridePixels;  // fixed while a screen is open
  // The size every screen opens at, whatever its resolution code; 0 x 0
  // opens each code at its own size (BoardSetScreenSize).
  int asked_width = 0;
  int asked_height = 0;
  std::vector<uint16_t> colour[2];  // RGB 565, row 0 at the bottom
  std::vector<uint16_t> depth;      // 16-bit depth, 0xFFFF farthest
  int back = 1;                     // index of the back colour buffer
  BoardClipWindow clip;
  FrameSink* sink = nullptr;  // where frames go while open
  int threads = 1;            // drawing threads; above 1, workers draw (board_threads.h)
  // Calls are recorded and drawn a frame later, stripe of rows by stripe
  // (board_threads.h): with more than one thread, or on a large screen.
  bool drawn_by_stripes = false;
};

// Inline: the triangle setup asks for it with every triangle.
inline BoardState& Board() {
  static BoardState board;
  return board;
}

// The original board drew only at the sizes of its resolution codes. Here
// the screens opened from now on are width x height (each 1 to
// kBoardMaxScreenSide) whatever code grSstWinOpen is given, so the same calls
// draw at a modern display's size; 0 x 0 returns to each code's own size.
// False (nothing changed) for a size out of range.
bool BoardSetScreenSize(int width, int height);

// The back colour buffer, or null when no screen is open.
uint16_t* BoardBackBuffer();
