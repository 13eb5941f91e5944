// flash_limiter.h - the decision behind the show's gentle mode
// (--reduce-flashing): what to lay over each frame so that no second has
// more than the rule's three flashes (flash_rule.h), in the whole frame, any
// quarter, or in red.
//
// It works on the finished frame, whatever made it flash (a glow burning to
// white on a beat, a flash overlay, a cut between a dark and a bright
// camera, a strobing light), and leaves every frame alone that completes no
// transition beyond the budget: outside the seconds that flash, the picture
// is exactly the normal show's. Limiting the glows and flashes at their
// source instead would need a setting per effect and could still miss the
// flashing that no one effect makes (cuts, two effects in turn).
//
// Per frame, from the pixels as drawn:
//   1. the levels of the five regions (luminance and red);
//   2. each of the ten series (region x luminance/red) has a budget of
//      kLimiterTransitions transitions in any second; a transition that
//      would go beyond it is refused, and an upward one (into a flash) also
//      when there would be no room left for the transition back, so that a
//      frame is never held bright. A small flash (a rise of less than
//      kLimiterBigSwing steps) must leave room for one big flash more: the
//      budget goes to the beats that burn the picture white, and the
//      flicker between them is what gets flattened, where darkening it
//      costs little light;
//   3. when a series would make a refused transition, the frame is darkened
//      by a black layer of the least opacity, of a ladder, that keeps every
//      series within its budget. One always does: a refused transition is
//      always upward (a downward one finds room, since the upward one
//      before it left room for it), and a black frame completes no upward
//      transition;
//   4. the levels of the frame as shown are taken into the counters.
// So a flash beyond the budget comes out as a dimmer frame: the picture
// goes on moving, its light rises less, and the series never stands bright
// waiting for room to come back down.
// The limiter's rule is stricter than the meter's (smaller steps, a darker
// bound of 0.85, five transitions a second where the meter allows six), so
// that a video of the frames, its pictures scaled and compressed, still
// measures safe.
//
// Use:
//   FlashLimiter limiter;
//   FrameCorrection c = limiter.decide(seconds, rgb, width, height, 3, every);
//   ...lay c over the frame...
// Time is the show's, seconds since the last frame: less than 0 counts as
// 0 (a jump back), more than 1/15 as 1/15 (a stall, a jump forward, or the
// frames a capture with --only skips), so that the budget never empties
// faster than frames are seen. The frames of a capture with --only are
// decided from the second drawn before each, as in a whole run.
//
// What it does not do: touch OpenGL (the show's FlashGuard draws the
// correction), or look at anything but the frame's levels.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "base/flash_rule.h"

namespace demo {

constexpr int kLimiterTransitions = 5;
constexpr float kLimiterBigSwing = 3.f;
constexpr SwingRule kLimiterLuminanceSwing{0.08f, false, 0.85f};
constexpr SwingRule kLimiterRedSwing{16.f, false, kRedSwing.darkerBelow};

// A black layer of this opacity over the frame, 0 (none) to 255: an 8-bit
// alpha, component c becoming round(c (255 - darken) / 255).
struct FrameCorrection {
  int darken = 0;
};

// The 256 values each component takes under `correction`.
void correctionRemap(const FrameCorrection &correction, uint8_t remap[256]);

class FlashLimiter {
public:
  FlashLimiter();

  // The correction for the next frame, `seconds` after the last one (RGB8
  // pixels as measureLevels takes them), and its levels taken as shown.
  FrameCorrection decide(float seconds, const uint8_t *pixels, int width, int height, int channels = 3,
                         int every = 1);
  // The levels of the last frame as shown.
  const FrameLevels &shown() const { return shown_; }

private:
  struct Series {
    explicit Series(SwingRule swing) : rule(swing), counter(swing) {}
    SwingRule rule;
    SwingCounter counter;
    std::deque<double> transitions; // times of those in the last second
  };
  bool allowed(const FrameLevels &levels) const;
  void take(const FrameLevels &levels);

  std::vector<Series> series_; // kFlashSeries of them (flash_rule.h)
  double now_ = 0.0;
  bool started_ = false;
  FrameLevels shown_;
};

} // namespace demo
