#include "app/timeline.h"

#include <GL/glew.h>

#include <cmath>

#include "scene/math.h"

namespace demo {

double envelope(float centre, float attack, float release, float exponent, float t) {
  if (t < centre - attack)
    return 0.0;
  if (t < centre)
    return power(1.f - (centre - t) / attack, exponent);
  if (t <= centre + release)
    return power(1.f - (t - centre) / release, exponent);
  return 0.0;
}

ClearColour clearColourFor(float previousTime) {
  const float p = previousTime;
  // c runs from 0.5 to 1.5; the phase 3 p^2 makes the flicker speed up.
  const float c = 1.f + 0.5f * std::sin(3.f * p * p);
  ClearColour colour = p < 10.f ? ClearColour{c, c, c, 1.f} : ClearColour{1.f, 1.f, 1.f, 1.f};
  if (17.8f < p && p < 19.8f)
    colour = ClearColour{c, c, c, 1.f};
  return colour;
}

void applyClearColour(float previousTime) {
  ClearColour c = clearColourFor(previousTime);
  glClearColor(c.r, c.g, c.b, c.a);
}

} // namespace demo
