#include "scenes/letter_scene.h"

#include <cmath>
#include <cstdlib>

#include "draw/draw.h"
#include "gfx/glow.h"
#include "gfx/overlay.h"
#include "scene/view.h"

namespace demo {

namespace {
constexpr float kHalfTime = 20.f;       // credits before, coloured bands and kicks after
constexpr float kCreditRate = 0.2f;     // pictures a second: each shows for 5 s
constexpr int kCreditCount = 4;
constexpr float kFlashPeaks[] = {5.f, 10.f, 15.f, 20.f};
constexpr float kKickStrength = 350.f;  // along the node's loaded normal
constexpr float kKickRadius = 15.f;
constexpr int kBandCount = 10;
// The letters' colours, drawn in this order.
constexpr float kLetterColours[4][4] = {
    {0.3f, 0.3f, 0.75f, 1.f}, {0.2f, 0.2f, 0.8f, 1.f}, {0.8f, 0.8f, 0.8f, 1.f}, {0.9f, 0.9f, 0.95f, 1.f}};
} // namespace

LetterOverlayPlace letterOverlayPlace(float a) {
  if (a < kHalfTime)
    return LetterOverlayPlace::OnTop;
  if (a > kHalfTime)
    return LetterOverlayPlace::BeforeJelly;
  return LetterOverlayPlace::None;
}

int letterCreditIndex(float a) {
  const float k = kCreditRate * a;
  // Only pictures that exist: nothing from 20 s on, and no index below 0 (nor
  // from a NaN) for a time before the scene.
  if (!(k > -1.f && k < static_cast<float>(kCreditCount)))
    return -1;
  return static_cast<int>(k);
}

float letterFlash(float a) {
  double f = 0.0;
  for (float peak : kFlashPeaks)
    f += envelope(peak, 0.2f, 0.6f, 3.f, a);
  return static_cast<float>(f);
}

LetterColour letterBandColour(float a, const Spectrum &s) {
  if (a < kHalfTime)
    return LetterColour{0.12f, 0.12f, 0.12f, 1.f};
  return LetterColour{0.12f + 0.3f * s[1], 0.12f + s[2], 0.32f + s[3], 1.f};
}

void LetterMotion::turn(float dt, float low) { spin += 100.f * dt * low; }

int LetterMotion::beat(float a, float low) {
  if (!(low > kBeatLevel && a - lastKick > kBeatGap))
    return 0;
  lastKick = a;
  return a > kKickStart ? kKicksPerBeat : 0;
}

void LetterMotion::moveSprite(float dt, const Spectrum &s, float w, float h, ShowRandom &random) {
  spritePos.x += (spriteTarget.x - spritePos.x) * 5.f * dt;
  spritePos.y += (spriteTarget.y - spritePos.y) * 5.f * dt;
  spritePos.z += (spriteTarget.z - spritePos.z) * 5.f * dt;
  if (s[0] > kRetargetLevel) {
    // x is drawn before y.
    const float x = random.unit() * (static_cast<float>(kBaseFrameWidth) - w);
    const float y = random.unit() * (static_cast<float>(kBaseFrameHeight) - h);
    spriteTarget = Vec3{x, y, 0.f};
  }
  spritePos.x += random.unit() * s[1] * 5.f;
  spritePos.y += random.unit() * s[1] * 5.f;
}

void kickJelly(JellyMesh &jelly, int kicks, ShowRandom &random) {
  // A jelly without nodes (its mesh failed to load) would divide by zero.
  if (jelly.nodeCount() <= 0)
    return;
  for (int i = 0; i < kicks; ++i) {
    const JellyNode &node = jelly.nodes()[static_cast<size_t>(random.next() % jelly.nodeCount())];
    const Vec3 point = node.position;
    const Vec3 direction{kKickStrength * node.normal.x, kKickStrength * node.normal.y,
                         kKickStrength * node.normal.z};
    jelly.poke(point, direction, kKickRadius);
  }
}

LetterScene::LetterScene(const SceneFrame &sceneFrame)
    : motion_(), squirrelTexture_("data/ekorn.jpg", 0), scene("data/bokstavscene.gsp"),
      letterNodes{findMesh(scene, "Mesh29"), findMesh(scene, "Mesh39"), findMesh(scene, "Mesh52"),
                  findMesh(scene, "Text02")},
      torusNode_(findMesh(scene, "Torus02")), letterEnvTexture_("data/phong.jpg", 0),
      creditTextures{{"data/credits/code.png", 0},
                     {"data/credits/music.png", 0},
                     {"data/credits/gfx1.png", 0},
                     {"data/credits/gfx2.png", 0}},
      borderTexture_("data/overlays/o_border.png", 0),
      spareCreditTextures{{"data/credits/code.png", 0},
                          {"data/credits/gfx1.png", 0},
                          {"data/credits/gfx2.png", 0},
                          {"data/credits/music.png", 0}},
      jellyEnvTexture_("data/envmap_gummi.jpg", 0), jellyMesh("data/gummi.ebr"), jelly_(jellyMesh),
      screenCopyStorage(sceneFrame.screenCopyOrNew()), screenCopy(*screenCopyStorage), glowTarget(128, 128, TargetStorage::Rgb, sceneFrame.size),
      jellyTarget(128, 128, TargetStorage::Rgb, sceneFrame.size) {}

// From behind and to the side, aimed at a point that wanders with the time
// and jumps with every strong beat, the world turned by the time and spin.
void LetterScene::applyView(float a) {
  const float k = drawnKick_;
  setViewClip(-70.f, 0.f, -100.f, 50.f * std::sin(0.8f * a), 60.f * std::sin(k + 0.5f * a),
              50.f * std::sin(a + k), 0.f, 1.f, 0.f, 90.f, 1.3333334f, 1.f, 2000.f);
  draw::rotate(60.f * a + motion_.spin, 0.f, 1.f, 0.f);
  draw::rotate(0.4f * motion_.spin, 1.f, 0.f, 0.f);
}

void LetterScene::restart() {
  motion_ = LetterMotion();
  drawnKick_ = 0.f;
  jelly_.reset();
}

void LetterScene::step(const FrameInput &frame, ShowRandom &random) {
  const float a = frame.time;
  const Spectrum &s = frame.spectrum;

  // The jelly moves one step; the low band turns the world.
  jelly_.step();
  motion_.turn(frame.dt, s[0]);

  // A strong beat moves the camera's aim (from the next step on); after 20 s
  // it also kicks the jelly three times.
  drawnKick_ = motion_.lastKick;
  kickJelly(jelly_, motion_.beat(a, s[0]), random);

  // The credit picture moves whenever the overlay is drawn (not at 20 s
  // exactly). Every credit picture is placed by the size of the first, in
  // base pixels (whatever the data set's detail).
  if (letterOverlayPlace(a) != LetterOverlayPlace::None)
    motion_.moveSprite(frame.dt, s, creditTextures[0].baseWidth(), creditTextures[0].baseHeight(), random);
}

void LetterScene::draw(const FrameInput &frame) {
  const float a = frame.time;
  const Spectrum &s = frame.spectrum;

  // 1-2. The jelly and the turn as the last step left them.

  // 3. The jelly's white silhouette, small and blurred: its glow.
  jellyTarget.setViewport();
  draw::clearColour(0.f, 0.f, 0.f, 1.f);
  draw::clear(draw::kClearColour | draw::kClearDepth);
  applyView(a);
  draw::disable(draw::Cap::Texture2D);
  draw::colour(1.f, 1.f, 1.f, 1.f);
  jellyMesh.draw();
  jellyTarget.copyFromScreen();
  jellyTarget.blur(2, 2, 1.f, 1.2f);

  // 4-5. The main picture starts with the jelly in the depth buffer only, so
  // letters behind it are hidden.
  screenCopy.setViewport();
  draw::clearColour(0.f, 0.f, 0.f, 1.f);
  draw::clear(draw::kClearColour | draw::kClearDepth);
  applyView(a);
  draw::colourMask(false);
  jellyMesh.draw();
  draw::colourMask(true);

  // 6-8. The letters in their rest transforms, sphere-mapped.
  scene.updateTransforms();
  draw::enable(draw::Cap::DepthTest);
  letterEnvTexture_.bind();
  enableSphereMap();
  draw::pushMatrix();
  draw::rotate(130.f * a, 0.f, std::sin(a), 1.f);

  // 9. The cluster twice: the second round builds on the first's transforms,
  // so it is twice as large and turned further.
  for (int round = 0; round < 2; ++round) {
    draw::rotate(90.f, 0.f, 1.f, 0.f);
    draw::rotate(100.f * a, 1.f, 0.f, 0.f);
    draw::scale(2.f, 2.f, 2.f);
    draw::translate(0.f, 0.f, 20.f);
    for (int i = 0; i < 4; ++i) {
      draw::colour(kLetterColours[i][0], kLetterColours[i][1], kLetterColours[i][2], kLetterColours[i][3]);
      if (letterNodes[i])
        scene.drawNode(*letterNodes[i], true);
    }
    draw::colour(1.f, 1.f, 1.f, 1.f);
  }

  // 10.
  draw::popMatrix();
  disableSphereMap();
  letterEnvTexture_.unbind();

  // 11. The letters' glow, from the picture so far; step 21 adds it back.
  const GlowPass letterGlow(screenCopy, glowTarget, {3, 3, 1.f, 1.15f});
  letterGlow.capture();
  letterGlow.shrink();
  letterGlow.blurGlow();

  // 12-13. The letters back on a fresh depth buffer, and the view again. The
  // glow overwrote only its corner of the frame; the copy goes back there.
  screenCopy.setViewport();
  draw::clear(draw::kClearDepth);
  {
    const CornerScissor corner(glowTarget.width, glowTarget.height);
    screenCopy.draw();
  }
  applyView(a);

  // 14. (The beat and its kicks belong to the step.)

  // 15-17. After 20 s the overlay goes under the jelly.
  draw::matrixMode(draw::MatrixMode::Projection);
  draw::pushMatrix();
  draw::matrixMode(draw::MatrixMode::ModelView);
  draw::pushMatrix();
  if (letterOverlayPlace(a) == LetterOverlayPlace::BeforeJelly)
    drawOverlay(a, s);
  draw::matrixMode(draw::MatrixMode::ModelView);
  draw::popMatrix();
  draw::matrixMode(draw::MatrixMode::Projection);
  draw::popMatrix();

  // 18-20. The jelly's glow, then the jelly itself, environment-mapped.
  jellyTarget.drawAdditiveWhite();
  jellyMesh.recomputeNormals();
  enableSphereMap();
  jellyEnvTexture_.bind();
  jellyMesh.draw();
  jellyEnvTexture_.unbind();
  disableSphereMap();

  // 21. The final glow: the letters' glow plus the shrunken picture, blurred
  // (wider on a loud low band) and added over the whole picture. In place of
  // a plain shrink, the picture is added over the letters' glow in the corner.
  GlowPass finalGlow(screenCopy, glowTarget, {3, 3, 1.f, 1.f + 0.2f * s[0]});
  finalGlow.pictureOnScreen = true; // everything below draws into the corner only
  finalGlow.capture();
  glowTarget.setViewport();
  glowTarget.draw();
  screenCopy.drawAdditiveWhite();
  glowTarget.copyFromScreen();
  finalGlow.blurGlow();
  finalGlow.compose();

  // 22. Before 20 s the overlay goes over everything.
  if (letterOverlayPlace(a) == LetterOverlayPlace::OnTop)
    drawOverlay(a, s);
}

// Scan bands, the credit picture and the flash, in clip space.
void LetterScene::drawOverlay(float a, const Spectrum &s) {
  // 1.
  draw::matrixMode(draw::MatrixMode::Projection);
  draw::loadIdentity();
  draw::matrixMode(draw::MatrixMode::ModelView);
  draw::loadIdentity();
  draw::depthMask(false);
  draw::enable(draw::Cap::Blend);
  draw::blendFunc(draw::Factor::One, draw::Factor::One);

  // 2-3. Ten bands sweeping up and down, band i 0.01 i high (band 0 has no
  // height).
  const LetterColour band = letterBandColour(a, s);
  draw::colour(band.r, band.g, band.b, band.a);
  draw::begin(draw::Primitive::Quads);
  for (int i = 0; i < kBandCount; ++i) {
    const float y = 0.7f * std::sin(a + static_cast<float>(i));
    const float top = y + 0.01f * static_cast<float>(i);
    draw::vertex(-1.f, y, 0.f);
    draw::vertex(1.f, y, 0.f);
    draw::vertex(1.f, top, 0.f);
    draw::vertex(-1.f, top, 0.f);
  }
  draw::end();

  // 4.
  draw::disable(draw::Cap::Blend);
  draw::colour(1.f, 1.f, 1.f, 1.f);
  draw::depthMask(true);

  // 5-7. The credit picture where the last step moved it.

  // 8.
  draw::enable(draw::Cap::Blend);
  draw::blendFunc(draw::Factor::SrcAlpha, draw::Factor::OneMinusSrcAlpha);
  const int k = letterCreditIndex(a);
  if (k >= 0)
    creditTextures[k].drawAt(motion_.spritePos.x, motion_.spritePos.y, 1.f);
  draw::disable(draw::Cap::Blend);

  // 9. The white flash at each change of picture (drawn every frame, also at
  // strength 0).
  const float f = letterFlash(a);
  draw::disable(draw::Cap::DepthTest);
  draw::enable(draw::Cap::Blend);
  draw::blendFunc(draw::Factor::SrcAlpha, draw::Factor::One);
  draw::colour(1.f, 1.f, 1.f, f);
  drawFullScreenQuad();
  draw::disable(draw::Cap::Blend);
  draw::enable(draw::Cap::DepthTest);
  draw::colour(1.f, 1.f, 1.f, 1.f);
}

} // namespace demo
