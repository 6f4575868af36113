// Keyframe track preparation and evaluation: easing, Kochanek-Bartels
// tangents worked out by hand, clamping and wrapping, rotation keys and hide
// toggles.
#include "scene/tracks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr float kTolerance = 1e-5f;

// A scalar track over keys owned by the test; Bind() prepares it again
// after the keys' spline parameters change.
struct ScalarFixture {
  std::vector<ScalarKey> keys;
  ScalarTrack track{};

  ScalarFixture(std::initializer_list<std::pair<int, float>> frames_values, int32_t flags = 0) {
    for (const auto& [frame, value] : frames_values) keys.push_back({frame, value, 0, 0, {}});
    Bind(flags);
  }
  void Bind(int32_t flags) {
    track = {flags, static_cast<int32_t>(keys.size()), keys.empty() ? nullptr : keys.data(), 0};
    PrepareScalarTrack(&track);
  }
  float At(float frame) {
    EvalScalarTrack(frame, &track);
    return track.value;
  }
};

TEST(EaseCurve, BranchesNormalisationAndContinuity) {
  const struct {
    float u, ease_from, ease_to, expected;
  } cases[] = {
      {0.25f, 0.5f, 0.0f, 1.0f / 12.0f},  // k = 2/3, first branch
      {0.75f, 0.5f, 0.0f, 2.0f / 3.0f},   // middle branch
      {0.9f, 0.0f, 0.5f, 0.98667f},       // last branch: 1 - (k / 0.5) x 0.1^2
      {0.3f, 0.0f, 0.0f, 0.3f},           // no easing
      {0.3f, 0.5f, -0.5f, 0.3f},          // a zero sum leaves u alone
      {0.25f, 1.0f, 1.0f, 0.125f},        // sum 2: both halved, k = 1
      {0.75f, 1.0f, 1.0f, 0.875f},
      {1.0f, 0.5f, 0.0f, 1.0f},  // no ease-to and u at the end: no division by zero
  };
  for (const auto& c : cases) {
    EXPECT_NEAR(EaseCurve(c.u, c.ease_from, c.ease_to), c.expected, kTolerance) << c.u;
  }
}

TEST(ScalarTrack, ClampsOutsideTheKeysAndHitsEveryKeyExactly) {
  ScalarFixture empty({});
  empty.track.value = 7.0f;
  EXPECT_EQ(empty.At(3.0f), 7.0f);  // untouched
  ScalarFixture single({{10, 4.0f}});
  EXPECT_EQ(single.At(-100.0f), 4.0f);
  EXPECT_EQ(single.At(55.5f), 4.0f);
  for (int32_t flags : {0, 3}) {  // single and loop both clamp
    ScalarFixture track({{10, 1.0f}, {20, 5.0f}, {40, -3.0f}}, flags);
    for (const auto& [frame, value] :
         {std::pair{0.0f, 1.0f}, {10.0f, 1.0f}, {20.0f, 5.0f}, {40.0f, -3.0f}, {1000.0f, -3.0f}}) {
      EXPECT_EQ(track.At(frame), value) << frame;
    }
  }
}

// Two keys, values 0 and 12 at frames 0 and 100: a straight line whatever
// the tension, bent only by the first key's ease-from and the second key's
// ease-to (s from the ease curve, value 12 s).
TEST(ScalarTrack, TwoKeysAreLinearAndEasedByTheSegmentsOwnEnds) {
  const struct {
    float tension0, tension1, ease_from0, ease_to1, frame, expected;
  } cases[] = {
      {0.0f, 0.0f, 0.0f, 0.0f, 50.0f, 6.0f},
      {0.9f, -0.7f, 0.0f, 0.0f, 30.0f, 3.6f},
      {0.0f, 0.0f, 0.5f, 0.0f, 25.0f, 1.0f},           // s = 1/12
      {0.0f, 0.0f, 0.0f, 0.5f, 90.0f, 12 * 0.98667f},  // s = 0.98667
  };
  for (const auto& c : cases) {
    ScalarFixture line({{0, 0.0f}, {100, 12.0f}});
    line.keys[0].tcb = {c.tension0, 0, 0, /*ease_to=*/0.3f, c.ease_from0};
    line.keys[1].tcb = {c.tension1, 0, 0, c.ease_to1, /*ease_from=*/0.3f};
    line.Bind(0);
    EXPECT_NEAR(line.At(c.frame), c.expected, 1e-4f) << c.frame;
  }
}

