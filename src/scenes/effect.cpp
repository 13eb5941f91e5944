#include "scenes/effect.h"

#include "scene/math.h"

namespace demo {

Effect::~Effect() = default;

float pulseLevel = 0.f;

double envelope(float centre, float attack, float release, float exponent, float t) {
  if (t < centre - attack)
    return 0.0;
  if (t < centre)
    return power(1.f - (centre - t) / attack, exponent);
  if (t <= centre + release)
    return power(1.f - (t - centre) / release, exponent);
  return 0.0;
}

} // namespace demo
