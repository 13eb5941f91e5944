// flash_meter.h - quintervale-inspect --flashes: how often a capture of the show
// flashes, second by second, and whether that is safe to watch.
//
// Use:
//   quintervale-inspect --flashes shots/              // a --capture directory (frames.txt, frame-*.png)
//   quintervale-inspect --flashes show.mp4 --from 40  // a video; its first picture is at 40 s of the show
// or, from code (the tests):
//   FlashMeter meter(30.0, 0.0);
//   meter.add(measureLevels(rgb, w, h), n);   // frame n, in order
//   FlashReport report = meter.report();
//
// The rule, its units and its source are in base/flash_rule.h: a flash is a
// pair of opposing transitions (relative luminance changing by 0.1 or more
// with the darker state below 0.8; or a saturated red appearing or going,
// (R - G - B) x 320 changing by more than 20), counted in the whole frame and
// in each quarter; more than three flashes of either kind within any one
// second is unsafe.
//
// The report (JSON, keys in this order):
//   {"kind": "flashes", "frames", "fps", "from" (show time of frame 0),
//    "verdict": "safe" | "unsafe",
//    "most": {"whole", "quarter", "red"}: the most flashes in any one second
//            (any window of fps frames, wherever it starts),
//    "unsafe": [[start, end], ...]: the show times covered by windows over
//            the limit, joined where they touch,
//    "secondsOver": {"whole", "quarter", "red"}: how many of the seconds
//            below are over the limit in the whole frame, in some quarter,
//            in red,
//    "gaps": places where frames are missing (a capture with --only): the
//            counting starts afresh after each, so what flashed in a gap
//            is not measured,
//    "parts": [{"name", "start", "end", "most": {...}, "secondsOver": {...}}]
//            for every part of the show the frames reach: "most" over the
//            windows that start in the part, "secondsOver" over the seconds
//            whose middle is in it,
//    "seconds": [{"second", "whole", "quarters" [4], "red", "over"}]: each
//            whole second of show time the frames reach, with the flashes
//            whose second transition falls in it (halves where a flash
//            is half in the second before); "red" the most of the five
//            regions; "over" when any is more than three}.
// Quarters are in the order top left, top right, bottom left, bottom right.
// Flashes are transitions / 2, so 3.5 means seven transitions.
//
// Exit status: 0 safe, 3 unsafe, 1 when the capture cannot be read, 2 for
// wrong arguments.
//
// What it does not do: decide what a region too small to count is (see
// flash_rule.h), weigh the light by the screen's size or the distance of the
// viewer, or look at the capture's sound.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "base/flash_rule.h"
#include "inspect/inspect.h"

namespace demo {

struct FlashCounts {
  float whole = 0.f, quarter = 0.f, red = 0.f; // flashes (transitions / 2)
};

struct FlashSecond {
  int second = 0;
  float whole = 0.f;
  float quarters[4] = {};
  float red = 0.f;
  bool over() const;
};

// The window of one second that starts at a transition, and the flashes
// in it of one series (whole frame, a quarter, or red in any region).
struct FlashWindow {
  enum Kind { Whole, Quarter, Red };
  Kind kind;
  double start; // show time
  float flashes;
};

struct FlashReport {
  size_t frames = 0, gaps = 0;
  double fps = 0.0, from = 0.0;
  FlashCounts most; // in any window of one second
  std::vector<std::pair<double, double>> unsafe;
  std::vector<FlashSecond> seconds;
  std::vector<FlashWindow> windows;
  bool safe() const { return unsafe.empty(); }
};

class FlashMeter {
public:
  // Frame n is at show time from + n / fps.
  FlashMeter(double fps, double from);
  // The levels of frame n. Frames come in order; one numbered at or before
  // the last is taken as the next. After a gap (a capture with --only) the
  // counting starts afresh.
  void add(const FrameLevels &levels, size_t n);
  FlashReport report() const;

private:
  double fps_, from_;
  size_t frames_ = 0, first_ = 0, last_ = 0, gaps_ = 0;
  std::vector<SwingCounter> counters_;         // luminance of the five regions, then red
  std::vector<std::vector<size_t>> transitions_; // frame numbers, per counter
};

// The report as the JSON document above.
InspectJson describeFlashes(const FlashReport &report);

struct FlashInput {
  double fps = 0.0;   // 0: the video's own rate, or the listing's; else 30
  double from = -1.0; // below 0: the listing's first time, or 0
};

// Measures a --capture directory (frame-NNNNNN.png, numbered as frames.txt
// lists them when it is there) or a video file. False with one line in
// `error` when it cannot be read.
bool measureFlashes(const std::string &path, const FlashInput &input, FlashReport &report, std::string &error);

} // namespace demo
