// limiter.h - the master's safety net: a look-ahead peak limiter that
// guarantees no sample leaves louder than the ceiling.
//
// The limiter works on a whole stereo recording at once (the bake renders the
// piece before it encodes it), so it can look ahead freely. For each sample it
// finds the gain that would bring the louder channel down to the ceiling,
// takes the smallest such gain over the look-ahead window, lets the gain
// recover with the release time constant, and finally smooths it with a
// moving average as long as the look-ahead. Every sample of that average
// window already respects the peak it covers, so the result never exceeds
// the ceiling and never jumps (no clicks), while a single loud kick only
// pulls the level down around itself.
//
// Use:
//   Limiter limiter(0.89f, 0.003f, 0.08f);        // ceiling, look-ahead, release
//   LimiterReport r = limiter.process(stereo);    // interleaved L R L R ...
//
// What it does not do: true-peak (inter-sample) detection, make-up gain, or
// streaming with a latency.
#pragma once

#include <cstddef>
#include <vector>

namespace demo::bake::music {

struct LimiterReport {
  float peakIn = 0.f;       // largest |sample| before
  float peakOut = 0.f;      // largest |sample| after
  float deepestGain = 1.f;  // smallest gain applied
  double limitedShare = 0.; // share of frames with gain below 0.999
};

class Limiter {
public:
  Limiter(float ceiling, float lookAheadSeconds, float releaseSeconds);

  // Limits interleaved stereo samples in place.
  LimiterReport process(std::vector<float> &stereo) const;

private:
  float ceiling_;
  size_t lookAhead_;
  float releaseKeep_;
};

} // namespace demo::bake::music
