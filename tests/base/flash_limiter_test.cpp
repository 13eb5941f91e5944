// The gentle mode's decisions, with the corrections applied here the way
// the GL pass lays them, and the result measured by the flash meter: what
// flashed too often no longer does, and what did not flash is untouched.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "base/flash_limiter.h"
#include "inspect/flash_meter.h"

namespace demo::test {
namespace {

constexpr int kW = 40, kH = 30;

using Frame = std::vector<uint8_t>;

Frame grey(uint8_t v) { return Frame(static_cast<size_t>(kW) * kH * 3, v); }

// Quarters of their own: top left, top right, bottom left, bottom right.
Frame quarters(uint8_t tl, uint8_t tr, uint8_t bl, uint8_t br) {
  Frame f(static_cast<size_t>(kW) * kH * 3);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const uint8_t v = y < kH / 2 ? (x < kW / 2 ? tl : tr) : (x < kW / 2 ? bl : br);
      for (int c = 0; c < 3; ++c)
        f[(static_cast<size_t>(y) * kW + x) * 3 + c] = v;
    }
  return f;
}

struct Limited {
  FlashReport shown;
  int corrected = 0;
  std::vector<Frame> frames;
};

// `seconds` of frames at `fps` through the limiter, each shown as corrected.
Limited limit(double fps, double seconds, const std::function<Frame(int)> &make) {
  FlashLimiter limiter;
  FlashMeter meter(fps, 0.0);
  Limited run;
  const int count = static_cast<int>(std::lround(fps * seconds));
  for (int n = 0; n < count; ++n) {
    Frame drawn = make(n);
    const FrameCorrection c = limiter.decide(n == 0 ? 0.f : static_cast<float>(1.0 / fps), drawn.data(), kW, kH);
    if (c.darken > 0) {
      uint8_t remap[256];
      correctionRemap(c, remap);
      for (uint8_t &v : drawn)
        v = remap[v];
      ++run.corrected;
    }
    meter.add(measureLevels(drawn.data(), kW, kH), static_cast<size_t>(n));
    run.frames.push_back(drawn);
  }
  run.shown = meter.report();
  return run;
}

TEST(FlashLimiter, StrobesComeOutSafeAtAnyRate) {
  for (double fps : {30.0, 60.0, 144.0})
    for (double hz : {4.0, 6.5, 10.0, 15.0}) {
      const Limited run = limit(fps, 4.0, [&](int n) {
        return static_cast<long>(std::floor(2.0 * hz * n / fps)) % 2 ? grey(255) : grey(0);
      });
      EXPECT_TRUE(run.shown.safe()) << hz << " Hz at " << fps << " fps";
      EXPECT_LE(run.shown.most.whole, 2.5f) << hz << " Hz at " << fps << " fps";
      // Softer and fewer, not gone: the flashes the budget holds stay.
      EXPECT_GE(run.shown.most.whole, 1.5f) << hz << " Hz at " << fps << " fps";
    }
}

TEST(FlashLimiter, WhatDoesNotFlashIsLeftAsDrawn) {
  // A slow fade up and down with a 2 Hz pulse in one quarter: under the
  // limit everywhere, so every frame is shown as drawn.
  const Limited run = limit(60, 4.0, [](int n) {
    const uint8_t fade = static_cast<uint8_t>(127 + 120 * std::sin(n / 60.0));
    const uint8_t pulse = (n / 15) % 2 ? 255 : 0;
    return quarters(pulse, fade, fade, 40);
  });
  EXPECT_EQ(run.corrected, 0);
  EXPECT_TRUE(run.shown.safe());
}

TEST(FlashLimiter, QuartersFlashingAgainstEachOtherComeOutSafe) {
  // Two quarters strobe in opposite phase, 8 Hz: the whole frame's mean
  // stays, each quarter flashes; darkening the frame to stop one quarter's
  // rise deepens the other's fall, which is allowed.
  const Limited run = limit(30, 4.0, [](int n) {
    const bool on = (n * 16 / 30) % 2 != 0;
    return quarters(on ? 255 : 0, on ? 0 : 255, 60, 60);
  });
  EXPECT_TRUE(run.shown.safe());
  EXPECT_GT(run.corrected, 0);
  EXPECT_LE(run.shown.most.quarter, 2.5f);
}

TEST(FlashLimiter, ARedStrobeComesOutSafe) {
  const Limited run = limit(30, 3.0, [](int n) {
    Frame f = grey(0);
    if (n % 2)
      for (size_t i = 0; i < f.size(); i += 3)
        f[i] = 200;
    return f;
  });
  EXPECT_TRUE(run.shown.safe());
  EXPECT_LE(run.shown.most.red, 2.5f);
}

} // namespace
} // namespace demo::test
