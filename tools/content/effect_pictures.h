// The pictures of the two 2D effects: the 640x480 title logo
// ("textures\veyri.pcx") and the scroller's light spot, relief background
// and tall text picture (under "textures\bump\").
#pragma once

#include <string>
#include <vector>

#include "storage/library_writer.h"

// The lines of the scroller text, top to bottom.
const std::vector<std::string>& ScrollerLines();

bool MakeEffectPictures(std::vector<LibraryMember>* members, std::string* error);
