#include "device/demo_state.h"

int32_t FadeLevel = 0;
Scene* SceneSlots[kSceneSlotCount] = {};
char TextureNames[kTextureSlotCount][kTextureNameBytes] = {};
Texture TextureSlots[kTextureSlotCount] = {};
int32_t TextureCount = 0;
uint32_t TextureMemoryCursor = static_cast<uint32_t>(-1);
int32_t DitherEnabled = 0;
uint8_t* LogoPicture = nullptr;
uint8_t LogoPalette[768] = {};
uint8_t* ScrollerText = nullptr;
uint8_t* ScrollerBackground = nullptr;
uint8_t* BumpLight = nullptr;
uint8_t* BumpGradient = nullptr;
uint8_t* BumpWork = nullptr;
