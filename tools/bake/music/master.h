// master.h - from a Song to finished stereo samples: sequence, mix, master.
//
// Mastering here is three steps on the whole piece: the song's master gain
// curve (its dips and its fade-out), a gain that brings the integrated
// loudness (loudness_meter.h) to the target, and the look-ahead limiter
// (limiter.h) that keeps every sample under the ceiling. Limiting lowers the
// loudness a little, so the gain is measured again after it and corrected,
// a few times at most, until the finished loudness is within 0.1 LU of the
// target.
//
// Use:
//   MasterReport report;
//   std::vector<float> stereo = renderSong(makeSoundtrack(), report);
//
// What it does not do: equalisation, multiband compression, true-peak
// limiting (the ceiling leaves room for the encoder's overshoot instead).
#pragma once

#include <string>
#include <vector>

#include "bake/music/song.h"

namespace demo::bake::music {

constexpr double kTargetLufs = -14.0;
constexpr float kCeiling = 0.841f; // -1.5 dBFS: room for the encoder's overshoot

struct MasterReport {
  double loudness = 0.0;    // integrated, LUFS, of the finished samples
  float peak = 0.f;         // largest |sample| of the finished samples
  float gain = 1.f;         // the loudness gain that was applied before limiting
  float deepestLimit = 1.f; // smallest gain the limiter applied
  double limitedShare = 0.; // share of frames the limiter touched
  size_t notes = 0;
  std::vector<std::string> problems; // what the sequencer could not read
};

// Applies the gain curve, normalises to targetLufs and limits to ceiling, in
// place (interleaved stereo).
void masterStereo(std::vector<float> &stereo, const std::vector<CurvePoint> &gainCurve, double targetLufs,
                  float ceiling, MasterReport &report);

// The whole chain for a song: length * kSampleRate frames of interleaved
// stereo at kTargetLufs with peaks under kCeiling.
std::vector<float> renderSong(const Song &song, MasterReport &report);

} // namespace demo::bake::music