// Keys at frames 0, 10, 40 with values 0, 6, 3; key 0 has tension 0.5, key
// 1 tension 0.2, continuity 0.4, bias -0.3. Worked out by hand:
//   key 1: Dp = 6, Dn = -3, |c| = 0.4, (1 - t) = 0.8
//     a  = 10 / 40 = 0.25, A  = 0.25 + 0.4 x 0.75 = 0.55
//     a' = 30 / 40 = 0.75, A' = 0.75 + 0.4 x 0.25 = 0.85
//     in  = (6 x 0.8 x 1.4 x 0.7 + -3 x 0.8 x 0.6 x 1.3) x 0.55 = 2.832 x 0.55 = 1.5576
//     out = (6 x 0.8 x 0.6 x 0.7 + -3 x 0.8 x 1.4 x 1.3) x 0.85 = -2.352 x 0.85 = -1.9992
//   key 0: T1 = 10, T2 = 40, D1 = 6, D2 = 3: E = 1.5 x 6 - 3 x 10 / 80 = 8.625; out = 4.3125
//   key 2: T1 = 30, T2 = 40, D1 = -3, D2 = 3: E = -4.5 - 3 x 30 / 80 = -5.625 = in
//   frame 5 (s = 0.5): 0.5 x 0 + 0.5 x 6 + 0.125 x 4.3125 - 0.125 x 1.5576 = 3.3443625
//   frame 25 (s = 0.5): 0.5 x 6 + 0.5 x 3 + 0.125 x -1.9992 - 0.125 x -5.625 = 4.953225
TEST(ScalarTrack, UnequallySpacedTcbKeysWorkedByHand) {
  ScalarFixture track({{0, 0.0f}, {10, 6.0f}, {40, 3.0f}});
  track.keys[0].tcb.tension = 0.5f;
  track.keys[1].tcb = {0.2f, 0.4f, -0.3f, 0.0f, 0.0f};
  track.Bind(0);
  EXPECT_NEAR(track.At(5.0f), 3.3443625f, kTolerance);
  EXPECT_NEAR(track.At(25.0f), 4.953225f, kTolerance);
}

// A loop track (cyclic neighbours, no wrapping) with keys 0, 10, 4 at
// frames 0, 10, 20. Key 2's neighbours are key 1 at 10 and key 1 again at
// 30: Dp = -6, Dn = 6, a = 0.5, so both its tangents are 0. Key 1: Dp = 10,
// Dn = -6, a = 0.5: both tangents 2. The segment after key 0 starts at key 2
// shifted back to frame 0, so frame 5 (s = 0.5) gives
// 0.5 x 4 + 0.5 x 10 + 0.125 x 0 - 0.125 x 2 = 6.75.
TEST(ScalarTrack, CyclicTangentsAndTheFirstSegmentFromTheLastKey) {
  ScalarFixture track({{0, 0.0f}, {10, 10.0f}, {20, 4.0f}}, 3);
  EXPECT_NEAR(track.At(5.0f), 6.75f, kTolerance);
  // Two cyclic keys get no tangents; they stay zero.
  ScalarFixture pair({{0, 0.0f}, {10, 10.0f}}, 2);
  EXPECT_EQ(pair.keys[0].tangent_out, 0.0f);
  EXPECT_EQ(pair.keys[1].tangent_in, 0.0f);
}

