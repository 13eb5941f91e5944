#include "gfx/text_line.h"

#include <cctype>

#include "draw/draw.h"
#include "gfx/overlay.h"
#include "gfx/pixel_font.h"

namespace demo {

namespace {

// A screen-pixel rectangle inside a batch of quads (identity matrices).
void pixelQuad(float x0, float y0, float x1, float y1) {
  const float cx0 = x0 * kPixelToClipX - 1.f, cx1 = x1 * kPixelToClipX - 1.f;
  const float cy0 = y0 * kPixelToClipY - 1.f, cy1 = y1 * kPixelToClipY - 1.f;
  draw::vertex(cx0, cy0);
  draw::vertex(cx1, cy0);
  draw::vertex(cx1, cy1);
  draw::vertex(cx0, cy1);
}

} // namespace

const unsigned char *glyphRows(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return pixelGlyph(std::isalpha(u) ? static_cast<char>(std::toupper(u)) : c);
}

void drawTextLine(const FrameSize &frame, const std::string &text, float x, float y, float scale) {
  draw::pushAttributes(draw::kEnableGroup | draw::kCurrentGroup | draw::kColourBufferGroup | draw::kViewportGroup |
                       draw::kDepthBufferGroup | draw::kTransformGroup);
  draw::viewport(0, 0, frame.width, frame.height);
  pushIdentityMatrices();
  draw::disable(draw::Cap::Texture2D);
  draw::disable(draw::Cap::DepthTest);
  draw::disable(draw::Cap::Lighting);
  draw::disable(draw::Cap::Fog);
  draw::disable(draw::Cap::CullFace);
  draw::enable(draw::Cap::Blend);
  draw::blendFunc(draw::Factor::SrcAlpha, draw::Factor::OneMinusSrcAlpha);

  const float margin = 2.f * scale;
  const float width = static_cast<float>(text.size() * kPixelFontAdvance) * scale;
  draw::colour(0.f, 0.f, 0.f, 0.6f);
  draw::begin(draw::Primitive::Quads);
  pixelQuad(x - margin, y - margin, x + width + margin, y + kPixelFontHeight * scale + margin);
  draw::end();

  draw::colour(1.f, 1.f, 1.f, 1.f);
  draw::begin(draw::Primitive::Quads);
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
  draw::end();

  draw::matrixMode(draw::MatrixMode::Projection);
  draw::popMatrix();
  draw::matrixMode(draw::MatrixMode::ModelView);
  draw::popMatrix();
  draw::popAttributes();
}

} // namespace demo
