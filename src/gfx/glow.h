// glow.h - the glow the scenes lay over their finished picture: the frame is
// copied into a screen-size target, shrunk into a small one, blurred there,
// and then the sharp copy is drawn back with the blurred one added over it.
//
// Use (after the 3D picture is drawn):
//   // The blur's passes, radius, spread and gain, then the added glow's tint.
//   const GlowPass glow(screenCopy, glowTarget, {3, 3, 1.f, 1.2f}, {0.9f, 0.9f, 1.f, 1.f});
//   glow.run();
//
// run() is capture(), shrink(), blurGlow() and compose() in turn. A scene that
// does something between two steps (clears the frame, resets the matrices,
// sets a letterbox viewport) calls the steps itself. Each step is exactly the
// RenderTarget calls named beside it and nothing else, so the GL state a step
// leaves is what those calls leave (render_target.h).
#pragma once

#include <optional>

#include "gfx/render_target.h"

namespace demo {

// The blur's settings: RenderTarget::blur(passes, radius, spread, gain).
struct GlowBlur {
  int passes = 3;
  int radius = 3;
  float spread = 1.f;
  float gain = 1.f;
};

// The colour a copy is drawn with (each channel times the texel's).
struct GlowColour {
  float r = 1.f, g = 1.f, b = 1.f, a = 1.f;
};

struct GlowPass {
  GlowPass(RenderTarget &pictureTarget, RenderTarget &glowTarget, GlowBlur glowBlur,
           GlowColour glowColour = {})
      : picture(pictureTarget), glow(glowTarget), blur(glowBlur), glowTint(glowColour) {}

  // picture.copyFromScreen(): the frame (its lower-left area) into the
  // picture target. Always runs, even with the glow off.
  void capture() const;
  // picture.copyTo(glow): leaves the shrunk picture in the frame's corner.
  void shrink() const;
  // glow.blur(passes, radius, spread, gain): leaves the blurred glow in the
  // frame's corner and the rest of the frame as it was.
  void blurGlow() const;
  // The sharp picture back over the frame, picture.draw() (or drawTinted with
  // pictureTint), then the glow added: glow.drawAdditive(glowTint). With
  // pictureOnScreen (and the glow on) the picture goes back only into the
  // glow's corner, the one part of the frame the glow overwrote.
  void compose() const;
  // capture(), shrink(), blurGlow(), compose().
  void run() const;

  RenderTarget &picture; // the screen-size copy
  RenderTarget &glow;    // the small target that is blurred
  GlowBlur blur;
  // The weights of the added glow; white adds it as it is.
  GlowColour glowTint;
  // Set: the sharp picture goes back through drawTinted with this colour
  // rather than draw(), which keeps the current colour.
  std::optional<GlowColour> pictureTint;
  // Off: shrink() and blurGlow() do nothing and compose() only draws the
  // picture back, so the frame is the picture as it was.
  bool glowOn = true;
  // The caller's promise that nothing but shrink() and blurGlow() drew or
  // cleared colour since capture(), so that outside the glow's corner the
  // frame still holds the captured picture. A screen-size copy drawn back at
  // screen size is exact, so drawing it only into the corner gives the same
  // frame for a fraction of the work.
  bool pictureOnScreen = false;
};

} // namespace demo
