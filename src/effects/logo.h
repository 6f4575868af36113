// The logo picture row: the 640x480 title picture written straight into the
// board's back buffer, faded with FadeLevel through a 256-entry colour table
// so the fade costs nothing per pixel.
#pragma once

#include <cstdint>

// The picture's colours at this frame's fade, RGB 565; rebuilt at every call.
extern uint16_t LogoColorTable[256];

constexpr int kLogoWidth = 640;
constexpr int kLogoHeight = 480;

// Draws LogoPicture with LogoPalette at the current FadeLevel. The progress
// is accepted and ignored: the picture does not move. When the back buffer
// cannot be locked, or the pictures were never loaded, the frame's drawing
// is skipped.
void DrawLogo(float progress);

// The colour table for a palette of 256 x (red, green, blue), each 0..63,
// at fade 0 (black) .. 255 (full).
void BuildLogoColorTable(const uint8_t palette[768], int32_t fade, uint16_t table[256]);

// Writes the 640x480 picture (row 0 at the top) into a lower-left-origin
// buffer: picture row 0 goes to memory row 479. Only columns 0..639 of each
// row are written; the stride is in bytes and at least 1280.
void WriteLogoPicture(const uint8_t* picture, const uint16_t table[256], uint16_t* buffer,
                      int32_t stride_bytes);
