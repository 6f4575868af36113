// Sends a decoded texture to the board's texture memory, placing textures
// back to back from the lowest usable address upward.
#pragma once

#include <cstdint>

struct Texture;

// Fills the texture's levels of detail, aspect ratio, format and data, puts
// it at TextureMemoryCursor and advances the cursor. 1 on success; 0 (with
// nothing placed and the cursor unchanged) for an aspect ratio the board
// cannot draw, for a side outside 1..256, or when the texture does not fit
// in the memory that is left.
int32_t UploadTexture(Texture* texture);
