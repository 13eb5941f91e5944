// closing_scene.h - the last 12.6 seconds: the picture the frame has just
// composed breaks into 20 x 20 falling tiles, the end logo comes up and
// grows, the screen fades to black, and a glow swells as the picture breaks.
//
// The timeline draws it at t - 252.4 after it has copied the frame
// into its screen target and handed that target over (useScreen); blending is on (source alpha, one minus source alpha)
// when draw starts. Until 5.2 s the tiles stand in place and show the
// picture whole; then each spins about its own random axis, falls and drifts
// towards the viewer. Each step draws the tiles' random values after
// srand(1), so every tile has the same values in every frame and every run;
// the scene keeps no other state.
//
// Leaves face culling off, depth test on, GL_TEXTURE_2D off and the viewport
// the whole frame. Blending stays as the timeline set it until the end logo
// appears at 5.2 s; from then on it is left off with the colour white.
#pragma once

#include <array>

#include "gfx/render_target.h"
#include "gfx/texture.h"
#include "scenes/effect.h"

namespace demo {

class CgContext;

class ClosingScene : public Effect {
public:
  static constexpr int kTileRows = 20;
  static constexpr int kTileCount = kTileRows * kTileRows;

  explicit ClosingScene(CgContext *cg, const SceneFrame &frame = SceneFrame());
  void step(const FrameInput &frame) override;
  void draw(const FrameInput &frame) override;
  void restart() override;
  // The picture to break: the target's texture, its used area cut into
  // 20 x 20 tiles.
  void useScreen(const RenderTarget &screen);

  // A tile's random values, in the order they are drawn (ten a tile; two of
  // the sequence are drawn only to advance it).
  struct TileDraws {
    float r1, r2, r3, r4; // axis (r3, r2, r1) and angle (r4) of the spin
    float wobble;         // 0..1
    float depth;          // 0..1
    float fall;           // -1..1
  };
  std::array<TileDraws, kTileCount> tiles{}; // column by column

  Texture endLogoTexture;
  Texture screenTexture; // empty: borrows the timeline's screen target
  float tileS = 0.f;     // one tile's steps in the texture: a 20th of the used area
  float tileT = 0.f;
  std::shared_ptr<RenderTarget> screenCopyStorage; // the copy of the whole frame
  RenderTarget &screenCopy;
  RenderTarget glowTarget;
};

// Seconds into the break (0 until 5.2 s).
float closingBreakTime(float time);
// The glow's gain at `time` (0 until 4.7 s, peak 1.5 at 5.2 s).
float closingGlowGain(float time);

} // namespace demo
