// The water scene's decisions without GL: which camera and camera time a
// local time gives, the framing of each camera segment and the three drops.
#include "scenes/water_scene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace demo {
namespace {

TEST(WaterSceneShot, CameraOneRunsOnTheLocalTimeUntilTheCut) {
  WaterShot shot = waterShotAt(0.f);
  EXPECT_EQ(shot.camera, WaterCamera::Camera01);
  EXPECT_EQ(shot.u, 0.f);
  EXPECT_FLOAT_EQ(shot.sceneTime, 0.1f);

  shot = waterShotAt(10.f);
  EXPECT_EQ(shot.camera, WaterCamera::Camera01);
  EXPECT_EQ(shot.u, 10.f);
  EXPECT_FLOAT_EQ(shot.sceneTime, 2.1f);

  const float justBefore = std::nextafter(19.72f, 0.f);
  shot = waterShotAt(justBefore);
  EXPECT_EQ(shot.camera, WaterCamera::Camera01);
  EXPECT_EQ(shot.u, justBefore);
}

TEST(WaterSceneShot, CameraThreeStartsAtTheCutWithCameraTimeTwo) {
  WaterShot shot = waterShotAt(19.72f);
  EXPECT_EQ(shot.camera, WaterCamera::Camera03);
  EXPECT_NEAR(shot.u, 2.f, 1e-5f);
  EXPECT_NEAR(shot.sceneTime, 0.5f, 1e-5f);
  EXPECT_EQ(shot.h, 0.f);

  shot = waterShotAt(39.5f); // the last frames of the first visit
  EXPECT_EQ(shot.camera, WaterCamera::Camera03);
  EXPECT_NEAR(shot.u, 21.78f, 1e-4f);

  shot = waterShotAt(std::nextafter(100.f, 0.f));
  EXPECT_EQ(shot.camera, WaterCamera::Camera03);
}

TEST(WaterSceneShot, CameraFiveStartsAtOneHundredWithCameraTimeZero) {
  const WaterShot shot = waterShotAt(100.f);
  EXPECT_EQ(shot.camera, WaterCamera::Camera05);
  EXPECT_EQ(shot.h, 0.f);
  EXPECT_EQ(shot.u, 0.f);
  EXPECT_FLOAT_EQ(shot.sceneTime, 0.1f);
  EXPECT_EQ(waterFlashAlpha(shot.u), 0.f);
  EXPECT_FALSE(waterFadeDrawn(shot.h));
}

TEST(WaterSceneShot, CameraFiveJumpsBackAtHTenAndThenRunsBackwards) {
  WaterShot shot = waterShotAt(109.9f);
  EXPECT_NEAR(shot.u, 24.75f, 1e-4f);

  shot = waterShotAt(110.f); // h = 10: still forwards, at the peak
  EXPECT_EQ(shot.h, 10.f);
  EXPECT_EQ(shot.u, 25.f);
  EXPECT_FLOAT_EQ(shot.sceneTime, 5.1f);

  shot = waterShotAt(std::nextafter(110.f, 200.f));
  EXPECT_NEAR(shot.u, 16.f, 1e-4f);
  EXPECT_NEAR(shot.sceneTime, 3.3f, 1e-4f);
  EXPECT_LT(shot.u, 16.f);

  // 30 - 1.4 h from then on: the camera time falls.
  EXPECT_NEAR(waterShotAt(115.f).u, 9.f, 1e-4f);
  EXPECT_NEAR(waterShotAt(119.77f).u, 2.322f, 1e-3f);
  EXPECT_GT(waterShotAt(112.f).u, waterShotAt(113.f).u);
  // The quick cuts replay the forward run from the start.
  EXPECT_NEAR(waterShotAt(104.94f).u, 12.35f, 1e-4f);
}

TEST(WaterSceneFraming, LetterboxAndVeilAtTheCutToCameraThree) {
  EXPECT_NEAR(waterLetterboxHeight(2.f), 0.15f, 1e-6f);
  EXPECT_NEAR(waterVeilAlpha(2.f), 0.4f, 1e-6f);
  // The bars grow towards 0.3; the veil has cleared by a = 21.05.
  EXPECT_GT(waterLetterboxHeight(20.f), 0.28f);
  EXPECT_LT(waterLetterboxHeight(1000.f), 0.3f);
  EXPECT_LT(waterVeilAlpha(waterShotAt(21.05f).u), 0.5f / 255.f);
  EXPECT_LT(waterVeilAlpha(5.f), 0.f); // negative: OpenGL clamps it
}

TEST(WaterSceneFraming, FlashRisesToTheTurnOfCameraFive) {
  EXPECT_EQ(waterFlashAlpha(24.5f), 0.f);
  EXPECT_NEAR(waterFlashAlpha(24.75f), 0.25f, 1e-6f);
  EXPECT_EQ(waterFlashAlpha(25.f), 1.f);
  // After the jump back to 16 it is gone.
  EXPECT_EQ(waterFlashAlpha(waterShotAt(110.05f).u), 0.f);
}

TEST(WaterSceneFraming, FadeToBlackOnlyOnTheWayBack) {
  // Forwards past h = 5 u is above 12.5, far from the fade's range.
  EXPECT_FALSE(waterFadeDrawn(5.f));
  EXPECT_TRUE(waterFadeDrawn(5.01f));
  EXPECT_EQ(waterFadeAlpha(waterShotAt(105.01f).u), 0.f);
  EXPECT_EQ(waterFadeAlpha(waterShotAt(118.5f).u), 0.f);
  EXPECT_GT(waterFadeAlpha(waterShotAt(118.7f).u), 0.f);
  EXPECT_LT(waterFadeAlpha(waterShotAt(119.2f).u), 1.f);
  EXPECT_GE(waterFadeAlpha(waterShotAt(119.3f).u), 1.f); // black
}

TEST(WaterSceneDrops, SixDrawsAFrameSizeThenYThenX) {
  float draws[7];
  ShowRandom expected(12345);
  for (float &r : draws)
    r = expected.unit();

  const Spectrum silence{};
  ShowRandom random(12345);
  const WaterDrops drops = nextWaterDrops(0.f, 3.f, silence, random);
  EXPECT_EQ(drops.rain.radius, (draws[0] + 0.75f) * 0.03f);
  EXPECT_EQ(drops.rain.y, draws[1]);
  EXPECT_EQ(drops.rain.x, draws[2]);
  EXPECT_EQ(drops.large.radius, (draws[3] + 0.75f) * 0.09f);
  EXPECT_EQ(drops.large.y, draws[4]);
  EXPECT_EQ(drops.large.x, draws[5]);
  EXPECT_EQ(random.unit(), draws[6]); // the music drop draws nothing
  EXPECT_EQ(drops.rain.strength, 0.025f);
  EXPECT_EQ(drops.large.strength, 0.01f);
  // The size range of each: r1 = 0 and r1 = 1.
  EXPECT_NEAR(waterRainDrop(0.f, 0.f, 0.f).radius, 0.0225f, 1e-7f);
  EXPECT_NEAR(waterRainDrop(1.f, 0.f, 0.f).radius, 0.0525f, 1e-7f);
  EXPECT_NEAR(waterLargeDrop(0.f, 0.f, 0.f).radius, 0.0675f, 1e-7f);
  EXPECT_NEAR(waterLargeDrop(1.f, 0.f, 0.f).radius, 0.1575f, 1e-7f);
}

TEST(WaterSceneDrops, MusicDropStillLandsInSilence) {
  // In silence it circles the middle of the pool a quarter of the pool away,
  // moving smoothly, never still, and lands softly but never with nothing.
  const Spectrum silence{};
  float weakest = 1.f, strongest = 0.f, xLow = 1.f, xHigh = 0.f, yLow = 1.f, yHigh = 0.f;
  WaterDrop last = waterMusicDrop(0.f, 0.f, silence);
  for (int n = 0; n <= 3000; ++n) {
    const float u = 0.01f * static_cast<float>(n);
    const WaterDrop drop = waterMusicDrop(0.f, u, silence);
    ASSERT_FLOAT_EQ(drop.radius, 0.05f) << u;
    ASSERT_NEAR(std::hypot(drop.x - 0.5f, drop.y - 0.5f), 0.25f, 1e-5f) << u;
    ASSERT_LE(std::hypot(drop.x - last.x, drop.y - last.y), 0.25f * 0.0101f) << u;
    ASSERT_GT(drop.strength, 0.f) << u;
    ASSERT_LT(drop.strength, 0.15f) << u;
    ASSERT_LE(std::abs(drop.strength - last.strength), 0.001f) << u;
    weakest = std::min(weakest, drop.strength);
    strongest = std::max(strongest, drop.strength);
    xLow = std::min(xLow, drop.x);
    xHigh = std::max(xHigh, drop.x);
    yLow = std::min(yLow, drop.y);
    yHigh = std::max(yHigh, drop.y);
    last = drop;
  }
  // All the way round, and its strength swells and fades.
  EXPECT_LT(xLow, 0.26f);
  EXPECT_GT(xHigh, 0.74f);
  EXPECT_LT(yLow, 0.26f);
  EXPECT_GT(yHigh, 0.74f);
  EXPECT_GT(strongest, 2.f * weakest);
}

TEST(WaterSceneDrops, LowBandsWidenStrengthenAndPushTheMusicDrop) {
  Spectrum spectrum;
  spectrum[0] = 100.f / 670.f; // softClamp gives 0.45
  spectrum[1] = 1.f;           // softClamp(100) = 0.45
  WaterDrop drop = waterMusicDrop(1.f, 0.f, spectrum);
  EXPECT_NEAR(drop.radius, 0.095f, 1e-6f);
  EXPECT_NEAR(drop.strength, 0.5f * 1.6f, 1e-5f);
  EXPECT_NEAR(drop.x, 0.5f + 0.25f * std::sin(1.f), 1e-6f);
  EXPECT_NEAR(drop.y, 0.5f + 0.25f * std::cos(3.f), 1e-6f);

  // Saturates: never wider than 0.14, never stronger than 0.95 x 2.6.
  spectrum[0] = 1e30f;
  spectrum[1] = 1e30f;
  drop = waterMusicDrop(0.f, 1.9f, spectrum);
  EXPECT_LE(drop.radius, 0.14f);
  EXPECT_LE(drop.strength, 0.95f * 2.6f);
  EXPECT_GT(drop.radius, 0.139f);
}

} // namespace
} // namespace demo
