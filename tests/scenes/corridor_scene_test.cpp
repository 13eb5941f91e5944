// The corridor scene's arithmetic without GL: the balls and their clock, the
// tint, the dark bands, the bloom, the logo and the bass reactions.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "base/math.h"
#include "scenes/corridor_scene.h"

namespace demo {
namespace {

using Centres = std::array<std::array<float, 3>, 5>;

// tolerance: sin and cos of arguments near 36 lose a few float digits.
void expectBalls(float T, float radius, const Centres &centres, float tolerance = 2e-4f) {
  const std::array<Metaball, 5> balls = corridorBalls(T);
  for (size_t k = 0; k < balls.size(); ++k) {
    SCOPED_TRACE(testing::Message() << "T " << T << " ball " << k + 1);
    EXPECT_NEAR(balls[k].x, centres[k][0], tolerance);
    EXPECT_NEAR(balls[k].y, centres[k][1], tolerance);
    EXPECT_NEAR(balls[k].z, centres[k][2], tolerance);
    EXPECT_NEAR(balls[k].r, radius, 2e-4f);
  }
}

TEST(CorridorBalls, PositionsAndRadiusFollowTheSlowIntroClock) {
  expectBalls(0.f, 5.5f, {{{20, 20, 29}, {29, 20, 20}, {20, 20, 20}, {20, 29, 20}, {20, 20, 29}}});
  expectBalls(10.f, 4.95598f, // g = 2
              {{{28.1837f, 28.7646f, 19.7372f},
                {13.3635f, 28.8690f, 19.4746f},
                {19.4746f, 17.7001f, 17.7001f},
                {19.4746f, 12.8813f, 16.0173f},
                {12.0489f, 12.1558f, 11.0901f}}});
  EXPECT_NEAR(ballRadius(1.5707964f), 6.5f, 1e-5f);
  EXPECT_NEAR(ballRadius(4.712389f), 4.5f, 1e-5f);
}

TEST(CorridorBalls, TheBallClockJumpsAtTheSwitch) {
  EXPECT_FLOAT_EQ(ballClock(35.86f), 0.2f * 35.86f);
  EXPECT_FLOAT_EQ(ballClock(kCorridorSwitch), kCorridorSwitch);
  expectBalls(35.86f, 4.53578f, // g = 7.172
              {{{26.9869f, 21.5370f, 27.6934f},
                {13.8493f, 11.4236f, 12.0155f},
                {12.0155f, 16.7122f, 16.7122f},
                {12.0155f, 24.3965f, 23.0288f},
                {18.1912f, 25.4235f, 17.8819f}}});
  expectBalls(kCorridorSwitch, 4.53318f, // g = T
              {{{11.2986f, 26.8619f, 11.7883f},
                {25.3205f, 19.7863f, 26.7218f},
                {26.7218f, 11.3556f, 11.3556f},
                {26.7218f, 25.1466f, 28.8802f},
                {12.4967f, 19.3595f, 11.7032f}}},
              2e-3f);
  // Scene time crosses it between 19.92 and 19.93 s.
  EXPECT_LT(corridorClock(19.92f), kCorridorSwitch);
  EXPECT_GT(corridorClock(19.93f), kCorridorSwitch);
}

TEST(CorridorTint, WhiteWithoutPulsesEachChannelAtItsOwnRateWithThem) {
  for (float pulse : {0.f, 0.0001f}) {
    const Rgba c = corridorTint(pulse, 4.f);
    EXPECT_TRUE(c.r == 1.f && c.g == 1.f && c.b == 1.f && c.a == 1.f) << pulse;
  }
  // 1 - F (sin(k T) + 1) / 2 with k = 1, 1.337, 1.537.
  const struct {
    float pulse, T, r, g, b;
  } cases[] = {{1.f, 0.f, 0.5f, 0.5f, 0.5f},
               {1.f, 1.5707964f, 0.f, 0.068434f, 0.167580f},
               {1.f, 4.f, 0.878401f, 0.902355f, 0.567387f},
               {2.f, 1.5707964f, -1.f, -0.863131f, -0.664839f}}; // below 0: OpenGL clamps
  for (const auto &k : cases) {
    const Rgba c = corridorTint(k.pulse, k.T);
    EXPECT_NEAR(c.r, k.r, 2e-4f) << k.pulse << " " << k.T;
    EXPECT_NEAR(c.g, k.g, 2e-4f) << k.pulse << " " << k.T;
    EXPECT_NEAR(c.b, k.b, 2e-4f) << k.pulse << " " << k.T;
    EXPECT_EQ(c.a, 1.f);
  }
}

TEST(CorridorBands, ThicknessDistanceAlphaAndScroll) {
  DarkBand b = darkBand(0, 0.f, 0.f); // U = 0, V = 1
  EXPECT_NEAR(b.thickness, 34.78505f, 1e-3f);
  EXPECT_NEAR(b.distance, 8.264463f, 1e-3f);
  EXPECT_NEAR(b.alpha, 6.05f, 1e-3f);
  EXPECT_EQ(b.scroll, 0.f);
  b = darkBand(2, 10.f, 180.f); // thin, far from the edge, faint
  EXPECT_NEAR(b.thickness, 4.120589f, 1e-3f);
  EXPECT_NEAR(b.distance, 618.8388f, 0.1f);
  EXPECT_NEAR(b.alpha, 0.0807965f, 1e-4f);
  EXPECT_FLOAT_EQ(b.scroll, 90.f);
}

TEST(CorridorBands, ABandBeyondTheEdgeGetsHalfAlphaInsteadOfANegativeOne) {
  DarkBand b = darkBand(5, 3.f, 360.f);
  EXPECT_NEAR(b.thickness, 70.75344f, 1e-2f);
  EXPECT_NEAR(b.distance, -13.03304f, 1e-2f);
  EXPECT_EQ(b.alpha, 0.5f);
  b = darkBand(0, 15.707963f, 0.f); // V = 2: the thickest the pair gets
  EXPECT_NEAR(b.distance, -27.73243f, 1e-2f);
  EXPECT_EQ(b.alpha, 0.5f);
}

TEST(CorridorBloomAndLogo, SilenceAndAHardHit) {
  CorridorBloom b = corridorBloom(0.f, 0.f);
  EXPECT_FLOAT_EQ(b.blurGain, 1.f);
  EXPECT_FLOAT_EQ(b.sharp, 0.7f);
  EXPECT_FLOAT_EQ(b.glow, 0.6f);
  b = corridorBloom(0.6f, 1.f);
  EXPECT_FLOAT_EQ(b.blurGain, 1.7f);
  EXPECT_FLOAT_EQ(b.sharp, -0.5f); // black: only the glow is left
  EXPECT_FLOAT_EQ(b.glow, 1.8f);
  // A quiet bin 5 leaves the logo still; 0.1 moves it 28 pixels per unit.
  ScreenPoint p = logoPosition(0.f, 1.f, -1.f);
  EXPECT_TRUE(p.x == -20.f && p.y == 160.f);
  p = logoPosition(0.1f, 1.f, -0.5f);
  EXPECT_NEAR(p.x, -34.f, 1e-3f);
  EXPECT_NEAR(p.y, 188.f, 1e-3f);
}

TEST(CorridorBass, SilenceFliesSlowlyThenFastAndNeverJumps) {
  ShowRandom random;
  const float dt = 1.f / 30.f;
  CorridorBass bass;
  for (int n = 0; n < 1200; ++n) {
    const float time = static_cast<float>(n) * dt, before = bass.travel;
    ASSERT_FALSE(reactToBass(bass, time, dt, 0.f, random)) << "frame " << n;
    const float speed = time > kCorridorFastFlight ? 14.f : 3.f;
    ASSERT_NEAR(bass.travel - before, speed * dt, 1e-4f) << "frame " << n;
  }
  EXPECT_EQ(bass.barPhase, 0.f);
  // The speed changes strictly after 19.97 s; bin 0 then adds itself.
  CorridorBass at, after;
  reactToBass(at, kCorridorFastFlight, 0.1f, 0.f, random);
  reactToBass(after, 20.f, 0.1f, 0.2f, random);
  EXPECT_NEAR(at.travel, 0.3f, 1e-6f);
  EXPECT_NEAR(after.travel, 1.6f, 1e-6f);
}

TEST(CorridorBass, ASteadyBeatJumpsAtMostOncePer50MsAndNeverOnTheFirstFrame) {
  for (float dt : {1.f / 60.f, 1.f / 30.f, 0.01f, 0.2f}) {
    SCOPED_TRACE(testing::Message() << "dt " << dt);
    ShowRandom random(3);
    CorridorBass bass;
    int jumps = 0;
    float lastJump = -1.f;
    for (int n = 0; static_cast<float>(n) * dt < 5.f; ++n) {
      const float time = static_cast<float>(n) * dt;
      if (!reactToBass(bass, time, dt, 0.3f, random))
        continue;
      EXPECT_GT(n, 0);
      if (lastJump >= 0.f) {
        EXPECT_GE(time - lastJump, 0.05f - 1e-5f) << "frame " << n;
      }
      lastJump = time;
      ++jumps;
      // A jump lands in 0..30, then flies on by one frame's slow step.
      EXPECT_GE(bass.travel, 3.f * dt - 1e-5f);
      EXPECT_LE(bass.travel, 30.f + 3.f * dt + 1e-5f);
    }
    // And it jumps as soon as the cooldown allows.
    EXPECT_GT(jumps, static_cast<int>(5.f / std::max(dt, 0.05f + 2.f * dt)) - 2);
    EXPECT_EQ(bass.barPhase, 0.f); // 0.3 is no hit
  }
}

TEST(CorridorBass, AJumpDrawsFromTheShowsGeneratorAndNeedsMoreThanAQuarter) {
  const float r = ShowRandom(11).unit();
  ShowRandom random(11);
  CorridorBass bass;
  bass.jumpCooldown = -0.01f;
  EXPECT_TRUE(reactToBass(bass, 1.f, 0.02f, 0.26f, random));
  EXPECT_FLOAT_EQ(bass.travel, 30.f * r + 3.f * 0.02f);
  EXPECT_NEAR(bass.jumpCooldown, 0.03f, 1e-6f);
  bass.jumpCooldown = -0.01f;
  EXPECT_FALSE(reactToBass(bass, 1.f, 0.02f, 0.25f, random));
}

TEST(CorridorBass, AHardHitPushesTheBandsBy300TimesBinZero) {
  ShowRandom random;
  CorridorBass bass;
  reactToBass(bass, 1.f, 0.02f, 0.6f, random);
  EXPECT_FLOAT_EQ(bass.barPhase, 180.f);
  reactToBass(bass, 1.02f, 0.02f, 0.5f, random); // 0.5 is not a hit
  EXPECT_FLOAT_EQ(bass.barPhase, 180.f);
}

} // namespace
} // namespace demo
