// event_scene.h - the title sequence: a spiky ball whose vertices chase a
// tumbling, swaying copy of its own shape on damped springs, over a field of
// small cubes that ripple with the bass and are coloured by a picture
// scrolling across them, all with a bloom. The title is spelled letter by
// letter over it, then the picture letterboxes, the title slides out to the
// right and an event overlay comes up with a white flash.
//
// The timeline steps and draws it at t - 118.84 from 118.84 s to 158.4 s and
// again at t - 252.4 in the ending, where the timeline has it draw the whole
// title over the picture (drawWholeTitle) and captures the frame for the
// closing scene. Nothing is reset between the two visits: the springs, clocks, bass
// level and camera jump carry over.
//
// Times: the show clock A = time + 119.14 drives the title, letterbox and
// event overlay (in the first visit A is the music time + 0.3). The spectrum
// pushes the camera's and the spike's clocks (bins 1 and 2), the camera jumps
// and ripple (bins 0 and 1), the bloom (bins 0 and 2) and the title's shake
// (bin 0). The springs, clocks and bass level advance once per step; the
// jump cooldown counts step time; the title's shake is drawn in the step.
//
// Draw state left behind: viewport 800 x 600, fog on (linear, black),
// Texture2D off, sphere mapping off, depth test on, blending off, matrix
// mode ModelView, colour white. Once A > 148.44 instead: blending on
// (SrcAlpha, OneMinusSrcAlpha), culling off, matrix mode Projection and the
// colour (1, 1, 1, flash strength).
//
// The pure parts (title choice, letterbox, bass jump, ripple level, spike
// targets and springs, cube colours, title placement) are free functions
// below, usable without GL.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "gfx/render_target.h"
#include "gfx/texture.h"
#include "scene/ebr_mesh.h"
#include "base/math.h"
#include "scenes/effect.h"

namespace demo {

class EventScene : public Effect {
public:
  static constexpr int kTitleCount = 11;

  explicit EventScene(const SceneFrame &frame = SceneFrame());
  void step(const FrameInput &frame, ShowRandom &random) override;
  void draw(const FrameInput &frame) override;
  void restart() override;
  // The whole title (the last title picture) at (0, 250), in the blending
  // the caller set: the ending draws it over the scene.
  void drawWholeTitle();

  // Read-only views of the state, for tests and tools.
  const Texture &eventOverlay() const { return eventOverlay_; }
  // k is 0 to kTitleCount - 1.
  const Texture &titleOverlay(int k) const { return titleOverlays[k]; }
  const EbrMesh &spike() const { return spike_; }
  int spikeVertexCount() const { return spikeVertexCount_; }
  const std::vector<Vec3> &restPositions() const { return restPositions_; }
  const Vec3 *spikePositions() const { return spikePositions_; }
  const Texture &colourMap() const { return colourMap_; }
  float viewClock() const { return viewClock_; }
  float spikeClock() const { return spikeClock_; }
  float bassLevel() const { return bassLevel_; }
  float jumpCooldown() const { return jumpCooldown_; }
  float cameraJump() const { return cameraJump_; }
  float titleShakeY() const { return titleShakeY_; }
  float titleShakeX() const { return titleShakeX_; }

private:
  // The members are constructed in the order the scene loads its assets.
  // colourMap and grid are loaded but never drawn: their bytes and points
  // are read instead.
  Texture eventOverlay_;
  EbrMesh spike_;
  int spikeVertexCount_ = 0;
  std::vector<Vec3> restPositions_;  // the spike's first part as loaded
  // The spike's first part's own position array (null without a part): the
  // scene animates it in place, so drawing and normals follow the springs.
  Vec3 *spikePositions_ = nullptr;
  std::vector<Vec3> spikeVelocities;
  std::vector<Vec3> spikeTargets;
  std::vector<float> spikeLags;
  Texture spikeTexture;
  Texture cubeTexture;
  Texture colourMap_; // never bound; its decoded bytes colour the cubes
  EbrMesh grid;       // never drawn; its first part's points carry the cubes
  EbrMesh cube;
  FrameSize frameSize; // the frame it draws into
  std::shared_ptr<RenderTarget> screenCopyStorage; // the copy of the whole frame
  RenderTarget &screenCopy;
  RenderTarget glowTarget;

