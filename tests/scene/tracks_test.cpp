// Keyframe track preparation and evaluation: easing, Hermite segments,
// clamping and wrapping, rotation keys and hide toggles.
#include "scene/tracks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace {

constexpr float kTolerance = 1e-5f;

// Tracks over key vectors owned by the test.
struct ScalarFixture {
  std::vector<ScalarKey> keys;
  ScalarTrack track{};

  ScalarFixture(std::initializer_list<std::pair<int, float>> frames_values, int32_t flags = 0) {
    for (const auto& [frame, value] : frames_values) {
      ScalarKey key{};
      key.frame = frame;
      key.value = value;
      keys.push_back(key);
    }
    Bind(flags);
  }
  void Bind(int32_t flags) {
    track.flags = flags;
    track.key_count = static_cast<int32_t>(keys.size());
    track.keys = keys.empty() ? nullptr : keys.data();
    PrepareScalarTrack(&track);
  }
  float At(float frame) {
    EvalScalarTrack(frame, &track);
    return track.value;
  }
};

TEST(EaseCurve, BranchesAndNormalisation) {
  EXPECT_NEAR(EaseCurve(0.25f, 0.5f, 0.0f), 1.0f / 12.0f, kTolerance);
  EXPECT_NEAR(EaseCurve(0.75f, 0.5f, 0.0f), 2.0f / 3.0f, kTolerance);
  EXPECT_NEAR(EaseCurve(0.9f, 0.0f, 0.5f), 0.98667f, kTolerance);
  EXPECT_EQ(EaseCurve(0.3f, 0.0f, 0.0f), 0.3f);
  EXPECT_EQ(EaseCurve(0.3f, 0.5f, -0.5f), 0.3f);  // a zero sum leaves u alone
  // Sum 2 > 1: both halved to 0.5, k = 1; the curve is symmetric about 0.5.
  EXPECT_NEAR(EaseCurve(0.25f, 1.0f, 1.0f), 0.125f, kTolerance);
  EXPECT_NEAR(EaseCurve(0.75f, 1.0f, 1.0f), 0.875f, kTolerance);
  // The eased curve is continuous at its branch points and ends at 0 and 1.
  for (float a : {0.2f, 0.5f, 0.7f}) {
    for (float b : {0.1f, 0.3f, 0.9f}) {
      EXPECT_NEAR(EaseCurve(0.0f, a, b), 0.0f, kTolerance);
      EXPECT_NEAR(EaseCurve(1.0f, a, b), 1.0f, kTolerance);
      float previous = 0.0f;
      for (int i = 1; i <= 100; ++i) {
        const float value = EaseCurve(static_cast<float>(i) / 100.0f, a, b);
        EXPECT_GE(value, previous - kTolerance) << a << " " << b << " " << i;
        EXPECT_LE(value - previous, 0.05f) << "jump at " << i;
        previous = value;
      }
    }
  }
  // No ease-to and u at the end: 1, not a division by zero.
  EXPECT_EQ(EaseCurve(1.0f, 0.5f, 0.0f), 1.0f);
}

TEST(ScalarTrack, EmptyAndSingleKey) {
  ScalarFixture empty({});
  empty.track.value = 7.0f;
  EXPECT_EQ(empty.At(3.0f), 7.0f);  // untouched
  ScalarFixture single({{10, 4.0f}});
  for (float frame : {-100.0f, 10.0f, 55.5f}) EXPECT_EQ(single.At(frame), 4.0f);
}

TEST(ScalarTrack, TwoKeysInterpolateLinearlyWhateverTheTension) {
  ScalarFixture line({{0, 0.0f}, {10, 10.0f}});
  EXPECT_NEAR(line.At(5.0f), 5.0f, kTolerance);
  EXPECT_NEAR(line.At(2.5f), 2.5f, kTolerance);
  line.keys[0].tcb.tension = 0.9f;
  line.keys[1].tcb.tension = -0.7f;
  line.Bind(0);
  EXPECT_EQ(line.keys[0].tangent_out, 10.0f);
  EXPECT_EQ(line.keys[1].tangent_in, 10.0f);
  for (float frame : {1.0f, 3.3f, 7.9f}) EXPECT_NEAR(line.At(frame), frame, 1e-4f);
}

