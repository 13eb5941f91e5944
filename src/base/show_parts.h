// show_parts.h - the show's parts and their windows of show time, once.
//
// The timeline decides from these which scene a frame draws, the reports and
// the contact sheet name the parts by them, and the soundtrack changes
// section on them. Times are in seconds of the music; the timeline compares
// the 32-bit floats nearest them (partStart / partEnd), the soundtrack uses
// them as they stand.
#pragma once

namespace demo {

struct ShowPart {
  const char *name;
  double start, end;
};

// In order; the water scene's two visits are two parts. Windows are open at
// both ends: at an exact edge no part draws.
inline constexpr ShowPart kShowParts[] = {
    {"water", 0.0, 39.57},       {"logo", 39.57, 59.37},      {"water", 59.37, 79.14},
    {"letters", 79.14, 118.84},  {"event", 118.84, 158.4},    {"corridor", 158.4, 217.5},
    {"final", 217.5, 237.52},    {"quick cuts", 237.52, 252.4}, {"ending", 252.4, 265.0},
};

enum ShowPartIndex {
  kWaterPart,
  kLogoPart,
  kWaterAgainPart,
  kLettersPart,
  kEventPart,
  kCorridorPart,
  kFinalPart,
  kQuickCutsPart,
  kEndingPart,
  kShowPartCount
};
static_assert(sizeof kShowParts / sizeof kShowParts[0] == kShowPartCount, "one entry per part");

// Inside the quick cuts: the cut to the water scene and to the final boxes.
inline constexpr double kQuickCutToWater = 242.45;
inline constexpr double kQuickCutToFinal = 247.39;

// The end of the show.
inline constexpr double kShowEnd = kShowParts[kEndingPart].end;

// The windows as the timeline compares them.
constexpr float partStart(ShowPartIndex part) { return static_cast<float>(kShowParts[part].start); }
constexpr float partEnd(ShowPartIndex part) { return static_cast<float>(kShowParts[part].end); }

} // namespace demo
