// The event scene's arithmetic without GL: which title overlay shows, the
// letterbox, the camera jump's cooldown, the bass ripple, the spike's springs
// and the cube colours.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "scenes/event_scene.h"

namespace demo::test {
namespace {

float justAbove(float x) { return std::nextafter(x, std::numeric_limits<float>::infinity()); }

const float kThresholds[] = {128.7f, 129.13f, 129.68f, 129.91f, 130.37f, 131.15f,
                             131.62f, 132.15f, 132.38f, 132.86f, 133.62f};

TEST(EventTitleIndex, AThresholdItselfStillShowsThePreviousOverlay) {
  EXPECT_EQ(eventTitleIndex(0.f), -1);
  EXPECT_EQ(eventTitleIndex(119.14f), -1); // scene time 0
  for (int k = 0; k < 11; ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(eventTitleIndex(kThresholds[k]), k - 1);
    EXPECT_EQ(eventTitleIndex(justAbove(kThresholds[k])), k);
  }
  EXPECT_EQ(eventTitleIndex(158.4f), 10);
  EXPECT_EQ(eventTitleIndex(1000.f), 10);
}

TEST(EventTitleIndex, TheEndingSpellsUpToSevenLetters) {
  // In the ending scene time runs 0..12.6 again: A reaches about 131.74.
  EXPECT_EQ(eventTitleIndex(eventShowClock(265.f - 252.4f)), 6);
}

TEST(EventLetterbox, NoBarsUpToTheStart) {
  for (float a : {119.14f, 133.62f, 138.26f}) {
    SCOPED_TRACE(a);
    const EventLetterbox box = eventLetterbox(a);
    EXPECT_EQ(box.slide, 0.f);
    EXPECT_EQ(box.barHeight, 0.f);
    EXPECT_EQ(box.viewportY, 0);
    EXPECT_EQ(box.viewportHeight, 600);
    EXPECT_FLOAT_EQ(box.aspect, 800.f / 600.f);
  }
}

TEST(EventLetterbox, BarsGrowAndTheTitleSlidesWhileTheyClose) {
  const EventLetterbox box = eventLetterbox(138.5f); // 40 * 0.24 = 9.6
  EXPECT_NEAR(box.slide, 92.16f, 0.05f);
  EXPECT_NEAR(box.barHeight, 8.64f, 0.01f);
  EXPECT_EQ(box.viewportY, 8);          // truncated
  EXPECT_EQ(box.viewportHeight, 582);   // 582.72 truncated
  EXPECT_NEAR(box.aspect, 800.f / 582.72f, 1e-4f);
  float lastBar = 0.f, lastSlide = 0.f;
  for (float a = 138.27f; a < 139.f; a += 0.01f) {
    const EventLetterbox b = eventLetterbox(a);
    EXPECT_GE(b.barHeight, lastBar);
    EXPECT_GT(b.slide, lastSlide);
    // The picture stays centred: the top bar is at most 2 rows taller.
    const int topBar = 600 - b.viewportY - b.viewportHeight;
    EXPECT_GE(topBar - b.viewportY, 0) << a;
    EXPECT_LE(topBar - b.viewportY, 2) << a;
    lastBar = b.barHeight;
    lastSlide = b.slide;
  }
}

TEST(EventLetterbox, Closed75PixelBarsFrom138_97On) {
  for (float a : {138.97f, 140.f, 148.44f, 158.f, 500.f}) {
    SCOPED_TRACE(a);
    const EventLetterbox box = eventLetterbox(a);
    EXPECT_EQ(box.barHeight, 75.f);
    EXPECT_EQ(box.viewportY, 75);
    EXPECT_EQ(box.viewportHeight, 450);
    EXPECT_FLOAT_EQ(box.aspect, 800.f / 450.f);
    EXPECT_GT(box.slide, 800.f); // the title is off screen
  }
}

TEST(EventOverlay, ShowsOnlyStrictlyAfter148_44) {
  EXPECT_FALSE(eventOverlayShown(148.44f));
  EXPECT_TRUE(eventOverlayShown(justAbove(148.44f)));
  EXPECT_FALSE(eventOverlayShown(eventShowClock(12.6f))); // never in the ending
}

TEST(EventBassJump, NeverOnTheFirstFrame) {
  float cooldown = 0.f;
  EXPECT_FALSE(stepBassJump(cooldown, 1.f, 1.f / 60.f));
  EXPECT_LT(cooldown, 0.f);
  EXPECT_TRUE(stepBassJump(cooldown, 1.f, 1.f / 60.f));
}

TEST(EventBassJump, OnlyAboveThe0_45Threshold) {
  float cooldown = -1.f;
  EXPECT_FALSE(stepBassJump(cooldown, 0.45f, 0.01f));
  EXPECT_FALSE(stepBassJump(cooldown, 0.f, 0.01f));
  EXPECT_FLOAT_EQ(cooldown, -1.02f); // counts down whether or not it jumps
  EXPECT_TRUE(stepBassJump(cooldown, justAbove(0.45f), 0.01f));
  EXPECT_FLOAT_EQ(cooldown, 0.04f);
}

TEST(EventBassJump, ConstantBassJumpsAtMostOncePer0_05Seconds) {
  for (float dt : {1.f / 60.f, 0.01f, 0.003f, 0.2f}) {
    SCOPED_TRACE(dt);
    float cooldown = 0.f, lastJump = -1.f;
    int jumps = 0;
    for (int frame = 0; frame < 400; ++frame) {
      const float t = frame * dt;
      if (stepBassJump(cooldown, 0.9f, dt)) {
        if (lastJump >= 0.f) {
          EXPECT_GE(t - lastJump, 0.05f - 1e-4f);
          EXPECT_LE(t - lastJump, std::max(0.05f, dt) + dt + 1e-4f); // and it does come back
        }
        lastJump = t;
        ++jumps;
      }
    }
    EXPECT_GT(jumps, 1);
  }
}

TEST(EventBassLevel, IsALeakySumOfTheTwoLowestBins) {
  EXPECT_EQ(nextBassLevel(0.f, 0.f, 0.f), 0.f);
  EXPECT_FLOAT_EQ(nextBassLevel(1.f, 0.25f, 0.5f), 1.4f);
  float level = 0.f;
  for (int frame = 0; frame < 200; ++frame)
    level = nextBassLevel(level, 0.5f, 0.f);
  EXPECT_NEAR(level, 2.f, 1e-4f); // the fixed point of 0.8 (0.5 + b)
  for (int frame = 0; frame < 200; ++frame)
    level = nextBassLevel(level, 0.f, 0.f);
  EXPECT_NEAR(level, 0.f, 1e-6f);
}

TEST(EventSpike, TipsLagAndTheTargetTurnsAboutZThenSways) {
  EXPECT_EQ(eventSpikeLag(Vec3{0.f, 0.f, 0.f}), 0.f);
  EXPECT_NEAR(eventSpikeLag(Vec3{30.f, 0.f, 40.f}), 1.f, 1e-6f); // (0.02 * 50)^1.2
  // w = 0 and ph = W - lag = 0: every angle and the sway are zero.
  const Vec3 rest{3.f, -7.f, 11.f};
  const Vec3 same = eventSpikeTarget(rest, 2.f, 0.f, 2.f);
  EXPECT_FLOAT_EQ(same.x, rest.x);
  EXPECT_FLOAT_EQ(same.y, rest.y);
  EXPECT_FLOAT_EQ(same.z, rest.z);
  // ph = pi / 10.6 turns z by 90 degrees the helper's way round,
  // (x, y) -> (y, -x), before the sway is added.
  const float ph = 3.14159265f / 10.6f;
  const Vec3 t = eventSpikeTarget(Vec3{10.f, 0.f, 4.f}, 0.5f, 0.f, ph + 0.5f);
  EXPECT_NEAR(t.x, 0.f + 55.f * std::sin(ph), 1e-3f);
  EXPECT_NEAR(t.y, -10.f + 55.f * std::sin(1.2f * ph), 1e-3f);
  EXPECT_NEAR(t.z, 4.f + 55.f * std::sin(1.3f * ph), 1e-3f);
}

TEST(EventSpring, AVertexWithAStillTargetSettlesAbout1_087BelowIt) {
  const Vec3 target{5.f, 20.f, -3.f};
  Vec3 p{-40.f, 60.f, 10.f}, v{2.f, 0.f, -1.f};
  for (int frame = 0; frame < 2000; ++frame)
    eventSpringStep(p, v, target);
  EXPECT_NEAR(p.x, target.x, 1e-3f);
  EXPECT_NEAR(p.z, target.z, 1e-3f);
  EXPECT_NEAR(target.y - p.y, 0.1f / 0.092f, 1e-3f);
  EXPECT_NEAR(v.y, 0.f, 1e-5f);
}

// A 256 x 32 picture, dark except where set.
struct Picture {
  int width, height;
  std::vector<uint8_t> pixels;
  Picture(int w, int h, uint8_t fill = 0) : width(w), height(h), pixels(static_cast<size_t>(w) * h * 3, fill) {}
  void set(int row, int column, uint8_t r, uint8_t g, uint8_t b) {
    uint8_t *p = &pixels[(static_cast<size_t>(row) * width + column) * 3];
    p[0] = r, p[1] = g, p[2] = b;
  }
  EventRgb colour(int j, float w) const { return eventCubeColour(pixels, j, w); }
};

bool sameColour(EventRgb a, EventRgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }
const EventRgb kLight{200, 200, 200};

TEST(EventCubeColour, BrightMeansMoreThan500AndGivesABluishGrey) {
  Picture map(256, 32);
  map.set(0, 0, 167, 167, 167); // 501
  map.set(0, 1, 200, 200, 100); // 500
  map.set(1, 0, 255, 255, 255);
  EXPECT_TRUE(sameColour(map.colour(0, 0.f), EventRgb{120, 120, 140}));
  EXPECT_TRUE(sameColour(map.colour(1, 0.f), kLight));
  EXPECT_TRUE(sameColour(map.colour(2, 0.f), kLight));
  // Row j / 32: cube 32 is row 1, column 0.
  EXPECT_TRUE(sameColour(map.colour(32, 0.f), EventRgb{120, 120, 140}));
  // 140 + trunc(9 sin w), truncated towards zero both ways. w = 1: 7.57;
  // w = 4: -6.81. floor(10 w) = 10 and 40 move the window; set those columns.
  map.set(0, 10, 255, 255, 255);
  map.set(0, 40, 255, 255, 255);
  EXPECT_TRUE(sameColour(map.colour(0, 1.f), EventRgb{120, 120, 147}));
  EXPECT_TRUE(sameColour(map.colour(0, 4.f), EventRgb{120, 120, 134}));
}

// At detail 2 a cell is 2 x 2 pixels of a 512-pixel row and their mean is
// its colour: a cell half ink is not bright, one with a dark corner may be,
// and the cell after it is read from the right rows.
TEST(EventCubeColour, AtDetailTwoACellIsTheMeanOfItsFourPixels) {
  Picture map(512, 64);
  auto fillCell = [&](int row, int column, uint8_t level) {
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 2; ++x)
        map.set(2 * row + y, 2 * column + x, level, level, level);
  };
  fillCell(0, 0, 255);
  map.set(1, 1, 0, 0, 0); // mean 3 x 765 / 4 = 573.75
  map.set(0, 2, 255, 255, 255);
  map.set(0, 3, 255, 255, 255); // cell 1: top half ink, mean 382.5
  fillCell(1, 0, 255);          // cube 32: row 1
  const EventRgb bright{120, 120, 140};
  EXPECT_TRUE(sameColour(eventCubeColour(map.pixels, 0, 0.f, 2), bright));
  EXPECT_TRUE(sameColour(eventCubeColour(map.pixels, 1, 0.f, 2), kLight));
  EXPECT_TRUE(sameColour(eventCubeColour(map.pixels, 32, 0.f, 2), bright));
  // Read as detail 1, the same bytes are a different map.
  EXPECT_TRUE(sameColour(eventCubeColour(map.pixels, 1, 0.f, 1), bright));
  // A cell reaching past the bytes is dark.
  std::vector<uint8_t> cut(map.pixels.begin(), map.pixels.begin() + 3 * 512 + 3);
  EXPECT_TRUE(sameColour(eventCubeColour(cut, 0, 0.f, 2), kLight));
}

TEST(EventCubeColour, TheWindowScrollsTenColumnsPerUnitAndWrapsAt224) {
  EXPECT_EQ(eventCubeColumn(0, 0.f), 0);
  EXPECT_EQ(eventCubeColumn(31, 0.f), 31);
  EXPECT_EQ(eventCubeColumn(32, 0.f), 0);  // next row, same column
  EXPECT_EQ(eventCubeColumn(5, 0.19f), 6); // floor(1.9) = 1
  EXPECT_EQ(eventCubeColumn(31, 20.05f), 7); // (31 + 200) mod 224
  EXPECT_EQ(eventCubeColumn(0, 22.4f), 0);
  // Columns 224..255 are never shown.
  Picture map(256, 32);
  for (int row = 0; row < 32; ++row)
    for (int column = 224; column < 256; ++column)
      map.set(row, column, 255, 255, 255);
  for (float w = 0.f; w < 30.f; w += 0.1f)
    for (int j = 0; j < 1024; ++j)
      ASSERT_TRUE(sameColour(map.colour(j, w), kLight)) << j << " at " << w;
}

TEST(EventCubeColour, ANegativeViewTimeStillPicksAColumnOfTheWindow) {
  for (float w : {-0.05f, -1.f, -22.4f, -1000.f}) {
    for (int j : {0, 31, 1023}) {
      const int c = eventCubeColumn(j, w);
      EXPECT_GE(c, 0) << w;
      EXPECT_LT(c, 224) << w;
    }
  }
  EXPECT_EQ(eventCubeColumn(0, -0.05f), 223); // floor(-0.5) = -1
}

TEST(EventCubeColour, AMapOfAnotherWidthIsReadInRowsOf256WithinItsBytes) {
  // 300 wide: cube 32 (row 1, column 0) reads byte 3 * 256, which is the
  // picture's own row 0, column 256, not its row 1.
  Picture wide(300, 32);
  wide.set(1, 0, 255, 255, 255);
  EXPECT_TRUE(sameColour(wide.colour(32, 0.f), kLight));
  wide.set(0, 256, 255, 255, 255);
  EXPECT_TRUE(sameColour(wide.colour(32, 0.f), EventRgb{120, 120, 140}));
  // 300 x 2, all bright: 600 pixels hold map rows 0 and 1 and 88 pixels of
  // row 2; cubes past them are light, and nothing past the bytes is read.
  Picture shallow(300, 2, 255);
  EXPECT_TRUE(sameColour(shallow.colour(2 * 32 + 31, 0.f), EventRgb{120, 120, 140})); // pixel 543
  EXPECT_TRUE(sameColour(shallow.colour(2 * 32, 9.f), kLight));                          // pixel 602
  EXPECT_TRUE(sameColour(shallow.colour(1023, 0.f), kLight));
  for (float w = 0.f; w < 23.f; w += 0.5f)
    for (int j = 0; j < 1024; ++j)
      (void)shallow.colour(j, w); // the sanitizers watch the reads
  // Fewer bytes than a whole pixel, and no picture at all.
  std::vector<uint8_t> shortBytes(10, 255);
  EXPECT_TRUE(sameColour(eventCubeColour(shortBytes, 2, 0.f), EventRgb{120, 120, 140}));
  EXPECT_TRUE(sameColour(eventCubeColour(shortBytes, 3, 0.f), kLight));
  EXPECT_TRUE(sameColour(eventCubeColour({}, 0, 0.f), kLight));
}

TEST(EventTitlePosition, StillAtTheSlideWhenSilentAndShakingWithTheBass) {
  const EventTitlePosition still = eventTitlePosition(0.f, 92.16f, 1.f, -1.f);
  EXPECT_EQ(still.x, 92.16f);
  EXPECT_EQ(still.y, 235.f);
  // Up to 20 pixels per unit of bin 0; the first random value moves y.
  const EventTitlePosition shaken = eventTitlePosition(0.5f, 10.f, -1.f, 0.5f);
  EXPECT_FLOAT_EQ(shaken.x, 15.f);
  EXPECT_FLOAT_EQ(shaken.y, 225.f);
}

} // namespace
} // namespace demo::test
