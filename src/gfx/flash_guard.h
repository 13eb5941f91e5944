// flash_guard.h - the gentle mode's last pass over each frame: measures the
// finished frame and lays over it what keeps its flashing under the limit
// (FlashLimiter, base/flash_limiter.h, decides; this draws).
//
// Use, with the frame buffer the show drew into bound:
//   FlashGuard guard(frame, window.drawRenderer());   // once, with the GL context current
//   ...draw a frame...
//   guard.limit(secondsSinceLastFrame);
//
// limit() measures the frame from at most about 120 000 of its pixels:
// one of every 2 x 2 at 800 x 600, one of every 4 x 4 at scale 2, and so
// on. Those are copied on the graphics card into the guard's own small
// frame buffer (a blit, nearest pixel) and only they are read back, so the
// read-back stays about 360 KB a frame at any scale. It then draws, as
// decided, nothing or a black quad of the chosen opacity over the whole
// frame. Every GL state it changes is put back as it was (attributes pushed
// and popped, the program, the matrices, the frame buffer bindings, the
// active texture unit and the pack alignment restored), so the next frame
// draws exactly as it would have.
//
// What it does not do: anything at all when the show is not in the gentle
// mode (the show then makes no FlashGuard), or draw anything over a frame
// that needs no correction.
#pragma once

#include <cstdint>
#include <vector>

#include "base/flash_limiter.h"
#include "base/frame_size.h"
#include "draw/renderer.h"
#include "platform/frame_sampler.h"

namespace demo {

class FlashGuard {
public:
  // Measures frames of `frame`'s size, read from a context of `renderer`'s kind.
  FlashGuard(const FrameSize &frame, draw::Renderer renderer);
  FlashGuard(const FlashGuard &) = delete;
  FlashGuard &operator=(const FlashGuard &) = delete;

  // The frame just drawn into the bound frame buffer, `seconds` after the
  // previous one: the correction laid over it.
  FrameCorrection limit(float seconds);

private:
  void lay(const FrameCorrection &correction) const;

  FrameSize frame_;
  FrameSize sampled_;       // the pixels measured: one of every n x n
  FrameSampler sampler_;
  std::vector<uint8_t> pixels_;
  FlashLimiter limiter_;
};

} // namespace demo
