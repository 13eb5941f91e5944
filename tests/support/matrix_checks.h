// matrix_checks.h - the checks the maths, scene and view tests share: a
// point through a column-order matrix, near-equal vectors and matrices, and
// gluPerspective written out to compare projections with. Header-only.
#pragma once

#include <gtest/gtest.h>

#include <cmath>

#include "base/math.h"

namespace demo::test {

// m applied to the point (x, y, z, 1), column order.
inline Vec3 apply(const Matrix4 &m, float x, float y, float z) {
  return Vec3{m[0] * x + m[4] * y + m[8] * z + m[12], m[1] * x + m[5] * y + m[9] * z + m[13],
              m[2] * x + m[6] * y + m[10] * z + m[14]};
}

inline void expectVec(const Vec3 &v, float x, float y, float z, float eps = 1e-5f) {
  EXPECT_NEAR(v.x, x, eps);
  EXPECT_NEAR(v.y, y, eps);
  EXPECT_NEAR(v.z, z, eps);
}

inline void expectMatrix(const Matrix4 &a, const Matrix4 &b, float eps = 1e-5f) {
  for (int i = 0; i < 16; ++i)
    EXPECT_NEAR(a[i], b[i], eps) << "index " << i;
}

// gluPerspective written out: f = cot(fovY / 2).
inline Matrix4 perspective(double fovY, double aspect, double zNear, double zFar) {
  const double f = 1.0 / std::tan(fovY * 3.14159265358979323846 / 360.0);
  Matrix4 m{};
  m[0] = static_cast<float>(f / aspect);
  m[5] = static_cast<float>(f);
  m[10] = static_cast<float>((zFar + zNear) / (zNear - zFar));
  m[11] = -1.f;
  m[14] = static_cast<float>(2.0 * zFar * zNear / (zNear - zFar));
  return m;
}

} // namespace demo::test
