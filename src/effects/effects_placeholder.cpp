// Placeholder until the 2D effects land: their rows draw nothing.
#include "effects/bump_scroller.h"
#include "effects/logo.h"

void DrawLogo(float /*progress*/) {}
void DrawBumpScroller(float /*progress*/) {}
