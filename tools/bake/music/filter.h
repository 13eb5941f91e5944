// filter.h - the synthesizer's filters: a resonant state-variable filter for
// the instruments and a double-precision biquad for measurement.
//
// SvFilter is the trapezoidal ("zero-delay feedback") state-variable filter:
// one structure gives low-pass, high-pass and band-pass outputs with 12 dB
// per octave slopes (the band-pass with unity gain at its centre), stays
// stable while its cutoff is swept every sample, and keeps its tuning right up
// to the Nyquist frequency. Q = 0.7071 is the flat (Butterworth) response;
// higher values ring at the cutoff.
//
// Biquad is a plain direct-form-I second-order section with coefficients
// given by the caller (the loudness meter's K-weighting is two of them).
//
// Use:
//   SvFilter lp(FilterMode::LowPass);
//   lp.setCutoff(800.f, 0.9f);        // may be called every sample
//   float y = lp.process(x);
//
// What it does not do: steeper slopes (chain two), oversampling, or
// saturation inside the loop.
#pragma once

namespace demo::bake::music {

enum class FilterMode { LowPass, HighPass, BandPass };

class SvFilter {
public:
  explicit SvFilter(FilterMode mode = FilterMode::LowPass);

  // Cutoff in Hz (clamped to 10 Hz .. 0.45 of the sample rate) and resonance.
  void setCutoff(float hz, float q = 0.7071f);
  float process(float x) {
    // Two trapezoidal integrators solved together with their feedback
    // (Andrew Simper's form): v1 is the band-pass state, v2 the low-pass.
    const float v3 = x - ic2_;
    const float v1 = a1_ * ic1_ + a2_ * v3;
    const float v2 = ic2_ + a2_ * ic1_ + a3_ * v3;
    ic1_ = 2.f * v1 - ic1_;
    ic2_ = 2.f * v2 - ic2_;
    switch (mode_) {
    case FilterMode::LowPass:
      break;
    case FilterMode::HighPass:
      return x - k_ * v1 - v2;
    case FilterMode::BandPass:
      return k_ * v1; // unity gain at the centre frequency
    }
    return v2;
  }
  void reset() { ic1_ = ic2_ = 0.f; }

private:
  FilterMode mode_;
  float k_ = 1.4142f;
  float a1_ = 0.f, a2_ = 0.f, a3_ = 0.f;
  float ic1_ = 0.f, ic2_ = 0.f;
};

// y = (b0 x + b1 x1 + b2 x2 - a1 y1 - a2 y2), a0 normalised to 1.
class Biquad {
public:
  Biquad(double b0, double b1, double b2, double a1, double a2);
  double process(double x);

private:
  double b0_, b1_, b2_, a1_, a2_;
  double x1_ = 0.0, x2_ = 0.0, y1_ = 0.0, y2_ = 0.0;
};

} // namespace demo::bake::music
