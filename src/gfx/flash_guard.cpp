#include "gfx/flash_guard.h"

#include <algorithm>
#include <cmath>

#include "draw/draw.h"
#include "gfx/overlay.h"

namespace demo {

namespace {

// Pixels the levels are taken from, at most (every one at 400 x 300, one of
// every 2 x 2 at 800 x 600).
constexpr double kLevelSamples = 120000.0;

int samplingStep(const FrameSize &frame) {
  return std::max(1, static_cast<int>(std::ceil(std::sqrt(static_cast<double>(frame.width) * frame.height /
                                                          kLevelSamples))));
}

} // namespace

FlashGuard::FlashGuard(const FrameSize &frame, draw::Renderer renderer)
    : frame_(frame), sampled_{std::max(1, frame.width / samplingStep(frame)),
                              std::max(1, frame.height / samplingStep(frame))},
      sampler_(frame.width, frame.height, sampled_.width, sampled_.height, renderer) {}

// The layer goes over whatever state the frame left: everything is saved,
// the fixed pipeline set up plainly (no program, no textures on any unit, no
// lighting, fog, depth or scissor test, culling or ARB programs, every
// channel written, the whole frame), and everything put back after. The show
// never turns on alpha or stencil tests, logic ops, colour sums, stipples or
// line and point polygon modes, and only ever blends by adding.
void FlashGuard::lay(const FrameCorrection &correction) const {
  const uint32_t program = draw::state().program;
  const int activeUnit = draw::state().activeUnit;
  draw::pushAttributes(draw::kAllGroups);
  draw::useProgram(0);
  for (int unit = 0; unit < draw::kTextureUnits; ++unit) {
    draw::activeTexture(unit);
    draw::disable(draw::Cap::Texture2D);
  }
  draw::activeTexture(0);
  for (draw::Cap off : {draw::Cap::Lighting, draw::Cap::Fog, draw::Cap::DepthTest, draw::Cap::CullFace,
                        draw::Cap::ScissorTest, draw::Cap::VertexProgramArb, draw::Cap::FragmentProgramArb})
    draw::disable(off);
  draw::colourMask(true);
  draw::viewport(0, 0, frame_.width, frame_.height);
  draw::enable(draw::Cap::Blend);
  draw::blendFunc(draw::Factor::SrcAlpha, draw::Factor::OneMinusSrcAlpha);
  draw::colour(0, 0, 0, static_cast<uint8_t>(std::clamp(correction.darken, 0, 255)));
  drawFullScreenQuad(); // its matrices, depth test and culling come back with the attributes
  draw::popAttributes(); // the matrix mode too
  draw::activeTexture(activeUnit);
  draw::useProgram(program);
}

FrameCorrection FlashGuard::limit(float seconds) {
  sampler_.read(pixels_);
  // Rows bottom first: the quarters come out with top and bottom swapped,
  // the same four regions.
  const FrameCorrection correction = limiter_.decide(seconds, pixels_.data(), sampled_.width, sampled_.height);
  if (correction.darken > 0)
    lay(correction);
  return correction;
}

} // namespace demo
