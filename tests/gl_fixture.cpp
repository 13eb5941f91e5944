#include "gl_fixture.h"

#include <GL/glew.h>

#include <algorithm>
#include <memory>

#include "base/data_path.h"
#include "draw/draw.h"

namespace demo::test {

GLWindow &glWindow() {
  static std::unique_ptr<GLWindow> window;
  if (!window)
    window = openHeadlessWindow(draw::rendererFromEnvironment().value_or(draw::Renderer::Classic));
  return *window;
}

namespace {

// The same starting point as the classic reset in GLTest::SetUp, for the
// renderers without the fixed pipeline: what the drawing interface holds is
// set through it (so the backend and the GL agree), the rest of the GL state
// directly with calls that core and ES contexts have.
void resetThroughDrawing() {
  draw::useProgram(0);
  for (int unit : {1, 0}) {
    draw::activeTexture(unit);
    draw::disable(draw::Cap::Texture2D);
    draw::disable(draw::Cap::TextureGenS);
    draw::disable(draw::Cap::TextureGenT);
    draw::bindTexture(0);
  }
  for (draw::Cap cap : {draw::Cap::Blend, draw::Cap::Lighting, draw::Cap::Fog, draw::Cap::ScissorTest})
    draw::disable(cap);
  glDisable(GL_STENCIL_TEST);
  draw::colourMask(true);
  draw::depthMask(true);
  glDepthFunc(GL_LESS);
  draw::pointSize(1.f);
  draw::blendFunc(draw::Factor::One, draw::Factor::Zero);
  draw::colour(1.f, 1.f, 1.f, 1.f);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  for (draw::MatrixMode mode : {draw::MatrixMode::Texture, draw::MatrixMode::Projection, draw::MatrixMode::ModelView}) {
    draw::matrixMode(mode);
    draw::loadIdentity();
  }
  draw::viewport(0, 0, 800, 600);
  for (draw::Cap cap : {draw::Cap::DepthTest, draw::Cap::Normalize, draw::Cap::CullFace})
    draw::enable(cap);
  draw::clearColour(0.f, 0.f, 0.f, 1.f);
  draw::clear(draw::kClearColour | draw::kClearDepth | draw::kClearStencil);
}

} // namespace

void GLTest::SetUp() {
  ASSERT_TRUE(draw::rendererFromEnvironment().has_value())
      << "DEMO_RENDERER names no renderer: set it to classic, modern or es, or unset it";
  GLWindow &window = glWindow();
  ASSERT_TRUE(window.isOpen()) << "the headless GL window did not open; is Mesa's llvmpipe installed "
                                  "(libgl1-mesa-dri) and SDL built with the offscreen driver?";
  // The show's initial state, plus the defaults the show never changes on
  // its own before a scene runs.
  window.makeCurrent();
  window.bindFramebuffer();
  if (window.drawRenderer() != draw::Renderer::Classic)
    resetThroughDrawing();
  else
    resetFixedFunction();
  while (glGetError() != GL_NO_ERROR) {
  }
  // The drawing context's state, brought to the same starting point as GL's
  // above (those calls went behind its back).
  draw::State &state = draw::current()->mutableState();
  state = draw::State();
  for (draw::Cap cap : {draw::Cap::DepthTest, draw::Cap::Normalize, draw::Cap::CullFace})
    state.setEnabled(cap, true);
  state.viewport = {0, 0, 800, 600};
  state.clearColour = {0.f, 0.f, 0.f, 1.f};
}

void GLTest::resetFixedFunction() {
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
  glDisable(GL_SCISSOR_TEST);
  glDisable(GL_ALPHA_TEST);
  glDisable(GL_STENCIL_TEST);
  glDisable(GL_COLOR_MATERIAL);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDepthMask(GL_TRUE);
  glDepthFunc(GL_LESS);
  glPointSize(1.f);
  // Lights as a fresh context has them: a scene may rely on light 0's
  // default position and colours when it sets only some of its parameters.
  const GLfloat black[4] = {0.f, 0.f, 0.f, 1.f}, white[4] = {1.f, 1.f, 1.f, 1.f};
  const GLfloat towardsViewer[4] = {0.f, 0.f, 1.f, 0.f}, down[3] = {0.f, 0.f, -1.f};
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  for (int i = 0; i < 8; ++i) {
    const GLenum light = static_cast<GLenum>(GL_LIGHT0 + i);
    glDisable(light);
    glLightfv(light, GL_AMBIENT, black);
    glLightfv(light, GL_DIFFUSE, i == 0 ? white : black);
    glLightfv(light, GL_SPECULAR, i == 0 ? white : black);
    glLightfv(light, GL_POSITION, towardsViewer);
    glLightfv(light, GL_SPOT_DIRECTION, down);
    glLightf(light, GL_SPOT_EXPONENT, 0.f);
    glLightf(light, GL_SPOT_CUTOFF, 180.f);
    glLightf(light, GL_CONSTANT_ATTENUATION, 1.f);
    glLightf(light, GL_LINEAR_ATTENUATION, 0.f);
    glLightf(light, GL_QUADRATIC_ATTENUATION, 0.f);
  }
  // Materials too (a test that applies a scene material leaves it set).
  const GLfloat ambient[4] = {0.2f, 0.2f, 0.2f, 1.f}, diffuse[4] = {0.8f, 0.8f, 0.8f, 1.f};
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient);
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, black);
  glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, black);
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 0.f);
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_FALSE);
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
  // ES reads RGBA for sure, RGB not.
  const bool es = glWindow().drawRenderer() == draw::Renderer::Es;
  glReadPixels(x, y, 1, 1, es ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE, p);
  return Rgb{p[0], p[1], p[2]};
}

