#include "base/flash_limiter.h"

#include <algorithm>
#include <cmath>

namespace demo {

namespace {

// The opacities tried, least first: steps of 8 of 255 (about 3 %).
constexpr int kAlphaStep = 8;

float level(const FrameLevels &levels, int series) {
  return series < kFrameRegionCount ? levels.luminance[series] : levels.red[series - kFrameRegionCount];
}

} // namespace

void correctionRemap(const FrameCorrection &correction, uint8_t remap[256]) {
  const int a = std::clamp(correction.darken, 0, 255);
  for (int c = 0; c < 256; ++c)
    remap[c] = static_cast<uint8_t>((c * (255 - a) + 127) / 255);
}

FlashLimiter::FlashLimiter()
    : series_{Series{SwingCounter(kLimiterLuminanceSwing), {}}, Series{SwingCounter(kLimiterLuminanceSwing), {}},
              Series{SwingCounter(kLimiterLuminanceSwing), {}}, Series{SwingCounter(kLimiterLuminanceSwing), {}},
              Series{SwingCounter(kLimiterLuminanceSwing), {}}, Series{SwingCounter(kLimiterRedSwing), {}},
              Series{SwingCounter(kLimiterRedSwing), {}},       Series{SwingCounter(kLimiterRedSwing), {}},
              Series{SwingCounter(kLimiterRedSwing), {}},       Series{SwingCounter(kLimiterRedSwing), {}}} {}

bool FlashLimiter::allowed(const FrameLevels &levels) const {
  for (int s = 0; s < 2 * kFrameRegionCount; ++s) {
    const Series &one = series_[s];
    const int swing = one.counter.wouldSwing(level(levels, s));
    if (swing == 0)
      continue;
    // Into a flash only with room for the way back, which then always has
    // room: the second it ends in holds no more transitions than this one.
    const int needed = swing > 0 ? 2 : 1;
    if (static_cast<int>(one.transitions.size()) + needed > kLimiterTransitions)
      return false;
  }
  return true;
}

void FlashLimiter::take(const FrameLevels &levels) {
  for (int s = 0; s < 2 * kFrameRegionCount; ++s)
    if (series_[s].counter.add(level(levels, s)) != 0)
      series_[s].transitions.push_back(now_);
  shown_ = levels;
}

FrameCorrection FlashLimiter::decide(float seconds, const uint8_t *pixels, int width, int height, int channels,
                                     int every) {
  now_ += std::max(0.0, static_cast<double>(seconds));
  // The budget counts the transitions of the last second: (now - 1, now].
  for (Series &one : series_)
    while (!one.transitions.empty() && !(one.transitions.front() > now_ - 1.0))
      one.transitions.pop_front();

  const FrameLevels drawn = measureLevels(pixels, width, height, channels, every);
  if (!started_ || allowed(drawn)) {
    started_ = true;
    take(drawn);
    return {};
  }
  uint8_t remap[256];
  for (int alpha = kAlphaStep;; alpha += kAlphaStep) {
    const FrameCorrection tried{std::min(alpha, 255)};
    correctionRemap(tried, remap);
    const FrameLevels levels = measureLevels(pixels, width, height, channels, every, remap);
    // Black (255) always passes (see the header); the test keeps the loop
    // finite whatever the levels.
    if (allowed(levels) || tried.darken == 255) {
      take(levels);
      return tried;
    }
  }
}

} // namespace demo
