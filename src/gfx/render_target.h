// render_target.h - post effects made from copies of the frame buffer: a
// RenderTarget is a texture that holds the lower-left width x height pixels of
// the frame, copied on the graphics card, drawn back full screen, shrunk into a
// smaller target, blurred and added over the frame as a glow.
//
// Use (a glow, once per frame after the 3D picture is drawn):
//   screen.copyFromScreen();           // RenderTarget screen(800, 600)
//   screen.copyTo(glow);               // RenderTarget glow(256, 256)
//   glow.blur(2, 3, 1, 1.3f);          // passes, radius, spread, gain
//   screen.draw();                     // the frame again over the scratch areas
//   glow.drawAdditive(1, 0.8f, 0.6f, 1);
// GlowPass (glow.h) is this chain with a scene's own settings.
//
// The texture is the next power of two up from the area (at least 2), as it
// always was for the 800 x 600 frame; uMax and vMax are the texture
// coordinates of the area's top-right corner. An area larger than the base
// picture's in either direction, which only a frame above scale 1 has (a copy
// of that frame or of its band), is given a texture of its own size plus an
// unused margin of 1 to 16 texels instead: a 2880 x 2160 copy takes
// 2896 x 2176 texels, not 4096 x 4096, and stretched draws still fade into
// an unused area as they do at scale 1.
//
// Such a large target is drawn into a smaller viewport (shrunk into a glow
// target) through a mipmap of the copy, read at the level of the base
// picture (log2 of the frame's scale, between two levels where that is not
// whole): the small target then gets what it gets from an 800 x 600 copy,
// instead of every sixth texel of a picture six times its size. The levels
// are made on the first such draw after a copy. At scale 1 nothing of this
// happens. Texture row
// 0 is the frame's bottom row, so copies draw upright. Copies of the frame read
// alpha 1 (the frame buffer has no alpha), which the blur and the additive
// draws rely on: the texture environment modulates, so every draw is
// weighted by the texel's alpha as well as by the current colour's.
//
// Intentional: the texture wraps (Repeat) and filters linearly, so a draw
// that stretches or shrinks a target filters its outermost rows and columns
// with the texture's unused area (black until something larger is copied),
// a darker fringe of about half a target pixel. A screen-size copy drawn
// back at screen size samples texel centres and is exact.
//
// The texture stores RGB, the frame buffer's own format, so that a copy is a
// plain copy of memory; llvmpipe turns a copy into another format into a
// drawn quad, as dear as the copy's area drawn full screen. Texels then read
// alpha 1 everywhere. A target whose stretched draws are blended by the
// texel's alpha and must fade out at the area's edges asks for
// TargetStorage::Rgba: its texture starts as transparent black and its unused
// area stays so.
//
// GL state each call leaves is given beside it. All calls need the window's GL
// context current. Frame-buffer pixels are only ever read by copyFromScreen.
//
// A target owns its texture: it cannot be copied, a move hands the texture
// over (the moved-from target is empty, textureId 0, and frees nothing), and
// the destructor deletes it. textureId is there to be read (bound, or lent to a
// Texture that draws it); whoever reads it must not delete it, nor use it
// after the target is gone. Destroy targets while the window's context is
// current: with no context current the delete reaches no context (the GL
// dispatch ignores it) and the texture goes with the context.
//
// What it does not do: check that the area fits the frame (it must; a larger
// area copies undefined pixels), or read anything back to main memory.
#pragma once

#include <cstddef>

#include "base/frame_size.h"

namespace demo {

// What a target's texture holds besides the copied colours.
enum class TargetStorage {
  Rgb,  // no alpha: reads 1 everywhere; copies are plain memory copies
  Rgba, // alpha 0 until copied over: the unused area stays transparent
};

class RenderTarget {
public:
  // Creates the texture, filled with black (alpha 0 with Rgba storage),
  // Linear filters, Repeat wrap, for a width x height area of the
  // `frame` the show draws into. Leaves the new texture bound on the active
  // unit.
  RenderTarget(int width, int height, TargetStorage storage = TargetStorage::Rgb,
               const FrameSize &frame = FrameSize());
  // Deletes the texture (the binding of a unit it was bound to falls back to
  // 0, as draw::deleteTexture does).
  ~RenderTarget();
  RenderTarget(const RenderTarget &) = delete;
  RenderTarget &operator=(const RenderTarget &) = delete;
  // The texture and every field move over; `other` is left empty (textureId 0,
  // no bytes counted).
  RenderTarget(RenderTarget &&other) noexcept;
  // Frees this target's texture, then takes `other`'s.
  RenderTarget &operator=(RenderTarget &&other) noexcept;

