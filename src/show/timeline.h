// timeline.h - the show's schedule against the music clock.
//
// From a time t the timeline decides which scene is on, with which local
// time, and which full-screen flashes and fades go over it. Every decision is
// made afresh from t; the decisions are plain functions, tested without GL.
// Timeline::step carries them out for a step of the simulation (the scene of
// the step's time steps, the beat pulses add up), Timeline::draw for a drawn
// frame (the scene of the frame's time draws, the flashes go over it).
//
// The schedule (windows open at both ends, tested in this order):
//   t < 39.57            water             t
//   39.57 < t < 59.37    logo tunnel       t - 39.57
//   59.37 < t < 79.14    water             t - 59.37 + 100 (its second camera path)
//   79.14 < t < 118.84   letters           t - 79.14
//   118.84 < t < 158.4   event overlay     t - 118.84
//   158.4 < t < 217.5    corridor          t - 158.4
//   217.5 < t < 237.52   final boxes       t (clock seconds)
//   237.52 < t < 252.4   quick cuts        logo x2 / water / final boxes, flashes
//   t > 252.4            ending            event overlay captured, closing scene
// At a window's exact edge no scene draws: only the clear colour and overlays.
// Over every frame: a white-out round 217.5 s and a flash at 118.84 s, a dip
// to black round 158.4 s; every step adds its beat pulses (from 198.4 s) to
// the pulse level the corridor's balls are tinted with.
//
// The clear colour flickers between white and grey during the first ten
// seconds and again between 17.8 and 19.8 s; it follows the time of the step
// before the frame's last one (one step behind), because it was always set
// before the clock is read.
#pragma once

#include <memory>

#include "base/frame_size.h"
#include "scenes/effect.h"

namespace demo {

class RenderTarget;
class Texture;
class ClosingScene;

struct ClearColour {
  float r, g, b, a;
};

// The clear colour of a frame whose previous clock value was previousTime.
// Components may exceed 1; the frame buffer clamps them.
ClearColour clearColourFor(float previousTime);

// Sets glClearColor from clearColourFor(previousTime).
void applyClearColour(float previousTime);

enum class Slot { None, Water, Logo, Letters, Event, Corridor, FinalBoxes, QuickCuts, Ending };

struct ScheduledCall {
  Slot slot;
  float localTime; // what the scene's render is given (0 for None, QuickCuts, Ending)
};

// Step 9 of a frame: which part of the show the frame at t draws.
ScheduledCall scheduleAt(float t);
// Within the quick cuts (237.52 < t < 252.4): which scene, and its time.
ScheduledCall quickCutAt(float t);
// The quick cuts' white flash (drawn every frame of the cuts, also at 0).
double quickCutFlash(float t);
// The white overlay (the white-out round 217.5 s and the flash at 118.84 s).
double whiteOverlay(float t);
// The black overlay (the dip round 158.4 s).
double blackOverlay(float t);
// What the step at t adds to the pulse level: sixteen beat pulses from
// 198.4 s every 1.225 s, counted only while 197 < t < 211.
float beatPulses(float t);
// A short name for reports ("water", "logo", ...).
const char *slotName(Slot slot);

// The show's scenes, built by the loading sequence. A scene left empty (as
// in tests) makes its windows draw nothing.
struct ShowScenes {
  ShowScenes();
  ~ShowScenes();
  std::unique_ptr<Effect> water;
  std::unique_ptr<Effect> logo;
  std::unique_ptr<Effect> letters;
  std::unique_ptr<Effect> event;
  std::unique_ptr<Effect> corridor;
  std::unique_ptr<Effect> finalBoxes;
  std::unique_ptr<ClosingScene> closing;
  // The final boxes scene's index of its next camera cut, which the quick
  // cuts reset; null while that scene is not built.
  int *finalCutIndex = nullptr;
  // The event scene's whole title (its last title overlay), drawn over the
  // ending's capture; null while that scene is not built.
  Texture *titleOverlay = nullptr;
};

class Timeline {
public:
  // `frame`: the size of the frame it draws into.
  Timeline(ShowScenes &scenes, RenderTarget &screenTarget, const FrameSize &frame = FrameSize());
  // One step of the simulation at show time t (dt: the step's length): the
  // scene or scenes of this time step with their local times (the quick cuts
  // first rewind the final boxes' cut list when due), then the beat pulses
  // of t go into the pulse level. No GL.
  void step(float t, float dt, const float *spectrum);
  // Step 9 of the frame at t: the scene or scenes of this time draw, then the
  // overlays. The scenes see the pulse level as it was before the last
  // step's pulses (the corridor's tint lags a step behind the beat).
  void draw(float t, float dt, const float *spectrum);

  // Every scene and the pulse level back to the show's start (a jump back).
  void restart();

  // The pulse level after every step so far; starts at 0, only ever grows.
  float pulseLevel() const { return pulse_; }
  // The level a frame is drawn with.
  float drawnPulseLevel() const { return drawnPulse_; }

private:
  void drawQuickCuts(const FrameInput &frame);
  void drawEnding(const FrameInput &frame);

  ShowScenes &scenes_;
  RenderTarget &screenTarget_;
  FrameSize frame_;
  float pulse_ = 0.f;
  float drawnPulse_ = 0.f;
};

} // namespace demo
