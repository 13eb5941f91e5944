#include <GL/glew.h>

#include <vector>

#include "gfx/glow.h"
#include "gl_fixture.h"

namespace demo::test {
namespace {

using GlowPassTest = GLTest;

// A white 100 x 100 square in the middle of a black frame.
void drawSquare() {
  glClearColor(0.f, 0.f, 0.f, 1.f);
  glClear(GL_COLOR_BUFFER_BIT);
  glEnable(GL_SCISSOR_TEST);
  glScissor(350, 250, 100, 100);
  glClearColor(1.f, 1.f, 1.f, 1.f);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);
  glClearColor(0.f, 0.f, 0.f, 1.f);
}

TEST_F(GlowPassTest, TintedGlowSpreadsPastThePictureDrawnBack) {
  RenderTarget picture(800, 600), glow(200, 150);
  drawSquare();
  GlowPass(picture, glow, {3, 3, 1.f, 1.f}, {1.f, 0.f, 0.f, 1.f}).run();
  const Rgb halo = pixel(340, 300), centre = pixel(400, 300);
  EXPECT_GT(halo.r, 20);
  EXPECT_EQ(halo.g + halo.b, 0);
  EXPECT_EQ(centre.g + centre.b, 510);
  EXPECT_EQ(pixel(50, 50).r, 0);
  EXPECT_TRUE(noGlError());
}

TEST_F(GlowPassTest, GlowOffDrawsOnlyThePictureInItsTint) {
  RenderTarget picture(800, 600), glow(200, 150);
  drawSquare();
  GlowPass pass(picture, glow, {3, 3, 1.f, 1.f});
  pass.run(); // leaves a glow in the small target, which must go unused
  drawSquare();
  pass.glowOn = false;
  pass.pictureTint = GlowColour{0.f, 1.f, 0.f, 1.f};
  pass.run();
  const Rgb centre = pixel(400, 300), beside = pixel(340, 300);
  EXPECT_EQ(centre.r + centre.b, 0);
  EXPECT_EQ(centre.g, 255);
  EXPECT_EQ(beside.r + beside.g + beside.b, 0);
}

// A picture still on screen goes back only into the glow's corner: the same
// frame as drawing it all back, and the scissor state is left as found.
TEST_F(GlowPassTest, APictureStillOnScreenGoesBackOnlyIntoTheCorner) {
  RenderTarget picture(800, 600), glow(200, 150);
  auto scene = [] {
    drawSquare();
    glEnable(GL_SCISSOR_TEST); // a gradient of boxes, so every area differs
    for (int i = 0; i < 8; ++i) {
      glScissor(i * 100, i * 70, 90, 60);
      glClearColor(0.1f * static_cast<float>(i), 0.5f, 1.f - 0.1f * static_cast<float>(i), 1.f);
      glClear(GL_COLOR_BUFFER_BIT);
    }
    glDisable(GL_SCISSOR_TEST);
  };
  scene();
  GlowPass whole(picture, glow, {3, 3, 1.f, 1.3f}, {1.f, 0.8f, 0.6f, 1.f});
  whole.run();
  const std::vector<uint8_t> expected = readFrame();

  scene();
  GlowPass corner = whole;
  corner.pictureOnScreen = true;
  corner.run();
  EXPECT_EQ(readFrame(), expected);
  EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
  EXPECT_TRUE(noGlError());
}

} // namespace
} // namespace demo::test
