// Deterministic noise for the generated pictures and landscapes: tileable
// value noise and its fractal sums, seeded by plain integers so every
// build makes the same bytes.
#pragma once

#include <cstdint>

// Hash of integer lattice coordinates to 0..1.
float LatticeValue(int x, int y, uint32_t seed);

// Smooth value noise in 0..1 that repeats every `period` units in x and y.
float TileNoise(float x, float y, int period, uint32_t seed);

// Fractal sum of `octaves` tileable noises (each octave twice the
// frequency, `persistence` times the weight); 0..1, repeats every `period`.
float TileFractal(float x, float y, int period, int octaves, float persistence, uint32_t seed);

// Ridged variant (sharp crests), 0..1.
float TileRidged(float x, float y, int period, int octaves, uint32_t seed);
