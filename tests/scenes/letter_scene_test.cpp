// The letter scene's decisions, without GL: beats and kicks, which credit
// shows when, the flashes, the band colour and the drifting credit picture.
#include "scenes/letter_scene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <vector>

namespace demo::test {
namespace {

constexpr float kFrame = 1.f / 30.f;

Spectrum silence;

// Big separate triangles (edges of 100 and more, so a poke of radius 15 at
// one vertex reaches no other), all facing +z: every vertex normal is (0, 0, 1).
EbrMesh farTriangles(int count) {
  std::vector<Vec3> positions;
  std::vector<uint32_t> indices;
  for (int i = 0; i < count; ++i) {
    const float x = 1000.f * static_cast<float>(i);
    positions.push_back({x, 0.f, 0.f});
    positions.push_back({x + 100.f, 0.f, 0.f});
    positions.push_back({x, 100.f, 0.f});
    for (uint32_t k = 0; k < 3; ++k)
      indices.push_back(static_cast<uint32_t>(3 * i) + k);
  }
  EbrMesh mesh;
  EXPECT_TRUE(mesh.addPart("far", positions, std::vector<float>(2 * positions.size(), 0.f), indices));
  return mesh;
}

// ---- Beats -------------------------------------------------------------------

TEST(LetterBeat, LoudLowBandEveryFrameMovesLastKickAtMostEveryTenthOfASecond) {
  for (float fps : {30.f, 60.f, 144.f, 1000.f}) {
    LetterMotion motion;
    std::vector<float> beats;
    for (int n = 1; n * (1.f / fps) < 3.f; ++n) {
      const float a = n * (1.f / fps);
      const float before = motion.lastKick;
      motion.beat(a, 1.f);
      if (motion.lastKick != before) {
        EXPECT_EQ(motion.lastKick, a);
        beats.push_back(a);
      }
    }
    ASSERT_GE(beats.size(), 2u) << fps;
    // The first beat needs more than 0.1 s since the start (lastKick 0).
    EXPECT_GT(beats[0], 0.1f) << fps;
    for (size_t i = 1; i < beats.size(); ++i)
      EXPECT_GT(beats[i] - beats[i - 1], 0.1f) << fps << " beat " << i;
    // ... and no more than one frame later than that.
    for (size_t i = 1; i < beats.size(); ++i)
      EXPECT_LE(beats[i] - beats[i - 1], 0.1f + 1.f / fps + 1e-4f) << fps << " beat " << i;
  }
}

TEST(LetterBeat, BothThresholdsAreStrict) {
  LetterMotion motion;
  EXPECT_EQ(motion.beat(5.f, 0.6f), 0);
  EXPECT_EQ(motion.lastKick, 0.f);
  EXPECT_EQ(motion.beat(5.f, 0.61f), 0);
  EXPECT_EQ(motion.lastKick, 5.f);
  motion.lastKick = 0.f;
  EXPECT_EQ(motion.beat(0.1f, 1.f), 0); // exactly 0.1 s after: not yet
  EXPECT_EQ(motion.lastKick, 0.f);
}

TEST(LetterBeat, KicksOnlyAfterTwentySecondsAndThenThree) {
  LetterMotion motion;
  EXPECT_EQ(motion.beat(19.9f, 1.f), 0); // the aim still jumps
  EXPECT_EQ(motion.lastKick, 19.9f);
  EXPECT_EQ(motion.beat(20.f, 1.f), 0); // not after 20 yet
  EXPECT_EQ(motion.lastKick, 20.f);
  EXPECT_EQ(motion.beat(20.05f, 1.f), 0); // too soon after the last
  EXPECT_EQ(motion.lastKick, 20.f);
  EXPECT_EQ(motion.beat(20.2f, 1.f), LetterMotion::kKicksPerBeat);
  EXPECT_EQ(LetterMotion::kKicksPerBeat, 3);
  EXPECT_EQ(motion.beat(20.25f, 0.2f), 0); // quiet
}

TEST(LetterBeat, SilenceNeverBeatsNorTurns) {
  LetterMotion motion;
  motion.spin = 12.5f;
  for (int n = 1; n < 40 * 30; ++n) {
    motion.turn(kFrame, 0.f);
    EXPECT_EQ(motion.beat(n * kFrame, 0.f), 0);
  }
  EXPECT_EQ(motion.spin, 12.5f);
  EXPECT_EQ(motion.lastKick, 0.f);
  motion.turn(kFrame, 0.4f);
  EXPECT_GT(motion.spin, 12.5f);
}

TEST(LetterBeat, TheLowBandTurnsTheWorldAsFarInASecondAtAnyFrameRate) {
  auto turnFor = [](float seconds, float fps, float low) {
    LetterMotion motion;
    for (int n = 0; n < static_cast<int>(seconds * fps + 0.5f); ++n)
      motion.turn(1.f / fps, low);
    return motion.spin;
  };
  const float at30 = turnFor(1.f, 30.f, 0.4f);
  EXPECT_GT(at30, 0.f);
  for (float fps : {60.f, 144.f, 1000.f})
    EXPECT_NEAR(turnFor(1.f, fps, 0.4f), at30, 1e-3f * at30) << fps;
  // Louder turns further, and going on turns further still.
  EXPECT_GT(turnFor(1.f, 60.f, 0.8f), at30);
  EXPECT_GT(turnFor(2.f, 60.f, 0.4f), at30);
}

TEST(LetterKicks, ThreeKicksPokeTheNodesTheGeneratorPicks) {
  EbrMesh mesh = farTriangles(7); // 21 nodes
  JellyMesh jelly(mesh);
  ASSERT_EQ(jelly.nodeCount(), 21);
  ASSERT_FLOAT_EQ(jelly.nodes()[4].normal.z, 1.f);

  ShowRandom expected(77);
  std::vector<int> picks;
  for (int i = 0; i < 3; ++i)
    picks.push_back(expected.next() % 21);
  const int next = expected.next();

  ShowRandom random(77);
  kickJelly(jelly, 3, random);
  EXPECT_EQ(random.next(), next); // exactly three draws
  for (int n = 0; n < 21; ++n) {
    int times = 0;
    for (int p : picks)
      times += p == n;
    // A poke at a node's own position: h = 15, along 350 x (0, 0, 1).
    const JellyNode &node = jelly.nodes()[n];
    EXPECT_FLOAT_EQ(node.velocity.z, 15.f * 350.f * times) << n;
    EXPECT_EQ(node.velocity.x, 0.f) << n;
    EXPECT_EQ(node.velocity.y, 0.f) << n;
  }
}

TEST(LetterKicks, NoKicksOrNoNodesTouchNothing) {
  EbrMesh mesh = farTriangles(2);
  JellyMesh jelly(mesh);
  const int first = ShowRandom(5).next();
  ShowRandom random(5);
  kickJelly(jelly, 0, random);
  EXPECT_EQ(random.next(), first);
  for (const JellyNode &node : jelly.nodes())
    EXPECT_EQ(node.velocity.z, 0.f);

  // A jelly whose mesh did not load: no division by its zero node count.
  EbrMesh empty;
  JellyMesh none(empty);
  ShowRandom untouched(5);
  kickJelly(none, 3, untouched);
  EXPECT_EQ(untouched.next(), first);
}

// ---- Credits, flashes, bands -------------------------------------------------

TEST(LetterCredits, EachPictureShowsFiveSecondsThenNone) {
  EXPECT_EQ(letterCreditIndex(0.f), 0);
  EXPECT_EQ(letterCreditIndex(4.99f), 0);
  EXPECT_EQ(letterCreditIndex(5.f), 1);
  EXPECT_EQ(letterCreditIndex(9.99f), 1);
  EXPECT_EQ(letterCreditIndex(10.f), 2);
  EXPECT_EQ(letterCreditIndex(15.f), 3);
  EXPECT_EQ(letterCreditIndex(19.99f), 3);
  EXPECT_EQ(letterCreditIndex(20.f), -1);
  EXPECT_EQ(letterCreditIndex(39.7f), -1);
  // Never an index outside the four pictures.
  EXPECT_EQ(letterCreditIndex(-2.f), 0);
  EXPECT_EQ(letterCreditIndex(-5.f), -1);
  EXPECT_EQ(letterCreditIndex(std::nanf("")), -1);
}

TEST(LetterCredits, OverlayGoesOnTopBeforeTwentyUnderTheJellyAfterAndNowhereAtTwenty) {
  EXPECT_EQ(letterOverlayPlace(0.f), LetterOverlayPlace::OnTop);
  EXPECT_EQ(letterOverlayPlace(19.99f), LetterOverlayPlace::OnTop);
  EXPECT_EQ(letterOverlayPlace(20.f), LetterOverlayPlace::None);
  EXPECT_EQ(letterOverlayPlace(20.01f), LetterOverlayPlace::BeforeJelly);
  EXPECT_EQ(letterOverlayPlace(39.7f), LetterOverlayPlace::BeforeJelly);
}

TEST(LetterFlash, PeaksAtEachChangeOfPictureAndIsGoneBetween) {
  for (float peak : {5.f, 10.f, 15.f, 20.f}) {
    EXPECT_FLOAT_EQ(letterFlash(peak), 1.f) << peak;
    EXPECT_EQ(letterFlash(peak - 0.21f), 0.f) << peak;    // 0.2 s up
    EXPECT_NEAR(letterFlash(peak - 0.1f), 0.125f, 1e-5f) << peak;
    EXPECT_NEAR(letterFlash(peak + 0.3f), 0.125f, 1e-5f) << peak; // 0.6 s down, cubic
    EXPECT_EQ(letterFlash(peak + 0.61f), 0.f) << peak;
  }
  EXPECT_EQ(letterFlash(0.f), 0.f);
  EXPECT_EQ(letterFlash(12.f), 0.f);
  EXPECT_EQ(letterFlash(25.f), 0.f);
}

bool sameColour(const LetterColour &x, const LetterColour &y) {
  return x.r == y.r && x.g == y.g && x.b == y.b && x.a == y.a;
}

TEST(LetterBands, FaintOpaqueGreyBeforeTwentyWhateverTheMusic) {
  Spectrum loud;
  loud.bins.fill(1.f);
  const LetterColour grey = letterBandColour(0.f, silence);
  EXPECT_GT(grey.r, 0.f);
  EXPECT_LT(grey.r, 0.2f); // faint: the bands add onto the picture
  EXPECT_EQ(grey.g, grey.r);
  EXPECT_EQ(grey.b, grey.r);
  EXPECT_EQ(grey.a, 1.f);
  for (float a : {19.99f, 0.f, 7.3f})
    for (const Spectrum *s : {&silence, &loud})
      EXPECT_TRUE(sameColour(letterBandColour(a, *s), grey)) << a;
}

TEST(LetterBands, AfterTwentyBinsOneToThreeEachBrightenOneChannel) {
  const LetterColour quiet = letterBandColour(20.01f, silence);
  const LetterColour grey = letterBandColour(19.99f, silence);
  // In silence the bands turn blue at 20 s; red and green carry on as they were.
  EXPECT_EQ(quiet.r, grey.r);
  EXPECT_EQ(quiet.g, grey.g);
  EXPECT_GT(quiet.b, grey.b);
  EXPECT_EQ(quiet.a, 1.f);

  Spectrum s;
  s[0] = 1.f; // the low band and everything above bin 3 leave the bands alone
  for (int bin = 4; bin < kSpectrumBins; ++bin)
    s[bin] = 1.f;
  EXPECT_TRUE(sameColour(letterBandColour(20.01f, s), quiet));

  float own[3] = {};
  for (int bin = 1; bin <= 3; ++bin) {
    Spectrum one;
    one[bin] = 0.5f;
    const LetterColour c = letterBandColour(20.01f, one);
    const float rises[3] = {c.r - quiet.r, c.g - quiet.g, c.b - quiet.b};
    for (int channel = 0; channel < 3; ++channel) {
      if (channel == bin - 1)
        EXPECT_GT(rises[channel], 0.f) << "bin " << bin;
      else
        EXPECT_EQ(rises[channel], 0.f) << "bin " << bin << " channel " << channel;
    }
    own[bin - 1] = rises[bin - 1];
    EXPECT_EQ(c.a, 1.f);
  }
  // Red answers its bin more gently than green and blue answer theirs.
  EXPECT_LT(own[0], 0.5f * own[1]);
  EXPECT_FLOAT_EQ(own[1], own[2]);
}

TEST(LetterBands, ALouderBinNeverDarkensNorJumps) {
  // From silence to full, a hundredth at a time: each channel only grows, by
  // at most about as much as its bin did, and stays short of 1.5.
  Spectrum s;
  LetterColour last = letterBandColour(25.f, s);
  for (int n = 1; n <= 100; ++n) {
    s[1] = s[2] = s[3] = 0.01f * static_cast<float>(n);
    const LetterColour c = letterBandColour(25.f, s);
    const float rises[3] = {c.r - last.r, c.g - last.g, c.b - last.b};
    for (float rise : rises) {
      EXPECT_GE(rise, 0.f) << n;
      EXPECT_LE(rise, 0.0101f) << n;
    }
    EXPECT_LT(std::max({c.r, c.g, c.b}), 1.5f) << n;
    last = c;
  }
}

TEST(LetterBands, ColourDependsOnTheHalfAndTheMusicNotOnTheFrameRate) {
  // Within each half the time alone never changes the colour, so at 30, 60
  // or 144 frames a second the bands look the same at the same moment.
  Spectrum s;
  s[1] = 0.4f;
  s[2] = 0.2f;
  s[3] = 0.7f;
  const LetterColour first = letterBandColour(0.f, s);
  const LetterColour second = letterBandColour(20.01f, s);
  for (float fps : {30.f, 60.f, 144.f}) {
    for (int n = 0; n * (1.f / fps) < 39.7f; ++n) {
      const float a = n * (1.f / fps);
      if (a == 20.f)
        continue; // no overlay at all
      ASSERT_TRUE(sameColour(letterBandColour(a, s), a < 20.f ? first : second)) << fps << " " << a;
    }
  }
}

// ---- The drifting credit picture ---------------------------------------------

TEST(LetterSprite, StartsInTheCornerAndEasesOnlyOnceTheLowBandPassesThreeTenths) {
  ShowRandom random;
  LetterMotion motion;
  Spectrum s;
  s[0] = 0.3f; // not above
  motion.moveSprite(kFrame, s, 256.f, 128.f, random);
  EXPECT_EQ(motion.spriteTarget.x, 0.f);
  EXPECT_EQ(motion.spritePos.x, 0.f);
  EXPECT_EQ(motion.spritePos.y, 0.f);

  s[0] = 0.31f;
  motion.moveSprite(kFrame, s, 256.f, 128.f, random);
  // The picture eases before it is given the new target: still in the corner.
  EXPECT_EQ(motion.spritePos.x, 0.f);
  EXPECT_EQ(motion.spritePos.y, 0.f);
  const Vec3 target = motion.spriteTarget;
  EXPECT_GE(target.x, 0.f);
  EXPECT_LE(target.x, 800.f - 256.f);
  EXPECT_GE(target.y, 0.f);
  EXPECT_LE(target.y, 600.f - 128.f);
  EXPECT_GT(target.x + target.y, 0.f);

  // Silence: it glides straight towards that target, part of the way a frame.
  motion.moveSprite(kFrame, silence, 256.f, 128.f, random);
  const float moved = std::hypot(motion.spritePos.x, motion.spritePos.y);
  EXPECT_GT(moved, 0.f);
  EXPECT_LT(moved, 0.5f * std::hypot(target.x, target.y));
  EXPECT_NEAR(motion.spritePos.x * target.y, motion.spritePos.y * target.x, 1e-2f); // on the line
  for (int n = 0; n < 300; ++n)
    motion.moveSprite(kFrame, silence, 256.f, 128.f, random);
  EXPECT_EQ(motion.spriteTarget.x, target.x);
  EXPECT_EQ(motion.spriteTarget.y, target.y);
  EXPECT_NEAR(motion.spritePos.x, target.x, 0.01f);
  EXPECT_NEAR(motion.spritePos.y, target.y, 0.01f);
}

TEST(LetterSprite, Bin1JittersUpToFiveTimesItsLevelRightAndUp) {
  LetterMotion motion;
  Spectrum s;
  s[1] = 2.f;
  ShowRandom random(3);
  for (int n = 0; n < 100; ++n) {
    const Vec3 before = motion.spritePos;
    motion.moveSprite(0.f, s, 256.f, 128.f, random); // dt 0: no easing
    EXPECT_GE(motion.spritePos.x - before.x, 0.f);
    EXPECT_LE(motion.spritePos.x - before.x, 10.f);
    EXPECT_GE(motion.spritePos.y - before.y, 0.f);
    EXPECT_LE(motion.spritePos.y - before.y, 10.f);
  }
  EXPECT_NEAR(motion.spritePos.x / 100.f, 5.f, 1.5f);
  EXPECT_NEAR(motion.spritePos.y / 100.f, 5.f, 1.5f);
}

} // namespace
} // namespace demo::test
