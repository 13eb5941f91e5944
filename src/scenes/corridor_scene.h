// corridor_scene.h - five merging metaballs, shaded by a two-texture
// program, in front of a rotating cloud of white points, then in front of a
// long corridor flown through with the music.
//
// The timeline steps and draws it at t - 158.4 from 158.4 s to 217.5 s.
// The scene's own clock T runs 1.8 times faster than its local time. At
// T = 35.87 (local time about 19.93 s) the picture changes character:
// - intro (T <= 35.87): the points and the balls are drawn off screen only;
//   the screen shows a picture scrolling down ("marker.jpg"), the greetings
//   multiplied over it at 30 %, a faint copy of the balls and their strong
//   glow. The balls move slowly (ball clock g = 0.2 T).
// - corridor (T > 35.87): the corridor mesh, the balls (g = T), a bloom
//   whose strength follows the bass, the group logo jittering with bin 5 and
//   eight pairs of dark bands sliding along the top and bottom edges.
//
// The spectrum drives: bin 0 the flight (speed, jumps to a random position,
// the band phase, how dark the sharp picture gets), bin 1 the roll and the
// bloom width, bin 2 the corridor camera's sideways swing, bin 3 the roll
// and the balls' camera tilt, bin 5 the logo's jitter. The timeline's beat
// level (the frame's pulse) tints the balls.
//
// State carried from step to step: rollAngle, swingPhase and the bass state
// (barPhase, jumpCooldown, travel); all start at 0 and are never reset. The
// step also draws the frame's random numbers: the points (the show's
// generator reseeded with 1 every intro step, so they stand still), and the
// jitter of the logo and the bands. The metaball field is rebuilt for every drawn frame.
//
// Leaves: point size 8, light 0 on, face culling off, colour white; in the
// corridor phase blending on (SrcAlpha, OneMinusSrcAlpha), in the intro
// blending off. The scene sets no blend state before its
// post-processing, so the copy of the frame is drawn back in whatever state
// the previous frame (or the timeline's flashes) left.
//
// A corridor file without the mesh "Box59" is reported once at construction;
// the corridor then draws no triangles (everything else still runs).
//
// The free functions before the class are the scene's arithmetic, without GL.
#pragma once

#include <array>
#include <cstdint>

#include "effects/metaball_field.h"
#include "gfx/cg_program.h"
#include "gfx/render_target.h"
#include "gfx/texture.h"
#include "scene/scene.h"
#include "scenes/effect.h"

namespace demo {

// The clock value at which the corridor replaces the intro.
constexpr float kCorridorSwitch = 35.87f;
// The local time from which the flight speeds up (a little after the switch).
constexpr float kCorridorFastFlight = 19.97f;

// What the bass does to the scene, frame by frame.
struct CorridorBass {
  float barPhase = 0.f;     // phase of the dark bands
  float jumpCooldown = 0.f; // seconds until travel may jump again
  float travel = 0.f;       // flight position along the corridor
};

// One frame of bass reactions, in this order: a hit above 0.5 pushes
// barPhase by 300 s0; when the cooldown has dropped below 0 and s0 > 0.25,
// travel jumps to 30 random.unit() and the cooldown restarts at 0.05 s; the
// cooldown falls by dt; travel then grows by 14 dt + s0 after local time
// 19.97, by 3 dt before. Returns whether travel jumped (the only call to
// rand).
bool reactToBass(CorridorBass &bass, float time, float dt, float s0, ShowRandom &random);

// The scene's clock T = 1.8 time.
float corridorClock(float time);
// The balls' clock: 0.2 T before the switch, T from T = 35.87 on (the balls
// jump to a new configuration there).
float ballClock(float T);
// The shared radius sin T + 5.5, in grid steps.
float ballRadius(float T);
// The five balls at clock T, in drawing order, on the 40-point grid.
std::array<Metaball, 5> corridorBalls(float T);

struct Rgba {
  float r, g, b, a;
};

// The balls' colour: white while pulse <= 0.0001; otherwise each channel is
// 1 - pulse (sin(k T) + 1) / 2 with k = 1, 1.337, 1.537 for red, green,
// blue. Levels above 1 go below 0 (OpenGL clamps them).
Rgba corridorTint(float pulse, float T);

// One of the eight pairs of dark bands.
struct DarkBand {
  float thickness; // X, pixels
  float distance;  // Z, pixels from the screen edge to the band
  float alpha;     // 50 / Z, or 0.5 where Z <= 0.001 (OpenGL clamps above 1)
  float scroll;    // texture offset along the band, (i + 1)^2 T, before jitter
};
DarkBand darkBand(int i, float T, float barPhase);

// The bloom of the corridor phase from the spectrum: the blur's gain
// 0.7 s1 + 1, the sharp picture's brightness S = 0.7 - 2 s0 (below 0 it is
// black) and the glow's V = 1.3 - S.
struct CorridorBloom {
  float blurGain;
  float sharp;
  float glow;
};
CorridorBloom corridorBloom(float s0, float s1);

// Lower-left corner of the logo in screen pixels: (-20, 160) moved by
// 2800 s5^2 times the two random values (each -1..1; y's is drawn first).
struct ScreenPoint {
  float x, y;
};
ScreenPoint logoPosition(float s5, float randomY, float randomX);

class CorridorScene : public Effect {
public:
  // The shared context is not used: the scene compiles its program in a
  // context of its own.
  static constexpr int kPointCount = 1000;
  static constexpr int kBandPairs = 8;

