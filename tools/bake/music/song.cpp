#include "bake/music/song.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <sstream>

#include "bake/image.h"

namespace demo::bake::music {

namespace {

std::vector<std::string> tokensOf(const Pattern &pattern) {
  std::vector<std::string> tokens;
  const bool packed = pattern.kind == PatternKind::Hits && pattern.steps.find(' ') == std::string::npos;
  if (packed) {
    for (char c : pattern.steps)
      if (c != '|')
        tokens.emplace_back(1, c);
    return tokens;
  }
  std::istringstream in(pattern.steps);
  std::string token;
  while (in >> token)
    if (token != "|")
      tokens.push_back(token);
  return tokens;
}

std::vector<std::string> wordsOf(const std::string &text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  std::string word;
  while (in >> word)
    if (word != "|")
      words.push_back(word);
  return words;
}

float hitVelocity(char c) {
  switch (c) {
  case 'X':
    return 1.f;
  case 'x':
    return 0.85f;
  case 'o':
    return 0.42f;
  default:
    return 0.f;
  }
}

// The pitch a drum plays when its pattern gives none.
float drumPitch(Track track) {
  switch (track) {
  case Track::Kick:
    return 28.f; // E1, 41 Hz: the key's fifth, deep under the bass
  case Track::Snare:
    return 54.f;
  default:
    return 60.f;
  }
}

// The lowest bass note of a pitch class between E1 (28) and D#2 (39).
int bassRoot(int pitchClass) {
  int note = 24 + pitchClass;
  return note < 28 ? note + 12 : note;
}

// Chord tones voiced upwards from the root between E3 (52) and D#4 (63).
std::vector<int> voicing(const ChordShape &chord) {
  int root = 48 + chord.root;
  if (root < 52)
    root += 12;
  std::vector<int> notes;
  for (int interval : chord.intervals)
    notes.push_back(root + interval);
  return notes;
}

// The n-th chord tone upwards (1-based), continuing into the next octaves.
int chordTone(const std::vector<int> &tones, int n) {
  const int k = static_cast<int>(tones.size());
  const int i = n - 1;
  return tones[static_cast<size_t>(i % k)] + 12 * (i / k);
}

struct Sequencer {
  const Song &song;
  std::vector<std::string> *problems;
  std::map<std::string, const Pattern *> patterns;
  std::vector<Note> notes;
  uint32_t nextSeed = 1;

  void problem(const std::string &what) {
    if (problems)
      problems->push_back(what);
  }

  Note make(Track track, double start, double length, float pitch, float velocity) {
    Note n;
    n.track = track;
    n.start = start;
    n.length = length;
    n.pitch = pitch;
    n.velocity = velocity;
    n.brightness = curveAt(song.brightness, start);
    n.seed = nextSeed++;
    return n;
  }

