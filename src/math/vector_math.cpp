// Vector, matrix and quaternion operations on 32-bit floats.
#include "math/vector_math.h"

#include <cmath>

#include "math/float_functions.h"

void QuatFromAngleAxis(const AngleAxis* rotation, Quaternion* result) {
  const float half_angle = rotation->angle * 0.5f;
  const float sine = SinF(half_angle);
  result->w = CosF(half_angle);
  result->x = rotation->axis.x * sine;
  result->y = rotation->axis.y * sine;
  result->z = rotation->axis.z * sine;
}

void MatFromQuat(const Quaternion* quat, Matrix4x4* result) {
  const float w = quat->w * kSqrt2Scale;
  const float x = quat->x * kSqrt2Scale;
  const float y = quat->y * kSqrt2Scale;
  const float z = quat->z * kSqrt2Scale;
  float(&m)[4][4] = result->m;
  m[0][0] = 1.0f - y * y - z * z;
  m[0][1] = x * y - w * z;
  m[0][2] = x * z + w * y;
  m[0][3] = 0.0f;
  m[1][0] = x * y + w * z;
  m[1][1] = 1.0f - x * x - z * z;
  m[1][2] = y * z - w * x;
  m[1][3] = 0.0f;
  m[2][0] = x * z - w * y;
  m[2][1] = y * z + w * x;
  m[2][2] = 1.0f - x * x - y * y;
  m[2][3] = 0.0f;
  m[3][0] = 0.0f;
  m[3][1] = 0.0f;
  m[3][2] = 0.0f;
  m[3][3] = 1.0f;
}

void MatIdentity(Matrix4x4* result) {
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) {
      result->m[row][column] = row == column ? 1.0f : 0.0f;
    }
  }
}

void MatMultiply(const Matrix4x4* a, const Matrix4x4* b, Matrix4x4* result) {
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) {
      result->m[row][column] = a->m[row][0] * b->m[0][column] + a->m[row][1] * b->m[1][column] +
                               a->m[row][2] * b->m[2][column] + a->m[row][3] * b->m[3][column];
    }
  }
}

void MatInverseAffine(const Matrix4x4* matrix, Matrix4x4* result) {
  const float(&m)[4][4] = matrix->m;
  float(&r)[4][4] = result->m;
  const float scale = 1.0f / (m[0][0] * m[0][0] + m[1][0] * m[1][0] + m[2][0] * m[2][0]);
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) {
      r[row][column] = m[column][row] * scale;
    }
    r[row][3] = 0.0f;
  }
  for (int column = 0; column < 3; ++column) {
    r[3][column] = -(m[3][0] * r[0][column] + m[3][1] * r[1][column] + m[3][2] * r[2][column]);
  }
  r[3][3] = 1.0f;
}

Vec3 TransformPoint(const Matrix4x4* matrix, Vec3 p) {
  const float(&m)[4][4] = matrix->m;
  return {p.x * m[0][0] + p.y * m[1][0] + p.z * m[2][0] + m[3][0],
          p.x * m[0][1] + p.y * m[1][1] + p.z * m[2][1] + m[3][1],
          p.x * m[0][2] + p.y * m[1][2] + p.z * m[2][2] + m[3][2]};
}

Vec3 TransformDirection(const Matrix4x4* matrix, Vec3 d) {
  const float(&m)[4][4] = matrix->m;
  return {d.x * m[0][0] + d.y * m[1][0] + d.z * m[2][0],
          d.x * m[0][1] + d.y * m[1][1] + d.z * m[2][1],
          d.x * m[0][2] + d.y * m[1][2] + d.z * m[2][2]};
}
