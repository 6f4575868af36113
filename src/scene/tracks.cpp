// Kochanek-Bartels tangent preparation and Hermite evaluation of scalar and
// vector tracks; incremental axis rotations for rotation tracks; toggles for
// hide tracks.
#include "scene/tracks.h"

#include <cmath>
#include <type_traits>

namespace {

// Scalar and vector tracks share their algorithms: a vector key is three
// scalar channels with the same weights.
template <typename Key>
constexpr int kComponents = 1;
template <>
constexpr int kComponents<VectorKey> = 3;

inline const float* ValueOf(const ScalarKey& key) {
  return &key.value;
}
inline const float* ValueOf(const VectorKey& key) {
  return &key.value.x;
}
inline float* OutOf(ScalarKey& key) {
  return &key.tangent_out;
}
inline float* OutOf(VectorKey& key) {
  return &key.tangent_out.x;
}
inline float* InOf(ScalarKey& key) {
  return &key.tangent_in;
}
inline float* InOf(VectorKey& key) {
  return &key.tangent_in.x;
}
inline const float* OutOf(const ScalarKey& key) {
  return &key.tangent_out;
}
inline const float* OutOf(const VectorKey& key) {
  return &key.tangent_out.x;
}
inline const float* InOf(const ScalarKey& key) {
  return &key.tangent_in;
}
inline const float* InOf(const VectorKey& key) {
  return &key.tangent_in.x;
}
inline float* CurrentOf(ScalarTrack& track) {
  return &track.value;
}
inline float* CurrentOf(VectorTrack& track) {
  return &track.value.x;
}

// Tangent of an end key of a non-cyclic track with at least three keys. The
// differences run away from the end key: forward for the first key (its
// outgoing tangent), backward for the last (its incoming tangent).
template <typename Key>
void PrepareEndKey(Key* keys, int end, int near, int far) {
  const bool first = end < near;
  const float sign = first ? 1.0f : -1.0f;
  const float t1 = sign * static_cast<float>(keys[near].frame - keys[end].frame);
  const float t2 = sign * static_cast<float>(keys[far].frame - keys[end].frame);
  const float tension_factor = 1.0f - keys[end].tcb.tension;
  for (int c = 0; c < kComponents<Key>; ++c) {
    const float d1 = sign * (ValueOf(keys[near])[c] - ValueOf(keys[end])[c]);
    const float d2 = sign * (ValueOf(keys[far])[c] - ValueOf(keys[end])[c]);
    const float e = (0.25f - t1 / (2.0f * t2)) * d2 + 0.5f * 3.0f * (d1 - 0.5f * d2) + 0.5f * d2;
    if (first) {
      InOf(keys[end])[c] = 0.0f;
      OutOf(keys[end])[c] = e * tension_factor;
    } else {
      OutOf(keys[end])[c] = 0.0f;
      InOf(keys[end])[c] = e * tension_factor;
    }
  }
}

template <typename Track>
void PrepareTrack(Track* track) {
  using Key = std::remove_pointer_t<decltype(track->keys)>;
  const int n = track->key_count;
  Key* keys = track->keys;
  if (n <= 1) return;
  const bool cyclic = (track->flags & 2) != 0;
  if (!cyclic) {
    if (n == 2) {
      for (int c = 0; c < kComponents<Key>; ++c) {
        const float delta = ValueOf(keys[1])[c] - ValueOf(keys[0])[c];
        OutOf(keys[0])[c] = InOf(keys[0])[c] = OutOf(keys[1])[c] = InOf(keys[1])[c] = delta;
      }
    } else {
      PrepareEndKey(keys, 0, 1, 2);
      PrepareEndKey(keys, n - 1, n - 2, n - 3);
    }
  }
  if (n < 3) return;
  const float length = static_cast<float>(keys[n - 1].frame - keys[0].frame);
  const int skip = cyclic ? 0 : 1;
  for (int k = skip; k <= n - 1 - skip; ++k) {
    int prev = k - 1;
    int next = k + 1;
    float frame_prev = 0.0f;
    float frame_next = 0.0f;
    if (prev < 0) {
      prev = n - 2;
      frame_prev = static_cast<float>(keys[prev].frame) - length;
    } else {
      frame_prev = static_cast<float>(keys[prev].frame);
    }
    if (next > n - 1) {
      next = 1;
      frame_next = static_cast<float>(keys[next].frame) + length;
    } else {
      frame_next = static_cast<float>(keys[next].frame);
    }
    const TcbParams& tcb = keys[k].tcb;
    const float frame = static_cast<float>(keys[k].frame);
    const float m = std::fabs(tcb.continuity);
    const float a_in = (frame - frame_prev) / (frame_next - frame_prev);
    const float adjust_in = a_in + m * (1.0f - a_in);
    const float a_out = (frame_next - frame) / (frame_next - frame_prev);
    const float adjust_out = a_out + m * (1.0f - a_out);
    const float tension = 1.0f - tcb.tension;
    for (int c = 0; c < kComponents<Key>; ++c) {
      const float dp = ValueOf(keys[k])[c] - ValueOf(keys[prev])[c];
      const float dn = ValueOf(keys[next])[c] - ValueOf(keys[k])[c];
      InOf(keys[k])[c] = (dp * tension * (1.0f + tcb.continuity) * (1.0f + tcb.bias) +
                          dn * tension * (1.0f - tcb.continuity) * (1.0f - tcb.bias)) *
                         adjust_in;
      OutOf(keys[k])[c] = (dp * tension * (1.0f - tcb.continuity) * (1.0f + tcb.bias) +
                           dn * tension * (1.0f + tcb.continuity) * (1.0f - tcb.bias)) *
                          adjust_out;
    }
  }
}

// Whole key ranges a frame may be moved by one step at a time before the
// remainder is taken in one jump; keeps far-away frames from looping for long
// and ranges too small for the frame's precision from looping forever.
constexpr int kMaxWrapSteps = 64;

// Repeat-mode wrapping of the frame into (first, last]. False when the range
// is empty or the frame cannot be wrapped; the caller then clamps.
bool WrapIntoRange(float* frame, float first, float last) {
  const float length = last - first;
  float x = *frame;
  if (!(length > 0.0f) || !std::isfinite(x)) return false;
  if (x > last) {
    const float periods = std::floor((x - last) / length) - 1.0f;
    if (periods > static_cast<float>(kMaxWrapSteps)) x -= periods * length;
    for (int step = 0; x > last; ++step) {
      if (step == kMaxWrapSteps) return false;
      x -= length;
    }
  }
  if (x <= first) {
    const float periods = std::floor((first - x) / length) - 1.0f;
    if (periods > static_cast<float>(kMaxWrapSteps)) x += periods * length;
    for (int step = 0; x <= first; ++step) {
      if (step == kMaxWrapSteps) return false;
      x += length;
    }
  }
  // Rounding in the jumps of far-away frames can land outside the range.
  if (!(x > first && x <= last)) return false;
  *frame = x;
  return true;
}

// Applies the wrap or clamp rule shared by scalar, vector and rotation
// tracks. Returns the key whose value is the result when the frame is
// clamped (or cannot be placed), else -1 with *frame inside (f_0, f_(n-1)].
template <typename Key>
int WrapOrClamp(int32_t flags, const Key* keys, int n, float* frame) {
  const float first = static_cast<float>(keys[0].frame);
  const float last = static_cast<float>(keys[n - 1].frame);
  if ((flags & kTrackRepeatMask) == kTrackModeRepeat && WrapIntoRange(frame, first, last)) {
    return -1;
  }
  if (*frame >= last) return n - 1;
  if (*frame <= first || std::isnan(*frame)) return 0;
  return -1;
}

// First key whose frame is at or after the frame; the frame is inside the
// key range, so the result is 1..n-1 (n-1 should rounding leave it beyond).
template <typename Key>
int FindSegmentEnd(const Key* keys, int n, float frame) {
  for (int i = 1; i < n; ++i) {
    if (static_cast<float>(keys[i].frame) >= frame) return i;
  }
  return n - 1;
}

template <typename Track>
void EvalTrack(float frame, Track* track) {
  const int n = track->key_count;
  const auto* keys = track->keys;
  using Key = std::remove_cv_t<std::remove_pointer_t<decltype(keys)>>;
  float* current = CurrentOf(*track);
  if (n <= 0) return;
  int exact = n == 1 ? 0 : WrapOrClamp(track->flags, keys, n, &frame);
  const int end = exact < 0 ? FindSegmentEnd(keys, n, frame) : exact;
  if (exact < 0 && static_cast<float>(keys[end].frame) == frame) exact = end;
  if (exact >= 0) {
    for (int c = 0; c < kComponents<Key>; ++c) current[c] = ValueOf(keys[exact])[c];
    return;
  }
  // The segment's end key q needs no folding: it lies in 1..n-1.
  int p = end - 1;
  const int q = end;
  float offset_p = 0.0f;
  if ((track->flags & kTrackRepeatMask) != 0) {
    // Key 0 and key n-1 are the same point of the cycle: the segment after
    // key 0 starts at key n-1, shifted back by the key range.
    const float length = static_cast<float>(keys[n - 1].frame - keys[0].frame);
    if (p <= 0) {
      p += n - 1;
      offset_p -= length;
    }
  }
  const float start = static_cast<float>(keys[p].frame) + offset_p;
  const float stop = static_cast<float>(keys[q].frame);
  const float u = stop > start ? (frame - start) / (stop - start) : 1.0f;
  const float s = EaseCurve(u, keys[p].tcb.ease_from, keys[q].tcb.ease_to);
  const float s2 = s * s;
  const float s3 = s2 * s;
  const float h1 = 2.0f * s3 - 3.0f * s2 + 1.0f;
  const float h2 = 3.0f * s2 - 2.0f * s3;
  const float h3 = s3 - 2.0f * s2 + s;
  const float h4 = s3 - s2;
  for (int c = 0; c < kComponents<Key>; ++c) {
    current[c] = h1 * ValueOf(keys[p])[c] + h2 * ValueOf(keys[q])[c] + h3 * OutOf(keys[p])[c] +
                 h4 * InOf(keys[q])[c];
  }
}

// M := M * Rot(angle, axis) and N := Rot(-angle, axis) * N.
//
// Rot(-angle) is exactly the transpose of Rot(angle): negating the angle
// negates the quaternion's vector part, which swaps the off-diagonal
// products. Rotation matrices keep row and column 3 at (0, 0, 0, 1), so the
// 3x3 products below equal the full 4x4 products (up to the sign of a zero
// element), and a zero
// angle (an exact identity) changes nothing.
void ApplyRotation(float angle, Vec3 axis, Matrix4x4* m, Matrix4x4* n) {
  if (angle == 0.0f) return;
  const AngleAxis forward{angle, axis};
  Quaternion quat;
  Matrix4x4 step;
  QuatFromAngleAxis(&forward, &quat);
  MatFromQuat(&quat, &step);
  const Matrix4x4 a = *m;
  const Matrix4x4 b = *n;
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) {
      m->m[row][column] = a.m[row][0] * step.m[0][column] + a.m[row][1] * step.m[1][column] +
                          a.m[row][2] * step.m[2][column];
      n->m[row][column] = step.m[0][row] * b.m[0][column] + step.m[1][row] * b.m[1][column] +
                          step.m[2][row] * b.m[2][column];
    }
  }
}