  void addPart(const Section &section, size_t sectionIndex, const Part &part, size_t partIndex);
  void addAccent(const Accent &accent);
  const Section *sectionAt(double time) const;
};

void Sequencer::addPart(const Section &section, size_t sectionIndex, const Part &part, size_t partIndex) {
  auto found = patterns.find(part.pattern);
  if (found == patterns.end()) {
    problem(section.name + ": no pattern called \"" + part.pattern + "\"");
    return;
  }
  const Pattern &pattern = *found->second;
  const std::vector<std::string> tokens = tokensOf(pattern);
  const std::vector<std::string> chords = wordsOf(section.chords);
  if ((tokens.empty() && pattern.kind != PatternKind::Held) || pattern.stepsPerBar <= 0)
    return;
  // Humanising: the same song always gets the same small deviations.
  Rng rng(0x5EC0000ull + sectionIndex * 1000u + partIndex);
  const double beat = section.beatSeconds();
  const double stepBeats = 4.0 / pattern.stepsPerBar;
  const double spanBeats = 4.0 * (part.toBar - part.fromBar);
  const int steps = pattern.stepsPerBar;
  const size_t firstNote = notes.size();

  auto levelAt = [&](double beatInSection) {
    if (part.levelTo < 0.f || spanBeats <= 0.0)
      return part.level;
    const double x = (beatInSection - 4.0 * part.fromBar) / spanBeats;
    return part.level + (part.levelTo - part.level) * static_cast<float>(std::clamp(x, 0.0, 1.0));
  };
  auto chordOf = [&](int bar, ChordShape &shape) {
    if (chords.empty())
      return false;
    const std::string &symbol = chords[static_cast<size_t>(std::min<int>(bar, static_cast<int>(chords.size()) - 1))];
    if (!parseChord(symbol, shape)) {
      problem(section.name + ": cannot read the chord \"" + symbol + "\"");
      return false;
    }
    return true;
  };

  for (int bar = part.fromBar; bar < part.toBar; ++bar) {
    if (pattern.kind == PatternKind::Held) {
      // The bar's chord for the whole bar; a tone that goes on into the next
      // bar is tied, not struck again.
      ChordShape shape;
      const double barBeat = 4.0 * bar;
      if (barBeat >= section.beats || !chordOf(bar, shape))
        continue;
      const double startTime = section.start + barBeat * beat;
      const double barLength = std::min(4.0, section.beats - barBeat) * beat;
      for (int pitch : voicing(shape)) {
        const float p = static_cast<float>(pitch + 12 * part.octave);
        bool tied = false;
        for (size_t i = firstNote; i < notes.size(); ++i) {
          Note &held = notes[i];
          if (held.pitch == p && std::fabs(held.start + held.length - startTime) < 1e-6) {
            held.length += barLength;
            tied = true;
            break;
          }
        }
        if (!tied)
          notes.push_back(make(part.track, startTime, barLength, p, levelAt(barBeat)));
      }
      continue;
    }
    for (int step = 0; step < steps; ++step) {
      const double beatInSection = 4.0 * bar + step * stepBeats;
      if (beatInSection >= section.beats - 1e-9)
        break;
      const size_t index = static_cast<size_t>((bar - part.fromBar) * steps + step) % tokens.size();
      const std::string &token = tokens[index];
      if (token == "." || token == "-")
        continue;
      size_t hold = 1;
      while (index + hold < tokens.size() && tokens[index + hold] == "-")
        ++hold;
      double time = section.start + beatInSection * beat;
      if (steps == 16 && (step & 1))
        time += song.swing * stepBeats * beat;
      const double length = static_cast<double>(hold) * stepBeats * beat;
      const float level = levelAt(beatInSection);

      switch (pattern.kind) {
      case PatternKind::Hits: {
        const float v = hitVelocity(token[0]);
        if (v <= 0.f) {
          problem(section.name + ": \"" + token + "\" is not a hit in " + pattern.name);
          continue;
        }
        const float human = 1.f + rng.range(-0.05f, 0.05f);
        notes.push_back(make(part.track, time, length, drumPitch(part.track), v * level * human));
        break;
      }
      case PatternKind::Chord: {
        ChordShape shape;
        if (!chordOf(bar, shape))
          continue;
        int pitch = -1;
        const char c = token[0];
        const int root = bassRoot(shape.bass);
        if (c == 'R')
          pitch = root;
        else if (c == 'F')
          pitch = root + 7;
        else if (c == 'O')
          pitch = root + 12;
        else if (c == 'L')
          pitch = root - 5;
        else if (std::isdigit(static_cast<unsigned char>(c)) && c != '0')
          pitch = chordTone(voicing(shape), c - '0');
        if (pitch < 0) {
          problem(section.name + ": \"" + token + "\" is not a chord step in " + pattern.name);
          continue;
        }
        const float human = 1.f + rng.range(-0.03f, 0.03f);
        notes.push_back(make(part.track, time, length * 0.85, static_cast<float>(pitch + 12 * part.octave),
                             0.8f * level * human));
        break;
      }
      case PatternKind::Melody: {
        const int pitch = noteNumber(token);
        if (pitch < 0) {
          problem(section.name + ": \"" + token + "\" is not a note in " + pattern.name);
          continue;
        }
        notes.push_back(make(part.track, time, length * 0.92, static_cast<float>(pitch + 12 * part.octave),
                             0.8f * level));
        break;
      }
      case PatternKind::Held:
        break;
      }
    }
  }

  // A melody glides between notes that follow each other without a rest.
  if (pattern.kind == PatternKind::Melody) {
    for (size_t i = firstNote + 1; i < notes.size(); ++i) {
      const Note &before = notes[i - 1];
      const double gap = notes[i].start - (before.start + before.length / 0.92);
      if (std::fabs(gap) < 0.02)
        notes[i].glideFrom = before.pitch;
    }
  }
}

const Section *Sequencer::sectionAt(double time) const {
  for (const Section &s : song.sections)
    if (time >= s.start && time < s.end)
      return &s;
  return nullptr;
}

void Sequencer::addAccent(const Accent &accent) {
  const float s = accent.strength;
  if (accent.kick) {
    notes.push_back(make(Track::Kick, accent.time, 0.1, drumPitch(Track::Kick), s));
    notes.push_back(make(Track::Clap, accent.time, 0.1, 60.f, 0.7f * s));
  }
  if (accent.snare)
    notes.push_back(make(Track::Snare, accent.time, 0.1, drumPitch(Track::Snare), 0.9f * s));
  if (accent.crash)
    notes.push_back(make(Track::Crash, accent.time, 2.0, 60.f, 0.9f * s));
  if (accent.swell > 0.0)
    notes.push_back(make(Track::ReverseCrash, accent.time - accent.swell, accent.swell, 60.f, 0.8f * s));
  if (accent.topNote.empty())
    return;
  const int top = noteNumber(accent.topNote);
  if (top < 0) {
    problem("accent: \"" + accent.topNote + "\" is not a note");
    return;
  }
  std::string symbol = accent.chord;
  if (symbol.empty()) {
    const Section *section = sectionAt(accent.time);
    if (section) {
      const std::vector<std::string> chords = wordsOf(section->chords);
      const int bar = static_cast<int>((accent.time - section->start) / (4.0 * section->beatSeconds()));
      if (!chords.empty())
        symbol = chords[static_cast<size_t>(std::min<int>(bar, static_cast<int>(chords.size()) - 1))];
    }
  }
  ChordShape shape;
  if (symbol.empty() || !parseChord(symbol, shape)) {
    problem("accent: cannot read the chord \"" + symbol + "\"");
    return;
  }
  // The stab: the top note and the next three chord tones below it, plus
  // the root below the lowest of them, for weight.
  std::vector<int> stab = {top};
  for (int p = top - 1; p > top - 13 && stab.size() < 4; --p) {
    const int pc = ((p % 12) + 12) % 12;
    for (int interval : shape.intervals)
      if ((shape.root + interval) % 12 == pc) {
        stab.push_back(p);
        break;
      }
  }
  int root = stab.back() - 1;
  while (((root % 12) + 12) % 12 != shape.root)
    --root;
  stab.push_back(root);
  for (int pitch : stab)
    notes.push_back(make(Track::Stab, accent.time, 0.22, static_cast<float>(pitch), 0.9f * s));
}

bool isGrooveDrum(Track t) { return t == Track::Kick || t == Track::Snare || t == Track::Clap; }

} // namespace

float curveAt(const std::vector<CurvePoint> &curve, double time) {
  if (curve.empty())
    return 0.f;
  if (time <= curve.front().time)
    return curve.front().value;
  for (size_t i = 1; i < curve.size(); ++i) {
    const CurvePoint &a = curve[i - 1], &b = curve[i];
    if (time <= b.time) {
      if (b.time <= a.time)
        return b.value;
      const double x = (time - a.time) / (b.time - a.time);
      return a.value + (b.value - a.value) * static_cast<float>(x);
    }
  }
  return curve.back().value;
}

int noteNumber(const std::string &name) {
  if (name.size() < 2)
    return -1;
  static const int kNatural[7] = {9, 11, 0, 2, 4, 5, 7}; // a b c d e f g
  const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(name[0])));
  if (letter < 'a' || letter > 'g')
    return -1;
  int pc = kNatural[letter - 'a'];
  size_t i = 1;
  if (name[i] == '#') {
    ++pc;
    ++i;
  } else if (name[i] == 'b' && i + 1 < name.size()) {
    --pc;
    ++i;
  }
  if (i >= name.size())
    return -1;
  int octave = 0;
  bool negative = false;
  if (name[i] == '-') {
    negative = true;
    ++i;
  }
  if (i >= name.size() || !std::isdigit(static_cast<unsigned char>(name[i])) || i + 1 != name.size())
    return -1;
  octave = name[i] - '0';
  if (negative)
    octave = -octave;
  const int note = 12 * (octave + 1) + pc;
  return note >= 0 && note <= 127 ? note : -1;
}

