// Instrument envelopes: the value of an envelope at a tick and how its
// position moves on from one tick to the next, held at a sustain point or
// range while the key is down and wrapped round its loop.
//
// The two trackers that define instruments differ in one step: in
// "Extended Module:" files a position that reaches the loop's end point jumps
// to its start at once (the end point itself is never heard), and a loop that
// ends on the sustain point stops looping once the key is released; "IMPM"
// files play the end point and jump after it.
#pragma once

#include <cstdint>

#include "music/module.h"

enum class EnvelopeRules { kExtended, kImpulse };

// Fraction bits of an envelope value: values are interpolated between the
// points with this precision (a volume envelope gives 0..64 << 8).
constexpr int kEnvelopeValueBits = 8;

// The value at tick position, interpolated between the points around it,
// times 1 << kEnvelopeValueBits; the first point's value before it and the
// last point's after it. 0 for an envelope without points.
int32_t EnvelopeValue(const ModuleEnvelope& envelope, uint16_t position);

// The position one tick on. held: the key is still down (the sustain
// applies). Never runs past the last point.
uint16_t EnvelopeNextPosition(const ModuleEnvelope& envelope, uint16_t position, bool held,
                              EnvelopeRules rules);

// True once position stands on the last point with no loop to go back to.
bool EnvelopeAtEnd(const ModuleEnvelope& envelope, uint16_t position, bool held);
