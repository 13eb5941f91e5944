#include "bake/music/envelope.h"

#include <cmath>

#include "bake/music/oscillator.h"

namespace demo::bake::music {

float timeConstantKeep(float seconds) {
  if (!(seconds > 0.f))
    return 0.f;
  return std::exp(-1.f / (seconds * static_cast<float>(kSampleRate)));
}

Envelope::Envelope(const EnvelopeShape &shape) : shape_(shape) {
  decayKeep_ = timeConstantKeep(shape.decay);
  releaseKeep_ = timeConstantKeep(shape.release);
}

void Envelope::gateOn() {
  if (shape_.attack > 0.f) {
    stage_ = Stage::Attack;
    // The full rise takes `attack` seconds; a retrigger from a higher level
    // keeps the same slope and arrives sooner.
    attackStep_ = 1.f / (shape_.attack * static_cast<float>(kSampleRate));
  } else {
    stage_ = Stage::Decay;
    level_ = 1.f;
  }
}

void Envelope::gateOff() {
  if (stage_ != Stage::Idle)
    stage_ = Stage::Release;
}

} // namespace demo::bake::music