bool parseChord(const std::string &symbol, ChordShape &out) {
  std::string main = symbol, bassName;
  const size_t slash = symbol.find('/');
  if (slash != std::string::npos) {
    main = symbol.substr(0, slash);
    bassName = symbol.substr(slash + 1);
    if (bassName.empty())
      return false;
  }
  auto pitchClass = [](const std::string &s, size_t &used) {
    static const int kNatural[7] = {9, 11, 0, 2, 4, 5, 7};
    used = 0;
    if (s.empty() || s[0] < 'A' || s[0] > 'G')
      return -1;
    int pc = kNatural[s[0] - 'A'];
    used = 1;
    if (s.size() > 1 && s[1] == '#') {
      ++pc;
      used = 2;
    } else if (s.size() > 1 && s[1] == 'b') {
      --pc;
      used = 2;
    }
    return (pc + 12) % 12;
  };
  size_t used = 0;
  const int root = pitchClass(main, used);
  if (root < 0)
    return false;
  static const std::map<std::string, std::vector<int>> kQualities = {
      {"", {0, 4, 7}},           {"m", {0, 3, 7}},          {"7", {0, 4, 7, 10}},     {"m7", {0, 3, 7, 10}},
      {"maj7", {0, 4, 7, 11}},   {"6", {0, 4, 7, 9}},       {"m6", {0, 3, 7, 9}},     {"9", {0, 4, 7, 10, 14}},
      {"m9", {0, 3, 7, 10, 14}}, {"maj9", {0, 4, 7, 11, 14}}, {"add9", {0, 4, 7, 14}}, {"madd9", {0, 3, 7, 14}},
      {"sus2", {0, 2, 7}},       {"sus4", {0, 5, 7}},       {"7sus4", {0, 5, 7, 10}}, {"dim", {0, 3, 6}}};
  auto quality = kQualities.find(main.substr(used));
  if (quality == kQualities.end())
    return false;
  int bass = root;
  if (!bassName.empty()) {
    size_t bassUsed = 0;
    bass = pitchClass(bassName, bassUsed);
    if (bass < 0 || bassUsed != bassName.size())
      return false;
  }
  out.root = root;
  out.bass = bass;
  out.intervals = quality->second;
  return true;
}

