// The procedural textures of the default content, as library members
// under "textures\": PCX (paletted) and BMP (true colour) pictures with
// power-of-two sides, including the fallback "textures\plasm.pcx".
#pragma once

#include <vector>

#include "storage/library_writer.h"

std::vector<LibraryMember> MakeTextures();
