// The one global source of content: the library file "demo.dat" and the file
// library over it. The shell fills both when it opens the library; the scene
// loader and the picture decoders create their member streams over
// ContentLibrary. Both stay null until then.
#pragma once

#include "storage/file_library.h"
#include "storage/stream.h"

extern TFile* ContentFile;
extern TFileLib* ContentLibrary;
