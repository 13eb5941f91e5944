#include "platform/pixel_readback.h"

#include <GL/glew.h>

#include <utility>

namespace demo {

void readRgbPixels(unsigned framebuffer, int width, int height, void *target) {
  glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
  GLint alignment = 4;
  glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, target);
  glPixelStorei(GL_PACK_ALIGNMENT, alignment);
}

PixelReadback::PixelReadback(unsigned framebuffer, int width, int height)
    : framebuffer_(framebuffer), width_(width > 0 ? width : 0), height_(height > 0 ? height : 0) {
  const bool pixelBuffers =
      (GLEW_VERSION_2_1 || GLEW_ARB_pixel_buffer_object) && glGenBuffers && glMapBuffer && glUnmapBuffer;
  if (!pixelBuffers || bytes() == 0)
    return;
  glGenBuffers(kBuffers, buffers_);
  for (unsigned buffer : buffers_) {
    glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
    glBufferData(GL_PIXEL_PACK_BUFFER, static_cast<GLsizeiptr>(bytes()), nullptr, GL_STREAM_READ);
  }
  glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  if (glGetError() != GL_NO_ERROR) {
    glDeleteBuffers(kBuffers, buffers_);
    for (unsigned &buffer : buffers_)
      buffer = 0;
  }
}

PixelReadback::~PixelReadback() {
  if (overlapped())
    glDeleteBuffers(kBuffers, buffers_);
}

size_t PixelReadback::bytes() const {
  return static_cast<size_t>(width_) * static_cast<size_t>(height_) * 3;
}

void PixelReadback::start() {
  if (pending_ == kBuffers) {
    first_ = (first_ + 1) % kBuffers;
    --pending_;
  }
  const size_t slot = (first_ + pending_) % kBuffers;
  if (overlapped()) {
    glBindBuffer(GL_PIXEL_PACK_BUFFER, buffers_[slot]);
    readRgbPixels(framebuffer_, width_, height_, nullptr);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  } else {
    copies_[slot].assign(bytes(), 0);
    if (bytes() > 0)
      readRgbPixels(framebuffer_, width_, height_, copies_[slot].data());
  }
  ++pending_;
}

bool PixelReadback::take(std::vector<uint8_t> &rgb) {
  if (pending_ == 0)
    return false;
  const size_t slot = first_;
  first_ = (first_ + 1) % kBuffers;
  --pending_;
  if (!overlapped()) {
    rgb = std::move(copies_[slot]);
    return true;
  }
  glBindBuffer(GL_PIXEL_PACK_BUFFER, buffers_[slot]);
  const void *mapped = glMapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY);
  if (mapped) {
    rgb.assign(static_cast<const uint8_t *>(mapped), static_cast<const uint8_t *>(mapped) + bytes());
    glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
  }
  glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  return mapped != nullptr;
}

} // namespace demo
