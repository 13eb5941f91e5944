// flash_guard.h - the gentle mode's last pass over each frame: measures the
// finished frame and lays over it what keeps its flashing under the limit
// (FlashLimiter, base/flash_limiter.h, decides; this draws).
//
// Use, with the frame buffer the show drew into bound:
//   FlashGuard guard(frame);           // once, with the GL context current
//   ...draw a frame...
//   guard.limit(secondsSinceLastFrame);
//
// limit() reads the frame back (glReadPixels, the whole frame; the levels
// are taken from at most about 120 000 of its pixels: every second one of
// every second row at 800 x 600, fewer at larger scales), then draws, as
// decided, nothing or a black quad of the chosen opacity over the whole
// frame. Every GL state it changes is put back as it was (attributes pushed
// and popped, the program, the matrices, the active texture unit and the
// pack alignment restored), so the next frame draws exactly as it would
// have.
//
// What it does not do: anything at all when the show is not in the gentle
// mode (the show then makes no FlashGuard), or draw anything over a frame
// that needs no correction.
#pragma once

#include <cstdint>
#include <vector>

#include "base/flash_limiter.h"
#include "base/frame_size.h"

namespace demo {

class FlashGuard {
public:
  explicit FlashGuard(const FrameSize &frame);

  // The frame just drawn into the bound frame buffer, `seconds` after the
  // previous one: the correction laid over it.
  FrameCorrection limit(float seconds);

private:
  void lay(const FrameCorrection &correction) const;

  FrameSize frame_;
  int every_;
  std::vector<uint8_t> pixels_;
  FlashLimiter limiter_;
};

} // namespace demo
