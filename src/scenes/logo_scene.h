// logo_scene.h - the production's 3D logo: a textured card with the logo
// lettering and a red line of text ("data/logoscene.gsp"), flown by one
// camera in front of a blurred tunnel whose texture scrolls along it. The
// card jumps up with the bass, and a glow swells as the animation reaches
// its turning point at 10.2 s; from there it runs backwards, so the logo is
// back near its starting pose when the segment ends.
//
// The timeline steps and draws it with t - 39.57 for 39.57 < t < 59.37 (local
// times 0 to 19.8) and with (t - 237.52) x 2 in the quick cuts (0 to 9.86,
// double speed, never reaching the turn). Only the time value matters.
//
// The tunnel is drawn small (into a 256 x 256 corner of the frame), blurred
// and stretched over the screen as the backdrop. It sets no view of its own:
// it is drawn under whatever projection and model-view matrices are current
// when draw starts. Within the segment those are what the previous frame of
// this scene left, the camera's view with the bass lift, so the tunnel sits
// in the logo's world seen from one frame ago. On the first frame of the
// segment, and in the quick cuts where the timeline loads identity matrices
// before every call, it is drawn with identity projection and view.
//
// State carried from step to step: bassLevel; from drawn frame to drawn
// frame (in the drawing state, which every backend keeps) the matrices the
// tunnel reuses, and the positions of any lights in the scene file:
// update() sets them before it loads the camera, so each is fixed in eye
// space by the model-view matrix the previous frame left. The turn is
// decided from the time each frame. A missing node or camera is reported
// once at construction; a missing mesh is not drawn, and without the camera the
// card and its texts are not drawn at all (the tunnel and glow still are).
//
// Drawing state left: Fog, CullFace, Blend and Texture2D off, colour white,
// clear colour (0, 0, 0, 1), DepthTest on, viewport the whole frame, matrix
// mode ModelView with the camera's projection and view (plus the bass lift)
// loaded, the texture matrix as it was found.
//
// The free functions below are the scene's decisions without drawing.
#pragma once

#include "gfx/render_target.h"
#include "gfx/texture.h"
#include "scene/ebr_mesh.h"
#include "scene/scene.h"
#include "scenes/effect.h"

namespace demo {

class LogoScene : public Effect {
public:
  // Loads, in this order: the scene file (with its material textures), the
  // camera and the card, the card's picture, the two text nodes, the
  // lettering picture and the flare, the tunnel mesh and its picture, then
  // the render targets. The Cg context is not used.
  explicit LogoScene(const SceneFrame &frame = SceneFrame());
  void step(const FrameInput &frame, ShowRandom &random) override;
  void draw(const FrameInput &frame) override;
  void restart() override;

  // Read-only views of the state, for tests and tools. The nodes are null
  // when the scene file lacks them.
  float bassLevel() const { return bassLevel_; }
  const CameraNode *camera() const { return camera_; }
  const MeshNode *backdropNode() const { return backdropNode_; }
  const MeshNode *logoNode() const { return logoNode_; }
  const MeshNode *redTextNode() const { return redTextNode_; }

private:
  // The members are constructed in the order the scene loads its assets.
  // One of them, flareTexture, is loaded but never drawn: it stays, in its
  // place, because the loading sequence and its messages count on it.
  Scene scene;
  CameraNode *camera_;
  MeshNode *backdropNode_; // the card
  Texture backdropTexture;
  MeshNode *logoNode_;    // the logo lettering
  MeshNode *redTextNode_; // drawn untextured, in red
  Texture logoTextTexture;
  Texture flareTexture; // loaded, not drawn
  EbrMesh tunnelMesh;
  Texture tunnelTexture;
  std::shared_ptr<RenderTarget> screenCopyStorage; // the copy of the whole frame
  RenderTarget &screenCopy;
  RenderTarget glowTarget;   // 256 x 256
  RenderTarget tunnelTarget; // 256 x 256
  float bassLevel_ = 0.f;    // leaky sum of spectrum[0], factor 0.8
};

// The time everything in a frame runs on: the time itself up to the turn at
// 10.2 s, then 18 - 0.9 a, running backwards from 8.82 to 0.18 at 19.8.
float logoLocalTime(float time);
// The scene file's animation time for a local time: 0.4 x local time.
float logoSceneTime(float localTime);
// The glow gain: 0.8 + 0.7 spectrum[0], plus a sharp swell (exponent 7)
// over the second before the turn that peaks at 1 exactly at 10.2.
float logoGlowGain(float localTime, float bass);
// The next step's bassLevel: (bassLevel + spectrum[0]) x 0.8; a steady
// input s settles at 4 s.
float logoNextBassLevel(float bassLevel, float bass);
// How far the card (and, a frame later, the tunnel) is lifted: 19 x bassLevel.
float logoLift(float bassLevel);

} // namespace demo
