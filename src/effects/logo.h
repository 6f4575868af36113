// The logo picture row: the title picture written into the back buffer with
// the current FadeLevel. (Placeholder until the effect lands.)
#pragma once

void DrawLogo(float progress);
