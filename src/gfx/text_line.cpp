#include "gfx/text_line.h"

#include <GL/glew.h>

#include <cctype>

#include "gfx/overlay.h"
#include "gfx/pixel_font.h"

namespace demo {

namespace {

// A screen-pixel rectangle inside a GL_QUADS batch (identity matrices).
void pixelQuad(float x0, float y0, float x1, float y1) {
  const float cx0 = x0 * kPixelToClipX - 1.f, cx1 = x1 * kPixelToClipX - 1.f;
  const float cy0 = y0 * kPixelToClipY - 1.f, cy1 = y1 * kPixelToClipY - 1.f;
  glVertex2f(cx0, cy0);
  glVertex2f(cx1, cy0);
  glVertex2f(cx1, cy1);
  glVertex2f(cx0, cy1);
}

} // namespace

const unsigned char *glyphRows(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return pixelGlyph(std::isalpha(u) ? static_cast<char>(std::toupper(u)) : c);
}

void drawTextLine(const FrameSize &frame, const std::string &text, float x, float y, float scale) {
  glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT | GL_VIEWPORT_BIT | GL_DEPTH_BUFFER_BIT |
               GL_TRANSFORM_BIT);
  glViewport(0, 0, frame.width, frame.height);
  pushIdentityMatrices();
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_LIGHTING);
  glDisable(GL_FOG);
  glDisable(GL_CULL_FACE);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

  const float margin = 2.f * scale;
  const float width = static_cast<float>(text.size() * kPixelFontAdvance) * scale;
  glColor4f(0.f, 0.f, 0.f, 0.6f);
  glBegin(GL_QUADS);
  pixelQuad(x - margin, y - margin, x + width + margin, y + kPixelFontHeight * scale + margin);
  glEnd();

  glColor4f(1.f, 1.f, 1.f, 1.f);
  glBegin(GL_QUADS);
  float left = x;
  for (char c : text) {
    if (const unsigned char *rows = glyphRows(c)) {
      for (int row = 0; row < kPixelFontHeight; ++row) {
        const float top = y + static_cast<float>(kPixelFontHeight - row) * scale;
        for (int column = 0; column < kPixelFontWidth; ++column)
          if (rows[row] & (0x10 >> column))
            pixelQuad(left + column * scale, top - scale, left + (column + 1) * scale, top);
      }
    }
    left += kPixelFontAdvance * scale;
  }
  glEnd();

  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glPopAttrib();
}

} // namespace demo
