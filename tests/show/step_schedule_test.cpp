// The fixed-rate simulation's clock: which steps a frame runs at any frame
// rate, after a stall and when the clock goes back.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "app/capture.h" // the capture clock
#include "show/step_schedule.h"

namespace demo {
namespace {

// Drives a schedule with a capture clock (frame n at from + n / fps) through
// `seconds` of frames; returns the number of steps each frame ran and checks
// that every step runs once, in order, at the first frame whose time reached
// it.
std::vector<int64_t> stepsPerFrame(int fps, float from, float seconds, StepSchedule &schedule) {
  std::vector<int64_t> counts;
  const size_t frames = captureFrameCount(from, from + seconds, fps);
  for (size_t n = 0; n < frames; ++n) {
    const float t = captureFrameTime(from, fps, n);
    const StepRange range = schedule.due(t);
    if (range.count > 0) {
      EXPECT_LE(stepTime(range.first + range.count - 1), t + 1e-4f) << fps << " fps, frame " << n;
      EXPECT_GT(stepTime(range.first + range.count), t) << fps << " fps, frame " << n;
    }
    counts.push_back(range.count);
  }
  return counts;
}

TEST(StepSchedule, EveryFrameRateRunsTheSameStepsAtTheSameTimes) {
  for (int fps : {24, 30, 60, 144}) {
    StepSchedule schedule;
    const std::vector<int64_t> counts = stepsPerFrame(fps, 0.f, 10.f, schedule);
    int64_t total = 0;
    for (int64_t c : counts)
      total += c;
    // Frame 0 at 0 s runs step 0; the last frame, just before 10 s, runs the
    // steps up to its time.
    const float lastFrame = captureFrameTime(0.f, fps, counts.size() - 1);
    EXPECT_EQ(total, lastStepDueBy(lastFrame) + 1) << fps;
    EXPECT_EQ(schedule.next(), total) << fps;
    EXPECT_EQ(counts.front(), 1) << fps;
    for (size_t n = 1; n < counts.size(); ++n) {
      if (fps == 144) {
        EXPECT_LE(counts[n], 1) << "frame " << n;
      } else {
        const int64_t expected = fps == 60 ? 1 : fps == 30 ? 2 : n % 2 == 1 ? 2 : 3;
        EXPECT_EQ(counts[n], expected) << fps << " fps, frame " << n;
      }
    }
  }
}

TEST(StepSchedule, ASixtyFpsCaptureFromAnyStartRunsOneStepAFrameAtItsOwnTime) {
  for (float from : {0.f, 27.f, 100.3f, 199.5f, 252.41f}) {
    StepSchedule schedule;
    schedule.due(from); // the catch-up
    const size_t frames = captureFrameCount(from, from + 5.f, 60);
    for (size_t n = 1; n < frames; ++n) {
      const float t = captureFrameTime(from, 60, n);
      const StepRange range = schedule.due(t);
      ASSERT_EQ(range.count, 1) << from << " + frame " << n;
      if (from == 0.f || from == 27.f) {
        EXPECT_EQ(stepTime(range.first), t) << from << " + frame " << n;
      }
    }
  }
}

TEST(StepSchedule, AfterAStallAFrameRunsEveryStepDue) {
  StepSchedule schedule;
  schedule.due(1.f);
  const StepRange stalled = schedule.due(3.f);
  EXPECT_EQ(stalled.first, 61);
  EXPECT_EQ(stalled.count, 120);
  EXPECT_EQ(schedule.due(3.f + 1.f / 60.f).count, 1);
}

TEST(StepSchedule, AClockThatGoesBackOrHasNotStartedRunsNothing) {
  StepSchedule schedule;
  EXPECT_EQ(schedule.due(-0.5f).count, 0);
  EXPECT_EQ(schedule.due(0.f).count, 1);
  schedule.due(2.f);
  EXPECT_EQ(schedule.due(1.f).count, 0);
  EXPECT_EQ(schedule.due(2.f).count, 0);
  EXPECT_EQ(schedule.next(), 121);
}

TEST(StepSchedule, GridAndPreviousStep) {
  EXPECT_EQ(lastStepDueBy(-1e-3f), -1);
  EXPECT_EQ(lastStepDueBy(0.f), 0);
  for (int64_t k : {1, 59, 60, 2374, 15899}) {
    EXPECT_EQ(lastStepDueBy(stepTime(k)), k);
    EXPECT_EQ(lastStepDueBy(stepTime(k) - 1e-3f), k - 1);
  }
  EXPECT_EQ(stepLength(0), 0.f);
  EXPECT_NEAR(stepLength(600), 1.f / 60.f, 1e-6f);
  StepSchedule schedule;
  EXPECT_EQ(schedule.previousStepTime(), 0.f);
  schedule.due(0.f);
  EXPECT_EQ(schedule.previousStepTime(), 0.f);
  schedule.due(1.f);
  EXPECT_EQ(schedule.previousStepTime(), stepTime(59));
}

} // namespace
} // namespace demo
