#include "gfx/overlay.h"

#include <GL/glew.h>

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
  draw::bindTexture(glName);
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
  draw::bindTexture(glName);
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

bool blendedDrawIsInvisible() {
  if (!glIsEnabled(GL_BLEND) || glIsEnabled(GL_LIGHTING) || glIsEnabled(GL_FRAGMENT_PROGRAM_ARB) ||
      glIsEnabled(GL_VERTEX_PROGRAM_ARB))
    return false;
  GLint program = 0, equation = 0, source = 0, sourceAlpha = 0, destination = 0, destinationAlpha = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &program);
  glGetIntegerv(GL_BLEND_EQUATION_RGB, &equation);
  glGetIntegerv(GL_BLEND_SRC_RGB, &source);
  glGetIntegerv(GL_BLEND_SRC_ALPHA, &sourceAlpha);
  glGetIntegerv(GL_BLEND_DST_RGB, &destination);
  glGetIntegerv(GL_BLEND_DST_ALPHA, &destinationAlpha);
  if (program != 0 || equation != GL_FUNC_ADD || source != GL_SRC_ALPHA || sourceAlpha != GL_SRC_ALPHA ||
      destination != destinationAlpha || (destination != GL_ONE && destination != GL_ONE_MINUS_SRC_ALPHA))
    return false;
  GLfloat colour[4] = {1.f, 1.f, 1.f, 1.f};
  glGetFloatv(GL_CURRENT_COLOR, colour);
  return colour[3] <= 0.f;
}

namespace {

bool anyEnabled(std::initializer_list<GLenum> capabilities) {
  for (GLenum capability : capabilities)
    if (glIsEnabled(capability))
      return true;
  return false;
}

// Whether a texture target is on for fixed-function unit `unit`; leaves unit 0
// active.
bool unitTextures(GLint unit) {
  glActiveTextureARB(static_cast<GLenum>(GL_TEXTURE0_ARB + unit));
  const bool on = anyEnabled({GL_TEXTURE_1D, GL_TEXTURE_2D, GL_TEXTURE_3D, GL_TEXTURE_CUBE_MAP});
  glActiveTextureARB(GL_TEXTURE0_ARB);
  return on;
}

} // namespace

bool texelsDrawAsTheyAre() {
  GLint active = 0;
  glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &active);
  if (active != GL_TEXTURE0_ARB ||
      anyEnabled({GL_LIGHTING, GL_FOG, GL_COLOR_SUM, GL_COLOR_LOGIC_OP, GL_FRAGMENT_PROGRAM_ARB,
                  GL_VERTEX_PROGRAM_ARB, GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R, GL_TEXTURE_GEN_Q}))
    return false;
  GLint program = 0, environment = 0, units = 1;
  glGetIntegerv(GL_CURRENT_PROGRAM, &program);
  glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &environment);
  if (program != 0 || (environment != GL_MODULATE && environment != GL_REPLACE))
    return false;
  GLfloat colour[4] = {0.f, 0.f, 0.f, 0.f};
  GLfloat textureMatrix[16] = {};
  glGetFloatv(GL_CURRENT_COLOR, colour);
  glGetFloatv(GL_TEXTURE_MATRIX, textureMatrix);
  for (int i = 0; i < 16; ++i)
    if (textureMatrix[i] != (i % 5 == 0 ? 1.f : 0.f))
      return false;
  // GL_REPLACE on an RGB texture still takes the colour's alpha.
  if (colour[3] < 1.f || (environment == GL_MODULATE && (colour[0] < 1.f || colour[1] < 1.f || colour[2] < 1.f)))
    return false;
  glGetIntegerv(GL_MAX_TEXTURE_UNITS_ARB, &units);
  for (GLint unit = 1; unit < units; ++unit)
    if (unitTextures(unit))
      return false;
  if (!glIsEnabled(GL_BLEND))
    return true;
  GLint equation = 0, source = 0, destination = 0;
  glGetIntegerv(GL_BLEND_EQUATION_RGB, &equation);
  glGetIntegerv(GL_BLEND_SRC_RGB, &source);
  glGetIntegerv(GL_BLEND_DST_RGB, &destination);
  return equation == GL_FUNC_ADD && (source == GL_SRC_ALPHA || source == GL_ONE) &&
         (destination == GL_ONE_MINUS_SRC_ALPHA || destination == GL_ZERO);
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
