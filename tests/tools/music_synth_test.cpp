// The soundtrack's synthesizer, unit by unit: oscillators and envelopes keep
// their timing, filters their response, the loudness meter reads the
// reference tones the standard gives, the limiter never lets a sample past
// its ceiling, the sequencer puts every step on its beat, and a short song
// renders and encodes to the same bytes every time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "audio/music_stream.h"
#include "bake/music/drums.h"
#include "bake/music/envelope.h"
#include "bake/music/filter.h"
#include "bake/music/limiter.h"
#include "bake/music/loudness_meter.h"
#include "bake/music/master.h"
#include "bake/music/mixer.h"
#include "bake/music/oscillator.h"
#include "bake/music/song.h"
#include "bake/music/synths.h"
#include "bake/music/vorbis_writer.h"
#include "support/test_files.h"

namespace demo::bake::music {
namespace {

constexpr double kTwoPi = 6.283185307179586;

std::vector<float> sine(double hz, double seconds, float amplitude = 1.f) {
  std::vector<float> out(static_cast<size_t>(seconds * kSampleRate));
  for (size_t n = 0; n < out.size(); ++n)
    out[n] = amplitude * static_cast<float>(std::sin(kTwoPi * hz * static_cast<double>(n) / kSampleRate));
  return out;
}

std::vector<float> interleave(const std::vector<float> &left, const std::vector<float> &right) {
  std::vector<float> out(2 * left.size());
  for (size_t n = 0; n < left.size(); ++n) {
    out[2 * n] = left[n];
    out[2 * n + 1] = right[n];
  }
  return out;
}

double rms(const std::vector<float> &x, size_t from, size_t to) {
  double sum = 0.0;
  for (size_t n = from; n < to; ++n)
    sum += static_cast<double>(x[n]) * x[n];
  return std::sqrt(sum / static_cast<double>(to - from));
}

// Steady-state gain of a filter for a sine at hz (the first half second lets
// it settle).
double filterGain(FilterMode mode, float cutoff, float q, double hz) {
  SvFilter filter(mode);
  filter.setCutoff(cutoff, q);
  std::vector<float> in = sine(hz, 1.0), out(in.size());
  for (size_t n = 0; n < in.size(); ++n)
    out[n] = filter.process(in[n]);
  return rms(out, in.size() / 2, in.size()) / rms(in, in.size() / 2, in.size());
}

double loudness(const std::vector<float> &interleaved, int channels) {
  LoudnessMeter meter(channels);
  meter.add(interleaved.data(), interleaved.size() / static_cast<size_t>(channels));
  return meter.integrated();
}

// ---------------------------------------------------------------------------

TEST(MusicOscillator, MidiNumbersAreEqualTempered) {
  EXPECT_FLOAT_EQ(midiToHz(69.f), 440.f);
  EXPECT_NEAR(midiToHz(57.f), 220.f, 1e-3f);
  EXPECT_NEAR(midiToHz(81.f), 880.f, 1e-3f);
  EXPECT_NEAR(midiToHz(70.f) / midiToHz(69.f), std::exp2(1.f / 12.f), 1e-6f);
}

TEST(MusicOscillator, EveryWaveformRunsAtItsFrequencyWithinRange) {
  for (Waveform w : {Waveform::Sine, Waveform::Saw, Waveform::Square, Waveform::Triangle}) {
    Oscillator osc(w, 0.25f);
    osc.setFrequency(441.f);
    int upward = 0;
    float previous = osc.next(), lowest = previous, highest = previous;
    double sum = previous;
    for (int n = 1; n < kSampleRate; ++n) {
      const float v = osc.next();
      if (previous < 0.f && v >= 0.f)
        ++upward;
      lowest = std::min(lowest, v);
      highest = std::max(highest, v);
      sum += v;
      previous = v;
    }
    EXPECT_NEAR(upward, 441, 1) << static_cast<int>(w);
    EXPECT_GE(lowest, -1.1f) << static_cast<int>(w);
    EXPECT_LE(highest, 1.1f) << static_cast<int>(w);
    EXPECT_GT(highest, 0.9f) << static_cast<int>(w);
    EXPECT_NEAR(sum / kSampleRate, 0.0, 0.01) << static_cast<int>(w);
  }
}

TEST(MusicOscillator, BandLimitedSawAliasesLessThanANaiveOne) {
  // A 7 kHz saw's 4th harmonic (28 kHz) folds back to 16.1 kHz; the
  // polyBLEP version must put much less energy there than a naive ramp.
  const double hz = 7000.0, alias = kSampleRate - 4 * hz;
  Oscillator osc(Waveform::Saw);
  osc.setFrequency(static_cast<float>(hz));
  double blepRe = 0.0, blepIm = 0.0, naiveRe = 0.0, naiveIm = 0.0, phase = 0.0;
  for (int n = 0; n < kSampleRate; ++n) {
    const double a = kTwoPi * alias * n / kSampleRate;
    const double blep = osc.next(), naive = 2.0 * phase - 1.0;
    blepRe += blep * std::cos(a);
    blepIm += blep * std::sin(a);
    naiveRe += naive * std::cos(a);
    naiveIm += naive * std::sin(a);
    phase += hz / kSampleRate;
    phase -= std::floor(phase);
  }
  EXPECT_LT(std::hypot(blepRe, blepIm), 0.3 * std::hypot(naiveRe, naiveIm));
}

TEST(MusicOscillator, NoiseIsRepeatableAndCentred) {
  Noise a(7), b(7), c(8);
  double sum = 0.0;
  bool differs = false;
  for (int n = 0; n < 10000; ++n) {
    const float x = a.next();
    EXPECT_EQ(x, b.next());
    differs = differs || x != c.next();
    EXPECT_GE(x, -1.f);
    EXPECT_LT(x, 1.f);
    sum += x;
  }
  EXPECT_TRUE(differs);
  EXPECT_NEAR(sum / 10000.0, 0.0, 0.03);
}

// ---------------------------------------------------------------------------

TEST(MusicEnvelope, IdleUntilTriggered) {
  Envelope env({0.01f, 0.1f, 0.5f, 0.1f});
  EXPECT_TRUE(env.idle());
  EXPECT_EQ(env.next(), 0.f);
  env.gateOff(); // a release without a note does nothing
  EXPECT_TRUE(env.idle());
}

TEST(MusicEnvelope, AttackIsAStraightLineToFullLevel) {
  Envelope env({0.01f, 0.1f, 0.5f, 0.1f}); // 441 samples of attack
  env.gateOn();
  std::vector<float> v(442);
  for (float &x : v)
    x = env.next();
  EXPECT_EQ(v[0], 0.f);
  EXPECT_NEAR(v[220], 220.f / 441.f, 1e-3f);
  EXPECT_NEAR(v[441], 1.f, 1e-3f);
  EXPECT_EQ(env.stage(), Envelope::Stage::Decay);
}

TEST(MusicEnvelope, ZeroAttackStartsAtFullLevel) {
  Envelope env({0.f, 0.1f, 0.5f, 0.1f});
  env.gateOn();
  EXPECT_EQ(env.next(), 1.f);
}

TEST(MusicEnvelope, DecayAndReleaseFollowTheirTimeConstants) {
  Envelope env({0.f, 0.1f, 0.5f, 0.2f});
  env.gateOn();
  for (int n = 0; n < 4410; ++n) // one decay time constant
    env.next();
  EXPECT_NEAR(env.level(), 0.5f + 0.5f / std::exp(1.f), 2e-3f);
  for (int n = 0; n < 10 * 4410; ++n)
    env.next();
  EXPECT_NEAR(env.level(), 0.5f, 1e-3f); // held at sustain while the gate is on
  env.gateOff();
  const float start = env.level();
  for (int n = 0; n < 8820; ++n) // one release time constant
    env.next();
  EXPECT_NEAR(env.level(), start / std::exp(1.f), 2e-3f);
  int more = 0;
  while (!env.idle() && more < 10 * kSampleRate) {
    env.next();
    ++more;
  }
  EXPECT_TRUE(env.idle());
  EXPECT_EQ(env.next(), 0.f);
}

TEST(MusicEnvelope, RetriggerClimbsFromThePresentLevelWithoutAJump) {
  Envelope env({0.01f, 0.05f, 0.8f, 0.05f});
  env.gateOn();
  for (int n = 0; n < 2000; ++n)
    env.next();
  env.gateOff();
  for (int n = 0; n < 2000; ++n)
    env.next();
  float previous = env.next();
  ASSERT_GT(previous, 0.1f);
  env.gateOn();
  const float step = 1.f / 441.f;
  for (int n = 0; n < 600; ++n) {
    const float v = env.next();
    EXPECT_LE(std::fabs(v - previous), step + 1e-4f) << n;
    previous = v;
  }
  EXPECT_NEAR(previous, 0.8f, 0.2f);
}

// ---------------------------------------------------------------------------

TEST(MusicFilter, LowPassPassesBelowAndCutsAbove) {
  EXPECT_NEAR(filterGain(FilterMode::LowPass, 1000.f, 0.7071f, 100.0), 1.0, 0.01);
  EXPECT_NEAR(filterGain(FilterMode::LowPass, 1000.f, 0.7071f, 1000.0), std::sqrt(0.5), 0.01);
  EXPECT_LT(filterGain(FilterMode::LowPass, 1000.f, 0.7071f, 10000.0), 0.01);
}

TEST(MusicFilter, HighPassMirrorsTheLowPass) {
  EXPECT_LT(filterGain(FilterMode::HighPass, 1000.f, 0.7071f, 100.0), 0.012);
  EXPECT_NEAR(filterGain(FilterMode::HighPass, 1000.f, 0.7071f, 1000.0), std::sqrt(0.5), 0.01);
  EXPECT_NEAR(filterGain(FilterMode::HighPass, 1000.f, 0.7071f, 10000.0), 1.0, 0.01);
}

TEST(MusicFilter, BandPassHasUnityGainAtItsCentre) {
  EXPECT_NEAR(filterGain(FilterMode::BandPass, 2000.f, 2.f, 2000.0), 1.0, 0.01);
  EXPECT_LT(filterGain(FilterMode::BandPass, 2000.f, 2.f, 200.0), 0.06);
  EXPECT_LT(filterGain(FilterMode::BandPass, 2000.f, 2.f, 18000.0), 0.06);
}

TEST(MusicFilter, ResonanceRingsAtTheCutoff) {
  EXPECT_NEAR(filterGain(FilterMode::LowPass, 1000.f, 4.f, 1000.0), 4.0, 0.1);
}

TEST(MusicFilter, CutoffsOutsideTheAudioBandAreClampedAndStable) {
  for (float cutoff : {-5.f, 0.f, 30000.f, 1e9f}) {
    SvFilter filter(FilterMode::LowPass);
    filter.setCutoff(cutoff, 0.f);
    Noise noise(3);
    float peak = 0.f;
    for (int n = 0; n < kSampleRate; ++n)
      peak = std::max(peak, std::fabs(filter.process(noise.next())));
    EXPECT_TRUE(std::isfinite(peak)) << cutoff;
    EXPECT_LT(peak, 20.f) << cutoff;
  }
}

// ---------------------------------------------------------------------------

TEST(MusicLoudness, SilenceAndShortSignalsAreGatedOut) {
  EXPECT_EQ(loudness(std::vector<float>(2 * kSampleRate, 0.f), 2), -std::numeric_limits<double>::infinity());
  // 0.3 s is less than one 400 ms block.
  const std::vector<float> shortTone = sine(997.0, 0.3);
  EXPECT_EQ(loudness(shortTone, 1), -std::numeric_limits<double>::infinity());
}

TEST(MusicLoudness, FullScale997HzSineInOneChannelReadsMinus3Point01) {
  const std::vector<float> tone = sine(997.0, 5.0);
  EXPECT_NEAR(loudness(tone, 1), -3.01, 0.05);
  EXPECT_NEAR(loudness(interleave(tone, std::vector<float>(tone.size(), 0.f)), 2), -3.01, 0.05);
  // Both channels carry the same power again: 3 dB more.
  EXPECT_NEAR(loudness(interleave(tone, tone), 2), 0.0, 0.05);
  // Twenty decibels down reads twenty lower.
  EXPECT_NEAR(loudness(sine(997.0, 5.0, 0.1f), 1), -23.01, 0.05);
}

TEST(MusicLoudness, KWeightingCutsTheDeepBassAndLiftsTheTreble) {
  const double mid = loudness(sine(997.0, 5.0, 0.5f), 1);
  EXPECT_LT(loudness(sine(20.0, 5.0, 0.5f), 1), mid - 10.0);
  const double treble = loudness(sine(8000.0, 5.0, 0.5f), 1) - mid;
  EXPECT_GT(treble, 2.5);
  EXPECT_LT(treble, 4.5);
}

TEST(MusicLoudness, GatesIgnoreSilenceAndQuietPassages) {
  const std::vector<float> loud = sine(997.0, 5.0, 0.1f);
  std::vector<float> withSilence = loud;
  withSilence.resize(2 * loud.size(), 0.f);
  // Only the few blocks that straddle the edge still count, a little.
  EXPECT_NEAR(loudness(withSilence, 1), -23.01, 0.2);
  // A passage 25 dB down is below the relative gate (10 LU under the mean).
  std::vector<float> withQuiet = loud;
  const std::vector<float> quiet = sine(997.0, 5.0, 0.1f * 0.0562f);
  withQuiet.insert(withQuiet.end(), quiet.begin(), quiet.end());
  EXPECT_NEAR(loudness(withQuiet, 1), -23.01, 0.25);
  // A passage 6 dB down is above it and pulls the mean down.
  std::vector<float> withSofter = loud;
  const std::vector<float> softer = sine(997.0, 5.0, 0.05f);
  withSofter.insert(withSofter.end(), softer.begin(), softer.end());
  EXPECT_LT(loudness(withSofter, 1), -24.0);
}

TEST(MusicLoudness, FeedingInPiecesReadsTheSameAsAllAtOnce) {
  const std::vector<float> tone = sine(440.0, 3.0, 0.3f);
  LoudnessMeter pieces(1);
  for (size_t at = 0; at < tone.size(); at += 1234)
    pieces.add(tone.data() + at, std::min<size_t>(1234, tone.size() - at));
  EXPECT_DOUBLE_EQ(pieces.integrated(), loudness(tone, 1));
}

// ---------------------------------------------------------------------------

TEST(MusicLimiter, EmptyAndQuietSignalsPassUntouched) {
  const Limiter limiter(0.9f, 0.003f, 0.05f);
  std::vector<float> empty;
  EXPECT_EQ(limiter.process(empty).peakOut, 0.f);
  std::vector<float> quiet = interleave(sine(100.0, 0.5, 0.8f), sine(150.0, 0.5, 0.85f));
  const std::vector<float> before = quiet;
  const LimiterReport report = limiter.process(quiet);
  EXPECT_EQ(quiet, before);
  EXPECT_EQ(report.deepestGain, 1.f);
  EXPECT_EQ(report.limitedShare, 0.0);
}

TEST(MusicLimiter, NoSampleLeavesAboveTheCeiling) {
  Noise noise(11);
  std::vector<float> loud(2 * kSampleRate);
  for (size_t n = 0; n < loud.size(); ++n)
    loud[n] = 3.f * noise.next() + (n % 9001 == 0 ? 20.f : 0.f);
  const Limiter limiter(0.891f, 0.003f, 0.08f);
  const LimiterReport report = limiter.process(loud);
  float peak = 0.f;
  for (float s : loud)
    peak = std::max(peak, std::fabs(s));
  EXPECT_LE(peak, 0.891f);
  EXPECT_EQ(report.peakOut, peak);
  EXPECT_GE(report.peakIn, 20.f);
  EXPECT_GT(report.limitedShare, 0.5);
}

TEST(MusicLimiter, ASinglePeakDipsTheGainSmoothlyAndItRecovers) {
  // A steady 0.5 with one spike of 2: the gain ramps down over the
  // look-ahead before the spike (no step), reaches 0.45 at it, and climbs
  // back with the release.
  std::vector<float> x(2 * kSampleRate, 0.5f);
  const size_t spike = 20000;
  x[2 * spike] = x[2 * spike + 1] = 2.f;
  const Limiter limiter(0.9f, 0.003f, 0.05f);
  limiter.process(x);
  EXPECT_NEAR(x[2 * spike], 0.9f, 1e-4f);
  float steepest = 0.f;
  for (size_t n = spike - 300; n < spike + 300; ++n)
    if (n != spike && n + 1 != spike)
      steepest = std::max(steepest, std::fabs(x[2 * (n + 1)] - x[2 * n]));
  EXPECT_LT(steepest, 0.005f); // about (1 - 0.45) * 0.5 / 132 per sample
  EXPECT_EQ(x[2 * (spike - 200)], 0.5f); // untouched before the look-ahead
  EXPECT_NEAR(x[2 * (spike + 22050)], 0.5f, 1e-4f); // recovered 0.5 s later
}

// ---------------------------------------------------------------------------

TEST(MusicNotation, NoteNamesAndChordSymbols) {
  EXPECT_EQ(noteNumber("c4"), 60);
  EXPECT_EQ(noteNumber("a4"), 69);
  EXPECT_EQ(noteNumber("c#5"), 73);
  EXPECT_EQ(noteNumber("bb3"), 58);
  EXPECT_EQ(noteNumber("G#2"), 44);
  for (const char *bad : {"", "c", "h4", "c44", "#4", "cx4"})
    EXPECT_EQ(noteNumber(bad), -1) << bad;

  ChordShape chord;
  ASSERT_TRUE(parseChord("Am7", chord));
  EXPECT_EQ(chord.root, 9);
  EXPECT_EQ(chord.bass, 9);
  EXPECT_EQ(chord.intervals, (std::vector<int>{0, 3, 7, 10}));
  ASSERT_TRUE(parseChord("C/E", chord));
  EXPECT_EQ(chord.root, 0);
  EXPECT_EQ(chord.bass, 4);
  ASSERT_TRUE(parseChord("Bbmaj7", chord));
  EXPECT_EQ(chord.root, 10);
  ASSERT_TRUE(parseChord("Cb", chord)); // wraps below C
  EXPECT_EQ(chord.root, 11);
  for (const char *bad : {"", "am", "H", "Cfoo", "C/", "C/X", "C/Eb7"})
    EXPECT_FALSE(parseChord(bad, chord)) << bad;
}

TEST(MusicNotation, CurvesHoldTheirEndsAndInterpolateBetween) {
  EXPECT_EQ(curveAt({}, 3.0), 0.f);
  const std::vector<CurvePoint> curve = {{1.0, 0.2f}, {3.0, 1.f}, {3.0, 0.f}, {5.0, 0.5f}};
  EXPECT_EQ(curveAt(curve, 0.0), 0.2f);
  EXPECT_NEAR(curveAt(curve, 2.0), 0.6f, 1e-6f);
  EXPECT_EQ(curveAt(curve, 3.0), 1.f);
  EXPECT_NEAR(curveAt(curve, 4.0), 0.25f, 1e-6f);
  EXPECT_EQ(curveAt(curve, 9.0), 0.5f);
}

// A one-section song for the sequencer tests: 10 s to 12 s, four beats.
Song oneSection(std::vector<Pattern> patterns, std::vector<Part> parts, const char *chords = "Am") {
  Song song;
  song.length = 13.0;
  song.patterns = std::move(patterns);
  Section s;
  s.name = "test";
  s.start = 10.0;
  s.end = 12.0;
  s.beats = 4;
  s.chords = chords;
  s.parts = std::move(parts);
  song.sections = {s};
  return song;
}

Part partOf(Track track, const char *pattern, int from, int to, float level = 1.f) {
  Part p;
  p.track = track;
  p.pattern = pattern;
  p.fromBar = from;
  p.toBar = to;
  p.level = level;
  return p;
}

std::vector<Note> ofTrack(const std::vector<Note> &notes, Track track) {
  std::vector<Note> out;
  for (const Note &n : notes)
    if (n.track == track)
      out.push_back(n);
  return out;
}

// One field of every note of a track, in order.
template <typename Field>
std::vector<Field> fieldOf(const std::vector<Note> &notes, Track track, Field Note::*field) {
  std::vector<Field> out;
  for (const Note &n : ofTrack(notes, track))
    out.push_back(n.*field);
  return out;
}

TEST(MusicSequencer, HitsLandOnTheSectionsBeatGrid) {
  Song song = oneSection({{"four", PatternKind::Hits, 16, "X...x...X...o..."}}, {partOf(Track::Kick, "four", 0, 1)});
  std::vector<std::string> problems;
  const std::vector<Note> kicks = sequence(song, &problems);
  EXPECT_TRUE(problems.empty());
  ASSERT_EQ(kicks.size(), 4u);
  for (int i = 0; i < 4; ++i)
    EXPECT_DOUBLE_EQ(kicks[static_cast<size_t>(i)].start, 10.0 + 0.5 * i);
  EXPECT_GT(kicks[0].velocity, kicks[1].velocity);
  EXPECT_GT(kicks[1].velocity, kicks[3].velocity);
}

TEST(MusicSequencer, APartialBarStopsAtTheSectionEnd) {
  Song song = oneSection({{"four", PatternKind::Hits, 16, "X...X...X...X..."}}, {partOf(Track::Kick, "four", 0, 2)});
  song.sections[0].beats = 3;
  song.sections[0].end = 11.5; // still half a second a beat
  EXPECT_EQ(sequence(song).size(), 3u);
}

TEST(MusicSequencer, OddSixteenthsSwing) {
  Song song = oneSection({{"hats", PatternKind::Hits, 16, "xx.............."}}, {partOf(Track::ClosedHat, "hats", 0, 1)});
  song.swing = 0.2f;
  const std::vector<Note> hats = sequence(song);
  ASSERT_EQ(hats.size(), 2u);
  EXPECT_DOUBLE_EQ(hats[0].start, 10.0);
  EXPECT_NEAR(hats[1].start, 10.0 + 0.125 * 1.2, 1e-9);
}

TEST(MusicSequencer, ChordStepsFollowTheBarsChord) {
  Song song = oneSection({{"bass", PatternKind::Chord, 4, "R F O L"}, {"arp", PatternKind::Chord, 4, "1 2 3 4"}},
                         {partOf(Track::Bass, "bass", 0, 2), partOf(Track::Pluck, "arp", 0, 1)}, "Am C/E");
  song.sections[0].beats = 8;
  song.sections[0].end = 14.0;
  const std::vector<Note> notes = sequence(song);
  // Am: bass root A1 (33); C/E: the bass plays E1 (28).
  EXPECT_EQ(fieldOf(notes, Track::Bass, &Note::pitch), (std::vector<float>{33, 40, 45, 28, 28, 35, 40, 23}));
  // Am voiced upwards from A3 (57); the fourth tone is the root an octave up.
  EXPECT_EQ(fieldOf(notes, Track::Pluck, &Note::pitch), (std::vector<float>{57, 60, 64, 69}));
}

TEST(MusicSequencer, HeldChordsTieWhileTheirTonesStay) {
  Song song = oneSection({{"pad", PatternKind::Held, 16, ""}}, {partOf(Track::Pad, "pad", 0, 3)}, "Am Am F");
  song.sections[0].beats = 12;
  song.sections[0].end = 16.0;
  std::vector<std::pair<float, double>> held; // pitch, length
  for (const Note &n : sequence(song))
    held.emplace_back(n.pitch, n.start == 10.0 ? n.length : -n.start);
  // A3 and C4 sound on through the change to F; E4 ends there; F3 is new
  // at 14 s (negative: its start).
  EXPECT_EQ(held, (std::vector<std::pair<float, double>>{{57.f, 6.0}, {60.f, 6.0}, {64.f, 4.0}, {53.f, -14.0}}));
}

TEST(MusicSequencer, MelodiesHoldAndGlideBetweenJoinedNotes) {
  Song song = oneSection({{"tune", PatternKind::Melody, 8, "a4 - c5 . e5 - - -"}}, {partOf(Track::Lead, "tune", 0, 1)});
  const std::vector<Note> notes = sequence(song);
  ASSERT_EQ(notes.size(), 3u);
  EXPECT_EQ(notes[0].pitch, 69.f);
  EXPECT_NEAR(notes[0].length, 0.5 * 0.92, 1e-9); // two eighths
  EXPECT_EQ(notes[1].glideFrom, 69.f);            // joined to the a4
  EXPECT_EQ(notes[2].glideFrom, 0.f);             // after a rest
  EXPECT_DOUBLE_EQ(notes[2].start, 11.0);
}

TEST(MusicSequencer, GrooveDrumsMakeWayForAnAccent) {
  Song song = oneSection({{"four", PatternKind::Hits, 16, "X...X...X...X..."}, {"hats", PatternKind::Hits, 16, "x...x...x...x..."}},
                         {partOf(Track::Kick, "four", 0, 1), partOf(Track::ClosedHat, "hats", 0, 1)});
  Accent accent;
  accent.time = 10.55;
  accent.topNote = "e5";
  accent.crash = true;
  song.accents = {accent};
  const std::vector<Note> notes = sequence(song);
  EXPECT_EQ(fieldOf(notes, Track::Kick, &Note::start), (std::vector<double>{10.0, 10.55, 11.0, 11.5}));
  EXPECT_EQ(ofTrack(notes, Track::ClosedHat).size(), 4u); // hats stay
  EXPECT_EQ(ofTrack(notes, Track::Crash).size(), 1u);
  const std::vector<Note> stab = ofTrack(notes, Track::Stab);
  ASSERT_EQ(stab.size(), 5u);
  EXPECT_EQ(stab[0].pitch, 76.f); // e5 on top of A minor: e5 c5 a4 e4
  EXPECT_EQ(stab[4].pitch, 57.f);  // the root below e4
}

TEST(MusicSequencer, WhatItCannotReadIsReportedAndSkipped) {
  Song song = oneSection({{"bad", PatternKind::Hits, 16, "X..Q"}, {"tune", PatternKind::Melody, 8, "a4 zz"}},
                         {partOf(Track::Kick, "missing", 0, 1), partOf(Track::Kick, "bad", 0, 1),
                          partOf(Track::Lead, "tune", 0, 1)},
                         "Qm7");
  std::vector<std::string> problems;
  const std::vector<Note> notes = sequence(song, &problems);
  EXPECT_GE(problems.size(), 3u);
  for (const Note &n : notes)
    EXPECT_TRUE(n.pitch == 69.f || n.track == Track::Kick);
}

// ---------------------------------------------------------------------------

TEST(MusicInstruments, EveryTrackRendersFiniteSoundThatEndsInSilence) {
  for (int t = 0; t < kTrackCount; ++t) {
    Note note;
    note.track = static_cast<Track>(t);
    note.pitch = t == 0 ? 28.f : 57.f;
    note.length = 0.5;
    note.velocity = 1.f;
    note.seed = 5;
    const Instrument &instrument = instrumentFor(note.track);
    const size_t frames = instrument.frames(note);
    ASSERT_GT(frames, 100u) << t;
    std::vector<float> left(frames), right(frames);
    instrument.render(note, left.data(), right.data());
    float peak = 0.f;
    for (size_t n = 0; n < frames; ++n) {
      ASSERT_TRUE(std::isfinite(left[n]) && std::isfinite(right[n])) << t;
      peak = std::max(peak, std::max(std::fabs(left[n]), std::fabs(right[n])));
    }
    EXPECT_GT(peak, 0.01f) << t;
    EXPECT_LT(peak, 4.f) << t;
    // Faded out at the end (sweeps and the reversed cymbal stop on purpose
    // within a few milliseconds, so their last sample is not yet zero).
    EXPECT_LT(std::max(std::fabs(left.back()), std::fabs(right.back())), 0.02f * peak) << t;
  }
}

TEST(MusicInstruments, SameNoteSameSamples) {
  Note note;
  note.track = Track::Snare;
  note.seed = 9;
  Snare snare;
  std::vector<float> a(snare.frames(note)), b(a.size()), c(a.size()), scratch(a.size());
  snare.render(note, a.data(), scratch.data());
  snare.render(note, b.data(), scratch.data());
  note.seed = 10;
  snare.render(note, c.data(), scratch.data());
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
}

TEST(MusicInstruments, TheKicksBodyFillsTheShowsLowestSpectrumBin) {
  Kick kick;
  Note note;
  note.track = Track::Kick;
  note.pitch = 28.f; // E1
  note.velocity = 0.5f;
  std::vector<float> left(kick.frames(note)), right(left.size());
  kick.render(note, left.data(), right.data());
  SpectrumAnalyser analyser;
  Spectrum spectrum;
  float loudestLow = 0.f, loudestHigh = 0.f;
  // Windows ending 30 to 130 ms into the hit, in 5 ms steps.
  for (size_t end = 1323; end <= 5733; end += 220) {
    analyser.analyseMono(&left[end - kFftSize], spectrum);
    loudestLow = std::max(loudestLow, spectrum[0]);
    for (int k = 8; k < kSpectrumBins; ++k)
      loudestHigh = std::max(loudestHigh, spectrum[k]);
  }
  EXPECT_GT(loudestLow, 0.7f);
  EXPECT_LT(loudestHigh, 0.05f * loudestLow);
}

TEST(MusicMixer, TheKickPumpRisesAtEachKickAndFallsBack) {
  Note kick;
  kick.track = Track::Kick;
  kick.start = 0.1;
  kick.velocity = 0.8f;
  Note pad = kick;
  pad.track = Track::Pad;
  pad.start = 0.0;
  const std::vector<float> pump = kickPump({pad, kick}, framesFor(1.0));
  EXPECT_EQ(pump[framesFor(0.099)], 0.f);
  EXPECT_NEAR(pump[framesFor(0.106)], 0.8f, 0.01f);
  EXPECT_LT(pump[framesFor(0.4)], 0.05f);
  EXPECT_EQ(pump.back(), 0.f);
}

// ---------------------------------------------------------------------------

// Three seconds with a bit of everything.
Song shortSong() {
  Song song = oneSection(
      {{"four", PatternKind::Hits, 16, "X...X...X...X..."},
       {"hats", PatternKind::Hits, 16, "xoxoxoxoxoxoxoxo"},
       {"bass", PatternKind::Chord, 16, ". . R - . . R - . . R - . . O -"},
       {"pad", PatternKind::Held, 16, ""},
       {"tune", PatternKind::Melody, 8, "e5 - c5 - a4 - - -"}},
      {partOf(Track::Kick, "four", 0, 1), partOf(Track::ClosedHat, "hats", 0, 1), partOf(Track::Bass, "bass", 0, 1),
       partOf(Track::Pad, "pad", 0, 1), partOf(Track::Lead, "tune", 0, 1)});
  song.sections[0].start = 0.5;
  song.sections[0].end = 2.5;
  song.length = 3.0;
  Accent accent;
  accent.time = 1.3;
  accent.topNote = "a5";
  accent.crash = true;
  song.accents = {accent};
  song.sweeps = {{Track::Riser, 0.0, 0.5, 0.5f}};
  song.masterGain = {{0.0, 1.f}, {2.5, 1.f}, {2.9, 0.f}};
  return song;
}

TEST(MusicRender, AShortSongIsMasteredAndFadesOut) {
  MasterReport report;
  const std::vector<float> stereo = renderSong(shortSong(), report);
  ASSERT_EQ(stereo.size(), 2 * framesFor(3.0));
  EXPECT_TRUE(report.problems.empty());
  EXPECT_NEAR(report.loudness, kTargetLufs, 0.1);
  EXPECT_LE(report.peak, kCeiling);
  float tail = 0.f;
  for (size_t n = 2 * framesFor(2.9); n < stereo.size(); ++n)
    tail = std::max(tail, std::fabs(stereo[n]));
  EXPECT_EQ(tail, 0.f);
}

TEST(MusicRender, SilenceStaysSilent) {
  std::vector<float> silence(2 * kSampleRate, 0.f);
  MasterReport report;
  masterStereo(silence, {}, kTargetLufs, kCeiling, report);
  EXPECT_EQ(report.peak, 0.f);
  for (float s : silence)
    ASSERT_EQ(s, 0.f);
}

TEST(MusicRender, SameSongSameSamplesSameBytes) {
  MasterReport first, second;
  const std::vector<float> a = renderSong(shortSong(), first);
  const std::vector<float> b = renderSong(shortSong(), second);
  ASSERT_EQ(a.size(), b.size());
  EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(float)), 0);

