// math.h - vectors, quaternions, matrices and the small helpers every scene
// calls each frame: rotating a point about an axis, a power function and rounding a size up to a
// power of two. No OpenGL here: the view and sphere-map helpers that set GL
// state are in scene/view.h.
//
// Conventions (the scene files and scenes depend on every one of them):
// - Matrix4 is sixteen floats in OpenGL column order: row r, column c at 4c + r,
//   so the translation sits at 12, 13, 14 and the array goes to
//   draw::multMatrix as it is.
// - Quat is (x, y, z, w), scalar last; nothing assumes unit length.
// - Intentional: quatToMatrix builds the transpose of the textbook rotation, so
//   a quaternion turns by the opposite angle about its axis. The scene files'
//   key tracks were authored against this.
// - Intentional: rotateX turns by +a, rotateY and rotateZ by -a.
// - normalize leaves a zero vector zero (no NaN).
// - nextPowerOfTwo never returns 1 (it starts at 2) and returns 1 when nothing
//   up to 2^30 fits.
//
// Plain functions on values: nothing allocates, nothing keeps state.
#pragma once

#include <cstdint>

namespace demo {

constexpr double kPi = 3.14159265358979323846;
constexpr float kPiF = 3.14159265358979f;

struct Vec3 {
  float x, y, z;
};

struct Quat {
  float x, y, z, w;
};

struct Matrix4 {
  float m[16];
  float &operator[](int i) { return m[i]; }
  float operator[](int i) const { return m[i]; }
};

Matrix4 identity();
Matrix4 translation(const Vec3 &v);
Matrix4 scaling(const Vec3 &v);
// The product a x b; the result may overwrite either operand.
Matrix4 multiply(const Matrix4 &a, const Matrix4 &b);
Matrix4 quatToMatrix(const Quat &q);
Quat slerp(const Quat &q0, const Quat &q1, float t);
Vec3 cross(const Vec3 &a, const Vec3 &b);
void normalize(Vec3 &v);

Vec3 rotateX(float x, float y, float z, float angle);
Vec3 rotateY(float x, float y, float z, float angle);
Vec3 rotateZ(float x, float y, float z, float angle);


float power(float base, float exponent);
int32_t nextPowerOfTwo(int32_t n);

} // namespace demo
