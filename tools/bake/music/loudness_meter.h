// loudness_meter.h - integrated loudness in LUFS, the way broadcast and
// streaming services measure it (ITU-R BS.1770-4 / EBU R 128).
//
// Each channel is K-weighted (a high shelf of about +4 dB above 1.5 kHz, for
// the head, and a high-pass near 38 Hz), squared and averaged over 400 ms
// blocks that overlap by 75 %. A block's loudness is
// -0.691 + 10 log10(sum over channels of its mean square). Blocks quieter
// than -70 LUFS are dropped (absolute gate), then blocks more than 10 LU below
// the mean of the rest (relative gate); the integrated loudness is the mean
// of what remains. A full-scale 997 Hz sine in one channel reads -3.01 LUFS.
//
// Use:
//   LoudnessMeter meter(2);                 // channels (weights 1, as for L and R)
//   meter.add(interleaved, frames);         // as often as needed
//   double lufs = meter.integrated();       // -infinity when all is gated
//
// What it does not do: surround channel weights, short-term or momentary
// curves, loudness range, or true peak.
#pragma once

#include <cstddef>
#include <vector>

#include "bake/music/filter.h"

namespace demo::bake::music {

class LoudnessMeter {
public:
  explicit LoudnessMeter(int channels);

  // Feeds interleaved samples at kSampleRate (frames * channels values).
  void add(const float *interleaved, size_t frames);
  // The gated integrated loudness of everything fed so far, in LUFS;
  // -infinity when no block passes the gates (silence, or under 400 ms).
  double integrated() const;

private:
  int channels_;
  std::vector<Biquad> shelves_, highPasses_;
  std::vector<double> partial_; // per channel: sum of squares in the current 100 ms step
  size_t partialFrames_ = 0;
  std::vector<double> steps_;   // per 100 ms step: sum over channels of the mean square
};

} // namespace demo::bake::music
