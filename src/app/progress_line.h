// progress_line.h - where a run that nobody watches stands.
//
// Under a virtual display the show plays for four to five minutes with
// nothing to see. ProgressLine says, on standard error, the show time, the
// part being drawn and the frames per second of the last second (RecentFrameRate,
// which the live show's time line uses too): rewritten in place a few times
// a second on a terminal, and as a new line every 10 seconds otherwise (a log
// file or a CI transcript).
//
// Use:
//   ProgressLine progress(stderr, isatty(fileno(stderr)));
//   each frame: progress.afterFrame(showTime, wallSecondsSinceStart);
//   at the end: progress.finish();
#pragma once

#include <array>
#include <cstdio>
#include <string>

namespace demo {

// "show 123.4 s of 265 s  letters  24.8 fps": `frames` drawn in
// `wallSeconds` of real time; the part is the one whose window holds t.
std::string progressText(float t, long frames, double wallSeconds);

// The frame rate of the last second: the real times of the frames drawn in
// it, in a fixed ring (at more than kCapacity frames a second the last
// kCapacity frames). Always the last two frames at least, so a stall reads
// as the rate it was.
class RecentFrameRate {
public:
  // A frame drawn at real time `seconds` (never decreasing).
  void add(double seconds);
  // The frames after the oldest one kept, and the real time they took: the
  // rate is frames() / seconds() (0 frames in 0 s before the second frame).
  long frames() const { return count_ > 1 ? count_ - 1 : 0; }
  double seconds() const { return count_ > 1 ? newest() - times_[first_] : 0.0; }

  static constexpr double kWindow = 1.0;
  static constexpr int kCapacity = 512;

private:
  double newest() const { return times_[(first_ + count_ - 1) % kCapacity]; }
  std::array<double, kCapacity> times_{};
  int first_ = 0;
  int count_ = 0;
};

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
  RecentFrameRate rate_;
  double nextPrint_ = 0.0;
  bool printed_ = false;
};

} // namespace demo
