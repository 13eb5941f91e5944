// closing_scene.h - the last 12.6 seconds: the picture the frame has just
// composed breaks into 20 x 20 falling tiles, the end logo comes up and
// grows, the screen fades to black, and a glow swells as the picture breaks.
//
// The timeline draws it at t - 252.4 after it has copied the frame
// into its screen target and handed that target over (useScreen); blending is on (source alpha, one minus source alpha)
// when draw starts. Until 5.2 s the tiles stand in place and show the
// picture whole; then each spins about its own random axis, falls and drifts
// towards the viewer. Each step reseeds the show's generator with 1 and
// draws the tiles' random values, so every tile has the same values in every
// frame and every run (and the generator stands at the same place after
// every step); the scene keeps no other state.
//
// Leaves face culling off, depth test on, Texture2D off and the viewport
// the whole frame. Blending stays as the timeline set it until the end logo
// appears at 5.2 s; from then on it is left off with the colour white.
#pragma once

#include <array>

#include "gfx/render_target.h"
#include "gfx/texture.h"
#include "scenes/effect.h"

namespace demo {

class ClosingScene : public Effect {
public:
  static constexpr int kTileRows = 20;
  static constexpr int kTileCount = kTileRows * kTileRows;

  explicit ClosingScene(const SceneFrame &frame = SceneFrame());
  void step(const FrameInput &frame, ShowRandom &random) override;
  void draw(const FrameInput &frame) override;
  void restart() override;
  // The picture to break: the target's texture, its used area cut into
  // 20 x 20 tiles. The scene draws from `screen` (which must outlive its
  // draws) without owning it.
  void useScreen(const RenderTarget &screen);

  // A tile's random values, in the order they are drawn (ten a tile; two of
  // the sequence are drawn only to advance it).
  struct TileDraws {
    float r1, r2, r3, r4; // axis (r3, r2, r1) and angle (r4) of the spin
    float wobble;         // 0..1
    float depth;          // 0..1
    float fall;           // -1..1
  };

private:
  std::array<TileDraws, kTileCount> tiles{}; // column by column

  Texture endLogoTexture;
  float tileS = 0.f;     // one tile's steps in the texture: a 20th of the used area
  float tileT = 0.f;
  std::shared_ptr<RenderTarget> screenCopyStorage; // the copy of the whole frame
  RenderTarget &screenCopy;
  RenderTarget glowTarget;
  const RenderTarget *screen_ = nullptr; // the picture to break (not owned)
};

// Seconds into the break (0 until 5.2 s).
float closingBreakTime(float time);
// The glow's gain at `time` (0 until 4.7 s, peak 1.5 at 5.2 s).
float closingGlowGain(float time);

} // namespace demo
