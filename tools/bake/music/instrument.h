// instrument.h - what every instrument of the synthesizer shares: the note it
// is asked to play and the one way it plays it.
//
// A Note is a fully resolved event of the song (absolute start time in
// seconds, key-down length, pitch, velocity and the song's brightness at that
// moment). An Instrument renders one note at a time from its first frame to
// the end of its tail, as a pure function of the note: voices never share
// state, so notes can be rendered in any order, on any thread, and always
// give the same samples. The mixer places, pans and sums them.
//
// Use:
//   const Instrument &kick = ...;
//   std::vector<float> left(kick.frames(note)), right(left.size());
//   kick.render(note, left.data(), right.data());   // adds into both
//
// What it does not do: interact between notes (a glide is described by the
// note itself, glideFrom), or change its sound after it was made.
#pragma once

#include <cstddef>
#include <cstdint>

namespace demo::bake::music {

// The mixer's channels; each has one instrument and its own level, pan,
// sends and side-chain depth.
enum class Track : uint8_t {
  Kick,
  Snare,
  Clap,
  ClosedHat,
  OpenHat,
  Shaker,
  Crash,
  ReverseCrash,
  Riser,
  Downlifter,
  Bass,
  Pad,
  Pluck,
  Lead,
  Bell,
  Stab,
  Count
};
constexpr int kTrackCount = static_cast<int>(Track::Count);

struct Note {
  Track track = Track::Kick;
  double start = 0.0;     // seconds from the start of the piece
  double length = 0.0;    // seconds the key is held; the release follows
  float pitch = 60.f;     // MIDI note number (drums: their tuning)
  float velocity = 1.f;   // 0 .. 1
  float brightness = 0.5f; // 0 .. 1, the song's filter opening at `start`
  float glideFrom = 0.f;  // MIDI pitch the note slides up or down from; 0 for none
  uint32_t seed = 1;      // noise seed, so each hit differs a little
};

class Instrument {
public:
  virtual ~Instrument() = default;
  // Frames the note sounds, its release tail included.
  virtual size_t frames(const Note &note) const = 0;
  // Adds the note into left and right; frame 0 is the note's start and both
  // buffers hold at least frames(note) values.
  virtual void render(const Note &note, float *left, float *right) const = 0;
};

// Seconds to frames at kSampleRate, rounded to the nearest frame.
size_t framesFor(double seconds);

} // namespace demo::bake::music
