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
// After a stall (a frame long after the previous one: the machine was busy,
// the window was dragged) the next frame runs every step due, however many:
// a step costs a fraction of a millisecond, so even a two-second stall is
// caught up in one frame, and a stall never changes the state a later moment
// (or a jump) finds. Captures, catch-up and live frames all run the same
// steps.
//
// Plain arithmetic, no GL.
#pragma once

#include <cstdint>

namespace demo {

constexpr int kStepsPerSecond = 60;

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
  // run: every one due that has not run yet. A clock that goes back runs
  // none.
  StepRange due(float t) { return through(lastStepDueBy(t)); }
  // The steps from the next one through step `last` (none when `last` has
  // run), counted as run: a catch-up taken in parts.
  StepRange through(int64_t last);
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
