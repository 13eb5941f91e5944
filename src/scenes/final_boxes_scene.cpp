#include "scenes/final_boxes_scene.h"

#include <cmath>

#include "draw/draw.h"
#include "gfx/glow.h"
#include "gfx/overlay.h"
#include "scene/view.h"

namespace demo {

const std::array<float, kFinalCutEntries> kFinalCutList = {
    220.48422f, 222.94514f, 224.1091f,  225.32445f, 226.30397f, 227.00352f, 227.26839f,
    227.88477f, 229.11407f, 230.32904f, 230.39442f, 231.54175f, 232.25816f, 232.42302f,
    232.87198f, 232.90524f, 234.06918f, 235.30081f,
    // Sentinels: never reached, so the list stops after its eighteenth cut.
    5000.f, 5001.f, 5002.f, 5003.f, 5004.f, 5005.f, 5006.f};

const std::array<const char *, kFinalCameraSlots> kFinalCameraNames = {
    "Camera01", "Camera02", "Camera03", "Camera04", "Camera01", "Camera06", "Camera07", "Camera08"};

namespace {
const std::array<const char *, 4> kBoxNames = {"Box1", "Box2", "Box4", "Box5"};
const std::array<const char *, 4> kBoxMaps = {"data/Box1CompleteMap.jpg", "data/Box2CompleteMap.jpg",
                                              "data/Box4CompleteMap.jpg", "data/Box5CompleteMap.jpg"};
constexpr float kMinimumFastSpeed = 1.5f;
// The picture is 16:9 in a band between two bars 75 rows of the base picture
// high: 800 x 450 from row 75 of the 800 x 600 frame.
constexpr float kLetterboxBar = 75.f;
constexpr float kWideAspect = 1.7777778f;
} // namespace

bool finalCameraHasMinimumSpeed(int slot) { return slot == 0 || slot == 4 || slot == 7; }

bool FinalShot::cut(float a, ShowRandom &random) {
  if (cutIndex < 0 || cutIndex >= kFinalCutEntries)
    return false;
  if (!(a > kFinalCutList[cutIndex] - kFinalCutLead))
    return false;
  cameraSlot = (cutIndex + 1) % kFinalCameraSlots;
  // The head start is drawn before the speed: the order of the draws is part
  // of the sequence every later random number sees.
  shotClock = 2.f * random.unit();
  shotSpeed = 3.f * random.unit();
  if (finalCameraHasMinimumSpeed(cameraSlot) && shotSpeed < kMinimumFastSpeed)
    shotSpeed = kMinimumFastSpeed;
  ++cutIndex;
  return true;
}

float finalCutFlash(float a) {
  float f = 0.f;
  for (int i = 0; i < kFinalFlashEntries; ++i)
    f += static_cast<float>(envelope(kFinalCutList[i], 1.f, 1.f, 2.f, a));
  return f;
}

float finalGlowColour(float flash) { return 1.f - 0.1f * flash; }

float finalGlowGain(float band1) { return 1.05f + 0.5f * band1; }

FinalBoxesScene::FinalBoxesScene(const SceneFrame &sceneFrame)
    : scene("data/final.gsp"), frameSize(sceneFrame.size), pictureBand(frameSize.band(kLetterboxBar)),
      pictureTarget(pictureBand.width, pictureBand.height, TargetStorage::Rgb, frameSize),
      glowTarget(128, 128, TargetStorage::Rgb, frameSize) {
  // The crates carry their own maps: the materials' textures are not loaded.
  scene.prepare(false);
  for (size_t i = 0; i < boxes.size(); ++i)
    boxes[i] = findMesh(scene, kBoxNames[i]);
  for (size_t i = 0; i < boxTextures.size(); ++i)
    boxTextures[i].load(kBoxMaps[i], 0);
  // Camera01 stands twice in the list; it is reported once if missing.
  for (int i = 0; i < kFinalCameraSlots; ++i)
    cameras[i] = i == 4 ? cameras[0] : findCamera(scene, kFinalCameraNames[i]);
  currentCamera_ = cameras[0];
}

void FinalBoxesScene::restart() {
  shot_ = FinalShot();
  currentCamera_ = cameras[0];
  drawnUp = nextUp_ = Vec3{0.f, 1.f, 0.f};
}

void FinalBoxesScene::step(const FrameInput &frame, ShowRandom &random) {
  const float a = frame.time + kFinalClockAtStart;
  // 2. At most one cut per step. A cut to a missing camera keeps the one in
  // use; its shot still gets a new head start and speed.
  if (shot_.cut(a, random) && cameras[shot_.cameraSlot])
    currentCamera_ = cameras[shot_.cameraSlot];

  // 3. The shot runs on.
  shot_.advance(frame.dt);

  // 7. The camera rolls slowly with clock time. Intentional: the up vector
  // takes effect a step late.
  drawnUp = nextUp_;
  nextUp_ = Vec3{std::sin(a), std::sin(0.4f * a), std::sin(0.26f * a)};
}

void FinalBoxesScene::draw(const FrameInput &frame) {
  const float a = frame.time + kFinalClockAtStart;
  const Spectrum &spectrum = frame.spectrum;
  // 1. The flash of the cuts round a (only the real cut times are near).
  const float f = finalCutFlash(a);

  // 4. A black frame.
  draw::viewport(0, 0, frameSize.width, frameSize.height);
  draw::clearColour(0.f, 0.f, 0.f, 1.f);
  draw::clear(draw::kClearColour);

  // 5. A nearly black blue background in the picture's corner (800 x 450 of
  // the base picture).
  draw::colour(0.f, 0.f, 0.01f, 1.f);
  pictureTarget.setViewport();
  drawFullScreenQuad();

  // 6-7. Animate and look through the current camera at 16:9, rolled as the
  // step before the last one left it; the aspect goes back to 4/3 after.
  scene.setUpVector(drawnUp.x, drawnUp.y, drawnUp.z);
  scene.aspect = kWideAspect;
  if (currentCamera_)
    scene.update(shot_.sceneTime(), *currentCamera_);
  scene.setUpVector(nextUp_.x, nextUp_.y, nextUp_.z);

  // 8-9. The crates, unlit, each with its own map, in their world matrices.
  draw::colour(1.f, 1.f, 1.f, 1.f);
  draw::disable(draw::Cap::Fog);
  draw::disable(draw::Cap::Lighting);
  if (currentCamera_) {
    for (size_t i = 0; i < boxes.size(); ++i) {
      if (!boxes[i])
        continue;
      boxTextures[i].bind();
      scene.drawNode(*boxes[i], true);
    }
  }

  // 10. The glow, from the picture in the frame's lower 450 rows.
  const float c = finalGlowColour(f);
  const GlowPass glow(pictureTarget, glowTarget,
                      {3, 3, 1.f, finalGlowGain(spectrum[1])}, {c, c, 1.f, 1.f});
  glow.capture();
  glow.shrink();
  glow.blurGlow();

  // 11. The letterbox: the clear ignores the viewport and blackens the bars,
  // then the picture fills the band between them with its glow added, less
  // red and green round a cut.
  draw::viewport(pictureBand.x, pictureBand.y, pictureBand.width, pictureBand.height);
  draw::clear(draw::kClearColour | draw::kClearDepth);
  glow.compose();

  // 12. Full frame again for whatever draws next.
  draw::viewport(0, 0, frameSize.width, frameSize.height);
  disableSphereMap();
}

} // namespace demo
