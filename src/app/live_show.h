// live_show.h - the interactive run: the show on the music's clock, with
// pause, jumps and a line that says where the show is.
//
// Playback is the clock: the sample being heard when the music plays (see
// MusicStream::clockSeconds), a steady clock when it cannot (no music file).
// Either way pause holds it, and seek moves it together with the sound.
//
// LiveShow runs the loop of the live show one frame at a time and handles the
// viewer's keys:
//   Space            pause / resume picture and sound together
//   Left / Right     5 s back / forward
//   Page Up / Down   30 s back / forward
//   Home             back to the start
//   T                show / hide the time line (time, part, frames per second)
// A jump lands on the state a straight run has at its target (Show::seek) and
// the sound jumps with it. While paused the same moment is drawn again.
//
// Keys add up: the keys a frame takes make one target, each jump key moving
// it from where the one before left it (from the moment drawn for the first
// of a frame; from the last target while that jump is still under way, or
// while the show stands paused where it landed), and the frame makes one jump
// there. A catch-up asks the window every few steps whether the viewer has
// pressed anything since; if so it stops where it stands, that moment is
// drawn, and the next frame takes the new keys and goes on from there (or
// starts over when the new target lies behind it). So a burst of keys keeps
// the picture coming instead of running every jump to its end.
#pragma once

#include <string>

#include "app/progress_line.h"
#include "show/show.h"
#include "platform/gl_window.h"
#include "platform/timer.h"

namespace demo {

class MusicStream;

class Playback {
public:
  // Starts the music (or the steady clock) at `start`.
  Playback(MusicStream &music, float start);
  // The show time now.
  double seconds();
  void setPaused(bool paused);
  bool paused() const { return paused_; }
  // Moves the clock, and the sound with it, to `seconds`.
  void seek(double seconds);
  // Whether the music's clock drives the show (false: the steady clock).
  bool followsMusic() const;

private:
  MusicStream &music_;
  bool paused_ = false;
  // The steady clock, used when no music plays: show time `origin_` plus the
  // timer, held at `origin_` while paused.
  double origin_ = 0.0;
  Timer timer_;
};

// How far the keys jump.
constexpr float kShortJump = 5.f;
constexpr float kLongJump = 30.f;

// Where a jump from `now` lands: clamped to the show, 0 to its end.
float jumpTarget(float now, float by);

class LiveShow {
public:
  LiveShow(Show &show, GLWindow &window, Playback &playback, const SpectrumSource &spectrumAt);
  // One pass of the loop: Escape and the window's events, the keys and the
  // jump they add up to, then a frame (and the time line over it). False
  // once the show is over: Escape, the window closed, or the clock past
  // 265 s.
  bool runFrame();
  // What a key does (runFrame calls it for every key pressed): Space and T
  // at once; a jump key moves the target of the frame's jump.
  void press(ShowKey key);
  // Jumps to `seconds` now, the whole catch-up: the scenes, then the clock
  // and the sound.
  void jumpTo(float seconds);

  bool timeLineShown() const { return timeLine_; }
  // The text of the time line now.
  std::string timeLineText() const;

private:
  // The jump to target_; with a check, one that may stop early (see above).
  void jump(const CatchUpCheck &check);

  Show &show_;
  GLWindow &window_;
  Playback &playback_;
  SpectrumSource spectrumAt_;
  bool timeLine_ = false;
  // Where the keys want the show: a jump is wanted until the show lands
  // there; it stands there (atTarget_) until a frame is drawn while playing.
  float target_ = 0.f;
  bool jumpWanted_ = false;
  bool atTarget_ = false;
  // The moment the last frame was asked to show.
  float shownAt_ = 0.f;
  // Real times of the frames of the last second, for the rate.
  Timer wallClock_;
  RecentFrameRate rate_;
};

} // namespace demo
