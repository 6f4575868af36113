// Storage for the process-wide content library pointers.
#include "storage/content_library.h"

TFile* ContentFile = nullptr;
TFileLib* ContentLibrary = nullptr;
