// The bump-lit scroller row. (Placeholder until the effect lands.)
#pragma once

void DrawBumpScroller(float progress);
