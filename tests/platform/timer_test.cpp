#include "platform/timer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace demo {
namespace {

TEST(Timer, FirstElapsedIsNearZeroAndNeverNegative) {
  for (int i = 0; i < 1000; ++i) {
    Timer timer;
    double e = timer.elapsed();
    ASSERT_GE(e, 0.0);
    ASSERT_LT(e, 0.01);
  }
}

TEST(Timer, ReadingsNeverDecreaseAndDifferencesAreFrameTimes) {
  Timer timer;
  double previous = timer.elapsed();
  for (int i = 0; i < 10000; ++i) {
    double now = timer.elapsed();
    ASSERT_GE(now, previous);
    previous = now;
  }
  double before = timer.elapsed();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  double dt = timer.elapsed() - before;
  EXPECT_GT(dt, 0.019);
  EXPECT_LT(dt, 0.5);
}

TEST(Timer, ElapsedIsStoredAsLastElapsed) {
  Timer timer;
  std::this_thread::sleep_for(std::chrono::milliseconds(2));
  double e = timer.elapsed();
  EXPECT_EQ(timer.lastElapsed, static_cast<float>(e));
}

TEST(Timer, ResetStartsAgainFromZero) {
  Timer timer;
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_GT(timer.elapsed(), 0.029);
  timer.reset();
  double e = timer.elapsed();
  EXPECT_GE(e, 0.0);
  EXPECT_LT(e, 0.01);
}

TEST(Timer, TickLengthIsTheFloatOfOneOverFrequency) {
  Timer timer;
  EXPECT_GT(timer.frequency, 1000); // sub-millisecond resolution
  EXPECT_EQ(timer.secondsPerTick, static_cast<float>(1.0 / static_cast<double>(timer.frequency)));
}

} // namespace
} // namespace demo
