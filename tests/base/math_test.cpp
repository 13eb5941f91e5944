#include "base/math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "support/matrix_checks.h"

namespace demo::test {
namespace {


void expectQuat(const Quat &q, float x, float y, float z, float w, float eps = 1e-5f) {
  EXPECT_NEAR(q.x, x, eps);
  EXPECT_NEAR(q.y, y, eps);
  EXPECT_NEAR(q.z, z, eps);
  EXPECT_NEAR(q.w, w, eps);
}

Matrix4 sample() {
  Matrix4 m;
  for (int i = 0; i < 16; ++i)
    m[i] = static_cast<float>(i * i % 7) - 2.5f;
  return m;
}

TEST(Matrix, IdentityEitherSideOfAProductChangesNothing) {
  const Matrix4 m = sample();
  expectMatrix(multiply(identity(), m), m, 0.f);
  expectMatrix(multiply(m, identity()), m, 0.f);
}

TEST(Matrix, TranslationTimesScalingKeepsScaleOnDiagonalAndOffsetInLastColumn) {
  const Matrix4 ts = multiply(translation({1.f, 2.f, 3.f}), scaling({4.f, 5.f, 6.f}));
  const float expected[16] = {4, 0, 0, 0, 0, 5, 0, 0, 0, 0, 6, 0, 1, 2, 3, 1};
  for (int i = 0; i < 16; ++i)
    EXPECT_EQ(ts[i], expected[i]) << "index " << i;
  // The other order scales the offset as well.
  const Matrix4 st = multiply(scaling({4.f, 5.f, 6.f}), translation({1.f, 2.f, 3.f}));
  EXPECT_EQ(st[12], 4.f);
  EXPECT_EQ(st[13], 10.f);
  EXPECT_EQ(st[14], 18.f);
}

TEST(Matrix, ProductAppliesRightOperandFirst) {
  // r turns x to -y (see the quaternion convention below); t moves by +x.
  const Matrix4 r = quatToMatrix({0.f, 0.f, std::sin(kPiF / 4), std::cos(kPiF / 4)});
  const Matrix4 t = translation({1.f, 0.f, 0.f});
  expectVec(apply(multiply(r, t), 0.f, 0.f, 0.f), 0.f, -1.f, 0.f); // moved, then turned
  expectVec(apply(multiply(t, r), 0.f, 0.f, 0.f), 1.f, 0.f, 0.f);  // turned, then moved
  // Full matrices: (a x b) p == a (b p), row r of column c at 4c + r.
  const Matrix4 a = sample(), b = quatToMatrix({0.3f, -0.1f, 0.5f, 0.7f});
  const Vec3 bp = apply(b, 0.5f, -1.f, 2.f);
  const Vec3 abp = apply(a, bp.x, bp.y, bp.z);
  expectVec(apply(multiply(a, b), 0.5f, -1.f, 2.f), abp.x, abp.y, abp.z, 1e-4f);
}

TEST(Matrix, ResultMayOverwriteEitherOperand) {
  const Matrix4 a = sample(), b = quatToMatrix({0.1f, 0.2f, 0.3f, 0.9f});
  const Matrix4 expected = multiply(a, b);
  Matrix4 left = a, right = b;
  left = multiply(left, b);
  right = multiply(a, right);
  expectMatrix(left, expected, 0.f);
  expectMatrix(right, expected, 0.f);
}

TEST(QuatToMatrix, UnitAndZeroQuaternionsGiveIdentity) {
  expectMatrix(quatToMatrix({0.f, 0.f, 0.f, 1.f}), identity(), 0.f);
  expectMatrix(quatToMatrix({0.f, 0.f, 0.f, 0.f}), identity(), 0.f);
}

TEST(QuatToMatrix, TurnsTheOppositeWayAboutTheAxis) {
  const float h = std::sin(kPiF / 4), c = std::cos(kPiF / 4);
  // Textbook +90 degrees about z would send x to +y; this table sends it to -y.
  const Matrix4 z = quatToMatrix({0.f, 0.f, h, c});
  expectVec(apply(z, 1.f, 0.f, 0.f), 0.f, -1.f, 0.f);
  EXPECT_NEAR(z[1], -1.f, 1e-6f);
  // About x, y goes to -z; about y, z goes to -x.
  expectVec(apply(quatToMatrix({h, 0.f, 0.f, c}), 0.f, 1.f, 0.f), 0.f, 0.f, -1.f);
  expectVec(apply(quatToMatrix({0.f, h, 0.f, c}), 0.f, 0.f, 1.f), -1.f, 0.f, 0.f);
}

TEST(QuatToMatrix, LengthOfQuaternionDoesNotMatter) {
  const Quat q = {0.2f, -0.4f, 0.1f, 0.8f};
  expectMatrix(quatToMatrix(q), quatToMatrix({3 * q.x, 3 * q.y, 3 * q.z, 3 * q.w}));
  // And the result is a pure rotation: M times its transpose is the identity.
  const Matrix4 m = quatToMatrix(q);
  Matrix4 t;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      t[4 * c + r] = m[4 * r + c];
  expectMatrix(multiply(m, t), identity());
}

TEST(Slerp, SameQuaternionComesBackForAnyT) {
  const Quat q = {0.5f, -0.5f, 0.5f, 0.5f};
  const float l = std::sqrt(0.01f + 0.04f + 0.09f + 0.86f);
  const Quat r = {0.1f / l, 0.2f / l, 0.3f / l, std::sqrt(0.86f) / l}; // dot rounds below 1
  for (float t : {0.f, 0.3f, 1.f, 2.f}) {
    expectQuat(slerp(q, q, t), q.x, q.y, q.z, q.w, 0.f);
    expectQuat(slerp(r, r, t), r.x, r.y, r.z, r.w, 1e-6f);
  }
}

TEST(Slerp, EndsAreTheOperandsTakingTheShorterArc) {
  const Quat q0 = {0.f, 0.f, 0.f, 1.f};
  const Quat q1 = {0.f, std::sin(0.6f), 0.f, std::cos(0.6f)};
  expectQuat(slerp(q0, q1, 0.f), q0.x, q0.y, q0.z, q0.w);
  expectQuat(slerp(q0, q1, 1.f), q1.x, q1.y, q1.z, q1.w);
  // -q1 is the same rotation; the negative dot product flips it back.
  const Quat n1 = {-q1.x, -q1.y, -q1.z, -q1.w};
  expectQuat(slerp(q0, n1, 1.f), q1.x, q1.y, q1.z, q1.w);
}

TEST(Slerp, TinyAngleGivesFirstOperandNotABlend) {
  const Quat q0 = {0.f, 0.f, 0.f, 1.f};
  const Quat q1 = {0.f, 0.f, 5e-5f, 1.f};
  expectQuat(slerp(q0, q1, 1.f), 0.f, 0.f, 0.f, 1.f, 0.f);
}

TEST(Slerp, DotProductAboveOneGivesFirstOperandNotNaN) {
  const Quat q = {0.f, 0.f, 0.f, 2.f};
  const Quat r = slerp(q, q, 0.5f);
  expectQuat(r, 0.f, 0.f, 0.f, 2.f, 0.f);
}

TEST(Slerp, MidpointOfQuarterTurnIsHalfTurnWithUnitLength) {
  const Quat q0 = {0.f, 0.f, 0.f, 1.f};
  const Quat q1 = {0.f, 0.f, std::sin(kPiF / 4), std::cos(kPiF / 4)};
  const Quat m = slerp(q0, q1, 0.5f);
  expectQuat(m, 0.f, 0.f, std::sin(kPiF / 8), std::cos(kPiF / 8));
  EXPECT_NEAR(m.x * m.x + m.y * m.y + m.z * m.z + m.w * m.w, 1.f, 1e-5f);
}

TEST(Slerp, ResultIsNotRenormalised) {
  const Quat m = slerp({0.f, 0.f, 0.f, 0.5f}, {0.f, 0.f, 0.5f, 0.f}, 0.5f);
  EXPECT_NEAR(std::sqrt(m.z * m.z + m.w * m.w), 0.5f, 1e-5f);
}

TEST(Vectors, CrossFollowsRightHandRule) {
  expectVec(cross({1.f, 0.f, 0.f}, {0.f, 1.f, 0.f}), 0.f, 0.f, 1.f, 0.f);
  expectVec(cross({0.f, 1.f, 0.f}, {1.f, 0.f, 0.f}), 0.f, 0.f, -1.f, 0.f);
  expectVec(cross({1.f, 2.f, 3.f}, {4.f, 5.f, 6.f}), -3.f, 6.f, -3.f, 0.f);
}

TEST(Vectors, NormalizeScalesToUnitLength) {
  Vec3 v = {3.f, -4.f, 0.f};
  normalize(v);
  expectVec(v, 0.6f, -0.8f, 0.f);
}

TEST(Vectors, NormalizeLeavesZeroVectorZeroInsteadOfNaN) {
  Vec3 v = {0.f, 0.f, 0.f};
  normalize(v);
  expectVec(v, 0.f, 0.f, 0.f, 0.f);
  Vec3 tiny = {1e-30f, 0.f, -1e-30f}; // squares underflow to 0
  normalize(tiny);
  EXPECT_TRUE(std::isfinite(tiny.x) && std::isfinite(tiny.y) && std::isfinite(tiny.z));
}

TEST(AxisRotation, QuarterTurnsFollowTheirSigns) {
  // rotateX turns by +a; rotateY and rotateZ by -a.
  expectVec(rotateX(0.f, 1.f, 0.f, kPiF / 2), 0.f, 0.f, 1.f);
  expectVec(rotateY(1.f, 0.f, 0.f, kPiF / 2), 0.f, 0.f, 1.f);
  expectVec(rotateY(0.f, 0.f, 1.f, kPiF / 2), -1.f, 0.f, 0.f);
  expectVec(rotateZ(1.f, 0.f, 0.f, kPiF / 2), 0.f, -1.f, 0.f);
  expectVec(rotateZ(0.f, 1.f, 0.f, kPiF / 2), 1.f, 0.f, 0.f);
}

TEST(AxisRotation, CoordinateOnTheAxisPassesThrough) {
  EXPECT_EQ(rotateX(7.f, 1.f, 2.f, 0.9f).x, 7.f);
  EXPECT_EQ(rotateY(1.f, 7.f, 2.f, 0.9f).y, 7.f);
  EXPECT_EQ(rotateZ(1.f, 2.f, 7.f, 0.9f).z, 7.f);
}

TEST(Power, BaseFirstThenExponent) {
  EXPECT_EQ(power(3.f, 2.f), 9.f);
  EXPECT_EQ(power(2.f, 10.f), 1024.f);
  EXPECT_EQ(power(-2.f, 3.f), -8.f);
  EXPECT_EQ(power(0.5f, 2.f), 0.25f);
  EXPECT_FLOAT_EQ(power(2.f, 0.5f), std::sqrt(2.f));
}

TEST(NextPowerOfTwo, SmallAndNegativeSizesGiveTwo) {
  for (int32_t n : {std::numeric_limits<int32_t>::min(), -5, 0, 1, 2})
    EXPECT_EQ(nextPowerOfTwo(n), 2) << n;
}

TEST(NextPowerOfTwo, RoundsUpToTheNextPower) {
  EXPECT_EQ(nextPowerOfTwo(3), 4);
  EXPECT_EQ(nextPowerOfTwo(256), 256);
  EXPECT_EQ(nextPowerOfTwo(257), 512);
  EXPECT_EQ(nextPowerOfTwo(600), 1024);
  EXPECT_EQ(nextPowerOfTwo(800), 1024);
}

TEST(NextPowerOfTwo, AboveTwoToTheThirtyNothingFitsAndOneComesBack) {
  EXPECT_EQ(nextPowerOfTwo((1 << 30) - 1), 1 << 30);
  EXPECT_EQ(nextPowerOfTwo(1 << 30), 1 << 30);
  EXPECT_EQ(nextPowerOfTwo((1 << 30) + 1), 1);
  EXPECT_EQ(nextPowerOfTwo(std::numeric_limits<int32_t>::max()), 1);
}

} // namespace
} // namespace demo::test
