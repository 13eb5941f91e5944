#include "scenes/logo_scene.h"

#include "draw/draw.h"
#include "gfx/glow.h"

namespace demo {

namespace {
constexpr float kTurn = 10.2f;
constexpr float kSceneSpeed = 0.4f;
constexpr float kLiftPerBass = 19.f;

// The scene's material textures are loaded before any node is looked up.
Scene &prepared(Scene &scene) {
  scene.prepare(true);
  return scene;
}
} // namespace

float logoLocalTime(float time) { return time > kTurn ? 18.f - 0.9f * time : time; }

float logoSceneTime(float localTime) { return kSceneSpeed * localTime; }

float logoGlowGain(float localTime, float bass) {
  return static_cast<float>(envelope(kTurn, 1.f, 1.f, 7.f, localTime)) + 0.7f * bass + 0.8f;
}

float logoNextBassLevel(float bassLevel, float bass) { return (bassLevel + bass) * 0.8f; }

float logoLift(float bassLevel) { return kLiftPerBass * bassLevel; }

LogoScene::LogoScene(const SceneFrame &sceneFrame)
    : scene("data/logoscene.gsp"), camera_(findCamera(prepared(scene), "Camera01")),
      backdropNode_(findMesh(scene, "Box03")), backdropTexture("data/bgcomplete.jpg", 0),
      logoNode_(findMesh(scene, "Text08")), redTextNode_(findMesh(scene, "Text09")),
      logoTextTexture("data/logotextcomplete.jpg", 0), flareTexture("data/flare.jpg", 0),
      tunnelMesh("data/tunnel.ebr"), tunnelTexture("data/tunnel.jpg", 0), screenCopyStorage(sceneFrame.screenCopyOrNew()), screenCopy(*screenCopyStorage),
      glowTarget(256, 256, TargetStorage::Rgb, sceneFrame.size), tunnelTarget(256, 256, TargetStorage::Rgb, sceneFrame.size), bassLevel_(0.f) {}

void LogoScene::restart() { bassLevel_ = 0.f; }

void LogoScene::step(const FrameInput &frame, ShowRandom &random) {
  // The bass level is a leaky sum of the lowest band.
  bassLevel_ = logoNextBassLevel(bassLevel_, frame.spectrum[0]);
}

void LogoScene::draw(const FrameInput &frame) {
  const float time = frame.time;
  const Spectrum &spectrum = frame.spectrum;
  // 1-2. Past the turn the animation runs backwards; everything below uses a.
  draw::disable(draw::Cap::Fog);
  const float a = logoLocalTime(time);

  // 3-5. A black frame (the bass level is the step's).
  draw::disable(draw::Cap::CullFace);
  draw::clearColour(0.f, 0.f, 0.f, 1.f);
  draw::clear(draw::kClearColour | draw::kClearDepth);
  draw::clear(draw::kClearColour);

  // 6. The tunnel, drawn into the 256 x 256 corner under the matrices the
  // previous frame left (see the header), then blurred.
  tunnelTarget.setViewport();
  // The texture scrolls along the tube.
  draw::matrixMode(draw::MatrixMode::Texture);
  draw::pushMatrix();
  draw::translate(20.f * a, 80.f * a, 0.f);
  draw::matrixMode(draw::MatrixMode::ModelView);
  draw::pushMatrix();
  draw::translate(0.f, 0.f, -1000.f);
  draw::rotate(90.f, 1.f, 0.f, 0.f);
  draw::scale(8.f, 8.f, 8.f);
  tunnelTexture.bind();
  if (tunnelMesh.partCount > 0)
    tunnelMesh.parts[0]->draw();
  tunnelTexture.unbind();
  draw::popMatrix();
  draw::matrixMode(draw::MatrixMode::Texture);
  draw::popMatrix();
  // Intentional: the matrix mode stays Texture; every pass below sets its own.
  tunnelTarget.copyFromScreen();
  tunnelTarget.blur(2, 2, 1.f, 1.f);

  // 7. The blurred tunnel stretched over the whole screen.
  screenCopy.setViewport();
  tunnelTarget.draw();

  // 8-12. The card and its texts through the camera, lifted by the bass.
  if (camera_) {
    scene.update(logoSceneTime(a), *camera_);
    draw::translate(0.f, logoLift(bassLevel_), 0.f);
    backdropTexture.bind();
    if (backdropNode_)
      scene.drawNode(*backdropNode_, true);
    backdropTexture.unbind();
    logoTextTexture.bind();
    if (logoNode_)
      scene.drawNode(*logoNode_, true);
    logoTextTexture.unbind();
    draw::colour(1.f, 0.f, 0.f, 1.f);
    if (redTextNode_)
      scene.drawNode(*redTextNode_, true);
    draw::colour(1.f, 1.f, 1.f, 1.f);
  }

  // 13. The glow, which swells just before the turn.
  GlowPass glow(screenCopy, glowTarget, {3, 3, 1.f, logoGlowGain(a, spectrum[0])});
  glow.pictureTint = GlowColour{1.f, 1.f, 1.f, 1.f};
  glow.pictureOnScreen = true;
  glow.run();
}

} // namespace demo
