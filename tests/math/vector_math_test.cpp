// Properties of the vector, matrix and quaternion operations, with values
// worked out by hand for row vectors (a point is multiplied on the left).
#include "math/vector_math.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>

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

// Rows given as 3x3; row and column 3 as the identity's unless translated.
Matrix4x4 Rows(const float (&r)[3][3], Vec3 translation = {}) {
  Matrix4x4 m{};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) m.m[i][j] = r[i][j];
  }
  m.m[3][0] = translation.x;
  m.m[3][1] = translation.y;
  m.m[3][2] = translation.z;
  m.m[3][3] = 1.0f;
  return m;
}

void ExpectMatrixNear(const Matrix4x4& actual, const Matrix4x4& expected, const char* what) {
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) {
      EXPECT_NEAR(actual.m[row][column], expected.m[row][column], kTolerance)
          << what << ", row " << row << " column " << column;
    }
  }
}

TEST(VectorMath, QuarterTurnsAndTheirInverses) {
  EXPECT_EQ(std::bit_cast<uint32_t>(kSqrt2Scale), 0x3FB504F4u);
  const float quarter = 1.5707964f;
  // A quarter turn takes x to -y about z, y to -z about x, z to -x about y.
  const struct {
    Vec3 axis;
    float rows[3][3];
  } cases[] = {{{0, 0, 1}, {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}}},
               {{1, 0, 0}, {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}}},
               {{0, 1, 0}, {{0, 0, 1}, {0, 1, 0}, {-1, 0, 0}}}};
  for (const auto& c : cases) {
    ExpectMatrixNear(Rotation(quarter, c.axis), Rows(c.rows), "forward");
    const float transposed[3][3] = {{c.rows[0][0], c.rows[1][0], c.rows[2][0]},
                                    {c.rows[0][1], c.rows[1][1], c.rows[2][1]},
                                    {c.rows[0][2], c.rows[1][2], c.rows[2][2]}};
    ExpectMatrixNear(Rotation(-quarter, c.axis), Rows(transposed), "negated angle");
  }
  // A third of a turn about (1, 1, 1) / sqrt 3 cycles the axes: x -> z.
  const float s = 1.0f / std::sqrt(3.0f);
  const Matrix4x4 third = Rotation(2.0943952f, {s, s, s});
  const Vec3 turned = TransformPoint(&third, {1, 0, 0});
  EXPECT_NEAR(turned.y, 0.0f, kTolerance);
  EXPECT_NEAR(turned.z, 1.0f, kTolerance);
  // Angle 0 is the identity whatever the axis, the zero axis included.
  for (Vec3 axis : {Vec3{3, -2, 7}, Vec3{0, 0, 0}}) {
    ExpectMatrixNear(Rotation(0.0f, axis), Rows({{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}), "zero");
  }
}

TEST(VectorMath, ProductsApplyTheLeftOperandFirstOverAllFourColumns) {
  const Matrix4x4 translate = Rows({{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {5, 0, 0});
  const Matrix4x4 turn = Rows({{0, -1, 0}, {1, 0, 0}, {0, 0, 1}});
  Matrix4x4 both;
  MatMultiply(&translate, &turn, &both);
  // (1, 0, 0) -> (6, 0, 0) -> (0, -6, 0); a direction ignores the move.
  const Vec3 p = TransformPoint(&both, {1, 0, 0});
  EXPECT_TRUE(std::fabs(p.x) < kTolerance && std::fabs(p.y + 6) < kTolerance && p.z == 0) << p.y;
  EXPECT_NEAR(TransformDirection(&both, {1, 0, 0}).y, -1.0f, kTolerance);
  Matrix4x4 a = translate;
  Matrix4x4 b = turn;
  a.m[0][3] = 2.0f;  // not affine: column 3 takes part in the product
  b.m[3][1] = 3.0f;
  MatMultiply(&a, &b, &both);
  EXPECT_FLOAT_EQ(both.m[0][1], 5.0f);  // 1 x -1 + 2 x 3
}

TEST(VectorMath, AffineInverseUndoesScaleRotationAndTranslation) {
  // Uniform scale 2, a quarter turn about z, then a move to (4, -3, 10):
  // the inverse is the transpose over 4, then minus the moved translation.
  const Matrix4x4 m = Rows({{0, -2, 0}, {2, 0, 0}, {0, 0, 2}}, {4, -3, 10});
  Matrix4x4 inverse;
  MatInverseAffine(&m, &inverse);
  // Rows of the transpose / 4: (0, 0.5, 0), (-0.5, 0, 0), (0, 0, 0.5);
  // translation -(4 x row 0 - 3 x row 1 + 10 x row 2) = (-1.5, -2, -5).
  ExpectMatrixNear(inverse, Rows({{0, 0.5f, 0}, {-0.5f, 0, 0}, {0, 0, 0.5f}}, {-1.5f, -2, -5}),
                   "inverse");
  // Not uniform: column 0 has length 1, row 0 length 2. The scale is read
  // from column 0 alone, so the inverse is the plain transpose.
  const Matrix4x4 stretched = Rows({{0, -2, 0}, {1, 0, 0}, {0, 0, 1}});
  MatInverseAffine(&stretched, &inverse);
  EXPECT_FLOAT_EQ(inverse.m[0][1], 1.0f);
  EXPECT_FLOAT_EQ(inverse.m[1][0], -2.0f);
}

}  // namespace
