// The program's own sine, cosine and tangent: within one float step of the
// C library's over every quadrant and many turns, exact where the result is
// exact, and NaN for what has no angle.
#include "math/float_functions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

// Floats from a to b (0: equal), counted on one line through zero.
int64_t StepsApart(float a, float b) {
  const auto line = [](float f) {
    const int32_t bits = std::bit_cast<int32_t>(f);
    return bits < 0 ? int64_t{INT32_MIN} - bits : int64_t{bits};
  };
  return std::abs(line(a) - line(b));
}

TEST(FloatFunctions, AgreeWithTheLibraryWithinOneStep) {
  int64_t worst = 0;
  for (float x = -100.0f; x <= 100.0f; x += 0.01234f) {
    worst = std::max(worst, StepsApart(SinF(x), std::sin(x)));
    worst = std::max(worst, StepsApart(CosF(x), std::cos(x)));
    if (std::abs(std::cos(x)) > 1e-3f) worst = std::max(worst, StepsApart(TanF(x), std::tan(x)));
  }
  EXPECT_LE(worst, 1);
}

TEST(FloatFunctions, ExactValuesAndNonNumbers) {
  const float kInf = std::numeric_limits<float>::infinity();
  struct Case {
    float x, sine, cosine;
  };
  for (const Case& c : {Case{0.0f, 0.0f, 1.0f}, Case{-0.0f, -0.0f, 1.0f}}) {
    EXPECT_EQ(SinF(c.x), c.sine);
    EXPECT_EQ(std::signbit(SinF(c.x)), std::signbit(c.sine));
    EXPECT_EQ(CosF(c.x), c.cosine);
  }
  EXPECT_EQ(SinF(1.5707964f), 1.0f);  // the float nearest pi/2
  EXPECT_EQ(CosF(3.1415927f), -1.0f);
  // Far beyond any scene's angles the quadrant still comes out defined.
  for (float x : {1.18154e35f, -3.0e38f, 9.3e18f}) {
    const float s = SinF(x), c = CosF(x);
    EXPECT_NEAR(s * s + c * c, 1.0f, 1e-5f) << x;
  }
  for (float x : {kInf, -kInf, std::numeric_limits<float>::quiet_NaN()}) {
    EXPECT_TRUE(std::isnan(SinF(x)) && std::isnan(CosF(x)) && std::isnan(TanF(x)));
  }
}

}  // namespace
