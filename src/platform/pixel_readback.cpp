#include "platform/pixel_readback.h"

#include <GL/glew.h>

#include <cstring>
#include <utility>

namespace demo {

int readPixelBytes(draw::Renderer renderer) { return renderer == draw::Renderer::Es ? 4 : 3; }

void readFramePixels(unsigned framebuffer, int width, int height, void *target, draw::Renderer renderer) {
  glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
  GLint alignment = 4;
  glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  // GL_RGBA with GL_UNSIGNED_BYTE is the one form ES always reads.
  glReadPixels(0, 0, width, height, readPixelBytes(renderer) == 4 ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE, target);
  glPixelStorei(GL_PACK_ALIGNMENT, alignment);
}

void dropAlpha(uint8_t *data, size_t pixels) {
  for (size_t i = 0; i < pixels; ++i) {
    data[i * 3] = data[i * 4];
    data[i * 3 + 1] = data[i * 4 + 1];
    data[i * 3 + 2] = data[i * 4 + 2];
  }
}

void readRgbPixels(unsigned framebuffer, int width, int height, void *target, draw::Renderer renderer) {
  if (readPixelBytes(renderer) == 3) {
    readFramePixels(framebuffer, width, height, target, renderer);
    return;
  }
  const size_t pixels = static_cast<size_t>(width > 0 ? width : 0) * static_cast<size_t>(height > 0 ? height : 0);
  std::vector<uint8_t> rgba(pixels * 4);
  readFramePixels(framebuffer, width, height, rgba.data(), renderer);
  dropAlpha(rgba.data(), pixels);
  std::memcpy(target, rgba.data(), pixels * 3);
}

PixelReadback::PixelReadback(unsigned framebuffer, int width, int height, draw::Renderer renderer)
    : framebuffer_(framebuffer), width_(width > 0 ? width : 0), height_(height > 0 ? height : 0),
      renderer_(renderer) {
  // ES has no glMapBuffer; it maps a range.
  const bool es = renderer == draw::Renderer::Es;
  const bool pixelBuffers = (GLEW_VERSION_2_1 || GLEW_ARB_pixel_buffer_object) && glGenBuffers &&
                            (es ? glMapBufferRange != nullptr : glMapBuffer != nullptr) && glUnmapBuffer;
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
  return static_cast<size_t>(width_) * static_cast<size_t>(height_) * static_cast<size_t>(readPixelBytes(renderer_));
}

void PixelReadback::start() {
  if (pending_ == kBuffers) {
    first_ = (first_ + 1) % kBuffers;
    --pending_;
  }
  const size_t slot = (first_ + pending_) % kBuffers;
  if (overlapped()) {
    glBindBuffer(GL_PIXEL_PACK_BUFFER, buffers_[slot]);
    readFramePixels(framebuffer_, width_, height_, nullptr, renderer_);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  } else {
    copies_[slot].assign(bytes(), 0);
    if (bytes() > 0)
      readFramePixels(framebuffer_, width_, height_, copies_[slot].data(), renderer_);
  }
  ++pending_;
}

bool PixelReadback::take(std::vector<uint8_t> &rgb) {
  if (pending_ == 0)
    return false;
  const size_t slot = first_;
  first_ = (first_ + 1) % kBuffers;
  --pending_;
  const size_t pixels = static_cast<size_t>(width_) * static_cast<size_t>(height_);
  const bool rgba = readPixelBytes(renderer_) == 4;
  if (!overlapped()) {
    rgb = std::move(copies_[slot]);
    if (rgba) {
      dropAlpha(rgb.data(), pixels);
      rgb.resize(pixels * 3);
    }
    return true;
  }
  glBindBuffer(GL_PIXEL_PACK_BUFFER, buffers_[slot]);
  const void *mapped =
      rgba ? glMapBufferRange(GL_PIXEL_PACK_BUFFER, 0, static_cast<GLsizeiptr>(bytes()), GL_MAP_READ_BIT)
           : glMapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY);
  if (mapped) {
    rgb.assign(static_cast<const uint8_t *>(mapped), static_cast<const uint8_t *>(mapped) + bytes());
    glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
    if (rgba) {
      dropAlpha(rgb.data(), pixels);
      rgb.resize(pixels * 3);
    }
  }
  glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  return mapped != nullptr;
}

} // namespace demo
