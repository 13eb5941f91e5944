// The final boxes scene on llvmpipe: the 16:9 letterbox with its black bars
// round the crates, the cut list running as the frames pass, and a scene
// whose files are missing drawing only its background.
#include "gl_fixture.h"

#include <GL/glew.h>

#include <cstdlib>
#include <vector>

#include "base/data_path.h"
#include "scenes/final_boxes_scene.h"
#include "support/test_files.h"

namespace demo::test {
namespace {

class FinalBoxesSceneGL : public BakedDataGLTest {
protected:
  ShowRandom random_; // the show's generator, fresh for each test

  // Renders at 30 frames a second from show time `from` up to (not
  // including) `to`, in silence without a spectrum.
  void play(FinalBoxesScene &scene, float from, float to, const Spectrum *spectrum) {
    const float dt = 1.f / 30.f;
    for (int n = 0;; ++n) {
      const float t = from + n * dt;
      if (!(t < to))
        break;
      scene.render(t - kFinalClockAtStart, dt, spectrum ? *spectrum : Spectrum{}, random_);
    }
  }
};

// Share of the band's pixels whose channels add to more than 60.
double litShare(const std::vector<uint8_t> &frame) {
  size_t lit = 0;
  for (int y = 75; y < 525; ++y)
    for (int x = 0; x < 800; ++x) {
      const uint8_t *p = &frame[(static_cast<size_t>(y) * 800 + x) * 3];
      lit += p[0] + p[1] + p[2] > 60;
    }
  return static_cast<double>(lit) / (800.0 * 450.0);
}

void expectBlackBars(const std::vector<uint8_t> &frame) {
  for (int y = 0; y < 75; ++y)
    ASSERT_EQ(rowPeak(frame, y), 0) << "row " << y;
  for (int y = 525; y < 600; ++y)
    ASSERT_EQ(rowPeak(frame, y), 0) << "row " << y;
}

TEST_F(FinalBoxesSceneGL, CratesFillTheBandBetweenBlackBarsAcrossCuts) {
  FinalBoxesScene scene;
  ASSERT_NE(scene.currentCamera(), nullptr);
  random_.seed(5);
  Spectrum spectrum;
  spectrum[1] = 0.3f;
  play(scene, 220.2f, 220.6f, &spectrum);
  EXPECT_EQ(scene.shot().cutIndex, 1);
  EXPECT_EQ(scene.currentCamera(), scene.camera(1));
  EXPECT_TRUE(noGlError());

  std::vector<uint8_t> frame = readFrame();
  expectBlackBars(frame);
  // The picture reaches the band's first and last rows and has crates in it.
  EXPECT_GT(rowPeak(frame, 75), 0);
  EXPECT_GT(rowPeak(frame, 524), 0);
  EXPECT_GT(litShare(frame), 0.05);

  expectFullScreenViewport();
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
  EXPECT_FALSE(glIsEnabled(GL_BLEND));

  // The last cut of the first run, then the quick cuts' rewind and the scene
  // called from 217.5 s again: the last shot holds until the first cut
  // selects Camera02 once more. Steps alone (no drawing) run the list on to
  // its last entry.
  for (float t = 220.6f; t < 235.2f && scene.nextCut() < kFinalCutCount - 1; t += 1.f / 30.f)
    scene.step(FrameInput{t - kFinalClockAtStart, 1.f / 30.f, Spectrum{}, 0.f}, random_);
  ASSERT_EQ(scene.nextCut(), kFinalCutCount - 1);
  play(scene, 235.2f, 235.3f, nullptr);
  EXPECT_EQ(scene.nextCut(), kFinalCutCount);
  ASSERT_EQ(scene.currentCamera(), scene.camera(2)); // Camera03
  scene.rewindCuts();
  play(scene, 220.2f, 220.3f, nullptr);
  EXPECT_EQ(scene.currentCamera(), scene.camera(2));
  play(scene, 220.32f, 220.4f, nullptr);
  EXPECT_EQ(scene.currentCamera(), scene.camera(1)); // Camera02
  EXPECT_EQ(scene.nextCut(), 1);
  frame = readFrame();
  expectBlackBars(frame);
  EXPECT_GT(litShare(frame), 0.05);
}

TEST_F(FinalBoxesSceneGL, MissingFilesLeaveTheBackgroundAlone) {
  TempDir empty;
  setDataDirectory(empty.path());
  FinalBoxesScene scene;
  EXPECT_EQ(scene.currentCamera(), nullptr);
  EXPECT_EQ(scene.box(0), nullptr);
  play(scene, 220.2f, 220.5f, nullptr);
  EXPECT_EQ(scene.shot().cutIndex, 1); // the cuts run on without cameras
  EXPECT_EQ(scene.currentCamera(), nullptr);
  EXPECT_TRUE(noGlError());

  std::vector<uint8_t> frame = readFrame();
  expectBlackBars(frame);
  // Only the dark blue background, with its glow.
  for (int y = 75; y < 525; y += 50)
    EXPECT_LT(rowPeak(frame, y), 12) << "row " << y;
  EXPECT_EQ(litShare(frame), 0.0);
}

} // namespace
} // namespace demo::test

