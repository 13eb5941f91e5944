#include "platform/frame_sampler.h"

#include <GL/glew.h>

#include "platform/pixel_readback.h"

namespace demo {

FrameSampler::FrameSampler(int width, int height, int sampledWidth, int sampledHeight, draw::Renderer renderer)
    : width_(width), height_(height), sampledWidth_(sampledWidth), sampledHeight_(sampledHeight),
      renderer_(renderer) {
  if (sampledWidth == width && sampledHeight == height)
    return;
  GLint draw = 0, read = 0, renderbuffer = 0;
  glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &draw);
  glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &read);
  glGetIntegerv(GL_RENDERBUFFER_BINDING, &renderbuffer);
  glGenRenderbuffers(1, &sampleColour_);
  glBindRenderbuffer(GL_RENDERBUFFER, sampleColour_);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGB8, sampledWidth, sampledHeight);
  glGenFramebuffers(1, &samples_);
  glBindFramebuffer(GL_FRAMEBUFFER, samples_);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, sampleColour_);
  glBindRenderbuffer(GL_RENDERBUFFER, static_cast<GLuint>(renderbuffer));
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(draw));
  glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(read));
}

FrameSampler::~FrameSampler() {
  if (samples_)
    glDeleteFramebuffers(1, &samples_);
  if (sampleColour_)
    glDeleteRenderbuffers(1, &sampleColour_);
}

void FrameSampler::read(std::vector<uint8_t> &rgb) const {
  const size_t pixels = static_cast<size_t>(sampledWidth_) * static_cast<size_t>(sampledHeight_);
  const bool rgba = readPixelBytes(renderer_) == 4;
  rgb.resize(pixels * (rgba ? 4 : 3));
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
    glBlitFramebuffer(0, 0, width_, height_, 0, 0, sampledWidth_, sampledHeight_, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, samples_);
    if (scissor)
      glEnable(GL_SCISSOR_TEST);
  }
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, sampledWidth_, sampledHeight_, rgba ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  glPixelStorei(GL_PACK_ALIGNMENT, alignment);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(draw));
  glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(read));
  if (rgba) {
    dropAlpha(rgb.data(), pixels);
    rgb.resize(pixels * 3);
  }
}

} // namespace demo
