// The one-quad blur program against the blur drawn tap by tap, on the show's
// own pictures and with every scene's blur settings: at most 2 levels per
// channel apart (the program clamps once, the taps after every addition).
#include <GL/glew.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "gfx/render_target.h"
#include "gfx/texture.h"
#include "gl_fixture.h"

namespace demo::test {
namespace {

class BlurProgramGL : public BakedDataGLTest {
protected:
  void TearDown() override {
    RenderTarget::useBlurProgram(true);
    BakedDataGLTest::TearDown();
  }
};

struct BlurSetting {
  int size, passes, radius;
  float spread, gain;
};

// The picture shrunk into the target, blurred one way, read back from the
// frame's corner.
std::vector<uint8_t> blurred(GLTest &, Texture &picture, const BlurSetting &b, bool program) {
  RenderTarget screen(800, 600), target(b.size, b.size);
  glViewport(0, 0, 800, 600);
  glClearColor(0.f, 0.f, 0.f, 1.f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glColor4f(1.f, 1.f, 1.f, 1.f);
  picture.drawAt(0.f, 0.f, 800.f / static_cast<float>(picture.width));
  screen.copyFromScreen();
  screen.copyTo(target);
  RenderTarget::useBlurProgram(program);
  target.blur(b.passes, b.radius, b.spread, b.gain);
  std::vector<uint8_t> pixels(static_cast<size_t>(b.size * b.size * 3));
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, b.size, b.size, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

TEST_F(BlurProgramGL, MatchesTheTapByTapBlurWithinTwoLevelsOnTheShowsPictures) {
  if (!RenderTarget::blurProgramAvailable())
    GTEST_SKIP() << "no GLSL here: the show blurs tap by tap";
  // Every blur the scenes run: water, logo and its tunnel, the letters and
  // the jelly, the event bloom, the corridor's glow and intro, the final
  // boxes, the closing glow.
  const BlurSetting settings[] = {{256, 3, 3, 1.f, 1.2f},  {256, 2, 2, 1.f, 1.f},  {128, 3, 3, 1.f, 1.15f},
                                  {128, 2, 2, 1.f, 1.2f},  {256, 3, 4, 1.f, 1.7f}, {256, 3, 3, 1.f, 1.7f},
                                  {256, 4, 4, 2.f, 1.1f},  {128, 3, 3, 1.f, 1.55f}, {64, 3, 3, 1.5f, 1.5f}};
  for (const char *name : {"data/bgcomplete.jpg", "data/envmap_old.jpg", "data/vannscene/tank.jpg"}) {
    Texture picture(name, 0);
    ASSERT_GT(picture.width, 0) << name;
    for (const BlurSetting &b : settings) {
      const std::vector<uint8_t> taps = blurred(*this, picture, b, false);
      const std::vector<uint8_t> one = blurred(*this, picture, b, true);
      int worst = 0;
      long lit = 0;
      for (size_t i = 0; i < taps.size(); ++i) {
        worst = std::max(worst, std::abs(static_cast<int>(taps[i]) - static_cast<int>(one[i])));
        lit += taps[i] > 0;
      }
      EXPECT_LE(worst, 2) << name << " size " << b.size << " radius " << b.radius << " spread " << b.spread;
      EXPECT_GT(lit, static_cast<long>(taps.size() / 4)) << name << ": a picture to compare";
    }
  }
  EXPECT_TRUE(noGlError());
}

} // namespace
} // namespace demo::test
