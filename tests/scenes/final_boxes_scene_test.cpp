// The final boxes scene's decisions without GL: which camera each cut
// selects, when the cuts happen, how fast and how far into its path a shot
// starts, the flash round the cuts and the glow's gain.
#include "scenes/final_boxes_scene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace demo {
namespace {

// The moment cut i happens, and a hair after it.
float cutMoment(int i) { return kFinalCutList[i] - kFinalCutLead; }
float justAfterCut(int i) { return std::nextafter(cutMoment(i), 1e9f); }

std::string cameraOf(const FinalShot &shot) { return kFinalCameraNames[shot.cameraSlot]; }

// Plays the whole list, one frame just after each cut.
void playAllCuts(FinalShot &shot, ShowRandom &random) {
  for (int i = 0; i < kFinalCutCount; ++i)
    ASSERT_TRUE(shot.cut(justAfterCut(i), random)) << i;
}

TEST(FinalShot, StartsOnCamera01AtSpeedOneUntilTheFirstCut) {
  ShowRandom random;
  FinalShot shot;
  EXPECT_FALSE(shot.cut(217.6f, random));
  EXPECT_FALSE(shot.cut(220.31f, random));
  EXPECT_FALSE(shot.cut(cutMoment(0), random)); // the comparison is strict
  EXPECT_EQ(cameraOf(shot), "Camera01");
  EXPECT_EQ(shot.shotSpeed, 1.f);
  EXPECT_EQ(shot.cutIndex, 0);
  // The scene's clock: 0.6 x the time since the scene started.
  for (int frame = 0; frame < 90; ++frame)
    shot.advance(1.f / 30.f);
  EXPECT_NEAR(shot.sceneTime(), 0.6f * 3.f, 1e-4f);
  EXPECT_TRUE(shot.cut(220.32f, random));
  EXPECT_EQ(cameraOf(shot), "Camera02");
}

TEST(FinalShot, EighteenCutsFollowTheCameraListFromItsSecondEntry) {
  ShowRandom random(7);
  FinalShot shot;
  std::vector<std::string> seen;
  for (int i = 0; i < kFinalCutCount; ++i) {
    EXPECT_FALSE(shot.cut(cutMoment(i), random)) << "cut " << i << " came early";
    ASSERT_TRUE(shot.cut(justAfterCut(i), random)) << i;
    EXPECT_EQ(shot.cutIndex, i + 1);
    seen.push_back(cameraOf(shot));
  }
  const std::vector<std::string> expected = {
      "Camera02", "Camera03", "Camera04", "Camera01", "Camera06", "Camera07", "Camera08", "Camera01", "Camera02",
      "Camera03", "Camera04", "Camera01", "Camera06", "Camera07", "Camera08", "Camera01", "Camera02", "Camera03"};
  EXPECT_EQ(seen, expected);
}

TEST(FinalShot, NoCutAfterTheEighteenth) {
  ShowRandom random(7);
  FinalShot shot;
  playAllCuts(shot, random);
  const float speed = shot.shotSpeed, clock = shot.shotClock;
  // The sentinels lie far beyond the show (and beyond any frame time given).
  for (float a : {235.4f, 237.5f, 252.4f, 265.f, 4999.f}) {
    EXPECT_FALSE(shot.cut(a, random)) << a;
  }
  EXPECT_EQ(shot.cutIndex, kFinalCutCount);
  EXPECT_EQ(cameraOf(shot), "Camera03");
  EXPECT_EQ(shot.shotSpeed, speed);
  EXPECT_EQ(shot.shotClock, clock);
}

TEST(FinalShot, AnIndexOutsideTheListNeverCuts) {
  ShowRandom random;
  FinalShot shot;
  shot.cutIndex = kFinalCutEntries;
  EXPECT_FALSE(shot.cut(1e9f, random));
  shot.cutIndex = -1;
  EXPECT_FALSE(shot.cut(1e9f, random));
  EXPECT_EQ(cameraOf(shot), "Camera01");
}

TEST(FinalShot, CloseCutsComeOnConsecutiveFrames) {
  // Entries 9 and 10 are 0.065 s apart; frames of 0.1 s pass both at once.
  ShowRandom random(3);
  FinalShot shot;
  for (int i = 0; i < 9; ++i)
    ASSERT_TRUE(shot.cut(justAfterCut(i), random));
  EXPECT_FALSE(shot.cut(230.1f, random));
  EXPECT_TRUE(shot.cut(230.3f, random)); // past both 230.159 and 230.224
  EXPECT_EQ(shot.cutIndex, 10);
  EXPECT_EQ(cameraOf(shot), "Camera03");
  EXPECT_TRUE(shot.cut(230.4f, random)); // the second one, a frame late
  EXPECT_EQ(shot.cutIndex, 11);
  EXPECT_EQ(cameraOf(shot), "Camera04");
  EXPECT_FALSE(shot.cut(230.5f, random));
}

TEST(FinalShot, OneLongFrameMakesOneCut) {
  ShowRandom random;
  // A frame far past several cuts takes only the next one.
  FinalShot shot;
  EXPECT_TRUE(shot.cut(236.f, random));
  EXPECT_EQ(shot.cutIndex, 1);
  EXPECT_EQ(cameraOf(shot), "Camera02");
}

TEST(FinalShot, RewindPlaysTheListAgainOncePastItsSixthCut) {
  // The quick cuts ask for a rewind every step and call the scene with
  // times from 217.5 s again: a list that has made at most five cuts (the
  // quick cuts' own replay) goes on.
  ShowRandom random(11);
  FinalShot shot;
  for (int i = 0; i < 5; ++i)
    ASSERT_TRUE(shot.cut(justAfterCut(i), random));
  shot.rewind();
  EXPECT_EQ(shot.cutIndex, 5);
  ASSERT_TRUE(shot.cut(justAfterCut(5), random));
  FinalShot sixth = shot;
  sixth.rewind();
  EXPECT_EQ(sixth.cutIndex, 0);
  for (int i = 6; i < kFinalCutCount; ++i)
    ASSERT_TRUE(shot.cut(justAfterCut(i), random));
  shot.rewind();
  EXPECT_EQ(shot.cutIndex, 0);
  // The last shot (Camera03) runs on until the first cut fires again.
  EXPECT_FALSE(shot.cut(217.5f, random));
  EXPECT_FALSE(shot.cut(220.3f, random));
  EXPECT_EQ(cameraOf(shot), "Camera03");
  EXPECT_TRUE(shot.cut(220.32f, random));
  EXPECT_EQ(cameraOf(shot), "Camera02");
  EXPECT_EQ(shot.cutIndex, 1);
  EXPECT_FALSE(shot.cut(222.5f, random));
  EXPECT_TRUE(shot.cut(222.8f, random));
  EXPECT_EQ(cameraOf(shot), "Camera03");
}

TEST(FinalShot, Camera01And08NeverRunSlowerThanOneAndAHalf) {
  ShowRandom random(12345);
  // Cut index 3 and 7 select Camera01, 6 selects Camera08.
  float minFast = 10.f, minOther = 10.f, maxAll = 0.f, minHead = 10.f, maxHead = 0.f;
  int clamped = 0;
  for (int draw = 0; draw < 2000; ++draw) {
    for (int index : {3, 6, 7, 0, 1, 4, 5}) {
      FinalShot shot;
      shot.cutIndex = index;
      ASSERT_TRUE(shot.cut(236.f, random));
      if (finalCameraHasMinimumSpeed(shot.cameraSlot)) {
        minFast = std::min(minFast, shot.shotSpeed);
        clamped += shot.shotSpeed == 1.5f;
      } else {
        minOther = std::min(minOther, shot.shotSpeed);
      }
      maxAll = std::max(maxAll, shot.shotSpeed);
      minHead = std::min(minHead, shot.shotClock);
      maxHead = std::max(maxHead, shot.shotClock);
    }
  }
  EXPECT_EQ(minFast, 1.5f);
  EXPECT_GT(clamped, 1000); // about half of the 6000 draws
  EXPECT_LT(minOther, 0.1f);
  EXPECT_LE(maxAll, 3.f);
  EXPECT_GT(maxAll, 2.9f);
  EXPECT_GE(minHead, 0.f);
  EXPECT_LE(maxHead, 2.f);
  EXPECT_GT(maxHead - minHead, 1.9f);
}

TEST(FinalFlash, IsZeroAwayFromTheCutsAndOneAtALoneCut) {
  EXPECT_EQ(finalCutFlash(218.f), 0.f);
  EXPECT_EQ(finalCutFlash(219.48f), 0.f);
  EXPECT_EQ(finalCutFlash(kFinalCutList[0]), 1.f);
  EXPECT_NEAR(finalCutFlash(kFinalCutList[0] + 0.5f), 0.25f, 1e-4f);
  EXPECT_EQ(finalCutFlash(236.31f), 0.f); // the last cut's flash is over
  EXPECT_EQ(finalGlowColour(finalCutFlash(218.f)), 1.f);
  EXPECT_NEAR(finalGlowColour(finalCutFlash(kFinalCutList[0])), 0.9f, 1e-6f);
}

TEST(FinalFlash, OverlappingCutsAddBeyondOne) {
  // Halfway between entries 9 and 10 both envelopes are near their peak.
  const float a = 0.5f * (kFinalCutList[9] + kFinalCutList[10]);
  const float f = finalCutFlash(a);
  EXPECT_GT(f, 1.f);
  EXPECT_NEAR(f, 2.f * std::pow(1.f - 0.0327f, 2.f), 1e-3f);
  EXPECT_LT(finalGlowColour(f), 0.9f);
  // Entries 14 and 15 lie 0.033 s apart.
  EXPECT_GT(finalCutFlash(kFinalCutList[14]), 1.9f);
}

TEST(FinalGlow, GainIs105InSilenceAndFollowsBandOne) {
  EXPECT_FLOAT_EQ(finalGlowGain(0.f), 1.05f);
  EXPECT_FLOAT_EQ(finalGlowGain(1.f), 1.55f);
  EXPECT_FLOAT_EQ(finalGlowGain(0.2f), 1.15f);
}

} // namespace
} // namespace demo