  std::string error;
  const std::vector<uint8_t> bytes = encodeOggVorbis(a, 2, 0.5f, 1, &error);
  ASSERT_FALSE(bytes.empty()) << error;
  EXPECT_EQ(encodeOggVorbis(b, 2, 0.5f, 1), bytes);

  // And the show's own decoder reads it back: 44.1 kHz stereo, every frame.
  test::TempDir dir;
  test::writeFile(dir.file("short.ogg"), bytes);
  DecodedAudio audio;
  ASSERT_TRUE(decodeOggFile(dir.file("short.ogg"), audio, &error)) << error;
  EXPECT_EQ(audio.sampleRate, 44100);
  EXPECT_EQ(audio.channels, 2);
  EXPECT_EQ(audio.frames(), framesFor(3.0));
}

TEST(MusicRender, TheEncoderRefusesWhatItCannotWrite) {
  std::string error;
  EXPECT_TRUE(encodeOggVorbis({}, 2, 0.5f, 1, &error).empty());
  EXPECT_FALSE(error.empty());
  error.clear();
  EXPECT_TRUE(encodeOggVorbis(std::vector<float>(100, 0.f), 0, 0.5f, 1, &error).empty());
  EXPECT_FALSE(error.empty());
}

// ---------------------------------------------------------------------------