float SafeRatio(float numerator, float denominator) {
  return denominator != 0.0f ? numerator / denominator : 0.0f;
}

}  // namespace

float EaseCurve(float u, float ease_from, float ease_to) {
  float a = ease_from;
  float b = ease_to;
  const float sum = a + b;
  if (sum == 0.0f) return u;
  if (sum > 1.0f) {
    a /= sum;
    b /= sum;
  }
  const float k = 1.0f / (2.0f - a - b);
  if (u < a) return (k / a) * u * u;
  if (u < 1.0f - b) return k * (2.0f * u - a);
  const float w = 1.0f - u;
  // With no ease-to the last branch is reached only at u >= 1.
  if (b == 0.0f) return 1.0f;
  return 1.0f - (k / b) * w * w;
}

void PrepareScalarTrack(ScalarTrack* track) {
  PrepareTrack(track);
}
void PrepareVectorTrack(VectorTrack* track) {
  PrepareTrack(track);
}
void PrepareRotationTrack(RotationTrack* /*track*/) {}

void EvalScalarTrack(float frame, ScalarTrack* track) {
  EvalTrack(frame, track);
}
void EvalVectorTrack(float frame, VectorTrack* track) {
  EvalTrack(frame, track);
}

const RotationKey* LookupRotationKey(const RotationTrack* track, int* index, float* frame) {
  const int n = track->key_count;
  if ((track->flags & 2) != 0 && n >= 2) {
    const float length = static_cast<float>(track->keys[n - 1].frame - track->keys[0].frame);
    float offset = 0.0f;
    // Callers ask for at most two keys beyond either end.
    while (*index <= 0) {
      *index += n - 1;
      offset -= length;
    }
    while (*index > n - 1) {
      *index -= n - 1;
      offset += length;
    }
    *frame = static_cast<float>(track->keys[*index].frame) + offset;
    return &track->keys[*index];
  }
  if (*index < 0 || *index >= n) {
    *index = -1;
    return nullptr;
  }
  *frame = static_cast<float>(track->keys[*index].frame);
  return &track->keys[*index];
}

