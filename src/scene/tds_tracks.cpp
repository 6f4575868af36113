// Keyframer tracks of a 3D Studio node: the track header, the keys with
// their spline parameters and values, the absolute rotation matrices of
// rotation keys, and the preparation of each finished track.
#include <cstdlib>
#include <type_traits>

#include "scene/tds_internal.h"
#include "scene/tds_tracks.h"
#include "scene/tracks.h"

namespace {

// Flags, 8 unread bytes and the key count (low 16 bits, signed); allocates
// the key array. Keys must be in strictly increasing frame order, which the
// key readers check.
template <typename Track>
bool ReadTrackHeader(TdsContext* context, Chunk* chunk, const char* node, Track* track) {
  using Key = std::remove_pointer_t<decltype(track->keys)>;
  int16_t flags = 0;
  uint32_t count_field = 0;
  if (!ReadI16(chunk, &flags) || !SkipBytes(chunk, 8) || !ReadU32(chunk, &count_field)) {
    return Fail(context, "node \"%s\": track header cut short", node);
  }
  Trace("      Flags: %i\n", flags);
  const int count = static_cast<int16_t>(count_field & 0xFFFF);
  if (count < 0) return Fail(context, "node \"%s\": track with %i keys", node, count);
  Trace("      Keys: %i\n", count);
  // Each key holds at least its frame and spline flags (6 bytes).
  if (static_cast<uint64_t>(count) * 6 > Remaining(*chunk)) {
    return Fail(context, "node \"%s\": %i keys run past their track chunk", node, count);
  }
  std::free(track->keys);  // a repeated track replaces the earlier one
  track->keys = nullptr;
  track->key_count = 0;
  track->flags = flags;
  if (count == 0) return true;
  track->keys = static_cast<Key*>(std::calloc(static_cast<size_t>(count), sizeof(Key)));
  if (track->keys == nullptr) return Fail(context, "out of memory");
  track->key_count = count;
  return true;
}

// The key's frame (low 16 bits, signed), which must follow the previous key's.
bool ReadKeyFrame(TdsContext* context, Chunk* chunk, const char* node, int index,
                  const int32_t* previous, int32_t* frame) {
  uint32_t raw = 0;
  if (!ReadU32(chunk, &raw)) return Fail(context, "node \"%s\": keys run past their track", node);
  *frame = static_cast<int16_t>(raw & 0xFFFF);
  if (index > 0 && *frame <= *previous) {
    return Fail(context, "node \"%s\": key at frame %i does not follow frame %i", node, *frame,
                *previous);
  }
  return true;
}

bool ReadKeyStart(TdsContext* context, Chunk* chunk, const char* node, int index,
                  const int32_t* previous, int32_t* frame, TcbParams* tcb) {
  if (!ReadKeyFrame(context, chunk, node, index, previous, frame)) return false;
  Trace("      Frame %i:\n", *frame);
  if (!ReadSplineParams(chunk, tcb)) {
    return Fail(context, "node \"%s\": keys run past their track", node);
  }
  return true;
}

bool CutShort(TdsContext* context, const char* node) {
  return Fail(context, "node \"%s\": keys run past their track", node);
}

}  // namespace

bool ReadSplineParams(Chunk* chunk, TcbParams* tcb) {
  uint16_t flags = 0;
  if (!ReadU16(chunk, &flags)) return false;
  *tcb = TcbParams{};
  float* const fields[5] = {&tcb->tension, &tcb->continuity, &tcb->bias, &tcb->ease_to,
                            &tcb->ease_from};
  static const char* const kNames[5] = {"Tension", "Continuity", "Bias", "Ease to", "Ease from"};
  for (int bit = 0; bit < 16; ++bit) {
    if ((flags & (1u << bit)) == 0) continue;
    float value = 0.0f;
    if (!ReadFloat(chunk, &value)) return false;
    if (bit < 5) {
      *fields[bit] = value;
      Trace("        %s: %f\n", kNames[bit], value);
    } else {
      Trace("        Unknown (bit %i): %f\n", bit, value);
    }
  }
  return true;
}

bool ReadScalarTrack(TdsContext* context, Chunk* chunk, const char* node, ScalarTrack* track,
                     ScalarTrackKind kind) {
  if (!ReadTrackHeader(context, chunk, node, track)) return false;
  for (int i = 0; i < track->key_count; ++i) {
    ScalarKey& key = track->keys[i];
    const int32_t* previous = i > 0 ? &track->keys[i - 1].frame : nullptr;
    if (!ReadKeyStart(context, chunk, node, i, previous, &key.frame, &key.tcb)) return false;
    if (!ReadFloat(chunk, &key.value)) return CutShort(context, node);
    const double value = key.value;
    switch (kind) {
      case ScalarTrackKind::kFieldOfView:
        Trace("        Camera field of view: %f\n", value);
        break;
      case ScalarTrackKind::kRoll:
        Trace("        Camera roll: %f\n", value);
        break;
      case ScalarTrackKind::kHotspot:
        Trace("        Hotspot angle: %f\n", value);
        break;
      case ScalarTrackKind::kFalloff:
        Trace("        Fallof angle: %f\n", value);
        break;
    }
  }
  PrepareScalarTrack(track);
  return true;
}

