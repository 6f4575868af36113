// Reduced levels of a texture: after the full-size texels, every level down to
// 1x1, largest first, each side halved from the level before and never below
// 1. The texture upload expects this layout when an Image is mipmapped.
#pragma once

#include <cstddef>
#include <cstdint>

// Texels of the full-size picture and all its reduced levels.
size_t TexelsWithLevels(int32_t width, int32_t height);

// Fills the levels that follow the width x height texels at the start of
// texels (which holds TexelsWithLevels texels). Each level texel averages,
// per 5-6-5 colour field with truncating division, the block of texels of the
// level above that it covers.
void BuildReducedLevels(uint16_t* texels, int32_t width, int32_t height);
