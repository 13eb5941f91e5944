#include "bake/music/synths.h"

#include <cmath>

#include "bake/music/envelope.h"
#include "bake/music/filter.h"
#include "bake/music/oscillator.h"

namespace demo::bake::music {

namespace {

constexpr float kDt = 1.f / static_cast<float>(kSampleRate);
constexpr size_t kControlFrames = 16;

// A frequency `cents` hundredths of a semitone from `hz`.
float detuned(float hz, float cents) { return hz * std::exp2(cents / 1200.f); }

// A starting phase 0..1 from a seed, so that stacked oscillators do not all
// start in step (which would sound like one loud oscillator with a click).
float seededPhase(uint32_t seed, uint32_t salt) {
  uint32_t x = seed * 2654435761u + salt * 40503u + 1u;
  x ^= x >> 15;
  x *= 2246822519u;
  x ^= x >> 13;
  return static_cast<float>(x & 0xFFFFu) / 65536.f;
}

// Frames of a note whose envelope has released for `tails` time constants.
size_t gatedFrames(const Note &note, float release, float tails) {
  return framesFor(note.length + static_cast<double>(release * tails));
}

// The envelope with its key released at frame `gateFrames`; the last 10 ms
// of the buffer fade to zero so the cut tail never clicks.
class Gate {
public:
  Gate(const EnvelopeShape &shape, const Note &note, size_t total)
      : env_(shape), gateFrames_(framesFor(note.length)), total_(total) {
    env_.gateOn();
  }
  float next(size_t i) {
    if (i == gateFrames_)
      env_.gateOff();
    float level = env_.next();
    if (i + kFade >= total_)
      level *= static_cast<float>(total_ - i) / static_cast<float>(kFade);
    return level;
  }

private:
  static constexpr size_t kFade = 441;
  Envelope env_;
  size_t gateFrames_;
  size_t total_;
};

} // namespace

// ---------------------------------------------------------------------------

size_t Bass::frames(const Note &note) const { return gatedFrames(note, 0.04f, 7.f); }

void Bass::render(const Note &note, float *left, float *right) const {
  const size_t total = frames(note);
  const float hz = midiToHz(note.pitch);
  Oscillator saw(Waveform::Saw), sub(Waveform::Sine);
  saw.setFrequency(hz);
  sub.setFrequency(hz);
  SvFilter filter(FilterMode::LowPass);
  Gate gate({0.003f, 0.25f, 0.75f, 0.04f}, note, total);
  const float pluckKeep = std::pow(timeConstantKeep(0.09f), static_cast<float>(kControlFrames));
  float pluck = 1.f;
  const float open = 250.f + 1800.f * note.brightness;
  for (size_t i = 0; i < total; ++i) {
    if (i % kControlFrames == 0) {
      filter.setCutoff(120.f + open * pluck, 1.1f);
      pluck *= pluckKeep;
    }
    const float s = (0.55f * sub.next() + 0.5f * filter.process(saw.next())) * gate.next(i) * note.velocity;
    left[i] += s;
    right[i] += s;
  }
}

// ---------------------------------------------------------------------------

size_t Pad::frames(const Note &note) const { return gatedFrames(note, 0.5f, 3.5f); }

void Pad::render(const Note &note, float *left, float *right) const {
  const size_t total = frames(note);
  const float hz = midiToHz(note.pitch);
  // Three saws per side, each side detuned differently: the beating between
  // them is the slow shimmer of a string machine, and the two sides never
  // agree, which spreads the chord across the stereo field.
  const float cents[2][3] = {{-12.f, 0.f, 10.f}, {-8.f, 4.f, 13.f}};
  Oscillator saws[2][3];
  for (int side = 0; side < 2; ++side)
    for (int v = 0; v < 3; ++v) {
      saws[side][v] = Oscillator(Waveform::Saw, seededPhase(note.seed, static_cast<uint32_t>(side * 3 + v)));
      saws[side][v].setFrequency(detuned(hz, cents[side][v]));
    }
  SvFilter filters[2] = {SvFilter(FilterMode::LowPass), SvFilter(FilterMode::LowPass)};
  Gate gate({0.4f, 1.2f, 0.8f, 0.5f}, note, total);
  const float cutoff = 350.f + 3600.f * std::pow(note.brightness, 1.5f);
  const float sweepRate = 0.15f + 0.05f * seededPhase(note.seed, 9u);
  for (size_t i = 0; i < total; ++i) {
    if (i % kControlFrames == 0) {
      // A slow drift of the filter keeps a held chord alive.
      const float drift = 1.f + 0.15f * std::sin(2.f * kPi * sweepRate * static_cast<float>(i) * kDt);
      filters[0].setCutoff(cutoff * drift, 0.75f);
      filters[1].setCutoff(cutoff / drift, 0.75f);
    }
    const float level = gate.next(i) * note.velocity * (1.f / 3.f);
    const float l = saws[0][0].next() + saws[0][1].next() + saws[0][2].next();
    const float r = saws[1][0].next() + saws[1][1].next() + saws[1][2].next();
    left[i] += filters[0].process(l) * level;
    right[i] += filters[1].process(r) * level;
  }
}

// ---------------------------------------------------------------------------

size_t Pluck::frames(const Note &note) const { return gatedFrames(note, 0.1f, 5.f) + framesFor(0.3); }

void Pluck::render(const Note &note, float *left, float *right) const {
  const size_t total = frames(note);
  const float hz = midiToHz(note.pitch);
  Oscillator saw(Waveform::Saw, seededPhase(note.seed, 1u)), square(Waveform::Square, seededPhase(note.seed, 2u));
  saw.setFrequency(hz);
  square.setFrequency(detuned(hz, 5.f));
  SvFilter filter(FilterMode::LowPass);
  Gate gate({0.002f, 0.22f, 0.f, 0.1f}, note, total);
  const float keep = std::pow(timeConstantKeep(0.11f), static_cast<float>(kControlFrames));
  const float open = 600.f + 5200.f * note.brightness;
  float env = 1.f;
  for (size_t i = 0; i < total; ++i) {
    if (i % kControlFrames == 0) {
      filter.setCutoff(250.f + open * env, 2.2f);
      env *= keep;
    }
    const float s = filter.process(saw.next() + 0.5f * square.next()) * gate.next(i) * note.velocity * 0.7f;
    left[i] += s;
    right[i] += s;
  }
}

// ---------------------------------------------------------------------------

size_t Lead::frames(const Note &note) const { return gatedFrames(note, 0.15f, 7.f); }

void Lead::render(const Note &note, float *left, float *right) const {
  const size_t total = frames(note);
  Oscillator sawLeft(Waveform::Saw, seededPhase(note.seed, 1u)), sawRight(Waveform::Saw, seededPhase(note.seed, 2u));
  Oscillator low(Waveform::Square, seededPhase(note.seed, 3u));
  SvFilter filterLeft(FilterMode::LowPass), filterRight(FilterMode::LowPass);
  Gate gate({0.008f, 0.5f, 0.75f, 0.15f}, note, total);
  const float glideKeep = std::pow(timeConstantKeep(0.035f), static_cast<float>(kControlFrames));
  const float brightKeep = std::pow(timeConstantKeep(0.2f), static_cast<float>(kControlFrames));
  float glide = note.glideFrom > 0.f ? note.glideFrom - note.pitch : 0.f; // semitones still to travel
  float bright = 1.f;
  for (size_t i = 0; i < total; ++i) {
    if (i % kControlFrames == 0) {
      const float t = static_cast<float>(i) * kDt;
      // Vibrato only on held notes: it fades in from 0.25 s to 0.65 s.
      float depth = (t - 0.25f) / 0.4f;
      depth = depth < 0.f ? 0.f : (depth > 1.f ? 1.f : depth);
      const float pitch = note.pitch + glide + 0.15f * depth * std::sin(2.f * kPi * 5.5f * t);
      const float hz = midiToHz(pitch);
      sawLeft.setFrequency(detuned(hz, 6.f));
      sawRight.setFrequency(detuned(hz, -6.f));
      low.setFrequency(hz * 0.5f);
      const float cutoff = 900.f + 4200.f * note.brightness + 2500.f * bright;
      filterLeft.setCutoff(cutoff, 1.2f);
      filterRight.setCutoff(cutoff * 1.04f, 1.2f);
      glide *= glideKeep;
      bright *= brightKeep;
    }
    const float level = gate.next(i) * note.velocity * 0.5f;
    const float common = 0.3f * low.next();
    const float l = sawLeft.next(), r = sawRight.next();
    left[i] += filterLeft.process(0.7f * l + 0.3f * r + common) * level;
    right[i] += filterRight.process(0.3f * l + 0.7f * r + common) * level;
  }
}

// ---------------------------------------------------------------------------

size_t Bell::frames(const Note &) const { return framesFor(3.5); }

void Bell::render(const Note &note, float *left, float *right) const {
  const size_t total = frames(note);
  const float hz = midiToHz(note.pitch);
  Oscillator modulator(Waveform::Sine);
  modulator.setFrequency(hz * 3.5f);
  const float indexKeep = timeConstantKeep(0.35f), ampKeep = timeConstantKeep(1.f);
  float index = 2.2f, amp = 1.f;
  double phase = seededPhase(note.seed, 4u);
  const double increment = static_cast<double>(hz) * kDt;
  for (size_t i = 0; i < total; ++i) {
    // Phase modulation: the modulator bends the carrier's phase by up to
    // `index` radians, which puts partials at hz +- 3.5 k hz; the index
    // decays, so the strike is bright and the ring is nearly a sine.
    const float m = modulator.next() * (index + 0.3f);
    const float s = std::sin(2.f * kPi * static_cast<float>(phase) + m);
    phase += increment;
    if (phase >= 1.0)
      phase -= 1.0;
    const float attack = i < 44 ? static_cast<float>(i) / 44.f : 1.f;
    const float fade = i + 2205 >= total ? static_cast<float>(total - i) / 2205.f : 1.f;
    const float out = s * amp * attack * fade * note.velocity;
    index *= indexKeep;
    amp *= ampKeep;
    left[i] += out;
    right[i] += out;
  }
}

// ---------------------------------------------------------------------------

size_t Stab::frames(const Note &note) const { return gatedFrames(note, 0.12f, 7.f); }

void Stab::render(const Note &note, float *left, float *right) const {
  const size_t total = frames(note);
  const float hz = midiToHz(note.pitch);
  Oscillator sawLeft(Waveform::Saw, seededPhase(note.seed, 1u)), sawRight(Waveform::Saw, seededPhase(note.seed, 2u));
  Oscillator low(Waveform::Square, seededPhase(note.seed, 3u));
  sawLeft.setFrequency(detuned(hz, 10.f));
  sawRight.setFrequency(detuned(hz, -10.f));
  low.setFrequency(hz * 0.5f);
  SvFilter filterLeft(FilterMode::LowPass), filterRight(FilterMode::LowPass);
  Gate gate({0.003f, 0.3f, 0.35f, 0.12f}, note, total);
  const float keep = std::pow(timeConstantKeep(0.12f), static_cast<float>(kControlFrames));
  const float open = 1500.f + 6000.f * note.brightness;
  float env = 1.f;
  for (size_t i = 0; i < total; ++i) {
    if (i % kControlFrames == 0) {
      filterLeft.setCutoff(300.f + open * env, 1.f);
      filterRight.setCutoff(320.f + open * env, 1.f);
      env *= keep;
    }
    const float level = gate.next(i) * note.velocity * 0.6f;
    const float common = 0.35f * low.next();
    left[i] += filterLeft.process(sawLeft.next() + common) * level;
    right[i] += filterRight.process(sawRight.next() + common) * level;
  }
}

} // namespace demo::bake::music
