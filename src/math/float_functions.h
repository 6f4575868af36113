// Sine, cosine and tangent of 32-bit floats computed by this program itself,
// so every build gives the same bits: the C libraries of Linux and of the web
// build each round the last bit of their own sinf and tanf in their own way,
// which would move a vertex by a fraction of a pixel and change the picture.
// Each result is the float nearest to a double-precision evaluation, which is
// also what a correctly rounded library gives in all but rare ties.
#pragma once

float SinF(float radians);
float CosF(float radians);
float TanF(float radians);
