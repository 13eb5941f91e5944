#include "bake/music/loudness_meter.h"

#include "base/math.h"

#include <cmath>
#include <limits>

#include "bake/music/oscillator.h"

namespace demo::bake::music {

namespace {


// The K-weighting filters, designed for any sample rate from the analogue
// prototypes behind BS.1770's 48 kHz coefficients (the same derivation
// libebur128 uses), so at 48 kHz they reproduce the published numbers.
Biquad makeShelf() {
  const double f0 = 1681.974450955533, gainDb = 3.999843853973347, q = 0.7071752369554196;
  const double k = std::tan(demo::kPi * f0 / kSampleRate);
  const double vh = std::pow(10.0, gainDb / 20.0);
  const double vb = std::pow(vh, 0.4996667741545416);
  const double a0 = 1.0 + k / q + k * k;
  return Biquad((vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0,
                2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0);
}

Biquad makeHighPass() {
  const double f0 = 38.13547087602444, q = 0.5003270373238773;
  const double k = std::tan(demo::kPi * f0 / kSampleRate);
  const double a0 = 1.0 + k / q + k * k;
  return Biquad(1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0);
}

constexpr size_t kStepFrames = kSampleRate / 10; // 100 ms
constexpr size_t kStepsPerBlock = 4;             // 400 ms blocks, 75 % overlap
constexpr double kAbsoluteGate = -70.0;
constexpr double kRelativeGate = -10.0;

double loudnessOf(double power) { return -0.691 + 10.0 * std::log10(power); }

} // namespace

LoudnessMeter::LoudnessMeter(int channels) : channels_(channels > 0 ? channels : 1) {
  for (int c = 0; c < channels_; ++c) {
    shelves_.push_back(makeShelf());
    highPasses_.push_back(makeHighPass());
  }
  partial_.assign(static_cast<size_t>(channels_), 0.0);
}

void LoudnessMeter::add(const float *interleaved, size_t frames) {
  const size_t channels = static_cast<size_t>(channels_);
  for (size_t n = 0; n < frames; ++n) {
    for (size_t c = 0; c < channels; ++c) {
      const double y = highPasses_[c].process(shelves_[c].process(interleaved[n * channels + c]));
      partial_[c] += y * y;
    }
    if (++partialFrames_ == kStepFrames) {
      double sum = 0.0;
      for (double &p : partial_) {
        sum += p / static_cast<double>(kStepFrames);
        p = 0.0;
      }
      steps_.push_back(sum);
      partialFrames_ = 0;
    }
  }
}

double LoudnessMeter::integrated() const {
  // Block j covers steps j .. j + 3 (400 ms, starting every 100 ms).
  std::vector<double> blocks;
  for (size_t j = 0; j + kStepsPerBlock <= steps_.size(); ++j) {
    double power = 0.0;
    for (size_t s = 0; s < kStepsPerBlock; ++s)
      power += steps_[j + s];
    blocks.push_back(power / static_cast<double>(kStepsPerBlock));
  }
  const double silent = -std::numeric_limits<double>::infinity();
  double sum = 0.0;
  size_t count = 0;
  for (double power : blocks) {
    if (power > 0.0 && loudnessOf(power) > kAbsoluteGate) {
      sum += power;
      ++count;
    }
  }
  if (count == 0)
    return silent;
  const double relativeGate = loudnessOf(sum / static_cast<double>(count)) + kRelativeGate;
  sum = 0.0;
  count = 0;
  for (double power : blocks) {
    if (power > 0.0) {
      const double l = loudnessOf(power);
      if (l > kAbsoluteGate && l > relativeGate) {
        sum += power;
        ++count;
      }
    }
  }
  return count == 0 ? silent : loudnessOf(sum / static_cast<double>(count));
}

} // namespace demo::bake::music
