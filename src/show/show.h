// show.h - the show: its one owner of state, and one frame of it, for both
// the live run and the capture.
//
// Show owns everything the show carries for the whole run, and hides it: the
// shader context, the ending's screen target and the copy of the frame the
// scenes share (both the window's frame size), the spectra of the step and
// of the frame, the loading pictures, the scenes and the timeline with its
// pulse, the schedule of the fixed-rate simulation, the random generator
// every step draws from, and the clock values of the current frame. Callers
// say which moment to show (startAt, seek, frame, stepTo) and read where the
// show stands through the accessors; they never write around them. frame()
// runs steps 4 to 9 of a frame: the simulation steps due by the frame's time
// (see step_schedule.h), the clear colour of the step before the last one and
// the clear, the clock, the spectrum, sphere maps off, one pending GL error,
// the timeline's draw. The caller does steps 1 to 3 (Escape, present and
// events, the 265-second end).
//
// In the gentle mode (reduceFlashing) every frame frame() draws then goes
// through a FlashGuard, which softens what would flash more than three times
// in a second; the unseen frame of a catch-up does not.
//
// Every step and every frame takes the spectrum at its own time from a
// SpectrumSource (the decoded music), so the simulation does not depend on
// when frames are drawn. The random numbers come from the show's own
// generator (base/show_random.h), which stands where a new process's C
// library generator stood: a jump back reseeds it with 1, and nothing
// outside the show moves it.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>

#include "show/loading.h"
#include "show/frame_clock.h"
#include "show/step_schedule.h"
#include "show/timeline.h"
#include "base/show_random.h"
#include "base/spectrum.h"
#include "gfx/cg_program.h"
#include "gfx/flash_guard.h"
#include "gfx/render_target.h"

namespace demo {

class GLWindow;

// Fills `spectrum` with the music's spectrum at show time `seconds` (or
// leaves it alone when there is no music).
using SpectrumSource = std::function<void(float seconds, Spectrum &spectrum)>;

// Asked between parts of a jump's catch-up: false stops it there (the viewer
// pressed another key, so the target is stale).
using CatchUpCheck = std::function<bool()>;
// The steps a catch-up runs between two checks: at 0.01 to 0.25 ms a step,
// at most a few milliseconds.
constexpr int64_t kStepsBetweenChecks = 32;

// Step 8 of a frame: reads one OpenGL error and, if there was one, prints
// "ERROR! <code>  \n" to `out`. Returns the code read (0 for none).
unsigned reportGlError(std::FILE *out);

class Show {
public:
  explicit Show(GLWindow &window);
  Show(const Show &) = delete;
  Show &operator=(const Show &) = delete;

  // The loading sequence; `hook` sees each loading frame before it is shown.
  // False when it was stopped (by the hook, Escape or a quit message; see
  // runLoadingSequence), true when it completed.
  bool load(const LoadingFrameHook &hook = LoadingFrameHook());
  // Catch-up for a run that starts at `seconds`: runs every step up to then
  // from where the simulation stands (the show's start for a new Show) and
  // draws, unseen, only the frame a step before `seconds`, whose GL state the
  // first frame inherits. The first frame then shows what a run from the
  // start shows. The simulation never goes back: an earlier time runs no
  // steps. At 0 nothing runs and the clock starts there.
  void startAt(float seconds, const SpectrumSource &spectrumAt);
  // A jump to `seconds`: forwards the simulation runs on, backwards it starts
  // over from the show's start (scenes, pulse level and the random sequence
  // of a new run); either way it then catches up as startAt does, so it
  // lands on the state a straight run has there, and returns true.
  //
  // With a `check`, the catch-up asks it every kStepsBetweenChecks steps and
  // stops as soon as it says false: seek then returns false with the show
  // standing at the last step it ran (clock at that step's time, nothing
  // drawn). The state there is a straight run's too, so a later seek to a
  // time ahead of it goes on from there, and one behind it starts over.
  bool seek(float seconds, const SpectrumSource &spectrumAt, const CatchUpCheck &check = CatchUpCheck());
  // Steps 4-9 of a frame whose clock reads `now`: every step due, however
  // long since the last frame (see step_schedule.h).
  void frame(float now, const SpectrumSource &spectrumAt);
  // The steps due by `now` without drawing (a frame a capture skips).
  void stepTo(float now, const SpectrumSource &spectrumAt);
  // The gentle mode on or off (off when made; the guard starts afresh each
  // time it is turned on).
  void reduceFlashing(bool on);
  bool reducesFlashing() const { return flashGuard_ != nullptr; }

  // Where the show stands: the clock of the last frame drawn (or of the
  // moment a start or a jump left it at), and the time since the one before.
  float time() const { return clock_.time; }
  float frameDt() const { return clock_.dt; }
  // The part of the show at time().
  Slot part() const { return scheduleAt(clock_.time).slot; }
  // Whether the show is over (time() has reached its end).
  bool over() const { return showOver(clock_.time); }
  // The steps run so far: the next step's number.
  int64_t stepsRun() const { return steps_.next(); }
  // The timeline's beat level after every step so far.
  float pulseLevel() const { return timeline_.pulseLevel(); }
  // The frame the show draws into (the window's when the show was made).
  const FrameSize &frameSize() const { return frameSize_; }
  // The scenes, to look at (empty until load() builds them).
  const ShowScenes &scenes() const { return scenes_; }
  // The generator the next step draws from, to look at (a copy draws what
  // the show would).
  const ShowRandom &random() const { return random_; }

private:
  void runSteps(StepRange range, const SpectrumSource &spectrumAt);
  void drawFrame(float now, const SpectrumSource &spectrumAt);

  GLWindow &window_;
  FrameSize frameSize_; // the window's frame when the show was made
  CgContext cg_;        // the show's shader context, made at start-up
  RenderTarget screenTarget_;
  SceneFrame sceneFrame_;  // what every scene is built with
  Spectrum spectrum_;      // the drawn frame's
  Spectrum stepSpectrum_;  // the current step's
  LoadingPictures loadingPictures_;
  ShowScenes scenes_;
  Timeline timeline_;
  FrameClock clock_;
  StepSchedule steps_;
  ShowRandom random_;
  std::unique_ptr<FlashGuard> flashGuard_;
};

} // namespace demo
