// water_scene.h - the tank room with the rippling pool: the show opens with
// it and comes back to it twice. The room (eight textured meshes from
// "data/vannscene.gsp") is seen through one of three animated cameras; the
// pool below it is the WaterSurface drawn as an environment-mapped mirror,
// stirred every step by two random drops and one that circles with the
// music; a blurred copy of the picture is added over it as a glow.
//
// The timeline steps and draws it at its local time: from the show's start
// for t < 39.57 (Camera01, then Camera03 from 19.72 on), and from the start
// of each return (the second visit at 59.37 s, the quick cuts' at 242.45 s)
// after it has asked for the return path (followPath). The scene runs its
// animation on one clock of its own, a = local time on the opening path and
// local time + 100 on the return path, where the Camera05 path starts.
//
// Framing of the segments:
// - Camera03: black letterbox bars that grow from 0.15 towards 0.3 of the
//   half-height, and a black veil of 40 % at the cut that clears by u = 3.33.
// - Camera05: the camera runs forwards to u = 25 (h = 10, a white flash),
//   jumps back to u = 16 and then runs backwards, fading to black from
//   h = 18.57 (black at 19.29); the camera rolls with the bass.
//
// State carried from step to step: bassLevel, the water (three drops and one
// step of the surface per step, never reset after construction) and the
// camera's up vector. A missing node or camera is reported once at
// construction; a missing mesh is not drawn, and without the camera of the
// segment the room and the pool are not drawn (the water still advances).
//
// Drawing state left: Fog, Blend, Lighting, CullFace and Texture2D off,
// colour white, viewport the whole frame, DepthTest on. Matrix mode ModelView
// (identity projection and model-view with Camera03), or Projection after the
// full-screen quads of Camera05. Sphere-map generation off.
//
// The free functions below are the scene's decisions without GL: which
// camera and camera time a local time gives, the framing of the segments and
// the parameters of the three drops.
#pragma once

#include <array>

#include "effects/water_surface.h"
#include "gfx/render_target.h"
#include "gfx/texture.h"
#include "base/math.h"
#include "scene/scene.h"
#include "scenes/effect.h"

namespace demo {

// The opening visit (Camera01, then Camera03) or a return (Camera05).
enum class WaterPath { Opening, Return };

// The three cameras the room is seen through.
enum class WaterCamera { Camera01, Camera03, Camera05 };

class WaterScene : public Effect {
public:
  static constexpr int kMeshCount = 8;

  explicit WaterScene(const SceneFrame &frame = SceneFrame());
  void step(const FrameInput &frame, ShowRandom &random) override;
  void draw(const FrameInput &frame) override;
  void restart() override;
  // Which camera path the following steps and draws are on (the opening
  // path when made).
  void followPath(WaterPath path) { path_ = path; }

  // Read-only views of the state, for tests and tools.
  float bassLevel() const { return bassLevel_; }
  // The up vector the last step set.
  Vec3 nextUp() const { return nextUp_; }
  const Scene &scene() const { return scene_; }
  // The camera of a segment; null when the scene file lacks it.
  const CameraNode *camera(WaterCamera which) const;
  const std::array<MeshNode *, kMeshCount> &meshes() const { return meshes_; }
  const WaterSurface &water() const { return water_; }

private:
  // The scene's own clock at a local time on the current path.
  float sceneClock(float localTime) const;

  // The members are constructed in the order the scene loads its assets:
  // the scene file, the cameras, the meshes, their textures, the other
  // pictures, the water and the render targets. Four of them are loaded but
  // never drawn: camera02, bumpTexture, logoTexture and squareTexture. They
  // stay, each in its place, because the loading sequence and its messages
  // count on them.
  Scene scene_;
  CameraNode *camera01;
  CameraNode *camera02; // looked up, never used
  CameraNode *camera03;
  CameraNode *camera05;
  std::array<MeshNode *, kMeshCount> meshes_;
  std::array<Texture, kMeshCount> meshTextures;
  Texture envTexture;    // the pool's sphere map
  Texture bumpTexture;   // loaded as a normal map; not drawn
  Texture logoTexture;   // not drawn
  WaterSurface water_;
  std::shared_ptr<RenderTarget> screenCopyStorage; // the copy of the whole frame
  RenderTarget &screenCopy;
  RenderTarget glowTarget;
  Texture squareTexture; // not drawn
  float bassLevel_ = 0.f; // leaky sum of spectrum[0], factor 0.8
  // The Camera05 roll lags a step: a frame is drawn with the up vector the
  // step before its last one set (the camera's default until then).
  Vec3 drawnUp{0.f, 1.f, 0.f};
  Vec3 nextUp_{0.f, 1.f, 0.f};

  WaterPath path_ = WaterPath::Opening;
};

// The camera of a local time and its camera time u; every timed step of the
// frame uses u, not the local time. h is the time into the Camera05 path
// (local time - 100), 0 for the other two.
struct WaterShot {
  WaterCamera camera;
  float u;
  float h;
  float sceneTime; // 0.2 u + 0.1: what the scene's animation is updated to
};

// a < 19.72: Camera01, u = a. 19.72 <= a < 100: Camera03, u = a - 17.72
// (2.0 at the cut). a >= 100: Camera05, h = a - 100, u = 2.5 h up to 25, then
// 30 - 1.4 h: at h = 10 u drops from 25 to 16 and runs backwards.
WaterShot waterShotAt(float a);

// Camera03: the height of each letterbox bar in clip units (0.3 - 0.3 / u)
// and the alpha of the black veil (1 - 0.3 u; GL clamps it at 0).
float waterLetterboxHeight(float u);
float waterVeilAlpha(float u);
// Camera05: the white flash round u = 25 and the alpha of the fade to black
// (3 x the envelope round u = 1; it is drawn only while h > 5).
float waterFlashAlpha(float u);
float waterFadeAlpha(float u);
bool waterFadeDrawn(float h);
// Camera05: the up vector the camera rolls to, from the bass level.
Vec3 waterUpVector(float bassLevel);

// One addDrop call: position, radius (fractions of the pool side), strength.
struct WaterDrop {
  float x, y, radius, strength;
};

// The two random drops from their draws r1 (size), r2 (y), r3 (x).
WaterDrop waterRainDrop(float r1, float r2, float r3);
WaterDrop waterLargeDrop(float r1, float r2, float r3);
// The drop that circles the pool centre, pushed along by the bass; the low
// bands widen and strengthen it. Reads spectrum[0] and spectrum[1].
WaterDrop waterMusicDrop(float bassLevel, float u, const Spectrum &spectrum);

struct WaterDrops {
  WaterDrop rain, large, music;
};

// A frame's three drops: draws random01 six times (r1, r2, r3 of the rain
// drop, then those of the larger drop) and adds the music drop.
WaterDrops nextWaterDrops(float bassLevel, float u, const Spectrum &spectrum, ShowRandom &random);

} // namespace demo
