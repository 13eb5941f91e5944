#include "bake/music/limiter.h"

#include <algorithm>
#include <cmath>
#include <deque>

#include "bake/music/envelope.h"
#include "bake/music/oscillator.h"

namespace demo::bake::music {

Limiter::Limiter(float ceiling, float lookAheadSeconds, float releaseSeconds)
    : ceiling_(ceiling), releaseKeep_(timeConstantKeep(releaseSeconds)) {
  const long frames = std::lround(lookAheadSeconds * static_cast<float>(kSampleRate));
  lookAhead_ = frames < 1 ? 1 : static_cast<size_t>(frames);
}

LimiterReport Limiter::process(std::vector<float> &stereo) const {
  LimiterReport report;
  const size_t frames = stereo.size() / 2;
  if (frames == 0)
    return report;
  const size_t window = lookAhead_;

  // 1. The gain each frame needs on its own.
  std::vector<float> need(frames);
  for (size_t n = 0; n < frames; ++n) {
    const float peak = std::max(std::fabs(stereo[2 * n]), std::fabs(stereo[2 * n + 1]));
    report.peakIn = std::max(report.peakIn, peak);
    need[n] = peak > ceiling_ ? ceiling_ / peak : 1.f;
  }

  // 2. The smallest need over the window that ends at each frame (a monotonic
  // queue keeps this linear), recovering no faster than the release allows:
  // gain[k] <= need[j] for every j in k - window + 1 .. k.
  std::vector<float> gain(frames);
  std::deque<size_t> queue; // indices of increasing need
  float held = 1.f;
  for (size_t k = 0; k < frames; ++k) {
    while (!queue.empty() && need[queue.back()] >= need[k])
      queue.pop_back();
    queue.push_back(k);
    if (queue.front() + window <= k)
      queue.pop_front();
    const float windowMin = need[queue.front()];
    held = 1.f - (1.f - held) * releaseKeep_;
    if (held > windowMin)
      held = windowMin;
    gain[k] = held;
  }

  // 3. Frame n gets the average of gain[n .. n + window - 1]; each of those
  // windows contains frame n, so each term and the average are <= need[n].
  double sum = 0.0;
  for (size_t k = 0; k < window && k < frames; ++k)
    sum += gain[k];
  size_t limited = 0;
  for (size_t n = 0; n < frames; ++n) {
    const size_t count = std::min(window, frames - n);
    float g = static_cast<float>(sum / static_cast<double>(count));
    // Rounding in the running sum must not undo the guarantee.
    if (g > need[n])
      g = need[n];
    // The product can still round one step past the ceiling.
    stereo[2 * n] = std::clamp(stereo[2 * n] * g, -ceiling_, ceiling_);
    stereo[2 * n + 1] = std::clamp(stereo[2 * n + 1] * g, -ceiling_, ceiling_);
    report.peakOut = std::max(report.peakOut, std::max(std::fabs(stereo[2 * n]), std::fabs(stereo[2 * n + 1])));
    report.deepestGain = std::min(report.deepestGain, g);
    if (g < 0.999f)
      ++limited;
    sum -= gain[n];
    if (n + window < frames)
      sum += gain[n + window];
  }
  report.limitedShare = static_cast<double>(limited) / static_cast<double>(frames);
  return report;
}

} // namespace demo::bake::music