unsigned GLTest::takeGlError() { return glGetError(); }

::testing::AssertionResult GLTest::noGlError() {
  const unsigned error = takeGlError();
  if (error == GL_NO_ERROR)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "GL error 0x" << std::hex << error;
}

int GLTest::glInteger(unsigned which) {
  GLint v = 0;
  glGetIntegerv(which, &v);
  return v;
}

std::array<int, 4> GLTest::currentViewport() {
  GLint v[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, v);
  return {v[0], v[1], v[2], v[3]};
}

void GLTest::expectFullScreenViewport() {
  const std::array<int, 4> viewport = currentViewport();
  EXPECT_EQ(viewport[2], 800);
  EXPECT_EQ(viewport[3], 600);
}

void BakedDataGLTest::SetUp() {
  GLTest::SetUp();
  setDataDirectory(DEMO_BAKED_DATA_DIR);
}

void BakedDataGLTest::TearDown() {
  setDataDirectory("");
  GLTest::TearDown();
}

double meanBrightness(const std::vector<uint8_t> &frame, int y0, int y1) {
  double sum = 0.0;
  for (int y = y0; y < y1; ++y)
    for (int x = 0; x < 800; ++x) {
      const uint8_t *p = &frame[(static_cast<size_t>(y) * 800 + x) * 3];
      sum += p[0] + p[1] + p[2];
    }
  return sum / ((y1 - y0) * 800.0);
}

int rowPeak(const std::vector<uint8_t> &frame, int y) {
  int peak = 0;
  for (int x = 0; x < 800; ++x)
    for (int c = 0; c < 3; ++c)
      peak = std::max(peak, static_cast<int>(frame[(static_cast<size_t>(y) * 800 + x) * 3 + c]));
  return peak;
}

unsigned makeSolidTexture(int unit, uint8_t r, uint8_t g, uint8_t b) {
  const uint8_t texels[12] = {r, g, b, r, g, b, r, g, b, r, g, b};
  if (glWindow().drawRenderer() != draw::Renderer::Classic) {
    // No texture switch in the GL there: the drawing state holds it.
    draw::activeTexture(unit);
    const unsigned texture = draw::createTexture();
    draw::bindTexture(texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    draw::textureImage(0, draw::PixelFormat::Rgb8, 2, 2, draw::PixelFormat::Rgb, texels);
    draw::textureParameter(draw::TextureParam::MinFilter, draw::TextureValue::Nearest);
    draw::textureParameter(draw::TextureParam::MagFilter, draw::TextureValue::Nearest);
    draw::enable(draw::Cap::Texture2D);
    draw::activeTexture(0);
    return texture;
  }
  unsigned name = 0;
  glActiveTexture(GL_TEXTURE0 + unit);
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, 2, 2, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glEnable(GL_TEXTURE_2D);
  glActiveTexture(GL_TEXTURE0);
  return name;
}

} // namespace demo::test
