// effect.h - what every scene of the show is, and the two shared values the
// scenes and the timeline agree on.
//
// An Effect is constructed during loading (it loads all of its assets then,
// never later) and then called once per frame as render(local time, frame
// time, spectrum) with its local time in seconds, the frame time in seconds
// and the 512-float spectrum buffer (bins 0-255 of the current music).
//
// envelope() is the rise-and-fall curve every flash, fade and pulse is made
// of; pulseLevel is the beat value the timeline adds to and the corridor
// scene reads. Plain code, no GL.
#pragma once

namespace demo {

class Scene;
class MeshNode;
class CameraNode;

class Effect {
public:
  virtual ~Effect();
  virtual void render(float time, float dt, const float *spectrum) = 0;
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

// Process-wide; starts at 0, only ever grows (beat pulses from 198 s on).
extern float pulseLevel;

} // namespace demo
