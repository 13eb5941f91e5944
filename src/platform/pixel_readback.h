// pixel_readback.h - frames read back while the next one is drawn.
//
// A plain glReadPixels waits until the renderer has finished the frame and
// then copies it out before the caller may draw again. PixelReadback reads
// into pixel buffer objects instead: start() queues the copy of the frame
// just drawn into a buffer of the GL's own, and take() maps the oldest one
// once a later frame has been started, so the copy of frame n overlaps the
// drawing of frame n + 1. Where the GL has no pixel buffer objects, start()
// reads at once into memory and take() hands that over: the same pictures,
// without the overlap.
//
// OpenGL ES reads only RGBA for sure (and maps buffers only by range): there
// the frame is read as RGBA and its alpha dropped on the way out. The other
// renderers read RGB as the show always has.
//
// Use:
//   PixelReadback readback(window.framebuffer(), 800, 600, window.drawRenderer());
//   readback.start();                    // after each frame is drawn
//   if (readback.pending() > 1) readback.take(rgb);   // the frame before
//   while (readback.pending() > 0) readback.take(rgb);   // the rest, at the end
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "draw/renderer.h"

namespace demo {

// The bytes a pixel takes as glReadPixels gives it for `renderer`: 3 (RGB),
// or 4 (RGBA) on ES.
int readPixelBytes(draw::Renderer renderer);
// Reads `framebuffer` (0: the default one), width x height, tightly packed,
// bottom row first, in the form readPixelBytes says, into `target`: memory
// or an offset into the bound pixel pack buffer. It binds the frame buffer
// for reading.
void readFramePixels(unsigned framebuffer, int width, int height, void *target, draw::Renderer renderer);
// Packs `pixels` RGBA pixels into RGB in place, front to back.
void dropAlpha(uint8_t *data, size_t pixels);
// Reads `framebuffer` as above, as RGB rows into memory at `target`.
void readRgbPixels(unsigned framebuffer, int width, int height, void *target, draw::Renderer renderer);

class PixelReadback {
public:
  // How many started frames can wait to be taken.
  static constexpr size_t kBuffers = 2;

  // Reads `framebuffer` (0: the default one), width x height, as RGB, from
  // a context of `renderer`'s kind.
  PixelReadback(unsigned framebuffer, int width, int height, draw::Renderer renderer);
  ~PixelReadback();
  PixelReadback(const PixelReadback &) = delete;
  PixelReadback &operator=(const PixelReadback &) = delete;

  // Starts reading the picture now in the frame buffer. When kBuffers frames
  // are already waiting the oldest is dropped; take it first.
  void start();
  // The started frames not yet taken.
  size_t pending() const { return pending_; }
  // Takes the oldest started frame as RGB rows, bottom row first. False (and
  // `rgb` untouched) when none is waiting or its buffer could not be read.
  bool take(std::vector<uint8_t> &rgb);
  // Whether the reads go through pixel buffer objects.
  bool overlapped() const { return buffers_[0] != 0; }

private:
  // The bytes of one frame as read (RGB, or RGBA on ES).
  size_t bytes() const;

  unsigned framebuffer_;
  int width_, height_;
  draw::Renderer renderer_;
  unsigned buffers_[kBuffers] = {};
  std::vector<uint8_t> copies_[kBuffers]; // without pixel buffer objects
  size_t first_ = 0;                      // slot of the oldest waiting frame
  size_t pending_ = 0;
};

} // namespace demo
