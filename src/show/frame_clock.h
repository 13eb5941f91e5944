// frame_clock.h - the clock values of a drawn frame and the show's end.
//
// FrameClock keeps the time of the frame being drawn, the time of the one
// before it and the difference; Show owns one and callers read it through
// Show's accessors. Plain arithmetic, no GL.
#pragma once

#include "base/show_parts.h"

namespace demo {

constexpr float kShowLength = static_cast<float>(kShowEnd);

// The clock values of the current frame.
struct FrameClock {
  float time = 0.f;
  float previousTime = 0.f;
  float dt = 0.f;

  // Step 5 of a frame: `now` is the timer's value.
  void advance(float now) {
    dt = now - previousTime;
    previousTime = now;
    time = now;
  }
  // Stands still at `t`: no time since the last frame.
  void standAt(float t) {
    time = t;
    previousTime = t;
    dt = 0.f;
  }
};

// Step 3 of a frame: the show is over once the last frame's time reached 265.
inline bool showOver(float time) { return !(time < kShowLength); }

} // namespace demo
