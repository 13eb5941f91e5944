#include "base/math.h"

#include <cmath>
#include <cstdlib>

namespace demo {

Matrix4 identity() {
  Matrix4 r{};
  r[0] = r[5] = r[10] = r[15] = 1.f;
  return r;
}

Matrix4 translation(const Vec3 &v) {
  Matrix4 r = identity();
  r[12] = v.x;
  r[13] = v.y;
  r[14] = v.z;
  return r;
}

Matrix4 scaling(const Vec3 &v) {
  Matrix4 r{};
  r[0] = v.x;
  r[5] = v.y;
  r[10] = v.z;
  r[15] = 1.f;
  return r;
}

Matrix4 multiply(const Matrix4 &a, const Matrix4 &b) {
  // Column order: row r, column c at 4c + r. Summed into a temporary so the
  // caller may pass the destination as either operand.
  Matrix4 r;
  for (int c = 0; c < 4; ++c) {
    for (int row = 0; row < 4; ++row) {
      float sum = 0.f;
      for (int k = 0; k < 4; ++k)
        sum += a[4 * k + row] * b[4 * c + k];
      r[4 * c + row] = sum;
    }
  }
  return r;
}

Matrix4 quatToMatrix(const Quat &q) {
  // Intentional: this is the transpose of the textbook rotation of
  // (x, y, z, w): index 1 holds s(xy - wz) where the textbook has s(xy + wz).
  // The matrix therefore turns by the opposite angle about the axis, and every
  // node rotation in the scene files was authored that way round. With a
  // zero quaternion s = 1 and every product is 0, which gives the identity.
  const float x = q.x, y = q.y, z = q.z, w = q.w;
  const float n = x * x + y * y + z * z + w * w;
  const float s = n != 0.f ? 2.f / n : 1.f;
  Matrix4 r{};
  r[0] = 1.f - s * (y * y + z * z);
  r[1] = s * (x * y - w * z);
  r[2] = s * (x * z + w * y);
  r[4] = s * (x * y + w * z);
  r[5] = 1.f - s * (z * z + x * x);
  r[6] = s * (y * z - w * x);
  r[8] = s * (x * z - w * y);
  r[9] = s * (y * z + w * x);
  r[10] = 1.f - s * (y * y + x * x);
  r[15] = 1.f;
  return r;
}

Quat slerp(const Quat &q0, const Quat &q1, float t) {
  float c = q0.x * q1.x + q0.y * q1.y + q0.z * q1.z + q0.w * q1.w;
  Quat to = q1;
  if (c < 0.f) {
    // The shorter of the two arcs: q and -q are the same rotation.
    c = -c;
    to = Quat{-q1.x, -q1.y, -q1.z, -q1.w};
  }
  if (c > 1.f)
    c = 1.f;
  const float theta = std::acos(c);
  const float sinTheta = std::sin(theta);
  float a = 1.f, b = 0.f;
  // Intentional: when the two are (almost) the same rotation the result is q0
  // itself rather than a linear blend. Nothing is renormalised.
  if (std::fabs(sinTheta) > 0.0001f) {
    a = std::sin((1.f - t) * theta) / sinTheta;
    b = std::sin(t * theta) / sinTheta;
  }
  return Quat{a * q0.x + b * to.x, a * q0.y + b * to.y, a * q0.z + b * to.z, a * q0.w + b * to.w};
}

Vec3 cross(const Vec3 &a, const Vec3 &b) {
  return Vec3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

void normalize(Vec3 &v) {
  const float l = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  // A zero vector (or one so short that its squared length is 0) is left as
  // it is instead of turning into NaN.
  if (l == 0.f)
    return;
  const float inv = 1.f / l;
  v.x *= inv;
  v.y *= inv;
  v.z *= inv;
}

Vec3 rotateX(float x, float y, float z, float angle) {
  const float c = std::cos(angle), s = std::sin(angle);
  return Vec3{x, y * c - z * s, y * s + z * c};
}

// Intentional: rotateY and rotateZ turn by -angle in a right-handed frame
// (rotateX by +angle); the scenes' camera paths were tuned against this.
Vec3 rotateY(float x, float y, float z, float angle) {
  const float c = std::cos(angle), s = std::sin(angle);
  return Vec3{x * c - z * s, y, x * s + z * c};
}

Vec3 rotateZ(float x, float y, float z, float angle) {
  const float c = std::cos(angle), s = std::sin(angle);
  return Vec3{x * c + y * s, y * c - x * s, z};
}

float power(float base, float exponent) {
  return static_cast<float>(std::pow(static_cast<double>(base), static_cast<double>(exponent)));
}

int32_t nextPowerOfTwo(int32_t n) {
  // 2^1 .. 2^30; 2^31 does not fit a signed 32-bit integer, so anything above
  // 2^30 finds no fit and gets 1.
  for (int k = 1; k <= 30; ++k) {
    const int32_t p = int32_t{1} << k;
    if (p >= n)
      return p;
  }
  return 1;
}

} // namespace demo
