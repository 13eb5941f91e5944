// The letter scene drawn with the baked data set, frame after frame as the
// timeline calls it (30 frames a second), since the jelly, the beat and the
// credit picture carry state from frame to frame.
#include "scenes/letter_scene.h"

#include <GL/glew.h>

#include <cmath>

#include "gl_fixture.h"
#include "scene/view.h"

namespace demo::test {
namespace {

constexpr double kFrame = 1.0 / 30.0;

class LetterSceneGL : public BakedDataGLTest {
protected:
  ShowRandom random_; // the show's generator, fresh for each test

  // One frame as the main loop runs it: clear, sphere maps off, the scene.
  void frame(LetterScene &scene, float a, float dt, const Spectrum &spectrum) {
    glClearColor(1.f, 1.f, 1.f, 1.f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    disableSphereMap();
    scene.render(a, dt, spectrum, random_);
  }

  // Mean of (r + g + b) / 3 over the whole frame, 0 to 255.
  double meanLuminance() { return meanBrightness(readFrame()) / 3.0; }
};

bool isIdentity(GLenum matrix) {
  float m[16];
  glGetFloatv(matrix, m);
  for (int i = 0; i < 16; ++i)
    if (m[i] != (i % 5 == 0 ? 1.f : 0.f))
      return false;
  return true;
}

// Each run starts 0.23 s before a change of picture (before the flash rises)
// and goes on to 0.23 s after it, one scene all the way, with a beat on every
// sixth frame. The flash frame outshines the frames around it. At 20 s
// exactly the overlay is drawn nowhere, so the flash of that change shows
// from the next frame on; it goes in under the jelly and the glow spreads
// it, so that run goes on until the flash is over (0.63 s).
TEST_F(LetterSceneGL, FlashesAtEachChangeOfPictureOutshineTheFramesAround) {
  LetterScene scene;
  // Everything loaded, every letter found.
  EXPECT_TRUE(scene.squirrelTexture().loaded);
  EXPECT_TRUE(scene.letterEnvTexture().loaded);
  EXPECT_TRUE(scene.jellyEnvTexture().loaded);
  EXPECT_TRUE(scene.borderTexture().loaded);
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(scene.creditTexture(i).loaded) << i;
    EXPECT_TRUE(scene.spareCreditTexture(i).loaded) << i;
    EXPECT_NE(scene.letterNode(i), nullptr) << i;
  }
  EXPECT_NE(scene.torusNode(), nullptr);
  EXPECT_GT(scene.creditTexture(0).width, 0);
  ASSERT_GT(scene.jelly().nodeCount(), 100);
  EXPECT_TRUE(noGlError());

  Spectrum spectrum;
  spectrum[1] = spectrum[2] = spectrum[3] = 0.2f;
  int frameNumber = 0;
  for (double peak : {5.0, 10.0, 15.0, 20.0}) {
    double before = 0.0, atPeak = 0.0, nextFrame = 0.0, after = 0.0;
    const int last = peak < 20.0 ? 7 : 19;
    for (int n = -7; n <= last; ++n) {
      const float a = static_cast<float>(peak + n * kFrame);
      spectrum[0] = ++frameNumber % 6 == 0 ? 0.8f : 0.1f;
      frame(scene, a, static_cast<float>(kFrame), spectrum);
      ASSERT_TRUE(noGlError()) << a;

      // What the scene leaves for the timeline's overlays and the next scene.
      EXPECT_FALSE(glIsEnabled(GL_BLEND)) << a;
      EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << a;
      EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S)) << a;
      EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST)) << a;
      GLboolean depthWrites = GL_FALSE;
      glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
      EXPECT_TRUE(depthWrites) << a;
      expectFullScreenViewport();
      const GLint mode = glInteger(GL_MATRIX_MODE);
      if (a < 20.f) {
        // The overlay came last: identity matrices, the projection selected.
        EXPECT_EQ(mode, GL_PROJECTION) << a;
        EXPECT_TRUE(isIdentity(GL_PROJECTION_MATRIX)) << a;
        EXPECT_TRUE(isIdentity(GL_MODELVIEW_MATRIX)) << a;
      } else {
        EXPECT_EQ(mode, GL_MODELVIEW) << a;
        EXPECT_FALSE(isIdentity(GL_PROJECTION_MATRIX)) << a;
      }

      if (n == -7)
        before = meanLuminance();
      else if (n == 0)
        atPeak = meanLuminance();
      else if (n == 1)
        nextFrame = meanLuminance();
      else if (n == last)
        after = meanLuminance();
    }
    const double flash = peak < 20.0 ? atPeak : nextFrame;
    EXPECT_GT(flash, before + 40.0) << "flash at " << peak;
    EXPECT_GT(flash, after + 40.0) << "flash at " << peak;
    if (peak < 20.0) {
      // The whole frame goes white at the peak.
      EXPECT_GT(atPeak, 250.0) << peak;
    } else {
      EXPECT_LT(atPeak, nextFrame - 40.0) << "no overlay at 20 s exactly";
    }
  }
  // The beats after 20 s have kicked the jelly.
  double moved = 0.0;
  for (const JellyNode &node : scene.jelly().nodes())
    moved += std::fabs(node.position.x - node.rest.x) + std::fabs(node.position.y - node.rest.y);
  EXPECT_GT(moved, 1.0);
}

} // namespace
} // namespace demo::test