  // The viewport (0, 0, width, height).
  void setViewport();
  // Copies the frame's lower-left width x height pixels into the texture, then
  // the viewport (0, 0, screenWidth, screenHeight) (the whole frame). Leaves
  // the texture bound.
  void copyFromScreen();
  // The captured area as a quad with its lower-left corner at pixel (x, y) and
  // the size of the full screen plus (dw, dh) pixels, in pixels of the 800 x
  // 600 base picture (so they follow the render scale); (0, 0, 0, 0) covers
  // the viewport. Current colour and blend state apply. A large target (above)
  // drawn into a smaller viewport is read through its mipmap. Leaves:
  // texturing off, the texture bound (its filters as they were), depth test
  // on, matrices as they were, the model-view matrix current.
  void drawQuad(float x, float y, float dw, float dh);
  // drawQuad(0, 0, 0, 0): the image over the whole current viewport.
  void draw();
  // draw() of a screen-size target right after copyFromScreen, with the frame
  // unchanged since: skipped, leaving the state draw() leaves, where
  // texelsDrawAsTheyAre() says it would put every pixel back as it is.
  void drawBack();
  // The colour (r, g, b, a), then draw(). Leaves that colour and the blend state.
  void drawTinted(float r, float g, float b, float a);
  // Adds the image weighted by (r, g, b) x a: blend (SrcAlpha, One).
  // Leaves: blending off (blend function SrcAlpha, One), colour white,
  // and what draw() leaves.
  void drawAdditive(float r, float g, float b, float a);
  // drawAdditive(1, 1, 1, 1).
  void drawAdditiveWhite();
  // Draws this image stretched into the other's lower-left area (its viewport,
  // blending off) and copies that into the other target: how a screen copy is
  // shrunk into a glow buffer. Leaves blending off, viewport the frame, the
  // other's texture bound, and the shrunk image in the frame's corner.
  void copyTo(RenderTarget &other);
  // One direction (dirX, dirY) of the blur, `passes` times: each pass puts
  // into the frame's lower-left width x height corner the sum of 2 radius + 1
  // copies of the image offset by `spread` pixels, together weighing
  // `intensity`, and copies the sum back. The rest of the frame is not
  // touched, and callers redraw the frame afterwards. A tap weighs at most 1
  // (the colour's alpha is clamped), so intensity / (2 radius + 1) above 1
  // counts as 1. Leaves: blending off (function SrcAlpha, One), texturing
  // off, the texture bound, colour white, matrices as they were, the
  // model-view matrix current, depth test on; when a pass ran, also clear colour
  // (0, 0, 0, 1), viewport the frame and the last pass's sum in the corner.
  void blurPass(int passes, int radius, float spread, float intensity, float dirX, float dirY);
  // blurPass horizontally (1, 0), then vertically (0, 1).
  void blur(int passes, int radius, float spread, float intensity);
  // blurPass as 2 radius + 1 blended quads a pass, tap by tap: what a pass
  // does where the driver cannot run the one-quad blur program, and the
  // reference that program is measured against. Same result and state.
  void blurPassByTaps(int passes, int radius, float spread, float intensity, float dirX, float dirY);
  // Whether blurPass draws one quad a pass with the blur program (GLSL 1.20)
  // rather than tap by tap; useBlurProgram(false) forces the taps (tests).
  static bool blurProgramAvailable();
  static void useBlurProgram(bool use);

  // The target's area as one quad over the viewport, shifted by (ox, oy)
  // clip units (texture coordinates 0..uMax, 0..vMax), in the current state.
  void drawAreaQuad(float ox, float oy) const;

  unsigned textureId = 0; // the texture it owns; 0 when moved from
  int width = 0;       // area copied from the frame; the viewport inside the target
  int height = 0;
  int texWidth = 0;    // the texture: nextPowerOfTwo(width), at least 2, or width + margin (above)
  int texHeight = 0;
  float uMax = 0.f;    // width / texWidth
  float vMax = 0.f;    // height / texHeight
  int screenWidth = kBaseFrameWidth; // the frame: the viewport restored after a copy
  int screenHeight = kBaseFrameHeight;
  // Mipmap levels above 0 a shrinking draw reads (0: none, the base frame).
  int mipLevels = 0;
  float shrinkLevel = 0.f; // the level read: log2 of the frame's scale

  // The bytes of texture memory the targets alive now hold (levels
  // included, 4 bytes a texel: drivers keep RGB8 as RGBX), for memory
  // reports.
  static size_t allocatedBytes();

private:
  // Drawn into a smaller viewport, a large target reads its mipmap at the
  // base picture's level (made first if the copy is newer): true when it
  // does, and readWholeLevels() then puts the plain linear read back.
  bool readAtBaseLevel();
  void readWholeLevels();
  // Deletes the texture and takes its bytes off the tally; leaves textureId 0.
  void release();
  // What this target's texture adds to allocatedBytes().
  size_t bytes() const;
  bool mipmapStale_ = true;
};

// For its lifetime, drawing and clears reach only the frame's lower-left
// width x height corner; the scissor test and box are then as they were.
class CornerScissor {
public:
  CornerScissor(int width, int height);
  ~CornerScissor();
  CornerScissor(const CornerScissor &) = delete;
  CornerScissor &operator=(const CornerScissor &) = delete;

private:
  bool wasOn_;
  int box_[4] = {0, 0, 0, 0};
};

} // namespace demo
