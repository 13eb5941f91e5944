// flash_rule.h - the rule for flashing light that is safe to watch, and the
// two measures it is applied to: a frame's levels in five regions, and the
// swings of a series of levels.
//
// The rule (WCAG 2.2, success criterion 2.3.1 "Three Flashes or Below
// Threshold" and its definition of "general flash and red flash thresholds",
// https://www.w3.org/TR/WCAG22/#dfn-general-flash-and-red-flash-thresholds;
// broadcasters check programmes against the same limits, ITU-R BT.1702):
//   - relative luminance L of a colour: 0.2126 R + 0.7152 G + 0.0722 B of its
//     linear sRGB values (C / 12.92 up to C = 0.04045, else
//     ((C + 0.055) / 1.055)^2.4, C from 0 to 1), 0 for black, 1 for white;
//   - a general flash is a pair of opposing changes of L of 0.1 or more where
//     the darker of the two states is below 0.8;
//   - a red flash is a pair of opposing transitions involving a saturated
//     red: a colour is saturated red when R / (R + G + B) >= 0.8 (linear
//     values), and a transition is a change of (R - G - B) x 320 (0 where
//     that is negative) of more than 20;
//   - more than three flashes of either kind in any one second is unsafe.
// The rule lets flashes pass that cover less than a quarter of the field of
// view. Here the field is the frame: each of its four quarters and the frame
// as a whole is a region, and a region's levels are the means over its
// pixels of L and of the red value ((R - G - B) x 320 for a pixel that is
// saturated red, 0 for any other). A region flashes when its levels do. A
// flash confined to a small area moves a region's mean little: a full
// black-to-white swing has to cover a tenth of a quarter to count.
//
// Use:
//   FrameLevels levels = measureLevels(rgb, width, height);   // RGB8, rows top first
//   SwingCounter counter(kLuminanceSwing);
//   for (each frame) if (counter.add(levels.luminance[kWholeFrame]) != 0) { ...a transition... }
// Two transitions make one flash.
//
// What it does not do: look at anything but 8-bit sRGB pixels, or decide per
// second (the flash meter and the show's flash guard do that with these).
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

namespace demo {

// The regions of a frame: the whole, then its quarters (rows top first:
// top left, top right, bottom left, bottom right; a frame read bottom row
// first has top and bottom swapped, which changes no count).
enum FrameRegion { kWholeFrame, kTopLeft, kTopRight, kBottomLeft, kBottomRight, kFrameRegionCount };

// The rule's numbers.
constexpr float kFlashLuminanceStep = 0.1f;   // a transition of L: at least this
constexpr float kFlashDarkerBelow = 0.8f;     // ...where the darker state is below this
constexpr float kRedSaturation = 0.8f;        // R / (R + G + B) of a saturated red
constexpr float kRedScale = 320.f;            // the red value is (R - G - B) x this
constexpr float kRedStep = 20.f;              // a red transition: more than this
constexpr int kMostFlashesPerSecond = 3;      // safe up to and including this

// The linear value of an 8-bit sRGB component (0 to 1).
float linearFromSrgb(uint8_t value);

struct FrameLevels {
  float luminance[kFrameRegionCount] = {}; // mean relative luminance, 0 to 1
  float red[kFrameRegionCount] = {};       // mean red value, 0 to 320
};

// The series a frame's levels make, each counted on its own: the luminance
// of the five regions (0 to 4), then their red (5 to 9).
constexpr int kFlashSeries = 2 * kFrameRegionCount;
constexpr bool isRedSeries(int series) { return series >= kFrameRegionCount; }
constexpr FrameRegion seriesRegion(int series) { return static_cast<FrameRegion>(series % kFrameRegionCount); }
inline float seriesLevel(const FrameLevels &levels, int series) {
  return isRedSeries(series) ? levels.red[seriesRegion(series)] : levels.luminance[seriesRegion(series)];
}

// The levels of a frame of RGB8 pixels (`channels` bytes a pixel, the first
// three R, G, B; rows `width x channels` bytes apart, top row first). With
// `every` > 1, only every `every`-th pixel of every `every`-th row is looked
// at (from the first), an estimate for large frames. `remap`, when given,
// stands in for each component's value (256 entries): the levels of the
// frame as it would be after that change of every component.
FrameLevels measureLevels(const uint8_t *pixels, int width, int height, int channels = 3, int every = 1,
                          const uint8_t *remap = nullptr);

// What counts as a transition of a series.
struct SwingRule {
  float step;        // the least change that counts
  bool strict;       // the change must be more than `step` (else at least)
  float darkerBelow; // the lower of the two levels must be below this
};
constexpr SwingRule kLuminanceSwing{kFlashLuminanceStep, false, kFlashDarkerBelow};
constexpr SwingRule kRedSwing{kRedStep, true, std::numeric_limits<float>::infinity()};

// Counts the transitions of a series of levels. After a transition the
// series must swing back the other way, by the rule's step from the furthest
// it went since, for the next one: a fade that goes on in one direction is
// one transition however long it is, and noise smaller than the step none.
// Before the first transition it waits for a swing either way from the
// lowest and highest level seen.
class SwingCounter {
public:
  explicit SwingCounter(SwingRule rule) : rule_(rule) {}

  // The transition `level` would complete: +1 up, -1 down, 0 none. Changes
  // nothing.
  int wouldSwing(float level) const;
  // Takes the next level; returns the transition it completes, as wouldSwing.
  int add(float level);
  // +1 after an upward transition, -1 after a downward one, 0 before any.
  int direction() const { return direction_; }
  // The lowest level since the last transition (the start of the next
  // upward one).
  float low() const { return low_; }

private:
  SwingRule rule_;
  bool started_ = false;
  int direction_ = 0;
  float low_ = 0.f;  // the lowest level since the last transition
  float high_ = 0.f; // the highest
};

} // namespace demo
