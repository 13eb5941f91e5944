#include "show/timeline.h"
#include "scenes/effect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace demo {
namespace {

TEST(Envelope, RampsAreQuadraticWithExponentTwo) {
  EXPECT_DOUBLE_EQ(envelope(10, 1, 2, 2, 9.5f), 0.25);
  EXPECT_DOUBLE_EQ(envelope(10, 1, 2, 2, 11.f), 0.25);
}

TEST(Envelope, ZeroOutsideTheWindow) {
  EXPECT_EQ(envelope(10, 1, 2, 2, 8.9f), 0.0);
  EXPECT_EQ(envelope(10, 1, 2, 1, 12.f), 0.0);
  EXPECT_EQ(envelope(10, 1, 2, 1, 12.01f), 0.0);
  EXPECT_EQ(envelope(10, 1, 2, 3, -100.f), 0.0);
}

TEST(Envelope, PeaksAtTheCentreAndStartsAtTheAttackEdge) {
  EXPECT_EQ(envelope(118.84f, 1, 3, 3, 118.84f), 1.0);
  EXPECT_EQ(envelope(10, 1, 2, 2, 9.f), 0.0); // the rising edge starts at 0
  EXPECT_NEAR(envelope(217.5f, 8, 5, 3, 213.5f), 0.125, 1e-6);
  EXPECT_NEAR(envelope(217.5f, 8, 5, 3, 220.f), std::pow(0.5, 3), 1e-6);
}

TEST(Envelope, BaseIsSinglePrecision) {
  // 1 - (centre - t) / attack rounded to float before the power.
  float centre = 198.4f, t = 198.3f;
  float base = 1.f - (centre - t) / 0.25f;
  EXPECT_EQ(envelope(centre, 0.25f, 0.5f, 2, t), static_cast<double>(static_cast<float>(std::pow(double(base), 2.0))));
}

// The flicker's samples, one a millisecond over [from, to).
std::vector<ClearColour> clearColours(float from, float to) {
  std::vector<ClearColour> colours;
  for (int i = 0; from + 0.001f * static_cast<float>(i) < to; ++i)
    colours.push_back(clearColourFor(from + 0.001f * static_cast<float>(i)));
  return colours;
}

// How often the brightness turns round (from rising to falling or back) over
// [from, to): twice a period of the flicker.
int clearColourTurns(float from, float to) {
  const std::vector<ClearColour> c = clearColours(from, to);
  int turns = 0;
  float lastStep = 0.f; // the last step that moved it
  for (size_t i = 1; i < c.size(); ++i) {
    const float step = c[i].r - c[i - 1].r;
    if (step == 0.f)
      continue;
    turns += step * lastStep < 0.f;
    lastStep = step;
  }
  return turns;
}

float clearColourRange(float from, float to) {
  float low = 10.f, high = -10.f;
  for (const ClearColour &c : clearColours(from, to)) {
    low = std::min(low, c.r);
    high = std::max(high, c.r);
  }
  return high - low;
}

TEST(ClearColour, StartsWhite) {
  const ClearColour c = clearColourFor(0.f);
  EXPECT_FLOAT_EQ(c.r, 1.f);
  EXPECT_FLOAT_EQ(c.g, 1.f);
  EXPECT_FLOAT_EQ(c.b, 1.f);
  EXPECT_EQ(c.a, 1.f);
}

TEST(ClearColour, IsAlwaysAnOpaqueGreyBetweenHalfAndOneAndAHalf) {
  for (const ClearColour &c : clearColours(0.f, 265.f)) {
    ASSERT_GE(c.r, 0.5f);
    ASSERT_LE(c.r, 1.5f);
    ASSERT_EQ(c.g, c.r);
    ASSERT_EQ(c.b, c.r);
    ASSERT_EQ(c.a, 1.f);
  }
}

TEST(ClearColour, WhiteEverywhereOutsideTheTwoWindows) {
  for (const ClearColour &c : clearColours(10.f, 17.8f))
    ASSERT_EQ(c.r, 1.f);
  for (const ClearColour &c : clearColours(19.8f, 265.f))
    ASSERT_EQ(c.r, 1.f);
}

TEST(ClearColour, NeverHoldsStillInsideTheFirstWindow) {
  // Up to its last half second: the flicker runs right to the window's edge.
  for (float from = 0.f; from < 9.9f; from += 0.5f)
    EXPECT_GT(clearColourRange(from, from + 0.5f), 0.25f) << from;
}

TEST(ClearColour, FlickerSpeedsUpThroughTheFirstWindow) {
  const int early = clearColourTurns(1.f, 2.f);
  const int middle = clearColourTurns(5.f, 6.f);
  const int late = clearColourTurns(8.f, 9.f);
  EXPECT_GE(early, 1);
  EXPECT_GT(middle, early);
  EXPECT_GT(late, middle);
}

TEST(ClearColour, WhiteBetweenTheFlickers) {
  for (float p : {10.f, 12.f, 17.8f, 19.8f, 100.f, 264.9f}) {
    ClearColour c = clearColourFor(p);
    EXPECT_EQ(c.r, 1.f) << p;
    EXPECT_EQ(c.g, 1.f) << p;
    EXPECT_EQ(c.b, 1.f) << p;
  }
}

TEST(ClearColour, FlickersAgainStrictlyInsideTheSecondWindow) {
  for (float from = 17.81f; from < 19.7f; from += 0.25f)
    EXPECT_GT(clearColourRange(from, from + 0.25f), 0.25f) << from;
  // Faster than the first window ever got, and faster in its second half.
  EXPECT_GT(clearColourTurns(17.8f, 18.8f), clearColourTurns(9.f, 10.f));
  EXPECT_GT(clearColourTurns(18.8f, 19.8f), clearColourTurns(17.8f, 18.8f));
}

TEST(Schedule, WindowEdgesDrawNoScene) {
  for (float edge : {39.57f, 59.37f, 79.14f, 118.84f, 158.4f, 217.5f, 237.52f, 252.4f})
    EXPECT_EQ(scheduleAt(edge).slot, Slot::None) << edge;
}

TEST(Schedule, EachWindowGetsItsSceneAndLocalTime) {
  struct Case {
    float t;
    Slot slot;
    float local;
    bool returning;
  };
  // Every scene's time starts at 0 with its window; only the water's second
  // visit is on its return path.
  const Case cases[] = {
      {0.f, Slot::Water, 0.f, false},          {39.56f, Slot::Water, 39.56f, false},
      {39.58f, Slot::Logo, 0.01f, false},      {59.36f, Slot::Logo, 19.79f, false},
      {59.38f, Slot::Water, 0.01f, true},      {79.13f, Slot::Water, 19.76f, true},
      {79.15f, Slot::Letters, 0.01f, false},   {118.85f, Slot::Event, 0.01f, false},
      {158.41f, Slot::Corridor, 0.01f, false}, {217.51f, Slot::FinalBoxes, 0.01f, false},
      {237.51f, Slot::FinalBoxes, 20.01f, false},
  };
  for (const Case &c : cases) {
    ScheduledCall call = scheduleAt(c.t);
    EXPECT_EQ(call.slot, c.slot) << c.t;
    EXPECT_NEAR(call.localTime, c.local, 2e-5f) << c.t;
    EXPECT_EQ(call.returning, c.returning) << c.t;
  }
  EXPECT_EQ(scheduleAt(237.53f).slot, Slot::QuickCuts);
  EXPECT_EQ(scheduleAt(252.41f).slot, Slot::Ending);
  EXPECT_EQ(scheduleAt(300.f).slot, Slot::Ending);
}

TEST(Schedule, QuickCutsRunLogoTwiceAsFastThenWaterThenFinalBoxes) {
  EXPECT_EQ(quickCutAt(237.53f).slot, Slot::Logo);
  EXPECT_NEAR(quickCutAt(242.44f).localTime, 9.84f, 1e-3f);
  EXPECT_EQ(quickCutAt(242.45f).slot, Slot::Water); // 242.45 itself belongs to the water
  EXPECT_EQ(quickCutAt(242.45f).localTime, 0.f);
  EXPECT_TRUE(quickCutAt(242.45f).returning); // on its return path, as in its second visit
  EXPECT_NEAR(quickCutAt(247.38f).localTime, 4.93f, 1e-3f);
  EXPECT_EQ(quickCutAt(247.39f).slot, Slot::FinalBoxes);
  EXPECT_EQ(quickCutAt(247.39f).localTime, 0.f); // the final boxes start over
  EXPECT_FALSE(quickCutAt(247.39f).returning);
  EXPECT_NEAR(quickCutAt(252.39f).localTime, 5.f, 1e-3f);
}

TEST(Flashes, QuickCutFlashPeaksAtTheLastThreeCuts) {
  EXPECT_EQ(quickCutFlash(240.f), 0.0);
  EXPECT_DOUBLE_EQ(quickCutFlash(242.45f), 1.0);
  EXPECT_DOUBLE_EQ(quickCutFlash(247.39f), 1.0);
  EXPECT_NEAR(quickCutFlash(251.9f), 0.25, 1e-4);
}

TEST(Flashes, WhiteAndBlackOverlaysFollowTheirEnvelopes) {
  EXPECT_DOUBLE_EQ(whiteOverlay(118.84f), 1.0);
  EXPECT_DOUBLE_EQ(whiteOverlay(217.5f), 1.0);
  EXPECT_EQ(whiteOverlay(117.8f), 0.0);
  EXPECT_GT(whiteOverlay(121.8f), 0.0);
  EXPECT_EQ(whiteOverlay(121.85f), 0.0);
  EXPECT_EQ(whiteOverlay(209.49f), 0.0);
  EXPECT_GT(whiteOverlay(222.4f), 0.0);
  EXPECT_EQ(whiteOverlay(222.6f), 0.0);
  EXPECT_DOUBLE_EQ(blackOverlay(158.4f), 1.0);
  EXPECT_EQ(blackOverlay(155.39f), 0.0);
  EXPECT_EQ(blackOverlay(160.41f), 0.0);
}

TEST(BeatPulses, NothingBefore198Point15AndNothingAfter211) {
  EXPECT_EQ(beatPulses(198.14f), 0.f);
  EXPECT_GT(beatPulses(198.2f), 0.f);
  EXPECT_FLOAT_EQ(beatPulses(198.4f), 1.f);
  EXPECT_EQ(beatPulses(211.f), 0.f); // the window is open at both ends
  EXPECT_EQ(beatPulses(212.f), 0.f);
  EXPECT_GT(beatPulses(210.65f), 0.99f);
}

TEST(BeatPulses, PulseLevelOnlyGrowsAndDependsOnTheFrameRate) {
  auto run = [](float fps) {
    float level = 0.f;
    for (float t = 190.f; t < 230.f; t += 1.f / fps) {
      float before = level;
      level += beatPulses(t);
      EXPECT_GE(level, before);
    }
    return level;
  };
  float at60 = run(60.f), at30 = run(30.f);
  EXPECT_GT(at60, 0.f);
  EXPECT_NEAR(at60 / at30, 2.f, 0.05f);
}

} // namespace
} // namespace demo
