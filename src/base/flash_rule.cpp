#include "base/flash_rule.h"

#include <array>
#include <cmath>

namespace demo {

namespace {

const std::array<float, 256> &linearTable() {
  static const std::array<float, 256> table = [] {
    std::array<float, 256> t{};
    for (int i = 0; i < 256; ++i) {
      const double c = i / 255.0;
      t[static_cast<size_t>(i)] =
          static_cast<float>(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
    }
    return t;
  }();
  return table;
}

} // namespace

float linearFromSrgb(uint8_t value) { return linearTable()[value]; }

FrameLevels measureLevels(const uint8_t *pixels, int width, int height, int channels, int every,
                          const uint8_t *remap) {
  FrameLevels levels;
  if (!pixels || width <= 0 || height <= 0 || channels < 3)
    return levels;
  if (every < 1)
    every = 1;
  const std::array<float, 256> &linear = linearTable();
  double luminance[kFrameRegionCount] = {};
  double red[kFrameRegionCount] = {};
  size_t count[kFrameRegionCount] = {};
  const int halfWidth = width / 2, halfHeight = height / 2;
  for (int y = 0; y < height; y += every) {
    const uint8_t *row = pixels + static_cast<size_t>(y) * static_cast<size_t>(width) * static_cast<size_t>(channels);
    const int top = y < halfHeight ? 0 : 2;
    double rowLuminance[2] = {}, rowRed[2] = {};
    size_t rowCount[2] = {};
    for (int x = 0; x < width; x += every) {
      const uint8_t *p = row + static_cast<size_t>(x) * static_cast<size_t>(channels);
      const float r = linear[remap ? remap[p[0]] : p[0]];
      const float g = linear[remap ? remap[p[1]] : p[1]];
      const float b = linear[remap ? remap[p[2]] : p[2]];
      const int side = x < halfWidth ? 0 : 1;
      rowLuminance[side] += 0.2126f * r + 0.7152f * g + 0.0722f * b;
      // Saturated red: R >= 0.8 (R + G + B), which also makes R - G - B > 0.
      if (r > 0.f && r >= kRedSaturation * (r + g + b))
        rowRed[side] += (r - g - b) * kRedScale;
      ++rowCount[side];
    }
    for (int side = 0; side < 2; ++side) {
      luminance[1 + top + side] += rowLuminance[side];
      red[1 + top + side] += rowRed[side];
      count[1 + top + side] += rowCount[side];
    }
  }
  for (int q = 1; q < kFrameRegionCount; ++q) {
    luminance[kWholeFrame] += luminance[q];
    red[kWholeFrame] += red[q];
    count[kWholeFrame] += count[q];
  }
  for (int region = 0; region < kFrameRegionCount; ++region)
    if (count[region] > 0) {
      levels.luminance[region] = static_cast<float>(luminance[region] / static_cast<double>(count[region]));
      levels.red[region] = static_cast<float>(red[region] / static_cast<double>(count[region]));
    }
  return levels;
}

int SwingCounter::wouldSwing(float level) const {
  if (!started_)
    return 0;
  auto counts = [this](float change) { return rule_.strict ? change > rule_.step : change >= rule_.step; };
  // Up from the lowest level since the last transition (the darker state is
  // that level), or down from the highest (the darker state is the new one).
  if (direction_ <= 0 && counts(level - low_) && low_ < rule_.darkerBelow)
    return 1;
  if (direction_ >= 0 && counts(high_ - level) && level < rule_.darkerBelow)
    return -1;
  return 0;
}

int SwingCounter::add(float level) {
  if (!started_) {
    started_ = true;
    low_ = high_ = level;
    return 0;
  }
  const int swing = wouldSwing(level);
  if (swing != 0) {
    direction_ = swing;
    low_ = high_ = level;
    return swing;
  }
  low_ = std::fmin(low_, level);
  high_ = std::fmax(high_, level);
  return 0;
}

} // namespace demo
