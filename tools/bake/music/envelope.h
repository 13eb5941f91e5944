// envelope.h - the loudness and brightness contours of a note.
//
// Envelope is a classic ADSR: gateOn() starts a straight attack from the
// present level up to 1, then the level falls exponentially towards the
// sustain level; gateOff() lets it fall exponentially towards silence. Decay
// and release are time constants (after one, 1/e of the distance is left),
// which is how analogue envelopes sound; the attack is a time to the top.
// Retriggering during a release climbs from where the level is, so there is
// no click.
//
// Use:
//   Envelope env({0.005f, 0.2f, 0.6f, 0.3f});   // attack, decay, sustain, release
//   env.gateOn();
//   for (...) out[i] *= env.next();
//   env.gateOff();                                // then until env.idle()
//
// What it does not do: curved attacks, looping, or per-stage callbacks.
#pragma once

namespace demo::bake::music {

struct EnvelopeShape {
  float attack = 0.f;  // seconds from the present level to 1 (straight line)
  float decay = 0.1f;  // time constant towards sustain, seconds
  float sustain = 1.f; // level held while the gate is on, 0 .. 1
  float release = 0.1f; // time constant towards 0 after gateOff, seconds
};

class Envelope {
public:
  enum class Stage { Idle, Attack, Decay, Release };

  explicit Envelope(const EnvelopeShape &shape);

  void gateOn();
  void gateOff();
  // The level for this sample, then one sample on.
  float next() {
    const float out = level_;
    switch (stage_) {
    case Stage::Idle:
      break;
    case Stage::Attack:
      level_ += attackStep_;
      if (level_ >= 1.f) {
        level_ = 1.f;
        stage_ = Stage::Decay;
      }
      break;
    case Stage::Decay:
      level_ = shape_.sustain + (level_ - shape_.sustain) * decayKeep_;
      break;
    case Stage::Release:
      level_ *= releaseKeep_;
      if (level_ < kSilent) {
        level_ = 0.f;
        stage_ = Stage::Idle;
      }
      break;
    }
    return out;
  }

  float level() const { return level_; }
  Stage stage() const { return stage_; }
  // True once the release has fallen below -100 dB (or before any gateOn).
  bool idle() const { return stage_ == Stage::Idle; }

private:
  static constexpr float kSilent = 1e-5f; // -100 dB
  EnvelopeShape shape_;
  Stage stage_ = Stage::Idle;
  float level_ = 0.f;
  float attackStep_ = 0.f;
  float decayKeep_ = 0.f;   // per-sample factor of the distance to sustain
  float releaseKeep_ = 0.f; // per-sample factor of the level
};

// exp(-1 / (seconds * rate)): what a one-pole smoother keeps per sample for a
// time constant of `seconds` (0 for an instant change).
float timeConstantKeep(float seconds);

} // namespace demo::bake::music
