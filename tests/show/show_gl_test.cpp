// The show's frame on llvmpipe: the loading bar, the flashes and fades of the
// timeline, and the closing scene's tiles.
#include "gl_fixture.h"

#include <GL/glew.h>

#include <cmath>
#include <memory>
#include <vector>

#include "show/loading.h"
#include "show/show.h"
#include "show/timeline.h"
#include "gfx/texture.h"
#include "base/data_path.h"
#include "scenes/closing_scene.h"
#include "scenes/final_boxes_scene.h"
#include "show/step_schedule.h"
#include "support/picture_writer.h"
#include "support/test_files.h"

namespace demo::test {
namespace {

class ShowGL : public GLTest {
protected:
  void TearDown() override {
    setDataDirectory("");
    GLTest::TearDown();
  }
};

// The loading pictures of a small data set: a black screen and a white bar.
void writeLoadingPictures(const TempDir &dir) {
  std::vector<uint8_t> black(800 * 600 * 3, 0);
  writeJpeg(dir.file("loadingscreen.jpg"), 800, 600, 3, black, 95);
  std::vector<uint8_t> white(512 * 64 * 4, 255);
  writePng(dir.file("loadingbar.png"), 512, 64, 4, white);
}


TEST_F(ShowGL, LoadingBarGrowsByElevenths) {
  TempDir dir;
  writeLoadingPictures(dir);
  setDataDirectory(dir.path());
  LoadingPictures pictures;
  pictures.bar = std::make_unique<Texture>("data/loadingbar.png", 0);
  pictures.screen = std::make_unique<Texture>("data/loadingscreen.jpg", 0);
  ASSERT_NE(pictures.bar->textureId, 0u);
  for (const LoadingStage &stage : kLoadingStages) {
    drawLoadingFrame(pictures, stage);
    std::vector<uint8_t> frame = readFrame();
    const int y = 265 + 22;
    int lit = 0, first = -1;
    for (int x = 0; x < 800; ++x)
      if (frame[(static_cast<size_t>(y) * 800 + x) * 3] > 127) {
        ++lit;
        if (first < 0)
          first = x;
      }
    EXPECT_NEAR(lit, stage.barWidth, 1.0) << stage.barWidth;
    if (lit > 0) {
      EXPECT_EQ(first, 157);
    }
    // Nothing above or below the bar's 45 rows.
    EXPECT_LT(frame[(static_cast<size_t>(265 + 46) * 800 + 300) * 3], 10);
    EXPECT_LT(frame[(static_cast<size_t>(263) * 800 + 300) * 3], 10);
  }
}

// A hook that says stop ends the loading at its frame: not presented, and
// nothing more drawn or built.
TEST_F(ShowGL, ALoadingHookThatSaysStopEndsTheLoadingAtItsFrame) {
  TempDir dir;
  writeLoadingPictures(dir);
  setDataDirectory(dir.path());
  for (int last : {0, 3}) {
    Show show(glWindow());
    std::vector<int> seen;
    EXPECT_FALSE(show.load([&](int frame) {
      seen.push_back(frame);
      return frame < last;
    }));
    EXPECT_EQ(static_cast<int>(seen.size()), last + 1);
    EXPECT_EQ(seen.back(), last);
    EXPECT_EQ(show.scenes().corridor, nullptr);
  }
}

TEST_F(ShowGL, FlashUpAddsTwoHundredthsAFrameWithoutClearing) {
  glClearColor(0.f, 0.f, 0.f, 1.f);
  glClear(GL_COLOR_BUFFER_BIT);
  for (int i = 0; i < 10; ++i)
    drawFlashUpFrame();
  Rgb p = pixel(400, 300);
  EXPECT_NEAR(p.r, 51, 2); // 10 x 0.02 of 255
}

class ShowFrameGL : public ShowGL {
protected:
  Rgb frameAt(float t) {
    Show show(glWindow());
    const SpectrumSource silence = [](float, Spectrum &) {};
    show.startAt(t - 1.f / 60.f, silence);
    show.frame(t, silence);
    return pixel(400, 300);
  }
};

TEST_F(ShowFrameGL, FlashAtTheCutToTheEventSceneIsWhite) {
  Rgb p = frameAt(118.84f);
  EXPECT_EQ(p.r, 255);
  EXPECT_EQ(p.g, 255);
  EXPECT_EQ(p.b, 255);
}

TEST_F(ShowFrameGL, WhiteOutPeaksAt217Point5) {
  Rgb p = frameAt(217.5f);
  EXPECT_EQ(p.r, 255);
  EXPECT_EQ(p.b, 255);
}

TEST_F(ShowFrameGL, DipToBlackAt158Point4) {
  Rgb p = frameAt(158.4f);
  EXPECT_EQ(p.r, 0);
  EXPECT_EQ(p.g, 0);
  EXPECT_EQ(p.b, 0);
}

TEST_F(ShowFrameGL, FirstSecondsFlickerBetweenWhiteAndGrey) {
  // Frame at 1.3 s cleared with the colour of 1.3 - 1/60 (no scene drawn yet).
  float p = 1.3f - 1.f / 60.f;
  float c = std::min(1.f, 1.f + 0.5f * std::sin(3.f * p * p));
  Rgb rgb = frameAt(1.3f);
  EXPECT_NEAR(rgb.r, c * 255.f, 1.5f);
}

// The closing scene breaking a known picture: four coloured quadrants.
class ClosingGL : public ShowGL {
protected:
  void SetUp() override {
    ShowGL::SetUp();
    screen = std::make_unique<RenderTarget>(800, 600);
    closing = std::make_unique<ClosingScene>();
    glViewport(0, 0, 800, 600);
    glEnable(GL_SCISSOR_TEST);
    const float colours[4][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}};
    for (int q = 0; q < 4; ++q) {
      glScissor((q % 2) * 400, (q / 2) * 300, 400, 300);
      glClearColor(colours[q][0], colours[q][1], colours[q][2], 1.f);
      glClear(GL_COLOR_BUFFER_BIT);
    }
    glDisable(GL_SCISSOR_TEST);
    screen->copyFromScreen();
    closing->useScreen(*screen);
  }
  void renderAt(float a) {
    // As the ending leaves it: blending on, source alpha over, and the clear
    // colour black (the event scene's glow blur leaves it so).
    glClearColor(0.f, 0.f, 0.f, 1.f);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(1.f, 1.f, 1.f, 1.f);
    closing->render(a, 1.f / 60.f, Spectrum{}, random);
  }
  std::unique_ptr<RenderTarget> screen;
  std::unique_ptr<ClosingScene> closing;
  ShowRandom random;
};

TEST_F(ClosingGL, PictureStandsWholeBeforeTheBreak) {
  renderAt(1.f);
  struct Probe {
    int x, y, r, g, b;
  };
  const Probe probes[] = {{100, 100, 255, 0, 0}, {700, 100, 0, 255, 0}, {100, 500, 0, 0, 255}, {700, 500, 255, 255, 0},
                          {5, 5, 255, 0, 0},     {794, 594, 255, 255, 0}};
  for (const Probe &p : probes) {
    Rgb c = pixel(p.x, p.y);
    EXPECT_NEAR(c.r, p.r, 8) << p.x << "," << p.y;
    EXPECT_NEAR(c.g, p.g, 8) << p.x << "," << p.y;
    EXPECT_NEAR(c.b, p.b, 8) << p.x << "," << p.y;
  }
}

TEST_F(ClosingGL, TilesFallApartAfterTheBreak) {
  renderAt(7.f);
  // Nearly two seconds into the break the tiles have fallen a long way: the
  // top of the screen no longer shows the picture's top row.
  Rgb top = pixel(100, 590);
  EXPECT_FALSE(top.b > 200 && top.r < 50) << "the blue quadrant is still in place";
}

TEST_F(ClosingGL, BlackFromNinePointTwoSeconds) {
  for (float a : {9.2f, 10.f, 12.5f}) {
    renderAt(a);
    std::vector<uint8_t> frame = readFrame();
    int maxValue = 0;
    for (uint8_t v : frame)
      maxValue = std::max<int>(maxValue, v);
    EXPECT_EQ(maxValue, 0) << a;
  }
}

TEST_F(ClosingGL, SameTimeSamePicture) {
  renderAt(6.3f);
  std::vector<uint8_t> first = readFrame();
  renderAt(6.3f);
  EXPECT_EQ(first, readFrame());
}

TEST(ClosingScene, GlowGainRisesToOnePointFiveAtTheBreakAndFades) {
  EXPECT_EQ(closingGlowGain(4.7f), 0.f);
  EXPECT_EQ(closingGlowGain(5.06f), 0.f);
  EXPECT_NEAR(closingGlowGain(5.2f), 1.5f, 1e-6f);
  EXPECT_GT(closingGlowGain(8.f), 0.f);
  EXPECT_EQ(closingGlowGain(10.74f), 0.f);
  EXPECT_EQ(closingBreakTime(5.1f), 0.f);
  EXPECT_FLOAT_EQ(closingBreakTime(6.2f), 1.f);
}


// The timeline calling scenes: which scene, with which local time, and the
// final boxes scene's cut list starting over in the quick cuts.
struct RecordingScene : Effect {
  void step(const FrameInput &frame, ShowRandom &) override {
    ++steps;
    lastStepTime = frame.time;
  }
  void restart() override { ++restarts; }
  void draw(const FrameInput &frame) override {
    ++calls;
    lastTime = frame.time;
    lastPulse = frame.pulse;
  }
  int steps = 0;
  int calls = 0;
  int restarts = 0;
  float lastStepTime = -1.f;
  float lastTime = -1.f;
  float lastPulse = -1.f;
};

class TimelineGL : public ShowGL {
protected:
  void SetUp() override {
    ShowGL::SetUp();
    for (auto *slot : {&scenes.logo, &scenes.letters, &scenes.corridor}) {
      auto scene = std::make_unique<RecordingScene>();
      recorders.push_back(scene.get());
      *slot = std::move(scene);
    }
  }
  // Steps and draws the frame at t and returns the one scene called (-1 if
  // none, -2 if several, -3 if the step and the draw went to different
  // scenes or times), in the order logo, letters, corridor.
  int sceneCalledAt(float t) {
    std::vector<int> before, stepsBefore;
    for (RecordingScene *r : recorders) {
      before.push_back(r->calls);
      stepsBefore.push_back(r->steps);
    }
    timeline.step(t, 1.f / 60.f, spectrum, random);
    timeline.draw(t, 1.f / 60.f, spectrum);
    int called = -1;
    for (size_t i = 0; i < recorders.size(); ++i) {
      if (recorders[i]->calls - before[i] != recorders[i]->steps - stepsBefore[i])
        return -3;
      if (recorders[i]->calls != before[i]) {
        if (recorders[i]->lastStepTime != recorders[i]->lastTime)
          return -3;
        called = called == -1 ? static_cast<int>(i) : -2;
      }
    }
    return called;
  }
  float lastTime(int scene) { return recorders[scene]->lastTime; }

