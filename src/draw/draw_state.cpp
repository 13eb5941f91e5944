#include "draw/draw_state.h"

namespace demo::draw {

Mat4 identityMatrix() { return Mat4{1.f, 0.f, 0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 0.f, 1.f}; }

Mat4 multiplied(const Mat4 &a, const Mat4 &b) {
  Mat4 r{};
  for (int column = 0; column < 4; ++column)
    for (int row = 0; row < 4; ++row) {
      float sum = 0.f;
      for (int k = 0; k < 4; ++k)
        sum += a[k * 4 + row] * b[column * 4 + k];
      r[column * 4 + row] = sum;
    }
  return r;
}

std::array<float, 4> transformed(const Mat4 &m, const std::array<float, 4> &v) {
  std::array<float, 4> r{};
  for (int row = 0; row < 4; ++row)
    r[row] = m[row] * v[0] + m[4 + row] * v[1] + m[8 + row] * v[2] + m[12 + row] * v[3];
  return r;
}

State::State() {
  // OpenGL's defaults: light 0 shines white, the others are dark.
  lights[0].diffuse = {1.f, 1.f, 1.f, 1.f};
  lights[0].specular = {1.f, 1.f, 1.f, 1.f};
}

std::vector<Mat4> &State::stack(MatrixMode mode) {
  switch (mode) {
  case MatrixMode::Projection:
    return projection;
  case MatrixMode::Texture:
    return texture[static_cast<size_t>(activeUnit)];
  case MatrixMode::ModelView:
    break;
  }
  return modelView;
}

const std::vector<Mat4> &State::stack(MatrixMode mode) const { return const_cast<State *>(this)->stack(mode); }
Mat4 &State::current(MatrixMode mode) { return stack(mode).back(); }
const Mat4 &State::current(MatrixMode mode) const { return stack(mode).back(); }

} // namespace demo::draw
