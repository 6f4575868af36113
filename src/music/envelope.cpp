// Envelope values and positions (see envelope.h).
#include "music/envelope.h"

#include <algorithm>

namespace {

int PointCount(const ModuleEnvelope& envelope) {
  return std::min<int>(envelope.point_count, kEnvelopePoints);
}

// A range given by point indexes is usable only inside the points.
bool ValidRange(const ModuleEnvelope& envelope, uint8_t first, uint8_t last) {
  return first <= last && last < PointCount(envelope);
}

bool SustainApplies(const ModuleEnvelope& envelope, bool held) {
  return held && (envelope.flags & kEnvelopeSustain) != 0 &&
         ValidRange(envelope, envelope.sustain_start, envelope.sustain_end);
}

bool LoopApplies(const ModuleEnvelope& envelope) {
  return (envelope.flags & kEnvelopeLoop) != 0 &&
         ValidRange(envelope, envelope.loop_start, envelope.loop_end);
}

}  // namespace

int32_t EnvelopeValue(const ModuleEnvelope& envelope, uint16_t position) {
  const int count = PointCount(envelope);
  if (count == 0) return 0;
  if (position <= envelope.ticks[0]) return envelope.values[0] * (1 << kEnvelopeValueBits);
  for (int point = 1; point < count; ++point) {
    const int32_t end_tick = envelope.ticks[point];
    if (position >= end_tick) continue;
    const int32_t start_tick = envelope.ticks[point - 1];
    const int32_t from = envelope.values[point - 1] * (1 << kEnvelopeValueBits);
    const int32_t to = envelope.values[point] * (1 << kEnvelopeValueBits);
    // Points out of order (damaged files) give a zero-length step.
    if (end_tick <= start_tick) return to;
    return from + (to - from) * (position - start_tick) / (end_tick - start_tick);
  }
  return envelope.values[count - 1] * (1 << kEnvelopeValueBits);
}

uint16_t EnvelopeNextPosition(const ModuleEnvelope& envelope, uint16_t position, bool held,
                              EnvelopeRules rules) {
  const int count = PointCount(envelope);
  if (count == 0) return position;
  const bool extended = rules == EnvelopeRules::kExtended;
  if (SustainApplies(envelope, held)) {
    // The end of the sustain range is heard, then the position goes back
    // to its start (a single sustain point holds it there).
    if (position == envelope.ticks[envelope.sustain_end])
      return envelope.ticks[envelope.sustain_start];
  }
  const uint16_t last = envelope.ticks[count - 1];
  uint16_t next = position < last ? static_cast<uint16_t>(position + 1) : position;
  if (LoopApplies(envelope)) {
    const uint16_t start = envelope.ticks[envelope.loop_start];
    const uint16_t end = envelope.ticks[envelope.loop_end];
    // Quirk ("Extended Module:"): a loop ending on the sustain point stops
    // looping once the key is released.
    const bool escaped = extended && !held && (envelope.flags & kEnvelopeSustain) != 0 &&
                         envelope.sustain_end == envelope.loop_end;
    if (!escaped) {
      if (extended ? next >= end && position < end : next > end && position <= end) next = start;
      if (start == end && position == end) next = start;
    }
  }
  return next;
}

bool EnvelopeAtEnd(const ModuleEnvelope& envelope, uint16_t position, bool held) {
  const int count = PointCount(envelope);
  if (count == 0) return true;
  if (LoopApplies(envelope) || SustainApplies(envelope, held)) return false;
  return position >= envelope.ticks[count - 1];
}
