// The bump-lit scroller row: a tall picture of text scrolls up over a still
// background; the combined 320x200 picture is a height field lit by a
// wandering light through a 256x256 light picture, shown in grey levels and
// doubled to 640x400 in the board's back buffer.
#pragma once

#include <cstdint>

// Grey levels at this frame's fade, RGB 565; rebuilt at every call.
extern uint16_t BumpColorTable[256];

constexpr int kBumpWidth = 320;
constexpr int kBumpHeight = 200;
constexpr int kScrollerTextRows = 1024;
constexpr int kBumpLightSize = 256;

// Where the scroller stands at one progress through its row.
struct BumpFrame {
  float effect_time;  // T: 0 to 75 over the row
  int32_t scroll;     // s: text rows scrolled up; its first row is at 200 - s
  int32_t light_x;    // lx: 25..225
  int32_t light_y;    // ly: 50..150
};

// Draws one frame at progress in [0, 1) through the row, with FadeLevel.
// When the back buffer cannot be locked, or the pictures were never loaded,
// the frame's drawing is skipped.
void DrawBumpScroller(float progress);

BumpFrame ComputeBumpFrame(float progress);

void BuildBumpColorTable(int32_t fade, uint16_t table[256]);

// Copies the visible rows of the 320x1024 text over the 320x200 work picture,
// text row 0 at picture row 200 - scroll; text bytes 0 are transparent.
void OverlayScrollerText(const uint8_t* text, int32_t scroll, uint8_t* work);

// The slope of a 320x200 height field: target[y][x] = (source[y-1][x-1] -
// source[y][x]) / 2 + 128 for rows 1..198 and columns 1..318; other cells
// are left as they are.
void ComputeGradient(const uint8_t* source, uint8_t* target);

// Sets the border columns of every gradient row: 0 on the left, 255 on the
// right, so the lighting leaves both columns black.
void SetGradientBorders(uint8_t* gradient);

// Lights the height field: clears work, then for rows 10..198 looks the light
// picture up at the pixel shifted by its slope and stores it 5 rows higher.
void LightBumpPicture(const uint8_t* gradient, const uint8_t* light, int32_t light_x,
                      int32_t light_y, uint8_t* work);

// Writes the 320x200 lit picture, each pixel as a 2x2 block, into memory rows
// 42..441 and columns 0..639 of a lower-left-origin buffer (stride in bytes,
// at least 1280).
void WriteBumpPicture(const uint8_t* work, const uint16_t table[256], uint16_t* buffer,
                      int32_t stride_bytes);
