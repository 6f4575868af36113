// Properties of the vector, matrix and quaternion operations, with tolerances.
#include "math/vector_math.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace {

constexpr float kTolerance = 1e-5f;

Matrix4x4 Rotation(float angle, Vec3 axis) {
  const AngleAxis rotation{angle, axis};
  Quaternion quat;
  QuatFromAngleAxis(&rotation, &quat);
  Matrix4x4 result;
  MatFromQuat(&quat, &result);
  return result;
}

void ExpectMatrixNear(const Matrix4x4& actual, const Matrix4x4& expected, float tolerance) {
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) {
      EXPECT_NEAR(actual.m[row][column], expected.m[row][column], tolerance)
          << "row " << row << " column " << column;
    }
  }
}

Matrix4x4 Identity() {
  Matrix4x4 identity;
  MatIdentity(&identity);
  return identity;
}

TEST(VectorMath, ScaleConstantHasTheExpectedBitPattern) {
  EXPECT_EQ(std::bit_cast<uint32_t>(kSqrt2Scale), 0x3FB504F4u);
}

TEST(VectorMath, ZeroAngleIsTheIdentityWhateverTheAxis) {
  for (Vec3 axis : {Vec3{0, 0, 1}, Vec3{3, -2, 7}, Vec3{0, 0, 0}}) {
    const AngleAxis rotation{0.0f, axis};
    Quaternion quat;
    QuatFromAngleAxis(&rotation, &quat);
    EXPECT_EQ(quat.w, 1.0f);
    EXPECT_EQ(quat.x, 0.0f);
    EXPECT_EQ(quat.y, 0.0f);
    EXPECT_EQ(quat.z, 0.0f);
    ExpectMatrixNear(Rotation(0.0f, axis), Identity(), 0.0f);
  }
}

TEST(VectorMath, NegatedAngleGivesConjugateAndTransposedMatrix) {
  const Vec3 axis{0.48f, 0.6f, 0.64f};  // unit length
  const AngleAxis forward{0.7f, axis};
  const AngleAxis backward{-0.7f, axis};
  Quaternion q_forward;
  Quaternion q_backward;
  QuatFromAngleAxis(&forward, &q_forward);
  QuatFromAngleAxis(&backward, &q_backward);
  EXPECT_FLOAT_EQ(q_backward.w, q_forward.w);
  EXPECT_FLOAT_EQ(q_backward.x, -q_forward.x);
  EXPECT_FLOAT_EQ(q_backward.y, -q_forward.y);
  EXPECT_FLOAT_EQ(q_backward.z, -q_forward.z);
  const Matrix4x4 m = Rotation(0.7f, axis);
  const Matrix4x4 inverse = Rotation(-0.7f, axis);
  Matrix4x4 transpose;
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) transpose.m[row][column] = m.m[column][row];
  }
  ExpectMatrixNear(inverse, transpose, kTolerance);
  Matrix4x4 product;
  MatMultiply(&m, &inverse, &product);
  ExpectMatrixNear(product, Identity(), kTolerance);
}

TEST(VectorMath, QuarterTurnAboutZ) {
  const Matrix4x4 m = Rotation(std::numbers::pi_v<float> / 2.0f, Vec3{0, 0, 1});
  const float expected_row0[4] = {0, -1, 0, 0};
  const float expected_row1[4] = {1, 0, 0, 0};
  for (int column = 0; column < 4; ++column) {
    EXPECT_NEAR(m.m[0][column], expected_row0[column], kTolerance);
    EXPECT_NEAR(m.m[1][column], expected_row1[column], kTolerance);
  }
  // A row vector along x turns to -y under this convention.
  const Vec3 turned = TransformPoint(&m, Vec3{1, 0, 0});
  EXPECT_NEAR(turned.x, 0.0f, kTolerance);
  EXPECT_NEAR(turned.y, -1.0f, kTolerance);
}

TEST(VectorMath, ProductAppliesLeftOperandFirst) {
  Matrix4x4 translate = Identity();
  translate.m[3][0] = 5.0f;
  const Matrix4x4 rotate = Rotation(std::numbers::pi_v<float> / 2.0f, Vec3{0, 0, 1});
  Matrix4x4 translate_then_rotate;
  MatMultiply(&translate, &rotate, &translate_then_rotate);
  const Vec3 p = TransformPoint(&translate_then_rotate, Vec3{1, 0, 0});
  // (1,0,0) -> (6,0,0) -> (0,-6,0)
  EXPECT_NEAR(p.x, 0.0f, kTolerance);
  EXPECT_NEAR(p.y, -6.0f, kTolerance);
  EXPECT_NEAR(p.z, 0.0f, kTolerance);
  const Vec3 d = TransformDirection(&translate_then_rotate, Vec3{1, 0, 0});
  EXPECT_NEAR(d.y, -1.0f, kTolerance);
}

TEST(VectorMath, ProductUsesTheFullFourByFourRows) {
  Matrix4x4 a = Identity();
  Matrix4x4 b = Identity();
  a.m[0][3] = 2.0f;  // not affine: column 3 takes part in the product
  b.m[3][1] = 3.0f;
  Matrix4x4 c;
  MatMultiply(&a, &b, &c);
  EXPECT_FLOAT_EQ(c.m[0][1], 6.0f);
  EXPECT_FLOAT_EQ(c.m[0][3], 2.0f);
}

TEST(VectorMath, AffineInverseOfUniformScaleRotationAndTranslation) {
  Matrix4x4 m = Rotation(1.1f, Vec3{0, 1, 0});
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) m.m[row][column] *= 2.0f;
  }
  m.m[3][0] = 4.0f;
  m.m[3][1] = -3.0f;
  m.m[3][2] = 10.0f;
  Matrix4x4 inverse;
  MatInverseAffine(&m, &inverse);
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) {
      EXPECT_NEAR(inverse.m[row][column], m.m[column][row] / 4.0f, kTolerance);
    }
  }
  Matrix4x4 product;
  MatMultiply(&m, &inverse, &product);
  ExpectMatrixNear(product, Identity(), kTolerance);
  const Vec3 back = TransformPoint(&inverse, TransformPoint(&m, Vec3{1, 2, 3}));
  EXPECT_NEAR(back.x, 1.0f, kTolerance);
  EXPECT_NEAR(back.y, 2.0f, kTolerance);
  EXPECT_NEAR(back.z, 3.0f, kTolerance);
}

TEST(VectorMath, AffineInverseOfNonUniformScaleUsesColumnZeroOnly) {
  Matrix4x4 m = Identity();
  m.m[0][0] = 2.0f;
  m.m[1][1] = 4.0f;
  Matrix4x4 inverse;
  MatInverseAffine(&m, &inverse);
  EXPECT_FLOAT_EQ(inverse.m[0][0], 0.5f);
  EXPECT_FLOAT_EQ(inverse.m[1][1], 1.0f);  // 4 / 2^2, not 1/4
}

}  // namespace