  ShowScenes scenes;
  std::vector<RecordingScene *> recorders;
  ShowRandom random;
  // The target's texture needs the context, which the first test of a
  // process opens only here.
  bool contextFirst = (glWindow().makeCurrent(), true);
  RenderTarget screen{800, 600};
  Timeline timeline{scenes, screen};
  Spectrum spectrum;
};

TEST_F(TimelineGL, EachWindowCallsItsSceneWithItsLocalTime) {
  EXPECT_EQ(sceneCalledAt(45.f), 0);
  EXPECT_NEAR(lastTime(0), 45.f - 39.57f, 1e-5f);
  EXPECT_EQ(sceneCalledAt(39.57f), -1); // the exact edge draws no scene
  EXPECT_EQ(sceneCalledAt(10.f), -1);   // a scene not built draws nothing
  EXPECT_EQ(sceneCalledAt(100.f), 1);
  EXPECT_NEAR(lastTime(1), 100.f - 79.14f, 1e-5f);
  EXPECT_EQ(sceneCalledAt(200.f), 2);
  EXPECT_NEAR(lastTime(2), 200.f - 158.4f, 1e-5f);
  EXPECT_EQ(sceneCalledAt(240.f), 0); // the quick cuts' logo runs twice as fast
  EXPECT_NEAR(lastTime(0), (240.f - 237.52f) * 2.f, 1e-4f);
}

// The final boxes run their cut list to its end in their own window; the
// quick cuts' return plays it again from the start and lets it run there.
TEST_F(TimelineGL, QuickCutsReplayTheFinalBoxesCutListFromItsStart) {
  scenes.finalBoxes = std::make_unique<FinalBoxesScene>(); // no files: its cuts still run
  for (int64_t k = lastStepDueBy(217.5f) + 1; stepTime(k) < 237.52f; ++k)
    timeline.step(stepTime(k), stepLength(k), spectrum, random);
  EXPECT_EQ(scenes.finalBoxes->nextCut(), kFinalCutCount);
  timeline.step(238.f, 1.f / 60.f, spectrum, random);
  EXPECT_EQ(scenes.finalBoxes->nextCut(), 0);
  for (int64_t k = lastStepDueBy(247.39f) + 1; stepTime(k) < 252.4f; ++k)
    timeline.step(stepTime(k), stepLength(k), spectrum, random);
  // Five seconds from 217.5 s again: the cuts before 222.5 s, none undone.
  int expected = 0;
  while (kFinalCutList[expected] - kFinalCutLead < 222.5f)
    ++expected;
  EXPECT_EQ(scenes.finalBoxes->nextCut(), expected);
}

// The ending switches the ARB program targets off only where the context has
// them (elsewhere the enums are errors, one printed every frame). Faking the
// extensions away must leave the targets untouched.
TEST_F(TimelineGL, TheEndingDisablesTheArbProgramTargetsOnlyWhereTheContextHasThem) {
  if (!GLEW_ARB_vertex_program || !GLEW_ARB_fragment_program)
    GTEST_SKIP() << "this context has no ARB program targets to check";
  glEnable(GL_VERTEX_PROGRAM_ARB);
  glEnable(GL_FRAGMENT_PROGRAM_ARB);
  __GLEW_ARB_vertex_program = GL_FALSE;
  __GLEW_ARB_fragment_program = GL_FALSE;
  sceneCalledAt(253.f);
  __GLEW_ARB_vertex_program = GL_TRUE;
  __GLEW_ARB_fragment_program = GL_TRUE;
  EXPECT_TRUE(glIsEnabled(GL_VERTEX_PROGRAM_ARB));
  EXPECT_TRUE(glIsEnabled(GL_FRAGMENT_PROGRAM_ARB));
  while (takeGlError() != 0) { // drawing with the targets on and no program bound
  }
  sceneCalledAt(253.f);
  EXPECT_FALSE(glIsEnabled(GL_VERTEX_PROGRAM_ARB));
  EXPECT_FALSE(glIsEnabled(GL_FRAGMENT_PROGRAM_ARB));
  EXPECT_TRUE(noGlError());
}


// The corridor's tint lags the beat by a step: a frame is drawn with the
// pulse level from before its last step's pulses.
TEST_F(TimelineGL, FramesSeeThePulseLevelOfTheStepBefore) {
  const float peak = 198.4f; // the first pulse peaks at 1 here
  const float level = beatPulses(peak);
  ASSERT_GT(level, 0.99f);
  timeline.step(peak, 1.f / 60.f, spectrum, random);
  EXPECT_FLOAT_EQ(timeline.pulseLevel(), level);
  EXPECT_EQ(timeline.drawnPulseLevel(), 0.f);
  timeline.step(peak + 1.f / 60.f, 1.f / 60.f, spectrum, random);
  timeline.draw(peak + 1.f / 60.f, 1.f / 60.f, spectrum);
  EXPECT_FLOAT_EQ(recorders[2]->lastPulse, level);
  EXPECT_GT(timeline.pulseLevel(), level);
}

} // namespace
} // namespace demo::test
