#include "base/frame_size.h"

#include <algorithm>
#include <cmath>

namespace demo {

FrameSize FrameSize::atScale(double s) {
  if (!(s > 1.0))
    return FrameSize();
  if (s > kMaxRenderScale)
    s = kMaxRenderScale;
  return {static_cast<int>(std::lround(kBaseFrameWidth * s)), static_cast<int>(std::lround(kBaseFrameHeight * s))};
}

FrameSize FrameSize::largestInside(int width, int height) {
  // The height that fits both ways, then the width of a 4:3 picture that
  // tall (never wider than `width`: h <= 3 width / 4).
  const long long h = std::min<long long>(height, 3LL * width / 4);
  const long long w = (4 * h + 1) / 3;
  if (w < kBaseFrameWidth || h < kBaseFrameHeight)
    return FrameSize();
  return {static_cast<int>(w), static_cast<int>(h)};
}

double FrameSize::scale() const { return static_cast<double>(height) / kBaseFrameHeight; }

float FrameSize::x(float v) const {
  return static_cast<float>(static_cast<double>(v) * width / kBaseFrameWidth);
}

float FrameSize::y(float v) const {
  return static_cast<float>(static_cast<double>(v) * height / kBaseFrameHeight);
}

float FrameSize::size(float v) const { return static_cast<float>(static_cast<double>(v) * scale()); }

PixelBox FrameSize::band(float bar) const {
  const float b = y(bar);
  return {0, static_cast<int>(b), width, static_cast<int>(static_cast<float>(height) - 2.f * b)};
}

} // namespace demo
