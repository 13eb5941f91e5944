#include "gfx/overlay.h"

#include <initializer_list>

#include "draw/draw.h"
#include "gfx/pass_profile.h"
#include "gfx/texture.h"

namespace demo {

void pushIdentityMatrices() {
  draw::matrixMode(draw::MatrixMode::Projection);
  draw::pushMatrix();
  draw::loadIdentity();
  draw::matrixMode(draw::MatrixMode::ModelView);
  draw::pushMatrix();
  draw::loadIdentity();
}

void Texture::drawAt(float x, float y, float scale) {
  const ScopedPass profiled("overlay");
  draw::enable(draw::Cap::Texture2D);
  draw::bindTexture(textureId);
  draw::disable(draw::Cap::DepthTest);

  // The scale applies about the clip-space origin, which is the screen centre.
  pushIdentityMatrices();
  draw::scale(scale, scale, scale);

  const float x0 = x * kPixelToClipX - 1.f;
  const float y0 = y * kPixelToClipY - 1.f;
  const float x1 = x0 + baseWidth() * kPixelToClipX;
  const float y1 = y0 + baseHeight() * (1.f / 300.f);
  // The picture's top row is at t = 0. The coordinates stop a hair inside the
  // edges so that a repeating texture does not pick up the opposite border.
  draw::begin(draw::Primitive::Quads);
  draw::texCoord(0.0001f, 0.9999f);
  draw::vertex(x0, y0, 0.f);
  draw::texCoord(0.9999f, 0.9999f);
  draw::vertex(x1, y0, 0.f);
  draw::texCoord(0.9999f, 0.0001f);
  draw::vertex(x1, y1, 0.f);
  draw::texCoord(0.0001f, 0.0001f);
  draw::vertex(x0, y1, 0.f);
  draw::end();

  endTexturedPass();
}

void Texture::drawSprite(float x, float y, float w, float h, float uSpan, float vSpan, float uStart,
                         float vStart) {
  const ScopedPass profiled("overlay");
  draw::enable(draw::Cap::Texture2D);
  draw::bindTexture(textureId);
  // Intentional: these stay set on the texture object after the call; later
  // uses of the same picture see them too.
  draw::textureParameter(draw::TextureParam::WrapT, draw::TextureValue::Clamp);
  draw::textureParameter(draw::TextureParam::MinFilter, draw::TextureValue::LinearMipmapLinear);
  draw::disable(draw::Cap::DepthTest);

  pushIdentityMatrices();

  // vStart is the rectangle's top edge; a negative h extends it downwards.
  const float x0 = x * kPixelToClipX - 1.f;
  const float y0 = y * kPixelToClipY - 1.f;
  const float x1 = x0 + w * kPixelToClipX;
  const float y1 = y0 + h * (1.f / 300.f);
  const float u0 = uStart, u1 = uStart + uSpan;
  const float vTop = vStart, vBottom = vStart + vSpan;
  draw::begin(draw::Primitive::Quads);
  draw::texCoord(u0, vBottom);
  draw::vertex(x0, y0, 0.f);
  draw::texCoord(u1, vBottom);
  draw::vertex(x1, y0, 0.f);
  draw::texCoord(u1, vTop);
  draw::vertex(x1, y1, 0.f);
  draw::texCoord(u0, vTop);
  draw::vertex(x0, y1, 0.f);
  draw::end();

  draw::disable(draw::Cap::Texture2D);
  draw::matrixMode(draw::MatrixMode::Projection);
  draw::popMatrix();
  draw::matrixMode(draw::MatrixMode::ModelView);
  draw::popMatrix();
  draw::enable(draw::Cap::DepthTest);
}

void endTexturedPass() {
  draw::disable(draw::Cap::Texture2D);
  draw::popMatrix(); // model-view
  draw::matrixMode(draw::MatrixMode::Projection);
  draw::popMatrix();
  draw::matrixMode(draw::MatrixMode::ModelView);
  draw::enable(draw::Cap::DepthTest);
}

// The questions below are answered from the drawing state. The show only
// ever blends by adding (the blend equation is never changed), never changes
// the texture environment from modulate, and never turns on colour sums, logic ops, r or q generation
// or 1D, 3D and cube textures, so those need no asking.
bool blendedDrawIsInvisible() {
  const draw::State &s = draw::state();
  if (!s.isEnabled(draw::Cap::Blend) || s.isEnabled(draw::Cap::Lighting) ||
      s.isEnabled(draw::Cap::FragmentProgramArb) || s.isEnabled(draw::Cap::VertexProgramArb))
    return false;
  const draw::Factor destination = s.blendDestination;
  if (s.program != 0 || s.blendSource != draw::Factor::SrcAlpha ||
      (destination != draw::Factor::One && destination != draw::Factor::OneMinusSrcAlpha))
    return false;
  return s.colour[3] <= 0.f;
}

bool texelsDrawAsTheyAre() {
  const draw::State &s = draw::state();
  if (s.activeUnit != 0)
    return false;
  for (draw::Cap cap : {draw::Cap::Lighting, draw::Cap::Fog, draw::Cap::FragmentProgramArb,
                        draw::Cap::VertexProgramArb, draw::Cap::TextureGenS, draw::Cap::TextureGenT})
    if (s.isEnabled(cap))
      return false;
  if (s.program != 0)
    return false;
  const draw::Mat4 &textureMatrix = s.texture[0].back();
  for (size_t i = 0; i < 16; ++i)
    if (textureMatrix[i] != (i % 5 == 0 ? 1.f : 0.f))
      return false;
  // The texture environment modulates: the colour must be opaque white.
  if (s.colour[0] < 1.f || s.colour[1] < 1.f || s.colour[2] < 1.f || s.colour[3] < 1.f)
    return false;
  for (size_t unit = 1; unit < s.unitEnabled.size(); ++unit)
    if (s.unitEnabled[unit].test(static_cast<size_t>(draw::Cap::Texture2D)))
      return false;
  if (!s.isEnabled(draw::Cap::Blend))
    return true;
  return (s.blendSource == draw::Factor::SrcAlpha || s.blendSource == draw::Factor::One) &&
         (s.blendDestination == draw::Factor::OneMinusSrcAlpha || s.blendDestination == draw::Factor::Zero);
}

void drawFullScreenQuad() {
  const ScopedPass profiled("full-screen quad");
  draw::disable(draw::Cap::DepthTest);
  draw::disable(draw::Cap::CullFace);
  pushIdentityMatrices();

  // A flash or fade at strength 0 changes no pixel: only its state changes
  // are made.
  if (!blendedDrawIsInvisible()) {
    draw::begin(draw::Primitive::Quads);
    draw::vertex(-1.f, -1.f, 0.f);
    draw::vertex(1.f, -1.f, 0.f);
    draw::vertex(1.f, 1.f, 0.f);
    draw::vertex(-1.f, 1.f, 0.f);
    draw::end();
  }

  // Intentional: the projection matrix stays selected and culling stays off;
  // callers that need either set it again themselves.
  draw::matrixMode(draw::MatrixMode::ModelView);
  draw::popMatrix();
  draw::matrixMode(draw::MatrixMode::Projection);
  draw::popMatrix();
  draw::enable(draw::Cap::DepthTest);
}

} // namespace demo
