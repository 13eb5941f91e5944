// The logo scene drawn with the baked data: the tunnel behind the card, the
// bass lift, the red line of text, the glow at the turn, the state a frame
// leaves, and a data set without its scene file.
#include <gtest/gtest.h>

#include <GL/glew.h>
#include <GL/glu.h>

#include <memory>
#include <string>
#include <vector>

#include "gl_fixture.h"
#include "base/data_path.h"
#include "scenes/logo_scene.h"
#include "support/test_files.h"

namespace demo::test {
namespace {

const Spectrum kSilence{};

class LogoSceneGL : public BakedDataGLTest {
protected:
  ShowRandom random_; // the show's generator, fresh for each test

  // One scene for the whole suite: loading it is the slow part. Every test
  // restarts it (bass level 0); the fixture loads identity matrices, as
  // the frame before the segment leaves them.
  static LogoScene &scene() {
    static std::unique_ptr<LogoScene> shared;
    if (!shared)
      shared = std::make_unique<LogoScene>();
    return *shared;
  }
};

// Mean of r + g + b over the pixels of the left and right 80-pixel strips,
// where the card never reaches at these times.
double sideBrightness(const std::vector<uint8_t> &frame) {
  double sum = 0.0;
  int count = 0;
  for (int y = 0; y < 600; y += 6)
    for (int x : {4, 20, 40, 60, 76, 724, 740, 760, 780, 796}) {
      const uint8_t *p = &frame[(static_cast<size_t>(y) * 800 + x) * 3];
      sum += p[0] + p[1] + p[2];
      ++count;
    }
  return sum / count;
}

// Mean of r + g + b over every seventh pixel of the frame.
double sampledBrightness(const std::vector<uint8_t> &frame) {
  double sum = 0.0;
  for (size_t i = 0; i < frame.size(); i += 3 * 7)
    sum += frame[i] + frame[i + 1] + frame[i + 2];
  return sum / static_cast<double>(frame.size() / (3 * 7));
}

// The strongly red pixels: how many, and their mean row (0 at the bottom).
struct RedPixels {
  int count = 0;
  double meanRow = 0.0;
};

RedPixels redPixels(const std::vector<uint8_t> &frame) {
  RedPixels red;
  double rows = 0.0;
  for (int y = 0; y < 600; y += 2)
    for (int x = 0; x < 800; x += 2) {
      const uint8_t *p = &frame[(static_cast<size_t>(y) * 800 + x) * 3];
      if (p[0] > 170 && p[1] < 90 && p[2] < 90) {
        ++red.count;
        rows += y;
      }
    }
  if (red.count > 0)
    red.meanRow = rows / red.count;
  return red;
}

TEST_F(LogoSceneGL, TheTunnelShowsBehindTheCardFromTheSecondFrameOn) {
  LogoScene &logo = scene();
  logo.restart();
  // The first frame inherits identity matrices: the tunnel, 1000 units away,
  // falls outside the unit clip volume and the sides stay black.
  logo.render(3.f, 1.f / 30.f, kSilence, random_);
  const double first = sideBrightness(readFrame());
  // The second draws it under the view the first frame left.
  logo.render(3.f + 1.f / 30.f, 1.f / 30.f, kSilence, random_);
  const double second = sideBrightness(readFrame());
  EXPECT_LT(first, 15.0);
  EXPECT_GT(second, 80.0);
}

TEST_F(LogoSceneGL, AFrameLeavesTheStateTheNextPassesExpect) {
  LogoScene &logo = scene();
  logo.restart();
  glEnable(GL_FOG);
  glEnable(GL_CULL_FACE);
  logo.render(2.f, 1.f / 30.f, kSilence, random_);
  EXPECT_TRUE(noGlError());
  EXPECT_FALSE(glIsEnabled(GL_FOG));
  EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_EQ(glInteger(GL_MATRIX_MODE), GL_MODELVIEW);
  expectFullScreenViewport();
  // The tunnel's pushes are all popped; its texture scroll is undone.
  for (GLenum stack : {GL_MODELVIEW_STACK_DEPTH, GL_PROJECTION_STACK_DEPTH, GL_TEXTURE_STACK_DEPTH})
    EXPECT_EQ(glInteger(stack), 1) << stack;
  GLfloat texture[16];
  glGetFloatv(GL_TEXTURE_MATRIX, texture);
  for (int i = 0; i < 16; ++i)
    EXPECT_EQ(texture[i], i % 5 == 0 ? 1.f : 0.f) << i;
  // The camera's perspective stays loaded for the next frame's tunnel.
  GLfloat projection[16];
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  EXPECT_EQ(projection[11], -1.f);
}

TEST_F(LogoSceneGL, TheRedLineIsRedAndTheBassLiftsItUpTheScreen) {
  LogoScene &logo = scene();
  logo.restart();
  logo.render(6.f, 1.f / 30.f, kSilence, random_);
  const RedPixels resting = redPixels(readFrame());
  // A step of loud bass leaves the level at (0 + 3.125) x 0.8 = 2.5; the
  // silent frame after it draws (2.5 + 0) x 0.8 = 2: a lift of 38 units.
  Spectrum loud;
  loud[0] = 3.125f;
  logo.restart();
  logo.step(FrameInput{6.f, 1.f / 30.f, loud, 0.f}, random_);
  ASSERT_FLOAT_EQ(logo.bassLevel(), 2.5f);
  logo.render(6.f, 1.f / 30.f, kSilence, random_);
  const RedPixels lifted = redPixels(readFrame());
  EXPECT_GT(resting.count, 400);
  EXPECT_GT(lifted.count, 400);
  EXPECT_GT(lifted.meanRow, resting.meanRow + 40.0);
}

TEST_F(LogoSceneGL, TheGlowWhitensTheTurnAndIsGoneTheFrameAfter) {
  LogoScene &logo = scene();
  logo.restart();
  // A frame before, so that the tunnel is seen through the camera.
  logo.render(10.2f - 1.f / 30.f, 1.f / 30.f, kSilence, random_);
  logo.render(10.2f, 1.f / 30.f, kSilence, random_);
  const double turn = sampledBrightness(readFrame());
  logo.render(10.2f + 1.f / 30.f, 1.f / 30.f, kSilence, random_);
  const double after = sampledBrightness(readFrame());
  EXPECT_GT(turn, 3 * 240.0);
  EXPECT_LT(after, 3 * 150.0);
}

TEST_F(LogoSceneGL, WithoutItsSceneFileTheTunnelAndGlowStillDraw) {
  TempDir data;
  for (const char *name : {"bgcomplete.jpg", "logotextcomplete.jpg", "flare.jpg", "tunnel.ebr", "tunnel.jpg"})
    writeFile(data.file(name), readFile(std::string(DEMO_BAKED_DATA_DIR) + "/" + name));
  setDataDirectory(data.path());
  testing::internal::CaptureStderr();
  LogoScene logo;
  const std::string messages = testing::internal::GetCapturedStderr();
  EXPECT_EQ(logo.camera(), nullptr);
  EXPECT_EQ(logo.backdropNode(), nullptr);
  EXPECT_EQ(logo.logoNode(), nullptr);
  EXPECT_EQ(logo.redTextNode(), nullptr);
  // One line for the missing file; nothing about the names it would hold.
  EXPECT_EQ(messages, data.file("logoscene.gsp") + ": cannot open\n");
  // Without a camera nothing sets a view: give the tunnel one, as a camera
  // at the tube's mouth looking down it would.
  glMatrixMode(GL_PROJECTION);
  gluPerspective(45.0, 4.0 / 3.0, 1.0, 100000.0);
  glMatrixMode(GL_MODELVIEW);
  logo.render(3.f, 1.f / 30.f, kSilence, random_);
  EXPECT_TRUE(noGlError());
  const std::vector<uint8_t> frame = readFrame();
  EXPECT_GT(sampledBrightness(frame), 60.0);
  EXPECT_EQ(redPixels(frame).count, 0);
}

} // namespace
} // namespace demo::test
