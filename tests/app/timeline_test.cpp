#include "app/timeline.h"

#include <gtest/gtest.h>

#include <cmath>

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

TEST(ClearColour, FlickersDuringTheFirstTenSeconds) {
  ClearColour c = clearColourFor(0.f);
  EXPECT_FLOAT_EQ(c.r, 1.f);
  float p = 1.3f;
  float expected = 1.f + 0.5f * std::sin(3.f * p * p);
  c = clearColourFor(p);
  EXPECT_FLOAT_EQ(c.r, expected);
  EXPECT_FLOAT_EQ(c.g, expected);
  EXPECT_FLOAT_EQ(c.b, expected);
  EXPECT_FLOAT_EQ(c.a, 1.f);
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
  bool sawGrey = false;
  for (float p = 17.81f; p < 19.8f; p += 0.01f) {
    ClearColour c = clearColourFor(p);
    EXPECT_FLOAT_EQ(c.r, 1.f + 0.5f * std::sin(3.f * p * p));
    sawGrey = sawGrey || c.r < 0.9f;
  }
  EXPECT_TRUE(sawGrey);
}

} // namespace
} // namespace demo
