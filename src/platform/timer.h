// timer.h - the show's clock: seconds since the timer was started.
//
// Timer reads std::chrono::steady_clock. The live show runs on the music's
// own clock; a Timer drives it where no music plays (reset when the music
// would have started, and at every pause and jump), and times the frames for
// the frame rate the viewer's time line shows. It never reads the music's
// playback position.
//
// The fields keep the show's single-precision choices (a float tick length and
// a float start mark). elapsed() subtracts the float start mark from the full
// precision reading, so the result stays fine-grained; the counter counts from
// the first clock reading of the process, which keeps counter time small and
// the float start mark's rounding far below a millisecond.
#pragma once

#include <cstdint>

namespace demo {

class Timer {
public:
  Timer();

  // Counter time in seconds (the tick count times the float tick length).
  double now();
  // Starts the clock again from now.
  void reset();
  // Seconds since the last reset; never negative, never decreasing.
  double elapsed();

  int64_t counter = 0;        // last clock reading, in ticks
  int64_t frequency = 0;      // ticks per second
  float secondsPerTick = 0.f; // 1 / frequency
  float startTime = 0.f;      // start mark, seconds of counter time
  float lastElapsed = 0.f;    // what elapsed() returned last
};

} // namespace demo
