// step_schedule.h - the clock of the fixed-rate simulation.
//
// Everything the show carries from one moment to the next (the water, the
// jelly, the springs, the leaky bass levels, the beat reactions and their
// cooldowns, the timeline's pulse, every random number a scene draws)
// changes only in steps of exactly 1/60 s of show time. Step k stands at show
// time k / 60 (worked out in double precision, rounded to float once), the
// same grid for every run, so the state at a given time does not depend on
// the frame rate, on where the run started or on which frames were drawn.
//
// A drawn frame at clock time t first runs every step due by t that has not
// run yet (none, one or several), then draws from the state. A clock that
// reads exactly the frame times of a 60 fps capture (from + n / 60, rounded
// the same way) runs exactly one step per frame, at the frame's own time.
//
// After a stall (a frame more than half a second after the previous one) a
// live frame runs only the last kMaxStepsPerFrame steps due and skips the
// older ones, so a slow machine never falls further and further behind.
// Captures and catch-up (a run that starts inside the show) never skip.
//
// Plain arithmetic, no GL.
#pragma once

#include <cstdint>

namespace demo {

constexpr int kStepsPerSecond = 60;
// Half a second of show time.
constexpr int64_t kMaxStepsPerFrame = 30;

// The show time of step k.
float stepTime(int64_t k);
// The length of step k: the time since step k - 1 (0 for step 0).
float stepLength(int64_t k);
// The last step due at clock time t: the largest k with stepTime(k) <= t,
// allowing a ten-thousandth of a second for clocks whose times are rounded
// differently from the grid; -1 before the first step.
int64_t lastStepDueBy(float t);

// The steps of one frame: first, first + 1, ..., first + count - 1.
struct StepRange {
  int64_t first = 0;
  int64_t count = 0;
};

class StepSchedule {
public:
  // The steps a frame at clock time t runs, and from now on counts them as
  // run. When more than `cap` are due (cap > 0), only the last `cap` run and
  // the older ones are skipped for good. A clock that goes back runs none.
  StepRange due(float t, int64_t cap = 0);
  // The next step that will run.
  int64_t next() const { return next_; }
  // From the show's start again (a jump back).
  void restart() { next_ = 0; }
  // The show time of the step before the last one run (of the first step
  // while fewer than two have run): what a frame treats as the previous
  // moment of the show.
  float previousStepTime() const;

private:
  int64_t next_ = 0;
};

} // namespace demo
