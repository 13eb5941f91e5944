// capture.h - frame-exact offline rendering of the show.
//
// quintervale --capture DIR [--fps N] [--from S] [--to S] [--only T1,T2,...] renders
// the show the way frame-exact capture tools do: no window on screen, no
// vsync, the clock is from + n / fps for frame n, and the spectrum is
// computed from the decoded music at that time. Every frame is written as
// DIR/frame-NNNNNN.png (n, fast zlib level) with a line "n seconds" in
// DIR/frames.txt. With --capture FILE.mp4 (or .mkv) the frames go, as they are
// drawn, into a video of --size with the music of the range from its first
// frame (the show's frames only: no loading screen, nothing past its end).
// A range that starts inside the show first catches the
// simulation up from the show's start, so its first frame is what a whole
// run shows then. With --only, only the frames nearest the listed times are
// written; the simulation still steps through every frame, but frames are
// drawn only from one second before each listed one (enough for what one
// drawn frame hands to the next, such as leftover GL state, to settle), and
// the run stops after the last. When the range starts at 0 the 95 loading
// frames come first, as DIR/loading-NN.png. The music of the range goes to DIR/music.wav. A
// progress bar with the frames written, the recent frame rate and the time left runs on standard error.
// The same arguments give the same files.
//
// When something goes wrong it stops rather than going on: the first file
// that cannot be written (each is written whole under a temporary name and
// renamed) ends the capture with one line and the system's reason; SIGINT,
// SIGTERM and SIGHUP end it between frames with "stopped at frame N (T s)"
// and the exit status 128 + the signal. Either way frames.txt lists exactly
// the frames written, all of them a run from the first, and music.wav covers
// them; a video is removed. A directory holds one capture at a time
// (DirectoryLock).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "app/options.h"

namespace demo {

// The frames of a capture range: frame n shows time from + n / fps, for every
// n with that time before `to`.
size_t captureFrameCount(float from, float to, int fps);
float captureFrameTime(float from, int fps, size_t n);
// The frame numbers nearest each listed time (clamped into the range),
// sorted and without repeats.
std::vector<size_t> framesNearest(const std::vector<float> &times, float from, float to, int fps);

// How long before a listed frame --only starts drawing.
constexpr float kOnlyWarmUpSeconds = 1.f;
// Whether frame n of the range is drawn when only the frames `selected`
// (sorted, from framesNearest) are wanted: it is one of them or at most
// kOnlyWarmUpSeconds before one. Everything is drawn when none are listed.
bool captureFrameDrawn(const std::vector<size_t> &selected, float from, int fps, size_t n);

// The progress bar: "capture [####    ] 120/7950 frames  31.2 fps  4:13 left",
// `done` of `total` frames written, at `framesPerSecond` over the last
// second (RecentFrameRate: the parts of the show differ severalfold in how
// fast they draw, and a rate since the start would say 40 fps in a part
// that runs at 26). The rate and the time left are left out while it is 0,
// not yet known.
std::string captureProgressText(size_t done, size_t total, double framesPerSecond);
// The bar while --only steps between its listed frames without drawing:
// "capture [##      ] 2/5 frames  stepping to 131.4 s".
std::string captureSteppingText(size_t done, size_t total, float showTime);

// The whole capture run; returns the exit status.
int runCapture(const Options &options);

} // namespace demo
