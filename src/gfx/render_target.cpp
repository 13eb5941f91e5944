#include "gfx/render_target.h"

#include <GL/glew.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "gfx/overlay.h"
#include "base/math.h"

namespace demo {

RenderTarget::RenderTarget(int targetWidth, int targetHeight)
    : width(targetWidth), height(targetHeight), screenWidth(800), screenHeight(600) {
  texWidth = nextPowerOfTwo(width);
  texHeight = nextPowerOfTwo(height);

  // Zeros until the first copy: black with alpha 0.
  std::vector<uint8_t> zeros(static_cast<size_t>(texWidth) * static_cast<size_t>(texHeight) * 4, 0);
  glGenTextures(1, &glName);
  glBindTexture(GL_TEXTURE_2D, glName);
  glTexImage2D(GL_TEXTURE_2D, 0, 4, texWidth, texHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE, zeros.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);

  uMax = static_cast<float>(width) / static_cast<float>(texWidth);
  vMax = static_cast<float>(height) / static_cast<float>(texHeight);
}

void RenderTarget::setViewport() { glViewport(0, 0, width, height); }

void RenderTarget::copyFromScreen() {
  glBindTexture(GL_TEXTURE_2D, glName);
  glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, width, height);
  glViewport(0, 0, screenWidth, screenHeight);
}

void RenderTarget::drawQuad(float x, float y, float dw, float dh) {
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, glName);
  glDisable(GL_DEPTH_TEST);
  pushIdentityMatrices();

  const float sw = static_cast<float>(screenWidth), sh = static_cast<float>(screenHeight);
  const float x0 = 2.f * x / sw - 1.f;
  const float y0 = 2.f * y / sh - 1.f;
  const float x1 = x0 + 2.f * dw / sw + 2.f;
  const float y1 = y0 + 2.f * dh / sh + 2.f;
  // Texture row 0 is the frame's bottom row, so the copy shows upright.
  glBegin(GL_QUADS);
  glTexCoord2f(0.f, 0.f);
  glVertex2f(x0, y0);
  glTexCoord2f(uMax, 0.f);
  glVertex2f(x1, y0);
  glTexCoord2f(uMax, vMax);
  glVertex2f(x1, y1);
  glTexCoord2f(0.f, vMax);
  glVertex2f(x0, y1);
  glEnd();

  endTexturedPass();
}

void RenderTarget::draw() { drawQuad(0.f, 0.f, 0.f, 0.f); }

void RenderTarget::drawTinted(float r, float g, float b, float a) {
  glColor4f(r, g, b, a);
  draw();
}

void RenderTarget::drawAdditive(float r, float g, float b, float a) {
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  glColor4f(r, g, b, a);
  draw();
  glColor4f(1.f, 1.f, 1.f, 1.f);
  glDisable(GL_BLEND);
}

void RenderTarget::drawAdditiveWhite() { drawAdditive(1.f, 1.f, 1.f, 1.f); }

void RenderTarget::copyTo(RenderTarget &other) {
  other.setViewport();
  glDisable(GL_BLEND);
  draw();
  other.copyFromScreen();
}

void RenderTarget::blurPass(int passes, int radius, float spread, float intensity, float dirX,
                            float dirY) {
  pushIdentityMatrices();
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);

  // Each of the 2 radius + 1 taps adds the image at weight intensity / taps
  // (times the texel's alpha, 1 in frame copies): a box filter whose weights
  // sum to the intensity.
  const int taps = 2 * radius + 1;
  glColor4f(1.f, 1.f, 1.f, intensity / static_cast<float>(taps));
  glBindTexture(GL_TEXTURE_2D, glName);
  glEnable(GL_TEXTURE_2D);

  // One tap is `spread` pixels across: the viewport is `width` pixels over two
  // clip units. Intentional: the vertical direction uses the same clip step,
  // so on a target that is not square vertical taps are spread x height /
  // width pixels apart; the scenes' glow sizes were tuned with this.
  const float step = 2.f * spread / static_cast<float>(width);

  for (int pass = 0; pass < passes; ++pass) {
    setViewport();
    // Intentional: this clears the whole frame, not only the target's corner
    // (the viewport does not limit glClear); callers redraw the frame after.
    glClearColor(0.f, 0.f, 0.f, 1.f);
    glClear(GL_COLOR_BUFFER_BIT);
    for (int j = -radius; j <= radius; ++j) {
      const float o = static_cast<float>(j) * step;
      const float ox = o * dirX, oy = o * dirY;
      glBegin(GL_QUADS);
      glTexCoord2f(0.f, 0.f);
      glVertex2f(ox - 1.f, oy - 1.f);
      glTexCoord2f(uMax, 0.f);
      glVertex2f(ox + 1.f, oy - 1.f);
      glTexCoord2f(uMax, vMax);
      glVertex2f(ox + 1.f, oy + 1.f);
      glTexCoord2f(0.f, vMax);
      glVertex2f(ox - 1.f, oy + 1.f);
      glEnd();
    }
    // The sum replaces the image (and the viewport returns to the screen).
    copyFromScreen();
  }

  glDisable(GL_BLEND);
  glDisable(GL_TEXTURE_2D);
  glColor4f(1.f, 1.f, 1.f, 1.f);
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glEnable(GL_DEPTH_TEST);
}

void RenderTarget::blur(int passes, int radius, float spread, float intensity) {
  blurPass(passes, radius, spread, intensity, 1.f, 0.f);
  blurPass(passes, radius, spread, intensity, 0.f, 1.f);
}

} // namespace demo
