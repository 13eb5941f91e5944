// frame_size.h - the size of the show's picture, and the rules by which each
// length measured in its pixels follows that size.
//
// The show is written for an 800 x 600 picture. At render scale s it draws
// the same 4:3 picture with (800 s) x (600 s) real pixels, so that a large
// screen or video gets pixels of its own instead of a stretched 800 x 600
// one; at s = 1 every frame is what it always was. This is the one place
// that names the base size. The rules, each applied where the length is
// used:
// - 2D overlays, the loading screen, the titles and the time line are
//   placed in base units (overlay.h maps them to clip space), so they grow
//   with the picture and need nothing here.
// - A length of the picture (a letterbox bar, a band's row) becomes
//   x() or y() of it: v w / 800 across, v h / 600 up, worked out exactly in
//   double and rounded to float once, so at s = 1 it is v itself and the
//   drawing code's own float arithmetic and integer conversions that follow
//   give the same whole pixels as ever.
// - Viewports of a band between two bars come from band(): the bar scaled
//   by y(), then the base picture's own truncations, so a band of whole base
//   rows at a whole scale stays exactly symmetric.
// - Sizes that are not tied to an axis (point sizes, blur offsets measured
//   in the picture's pixels) are multiplied by scale().
// Render targets that hold a copy of the whole picture take the frame's
// size; the small glow targets keep theirs (render_target.h).
//
// What it does not do: touch OpenGL, or decide the scale (the command line
// and the window do).
#pragma once

namespace demo {

// The size the show is written for: the units of every 2D overlay.
constexpr int kBaseFrameWidth = 800;
constexpr int kBaseFrameHeight = 600;
// The largest render scale the command line takes: 6400 x 4800.
constexpr double kMaxRenderScale = 8.0;
// A copy of a frame above the base size has a texture up to this many
// texels larger than the frame on each side (render_target.h).
constexpr int kCopyMargin = 16;

struct PixelBox {
  int x, y, width, height;
};

struct FrameSize {
  int width = kBaseFrameWidth;
  int height = kBaseFrameHeight;

  // (800 s) x (600 s), each rounded to whole pixels. A scale below 1 or not
  // a number gives the base size.
  static FrameSize atScale(double s);
  // The largest 4:3 picture inside width x height (1440 x 1080 in 1920 x
  // 1080), never smaller than the base size.
  static FrameSize largestInside(int width, int height);

  bool isBase() const { return width == kBaseFrameWidth && height == kBaseFrameHeight; }
  // The vertical scale, height / 600 (1 for the base size).
  double scale() const;
  // A horizontal length of the base picture in this frame's pixels:
  // v w / 800, exactly v at the base size.
  float x(float v) const;
  // A vertical one: v h / 600.
  float y(float v) const;
  // A size tied to no axis (a point size, a blur offset): v scale().
  float size(float v) const;
  // The full-width band between a bar `bar` base rows high at the bottom and
  // one as high at the top: b = y(bar), from row (int) b, (int)(h - 2 b)
  // rows high, as the base picture always truncated them.
  PixelBox band(float bar) const;
};

} // namespace demo
