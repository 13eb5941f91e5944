#include "gfx/flash_guard.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>

namespace demo {

namespace {

// Pixels the levels are taken from, at most (about every one at 400 x 300,
// every second one of every second row at 800 x 600).
constexpr double kLevelSamples = 120000.0;

} // namespace

FlashGuard::FlashGuard(const FrameSize &frame)
    : frame_(frame),
      every_(std::max(1, static_cast<int>(std::ceil(std::sqrt(static_cast<double>(frame.width) * frame.height /
                                                              kLevelSamples))))) {}

void FlashGuard::lay(const FrameCorrection &correction) const {
  GLint program = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &program);
  GLint activeTexture = GL_TEXTURE0;
  glGetIntegerv(GL_ACTIVE_TEXTURE, &activeTexture);
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glUseProgram(0);
  GLint units = 1;
  glGetIntegerv(GL_MAX_TEXTURE_UNITS, &units);
  for (GLint unit = 0; unit < units; ++unit) {
    glActiveTexture(static_cast<GLenum>(GL_TEXTURE0 + unit));
    glDisable(GL_TEXTURE_1D);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_3D);
    glDisable(GL_TEXTURE_CUBE_MAP);
  }
  glActiveTexture(GL_TEXTURE0);
  for (GLenum off : {GL_LIGHTING, GL_FOG, GL_DEPTH_TEST, GL_CULL_FACE, GL_ALPHA_TEST, GL_STENCIL_TEST,
                     GL_SCISSOR_TEST, GL_COLOR_LOGIC_OP, GL_COLOR_SUM, GL_VERTEX_PROGRAM_ARB,
                     GL_FRAGMENT_PROGRAM_ARB, GL_POLYGON_STIPPLE})
    glDisable(off);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glViewport(0, 0, frame_.width, frame_.height);
  glEnable(GL_BLEND);
  glBlendEquation(GL_FUNC_ADD);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glColor4ub(0, 0, 0, static_cast<GLubyte>(std::clamp(correction.darken, 0, 255)));
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glBegin(GL_QUADS);
  glVertex2f(-1.f, -1.f);
  glVertex2f(1.f, -1.f);
  glVertex2f(1.f, 1.f);
  glVertex2f(-1.f, 1.f);
  glEnd();
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glPopAttrib(); // the matrix mode too (GL_TRANSFORM_BIT)
  glActiveTexture(static_cast<GLenum>(activeTexture));
  glUseProgram(static_cast<GLuint>(program));
}

FrameCorrection FlashGuard::limit(float seconds) {
  pixels_.resize(static_cast<size_t>(frame_.width) * static_cast<size_t>(frame_.height) * 3);
  GLint alignment = 4;
  glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, frame_.width, frame_.height, GL_RGB, GL_UNSIGNED_BYTE, pixels_.data());
  glPixelStorei(GL_PACK_ALIGNMENT, alignment);
  // Rows bottom first: the quarters come out with top and bottom swapped,
  // the same four regions.
  const FrameCorrection correction = limiter_.decide(seconds, pixels_.data(), frame_.width, frame_.height, 3, every_);
  if (correction.darken > 0)
    lay(correction);
  return correction;
}

} // namespace demo