TEST(ScalarTrack, ClampsOutsideTheKeysAndHitsKeysExactly) {
  for (int32_t flags : {0, 3}) {  // single and loop both clamp
    ScalarFixture track({{10, 1.0f}, {20, 5.0f}, {40, -3.0f}}, flags);
    EXPECT_EQ(track.At(0.0f), 1.0f);
    EXPECT_EQ(track.At(10.0f), 1.0f);
    EXPECT_EQ(track.At(20.0f), 5.0f);
    EXPECT_EQ(track.At(40.0f), -3.0f);
    EXPECT_EQ(track.At(1000.0f), -3.0f);
  }
}

TEST(ScalarTrack, SegmentsMeetContinuously) {
  ScalarFixture track({{0, 0.0f}, {10, 8.0f}, {25, 2.0f}, {30, 6.0f}});
  for (int key = 1; key <= 2; ++key) {
    const float frame = static_cast<float>(track.keys[static_cast<size_t>(key)].frame);
    EXPECT_NEAR(track.At(frame - 0.001f), track.keys[static_cast<size_t>(key)].value, 0.01f);
    EXPECT_NEAR(track.At(frame + 0.001f), track.keys[static_cast<size_t>(key)].value, 0.01f);
  }
}

TEST(ScalarTrack, EndTangentsOfThreeEquallySpacedKeys) {
  ScalarFixture track({{0, 0.0f}, {10, 4.0f}, {20, 12.0f}});
  track.keys[0].tcb.tension = 0.5f;
  track.Bind(0);
  // D1 = 4, D2 = 12: (1.5 * 4 - 0.25 * 12) * (1 - 0.5) = 1.5
  EXPECT_NEAR(track.keys[0].tangent_out, 1.5f, kTolerance);
  EXPECT_EQ(track.keys[0].tangent_in, 0.0f);
  // Last key, differences backwards: D1 = 8, D2 = 12: 1.5 * 8 - 0.25 * 12 = 9
  EXPECT_NEAR(track.keys[2].tangent_in, 9.0f, kTolerance);
  EXPECT_EQ(track.keys[2].tangent_out, 0.0f);
  // Middle key: Dp = 4, Dn = 8, a = 0.5 with no continuity: both tangents 6.
  EXPECT_NEAR(track.keys[1].tangent_in, 6.0f, kTolerance);
  EXPECT_NEAR(track.keys[1].tangent_out, 6.0f, kTolerance);
}

TEST(ScalarTrack, CyclicTangentsTreatEndsAsOnePoint) {
  ScalarFixture track({{0, 0.0f}, {10, 10.0f}, {20, 0.0f}}, 2);
  // Key 0's previous neighbour is key 1 at frame -10: Dp = -10, Dn = 10.
  EXPECT_NEAR(track.keys[0].tangent_in, 0.0f, kTolerance);
  EXPECT_NEAR(track.keys[0].tangent_out, 0.0f, kTolerance);
  EXPECT_NEAR(track.keys[2].tangent_in, 0.0f, kTolerance);
  // Two cyclic keys get no tangents; they stay zero.
  ScalarFixture pair({{0, 0.0f}, {10, 10.0f}}, 2);
  EXPECT_EQ(pair.keys[0].tangent_out, 0.0f);
  EXPECT_EQ(pair.keys[1].tangent_in, 0.0f);
}

TEST(ScalarTrack, RepeatWrapsIntoTheKeyRange) {
  ScalarFixture track({{0, 0.0f}, {50, 3.0f}, {100, 10.0f}}, 2);
  EXPECT_NEAR(track.At(150.0f), track.At(50.0f), kTolerance);
  EXPECT_NEAR(track.At(175.0f), track.At(75.0f), kTolerance);
  EXPECT_NEAR(track.At(-25.0f), track.At(75.0f), kTolerance);
  EXPECT_EQ(track.At(0.0f), 10.0f);  // (f0, fn-1]: frame 0 is the last key
  EXPECT_EQ(track.At(200.0f), 10.0f);
  // Far-away frames end without looping for long.
  EXPECT_TRUE(std::isfinite(track.At(1e9f)));
  EXPECT_TRUE(std::isfinite(track.At(-1e30f)));
}

