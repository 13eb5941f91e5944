// The event scene drawn with the baked data set: the title coming in, the
// letterbox closing and the GL state the scene leaves. Rendering is costly on
// a software renderer (a thousand cube draws and a bloom), so one scene is
// built for the whole suite and each test renders a frame or two at times
// chosen for what it checks; the title and letterbox depend on time alone.
#include <GL/glew.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "gfx/texture.h"
#include "gl_fixture.h"
#include "base/data_path.h"
#include "scenes/event_scene.h"
#include "support/test_files.h"

namespace demo::test {
namespace {

class EventSceneGL : public BakedDataGLTest {
protected:
  ShowRandom random_; // the show's generator, fresh for each test

  static void TearDownTestSuite() { scene_.reset(); }

  void SetUp() override {
    BakedDataGLTest::SetUp();
    if (!scene_)
      scene_ = std::make_unique<EventScene>();
  }

  // Scene time for show clock A.
  static float at(float showClock) { return showClock - 119.14f; }
  void render(float showClock) { scene_->render(at(showClock), 1.f / 30.f, silence_, random_); }

  static std::unique_ptr<EventScene> scene_;
  Spectrum silence_;
};

std::unique_ptr<EventScene> EventSceneGL::scene_;

TEST_F(EventSceneGL, LoadsEveryPictureAndMesh) {
  EXPECT_TRUE(scene_->eventOverlay().loaded);
  for (int k = 0; k < EventScene::kTitleCount; ++k)
    EXPECT_TRUE(scene_->titleOverlay(k).loaded) << k;
  EXPECT_EQ(scene_->titleOverlay(10).width, 800);
  ASSERT_GE(scene_->spike().partCount, 1);
  EXPECT_GT(scene_->spikeVertexCount(), 0);
  // The first part draws from the animated positions.
  EXPECT_EQ(scene_->spikePositions(), scene_->spike().parts[0]->positions.data());
  EXPECT_EQ(scene_->restPositions().size(), static_cast<size_t>(scene_->spikeVertexCount()));
  EXPECT_EQ(scene_->colourMap().width, 256);
  EXPECT_GE(scene_->colourMap().pixels.size(), static_cast<size_t>(256 * 32 * 3));
}

TEST_F(EventSceneGL, ClosedLetterboxLeavesBlackBarsAndA450RowPicture) {
  render(140.f); // bars closed at 75, title slid off, no event overlay yet
  EXPECT_TRUE(noGlError());
  const std::array<int, 4> viewport = currentViewport();
  EXPECT_EQ(viewport[1], 0);
  EXPECT_EQ(viewport[3], 600);
  const std::vector<uint8_t> frame = readFrame();
  // The bars stay black away from the picture (the bloom spills a little
  // glow over their inner edges).
  for (int y = 0; y < 600; ++y) {
    if (y < 45 || y >= 555) {
      ASSERT_LE(rowPeak(frame, y), 4) << "row " << y;
    }
  }
  // The picture starts sharply at row 75: the silent camera at this time
  // looks down onto the cube field, which reaches the bottom of the view
  // (the sky above it is black up to the top bar).
  EXPECT_GT(rowPeak(frame, 75), 100);
  EXPECT_GT(rowPeak(frame, 75), 2 * rowPeak(frame, 73) + 20);
  for (int y : {80, 150, 300})
    EXPECT_GT(rowPeak(frame, y), 60) << "row " << y;
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  EXPECT_TRUE(glIsEnabled(GL_FOG));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
}

// Screen pixels where the title overlay is opaque (and so are all of its
// neighbours), with the overlay's colour there, for the title drawn at
// (0, 235).
struct Ink {
  int x, y, r, g, b;
};
std::vector<Ink> opaqueInk(const char *name) {
  const PngImage png = decodePng((std::string(DEMO_BAKED_DATA_DIR) + "/overlays/" + name).c_str());
  std::vector<Ink> ink;
  if (png.empty() || png.channels != 4)
    return ink;
  auto px = [&](int x, int y) { return &png.data[(static_cast<size_t>(y) * png.width + x) * 4]; };
  for (int y = 1; y + 1 < png.height; ++y)
    for (int x = 1; x + 1 < png.width; ++x) {
      bool solid = true;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
          solid = solid && px(x + dx, y + dy)[3] == 255;
      if (solid)
        ink.push_back(Ink{x, 235 + png.height - 1 - y, px(x, y)[0], px(x, y)[1], px(x, y)[2]});
    }
  return ink;
}

double shareShowingInk(const std::vector<uint8_t> &frame, const std::vector<Ink> &ink) {
  int match = 0;
  for (const Ink &i : ink) {
    const uint8_t *p = &frame[(static_cast<size_t>(i.y) * 800 + i.x) * 3];
    match += std::abs(p[0] - i.r) <= 12 && std::abs(p[1] - i.g) <= 12 && std::abs(p[2] - i.b) <= 12;
  }
  return ink.empty() ? 0.0 : static_cast<double>(match) / ink.size();
}

TEST_F(EventSceneGL, TheFirstLetterAppearsJustAfter128_7) {
  const std::vector<Ink> q = opaqueInk("logo_q.png");
  ASSERT_GT(q.size(), 200u);
  render(128.69f);
  const double before = shareShowingInk(readFrame(), q);
  render(128.72f);
  const double after = shareShowingInk(readFrame(), q);
  EXPECT_LT(before, 0.5);
  EXPECT_GT(after, 0.95); // silent: unshaken at (0, 235)
  // The whole word waits for 133.62.
  const std::vector<Ink> word = opaqueInk("logo_quintervale.png");
  EXPECT_LT(shareShowingInk(readFrame(), word), 0.5);
}

TEST_F(EventSceneGL, TheEventOverlayAndFlashLeaveBlendingOn) {
  render(148.84f);
  EXPECT_TRUE(noGlError());
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  GLfloat colour[4];
  glGetFloatv(GL_CURRENT_COLOR, colour);
  EXPECT_NEAR(colour[3], 0.512f, 0.01f); // (1 - 0.4 / 2)^3 on the way down
  EXPECT_EQ(currentViewport()[3], 600);
  // Half white over everything: even the bars are lit.
  EXPECT_GT(pixel(100, 20).r, 100);
}

TEST_F(EventSceneGL, WithoutItsFilesItDrawsABlackFrameWithoutCrashing) {
  // Empty meshes and textures: no spike, no cubes, no title; no crash.
  TempDir empty;
  setDataDirectory(empty.path());
  testing::internal::CaptureStderr();
  EventScene bare;
  const std::string messages = testing::internal::GetCapturedStderr();
  EXPECT_NE(messages.find("yollspike.ebr"), std::string::npos);
  EXPECT_EQ(bare.spikeVertexCount(), 0);
  EXPECT_EQ(bare.spikePositions(), nullptr);
  bare.render(at(140.f), 1.f / 30.f, silence_, random_);
  EXPECT_TRUE(noGlError());
  EXPECT_EQ(pixel(400, 300).r, 0);
  EXPECT_EQ(currentViewport()[3], 600);
}

} // namespace
} // namespace demo::test
