#include "base/flash_limiter.h"

#include <algorithm>

namespace demo {

namespace {

// The opacities tried: steps of 8 of 255 (about 3 %), up to black.
constexpr int kAlphaStep = 8;
constexpr double kLongestFrame = 1.0 / 15.0;

} // namespace

void correctionRemap(const FrameCorrection &correction, uint8_t remap[256]) {
  const int a = std::clamp(correction.darken, 0, 255);
  for (int c = 0; c < 256; ++c)
    remap[c] = static_cast<uint8_t>((c * (255 - a) + 127) / 255);
}

FlashLimiter::FlashLimiter() {
  for (int s = 0; s < kFlashSeries; ++s)
    series_.emplace_back(isRedSeries(s) ? kLimiterRedSwing : kLimiterLuminanceSwing);
}

bool FlashLimiter::allowed(const FrameLevels &levels) const {
  for (int s = 0; s < kFlashSeries; ++s) {
    const Series &one = series_[static_cast<size_t>(s)];
    const float level = seriesLevel(levels, s);
    const int swing = one.counter.wouldSwing(level);
    if (swing == 0)
      continue;
    // Into a flash only with room for the way back, which then always has
    // room: the second it ends in holds no more transitions than this one;
    // into a small flash only with room for a big one after it.
    const bool small = level - one.counter.low() < kLimiterBigSwing * one.rule.step;
    const int needed = swing < 0 ? 1 : small ? 4 : 2;
    if (static_cast<int>(one.transitions.size()) + needed > kLimiterTransitions)
      return false;
  }
  return true;
}

void FlashLimiter::take(const FrameLevels &levels) {
  for (int s = 0; s < kFlashSeries; ++s) {
    Series &one = series_[static_cast<size_t>(s)];
    if (one.counter.add(seriesLevel(levels, s)) != 0)
      one.transitions.push_back(now_);
  }
  shown_ = levels;
}

FrameCorrection FlashLimiter::decide(float seconds, const uint8_t *pixels, int width, int height, int channels,
                                     int every) {
  // Frames never count as further apart than kLongestFrame: after a stall,
  // a jump or frames a capture skipped, the second before still counts.
  now_ += seconds > 0.f ? std::min(static_cast<double>(seconds), kLongestFrame) : 0.0; // NaN too: 0
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
  // The least opacity of the ladder that passes, found by halving: every
  // level only falls as the layer darkens, so once an opacity passes, every
  // darker one does too (a refused transition is upward), and black passes.
  // What is taken is always black or an opacity that was seen to pass.
  uint8_t remap[256];
  auto levelsAt = [&](int step) {
    correctionRemap({std::min(step * kAlphaStep, 255)}, remap);
    return measureLevels(pixels, width, height, channels, every, remap);
  };
  constexpr int kBlackStep = (255 + kAlphaStep - 1) / kAlphaStep;
  int refused = 0, passes = kBlackStep;
  FrameLevels passing;
  bool measured = false; // whether `passing` holds the levels at `passes`
  while (passes - refused > 1) {
    const int middle = (refused + passes) / 2;
    const FrameLevels levels = levelsAt(middle);
    if (allowed(levels)) {
      passes = middle;
      passing = levels;
      measured = true;
    } else {
      refused = middle;
    }
  }
  take(measured ? passing : levelsAt(kBlackStep));
  return {std::min(passes * kAlphaStep, 255)};
}

} // namespace demo
