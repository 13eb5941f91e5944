#include "gl_fixture.h"

#include <GL/glew.h>

#include <cstdlib>
#include <memory>

namespace demo::test {

GLWindow &glWindow() {
  static std::unique_ptr<GLWindow> window;
  if (!window) {
    if (!std::getenv("SDL_VIDEODRIVER") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
      setenv("SDL_VIDEODRIVER", "offscreen", 1);
    WindowOptions options;
    options.hidden = true;
    options.vsync = false;
    options.audio = false;
    window = std::make_unique<GLWindow>(800, 600, 32, false, "Demo", options);
  }
  return *window;
}

void GLTest::SetUp() {
  GLWindow &window = glWindow();
  ASSERT_TRUE(window.isOpen()) << "the headless GL window did not open; is Mesa's llvmpipe installed "
                                  "(libgl1-mesa-dri) and SDL built with the offscreen driver?";
  // The show's initial state, plus the defaults the show never changes on
  // its own before a scene runs.
  window.makeCurrent();
  window.bindFramebuffer();
  glUseProgram(0);
  glActiveTextureARB(GL_TEXTURE1_ARB);
  glDisable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, 0);
  glActiveTextureARB(GL_TEXTURE0_ARB);
  glDisable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, 0);
  glDisable(GL_TEXTURE_GEN_S);
  glDisable(GL_TEXTURE_GEN_T);
  glDisable(GL_BLEND);
  glDisable(GL_LIGHTING);
  glDisable(GL_FOG);
  glBlendFunc(GL_ONE, GL_ZERO);
  glColor4f(1.f, 1.f, 1.f, 1.f);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  for (GLenum mode : {GL_TEXTURE, GL_PROJECTION, GL_MODELVIEW}) {
    glMatrixMode(mode);
    glLoadIdentity();
  }
  glViewport(0, 0, 800, 600);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_NORMALIZE);
  glEnable(GL_CULL_FACE);
  glClearColor(0.f, 0.f, 0.f, 1.f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  while (glGetError() != GL_NO_ERROR) {
  }
}

void GLTest::TearDown() { glFinish(); }

std::vector<uint8_t> GLTest::readFrame() {
  std::vector<uint8_t> rgb;
  glWindow().readPixels(rgb);
  return rgb;
}

Rgb GLTest::pixel(int x, int y) {
  uint8_t p[4] = {0, 0, 0, 0};
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, glWindow().framebuffer());
  glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, p);
  return Rgb{p[0], p[1], p[2]};
}

unsigned GLTest::takeGlError() { return glGetError(); }

} // namespace demo::test