TEST(ScalarTrack, UnusableFramesAndPeriodsDoNotLoop) {
  ScalarFixture track({{0, 1.0f}, {10, 2.0f}}, 2);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  EXPECT_EQ(track.At(nan), 1.0f);
  EXPECT_EQ(track.At(inf), 2.0f);
  EXPECT_EQ(track.At(-inf), 1.0f);
  ScalarFixture flat({{0, 1.0f}, {10, 2.0f}}, 2);
  flat.keys[1].frame = 0;  // no period: clamped, no endless loop
  EXPECT_EQ(flat.At(5.0f), 2.0f);
}

TEST(VectorTrack, ComponentsShareTheWeights) {
  std::vector<VectorKey> keys(3);
  const Vec3 values[3] = {{0, 10, -5}, {4, 0, 5}, {8, 20, 0}};
  for (int i = 0; i < 3; ++i) {
    keys[static_cast<size_t>(i)].frame = i * 10;
    keys[static_cast<size_t>(i)].value = values[i];
  }
  VectorTrack track{0, 3, keys.data(), {}};
  PrepareVectorTrack(&track);
  ScalarFixture x({{0, 0.0f}, {10, 4.0f}, {20, 8.0f}});
  ScalarFixture y({{0, 10.0f}, {10, 0.0f}, {20, 20.0f}});
  for (float frame : {3.0f, 12.5f, 19.0f}) {
    EvalVectorTrack(frame, &track);
    EXPECT_NEAR(track.value.x, x.At(frame), kTolerance);
    EXPECT_NEAR(track.value.y, y.At(frame), kTolerance);
  }
}

// Builds a rotation track from relative angles about one axis the way the
// reader does.
struct RotationFixture {
  std::vector<RotationKey> keys;
  RotationTrack track{};

  RotationFixture(std::initializer_list<std::pair<int, float>> frames_angles, Vec3 axis,
                  int32_t flags = 0) {
    Matrix4x4 m;
    Matrix4x4 n;
    MatIdentity(&m);
    MatIdentity(&n);
    for (const auto& [frame, angle] : frames_angles) {
      RotationKey key{};
      key.frame = frame;
      key.relative = {keys.empty() ? 0.0f : angle, axis};
      Matrix4x4 step;
      Matrix4x4 product;
      Quaternion q;
      QuatFromAngleAxis(&key.relative, &q);
      MatFromQuat(&q, &step);
      MatMultiply(&m, &step, &product);
      m = product;
      const AngleAxis back{-key.relative.angle, axis};
      QuatFromAngleAxis(&back, &q);
      MatFromQuat(&q, &step);
      MatMultiply(&step, &n, &product);
      n = product;
      key.rotation = m;
      key.inverse_rotation = n;
      keys.push_back(key);
    }
    track = RotationTrack{flags, static_cast<int32_t>(keys.size()), keys.data(), {}, {}};
  }
  // The angle about z of the current rotation.
  float AngleAt(float frame) {
    EvalRotationTrack(frame, &track);
    return std::atan2(track.rotation.m[1][0], track.rotation.m[0][0]);
  }
};

