// bake_math.h - the small vector maths the baker's builders share.
//
// The baker computes in floats, and the bytes it writes depend on every
// rounding: kPi here is the float the builders have always used, and the
// operators are the plain component-wise ones.
#pragma once

#include <cmath>

#include "base/math.h"

namespace demo::bake {

constexpr float kPi = kPiF;

inline Vec3 operator+(const Vec3 &a, const Vec3 &b) { return Vec3{a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(const Vec3 &a, const Vec3 &b) { return Vec3{a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(const Vec3 &a, float k) { return Vec3{a.x * k, a.y * k, a.z * k}; }
inline float dot(const Vec3 &a, const Vec3 &b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline float length(const Vec3 &a) { return std::sqrt(dot(a, a)); }
// v over its length; a zero vector stays zero.
inline Vec3 unit(Vec3 v) {
  normalize(v);
  return v;
}

} // namespace demo::bake
