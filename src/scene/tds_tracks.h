// Readers of the keyframer's track chunks (0xB020 to 0xB029), used by the
// node reader. Each reads the track header and every key, checks that the
// keys stay inside the chunk and follow in strictly increasing frame order,
// and prepares the finished track.
#pragma once

#include "scene/tds_internal.h"

enum class ScalarTrackKind { kFieldOfView, kRoll, kHotspot, kFalloff };
enum class VectorTrackKind { kPosition, kScale, kColour };

// Reads the spline flags and the floats they announce into tcb (bits 0-4;
// the floats of bits 5-15 are skipped). False when the chunk ends first.
bool ReadSplineParams(Chunk* chunk, TcbParams* tcb);

bool ReadScalarTrack(TdsContext* context, Chunk* chunk, const char* node, ScalarTrack* track,
                     ScalarTrackKind kind);
// swap_axes stores (x, z, -y): position keys of nodes that are not roots.
bool ReadVectorTrack(TdsContext* context, Chunk* chunk, const char* node, VectorTrack* track,
                     VectorTrackKind kind, bool swap_axes);
bool ReadRotationTrack(TdsContext* context, Chunk* chunk, const char* node, RotationTrack* track);
bool ReadMorphTrack(TdsContext* context, Chunk* chunk, const char* node, MorphTrack* track);
bool ReadHideTrack(TdsContext* context, Chunk* chunk, const char* node, HideTrack* track);
