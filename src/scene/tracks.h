// Keyframe tracks: preparation of Kochanek-Bartels tangents right after a
// track is read, and evaluation at a fractional frame number, which stores
// the result as the track's current value.
//
// Repeat modes (flags & 3): 0 single, 2 repeat (the frame wraps into the key
// range), 3 loop (cyclic neighbours, clamped ends). Keys must be in strictly
// increasing frame order; the reader guarantees it.
#pragma once

#include "scene/scene.h"

void PrepareScalarTrack(ScalarTrack* track);
void PrepareVectorTrack(VectorTrack* track);
// Rotation weights are computed during evaluation; nothing to prepare.
void PrepareRotationTrack(RotationTrack* track);

// A track without keys keeps its current value.
void EvalScalarTrack(float frame, ScalarTrack* track);
void EvalVectorTrack(float frame, VectorTrack* track);
void EvalRotationTrack(float frame, RotationTrack* track);
void EvalHideTrack(float frame, HideTrack* track);

// The key at *index; in a cyclic track ((flags & 2) != 0) the index is folded
// into 1..n-1 and *frame shifted by whole key ranges. Otherwise null (and
// *index = -1) outside 0..n-1.
const RotationKey* LookupRotationKey(const RotationTrack* track, int* index, float* frame);

// The segment parameter u after easing out of the first key (ease_from) and
// into the second (ease_to).
float EaseCurve(float u, float ease_from, float ease_to);
