// The logo scene's decisions without GL: the turn at 10.2 s, the scene time,
// the glow gain and the bass lift.
#include <gtest/gtest.h>

#include <cmath>

#include "scenes/logo_scene.h"

namespace demo {
namespace {

constexpr float kTurn = 10.2f;
constexpr float kSegmentEnd = 19.8f; // 59.37 - 39.57

// The envelope's share of the gain, without the bass and the base of 0.8.
float glowSwell(float localTime) { return logoGlowGain(localTime, 0.f) - 0.8f; }

TEST(LogoTime, TheTurnItselfStillRunsForwards) {
  EXPECT_EQ(logoLocalTime(kTurn), kTurn);
  EXPECT_NEAR(logoSceneTime(logoLocalTime(kTurn)), 4.08f, 1e-6f);
  // The swell peaks at 1 exactly at the turn.
  EXPECT_NEAR(logoGlowGain(kTurn, 0.f), 1.8f, 1e-6f);
  EXPECT_NEAR(logoGlowGain(kTurn, 0.5f), 1.8f + 0.35f, 1e-6f);
}

TEST(LogoTime, JustPastTheTurnItJumpsBackAndTheSwellIsGone) {
  const float a = std::nextafter(kTurn, 20.f);
  const float local = logoLocalTime(a);
  EXPECT_NEAR(local, 8.82f, 1e-5f);
  EXPECT_NEAR(logoGlowGain(local, 0.f), 0.8f, 1e-6f);
  EXPECT_NEAR(logoGlowGain(local, 0.5f), 0.8f + 0.35f, 1e-6f);
}

TEST(LogoTime, TheSegmentEndsCloseToTheStartingPose) {
  const float local = logoLocalTime(kSegmentEnd);
  EXPECT_NEAR(local, 0.18f, 1e-5f);
  EXPECT_NEAR(logoSceneTime(local), 0.072f, 1e-5f);
}

TEST(LogoTime, AfterTheTurnTimeRunsBackwardsInsideTheFirstHalf) {
  float previous = logoLocalTime(std::nextafter(kTurn, 20.f));
  for (float a = 10.25f; a <= kSegmentEnd; a += 0.05f) {
    const float local = logoLocalTime(a);
    EXPECT_LT(local, previous) << a;
    EXPECT_GT(local, 0.f) << a;
    EXPECT_LT(local, 9.2f) << "the swell must not come back after the turn, at " << a;
    previous = local;
  }
}

// The quick cuts call the scene with (t - 237.52) x 2 for t < 242.45.
TEST(LogoTime, QuickCutsNeverReachTheTurnAndTheSwellStaysSmall) {
  const float limit = static_cast<float>(std::pow(0.66, 7.0));
  const float lastCut = (std::nextafter(242.45f, 0.f) - 237.52f) * 2.f;
  for (float a : {0.f, 1.f, 9.2f, 9.5f, 9.8f, 9.86f, lastCut}) {
    EXPECT_EQ(logoLocalTime(a), a) << a;
    EXPECT_LT(glowSwell(a), limit) << a;
  }
  EXPECT_GT(glowSwell(9.86f), 0.99f * limit); // close to the bound, not far below it
  EXPECT_EQ(glowSwell(9.2f), 0.f);             // the swell starts one second before the turn
}

TEST(LogoBass, SilenceLeavesTheLogoAtRestAndTheGlowAtItsBase) {
  float level = 0.f;
  for (int frame = 0; frame < 10; ++frame)
    level = logoNextBassLevel(level, 0.f);
  EXPECT_EQ(level, 0.f);
  EXPECT_EQ(logoLift(level), 0.f);
  for (float a : {0.f, 5.f, 9.2f, 10.3f, kSegmentEnd})
    EXPECT_FLOAT_EQ(logoGlowGain(logoLocalTime(a), 0.f), 0.8f) << a;
}

TEST(LogoBass, TheLevelIsALeakySumThatSettlesAtFourTimesASteadyBand) {
  EXPECT_FLOAT_EQ(logoNextBassLevel(0.f, 1.f), 0.8f);
  EXPECT_FLOAT_EQ(logoNextBassLevel(0.8f, 1.f), 1.44f);
  float level = 0.f;
  for (int frame = 0; frame < 200; ++frame)
    level = logoNextBassLevel(level, 0.5f);
  EXPECT_NEAR(level, 2.f, 1e-5f);
  EXPECT_NEAR(logoLift(level), 38.f, 1e-3f);
  // After the beat it dies away by 0.8 a frame.
  EXPECT_FLOAT_EQ(logoNextBassLevel(level, 0.f), 0.8f * level);
}

} // namespace
} // namespace demo
