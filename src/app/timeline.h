// timeline.h - the show's schedule against the music clock.
//
// envelope() is the curve every flash, fade and pulse is made of. The clear
// colour of each frame flickers between white and grey during the first ten
// seconds and again between 17.8 and 19.8 s; it follows the previous frame's
// time because it is set before the clock is read.
//
// These are plain functions of time, tested without GL.
#pragma once

namespace demo {

// 0 before centre - attack; rises as (1 - (centre - t) / attack)^exponent to 1
// at the centre; falls as (1 - (t - centre) / release)^exponent to 0 at
// centre + release; 0 after. The base is single precision, the power double.
double envelope(float centre, float attack, float release, float exponent, float t);

struct ClearColour {
  float r, g, b, a;
};

// The clear colour of a frame whose previous clock value was previousTime.
// Components may exceed 1; the frame buffer clamps them.
ClearColour clearColourFor(float previousTime);

// Sets glClearColor from clearColourFor(previousTime).
void applyClearColour(float previousTime);

} // namespace demo
