#include "bake/music/filter.h"

#include <cmath>

#include "bake/music/oscillator.h"

namespace demo::bake::music {

SvFilter::SvFilter(FilterMode mode) : mode_(mode) { setCutoff(1000.f); }

void SvFilter::setCutoff(float hz, float q) {
  const float nyquistSafe = 0.45f * static_cast<float>(kSampleRate);
  hz = hz < 10.f ? 10.f : (hz > nyquistSafe ? nyquistSafe : hz);
  q = q < 0.1f ? 0.1f : q;
  // g is the prewarped integrator gain: the analogue prototype's cutoff lands
  // exactly on hz after the bilinear transform.
  const float g = std::tan(kPi * hz / static_cast<float>(kSampleRate));
  k_ = 1.f / q;
  a1_ = 1.f / (1.f + g * (g + k_));
  a2_ = g * a1_;
  a3_ = g * a2_;
}

Biquad::Biquad(double b0, double b1, double b2, double a1, double a2)
    : b0_(b0), b1_(b1), b2_(b2), a1_(a1), a2_(a2) {}

double Biquad::process(double x) {
  const double y = b0_ * x + b1_ * x1_ + b2_ * x2_ - a1_ * y1_ - a2_ * y2_;
  x2_ = x1_;
  x1_ = x;
  y2_ = y1_;
  y1_ = y;
  return y;
}

} // namespace demo::bake::music
