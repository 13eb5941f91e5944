#include "platform/timer.h"

#include <chrono>
#include <cmath>

namespace demo {

namespace {
using Clock = std::chrono::steady_clock;

// The process-wide origin of counter time: the first reading any Timer took.
Clock::time_point origin() {
  static const Clock::time_point first = Clock::now();
  return first;
}
} // namespace

Timer::Timer() {
  frequency = static_cast<int64_t>(Clock::period::den) / static_cast<int64_t>(Clock::period::num);
  secondsPerTick = static_cast<float>(1.0 / static_cast<double>(frequency));
  reset();
}

double Timer::now() {
  counter = std::chrono::duration_cast<Clock::duration>(Clock::now() - origin()).count();
  return static_cast<double>(counter) * static_cast<double>(secondsPerTick);
}

void Timer::reset() {
  // The start mark is stored as a float. Rounding it down (never up) keeps
  // elapsed() from starting below zero.
  double start = now();
  float mark = static_cast<float>(start);
  if (static_cast<double>(mark) > start)
    mark = std::nextafter(mark, -INFINITY);
  startTime = mark;
  lastElapsed = 0.f;
}

double Timer::elapsed() {
  double e = now() - static_cast<double>(startTime);
  lastElapsed = static_cast<float>(e);
  return e;
}

} // namespace demo
