// drums.h - the drum machine: kick, snare, clap, hats, crash and the noise
// sweeps (risers and downlifters) that carry the build-ups.
//
// Each is an Instrument (instrument.h) built from the small units: sine and
// square oscillators, noise, state-variable filters, exponential envelopes.
// They are modelled on the classic analogue machines: the kick is a sine whose
// pitch falls quickly from a click to its body (tuned by the note's pitch,
// E1 = 41 Hz by default, strong enough in the 40-60 Hz band to drive the
// show's lowest spectrum bin), the hats are six detuned square waves through a
// band-pass, the snare and the clap are tuned bodies with shaped noise.
//
// Use: the mixer owns one of each; see instrument.h for the interface.
//
// What it does not do: sampled sounds, choke groups (an open hat is not cut
// by the next closed one), or velocity layers beyond a brighter attack.
#pragma once

#include "bake/music/instrument.h"

namespace demo::bake::music {

class Kick : public Instrument {
public:
  size_t frames(const Note &note) const override;
  void render(const Note &note, float *left, float *right) const override;
};

class Snare : public Instrument {
public:
  size_t frames(const Note &note) const override;
  void render(const Note &note, float *left, float *right) const override;
};

class Clap : public Instrument {
public:
  size_t frames(const Note &note) const override;
  void render(const Note &note, float *left, float *right) const override;
};

// Closed, open or shaker, by its decay time constant and colour.
class HiHat : public Instrument {
public:
  HiHat(float decaySeconds, float metal);
  size_t frames(const Note &note) const override;
  void render(const Note &note, float *left, float *right) const override;

private:
  float decay_;
  float metal_; // 0: pure noise (a shaker), 1: all metallic partials
};

// A crash cymbal; reversed, it swells for the note's length and stops dead
// at its end (the classic lead-in to a downbeat).
class Crash : public Instrument {
public:
  explicit Crash(bool reversed) : reversed_(reversed) {}
  size_t frames(const Note &note) const override;
  void render(const Note &note, float *left, float *right) const override;

private:
  bool reversed_;
};

// Filtered noise sweeping up over the note's length and swelling (a riser),
// or sweeping down and fading (a downlifter).
class NoiseSweep : public Instrument {
public:
  explicit NoiseSweep(bool rising) : rising_(rising) {}
  size_t frames(const Note &note) const override;
  void render(const Note &note, float *left, float *right) const override;

private:
  bool rising_;
};

} // namespace demo::bake::music
