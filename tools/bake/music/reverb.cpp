#include "bake/music/reverb.h"

namespace demo::bake::music {

namespace {
// Delay lengths in samples at 44.1 kHz, mutually prime-ish so the echoes do
// not pile up on one period (the classic Freeverb tuning).
constexpr size_t kCombLengths[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
constexpr size_t kAllPassLengths[4] = {556, 441, 341, 225};
constexpr size_t kStereoSpread = 23;
constexpr float kInputGain = 0.015f;
constexpr float kWetGain = 3.f;
constexpr float kAllPassFeedback = 0.5f;
} // namespace

Reverb::Reverb(float roomSize, float damping)
    : feedback_(0.7f + 0.28f * roomSize), damp_(0.4f * damping), inputHighPass_(FilterMode::HighPass) {
  inputHighPass_.setCutoff(220.f);
  for (int side = 0; side < 2; ++side) {
    for (int i = 0; i < 8; ++i)
      combs_[side][i].buffer.assign(kCombLengths[i] + (side ? kStereoSpread : 0), 0.f);
    for (int i = 0; i < 4; ++i)
      allPasses_[side][i].buffer.assign(kAllPassLengths[i] + (side ? kStereoSpread : 0), 0.f);
  }
}

void Reverb::process(const float *input, float *left, float *right, size_t frames) {
  for (size_t n = 0; n < frames; ++n) {
    const float in = inputHighPass_.process(input[n]) * kInputGain;
    for (int side = 0; side < 2; ++side) {
      float sum = 0.f;
      for (Comb &comb : combs_[side]) {
        const float out = comb.buffer[comb.index];
        // A one-pole low-pass inside the loop: high frequencies die first, as
        // they do on real walls.
        comb.store = out * (1.f - damp_) + comb.store * damp_;
        comb.buffer[comb.index] = in + comb.store * feedback_;
        if (++comb.index == comb.buffer.size())
          comb.index = 0;
        sum += out;
      }
      for (AllPass &pass : allPasses_[side]) {
        const float delayed = pass.buffer[pass.index];
        pass.buffer[pass.index] = sum + delayed * kAllPassFeedback;
        sum = delayed - sum;
        if (++pass.index == pass.buffer.size())
          pass.index = 0;
      }
      (side ? right : left)[n] += sum * kWetGain;
    }
  }
}

} // namespace demo::bake::music