TEST(ScalarTrack, RepeatWrapsIntoTheKeyRangeAndNeverLoopsForever) {
  ScalarFixture track({{0, 0.0f}, {50, 3.0f}, {100, 10.0f}}, 2);
  for (const auto& [frame, same] : {std::pair{150.0f, 50.0f}, {175.0f, 75.0f}, {-25.0f, 75.0f}}) {
    EXPECT_NEAR(track.At(frame), track.At(same), kTolerance) << frame;
  }
  EXPECT_EQ(track.At(0.0f), 10.0f);  // (f0, fn-1]: frame 0 is the last key
  EXPECT_EQ(track.At(200.0f), 10.0f);
  EXPECT_TRUE(std::isfinite(track.At(1e9f)) && std::isfinite(track.At(-1e30f)));
  ScalarFixture pair({{0, 1.0f}, {10, 2.0f}}, 2);
  const float inf = std::numeric_limits<float>::infinity();
  EXPECT_EQ(pair.At(std::numeric_limits<float>::quiet_NaN()), 1.0f);
  EXPECT_EQ(pair.At(inf), 2.0f);
  EXPECT_EQ(pair.At(-inf), 1.0f);
  pair.keys[1].frame = 0;  // no period: clamped, no endless loop
  EXPECT_EQ(pair.At(5.0f), 2.0f);
}

Matrix4x4 Rot(float angle, Vec3 axis) {
  const AngleAxis aa{angle, axis};
  Quaternion q;
  QuatFromAngleAxis(&aa, &q);
  Matrix4x4 r;
  MatFromQuat(&q, &r);
  return r;
}

Matrix4x4 Times(const Matrix4x4& a, const Matrix4x4& b) {
  Matrix4x4 r;
  MatMultiply(&a, &b, &r);
  return r;
}

// A rotation track built from relative angles the way the reader builds it.
struct RotationFixture {
  std::vector<RotationKey> keys;
  RotationTrack track{};

  RotationFixture(std::initializer_list<std::pair<int, float>> frames_angles, int32_t flags = 0) {
    Matrix4x4 m = Rot(0, {0, 0, 1});
    Matrix4x4 n = m;
    for (const auto& [frame, angle] : frames_angles) {
      const float relative = keys.empty() ? 0.0f : angle;
      m = Times(m, Rot(relative, {0, 0, 1}));
      n = Times(Rot(-relative, {0, 0, 1}), n);
      keys.push_back({frame, m, n, {relative, {0, 0, 1}}, {}});
    }
    track = {flags, static_cast<int32_t>(keys.size()), keys.data(), {}, {}};
  }
  // The angle about z of the current rotation; checks the inverse on the way.
  float AngleAt(float frame) {
    EvalRotationTrack(frame, &track);
    const Matrix4x4 product = Times(track.rotation, track.inverse_rotation);
    for (int i = 0; i < 16; ++i) {
      EXPECT_NEAR(product.m[i / 4][i % 4], i % 5 == 0 ? 1.0f : 0.0f, 1e-5f) << frame;
    }
    return std::atan2(track.rotation.m[1][0], track.rotation.m[0][0]);
  }
};

TEST(RotationTrack, KeysClampsAndSegmentsAboutOneAxis) {
  RotationFixture fixture({{0, 5.0f}, {10, 0.5f}, {20, 0.25f}});
  const std::pair<float, float> exact[] = {
      {-4.0f, 0.0f}, {0.0f, 0.0f}, {10.0f, 0.5f}, {20.0f, 0.75f}, {99.0f, 0.75f}};
  for (const auto& [frame, angle] : exact) EXPECT_NEAR(fixture.AngleAt(frame), angle, kTolerance);
  // Angles of 0 give the identity at every frame, wrapped or not.
  RotationFixture still({{0, 0.0f}, {10, 0.0f}, {30, 0.0f}}, 2);
  for (float frame : {-5.0f, 4.0f, 17.5f, 65.0f}) EXPECT_EQ(still.AngleAt(frame), 0.0f);
}