bool ReadVectorTrack(TdsContext* context, Chunk* chunk, const char* node, VectorTrack* track,
                     VectorTrackKind kind, bool swap_axes) {
  if (!ReadTrackHeader(context, chunk, node, track)) return false;
  for (int i = 0; i < track->key_count; ++i) {
    VectorKey& key = track->keys[i];
    const int32_t* previous = i > 0 ? &track->keys[i - 1].frame : nullptr;
    if (!ReadKeyStart(context, chunk, node, i, previous, &key.frame, &key.tcb)) return false;
    Vec3 value{};
    if (!ReadVec3(chunk, &value)) return CutShort(context, node);
    switch (kind) {
      case VectorTrackKind::kPosition:
        Trace("        Position: x=%f y=%f z=%f\n", value.x, value.y, value.z);
        break;
      case VectorTrackKind::kScale:
        Trace("        Scale: x=%f y=%f z=%f\n", value.x, value.y, value.z);
        break;
      case VectorTrackKind::kColour:
        Trace("        Color: r=%f g=%f b=%f\n", value.x, value.y, value.z);
        break;
    }
    key.value = swap_axes ? Vec3{value.x, value.z, -value.y} : value;
  }
  PrepareVectorTrack(track);
  return true;
}

bool ReadRotationTrack(TdsContext* context, Chunk* chunk, const char* node, RotationTrack* track) {
  if (!ReadTrackHeader(context, chunk, node, track)) return false;
  Matrix4x4 rotation;
  Matrix4x4 inverse;
  MatIdentity(&rotation);
  MatIdentity(&inverse);
  for (int i = 0; i < track->key_count; ++i) {
    RotationKey& key = track->keys[i];
    const int32_t* previous = i > 0 ? &track->keys[i - 1].frame : nullptr;
    if (!ReadKeyStart(context, chunk, node, i, previous, &key.frame, &key.tcb)) return false;
    float angle = 0.0f;
    Vec3 axis{};
    if (!ReadFloat(chunk, &angle) || !ReadVec3(chunk, &axis)) return CutShort(context, node);
    // Keys are relative to the previous one; the first key's own orientation
    // is not applied.
    key.relative = AngleAxis{i == 0 ? 0.0f : angle, axis};
    Trace("        Rotation: angle=%f, axis: (%f|%f|%f)\n", key.relative.angle, axis.x, axis.y,
          axis.z);
    const AngleAxis backward{-key.relative.angle, axis};
    Quaternion quat;
    Matrix4x4 step;
    Matrix4x4 product;
    QuatFromAngleAxis(&key.relative, &quat);
    MatFromQuat(&quat, &step);
    MatMultiply(&rotation, &step, &product);
    rotation = product;
    QuatFromAngleAxis(&backward, &quat);
    MatFromQuat(&quat, &step);
    MatMultiply(&step, &inverse, &product);
    inverse = product;
    key.rotation = rotation;
    key.inverse_rotation = inverse;
  }
  PrepareRotationTrack(track);
  return true;
}

bool ReadMorphTrack(TdsContext* context, Chunk* chunk, const char* node, MorphTrack* track) {
  if (!ReadTrackHeader(context, chunk, node, track)) return false;
  for (int i = 0; i < track->key_count; ++i) {
    MorphKey& key = track->keys[i];
    const int32_t* previous = i > 0 ? &track->keys[i - 1].frame : nullptr;
    if (!ReadKeyStart(context, chunk, node, i, previous, &key.frame, &key.tcb)) return false;
    if (!ReadName(chunk, key.object_name, sizeof(key.object_name))) return CutShort(context, node);
    Trace("        Object: \"%s\"\n", key.object_name);
    key.mesh = FindMesh(context->scene, key.object_name);
    if (key.mesh == nullptr) {
      return Fail(context, "node \"%s\": morph target \"%s\" is not a mesh", node, key.object_name);
    }
  }
  return true;
}

bool ReadHideTrack(TdsContext* context, Chunk* chunk, const char* node, HideTrack* track) {
  if (!ReadTrackHeader(context, chunk, node, track)) return false;
  for (int i = 0; i < track->key_count; ++i) {
    HideKey& key = track->keys[i];
    const int32_t* previous = i > 0 ? &track->keys[i - 1].frame : nullptr;
    if (!ReadKeyFrame(context, chunk, node, i, previous, &key.frame)) return false;
    Trace("      Frame %i: change visibility\n", key.frame);
    if (!SkipBytes(chunk, 2)) return CutShort(context, node);
  }
  return true;
}
