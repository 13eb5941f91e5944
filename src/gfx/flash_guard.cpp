#include "gfx/flash_guard.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>

#include "gfx/overlay.h"

namespace demo {

namespace {

// Pixels the levels are taken from, at most (every one at 400 x 300, one of
// every 2 x 2 at 800 x 600).
constexpr double kLevelSamples = 120000.0;

int samplingStep(const FrameSize &frame) {
  return std::max(1, static_cast<int>(std::ceil(std::sqrt(static_cast<double>(frame.width) * frame.height /
                                                          kLevelSamples))));
}

} // namespace

FlashGuard::FlashGuard(const FrameSize &frame)
    : frame_(frame), sampled_{std::max(1, frame.width / samplingStep(frame)),
                              std::max(1, frame.height / samplingStep(frame))} {
  if (samplingStep(frame) == 1)
    return;
  GLint draw = 0, read = 0, renderbuffer = 0;
  glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &draw);
  glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &read);
  glGetIntegerv(GL_RENDERBUFFER_BINDING, &renderbuffer);
  glGenRenderbuffers(1, &sampleColour_);
  glBindRenderbuffer(GL_RENDERBUFFER, sampleColour_);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGB8, sampled_.width, sampled_.height);
  glGenFramebuffers(1, &samples_);
  glBindFramebuffer(GL_FRAMEBUFFER, samples_);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, sampleColour_);
  glBindRenderbuffer(GL_RENDERBUFFER, static_cast<GLuint>(renderbuffer));
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(draw));
  glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(read));
}

FlashGuard::~FlashGuard() {
  if (samples_)
    glDeleteFramebuffers(1, &samples_);
  if (sampleColour_)
    glDeleteRenderbuffers(1, &sampleColour_);
}

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
  drawFullScreenQuad(); // its matrices, depth test and culling come back with the attributes
  glPopAttrib(); // the matrix mode too (GL_TRANSFORM_BIT)
  glActiveTexture(static_cast<GLenum>(activeTexture));
  glUseProgram(static_cast<GLuint>(program));
}

FrameCorrection FlashGuard::limit(float seconds) {
  pixels_.resize(static_cast<size_t>(sampled_.width) * static_cast<size_t>(sampled_.height) * 3);
  GLint draw = 0, read = 0, alignment = 4;
  glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &draw);
  glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &read);
  glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
  const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
  // The frame the show drew into is the one bound for drawing.
  glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(draw));
  if (samples_) {
    glDisable(GL_SCISSOR_TEST);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, samples_);
    glBlitFramebuffer(0, 0, frame_.width, frame_.height, 0, 0, sampled_.width, sampled_.height, GL_COLOR_BUFFER_BIT,
                      GL_NEAREST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, samples_);
    if (scissor)
      glEnable(GL_SCISSOR_TEST);
  }
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, sampled_.width, sampled_.height, GL_RGB, GL_UNSIGNED_BYTE, pixels_.data());
  glPixelStorei(GL_PACK_ALIGNMENT, alignment);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(draw));
  glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(read));
  // Rows bottom first: the quarters come out with top and bottom swapped,
  // the same four regions.
  const FrameCorrection correction = limiter_.decide(seconds, pixels_.data(), sampled_.width, sampled_.height);
  if (correction.darken > 0)
    lay(correction);
  return correction;
}

} // namespace demo
