// Vectors, 4x4 matrices, quaternions and angle-axis rotations: the small set
// of plain value types with which the keyframer builds rotation keys, the
// tracks interpolate rotations and the scene evaluation composes transforms.
//
// Matrices are row-major (element (r, c) is m[r][c], float number 4r + c) and
// transform row vectors: p' = (x, y, z, 1) * M, translation in row 3. A product
// A * B applied to a point applies A first, then B. Every operation writes
// through a caller-supplied pointer and never allocates.
#pragma once

#include <cmath>

struct Vec3 {
  float x;
  float y;
  float z;
};

struct Matrix4x4 {
  float m[4][4];
};

// Scalar part first.
struct Quaternion {
  float w;
  float x;
  float y;
  float z;
};

// Angle in radians, then the axis as stored (not normalised).
struct AngleAxis {
  float angle;
  Vec3 axis;
};

// The 32-bit float closest to sqrt(2) that the rotation matrix builder uses
// (bit pattern 0x3FB504F4), so that every product of two scaled components
// equals twice the plain product.
inline constexpr float kSqrt2Scale = 1.4142137f;

void QuatFromAngleAxis(const AngleAxis* rotation, Quaternion* result);
void MatFromQuat(const Quaternion* quat, Matrix4x4* result);
void MatIdentity(Matrix4x4* result);
// result = a * b; result must be distinct from a and b.
void MatMultiply(const Matrix4x4* a, const Matrix4x4* b, Matrix4x4* result);
// Inverse of a rotation times a uniform scale plus a translation. Only the
// length of column 0 is used for the scale; a zero column 0 is not allowed.
void MatInverseAffine(const Matrix4x4* matrix, Matrix4x4* result);

// Small helpers for the scene reader and evaluation.
inline Vec3 Vec3Add(Vec3 a, Vec3 b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3 Vec3Sub(Vec3 a, Vec3 b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3 Vec3Scale(Vec3 a, float s) {
  return {a.x * s, a.y * s, a.z * s};
}
inline float Vec3Dot(Vec3 a, Vec3 b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Vec3 Vec3Cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float Vec3Length(Vec3 a) {
  return std::sqrt(Vec3Dot(a, a));
}
// (x, y, z, 1) * M.
Vec3 TransformPoint(const Matrix4x4* matrix, Vec3 point);
// (x, y, z, 0) * M: directions ignore the translation row.
Vec3 TransformDirection(const Matrix4x4* matrix, Vec3 direction);
