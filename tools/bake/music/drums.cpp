#include "bake/music/drums.h"

#include <cmath>

#include "bake/music/envelope.h"
#include "bake/music/filter.h"
#include "bake/music/oscillator.h"

namespace demo::bake::music {

namespace {

constexpr float kDt = 1.f / static_cast<float>(kSampleRate);
// Filters that follow a sweep are retuned this often (a control rate).
constexpr size_t kControlFrames = 16;

// The six square-wave partials of the classic analogue hi-hat, in Hz; their
// sum has no common pitch, which is what makes it sound like metal.
constexpr float kMetalPartials[6] = {205.3f, 304.4f, 369.6f, 522.7f, 540.f, 800.f};

// Fades the last `fadeFrames` of a buffer to zero so a cut-off tail never
// clicks.
float tailFade(size_t i, size_t total, size_t fadeFrames) {
  if (i + fadeFrames < total)
    return 1.f;
  return static_cast<float>(total - i) / static_cast<float>(fadeFrames);
}

// Plain (not band-limited) squares: they are filtered down to a narrow band
// far above their pitches, and the few aliases only add to the metal.
struct Metal {
  float phases[6] = {};
  float increments[6] = {};
  explicit Metal(float scale) {
    for (int p = 0; p < 6; ++p) {
      phases[p] = 0.13f * static_cast<float>(p);
      increments[p] = kMetalPartials[p] * scale * kDt;
    }
  }
  float next() {
    float sum = 0.f;
    for (int p = 0; p < 6; ++p) {
      sum += phases[p] < 0.5f ? 1.f : -1.f;
      phases[p] += increments[p];
      if (phases[p] >= 1.f)
        phases[p] -= 1.f;
    }
    return sum * (1.f / 6.f);
  }
};

} // namespace

size_t framesFor(double seconds) {
  return seconds > 0.0 ? static_cast<size_t>(std::llround(seconds * kSampleRate)) : 0;
}

// ---------------------------------------------------------------------------

size_t Kick::frames(const Note &) const { return framesFor(0.55); }

void Kick::render(const Note &note, float *left, float *right) const {
  // A sub kick: the weight sits in its body's fundamental (about 41 Hz at
  // the default pitch), held at full level for an eighth of a second and
  // then let go quickly. Low and flat-topped is what the show's lowest spectrum bin
  // answers to most strongly for the least loudness, and the short tail
  // leaves room for the bass between the beats.
  const size_t total = frames(note);
  const float body = midiToHz(note.pitch);
  const float hold = 0.12f;         // full level before the body decays
  const float decayKeep = timeConstantKeep(0.06f);
  const float pitchKeep = timeConstantKeep(0.008f);
  const float snapKeep = timeConstantKeep(0.002f);
  const float clickKeep = timeConstantKeep(0.003f);
  const float drive = 2.f;          // rounds the body towards a square: more fundamental per peak
  const float driveNorm = 1.f / std::tanh(drive);
  Noise noise(note.seed);
  SvFilter click(FilterMode::BandPass);
  click.setCutoff(3200.f, 0.8f);

  float pitchEnv = 1.f, snapEnv = 1.f, clickEnv = 1.f, amp = 1.f;
  double phase = 0.0;
  for (size_t i = 0; i < total; ++i) {
    const float t = static_cast<float>(i) * kDt;
    // The pitch falls fast from a snap to the body; the ear hears the snap as
    // the beater and the body as the drum.
    const float hz = body * (1.f + 3.f * pitchEnv) + 400.f * snapEnv;
    phase += static_cast<double>(hz) * kDt;
    if (phase >= 1.0)
      phase -= 1.0;
    pitchEnv *= pitchKeep;
    snapEnv *= snapKeep;
    float level = 1.f;
    if (t < 0.001f)
      level = t / 0.001f;
    else if (t > hold) {
      amp *= decayKeep;
      level = amp;
    }
    float s = std::sin(2.f * kPi * static_cast<float>(phase)) * level;
    s = std::tanh(drive * s) * driveNorm;
    s += click.process(noise.next()) * clickEnv * 0.25f;
    clickEnv *= clickKeep;
    s *= note.velocity * tailFade(i, total, 880);
    left[i] += s;
    right[i] += s;
  }
}

// ---------------------------------------------------------------------------

size_t Snare::frames(const Note &) const { return framesFor(0.5); }

void Snare::render(const Note &note, float *left, float *right) const {
  const size_t total = frames(note);
  const float tune = midiToHz(note.pitch) / midiToHz(54.f); // F#3 = the stock tuning
  Oscillator body(Waveform::Sine), overtone(Waveform::Sine);
  overtone.setFrequency(330.f * tune);
  Noise noise(note.seed);
  SvFilter highPass(FilterMode::HighPass), lowPass(FilterMode::LowPass);
  highPass.setCutoff(1100.f);
  lowPass.setCutoff(9000.f);
  const float bodyKeep = timeConstantKeep(0.07f), overtoneKeep = timeConstantKeep(0.04f);
  const float bendKeep = timeConstantKeep(0.012f), noiseKeep = timeConstantKeep(0.13f);
  float bodyEnv = 0.55f, overtoneEnv = 0.25f, bend = 0.35f, noiseEnv = 0.75f;
  for (size_t i = 0; i < total; ++i) {
    body.setFrequency(185.f * tune * (1.f + bend));
    bend *= bendKeep;
    const float attack = i < 44 ? static_cast<float>(i) / 44.f : 1.f;
    float s = body.next() * bodyEnv + overtone.next() * overtoneEnv;
    s += lowPass.process(highPass.process(noise.next())) * noiseEnv;
    bodyEnv *= bodyKeep;
    overtoneEnv *= overtoneKeep;
    noiseEnv *= noiseKeep;
    s *= attack * note.velocity * tailFade(i, total, 880);
    left[i] += s;
    right[i] += s;
  }
}

// ---------------------------------------------------------------------------

size_t Clap::frames(const Note &) const { return framesFor(0.45); }

void Clap::render(const Note &note, float *left, float *right) const {
  const size_t total = frames(note);
  // Several hands a few milliseconds apart, then the room: three short
  // bursts and a longer tail through one band-pass.
  const float bursts[3] = {0.f, 0.011f, 0.022f};
  const float tailStart = 0.031f;
  Noise common(note.seed), leftNoise(note.seed * 3u + 1u), rightNoise(note.seed * 7u + 5u);
  SvFilter bandLeft(FilterMode::BandPass), bandRight(FilterMode::BandPass);
  bandLeft.setCutoff(1150.f, 1.6f);
  bandRight.setCutoff(1250.f, 1.6f);
  for (size_t i = 0; i < total; ++i) {
    const float t = static_cast<float>(i) * kDt;
    float env = 0.f;
    for (float b : bursts)
      if (t >= b && t < b + 0.03f)
        env += std::exp(-(t - b) / 0.0045f);
    if (t >= tailStart)
      env += 0.8f * std::exp(-(t - tailStart) / 0.1f);
    const float c = common.next() * 0.75f;
    const float gain = env * 1.6f * note.velocity * tailFade(i, total, 880);
    left[i] += bandLeft.process(c + leftNoise.next() * 0.25f) * gain;
    right[i] += bandRight.process(c + rightNoise.next() * 0.25f) * gain;
  }
}

// ---------------------------------------------------------------------------

HiHat::HiHat(float decaySeconds, float metal) : decay_(decaySeconds), metal_(metal) {}

size_t HiHat::frames(const Note &) const { return framesFor(0.006 + 5.0 * decay_); }

void HiHat::render(const Note &note, float *left, float *right) const {
  const size_t total = frames(note);
  Metal metal(1.f + 0.02f * static_cast<float>(note.seed % 5u));
  Noise noise(note.seed);
  SvFilter band(FilterMode::BandPass), highPass(FilterMode::HighPass);
  band.setCutoff(metal_ > 0.f ? 9500.f : 7000.f, metal_ > 0.f ? 1.f : 1.4f);
  highPass.setCutoff(6500.f);
  // A shaker (no metal) swells in over a few milliseconds; a stick on a hat
  // is instant.
  const size_t attackFrames = metal_ > 0.f ? 22 : 260;
  const float keep = timeConstantKeep(decay_);
  float env = 1.f;
  for (size_t i = 0; i < total; ++i) {
    const float source = metal.next() * metal_ + noise.next() * (1.f - 0.5f * metal_);
    float s = highPass.process(band.process(source));
    const float attack = i < attackFrames ? static_cast<float>(i) / static_cast<float>(attackFrames) : 1.f;
    s *= env * attack * note.velocity * tailFade(i, total, 220);
    env *= keep;
    left[i] += s;
    right[i] += s;
  }
}

// ---------------------------------------------------------------------------

size_t Crash::frames(const Note &note) const { return reversed_ ? framesFor(note.length) : framesFor(3.5); }

void Crash::render(const Note &note, float *left, float *right) const {
  const size_t total = frames(note);
  if (total == 0)
    return;
  Metal metal(2.3f);
  Noise noiseLeft(note.seed), noiseRight(note.seed * 2654435761u + 7u);
  SvFilter hpLeft(FilterMode::HighPass), hpRight(FilterMode::HighPass);
  SvFilter lpLeft(FilterMode::LowPass), lpRight(FilterMode::LowPass);
  hpLeft.setCutoff(3000.f);
  hpRight.setCutoff(3100.f);
  lpLeft.setCutoff(13000.f);
  lpRight.setCutoff(12500.f);
  const float length = static_cast<float>(total) * kDt;
  for (size_t i = 0; i < total; ++i) {
    const float t = static_cast<float>(i) * kDt;
    float env;
    if (reversed_) {
      // The swell: the forward crash's decay read backwards, cut with a
      // 4 ms fade at the downbeat.
      env = std::exp(-(length - t) / 0.55f) * tailFade(i, total, 176);
    } else {
      env = (i < 44 ? static_cast<float>(i) / 44.f : 1.f) * std::exp(-t / 0.85f) * tailFade(i, total, 2205);
    }
    const float m = metal.next() * 0.5f;
    const float gain = env * note.velocity;
    left[i] += lpLeft.process(hpLeft.process(noiseLeft.next() + m)) * gain;
    right[i] += lpRight.process(hpRight.process(noiseRight.next() + m)) * gain;
  }
}

// ---------------------------------------------------------------------------

size_t NoiseSweep::frames(const Note &note) const { return framesFor(note.length); }

void NoiseSweep::render(const Note &note, float *left, float *right) const {
  const size_t total = frames(note);
  if (total == 0)
    return;
  Noise noiseLeft(note.seed), noiseRight(note.seed * 747796405u + 3u);
  SvFilter bandLeft(FilterMode::BandPass), bandRight(FilterMode::BandPass);
  const float from = rising_ ? 300.f : 7000.f;
  const float to = rising_ ? 9000.f : 180.f;
  const float ratio = std::log(to / from);
  for (size_t i = 0; i < total; ++i) {
    const float x = static_cast<float>(i) / static_cast<float>(total); // 0 .. 1 through the sweep
    if (i % kControlFrames == 0) {
      const float hz = from * std::exp(ratio * x);
      bandLeft.setCutoff(hz, 1.8f);
      bandRight.setCutoff(hz * 1.06f, 1.8f);
    }
    const float shape = rising_ ? x * x : (1.f - x) * (1.f - x);
    const float gain = shape * note.velocity * tailFade(i, total, rising_ ? 88 : 2205);
    left[i] += bandLeft.process(noiseLeft.next()) * gain;
    right[i] += bandRight.process(noiseRight.next()) * gain;
  }
}

} // namespace demo::bake::music
