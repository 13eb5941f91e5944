// frame_sampler.h - read-back of the frame being drawn, shrunk: every n-th
// pixel of every n-th row (nearest sampling, through a small frame buffer of
// its own and a blit), or every pixel when nothing is shrunk. The flash guard
// measures the show's frames with it.
//
//   FrameSampler sampler(frame.width, frame.height, frame.width / 2, frame.height / 2, renderer);
//   sampler.read(rgb);   // rows bottom first, RGB, tightly packed
//
// It leaves the frame buffer bindings, the pack alignment and the scissor
// test as it found them. It needs the window's GL context current, of the
// renderer it was made for: on ES it reads RGBA (the one form ES always
// reads) and drops the alpha.
#pragma once

#include <cstdint>
#include <vector>

#include "draw/renderer.h"

namespace demo {

class FrameSampler {
public:
  // Samples width x height pixels down to sampledWidth x sampledHeight; equal
  // sizes read the frame as it is.
  FrameSampler(int width, int height, int sampledWidth, int sampledHeight, draw::Renderer renderer);
  ~FrameSampler();
  FrameSampler(const FrameSampler &) = delete;
  FrameSampler &operator=(const FrameSampler &) = delete;

  // The frame drawn so far, sampledWidth x sampledHeight RGB, into `rgb`
  // (resized to fit).
  void read(std::vector<uint8_t> &rgb) const;

private:
  int width_, height_, sampledWidth_, sampledHeight_;
  draw::Renderer renderer_;
  unsigned samples_ = 0; // frame buffer holding the samples (0 when every pixel is read)
  unsigned sampleColour_ = 0;
};

} // namespace demo