  explicit CorridorScene(const SceneFrame &frame = SceneFrame());
  void step(const FrameInput &frame, ShowRandom &random) override;
  void draw(const FrameInput &frame) override;
  void restart() override;

  // Read-only views of the state, for tests and tools.
  float rollAngle() const { return rollAngle_; }
  float swingPhase() const { return swingPhase_; }
  const CorridorBass &bass() const { return bass_; }
  const std::array<std::array<float, 3>, kPointCount> &points() const { return points_; }
  float logoJitterY() const { return logoJitterY_; }
  float logoJitterX() const { return logoJitterX_; }
  const std::array<std::array<float, 2>, kBandPairs> &bandJitter() const { return bandJitter_; }
  const Texture &markerTexture() const { return markerTexture_; }
  // The corridor mesh and its arrays: null (and a count of 0) when the file
  // lacks it.
  const MeshNode *corridorNode() const { return corridorNode_; }
  const uint32_t *corridorIndices() const { return corridorIndices_; }
  const float *corridorVertices() const { return corridorVertices_; }
  int corridorIndexCount() const { return corridorIndexCount_; }

private:
  // Carried between steps.
  float rollAngle_ = 0.f;  // degrees, the balls' roll about x
  float swingPhase_ = 0.f; // radians, the corridor camera's sideways swing
  CorridorBass bass_;
  // The random numbers of the last step: the intro's points (x, y, z), the
  // logo's jitter (y drawn first) and each band pair's scroll jitter (the
  // upper band's first).
  std::array<std::array<float, 3>, kPointCount> points_{};
  float logoJitterY_ = 0.f;
  float logoJitterX_ = 0.f;
  std::array<std::array<float, 2>, kBandPairs> bandJitter_{};

  // Built in this order by the constructor.
  Texture markerTexture_;
  Texture greetingsTexture;
  MetaballField metaballs;
  Texture envTexture;    // unit 0 of the balls, sphere-mapped
  Texture detailTexture; // unit 1 of the balls, at the surface's x and y
  CgContext cgContext;
  CgProgram metaballProgram;
  FrameSize frameSize; // the frame it draws into
  std::shared_ptr<RenderTarget> screenCopyStorage; // the copy of the whole frame
  RenderTarget &screenCopy;
  RenderTarget glowTarget;
  Scene corridor;
  MeshNode *corridorNode_; // null when the file lacks it
  const uint32_t *corridorIndices_;
  const float *corridorVertices_;  // 3 per vertex
  const float *corridorNormals;    // 3 per vertex
  int corridorIndexCount_;
  const float *corridorTexCoords; // 2 per vertex
  Texture wallTexture;
  Texture logoOverlay;
  Texture borderTexture;

  // The corridor mesh seen from flight position x (travel).
  void drawCorridor(float x);
};

} // namespace demo
