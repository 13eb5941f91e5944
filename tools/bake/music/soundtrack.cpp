// The show's soundtrack, written as data: patterns, sections, accents,
// sweeps and automation. A minor, about 97 beats per minute; every section
// starts on one of the show's cuts and holds a whole number of beats, so the
// tempo breathes by a percent or two from section to section.
//
//   0.00  intro      pads, bells, a slow arpeggio; no kick, no sub
//  39.57  tunnel     the groove comes in
//  59.37  water      breakdown: the lead sings over pads, then builds
//  79.14  letters    full groove; lead from bar 9; build into the flash
// 118.84  event      the drop; the title is spelled with stabs (128.40 -
//                    133.32); a hit on the event flash (148.14); dip to 158.4
// 158.40  corridor   quiet start, the groove returns, then the drive
// 198.40  pulses     half-time kicks every 1.225 s, building to the white-out
// 217.50  final      the climax, a hit on each camera cut
// 237.52  quick cuts three short blocks, hits on the flashes
// 252.40  ending     the last chord rings out, silent by 265 s
#include "bake/music/song.h"

#include "base/show_parts.h"

namespace demo::bake::music {

namespace {

// Sections change on the show's cuts.
double startOf(ShowPartIndex part) { return kShowParts[part].start; }
double endOf(ShowPartIndex part) { return kShowParts[part].end; }

std::vector<Pattern> patterns() {
  using K = PatternKind;
  return {
      // Drums: sixteen steps a bar.
      {"kick-four", K::Hits, 16, "X...X...X...X..."},
      {"kick-four-fill", K::Hits, 16, "X...X...X...X.x."},
      {"kick-half", K::Hits, 16, "X.......X......."},
      {"kick-broken", K::Hits, 16, "X.........x....."},
      {"kick-stop", K::Hits, 16, "X...X...X......."},
      {"kick-roll", K::Hits, 16, "X...X...X.X.XxXx"},
      {"kick-one", K::Hits, 16, "X..............."},
      {"snare-back", K::Hits, 16, "....x.......x..."},
      {"snare-ghost", K::Hits, 16, "....x...o.....o.|....x..o....x.o."},
      {"snare-fill", K::Hits, 16, "....x.......x.xx"},
      {"snare-roll8", K::Hits, 16, "x.x.x.x.x.x.x.x."},
      {"snare-roll16", K::Hits, 16, "xxxxxxxxxxxxxxxx"},
      {"clap-back", K::Hits, 16, "....x.......x..."},
      {"hat-off", K::Hits, 16, "..x...x...x...x."},
      {"hat-16", K::Hits, 16, "xoxoxoxoxoxoxoxo|xoxoxoxoxoxoxxxo"},
      {"open-off", K::Hits, 16, "..x...x...x...x."},
      {"shaker-16", K::Hits, 16, "oxoxoxoxoxoxoxox"},
      {"crash-one", K::Hits, 16, "X..............."},

      // Bass: R root, F fifth, O octave, L the fifth below.
      {"bass-off", K::Chord, 16, ". . R - . . R - . . R - . . R -"},
      {"bass-roll", K::Chord, 16, ". R R R . R R R . R R R . R O R"},
      {"bass-long", K::Chord, 16, "R - - - - - - - - - - - - - - -"},
      {"bass-half", K::Chord, 16, "R - - - - - . . F - - - O - R ."},
      {"bass-eighths", K::Chord, 16, "R . R . R . R . R . R . O . R ."},

      // Arpeggios: chord tones counted upwards.
      {"arp-a", K::Chord, 16, "1 3 5 3 6 5 3 5 1 3 5 3 7 5 3 5"},
      {"arp-b", K::Chord, 16, "1 . 3 5 . 3 6 . 5 3 . 5 8 . 6 5"},
      {"arp-slow", K::Chord, 16, "1 - 3 - 5 - 3 - 6 - 5 - 3 - 2 -"},
      {"bell-a", K::Chord, 16, "5 . . 3 . . 1 . . 3 . . 6 . 4 ."},

      {"pad-hold", K::Held, 16, ""},

      // Melodies: eight steps (eighth notes) a bar.
      {"melody-a", K::Melody, 8,
       "a4 - c5 - e5 - d5 c5 | a4 - - - . . c5 d5 | e5 - g5 - e5 - d5 c5 | d5 - - - b4 - g4 - | "
       "a4 - c5 - e5 - a5 - | g5 - f5 - e5 - c5 - | d5 - e5 - d5 - b4 - | g#4 - - - b4 - e5 -"},
      {"melody-b", K::Melody, 8,
       "e5 - e5 a5 - g5 e5 - | f5 - e5 c5 - - a4 - | g5 - g5 e5 - c5 d5 e5 | d5 - - - . b4 c5 d5 | "
       "e5 - a5 - c6 - b5 a5 | a5 - g5 - f5 - e5 - | d5 - g5 - b5 - d6 - | b5 - g#5 - e5 - - -"},
      {"melody-break", K::Melody, 8,
       "e5 - - - c5 - a4 - | d5 - - - b4 - g4 - | g4 - b4 - d5 - e5 - | c5 - - - - - . . | "
       "f5 - - - d5 - a4 - | b4 - d5 - g5 - f5 - | e5 - - - g5 - b5 - | g#5 - - - - - . ."},
      {"melody-end", K::Melody, 8, "e5 - - - - - - - | c5 - - - - - - - | a4 - - - - - - - | - - - - - - - -"},
  };
}

Part part(Track track, const char *pattern, int from, int to, float level, float levelTo = -1.f, int octave = 0) {
  Part p;
  p.track = track;
  p.pattern = pattern;
  p.fromBar = from;
  p.toBar = to;
  p.level = level;
  p.levelTo = levelTo;
  p.octave = octave;
  return p;
}

Section section(const char *name, double start, double end, int beats, const char *chords, std::vector<Part> parts) {
  Section s;
  s.name = name;
  s.start = start;
  s.end = end;
  s.beats = beats;
  s.chords = chords;
  s.parts = std::move(parts);
  return s;
}

// The full groove of the driving sections, over bars [from, to).
std::vector<Part> groove(int from, int to, float drive) {
  using T = Track;
  return {
      part(T::Kick, "kick-four", from, to, drive),
      part(T::Clap, "clap-back", from, to, 0.75f),
      part(T::Snare, "snare-ghost", from, to, 0.45f),
      part(T::ClosedHat, "hat-16", from, to, 0.55f),
      part(T::OpenHat, "open-off", from, to, 0.45f),
      part(T::Bass, "bass-roll", from, to, 0.85f),
      part(T::Pad, "pad-hold", from, to, 0.42f),
      part(T::Pluck, "arp-a", from, to, 0.42f),
  };
}

std::vector<Part> join(std::vector<Part> a, const std::vector<Part> &b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Accent hit(double time, float strength, const char *top, bool kick, bool crash, const char *chord = "") {
  Accent a;
  a.time = time;
  a.strength = strength;
  a.topNote = top;
  a.chord = chord;
  a.kick = kick;
  a.crash = crash;
  return a;
}

} // namespace

Song makeSoundtrack() {
  using T = Track;
  Song song;
  song.length = 267.0;
  song.swing = 0.12f;
  song.patterns = patterns();

  song.sections = {
      section("intro", startOf(kWaterPart), endOf(kWaterPart), 64,
              "Am9 Am9 Fmaj7 Fmaj7 Cmaj7 Cmaj7 G6 G6 Am9 Am9 Fmaj7 Fmaj7 Cmaj7 Cmaj7 Dm7 E7sus4",
              {
                  part(T::Pad, "pad-hold", 0, 16, 0.35f, 0.5f),
                  part(T::Bell, "bell-a", 4, 16, 0.2f, 0.3f, 1),
                  part(T::Pluck, "arp-slow", 8, 16, 0.25f, 0.4f),
                  part(T::Bass, "bass-long", 8, 16, 0.25f, 0.35f, 1),
                  part(T::Shaker, "shaker-16", 12, 16, 0.2f, 0.35f),
              }),
      section("tunnel", startOf(kLogoPart), endOf(kLogoPart), 32, "Am F C G Am F G E",
              {
                  part(T::Crash, "crash-one", 0, 1, 0.8f),
                  part(T::Kick, "kick-four", 0, 7, 0.85f),
                  part(T::Kick, "kick-four-fill", 7, 8, 0.85f),
                  part(T::Clap, "clap-back", 0, 8, 0.65f),
                  part(T::Snare, "snare-fill", 7, 8, 0.55f),
                  part(T::ClosedHat, "hat-16", 0, 8, 0.5f),
                  part(T::OpenHat, "open-off", 4, 8, 0.35f),
                  part(T::Bass, "bass-off", 0, 8, 0.8f),
                  part(T::Pad, "pad-hold", 0, 8, 0.45f),
                  part(T::Pluck, "arp-a", 0, 8, 0.4f),
              }),
      section("water", startOf(kWaterAgainPart), endOf(kWaterAgainPart), 32, "Fmaj7 G Em7 Am Dm7 G Cmaj7 E7",
              {
                  part(T::Crash, "crash-one", 0, 1, 0.6f),
                  part(T::Pad, "pad-hold", 0, 8, 0.5f),
                  part(T::Lead, "melody-break", 0, 8, 0.6f),
                  part(T::Pluck, "arp-b", 2, 8, 0.3f, 0.45f),
                  part(T::Shaker, "shaker-16", 0, 6, 0.4f),
                  part(T::ClosedHat, "hat-16", 6, 8, 0.35f, 0.6f),
                  part(T::Bass, "bass-long", 0, 6, 0.55f),
                  part(T::Bass, "bass-eighths", 6, 8, 0.6f, 0.9f),
                  part(T::Kick, "kick-four", 6, 8, 0.6f, 0.95f),
                  part(T::Snare, "snare-roll8", 6, 7, 0.3f, 0.5f),
                  part(T::Snare, "snare-roll16", 7, 8, 0.5f, 0.9f),
              }),
      section("letters", startOf(kLettersPart), endOf(kLettersPart), 64, "Am F C G Am F G E Am F C G Am F G E",
              {
                  part(T::Crash, "crash-one", 0, 1, 0.9f),
                  part(T::Crash, "crash-one", 8, 9, 0.8f),
                  part(T::Kick, "kick-four", 0, 7, 1.f),
                  part(T::Kick, "kick-four-fill", 7, 8, 1.f),
                  part(T::Kick, "kick-four", 8, 15, 1.f),
                  part(T::Kick, "kick-roll", 15, 16, 1.f),
                  part(T::Clap, "clap-back", 0, 14, 0.75f),
                  part(T::Snare, "snare-fill", 7, 8, 0.5f),
                  part(T::Snare, "snare-ghost", 8, 14, 0.45f),
                  part(T::Snare, "snare-roll8", 14, 15, 0.4f, 0.6f),
                  part(T::Snare, "snare-roll16", 15, 16, 0.6f, 0.95f),
                  part(T::ClosedHat, "hat-16", 0, 16, 0.5f),
                  part(T::OpenHat, "open-off", 0, 14, 0.4f),
                  part(T::Bass, "bass-off", 0, 8, 0.85f),
                  part(T::Bass, "bass-roll", 8, 14, 0.85f),
                  part(T::Bass, "bass-eighths", 14, 16, 0.85f),
                  part(T::Pad, "pad-hold", 0, 16, 0.4f),
                  part(T::Pluck, "arp-a", 0, 16, 0.4f),
                  part(T::Lead, "melody-a", 8, 16, 0.7f),
              }),
      section("event", startOf(kEventPart), endOf(kEventPart), 64, "Am F C G F G Am F C G Am F G E Dm7 E7sus4",
              join(
                  {
                      part(T::Kick, "kick-four", 0, 3, 1.f),
                      part(T::Kick, "kick-stop", 3, 4, 1.f),
                      part(T::Clap, "clap-back", 0, 4, 0.75f),
                      part(T::ClosedHat, "hat-16", 0, 4, 0.55f),
                      part(T::ClosedHat, "hat-16", 4, 6, 0.3f),
                      part(T::OpenHat, "open-off", 0, 3, 0.45f),
                      part(T::Bass, "bass-roll", 0, 4, 0.85f),
                      part(T::Pad, "pad-hold", 0, 6, 0.42f),
                      part(T::Pluck, "arp-a", 0, 4, 0.42f),
                      part(T::Lead, "melody-b", 0, 4, 0.7f),
                      part(T::Crash, "crash-one", 6, 7, 0.9f),
                      part(T::Lead, "melody-a", 6, 14, 0.7f),
                      part(T::Kick, "kick-half", 14, 15, 0.8f),
                      part(T::Bass, "bass-long", 14, 16, 0.6f, 0.3f),
                      part(T::Pad, "pad-hold", 14, 16, 0.45f, 0.35f),
                      part(T::Bell, "bell-a", 14, 16, 0.25f, -1.f, 1),
                  },
                  groove(6, 14, 1.f))),
      section("corridor", startOf(kCorridorPart), 178.4, 32, "Dm7 Dm7 Am Am Bbmaj7 Bbmaj7 E7sus4 E7",
              {
                  part(T::Pad, "pad-hold", 0, 8, 0.45f, 0.55f),
                  part(T::Bell, "bell-a", 0, 4, 0.25f, -1.f, 1),
                  part(T::Pluck, "arp-b", 0, 8, 0.3f, 0.45f),
                  part(T::Shaker, "shaker-16", 0, 4, 0.35f),
                  part(T::ClosedHat, "hat-off", 4, 8, 0.45f),
                  part(T::Kick, "kick-broken", 2, 4, 0.7f),
                  part(T::Kick, "kick-four", 4, 8, 0.95f),
                  part(T::Bass, "bass-half", 2, 4, 0.6f),
                  part(T::Bass, "bass-off", 4, 8, 0.8f),
                  part(T::Clap, "clap-back", 4, 8, 0.6f),
                  part(T::Snare, "snare-roll16", 7, 8, 0.3f, 0.8f),
              }),
      section("drive", 178.4, 198.4, 32, "Am F C G Am F G E",
              join(
                  {
                      part(T::Crash, "crash-one", 0, 1, 0.9f),
                      part(T::Lead, "melody-b", 0, 8, 0.7f),
                  },
                  groove(0, 8, 1.f))),
      // The beat pulses: the kick on every other beat lands on 198.4 + 1.225 k.
      section("pulses", 198.4, 216.775, 30, "F G Am Am F G E E",
              {
                  part(T::Crash, "crash-one", 0, 1, 0.8f),
                  part(T::Kick, "kick-half", 0, 8, 1.f),
                  part(T::Snare, "snare-back", 0, 4, 0.7f),
                  part(T::Snare, "snare-roll8", 4, 6, 0.45f, 0.7f),
                  part(T::Snare, "snare-roll16", 6, 8, 0.55f, 1.f),
                  part(T::Clap, "clap-back", 0, 6, 0.7f),
                  part(T::ClosedHat, "hat-16", 0, 8, 0.4f, 0.7f),
                  part(T::Bass, "bass-eighths", 0, 8, 0.75f, 0.95f),
                  part(T::Pad, "pad-hold", 0, 8, 0.45f, 0.65f),
                  part(T::Pluck, "arp-a", 0, 8, 0.35f, 0.55f),
              }),
      // One long beat of breath before the white-out's downbeat.
      section("stop", 216.775, endOf(kCorridorPart), 1, "E", {part(T::Kick, "kick-one", 0, 1, 1.f)}),
      section("final", startOf(kFinalPart), endOf(kFinalPart), 32, "Am F C G Am F G E",
              join({part(T::Lead, "melody-b", 0, 8, 0.75f)}, groove(0, 8, 1.f))),
      section("cut-a", startOf(kQuickCutsPart), kQuickCutToWater, 8, "F G",
              join({part(T::Crash, "crash-one", 0, 1, 0.8f)}, groove(0, 2, 1.f))),
      section("cut-b", kQuickCutToWater, kQuickCutToFinal, 8, "Dm7 E", groove(0, 2, 1.f)),
      section("cut-c", kQuickCutToFinal, endOf(kQuickCutsPart), 8, "F E7",
              {
                  part(T::Kick, "kick-four", 0, 1, 1.f),
                  part(T::Kick, "kick-roll", 1, 2, 1.f),
                  part(T::Snare, "snare-roll16", 1, 2, 0.5f, 1.f),
                  part(T::ClosedHat, "hat-16", 0, 2, 0.55f),
                  part(T::Bass, "bass-eighths", 0, 2, 0.85f),
                  part(T::Pad, "pad-hold", 0, 2, 0.5f),
                  part(T::Pluck, "arp-a", 0, 2, 0.45f),
              }),
      section("ending", startOf(kEndingPart), kShowEnd, 20, "Am9 Am9 Am9 Am9 Am9",
              {
                  part(T::Pad, "pad-hold", 0, 5, 0.6f),
                  part(T::Bell, "bell-a", 0, 3, 0.3f, 0.15f, 1),
                  part(T::Bass, "bass-long", 0, 2, 0.6f),
                  part(T::Lead, "melody-end", 0, 4, 0.55f),
              }),
  };

  // The title, one stab per letter, climbing over F and G and landing on
  // the dominant as the word completes.
  const std::pair<double, const char *> letters[] = {
      {128.40, "d5"}, {128.83, "e5"}, {129.38, "f5"}, {129.61, "a5"}, {130.07, "c6"}, {130.85, "a5"},
      {131.32, "b5"}, {131.85, "d6"}, {132.08, "b5"}, {132.56, "d6"}};
  for (const auto &[time, top] : letters)
    song.accents.push_back(hit(time, 0.8f, top, true, false));
  song.accents.push_back(hit(133.32, 1.f, "g#5", true, true, "E7"));

  // The drops and the flashes.
  Accent drop = hit(startOf(kEventPart), 1.f, "e5", true, true, "Am");
  drop.swell = 1.0;
  song.accents.push_back(drop);
  Accent flash = hit(148.14, 1.f, "a5", true, true);
  flash.swell = 1.0;
  song.accents.push_back(flash);
  Accent whiteOut = hit(startOf(kFinalPart), 1.f, "e5", true, true, "Am");
  whiteOut.swell = 0.725;
  song.accents.push_back(whiteOut);

  // The final scene's camera cuts. Two pairs come as flams (65 and 33 ms
  // apart): a snare and a stab, then the full hit.
  const double cuts[] = {220.48422, 222.94514, 224.1091, 225.32445, 226.30397, 227.00352,
                         227.26839, 227.88477, 229.11407, 230.32904, 230.39442, 231.54175,
                         232.25816, 232.42302, 232.87198, 232.90524, 234.06918, 235.30081};
  const char *cutTops[] = {"e5", "c5", "g5", "d5", "a5", "c6", "b5", "a5", "g5",
                           "e5", "a5", "f5", "d5", "g5", "b5", "d6", "g5", "b5"};
  for (size_t i = 0; i < sizeof(cuts) / sizeof(cuts[0]); ++i) {
    const bool flamGrace = i == 9 || i == 14;
    const bool big = i == 0 || i == 1 || i == 8 || i == 11 || i == 16 || i == 17;
    Accent cut = hit(cuts[i], flamGrace ? 0.8f : 0.9f, cutTops[i], !flamGrace, big);
    cut.snare = flamGrace;
    song.accents.push_back(cut);
  }

  // The quick cuts' flashes and the last chord.
  song.accents.push_back(hit(kQuickCutToWater, 1.f, "f5", true, true));
  song.accents.push_back(hit(kQuickCutToFinal, 1.f, "a5", true, true));
  Accent last = hit(startOf(kEndingPart), 1.f, "e5", true, true, "Am9");
  last.swell = 1.0;
  song.accents.push_back(last);

  song.sweeps = {
      {T::Riser, 35.57, 39.57, 0.5f},        {T::ReverseCrash, 38.57, 39.57, 0.6f},
      {T::Riser, 75.2, 79.14, 0.55f},        {T::ReverseCrash, 78.14, 79.14, 0.6f},
      {T::Riser, 113.9, 118.84, 0.6f},       {T::Downlifter, 148.14, 151.6, 0.5f},
      {T::Downlifter, 154.6, 158.4, 0.45f},  {T::Riser, 174.4, 178.4, 0.5f},
      {T::ReverseCrash, 177.4, 178.4, 0.6f}, {T::Riser, 209.5, 217.5, 0.7f},
      {T::Riser, 249.9, 252.4, 0.55f},
  };

  // Filter brightness: dark intro opening up, closed for the breakdown and
  // the dip, wide open at the white-out.
  song.brightness = {{0.0, 0.1f},    {19.8, 0.25f},   {39.57, 0.6f},  {59.37, 0.35f}, {74.2, 0.4f},
                     {79.14, 0.6f},  {113.9, 0.6f},   {118.84, 0.9f}, {148.0, 0.75f}, {155.0, 0.5f},
                     {158.4, 0.25f}, {178.4, 0.65f},  {198.4, 0.5f},  {217.5, 1.f},   {237.5, 0.9f},
                     {252.4, 0.7f},  {265.0, 0.3f}};
  // The dip around 158.4 and the fade to silence by 265 s.
  song.masterGain = {{0.0, 1.f}, {154.8, 1.f}, {158.2, 0.5f}, {160.4, 1.f}, {257.0, 1.f}, {264.5, 0.f}};
  return song;
}

} // namespace demo::bake::music
