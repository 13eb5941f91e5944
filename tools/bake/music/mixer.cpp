#include "bake/music/mixer.h"

#include <algorithm>
#include <cmath>
#include <thread>

#include "bake/music/drums.h"
#include "bake/music/oscillator.h"
#include "bake/music/ping_pong_delay.h"
#include "bake/music/reverb.h"
#include "bake/music/synths.h"

namespace demo::bake::music {

namespace {

// The desk, one row per Track in its order.
//                                   gain   pan  reverb delay  duck
const TrackMix kMix[kTrackCount] = {
    /* Kick         */ {1.00f, 0.00f, 0.00f, 0.00f, 0.0f},
    /* Snare        */ {1.00f, 0.00f, 0.22f, 0.00f, 0.0f},
    /* Clap         */ {0.85f, 0.00f, 0.28f, 0.00f, 0.0f},
    /* ClosedHat    */ {0.40f, 0.25f, 0.04f, 0.00f, 0.0f},
    /* OpenHat      */ {0.32f, -0.20f, 0.08f, 0.00f, 0.3f},
    /* Shaker       */ {0.40f, -0.30f, 0.10f, 0.00f, 0.0f},
    /* Crash        */ {0.50f, 0.00f, 0.12f, 0.00f, 0.0f},
    /* ReverseCrash */ {0.35f, 0.00f, 0.20f, 0.00f, 0.0f},
    /* Riser        */ {0.22f, 0.00f, 0.30f, 0.00f, 0.0f},
    /* Downlifter   */ {0.22f, 0.00f, 0.30f, 0.00f, 0.0f},
    /* Bass         */ {1.30f, 0.00f, 0.00f, 0.00f, 0.75f},
    /* Pad          */ {0.40f, 0.00f, 0.30f, 0.00f, 0.5f},
    /* Pluck        */ {0.33f, 0.10f, 0.18f, 0.30f, 0.4f},
    /* Lead         */ {0.50f, 0.00f, 0.22f, 0.22f, 0.2f},
    /* Bell         */ {0.30f, -0.15f, 0.35f, 0.25f, 0.0f},
    /* Stab         */ {0.35f, 0.00f, 0.28f, 0.10f, 0.0f},
};

// The echo: a dotted eighth at the piece's usual tempo.
constexpr float kEchoSeconds = 0.75f * 0.6183f;
constexpr float kEchoFeedback = 0.38f;
constexpr float kEchoTone = 3200.f;
constexpr float kEchoToRoom = 0.25f;
constexpr float kRoomSize = 0.8f;
constexpr float kRoomDamping = 0.45f;

struct Buses {
  std::vector<float> left, right, room, echo;
  explicit Buses(size_t frames) : left(frames, 0.f), right(frames, 0.f), room(frames, 0.f), echo(frames, 0.f) {}
};

void renderShare(const std::vector<Note> &notes, size_t worker, const std::vector<float> &pump, Buses &buses) {
  const size_t total = buses.left.size();
  std::vector<float> left, right;
  for (size_t i = worker; i < notes.size(); i += kMixWorkers) {
    const Note &note = notes[i];
    const Instrument &instrument = instrumentFor(note.track);
    const TrackMix &mix = trackMix(note.track);
    const size_t length = instrument.frames(note);
    const long long start = std::llround(note.start * kSampleRate);
    if (length == 0 || start >= static_cast<long long>(total) || start + static_cast<long long>(length) <= 0)
      continue;
    left.assign(length, 0.f);
    right.assign(length, 0.f);
    instrument.render(note, left.data(), right.data());
    // Constant-sum pan: the centre keeps full level on both sides.
    const float panLeft = mix.gain * std::min(1.f, 1.f - mix.pan);
    const float panRight = mix.gain * std::min(1.f, 1.f + mix.pan);
    const size_t from = start < 0 ? static_cast<size_t>(-start) : 0;
    const size_t to = std::min(length, static_cast<size_t>(static_cast<long long>(total) - start));
    for (size_t k = from; k < to; ++k) {
      const size_t at = static_cast<size_t>(start + static_cast<long long>(k));
      const float duck = 1.f - mix.duck * pump[at];
      const float l = left[k] * panLeft * duck;
      const float r = right[k] * panRight * duck;
      buses.left[at] += l;
      buses.right[at] += r;
      const float mono = 0.5f * (l + r);
      buses.room[at] += mono * mix.reverb;
      buses.echo[at] += mono * mix.delay;
    }
  }
}

} // namespace

const TrackMix &trackMix(Track track) { return kMix[static_cast<int>(track) % kTrackCount]; }

const Instrument &instrumentFor(Track track) {
  static const Kick kick;
  static const Snare snare;
  static const Clap clap;
  static const HiHat closedHat(0.035f, 1.f), openHat(0.22f, 1.f), shaker(0.03f, 0.f);
  static const Crash crash(false), reverseCrash(true);
  static const NoiseSweep riser(true), downlifter(false);
  static const Bass bass;
  static const Pad pad;
  static const Pluck pluck;
  static const Lead lead;
  static const Bell bell;
  static const Stab stab;
  switch (track) {
  case Track::Kick:
    return kick;
  case Track::Snare:
    return snare;
  case Track::Clap:
    return clap;
  case Track::ClosedHat:
    return closedHat;
  case Track::OpenHat:
    return openHat;
  case Track::Shaker:
    return shaker;
  case Track::Crash:
    return crash;
  case Track::ReverseCrash:
    return reverseCrash;
  case Track::Riser:
    return riser;
  case Track::Downlifter:
    return downlifter;
  case Track::Bass:
    return bass;
  case Track::Pad:
    return pad;
  case Track::Pluck:
    return pluck;
  case Track::Lead:
    return lead;
  case Track::Bell:
    return bell;
  case Track::Stab:
  case Track::Count:
    break;
  }
  return stab;
}

std::vector<float> kickPump(const std::vector<Note> &notes, size_t frames) {
  std::vector<float> pump(frames, 0.f);
  // Full depth 5 ms after the hit (a quick dip, not a click), then back up
  // with a 90 ms time constant: the breathing of a side-chained compressor.
  const size_t dip = framesFor(0.005), span = framesFor(0.5);
  const float keep = std::exp(-1.f / (0.09f * static_cast<float>(kSampleRate)));
  for (const Note &note : notes) {
    if (note.track != Track::Kick)
      continue;
    const long long start = std::llround(note.start * kSampleRate);
    const float depth = std::min(1.f, note.velocity);
    float level = depth;
    for (size_t k = 0; k < span; ++k) {
      const long long at = start + static_cast<long long>(k);
      if (at < 0)
        continue;
      if (at >= static_cast<long long>(frames))
        break;
      float v = depth * static_cast<float>(k) / static_cast<float>(dip);
      if (k >= dip) {
        v = level;
        level *= keep;
      }
      float &p = pump[static_cast<size_t>(at)];
      p = std::max(p, v);
    }
  }
  return pump;
}

std::vector<float> mixNotes(const std::vector<Note> &notes, size_t frames) {
  const std::vector<float> pump = kickPump(notes, frames);
  // Make every instrument before the workers start (their statics are
  // thread-safe anyway; this keeps the first note's timing honest).
  for (int t = 0; t < kTrackCount; ++t)
    instrumentFor(static_cast<Track>(t));

  std::vector<Buses> buses;
  buses.reserve(kMixWorkers);
  for (int w = 0; w < kMixWorkers; ++w)
    buses.emplace_back(frames);
  std::vector<std::thread> workers;
  for (int w = 1; w < kMixWorkers; ++w)
    workers.emplace_back(renderShare, std::cref(notes), static_cast<size_t>(w), std::cref(pump), std::ref(buses[w]));
  renderShare(notes, 0, pump, buses[0]);
  for (std::thread &t : workers)
    t.join();
  Buses &sum = buses[0];
  for (int w = 1; w < kMixWorkers; ++w)
    for (size_t n = 0; n < frames; ++n) {
      sum.left[n] += buses[w].left[n];
      sum.right[n] += buses[w].right[n];
      sum.room[n] += buses[w].room[n];
      sum.echo[n] += buses[w].echo[n];
    }
  buses.erase(buses.begin() + 1, buses.end()); // free the other workers' buses early

  // The echo goes to the master and, a little, into the room.
  std::vector<float> echoLeft(frames, 0.f), echoRight(frames, 0.f);
  PingPongDelay echo(kEchoSeconds, kEchoFeedback, kEchoTone);
  echo.process(sum.echo.data(), echoLeft.data(), echoRight.data(), frames);
  for (size_t n = 0; n < frames; ++n) {
    sum.left[n] += echoLeft[n];
    sum.right[n] += echoRight[n];
    sum.room[n] += 0.5f * (echoLeft[n] + echoRight[n]) * kEchoToRoom;
  }
  Reverb room(kRoomSize, kRoomDamping);
  room.process(sum.room.data(), sum.left.data(), sum.right.data(), frames);

  std::vector<float> stereo(2 * frames);
  for (size_t n = 0; n < frames; ++n) {
    stereo[2 * n] = sum.left[n];
    stereo[2 * n + 1] = sum.right[n];
  }
  return stereo;
}

} // namespace demo::bake::music
