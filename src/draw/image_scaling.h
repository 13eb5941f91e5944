// image_scaling.h - the picture scaling and mipmap building the show got from
// GLU (gluScaleImage, gluBuild2DMipmaps), done here without GL so that a
// backend without GLU uploads the same bytes.
//
// Pictures are tightly packed 8-bit RGB (3 channels) or RGBA (4), rows in the
// order given, no padding. The results are GLU's own, byte for byte (Mesa's
// libGLU, SGI's algorithm), rounding and edge quirks included:
// - scaleImage works as gluScaleImage does for GL_UNSIGNED_BYTE: each byte
//   widened to 16 bits (x 257), a box filter over the fractional source area
//   of each new pixel (an enlarged picture wraps around at its edges), or a
//   2 x 2 average when the picture is exactly halved, and the top 8 bits kept.
// - buildMipmaps gives the levels gluBuild2DMipmaps uploads: level 0 at
//   mipmapSize (the picture itself when it already has that size, else its
//   8-bit box filter), then each level the rounded 2 x 2 average of the one
//   before (a plain average of 2 along a side of 1), down to 1 x 1. GLU's
//   box filter leaves the last row 0 when only the width is scaled (3 x 4,
//   800 x 128, any N x 1), and its boxes of more than two rows (a picture
//   over the maximum size) take their first and last columns from pixels
//   drifting right by a pixel a row; both as GLU does.
#pragma once

#include <cstdint>
#include <vector>

namespace demo::draw {

// The power of two GLU rounds a side to: up from 1.5 times a power of two
// (3 -> 4, 5 -> 4, 6 -> 8, 700 -> 512, 1000 -> 1024).
int nearestPowerOfTwo(int n);

struct ImageSize {
  int width, height;
};

// The level-0 size gluBuild2DMipmaps picks for a picture: each side's
// nearestPowerOfTwo, both halved (never below 1) while a side is over
// maxTextureSize (GL_MAX_TEXTURE_SIZE).
ImageSize mipmapSize(int width, int height, int maxTextureSize);

// gluScaleImage's result: newWidth x newHeight, `channels` bytes a pixel.
std::vector<uint8_t> scaleImage(const uint8_t *pixels, int width, int height, int channels, int newWidth,
                                int newHeight);

struct MipLevel {
  int width, height;
  std::vector<uint8_t> pixels;
};

// The levels gluBuild2DMipmaps uploads, level 0 first, the last one 1 x 1.
std::vector<MipLevel> buildMipmaps(const uint8_t *pixels, int width, int height, int channels,
                                   int maxTextureSize);

} // namespace demo::draw
