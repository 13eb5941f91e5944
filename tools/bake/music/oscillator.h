// oscillator.h - the synthesizer's sound sources: band-limited oscillators and
// white noise.
//
// An Oscillator runs one waveform at a frequency that may change every sample
// (setFrequency, then next()). Saw and square are band-limited with polyBLEP
// corrections at their jumps, so high notes do not alias into audible
// whistles; the triangle and the sine need none. Noise is a fixed-seed
// generator, so the same seed gives the same hiss on every machine.
//
// Use:
//   Oscillator osc(Waveform::Saw);
//   osc.setFrequency(220.f);
//   float s = osc.next();          // -1 .. 1
//
// What it does not do: wavetables, hard sync, or anything that needs the
// sample rate to be other than kSampleRate.
#pragma once

#include <cmath>
#include <cstdint>

#include "base/math.h"

namespace demo::bake::music {

constexpr int kSampleRate = 44100;
constexpr float kPi = demo::kPiF;

// Frequency in Hz of a MIDI note number (69 = A4 = 440 Hz); fractional
// numbers give the pitches in between.
float midiToHz(float note);

enum class Waveform { Sine, Saw, Square, Triangle };

class Oscillator {
public:
  explicit Oscillator(Waveform waveform = Waveform::Sine, float phase = 0.f);

  void setFrequency(float hz);
  void setPhase(float phase) { phase_ = phase; }
  float phase() const { return phase_; }
  // One sample in -1 .. 1; advances the phase by frequency / kSampleRate.
  // (Defined here so the instruments' inner loops can inline it.)
  float next() {
    const float t = phase_;
    const float dt = increment_;
    float value = 0.f;
    switch (waveform_) {
    case Waveform::Sine:
      value = std::sin(2.f * kPi * t);
      break;
    case Waveform::Saw:
      value = 2.f * t - 1.f - polyBlep(t, dt);
      break;
    case Waveform::Square: {
      float half = t + 0.5f;
      if (half >= 1.f)
        half -= 1.f;
      value = (t < 0.5f ? 1.f : -1.f) + polyBlep(t, dt) - polyBlep(half, dt);
      break;
    }
    case Waveform::Triangle:
      value = 4.f * std::fabs(t - 0.5f) - 1.f;
      break;
    }
    phase_ += dt;
    if (phase_ >= 1.f)
      phase_ -= 1.f;
    return value;
  }

private:
  // The polyBLEP residual: subtracting it from a naive jump of height 2 at
  // phase 0 rounds the jump off over one sample on each side, which removes
  // most of the aliasing a hard edge would fold back below the Nyquist
  // frequency.
  static float polyBlep(float t, float dt) {
    if (t < dt) {
      t /= dt;
      return t + t - t * t - 1.f;
    }
    if (t > 1.f - dt) {
      t = (t - 1.f) / dt;
      return t * t + t + t + 1.f;
    }
    return 0.f;
  }

  Waveform waveform_;
  float phase_; // 0 .. 1
  float increment_ = 0.f;
};

// White noise in [-1, 1), a xorshift generator.
class Noise {
public:
  explicit Noise(uint32_t seed) : state_(seed ? seed : 0x9E3779B9u) {}
  float next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<float>(static_cast<int32_t>(state_)) * (1.f / 2147483648.f);
  }

private:
  uint32_t state_;
};

} // namespace demo::bake::music
