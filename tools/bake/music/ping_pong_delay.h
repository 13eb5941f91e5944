// ping_pong_delay.h - a tempo echo that bounces between the speakers.
//
// A mono send goes into the left line; each echo crosses to the other side,
// a little darker and quieter each time (a low-pass in the loop). The mixer
// uses it on the plucks and the lead with a dotted-eighth time.
//
// Use:
//   PingPongDelay echo(0.46f, 0.45f, 3500.f);      // seconds, feedback, tone
//   echo.process(send, left, right, frames);       // adds the echoes
//
// What it does not do: change its time while running, or pass the dry signal.
#pragma once

#include <cstddef>
#include <vector>

#include "bake/music/filter.h"

namespace demo::bake::music {

class PingPongDelay {
public:
  PingPongDelay(float seconds, float feedback, float toneHz);

  // Adds the echoes of the mono `input` into left and right; state carries on
  // between calls.
  void process(const float *input, float *left, float *right, size_t frames);

private:
  std::vector<float> leftLine_, rightLine_;
  size_t index_ = 0;
  float feedback_;
  SvFilter toneLeft_, toneRight_;
};

} // namespace demo::bake::music
