// reverb.h - the room the instruments play in: a Schroeder-Moorer reverb
// (eight damped feedback combs in parallel, then four all-passes in series,
// per side, the right side's delays a little longer for width).
//
// The reverb is a send effect: the mixer sums what each track sends to it
// into one mono signal, and process() adds the stereo tail into the master.
// Its input is high-passed, so the kick and the bass never make the room
// boom (and never blur the low band the show listens to).
//
// Use:
//   Reverb room(0.82f, 0.35f);                 // size 0..1, damping 0..1
//   room.process(send, left, right, frames);   // adds the wet signal
//
// What it does not do: pre-delay, modulation, or a dry path.
#pragma once

#include <cstddef>
#include <vector>

#include "bake/music/filter.h"

namespace demo::bake::music {

class Reverb {
public:
  Reverb(float roomSize, float damping);

  // Adds the reverberation of the mono `input` into left and right. The state
  // carries over, so a long signal may be processed in pieces.
  void process(const float *input, float *left, float *right, size_t frames);

private:
  struct Comb {
    std::vector<float> buffer;
    size_t index = 0;
    float store = 0.f;
  };
  struct AllPass {
    std::vector<float> buffer;
    size_t index = 0;
  };
  float feedback_;
  float damp_;
  SvFilter inputHighPass_;
  Comb combs_[2][8];
  AllPass allPasses_[2][4];
};

} // namespace demo::bake::music
