// The demo state that several subsystems share: written by the shell's
// timeline and content loading, read by the renderer and the 2D effects.
// Everything here is written before the demo thread starts, except
// FadeLevel, which the demo thread writes once per frame.
#pragma once

#include <cstdint>

#include "storage/texture.h"

struct Scene;

// Brightness of the current frame, 0 (black) to 255 (full).
extern int32_t FadeLevel;

// Nine scene slots; 0 to 7 are loaded, 8 stays empty.
constexpr int kSceneSlotCount = 9;
extern Scene* SceneSlots[kSceneSlotCount];

// Texture names in order of first use (64 bytes each, NUL-terminated) and
// the decoded textures parallel to them.
constexpr int kTextureSlotCount = 128;
constexpr int kTextureNameBytes = 64;
extern char TextureNames[kTextureSlotCount][kTextureNameBytes];
extern Texture TextureSlots[kTextureSlotCount];
extern int32_t TextureCount;

// The next free texture-memory address; all ones means not known yet.
extern uint32_t TextureMemoryCursor;

// Nonzero: the renderer dithers to 16-bit colour with the 4x4 pattern.
extern int32_t DitherEnabled;

// The effect pictures, 8 bits per pixel, row 0 at the top.
constexpr int kLogoBytes = 640 * 480;
constexpr int kScrollerTextBytes = 0x50000;  // 320 x 1024
constexpr int kScreen320Bytes = 320 * 200;
constexpr int kBumpLightBytes = 0x10000;  // 256 x 256
extern uint8_t* LogoPicture;
extern uint8_t LogoPalette[768];  // 256 x (red, green, blue), each 0..63
extern uint8_t* ScrollerText;
extern uint8_t* ScrollerBackground;
extern uint8_t* BumpLight;
extern uint8_t* BumpGradient;
extern uint8_t* BumpWork;
