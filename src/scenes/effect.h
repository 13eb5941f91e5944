// effect.h - what every scene of the show is, and the two shared values the
// scenes and the timeline agree on.
//
// An Effect is constructed during loading (it loads all of its assets then,
// never later). From then on the show's time model drives it:
// - step(frame, random) advances everything the scene carries from one
//   moment to the next (simulations, leaky levels, beat reactions,
//   cooldowns) by one fixed step of 1/60 s of show time, drawing every
//   random number it needs from the show's generator `random`.
//   A step touches no OpenGL. While the scene's window is open the timeline
//   steps it 60 times per second of show time, whatever the frame rate.
// - draw(frame) draws the picture of a moment from that state. It changes no
//   state a later step reads and draws no random numbers, so frames may come
//   at any rate, or not at all, without changing what the scene does.
// restart() takes the scene back to its state at construction. Both step and
// draw get their moment as one FrameInput: the local time (seconds since
// the scene's part of the show began; a scene that needs another clock keeps
// the offset as its own named constant), the time since the previous step
// (or drawn frame), the spectrum of that moment and the timeline's beat
// level. A scene is a closed room: its state is its own, and what the show
// asks of it beyond step and draw is a method of the scene.
// A scene is built for one frame (SceneFrame): it draws into a frame of
// that size, whatever the render scale, and takes its copy of the frame from
// there.
//
// envelope() is the rise-and-fall curve every flash, fade and pulse is made
// of. Plain code, no GL.
#pragma once

#include <memory>

#include "base/frame_size.h"
#include "base/show_random.h"
#include "base/spectrum.h"
#include "gfx/render_target.h"

namespace demo {

// The frame a scene draws into, given at construction: its size, and the
// copy of the whole frame the scenes may share. The show gives every scene
// the same copy: each scene fills it before it reads it within one frame,
// and no two scenes use it in the same stretch of a frame (in the ending
// the event scene is done with it before the closing scene copies the
// frame again), so one copy serves all. Without one (null) a scene makes its
// own.
struct SceneFrame {
  FrameSize size;
  std::shared_ptr<RenderTarget> screenCopy;

  // screenCopy, or a new copy of a frame of this size (RGB).
  std::shared_ptr<RenderTarget> screenCopyOrNew() const {
    return screenCopy ? screenCopy : std::make_shared<RenderTarget>(size.width, size.height, TargetStorage::Rgb, size);
  }
};

class Scene;
class MeshNode;
class CameraNode;

// What a scene is given for one step or one drawn frame.
struct FrameInput {
  float time = 0.f;  // the scene's local time, seconds
  float dt = 0.f;    // seconds since the previous step (or frame)
  Spectrum spectrum; // the music at that time
  float pulse = 0.f; // the timeline's beat level (only ever grows)
};

class Effect {
public:
  virtual ~Effect();
  virtual void step(const FrameInput &frame, ShowRandom &random) = 0;
  virtual void draw(const FrameInput &frame) = 0;
  // Puts everything step() carries back as construction left it, so that
  // stepping again from the show's start repeats a run exactly (a jump
  // back in the show).
  virtual void restart() = 0;

  // One step and the frame of the same moment: a frame of a clock that runs
  // at exactly the step rate (what single-frame callers and tests use).
  void render(float time, float dt, const Spectrum &spectrum, ShowRandom &random, float pulse = 0.f) {
    const FrameInput frame{time, dt, spectrum, pulse};
    step(frame, random);
    draw(frame);
  }
};

// 0 before centre - attack; rises as (1 - (centre - t) / attack)^exponent to 1
// at the centre; falls as (1 - (t - centre) / release)^exponent to 0 at
// centre + release; 0 after. The base is single precision, the power double.
double envelope(float centre, float attack, float release, float exponent, float t);

// A named mesh or camera of a scene, or null. A name that is missing (or names
// a node of another kind) is reported on stderr as
// "<scene path>: no mesh named "<name>"" (or "no camera named"); scenes look
// their nodes up once, at construction, so each name is reported once, and
// they skip whatever depends on a missing node.
MeshNode *findMesh(Scene &scene, const char *name);
CameraNode *findCamera(Scene &scene, const char *name);

} // namespace demo
