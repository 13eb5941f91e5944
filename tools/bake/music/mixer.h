// mixer.h - the mixing desk: every note through its instrument, onto its
// track's level, pan and side-chain, into the echo and the room, summed to
// one stereo master.
//
// Each Track has a TrackMix: a gain, a pan position, how much it sends to the
// ping-pong echo and to the reverb, and how deeply the kick ducks it (the
// side-chain "pump" that keeps the low end clean under each kick, so the
// kick is what the show's lowest spectrum bin sees). Notes are rendered by a
// fixed number of workers, note i by worker i mod kMixWorkers, each into its
// own buses, and the buses are added in worker order: the result does not
// depend on how the threads are scheduled, so the same notes always give the
// same samples.
//
// Use:
//   std::vector<float> stereo = mixNotes(sequence(song), framesFor(song.length));
//
// What it does not do: automation of the mix (the song's master gain curve is
// applied by the caller), effects inserted on single tracks, or mastering.
#pragma once

#include <cstddef>
#include <vector>

#include "bake/music/instrument.h"

namespace demo::bake::music {

constexpr int kMixWorkers = 2;

struct TrackMix {
  float gain = 1.f;
  float pan = 0.f;    // -1 left .. 1 right
  float reverb = 0.f; // send levels
  float delay = 0.f;
  float duck = 0.f;   // 0: untouched by the kick .. 1: silenced at each kick
};

const TrackMix &trackMix(Track track);

// The instrument that plays a track's notes.
const Instrument &instrumentFor(Track track);

// The side-chain signal: 0 .. 1 per frame, jumping up at each kick (by its
// velocity) and falling back within about a quarter second.
std::vector<float> kickPump(const std::vector<Note> &notes, size_t frames);

// Renders the notes into `frames` frames of interleaved stereo (L R L R ...).
// Parts of notes before frame 0 or after the end are cut off.
std::vector<float> mixNotes(const std::vector<Note> &notes, size_t frames);

} // namespace demo::bake::music
