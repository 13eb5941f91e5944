#include "show/step_schedule.h"

#include <algorithm>
#include <cmath>

namespace demo {

namespace {
constexpr double kGrace = 1e-4;
} // namespace

float stepTime(int64_t k) { return static_cast<float>(static_cast<double>(k) / kStepsPerSecond); }

float stepLength(int64_t k) { return k > 0 ? stepTime(k) - stepTime(k - 1) : 0.f; }

int64_t lastStepDueBy(float t) {
  if (!(t >= 0.f)) // before the show, or not a number
    return -1;
  const double until = static_cast<double>(t) + kGrace;
  auto dueBy = [until](int64_t k) { return static_cast<double>(stepTime(k)) <= until; };
  // Far past the end of any show: stay well inside the integer range. The
  // estimate can be one off either way; settle on the grid's own values.
  int64_t k = static_cast<int64_t>(std::floor(std::min(until * kStepsPerSecond, 1e15)));
  while (k >= 0 && !dueBy(k))
    --k;
  while (dueBy(k + 1))
    ++k;
  return k;
}

StepRange StepSchedule::through(int64_t last) {
  StepRange range;
  if (last < next_)
    return range;
  range.first = next_;
  range.count = last - next_ + 1;
  next_ = last + 1;
  return range;
}

float StepSchedule::previousStepTime() const { return stepTime(std::max<int64_t>(next_ - 2, 0)); }

} // namespace demo
