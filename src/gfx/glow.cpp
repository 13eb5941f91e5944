#include "gfx/glow.h"

namespace demo {

void GlowPass::capture() const { picture.copyFromScreen(); }

void GlowPass::shrink() const {
  if (glowOn)
    picture.copyTo(glow);
}

void GlowPass::blurGlow() const {
  if (glowOn)
    glow.blur(blur.passes, blur.radius, blur.spread, blur.gain);
}

void GlowPass::compose() const {
  // The shrink and the blur draw with blending off, so the picture drawn back
  // replaces what they left; only their corner needs it.
  {
    std::optional<CornerScissor> corner;
    if (pictureOnScreen && glowOn)
      corner.emplace(glow.width, glow.height);
    if (pictureTint)
      picture.drawTinted(pictureTint->r, pictureTint->g, pictureTint->b, pictureTint->a);
    else
      picture.draw();
  }
  if (glowOn)
    glow.drawAdditive(glowTint.r, glowTint.g, glowTint.b, glowTint.a);
}

void GlowPass::run() const {
  capture();
  shrink();
  blurGlow();
  compose();
}

} // namespace demo