TEST(RotationTrack, KeysAndTheirInversesAndContinuity) {
  RotationFixture fixture({{0, 5.0f}, {10, 0.5f}, {20, 0.25f}}, {0, 0, 1});
  EXPECT_NEAR(fixture.AngleAt(0.0f), 0.0f, kTolerance);
  EXPECT_NEAR(fixture.AngleAt(10.0f), 0.5f, kTolerance);
  EXPECT_NEAR(fixture.AngleAt(20.0f), 0.75f, kTolerance);
  EXPECT_NEAR(fixture.AngleAt(99.0f), 0.75f, kTolerance);
  for (float frame : {3.0f, 9.999f, 10.001f, 15.0f}) {
    EvalRotationTrack(frame, &fixture.track);
    Matrix4x4 product;
    MatMultiply(&fixture.track.rotation, &fixture.track.inverse_rotation, &product);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(product.m[i][i], 1.0f, 1e-5f) << frame;
  }
  EXPECT_NEAR(fixture.AngleAt(9.999f), 0.5f, 1e-3f);
  EXPECT_NEAR(fixture.AngleAt(10.001f), 0.5f, 1e-3f);
  const float mid = fixture.AngleAt(15.0f);
  EXPECT_GT(mid, 0.5f);
  EXPECT_LT(mid, 0.75f);
}

// The segment between keys 1 and 2 of four keys about different axes, built
// step by step with full matrix products: start at key 1, bend by key 1's
// rotation, the segment's own rotation (key 2), and key 3's rotation.
TEST(RotationTrack, SegmentComposesThreeWeightedRotations) {
  const Vec3 axes[4] = {{0, 0, 1}, {1, 0, 0}, {0, 0.6f, 0.8f}, {0, 1, 0}};
  RotationFixture fixture({{0, 0.0f}, {10, 0.4f}, {30, 0.9f}, {35, -0.3f}}, {0, 0, 1});
  for (int k = 1; k < 4; ++k) fixture.keys[static_cast<size_t>(k)].relative.axis = axes[k];
  fixture.keys[1].tcb = {0.2f, 0.1f, -0.3f, 0.0f, 0.0f};
  fixture.keys[2].tcb = {-0.1f, 0.0f, 0.4f, 0.0f, 0.0f};
  auto rot = [](float angle, Vec3 axis) {
    const AngleAxis aa{angle, axis};
    Quaternion q;
    QuatFromAngleAxis(&aa, &q);
    Matrix4x4 r;
    MatFromQuat(&q, &r);
    return r;
  };
  const float s = 0.25f;  // frame 15: a quarter into the segment, no easing
  const float s2 = s * s;
  const float s3 = s2 * s;
  Matrix4x4 m = fixture.keys[1].rotation;
  Matrix4x4 next;
  const TcbParams& t1 = fixture.keys[1].tcb;
  const float g1 = (1 - t1.tension) * (1 + t1.continuity) * (1 + t1.bias);
  Matrix4x4 step = rot(g1 * 0.4f * (10.0f / 30.0f) * (s3 - 2 * s2 + s), axes[1]);
  MatMultiply(&m, &step, &next);
  step = rot((3 * s2 - 2 * s3) * 0.9f, axes[2]);
  MatMultiply(&next, &step, &m);
  const TcbParams& t2 = fixture.keys[2].tcb;
  const float g2 = (1 - t2.tension) * (1 + t2.continuity) * (1 - t2.bias);
  step = rot(g2 * -0.3f * (5.0f / 25.0f) * (s3 - s2), axes[3]);
  MatMultiply(&m, &step, &next);
  EvalRotationTrack(15.0f, &fixture.track);
  Matrix4x4 identity_check;
  MatMultiply(&fixture.track.rotation, &fixture.track.inverse_rotation, &identity_check);
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      EXPECT_NEAR(fixture.track.rotation.m[r][c], next.m[r][c], 1e-6f) << r << " " << c;
      EXPECT_NEAR(identity_check.m[r][c], r == c ? 1.0f : 0.0f, 1e-5f);
    }
  }
}

TEST(RotationTrack, ZeroAnglesGiveTheIdentityEverywhere) {
  RotationFixture fixture({{0, 0.0f}, {10, 0.0f}, {30, 0.0f}}, {0, 1, 0}, 2);
  for (float frame : {-5.0f, 0.0f, 4.0f, 17.5f, 30.0f, 65.0f}) {
    EvalRotationTrack(frame, &fixture.track);
    for (int r = 0; r < 4; ++r) {
      for (int c = 0; c < 4; ++c) {
        EXPECT_NEAR(fixture.track.rotation.m[r][c], r == c ? 1.0f : 0.0f, kTolerance);
        EXPECT_NEAR(fixture.track.inverse_rotation.m[r][c], r == c ? 1.0f : 0.0f, kTolerance);
      }
    }
  }
}

