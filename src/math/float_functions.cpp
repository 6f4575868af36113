// Double-precision sine and cosine from a reduction to [-pi/4, pi/4] and
// Taylor polynomials, using only additions and multiplications, which IEEE
// arithmetic rounds the same way on every machine.
#include "math/float_functions.h"

#include <cmath>

namespace {

// pi/2 split in two so k * pi/2 is subtracted without losing bits for the
// angles of a scene (|k| well below 2^20).
constexpr double kHalfPiHigh = 1.5707963267341256e+00;
constexpr double kHalfPiLow = 6.0771005065061922e-11;
constexpr double kTwoOverPi = 6.3661977236758138e-01;
constexpr double kTwoPi = 6.2831853071795862e+00;
constexpr double kLargestReducedAngle = 1.0e6;

// Both series end where the next term is below 2^-60 of the result on
// |r| <= pi/4.
double SinSeries(double r) {
  const double r2 = r * r;
  double sum = 1.0 / 6227020800.0;  // 1/13!
  sum = sum * -r2 + 1.0 / 39916800.0;
  sum = sum * -r2 + 1.0 / 362880.0;
  sum = sum * -r2 + 1.0 / 5040.0;
  sum = sum * -r2 + 1.0 / 120.0;
  sum = sum * -r2 + 1.0 / 6.0;
  return r - r * r2 * sum;
}

double CosSeries(double r) {
  const double r2 = r * r;
  double sum = 1.0 / 87178291200.0;  // 1/14!
  sum = sum * -r2 + 1.0 / 479001600.0;
  sum = sum * -r2 + 1.0 / 3628800.0;
  sum = sum * -r2 + 1.0 / 40320.0;
  sum = sum * -r2 + 1.0 / 720.0;
  sum = sum * -r2 + 1.0 / 24.0;
  sum = sum * -r2 + 0.5;
  return 1.0 - r2 * sum;
}

struct SineCosine {
  double sine;
  double cosine;
};

SineCosine Evaluate(float radians) {
  double x = radians;
  if (!std::isfinite(x)) return {x - x, x - x};  // NaN, as the library gives
  // Far beyond any scene's angles the split of pi/2 runs out of bits; the
  // remainder by 2 pi (exact, so the same on every machine) keeps the
  // result a sine, if not the library's to the last bit.
  if (std::fabs(x) > kLargestReducedAngle) x = std::fmod(x, kTwoPi);
  // Zero keeps its sign (sin(-0) is -0), as the library's does.
  if (x == 0.0) return {x, 1.0};
  const double k = std::nearbyint(x * kTwoOverPi);
  const double r = (x - k * kHalfPiHigh) - k * kHalfPiLow;
  const double s = SinSeries(r);
  const double c = CosSeries(r);
  // The quadrant from k itself: for the angles beyond any scene's, k no
  // longer fits an integer type, but its remainder by 4 is exact.
  const double quadrant = std::fmod(k, 4.0);
  switch (static_cast<int>(quadrant < 0.0 ? quadrant + 4.0 : quadrant)) {
    case 0:
      return {s, c};
    case 1:
      return {c, -s};
    case 2:
      return {-s, -c};
    default:
      return {-c, s};
  }
}

}  // namespace

float SinF(float radians) {
  return static_cast<float>(Evaluate(radians).sine);
}

float CosF(float radians) {
  return static_cast<float>(Evaluate(radians).cosine);
}

float TanF(float radians) {
  const SineCosine both = Evaluate(radians);
  return static_cast<float>(both.sine / both.cosine);
}
