#include "gfx/glow.h"

#include <GL/glew.h>

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
  const bool cornerOnly = pictureOnScreen && glowOn;
  GLboolean scissored = GL_FALSE;
  GLint box[4] = {0, 0, 0, 0};
  if (cornerOnly) {
    scissored = glIsEnabled(GL_SCISSOR_TEST);
    glGetIntegerv(GL_SCISSOR_BOX, box);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, glow.width, glow.height);
  }
  if (pictureTint)
    picture.drawTinted(pictureTint->r, pictureTint->g, pictureTint->b, pictureTint->a);
  else
    picture.draw();
  if (cornerOnly) {
    glScissor(box[0], box[1], box[2], box[3]);
    if (!scissored)
      glDisable(GL_SCISSOR_TEST);
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
