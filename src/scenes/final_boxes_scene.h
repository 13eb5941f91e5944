// final_boxes_scene.h - the last scene before the quick cuts: four textured
// crates seen in a 16:9 letterbox, cutting between seven cameras on a fixed
// list of music times, with a soft glow that the second spectrum band drives
// and that turns slightly blue round each cut.
//
// The timeline steps and draws it at its local time: from 217.5 s to
// 237.52 s, and again from the quick cuts' return at 247.39 s for five
// seconds. The scene runs on the show's clock of its part, a = local time +
// 217.5 (kFinalClockAtStart), in which the cut list is written; each cut
// happens 0.17 s before its listed time, at most one per step. A cut starts
// the next camera of the camera list at a random point (a head start of 0 to
// 2 s) and at a random speed (0 to 3, at least 1.5 on Camera01 and Camera08),
// so the shots differ from run to run.
//
// The scene rewinds its cut list when asked (rewindCuts, which the quick
// cuts ask every step), so the list plays again from its first entry. The last shot (Camera03)
// keeps running until the first cut fires again.
//
// FinalShot and the free functions below are the scene's decisions in plain
// C++ (no GL): which camera, how far into its path, the cut flash and the
// glow. FinalBoxesScene carries them out through the drawing module.
//
// Drawing state left by draw: viewport the whole frame, sphere-map generation
// off, Blend off (function SrcAlpha, One), Texture2D off, colour white,
// DepthTest on, Fog and Lighting off, clear colour black,
// the scene's up vector that of the last step and its aspect back at 4/3.
// A missing box or camera is reported once at construction and skipped: a
// cut to a missing camera keeps the camera in use; with no camera at all the
// crates are not drawn.
#pragma once

#include <array>

#include "gfx/render_target.h"
#include "gfx/texture.h"
#include "scene/scene.h"
#include "scenes/effect.h"

namespace demo {

// The show clock at the scene's local time 0 (its part starts at 217.5 s).
constexpr float kFinalClockAtStart = 217.5f;

// The cut list in clock seconds: 18 cuts, then sentinels that are never
// reached, so the index stops at 18 until the scene is asked to rewind.
constexpr int kFinalCutCount = 18;
constexpr int kFinalCutEntries = 25;
extern const std::array<float, kFinalCutEntries> kFinalCutList;
// Each cut happens this long before its listed time.
constexpr float kFinalCutLead = 0.17f;
// The flash sums the envelopes of this many leading entries of the list.
constexpr int kFinalFlashEntries = 20;

// The camera list: a cut to entry i selects slot (i + 1) mod 8. Camera01
// stands in it twice; there is no Camera05.
constexpr int kFinalCameraSlots = 8;
extern const std::array<const char *, kFinalCameraSlots> kFinalCameraNames;

// Whether a shot on this camera slot runs at least 1.5 times as fast
// (Camera01 and Camera08).
bool finalCameraHasMinimumSpeed(int slot);

// The state the scene carries from step to step.
struct FinalShot {
  // Cuts when a is past the next cut (its listed time minus the lead): the
  // next camera slot, a head start 2 x random01, a speed 3 x random01 (raised
  // to 1.5 on Camera01 and Camera08), the index one on. At most one cut per
  // step; an index outside the list never cuts. Returns whether it cut.
  bool cut(float a, ShowRandom &random);
  // Back to the first entry of the list once it has passed its sixth cut.
  void rewind() {
    if (cutIndex > 5)
      cutIndex = 0;
  }
  // The shot clock runs on by the step's time.
  void advance(float dt) { shotClock += dt; }
  // Where the current shot is in the scene's animation.
  float sceneTime() const { return shotSpeed * shotClock * 0.6f; }

  int cutIndex = 0;      // the next entry of the cut list
  int cameraSlot = 0;    // into kFinalCameraNames: Camera01 at start
  float shotClock = 0.f; // seconds since the shot started, plus its head start
  float shotSpeed = 1.f;
};

// The cut flash at clock time a: the sum of envelope(entry, 1, 1, 2, a) over
// the first 20 entries of the cut list. Overlapping cuts add up beyond 1.
float finalCutFlash(float a);
// The glow's red and green weight: 1 - 0.1 flash (blue stays 1).
float finalGlowColour(float flash);
// The blur's gain from spectrum bin 1: 1.05 in silence.
float finalGlowGain(float band1);

class FinalBoxesScene : public Effect {
public:
  explicit FinalBoxesScene(const SceneFrame &frame = SceneFrame());
  void step(const FrameInput &frame, ShowRandom &random) override;
  void draw(const FrameInput &frame) override;
  void restart() override;
  // Back to the first entry of the cut list once the list has passed its
  // sixth (a return to the scene in the quick cuts replays it).
  void rewindCuts() { shot_.rewind(); }
  // The next entry of the cut list (kFinalCutCount once all have cut).
  int nextCut() const { return shot_.cutIndex; }

  // Read-only views of the state, for tests and tools.
  const FinalShot &shot() const { return shot_; }
  // The up vector the last step set.
  Vec3 nextUp() const { return nextUp_; }
  // The camera the crates are seen through: null only when no camera was
  // ever found.
  const CameraNode *currentCamera() const { return currentCamera_; }
  // The camera of a slot of kFinalCameraNames, or null when the scene file
  // lacks it.
  const CameraNode *camera(int slot) const { return cameras[slot]; }
  // Box i (0 to 3), or null when the scene file lacks it.
  const MeshNode *box(int i) const { return boxes[i]; }

private:
  // Carried between steps.
  FinalShot shot_;
  // The camera rolls with the clock a step late: a frame is drawn with the
  // up vector of the step before its last one (the default until then).
  Vec3 drawnUp{0.f, 1.f, 0.f};
  Vec3 nextUp_{0.f, 1.f, 0.f};
  CameraNode *currentCamera_ = nullptr; // null only when no camera was ever found

  Scene scene;
  FrameSize frameSize; // the frame it draws into
  PixelBox pictureBand; // the 16:9 band between the bars, in the frame's pixels
  RenderTarget pictureTarget;
  RenderTarget glowTarget;
  std::array<MeshNode *, 4> boxes{};
  std::array<Texture, 4> boxTextures; // one per box, same order
  std::array<CameraNode *, kFinalCameraSlots> cameras{};
};

} // namespace demo
