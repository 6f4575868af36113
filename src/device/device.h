// The thin device layer over the 3D board: one-time start-up, the table of
// display modes, opening and closing the screen, the screen and view sizes
// the renderer reads, clearing and swapping, frame-buffer locks for the 2D
// effects, the colour shift tables and the engine's identification.
#pragma once

#include <cstdint>

struct DisplayMode {
  int32_t width;
  int32_t height;
  int32_t code;  // the board's resolution code
};

constexpr int kModeCount = 4;
extern const DisplayMode ModeTable[kModeCount];

// Screen and view sizes in pixels.
extern int32_t ScreenWidth;
extern int32_t ScreenHeight;
extern int32_t ViewWidth;
extern int32_t ViewHeight;

// Entry i holds i shifted left by 24, 16, 8 and 0 bits; ORing one entry of
// each builds a 32-bit ARGB colour.
extern uint32_t AlphaShift[256];
extern uint32_t RedShift[256];
extern uint32_t GreenShift[256];
extern uint32_t BlueShift[256];

// The size every mode opens at from now on, in pixels (0 x 0, the start-up
// value: each mode at its own size). The 3D scenes draw natively at this
// size; the frame locks then give a picture of the mode's own size, which the
// write unlock scales smoothly onto the screen (kept in shape, with black
// bars). False, nothing changed, for a size the board cannot open.
bool DeviceSetScreenSize(int32_t width, int32_t height);
// The size a mode opens at: the size set above, else the mode's own.
DisplayMode DeviceScreenFor(DisplayMode mode);

void DeviceInit();
void DeviceOpen(int32_t code);
int DeviceIsOpen();
void DeviceClose();
// The view is factor times the largest area of the mode's own shape that
// fits the screen: the whole screen when it is the mode's own size.
void DeviceSetViewScale(float factor);
void DeviceShutdownAtExit();

// The renderer presets its board vertices when the device starts; the
// shell names that step here so the device needs no link to the renderer.
using RenderInitFunction = void (*)();
void DeviceSetRenderInit(RenderInitFunction function);

void ClearFrame();
void ShowFrame(int interval);

uint16_t* LockFrameRead(int32_t* stride_bytes);
void UnlockFrameRead();
uint16_t* LockFrameWrite(int32_t* stride_bytes);
void UnlockFrameWrite();

const char* EngineVersion();
const char* EngineVersionLong();
int32_t EngineVersionNumber();
int ModeCount();
const DisplayMode* Modes();

// The first record of table whose width and height both match, else the first.
DisplayMode FindMode(const DisplayMode* table, int count, int32_t width, int32_t height);

// Returns every flag of the layer to its state at program start (tests).
void DeviceResetState();