  // State carried from frame to frame and from one visit to the next.
  float viewClock_ = 0.f;
  float spikeClock_ = 0.f;
  float bassLevel_ = 0.f;
  float jumpCooldown_ = 0.f;
  float cameraJump_ = 0.f;
  // The title's shake of the last step that showed a title: the random
  // values for y and x (y drawn first).
  float titleShakeY_ = 0.f;
  float titleShakeX_ = 0.f;

  // Overlay k shows the first k + 1 letters of the title; [10] is the whole word.
  Texture titleOverlays[kTitleCount];
};

// The show clock of scene time `time`.
float eventShowClock(float time);

// Which title overlay shows at show clock A: the largest k whose threshold A
// exceeds (strictly), or -1 before the first letter.
int eventTitleIndex(float showClock);

// The letterbox at show clock A: L is the slide of the title (pixels), C the
// height of each black bar (capped at 75), the viewport the picture between.
struct EventLetterbox {
  float slide;        // L
  float barHeight;    // C
  int viewportY;      // (int)C
  int viewportHeight; // (int)(600 - 2C)
  float aspect;       // 800 / (600 - 2C), unrounded
};
EventLetterbox eventLetterbox(float showClock);

// Whether the event overlay and its flash show at show clock A (strictly
// after 148.44).
bool eventOverlayShown(float showClock);

// One frame of the bass jump: true when this frame re-rolls the camera jump
// (cooldown below 0 and s0 above 0.45; the cooldown is then set to 0.05).
// The cooldown always counts down by dt afterwards. It starts at 0, so the
// first frame never jumps.
bool stepBassJump(float &cooldown, float s0, float dt);

// The leaky bass sum: 0.8 (s1 + s0 + level).
float nextBassLevel(float level, float s0, float s1);

// Where a spike vertex is pulled to: its rest position turned about x by
// 1.3 sin w, about y by sin w and about z by 5.3 ph, plus the sway
// 55 (sin ph, sin 1.2 ph, sin 1.3 ph), where ph = W - lag.
Vec3 eventSpikeTarget(const Vec3 &rest, float lag, float viewTime, float spikeTime);

// One damped spring step with gravity, per simulation step: v += 0.1 (target - p);
// v *= 0.92; v.y -= 0.1; p += v.
void eventSpringStep(Vec3 &position, Vec3 &velocity, const Vec3 &target);

// The lag of a vertex at `rest`: (0.02 |rest|)^1.2.
float eventSpikeLag(const Vec3 &rest);

struct EventRgb {
  uint8_t r, g, b;
};

// The colour of cube j (j < 1024) at view time w from the colour map's RGB
// bytes (rows top first, 3 bytes a pixel), read as rows of 256 pixels
// whatever the picture's own width: row j / 32, column
// ((j mod 32) + floor(10 w)) mod 224, at byte 3 (256 row + column). A bright
// pixel (R + G + B > 500) gives (120, 120, 140 + trunc(9 sin w)), anything else
// (200, 200, 200). A pixel past the end of the bytes counts as not bright;
// nothing outside them is read. A map at `detail` d has d x d pixels for each
// of those (rows of 256 d pixels), and the mean of a cell's pixels is its
// colour.
EventRgb eventCubeColour(const std::vector<uint8_t> &pixels, int j, float w, int detail = 1);

// The column of the colour picture that cube j shows at view time w, always
// in [0, 224).
int eventCubeColumn(int j, float w);

// Where the title's lower-left corner goes: (20 s0 randomX + L,
// 20 s0 randomY + 235).
struct EventTitlePosition {
  float x, y;
};
EventTitlePosition eventTitlePosition(float s0, float slide, float randomY, float randomX);

} // namespace demo
