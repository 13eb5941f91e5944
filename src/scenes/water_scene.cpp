#include "scenes/water_scene.h"

#include <cmath>

#include "draw/draw.h"
#include "gfx/cg_program.h"
#include "gfx/glow.h"
#include "gfx/overlay.h"
#include "scene/view.h"

namespace demo {

namespace {

constexpr float kCamera03Start = 19.72f;
constexpr float kCamera05Start = 100.f;

// The eight meshes of the room and their pictures, in drawing order.
constexpr const char *kMeshNames[WaterScene::kMeshCount] = {
    "aller ytterste stenger", "andre stenger", "kabler rundt boks",        "nedre stenger",
    "takboks",                "tank",          "tykke kabler",             "ytterstenger og skjermer",
};

// The scene file is prepared (cameras find their targets, no material
// textures) before anything is looked up in it.
Scene &prepared(Scene &scene) {
  scene.prepare(false);
  return scene;
}

std::array<MeshNode *, WaterScene::kMeshCount> findMeshes(Scene &scene) {
  std::array<MeshNode *, WaterScene::kMeshCount> meshes{};
  for (int i = 0; i < WaterScene::kMeshCount; ++i)
    meshes[i] = findMesh(scene, kMeshNames[i]);
  return meshes;
}

// The rectangle (x0, y0)-(x1, y1) in clip units at z = 0, inside a Quads
// batch.
void clipQuad(float x0, float y0, float x1, float y1) {
  draw::vertex(x0, y0, 0.f);
  draw::vertex(x1, y0, 0.f);
  draw::vertex(x1, y1, 0.f);
  draw::vertex(x0, y1, 0.f);
}

} // namespace

WaterShot waterShotAt(float a) {
  if (a < kCamera03Start)
    return {WaterCamera::Camera01, a, 0.f, 0.2f * a + 0.1f};
  if (a < kCamera05Start) {
    const float u = a - 17.72f;
    return {WaterCamera::Camera03, u, 0.f, 0.2f * u + 0.1f};
  }
  // Forwards at 2.5 units a second up to 25; from then on backwards from 16
  // at 1.4 a second, so the camera jumps and reverses at h = 10.
  const float h = a - kCamera05Start;
  const float forward = 2.5f * h;
  const float u = forward <= 25.f ? forward : 30.f - forward * 0.4f * 1.4f;
  return {WaterCamera::Camera05, u, h, 0.2f * u + 0.1f};
}

float waterLetterboxHeight(float u) { return 0.3f - 0.3f / u; }

float waterVeilAlpha(float u) { return 1.f - 0.3f * u; }

float waterFlashAlpha(float u) { return static_cast<float>(envelope(25.f, 0.5f, 0.5f, 2.f, u)); }

float waterFadeAlpha(float u) { return 3.f * static_cast<float>(envelope(1.f, 5.f, 3.f, 1.f, u)); }

bool waterFadeDrawn(float h) { return h > 5.f; }

Vec3 waterUpVector(float bassLevel) {
  return Vec3{std::cos(0.7f * bassLevel), std::sin(0.5f * bassLevel), 0.5f};
}

WaterDrop waterRainDrop(float r1, float r2, float r3) { return {r3, r2, (r1 + 0.75f) * 0.03f, 0.025f}; }

WaterDrop waterLargeDrop(float r1, float r2, float r3) { return {r3, r2, (r1 + 0.75f) * 0.09f, 0.01f}; }

WaterDrop waterMusicDrop(float bassLevel, float u, const Spectrum &spectrum) {
  // A quarter of the pool from its centre, the bass pushing it round.
  const float x = 0.5f + 0.25f * std::sin(u + bassLevel);
  const float y = 0.5f + 0.25f * std::cos(3.f * bassLevel + u);
  const float radius = 0.05f + 0.1f * WaterSurface::softClamp(100.f * spectrum[1]);
  const float strength = (WaterSurface::softClamp(670.f * spectrum[0]) + 0.05f) * (std::sin(0.82345f * u) + 1.6f);
  return {x, y, radius, strength};
}

WaterDrops nextWaterDrops(float bassLevel, float u, const Spectrum &spectrum, ShowRandom &random) {
  // One statement a draw: the order r1 (size), r2 (y), r3 (x) is part of the
  // picture.
  WaterDrops drops{};
  float r1 = random.unit();
  float r2 = random.unit();
  float r3 = random.unit();
  drops.rain = waterRainDrop(r1, r2, r3);
  r1 = random.unit();
  r2 = random.unit();
  r3 = random.unit();
  drops.large = waterLargeDrop(r1, r2, r3);
  drops.music = waterMusicDrop(bassLevel, u, spectrum);
  return drops;
}

WaterScene::WaterScene(const SceneFrame &sceneFrame)
    : scene_("data/vannscene.gsp"), camera01(findCamera(prepared(scene_), "Camera01")),
      camera02(findCamera(scene_, "Camera02")), camera03(findCamera(scene_, "Camera03")),
      camera05(findCamera(scene_, "Camera05")), meshes_(findMeshes(scene_)),
      meshTextures{{
          {"data/vannscene/aller_ytterste_stenger.jpg", 0},
          {"data/vannscene/andre_stenger.jpg", 0},
          {"data/vannscene/kabler_rundt_boks.jpg", 0},
          {"data/vannscene/nedre_stenger.jpg", 0},
          {"data/vannscene/takboks.jpg", 0},
          {"data/vannscene/tank.jpg", 0},
          {"data/vannscene/tykke_kabler.jpg", 0},
          {"data/vannscene/ytterstenger_og_skjermer.jpg", 0},
      }},
      envTexture("data/envmap_old.jpg", 0), bumpTexture("data/vannbump.jpg", 1),
      logoTexture("data/kestranelogo3d.jpg", 0), water_(), screenCopyStorage(sceneFrame.screenCopyOrNew()), screenCopy(*screenCopyStorage),
      glowTarget(256, 256, TargetStorage::Rgb, sceneFrame.size),
      squareTexture("data/sq.jpg", 0) {
  // The water surface's constructor sizes its arrays and resets it to height 0.
}

void WaterScene::restart() {
  water_.reset(0.f);
  bassLevel_ = 0.f;
  drawnUp = nextUp_ = Vec3{0.f, 1.f, 0.f};
}

const CameraNode *WaterScene::camera(WaterCamera which) const {
  switch (which) {
  case WaterCamera::Camera01:
    return camera01;
  case WaterCamera::Camera03:
    return camera03;
  case WaterCamera::Camera05:
    return camera05;
  }
  return nullptr;
}

float WaterScene::sceneClock(float localTime) const {
  // A return runs on the Camera05 path, whose times start at 100.
  return path_ == WaterPath::Return ? localTime + kCamera05Start : localTime;
}

void WaterScene::step(const FrameInput &frame, ShowRandom &random) {
  // The bass follows the lowest band.
  bassLevel_ = (frame.spectrum[0] + bassLevel_) * 0.8f;

  // Three drops, then one step of the water.
  const WaterShot shot = waterShotAt(sceneClock(frame.time));
  const WaterDrops drops = nextWaterDrops(bassLevel_, shot.u, frame.spectrum, random);
  water_.addDrop(drops.rain.x, drops.rain.y, drops.rain.radius, drops.rain.strength);
  water_.addDrop(drops.large.x, drops.large.y, drops.large.radius, drops.large.strength);
  water_.addDrop(drops.music.x, drops.music.y, drops.music.radius, drops.music.strength);
  water_.step();

  // Camera05 rolls with the bass. Intentional: the up vector takes effect a
  // step late and keeps its last value after the segment (the quick cuts
  // start rolled).
  drawnUp = nextUp_;
  if (shot.camera == WaterCamera::Camera05)
    nextUp_ = waterUpVector(bassLevel_);
}

void WaterScene::draw(const FrameInput &frame) {
  const float time = sceneClock(frame.time);
  const Spectrum &spectrum = frame.spectrum;
  // 1-3. Draw into the screen copy's area.
  disableCgProfiles();
  screenCopy.setViewport();

  // 4. White linear fog from 300 to 800 units.
  const float fogColour[4] = {1.f, 1.f, 1.f, 1.f};
  draw::enable(draw::Cap::Fog);
  draw::linearFog(300.f, 800.f, fogColour);
  draw::fogDensity(1.f);

  // 5. The camera of this time; every later step runs on its camera time u.
  const WaterShot shot = waterShotAt(time);
  const float u = shot.u;
  CameraNode *camera = shot.camera == WaterCamera::Camera01   ? camera01
                       : shot.camera == WaterCamera::Camera03 ? camera03
                                                              : camera05;
  if (camera) {
    scene_.setUpVector(drawnUp.x, drawnUp.y, drawnUp.z);
    scene_.update(shot.sceneTime, *camera);

    // 6. The room, each mesh with its own picture. Texturing stays on with the
    // last one bound.
    for (int i = 0; i < kMeshCount; ++i) {
      if (!meshes_[i])
        continue;
      meshTextures[i].bind();
      scene_.drawNode(*meshes_[i], true);
    }

    // 7. The pool's grid lies in the scene's x-z plane.
    draw::rotate(90.f, 1.f, 0.f, 0.f);
  }

  // 8-9. The surface as the last step left it (the drops went in there).
  water_.computeNormals();

  // 10. The pool is drawn unlit, both faces, opaque.
  draw::disable(draw::Cap::Blend);
  draw::disable(draw::Cap::CullFace);
  draw::disable(draw::Cap::Lighting);

  if (camera) {
    // 11-12. Cells 0.55 units wide, cell (65, 65) at (0, -2.75, 0); the
    // sphere map makes the surface a mirror of the room.
    draw::scale(0.55f, 0.55f, 0.55f);
    draw::translate(-65.f, -65.f, 5.f);
    envTexture.bind();
    enableSphereMap();
    water_.draw();
    envTexture.unbind();
    disableSphereMap();
  }

  // 13.
  draw::colour(1.f, 1.f, 1.f, 1.f);
  draw::disable(draw::Cap::CullFace);
  draw::disable(draw::Cap::Lighting);
  draw::disable(draw::Cap::Fog);

  // 14. The glow: the picture, blurred small, added back over itself.
  // Only the depth buffer is cleared: the colour outside the glow's corner
  // stays the picture, so the glow puts it back only in that corner.
  GlowPass glow(screenCopy, glowTarget, {3, 3, 1.f, 1.f + 0.2f * spectrum[1]}, {0.9f, 0.9f, 1.f, 1.f});
  glow.pictureOnScreen = true;
  glow.capture();
  draw::disable(draw::Cap::Lighting);
  draw::clear(draw::kClearDepth);
  glow.shrink();
  glow.blurGlow();
  glow.compose();

  // 15. Camera03: letterbox bars and the veil that clears after the cut.
  if (shot.camera == WaterCamera::Camera03) {
    const float n = waterLetterboxHeight(u);
    draw::matrixMode(draw::MatrixMode::Projection);
    draw::loadIdentity();
    draw::matrixMode(draw::MatrixMode::ModelView);
    draw::loadIdentity();
    draw::disable(draw::Cap::Blend);
    draw::disable(draw::Cap::CullFace);
    draw::colour(0.f, 0.f, 0.f, 1.f);
    draw::begin(draw::Primitive::Quads);
    clipQuad(-1.f, -1.f, 1.f, n - 1.f);
    clipQuad(-1.f, 1.f - n, 1.f, 1.f);
    draw::end();
    draw::enable(draw::Cap::Blend);
    draw::blendFunc(draw::Factor::SrcAlpha, draw::Factor::OneMinusSrcAlpha);
    // Intentional: the alpha goes negative from u = 3.33 on; the pipeline clamps it.
    draw::colour(0.f, 0.f, 0.f, waterVeilAlpha(u));
    draw::begin(draw::Primitive::Quads);
    clipQuad(-1.f, -1.f, 1.f, 1.f);
    draw::end();
    draw::colour(1.f, 1.f, 1.f, 1.f);
    draw::disable(draw::Cap::Blend);
  }

  // 16. Camera05: the flash at the turn and the fade to black at the end.
  if (shot.camera == WaterCamera::Camera05) {
    draw::disable(draw::Cap::Texture2D);
    draw::disable(draw::Cap::Fog);
    draw::enable(draw::Cap::Blend);
    draw::blendFunc(draw::Factor::SrcAlpha, draw::Factor::OneMinusSrcAlpha);
    draw::colour(1.f, 1.f, 1.f, waterFlashAlpha(u));
    drawFullScreenQuad();
    draw::colour(0.f, 0.f, 0.f, waterFadeAlpha(u));
    if (waterFadeDrawn(shot.h))
      drawFullScreenQuad();
    draw::disable(draw::Cap::Blend);
    draw::colour(1.f, 1.f, 1.f, 1.f);
  }
}

} // namespace demo