std::vector<Note> sequence(const Song &song, std::vector<std::string> *problems) {
  Sequencer seq{song, problems, {}, {}, 1};
  for (const Pattern &p : song.patterns)
    seq.patterns[p.name] = &p;
  for (size_t s = 0; s < song.sections.size(); ++s)
    for (size_t p = 0; p < song.sections[s].parts.size(); ++p)
      seq.addPart(song.sections[s], s, song.sections[s].parts[p], p);

  // Groove drums make way for the accents.
  std::vector<Note> kept;
  kept.reserve(seq.notes.size());
  for (const Note &n : seq.notes) {
    bool clear = true;
    if (isGrooveDrum(n.track))
      for (const Accent &a : song.accents)
        if (std::fabs(n.start - a.time) < kAccentClearance) {
          clear = false;
          break;
        }
    if (clear)
      kept.push_back(n);
  }
  seq.notes = std::move(kept);

  for (const Accent &a : song.accents)
    seq.addAccent(a);
  for (const Sweep &sweep : song.sweeps)
    if (sweep.end > sweep.start)
      seq.notes.push_back(seq.make(sweep.track, sweep.start, sweep.end - sweep.start, 60.f, sweep.level));

  std::stable_sort(seq.notes.begin(), seq.notes.end(),
                   [](const Note &a, const Note &b) { return a.start < b.start; });
  return std::move(seq.notes);
}

} // namespace demo::bake::music
