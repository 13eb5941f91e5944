// closing_scene.h - the last 12.6 seconds: the picture the frame has just
// composed breaks into 20 x 20 falling tiles, the end logo comes up and
// grows, the screen fades to black, and a glow swells as the picture breaks.
//
// The timeline calls render(t - 252.4, ...) after it has copied the frame
// into its screen target and stored that target's texture name in
// screenTexture.glName; blending is on (source alpha, one minus source alpha)
// when render starts. Until 5.2 s the tiles stand in place and show the
// picture whole; then each spins about its own random axis, falls and drifts
// towards the viewer. srand(1) every frame gives every tile the same random
// values in every frame and every run. The scene keeps no state of its own.
//
// Leaves face culling off, depth test on, GL_TEXTURE_2D off and the viewport
// at 800 x 600. Blending stays as the timeline set it until the end logo
// appears at 5.2 s; from then on it is left off with the colour white.
#pragma once

#include "gfx/render_target.h"
#include "gfx/texture.h"
#include "scenes/effect.h"

namespace demo {

class CgContext;

class ClosingScene : public Effect {
public:
  explicit ClosingScene(CgContext *cg);
  void render(float time, float dt, const float *spectrum) override;

  Texture endLogoTexture;
  Texture screenTexture; // empty: borrows the timeline's screen target
  RenderTarget screenCopy;
  RenderTarget glowTarget;
};

// Seconds into the break (0 until 5.2 s).
float closingBreakTime(float time);
// The glow's gain at `time` (0 until 4.7 s, peak 1.5 at 5.2 s).
float closingGlowGain(float time);

} // namespace demo
