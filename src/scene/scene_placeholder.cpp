// Placeholder until the scene model lands: no scene loads.
#include "scene/scene.h"

Scene* LoadScene(const char* /*path*/) { return nullptr; }
void FreeScene(Scene* /*scene*/) {}