void EvalRotationTrack(float frame, RotationTrack* track) {
  const int n = track->key_count;
  if (n <= 0) return;
  int exact = n == 1 ? 0 : WrapOrClamp(track->flags, track->keys, n, &frame);
  const int end = exact < 0 ? FindSegmentEnd(track->keys, n, frame) : exact;
  if (exact < 0 && static_cast<float>(track->keys[end].frame) == frame) exact = end;
  if (exact >= 0) {
    track->rotation = track->keys[exact].rotation;
    track->inverse_rotation = track->keys[exact].inverse_rotation;
    return;
  }
  int indices[4] = {end - 2, end - 1, end, end + 1};
  float frames[4] = {};
  const RotationKey* k[4];
  for (int i = 0; i < 4; ++i) k[i] = LookupRotationKey(track, &indices[i], &frames[i]);
  const float u = SafeRatio(frame - frames[1], frames[2] - frames[1]);
  const float s = EaseCurve(u, k[1]->tcb.ease_from, k[2]->tcb.ease_to);
  const float s2 = s * s;
  const float s3 = s2 * s;
  Matrix4x4 m = k[1]->rotation;
  Matrix4x4 inverse = k[1]->inverse_rotation;
  if (k[0] != nullptr) {
    const TcbParams& tcb = k[1]->tcb;
    const float g = (1.0f - tcb.tension) * (1.0f + tcb.continuity) * (1.0f + tcb.bias);
    const float w = SafeRatio(frames[1] - frames[0], frames[2] - frames[0]) * (s3 - 2.0f * s2 + s);
    ApplyRotation(g * k[1]->relative.angle * w, k[1]->relative.axis, &m, &inverse);
  }
  ApplyRotation((3.0f * s2 - 2.0f * s3) * k[2]->relative.angle, k[2]->relative.axis, &m, &inverse);
  if (k[3] != nullptr) {
    const TcbParams& tcb = k[2]->tcb;
    const float g = (1.0f - tcb.tension) * (1.0f + tcb.continuity) * (1.0f - tcb.bias);
    const float w = SafeRatio(frames[3] - frames[2], frames[3] - frames[1]) * (s3 - s2);
    ApplyRotation(g * k[3]->relative.angle * w, k[3]->relative.axis, &m, &inverse);
  }
  track->rotation = m;
  track->inverse_rotation = inverse;
}

void EvalHideTrack(float frame, HideTrack* track) {
  const int n = track->key_count;
  const HideKey* keys = track->keys;
  if (n <= 0) {
    track->hidden = 0;
    return;
  }
  if (n == 1) {
    track->hidden = static_cast<float>(keys[0].frame) <= frame ? 1 : 0;
    return;
  }
  const float first = static_cast<float>(keys[0].frame);
  const float last = static_cast<float>(keys[n - 1].frame);
  // The period is the last key's frame itself; without a positive period the
  // frame is used unwrapped.
  if ((track->flags & kTrackRepeatMask) == kTrackModeRepeat && last > 0.0f &&
      std::isfinite(frame)) {
    float x = frame;
    if (first > x) x += std::floor((first - x) / last) * last;
    int steps = 0;
    for (; first > x && steps < kMaxWrapSteps; ++steps) x += last;
    if (x >= last) x -= std::floor((x - last) / last) * last;
    for (; x >= last && steps < kMaxWrapSteps; ++steps) x -= last;
    if (steps < kMaxWrapSteps && x >= first - last && x < last) frame = x;
  }
  int count = 0;
  while (count < n && static_cast<float>(keys[count].frame) <= frame) ++count;
  track->hidden = count & 1;
}