// The segment between keys 1 and 2 of four keys about different axes, built
// with full matrix products: start at key 1, bend by key 1's rotation, the
// segment's own rotation (key 2), and key 3's rotation, each weighted as
// the Hermite basis and the keys' spline parameters say.
TEST(RotationTrack, SegmentComposesThreeWeightedRotations) {
  const Vec3 axes[4] = {{0, 0, 1}, {1, 0, 0}, {0, 0.6f, 0.8f}, {0, 1, 0}};
  RotationFixture fixture({{0, 0.0f}, {10, 0.4f}, {30, 0.9f}, {35, -0.3f}});
  for (int k = 1; k < 4; ++k) fixture.keys[static_cast<size_t>(k)].relative.axis = axes[k];
  fixture.keys[1].tcb = {0.2f, 0.1f, -0.3f, 0.0f, 0.0f};
  fixture.keys[2].tcb = {-0.1f, 0.0f, 0.4f, 0.0f, 0.0f};
  const float s = 0.25f;  // frame 15: a quarter into the segment, no easing
  const float h3 = s * s * s - 2 * s * s + s;
  const float h2 = 3 * s * s - 2 * s * s * s;
  const float h4 = s * s * s - s * s;
  const float g1 = (1 - 0.2f) * (1 + 0.1f) * (1 - 0.3f);  // (1 - t)(1 + c)(1 + b) of key 1
  const float g2 = (1 + 0.1f) * (1 + 0.0f) * (1 - 0.4f);  // (1 - t)(1 + c)(1 - b) of key 2
  Matrix4x4 m = Times(fixture.keys[1].rotation, Rot(g1 * 0.4f * (10.0f / 30.0f) * h3, axes[1]));
  m = Times(m, Rot(h2 * 0.9f, axes[2]));
  m = Times(m, Rot(g2 * -0.3f * (5.0f / 25.0f) * h4, axes[3]));
  fixture.AngleAt(15.0f);
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      EXPECT_NEAR(fixture.track.rotation.m[r][c], m.m[r][c], 1e-6f) << r << " " << c;
    }
  }
}

TEST(HideTrack, KeysToggleAndRepeatUsesTheLastFrameAsPeriod) {
  const struct {
    std::vector<HideKey> keys;
    int32_t flags;
    std::vector<std::pair<float, int32_t>> frames_hidden;
  } cases[] = {
      {{}, 0, {{5.0f, 0}}},
      {{{5}}, 0, {{4.0f, 0}, {5.0f, 1}}},
      {{{10}, {20}}, 0, {{9.9f, 0}, {10.0f, 1}, {19.9f, 1}, {20.0f, 0}, {500.0f, 0}}},
      // Period 30: 35 is 5 (hidden after key 0), 45 is 15 (shown), -25 is 5;
      // 3e9 is a whole number of periods, wrapped in bounded steps.
      {{{0}, {10}, {30}}, 2, {{35.0f, 1}, {45.0f, 0}, {-25.0f, 1}, {3e9f, 1}}},
      {{{5}, {10}, {30}}, 2, {{32.0f, 0}}},  // wrapped before the first key: shown
      // A last key at frame 0 or before gives no period: used unwrapped.
      {{{-10}, {0}}, 2, {{5.0f, 0}, {-5.0f, 1}}},
  };
  for (const auto& c : cases) {
    for (const auto& [frame, hidden] : c.frames_hidden) {
      std::vector<HideKey> keys = c.keys;
      HideTrack track{c.flags, static_cast<int32_t>(keys.size()), keys.data(), 1 - hidden};
      EvalHideTrack(frame, &track);
      EXPECT_EQ(track.hidden, hidden) << c.keys.size() << " keys, frame " << frame;
    }
  }
}

}  // namespace
