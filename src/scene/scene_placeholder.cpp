// Placeholder until the 3D Studio reader lands: no scene loads.
#include "scene/scene.h"

Scene* LoadScene(const char* /*path*/) {
  return nullptr;
}
