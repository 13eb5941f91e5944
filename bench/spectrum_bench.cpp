// spectrum_bench - the cost of the per-frame music spectrum.
//
// The show asks for one spectrum per rendered frame; these measure that call:
// the analyser on a decoded synthetic stereo track, and MusicStream's own
// spectrumAt on a real file, at given times and at the playing position. The file benchmarks need an Ogg
// Vorbis file: $DEMO_MUSIC_FILE, else the show's "data/01.ogg"; without one
// they report an error and are skipped.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "audio/music_stream.h"
#include "base/data_path.h"
#include "base/math.h"

namespace demo {
namespace {

constexpr int kRate = 44100;
constexpr size_t kFramesPerVideoFrame = kRate / 60;

// Ten seconds of stereo: a few tones and some noise, different in each channel.
DecodedAudio syntheticTrack() {
  DecodedAudio audio;
  audio.sampleRate = kRate;
  audio.channels = 2;
  const size_t frames = static_cast<size_t>(10 * kRate);
  audio.samples.resize(frames * 2);
  std::mt19937 random(7);
  std::uniform_real_distribution<float> noise(-0.1f, 0.1f);
  for (size_t f = 0; f < frames; ++f) {
    const double t = static_cast<double>(f) / kRate;
    const double left = 0.4 * std::sin(2 * kPi * 55.0 * t) + 0.2 * std::sin(2 * kPi * 880.0 * t);
    const double right = 0.4 * std::sin(2 * kPi * 110.0 * t) + 0.2 * std::sin(2 * kPi * 1760.0 * t);
    audio.samples[2 * f] = static_cast<int16_t>((left + noise(random)) * 32767.0);
    audio.samples[2 * f + 1] = static_cast<int16_t>((right + noise(random)) * 32767.0);
  }
  return audio;
}

void BM_AnalyseStereo(benchmark::State &state) {
  const DecodedAudio audio = syntheticTrack();
  SpectrumAnalyser analyser;
  Spectrum out;
  size_t endFrame = 0;
  for (auto _ : state) {
    analyser.analyse(audio, endFrame, out);
    benchmark::DoNotOptimize(out);
    endFrame = (endFrame + kFramesPerVideoFrame) % (audio.frames() + kFftSize);
  }
}
BENCHMARK(BM_AnalyseStereo);

void BM_AnalyseMono(benchmark::State &state) {
  std::vector<float> mono(kFftSize);
  for (int n = 0; n < kFftSize; ++n)
    mono[n] = static_cast<float>(std::sin(n * 0.37));
  SpectrumAnalyser analyser;
  Spectrum out;
  for (auto _ : state) {
    analyser.analyseMono(mono.data(), out);
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(BM_AnalyseMono);

std::string musicFile() {
  if (const char *path = std::getenv("DEMO_MUSIC_FILE"))
    return path;
  setDataDirectory(defaultDataDirectory());
  return resolveDataPath("data/01.ogg");
}

bool openMusic(benchmark::State &state, MusicStream &music) {
  const std::string path = musicFile();
  music.init(nullptr, false);
  if (!music.open(path.c_str())) {
    state.SkipWithError(("no music file at " + path + " (set DEMO_MUSIC_FILE)").c_str());
    return false;
  }
  return true;
}

void BM_SpectrumAt(benchmark::State &state) {
  MusicStream music;
  if (!openMusic(state, music))
    return;
  const double seconds = static_cast<double>(music.audio().frames()) / music.audio().sampleRate;
  Spectrum out;
  double t = 0.0;
  for (auto _ : state) {
    music.spectrumAt(t, out);
    benchmark::DoNotOptimize(out);
    t += 1.0 / 60.0;
    if (t > seconds)
      t = 0.0;
  }
}
BENCHMARK(BM_SpectrumAt);

// The spectrum of what is heard now: the silent clock's position, then the
// analysis.
void BM_SpectrumAtTheClock(benchmark::State &state) {
  MusicStream music;
  if (!openMusic(state, music))
    return;
  music.play(0.0);
  Spectrum out;
  for (auto _ : state) {
    music.spectrumAt(music.clockSeconds(), out);
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(BM_SpectrumAtTheClock);

} // namespace
} // namespace demo
