// song.h - the piece as data, and the sequencer that turns it into notes.
//
// A Song is what a musician edits:
//   - a list of Sections, each a stretch of time with its own tempo (its
//     beats spread evenly from start to end, so every section change lands
//     exactly on the show's cut), its chords (one per bar of four beats) and
//     its Parts: which pattern each track plays over which bars, how loud,
//     with an optional crescendo and octave shift;
//   - a table of Patterns, written as text, one token per step:
//       hits     "X...x...X...x..."  X loud, x normal, o ghost, . rest
//       chord    "R . R - F . O -"    bass: R root, F fifth, O octave, L low fifth;
//                                     arps: 1-9 the n-th chord tone upwards
//                                     (counting on into the next octave)
//       held     the bar's chord held for the whole bar (pads)
//       melody   "a4 - c5 . e5 -"     note names (c#5, bb4), - holds, . rests
//   - Accents: hits at fixed times (the show's flashes and cuts), a chord stab
//     with a chosen top note, a kick, a crash, a swell into them. Groove
//     drums within kAccentClearance of an accent make way for it;
//   - Sweeps: risers, downlifters and reversed cymbals between two times;
//   - automation curves: the filter brightness every note reads at its start,
//     and the master gain (the fade-out).
//
// sequence() resolves all of it into Notes (instrument.h) sorted by start:
// absolute times, pitches from the chords, velocities with a little seeded
// humanising, the swing of the sixteenths.
//
// What it does not do: tempo ramps inside a section, time signatures other
// than 4/4 (a section may end on a partial bar), or MIDI.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bake/music/instrument.h"

namespace demo::bake::music {

// Groove drums (kick, snare, clap) this close to an accent are left out.
constexpr double kAccentClearance = 0.1;

enum class PatternKind { Hits, Chord, Held, Melody };

struct Pattern {
  std::string name;
  PatternKind kind = PatternKind::Hits;
  int stepsPerBar = 16;
  std::string steps; // tokens; hits may be written without spaces
};

struct Part {
  Track track = Track::Kick;
  std::string pattern;
  int fromBar = 0, toBar = 0; // bars [fromBar, toBar) of the section
  float level = 1.f;
  float levelTo = -1.f;       // crescendo to this level at toBar; < 0: none
  int octave = 0;             // transposition of pitched patterns
};

struct Section {
  std::string name;
  double start = 0.0, end = 0.0; // seconds
  int beats = 0;                 // spread evenly over start .. end
  std::string chords;            // one chord symbol per bar, space separated
  std::vector<Part> parts;

  double beatSeconds() const { return beats > 0 ? (end - start) / beats : 0.0; }
  int bars() const { return (beats + 3) / 4; }
};

struct Accent {
  double time = 0.0;
  float strength = 1.f;   // scales every layer
  std::string topNote;    // top of the stab chord (e.g. "e5"); empty: no stab
  std::string chord;      // the stab's chord; empty: the section's chord then
  bool kick = true;       // a kick and a clap
  bool snare = false;
  bool crash = false;
  double swell = 0.0;     // seconds of reversed cymbal leading in; 0: none
};

struct Sweep {
  Track track = Track::Riser; // Riser, Downlifter or ReverseCrash
  double start = 0.0, end = 0.0;
  float level = 1.f;
};

struct CurvePoint {
  double time = 0.0;
  float value = 0.f;
};

struct Song {
  double length = 0.0;    // seconds rendered
  float swing = 0.f;      // odd sixteenths late by this share of a sixteenth
  std::vector<Pattern> patterns;
  std::vector<Section> sections;
  std::vector<Accent> accents;
  std::vector<Sweep> sweeps;
  std::vector<CurvePoint> brightness; // 0..1
  std::vector<CurvePoint> masterGain; // linear gain
};

// The soundtrack of the show (soundtrack.cpp).
Song makeSoundtrack();

// Every note of the song, sorted by start time (ties in a fixed order).
// Unknown pattern names, chords or note names are reported in `problems`
// (one line each) and skipped.
std::vector<Note> sequence(const Song &song, std::vector<std::string> *problems = nullptr);

// Piecewise-linear value of a curve (held flat beyond its ends; 0 if empty).
float curveAt(const std::vector<CurvePoint> &curve, double time);

// "c4" = 60, "a4" = 69, "c#5", "bb3"; -1 when it is not a note name.
int noteNumber(const std::string &name);

// A chord symbol: its root's pitch class (C = 0 .. B = 11), the intervals
// of its tones above the root ("Am7": root 9, intervals 0 3 7 10) and the
// pitch class of its bass note (the root, or the note after a slash: "C/E"
// has bass 4). Understood qualities: major, m, 7, m7, maj7, 6, m6, 9, m9,
// maj9, add9, madd9, sus2, sus4, 7sus4, dim. False when not understood.
struct ChordShape {
  int root = 0;
  int bass = 0;
  std::vector<int> intervals; // from the root, ascending, first 0
};
bool parseChord(const std::string &symbol, ChordShape &out);

} // namespace demo::bake::music
