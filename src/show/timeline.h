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
//   59.37 < t < 79.14    water             t - 59.37, on its return path
//   79.14 < t < 118.84   letters           t - 79.14
//   118.84 < t < 158.4   event overlay     t - 118.84
//   158.4 < t < 217.5    corridor          t - 158.4
//   217.5 < t < 237.52   final boxes       t - 217.5
//   237.52 < t < 252.4   quick cuts        logo x2 / water / final boxes, flashes
//   t > 252.4            ending            event overlay captured, closing scene
// Every scene gets its local time only; a scene that runs on another clock
// keeps the offset itself.
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
class ClosingScene;
class EventScene;
class FinalBoxesScene;
class WaterScene;

struct ClearColour {
  float r, g, b, a;
};

// The clear colour of a frame whose previous clock value was previousTime.
// Components may exceed 1; the frame buffer clamps them.
ClearColour clearColourFor(float previousTime);

// Sets the clear colour (draw::clearColour) from clearColourFor(previousTime).
void applyClearColour(float previousTime);

enum class Slot { None, Water, Logo, Letters, Event, Corridor, FinalBoxes, QuickCuts, Ending };

struct ScheduledCall {
  Slot slot;
  float localTime;        // what the scene's step and draw are given (0 for None, QuickCuts, Ending)
  bool returning = false; // the water's return path (Camera05)
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
// in tests) makes its windows draw nothing. The timeline asks three of them
// for more than a step and a draw, through their own methods: the water
// which path it is on, the final boxes to rewind their cuts, the event
// scene for its whole title and the closing scene to break the ending's
// picture.
struct ShowScenes {
  ShowScenes();
  ~ShowScenes();
  std::unique_ptr<WaterScene> water;
  std::unique_ptr<Effect> logo;
  std::unique_ptr<Effect> letters;
  std::unique_ptr<EventScene> event;
  std::unique_ptr<Effect> corridor;
  std::unique_ptr<FinalBoxesScene> finalBoxes;
  std::unique_ptr<ClosingScene> closing;
};

class Timeline {
public:
  // `frame`: the size of the frame it draws into.
  Timeline(ShowScenes &scenes, RenderTarget &screenTarget, const FrameSize &frame = FrameSize());
  // One step of the simulation at show time t (dt: the step's length): the
  // scene or scenes of this time step with their local times, drawing from
  // `random` (the quick cuts first rewind the final boxes' cut list when
  // due), then the beat pulses of t go into the pulse level. No GL.
  void step(float t, float dt, const Spectrum &spectrum, ShowRandom &random);
  // Step 9 of the frame at t: the scene or scenes of this time draw, then the
  // overlays. The scenes see the pulse level as it was before the last
  // step's pulses (the corridor's tint lags a step behind the beat).
  void draw(float t, float dt, const Spectrum &spectrum);

  // Every scene and the pulse level back to the show's start (a jump back).
  void restart();

  // The pulse level after every step so far; starts at 0, only ever grows.
  float pulseLevel() const { return pulse_; }
  // The level a frame is drawn with.
  float drawnPulseLevel() const { return drawnPulse_; }

private:
  void drawQuickCuts(const FrameInput &frame);
  void drawEnding(const FrameInput &frame);
  // The scene of a call, told which path it is on (the water); null when
  // the slot has no scene or it is not built.
  Effect *sceneFor(const ScheduledCall &call);

  ShowScenes &scenes_;
  RenderTarget &screenTarget_;
  FrameSize frame_;
  float pulse_ = 0.f;
  float drawnPulse_ = 0.f;
};

} // namespace demo
