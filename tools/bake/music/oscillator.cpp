#include "bake/music/oscillator.h"

#include <cmath>

namespace demo::bake::music {

float midiToHz(float note) { return 440.f * std::exp2((note - 69.f) / 12.f); }

Oscillator::Oscillator(Waveform waveform, float phase) : waveform_(waveform), phase_(phase) {}

void Oscillator::setFrequency(float hz) {
  float inc = hz / static_cast<float>(kSampleRate);
  increment_ = inc < 0.f ? 0.f : (inc > 0.5f ? 0.5f : inc);
}

} // namespace demo::bake::music
