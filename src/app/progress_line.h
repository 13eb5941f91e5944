// progress_line.h - where a run that nobody watches stands.
//
// Under a virtual display the show plays for four to five minutes with
// nothing to see. ProgressLine says, on standard error, the show time, the
// part being drawn and the frames per second so far: rewritten in place a few
// times a second on a terminal, and as a new line every 10 seconds otherwise
// (a log file or a CI transcript).
//
// Use:
//   ProgressLine progress(stderr, isatty(fileno(stderr)));
//   each frame: progress.afterFrame(showTime, wallSecondsSinceStart);
//   at the end: progress.finish();
#pragma once

#include <cstdio>
#include <string>

namespace demo {

// "show 123.4 s of 265 s  letters  24.8 fps": `frames` drawn in
// `wallSeconds` of real time; the part is the one whose window holds t.
std::string progressText(float t, long frames, double wallSeconds);

class ProgressLine {
public:
  ProgressLine(std::FILE *out, bool inPlace);
  // After a frame at show time t, `wallSeconds` after the show started.
  void afterFrame(float t, double wallSeconds);
  // Ends an in-place line, so that what follows starts on a line of its own.
  void finish();

  // Real seconds between two prints.
  static constexpr double kTerminalPeriod = 0.25;
  static constexpr double kLogPeriod = 10.0;

private:
  std::FILE *out_;
  bool inPlace_;
  bool started_ = false;
  double start_ = 0.0; // real time of the first frame
  long frames_ = 0;    // frames since the first
  double nextPrint_ = 0.0;
  bool printed_ = false;
};

} // namespace demo
