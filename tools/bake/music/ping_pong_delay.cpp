#include "bake/music/ping_pong_delay.h"

#include "bake/music/oscillator.h"

namespace demo::bake::music {

PingPongDelay::PingPongDelay(float seconds, float feedback, float toneHz) : feedback_(feedback) {
  size_t length = static_cast<size_t>(seconds * static_cast<float>(kSampleRate));
  if (length < 1)
    length = 1;
  leftLine_.assign(length, 0.f);
  rightLine_.assign(length, 0.f);
  toneLeft_.setCutoff(toneHz);
  toneRight_.setCutoff(toneHz);
}

void PingPongDelay::process(const float *input, float *left, float *right, size_t frames) {
  const size_t length = leftLine_.size();
  for (size_t n = 0; n < frames; ++n) {
    const float outLeft = leftLine_[index_];
    const float outRight = rightLine_[index_];
    // Left hears the input and what came back from the right; right hears
    // only what left already said, one delay later. Each echo is `feedback`
    // times the one before, alternating sides.
    leftLine_[index_] = input[n] + toneLeft_.process(outRight) * feedback_;
    rightLine_[index_] = toneRight_.process(outLeft) * feedback_;
    if (++index_ == length)
      index_ = 0;
    left[n] += outLeft;
    right[n] += outRight;
  }
}

} // namespace demo::bake::music
