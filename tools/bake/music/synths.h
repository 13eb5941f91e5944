// synths.h - the pitched instruments: bass, pad, pluck, lead, bell and the
// chord stab that marks the accents.
//
// Each is an Instrument (instrument.h) made of the small units: band-limited
// oscillators, a resonant state-variable filter whose cutoff follows an
// envelope and the note's brightness, and an ADSR for the level.
//   Bass  - a filtered saw over a sine at the same pitch; its fundamental
//           sits in the lowest spectrum bins, under the kick.
//   Pad   - three detuned saws per side, slow attack and release, a wide
//           chorus-like stereo image.
//   Pluck - saw and square with a fast filter decay (the arpeggios).
//   Lead  - two detuned saws and a square an octave down, with glide and a
//           vibrato that fades in on long notes.
//   Bell  - two-operator FM (a sine modulating a sine at 3.5 times its
//           frequency), bright at the strike and mellow as it rings.
//   Stab  - a brassy, quickly closing chord hit.
//
// Use: the mixer owns one of each; see instrument.h for the interface.
//
// What it does not do: polyphony inside one note (a chord is several notes),
// pitch bends other than the glide, or sample-accurate modulation (filters
// are retuned every 16 frames).
#pragma once

#include "bake/music/instrument.h"

namespace demo::bake::music {

class Bass : public Instrument {
public:
  size_t frames(const Note &note) const override;
  void render(const Note &note, float *left, float *right) const override;
};

class Pad : public Instrument {
public:
  size_t frames(const Note &note) const override;
  void render(const Note &note, float *left, float *right) const override;
};

class Pluck : public Instrument {
public:
  size_t frames(const Note &note) const override;
  void render(const Note &note, float *left, float *right) const override;
};

class Lead : public Instrument {
public:
  size_t frames(const Note &note) const override;
  void render(const Note &note, float *left, float *right) const override;
};

class Bell : public Instrument {
public:
  size_t frames(const Note &note) const override;
  void render(const Note &note, float *left, float *right) const override;
};

class Stab : public Instrument {
public:
  size_t frames(const Note &note) const override;
  void render(const Note &note, float *left, float *right) const override;
};

} // namespace demo::bake::music
