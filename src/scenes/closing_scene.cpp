#include "scenes/closing_scene.h"

#include <cmath>
#include <cstdlib>

#include "draw/draw.h"
#include "gfx/glow.h"
#include "gfx/overlay.h"
#include "scene/view.h"

namespace demo {

namespace {
constexpr float kBreakStart = 5.2f;
constexpr float kGlowStart = 4.7f;
} // namespace

float closingBreakTime(float time) { return time < kBreakStart ? 0.f : time - kBreakStart; }

float closingGlowGain(float time) {
  return time > kGlowStart ? 1.5f * static_cast<float>(envelope(kBreakStart, 0.13f, 5.53f, 2.f, time)) : 0.f;
}

ClosingScene::ClosingScene(const SceneFrame &sceneFrame)
    : endLogoTexture("data/endlogo.png", 0), screenCopyStorage(sceneFrame.screenCopyOrNew()), screenCopy(*screenCopyStorage),
      glowTarget(64, 64, TargetStorage::Rgb, sceneFrame.size) {}

void ClosingScene::restart() { tiles = {}; }

void ClosingScene::useScreen(const RenderTarget &screen) {
  screen_ = &screen;
  // 20 tiles cover the used area exactly (at 800 x 600, 0.0390625 and
  // 0.029296875 of the 1024 x 1024 texture: 800 / 1024 / 20, 600 / 1024 / 20).
  tileS = screen.uMax / static_cast<float>(kTileRows);
  tileT = screen.vMax / static_cast<float>(kTileRows);
}

void ClosingScene::step(const FrameInput &, ShowRandom &random) {
  // The same random values for every tile in every step, in exactly this
  // order.
  random.seed(1);
  for (TileDraws &tile : tiles) {
    tile.r1 = random.signedUnit();
    tile.r2 = random.signedUnit();
    tile.r3 = random.signedUnit();
    tile.r4 = random.signedUnit();
    tile.wobble = random.unit();
    (void)random.signedUnit(); // drawn only to advance the sequence
    tile.depth = random.unit();
    tile.fall = random.signedUnit();
    (void)random.signedUnit();
    (void)random.signedUnit();
  }
}

void ClosingScene::draw(const FrameInput &frame) {
  const float a = frame.time;
  // 1-3. Fresh frame; b is the time since the picture started to break.
  disableSphereMap();
  const float b = closingBreakTime(a);
  draw::clear(draw::kClearColour | draw::kClearDepth);

  // 4. A square 28-degree view from 4 units: the tiles at rest fill it edge to
  // edge. Intentional: aspect 1 on a 4:3 viewport, the picture stretches back
  // to full screen.
  draw::matrixMode(draw::MatrixMode::Projection);
  draw::loadIdentity();
  draw::perspective(28.0, 1.0, 1.0, 10.0);
  draw::matrixMode(draw::MatrixMode::ModelView);
  draw::loadIdentity();
  draw::lookAt(0.0, 0.0, -4.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);

  // 5-7. The step's random values for every tile.
  draw::enable(draw::Cap::Texture2D);
  draw::bindTexture(screen_ ? screen_->textureId : 0);
  draw::disable(draw::Cap::CullFace);
  screenCopy.setViewport();
  draw::rotate(180.f, 0.f, 0.f, 1.f);
  draw::scale(1.f, -1.f, 1.f);

  // 8. The tiles.
  const float sqrtB = std::sqrt(b);
  for (int i = 0; i < kTileRows; ++i) {
    for (int j = 0; j < kTileRows; ++j) {
      const TileDraws &tile = tiles[static_cast<size_t>(i * kTileRows + j)];
      draw::pushMatrix();
      draw::translate(-0.05f, -0.05f, 0.f);
      draw::rotate(35.f * tile.r4 * sqrtB, tile.r3, tile.r2, tile.r1);
      draw::translate(0.05f, 0.05f, 0.f);
      const float wobble = std::sin(tile.wobble * b);
      const float z = -tile.depth * sqrtB;
      const float y = 0.1f * j - ((0.15f * tile.fall + 0.4f) * b * b + 1.f);
      const float x = 0.1f * i - 1.f + 0.2f * wobble;
      draw::translate(x, y, z);
      const float s0 = tileS * i, s1 = tileS * (i + 1), t0 = tileT * j, t1 = tileT * (j + 1);
      draw::begin(draw::Primitive::Quads);
      draw::texCoord(s0, t0);
      draw::vertex(0.f, 0.f, 0.f);
      draw::texCoord(s1, t0);
      draw::vertex(0.1f, 0.f, 0.f);
      draw::texCoord(s1, t1);
      draw::vertex(0.1f, 0.1f, 0.f);
      draw::texCoord(s0, t1);
      draw::vertex(0.f, 0.1f, 0.f);
      draw::end();
      draw::popMatrix();
    }
  }

  // 9. The end logo rises and grows; a black veil from 7.2 s, opaque from 9.2 s.
  if (a > kBreakStart) {
    const float d = a - kBreakStart;
    draw::enable(draw::Cap::Blend);
    draw::blendFunc(draw::Factor::One, draw::Factor::One);
    endLogoTexture.drawAt(144.f, 236.f, 1.f + 0.2f * d);
    draw::blendFunc(draw::Factor::SrcAlpha, draw::Factor::OneMinusSrcAlpha);
    draw::colour(0.f, 0.f, 0.f, 0.5f * d - 1.f);
    drawFullScreenQuad();
    draw::disable(draw::Cap::Blend);
    draw::colour(1.f, 1.f, 1.f, 1.f);
  }

  // 10-13. The glow, taken from the finished picture.
  GlowPass glow(screenCopy, glowTarget, {3, 3, 1.5f, closingGlowGain(a)});
  glow.glowOn = a > kGlowStart;
  glow.pictureOnScreen = true;
  glow.run();
}

} // namespace demo