TEST(RotationTrack, LookupFoldsCyclicIndices) {
  RotationFixture fixture({{0, 0.0f}, {10, 1.0f}, {30, 1.0f}}, {0, 0, 1}, 2);
  int index = 0;
  float frame = 0.0f;
  ASSERT_NE(LookupRotationKey(&fixture.track, &index, &frame), nullptr);
  EXPECT_EQ(index, 2);
  EXPECT_EQ(frame, 0.0f);  // key 2 shifted back by the range of 30
  index = 3;
  ASSERT_NE(LookupRotationKey(&fixture.track, &index, &frame), nullptr);
  EXPECT_EQ(index, 1);
  EXPECT_EQ(frame, 40.0f);
  index = -1;
  LookupRotationKey(&fixture.track, &index, &frame);
  EXPECT_EQ(index, 1);
  EXPECT_EQ(frame, -20.0f);
  fixture.track.flags = 0;
  index = 3;
  EXPECT_EQ(LookupRotationKey(&fixture.track, &index, &frame), nullptr);
  EXPECT_EQ(index, -1);
  // Repeat: frame 35 is frame 5.
  fixture.track.flags = 2;
  EXPECT_NEAR(fixture.AngleAt(35.0f), fixture.AngleAt(5.0f), kTolerance);
}

TEST(HideTrack, KeysToggleVisibility) {
  std::vector<HideKey> keys = {{10}, {20}};
  HideTrack track{0, 2, keys.data(), 0};
  const std::pair<float, int> expected[] = {{0.0f, 0},  {9.9f, 0},  {10.0f, 1},
                                            {19.9f, 1}, {20.0f, 0}, {500.0f, 0}};
  for (const auto& [frame, hidden] : expected) {
    EvalHideTrack(frame, &track);
    EXPECT_EQ(track.hidden, hidden) << frame;
  }
  HideTrack none{0, 0, nullptr, 1};
  EvalHideTrack(5.0f, &none);
  EXPECT_EQ(none.hidden, 0);
  std::vector<HideKey> one = {{5}};
  HideTrack single{0, 1, one.data(), 0};
  EvalHideTrack(4.0f, &single);
  EXPECT_EQ(single.hidden, 0);
  EvalHideTrack(5.0f, &single);
  EXPECT_EQ(single.hidden, 1);
}

TEST(HideTrack, RepeatUsesTheLastFrameAsPeriod) {
  std::vector<HideKey> keys = {{0}, {10}, {30}};
  HideTrack track{2, 3, keys.data(), 0};
  // Period 30: frame 35 is frame 5 (hidden after key 0), frame 45 is 15 (shown).
  EvalHideTrack(35.0f, &track);
  EXPECT_EQ(track.hidden, 1);
  EvalHideTrack(45.0f, &track);
  EXPECT_EQ(track.hidden, 0);
  EvalHideTrack(-25.0f, &track);  // -25 + 30 = 5
  EXPECT_EQ(track.hidden, 1);
  EvalHideTrack(3e9f, &track);  // ends
  // Wrapping down may leave the frame before the first key: shown.
  std::vector<HideKey> late = {{5}, {10}, {30}};
  HideTrack late_start{2, 3, late.data(), 1};
  EvalHideTrack(32.0f, &late_start);
  EXPECT_EQ(late_start.hidden, 0);
  // A last key at frame 0 or before gives no period: used unwrapped.
  std::vector<HideKey> negative = {{-10}, {0}};
  HideTrack no_period{2, 2, negative.data(), 0};
  EvalHideTrack(5.0f, &no_period);
  EXPECT_EQ(no_period.hidden, 0);
  EvalHideTrack(-5.0f, &no_period);
  EXPECT_EQ(no_period.hidden, 1);
}

}  // namespace
