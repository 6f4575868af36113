// Loading the pictures of the 2D effects. (Placeholder until the effects
// land: nothing is loaded yet.)
#include "shell/content_loader.h"

int LoadEffectPictures() {
  return 1;
}