TEST(MusicSoundtrack, SectionsTileThePieceAndChangeAtTheCuts) {
  const Song song = makeSoundtrack();
  std::vector<std::string> problems;
  const std::vector<Note> notes = sequence(song, &problems);
  EXPECT_TRUE(problems.empty()) << problems.front();
  ASSERT_FALSE(song.sections.empty());
  EXPECT_EQ(song.sections.front().start, 0.0);
  for (size_t i = 1; i < song.sections.size(); ++i)
    EXPECT_EQ(song.sections[i].start, song.sections[i - 1].end) << song.sections[i].name;
  for (double cut : {39.57, 59.37, 79.14, 118.84, 158.4, 217.5, 237.52, 242.45, 247.39, 252.4})
    EXPECT_TRUE(std::any_of(song.sections.begin(), song.sections.end(),
                            [&](const Section &s) { return s.start == cut; }))
        << cut;
  EXPECT_GE(song.length, 266.0);
  EXPECT_EQ(curveAt(song.masterGain, 265.0), 0.f); // silent by the end of the show
  for (const Note &n : notes)
    EXPECT_LT(n.start, 265.0);
}

TEST(MusicSoundtrack, KicksLandOnTheBeatPulses) {
  const std::vector<Note> kicks = ofTrack(sequence(makeSoundtrack()), Track::Kick);
  for (int k = 0; k < 16; ++k) {
    const double pulse = 198.4 + 1.225 * k;
    EXPECT_TRUE(
        std::any_of(kicks.begin(), kicks.end(), [&](const Note &n) { return std::fabs(n.start - pulse) < 1e-6; }))
        << pulse;
  }
}

} // namespace
} // namespace demo::bake::music
