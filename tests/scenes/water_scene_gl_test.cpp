// The water scene drawn from the baked data set: the framing of its camera
// segments as it lands in the frame, the bass it carries between frames, the
// GL state it leaves for the next scene, and a scene file without its nodes.
#include "scenes/water_scene.h"

#include <GL/glew.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "gl_fixture.h"
#include "base/data_path.h"

namespace demo::test {
namespace {

class WaterSceneGL : public BakedDataGLTest {
protected:
  ShowRandom random_; // the show's generator, fresh for each test

  // One frame as the show draws it: cleared to white, then the scene.
  void frame(WaterScene &scene, float time, const Spectrum *spectrum = nullptr) {
    glClearColor(1.f, 1.f, 1.f, 1.f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    scene.render(time, 1.f / 30.f, spectrum ? *spectrum : silence_, random_);
  }

  Spectrum silence_;
};

TEST_F(WaterSceneGL, LetterboxBarsAreOpaqueBlackAndTheVeilDarkensTheCut) {
  WaterScene scene;
  frame(scene, 19.72f);
  EXPECT_TRUE(noGlError());
  const std::vector<uint8_t> cut = readFrame();
  // 0.15 of the half-height: 45 rows at the bottom and 45 at the top.
  for (int y = 0; y < 45; ++y) {
    EXPECT_EQ(rowPeak(cut, y), 0) << "bottom bar, row " << y;
    EXPECT_EQ(rowPeak(cut, 599 - y), 0) << "top bar, row " << 599 - y;
  }
  EXPECT_GT(meanBrightness(cut, 45, 46), 30.0);
  EXPECT_GT(meanBrightness(cut, 554, 555), 30.0);

  // A second later the bars are 63 rows high and the veil has gone.
  frame(scene, 21.05f);
  const std::vector<uint8_t> clear = readFrame();
  EXPECT_EQ(rowPeak(clear, 62), 0);
  EXPECT_GT(rowPeak(clear, 64), 0);
  const double veiled = meanBrightness(cut, 64, 536);
  const double open = meanBrightness(clear, 64, 536);
  EXPECT_LT(veiled, 0.8 * open) << veiled << " vs " << open;
}

TEST_F(WaterSceneGL, FlashWhitensTheTurnOfCameraFive) {
  WaterScene scene;
  frame(scene, 109.5f); // no flash yet
  const double before = meanBrightness(readFrame(), 0, 600);
  frame(scene, 109.9f); // rising: a quarter
  const double rising = meanBrightness(readFrame(), 0, 600);
  frame(scene, 110.f); // the peak: the whole frame white
  const std::vector<uint8_t> peak = readFrame();
  frame(scene, 110.05f); // the camera has jumped back, the flash is gone
  const double after = meanBrightness(readFrame(), 0, 600);

  EXPECT_GT(rising, before + 20.0);
  EXPECT_GE(meanBrightness(peak, 0, 600), 3 * 254.0);
  EXPECT_LT(after, rising);
  EXPECT_LT(before, 3 * 230.0); // the room itself is not white
}

TEST_F(WaterSceneGL, CarriesTheBassAndRollsCameraFiveWithIt) {
  WaterScene scene;
  Spectrum loud;
  loud[0] = 1.f;
  frame(scene, 100.f, &loud);
  EXPECT_FLOAT_EQ(scene.bassLevel(), 0.8f);
  frame(scene, 100.1f, &loud);
  EXPECT_FLOAT_EQ(scene.bassLevel(), 1.44f);
  // The roll takes effect a step late: the second frame is drawn with the
  // first step's up vector.
  const Vec3 up = waterUpVector(scene.bassLevel());
  EXPECT_EQ(scene.nextUp().x, up.x);
  EXPECT_EQ(scene.nextUp().y, up.y);
  EXPECT_EQ(scene.nextUp().z, up.z);
  const Vec3 drawn = waterUpVector(0.8f);
  EXPECT_EQ(scene.scene().up.x, drawn.x);
  EXPECT_EQ(scene.scene().up.y, drawn.y);
  EXPECT_EQ(scene.scene().up.z, drawn.z);
}

TEST_F(WaterSceneGL, LeavesFogBlendLightingAndTexturingOff) {
  WaterScene scene;
  for (float time : {10.f, 25.f, 119.f}) {
    frame(scene, time);
    EXPECT_TRUE(noGlError()) << time;
    EXPECT_FALSE(glIsEnabled(GL_FOG)) << time;
    EXPECT_FALSE(glIsEnabled(GL_BLEND)) << time;
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING)) << time;
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE)) << time;
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << time;
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S)) << time;
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST)) << time;
    expectFullScreenViewport();
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0], 1.f);
    EXPECT_EQ(colour[3], 1.f);
  }
}

TEST_F(WaterSceneGL, ASceneFileWithoutItsNodesStillDraws) {
  setDataDirectory("/nonexistent-water-data");
  WaterScene scene;
  EXPECT_EQ(scene.camera(WaterCamera::Camera01), nullptr);
  EXPECT_EQ(scene.camera(WaterCamera::Camera05), nullptr);
  for (const MeshNode *mesh : scene.meshes())
    EXPECT_EQ(mesh, nullptr);
  for (float time : {1.f, 20.f, 110.f})
    frame(scene, time);
  EXPECT_TRUE(noGlError());
  // The water still advances; the flash at the turn still shows.
  double stirred = 0.0;
  for (const WaterCell &cell : scene.water().cells)
    stirred += std::fabs(cell.height);
  EXPECT_GT(stirred, 0.0);
  EXPECT_GE(meanBrightness(readFrame(), 0, 600), 3 * 254.0);
}

} // namespace
} // namespace demo::test
