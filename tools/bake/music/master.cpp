#include "bake/music/master.h"

#include <cmath>

#include "bake/music/limiter.h"
#include "bake/music/loudness_meter.h"
#include "bake/music/mixer.h"
#include "bake/music/oscillator.h"

namespace demo::bake::music {

namespace {

double loudnessOf(const std::vector<float> &stereo) {
  LoudnessMeter meter(2);
  meter.add(stereo.data(), stereo.size() / 2);
  return meter.integrated();
}

constexpr int kLoudnessPasses = 4;
constexpr double kLoudnessTolerance = 0.1;

} // namespace

void masterStereo(std::vector<float> &stereo, const std::vector<CurvePoint> &gainCurve, double targetLufs,
                  float ceiling, MasterReport &report) {
  const size_t frames = stereo.size() / 2;
  if (!gainCurve.empty()) {
    for (size_t n = 0; n < frames; ++n) {
      const float g = curveAt(gainCurve, static_cast<double>(n) / kSampleRate);
      stereo[2 * n] *= g;
      stereo[2 * n + 1] *= g;
    }
  }
  const double before = loudnessOf(stereo);
  if (!std::isfinite(before)) {
    // Silence stays silence: there is nothing to normalise.
    report.loudness = before;
    report.peak = 0.f;
    report.gain = 1.f;
    return;
  }
  const Limiter limiter(ceiling, 0.003f, 0.08f);
  double gainDb = targetLufs - before;
  std::vector<float> out;
  for (int pass = 0; pass < kLoudnessPasses; ++pass) {
    const float gain = static_cast<float>(std::pow(10.0, gainDb / 20.0));
    out = stereo;
    for (float &s : out)
      s *= gain;
    const LimiterReport limited = limiter.process(out);
    report.gain = gain;
    report.peak = limited.peakOut;
    report.deepestLimit = limited.deepestGain;
    report.limitedShare = limited.limitedShare;
    report.loudness = loudnessOf(out);
    const double error = targetLufs - report.loudness;
    if (std::fabs(error) <= kLoudnessTolerance)
      break;
    gainDb += error;
  }
  stereo = std::move(out);
}

std::vector<float> renderSong(const Song &song, MasterReport &report) {
  report.problems.clear();
  const std::vector<Note> notes = sequence(song, &report.problems);
  report.notes = notes.size();
  std::vector<float> stereo = mixNotes(notes, framesFor(song.length));
  masterStereo(stereo, song.masterGain, kTargetLufs, kCeiling, report);
  return stereo;
}

} // namespace demo::bake::music
