// corridor_pictures.h - the pictures of the corridor metaball scene, painted
// from noise, shapes and lettering.
//
// The corridor's wall texture is an atlas of vertical columns. Each column
// repeats seamlessly along v (the texture wraps), so a mesh face may run its
// v across many tiles while its u stays inside one column. One tile of 512
// rows spans four rib spacings of the corridor; a wall panel is 128 rows.
// corridor.cpp maps its faces onto these columns.
//
// Use: each function returns a finished picture painted at `detail` (1, 2
// or 4: that many pixels a side per base pixel, image.h); bakeCorridor
// encodes it. Sizes below are base pixels. Nothing here writes files or
// touches OpenGL.
#pragma once

#include "bake/image.h"

namespace demo::bake {

// A column of the corridor atlas: base pixel columns [x0, x1).
struct AtlasColumn {
  int x0, x1;
};

constexpr int kCorridorAtlasSize = 512;
constexpr int kCorridorPanelRows = 128; // one rib spacing along the corridor
constexpr AtlasColumn kWallColumn{0, 192};      // side walls: u from the floor side up
constexpr AtlasColumn kFloorColumn{192, 320};   // tread plate with hazard edges
constexpr AtlasColumn kCeilingColumn{320, 416}; // panels round a light strip
constexpr AtlasColumn kRibColumn{416, 464};     // painted steel with bolts
constexpr AtlasColumn kHazardColumn{464, 496};  // yellow and black stripes
constexpr AtlasColumn kLampColumn{496, 512};    // a lit lamp lens

// "vegg.png": the 512 x 512 RGB atlas above.
Image paintCorridorAtlas(int detail = 1);
// "envmap_metaballs.jpg": a 512 x 512 sphere map of a lit steel hall.
Image paintMetaballEnvironment(int detail = 1);
// "ooo.jpg": a 256 x 256 tile of pale rings and discs; wraps both ways.
Image paintRingPattern(int detail = 1);
// "marker.jpg": 800 x 680, a contour map with a location pin; the pin sits in
// the lower 480 rows, the part the intro shows longest.
Image paintMarker(int detail = 1);
// "greetings.png": 800 x 600 RGB, made to be multiplied over the picture
// below (the scene blends it with GL_DST_COLOR, GL_SRC_ALPHA at 30 % alpha,
// so a pixel value p scales what lies below by p + 0.3): neutral grey 0.7
// leaves it, white letters brighten it, their dark rims darken it.
Image paintGreetings(int detail = 1);
// "overlays/o_kestrane.png": 840 x 160 RGBA, the group's name. Drawn with its
// lower-left corner at (-20, 160), so the word stands centred at x = 400.
Image paintGroupLogo(int detail = 1);

// The metaball program, GLSL 1.20: environment (unit 0) x detail (unit 1) x
// the primary colour.
const char *metaballProgramSource();

} // namespace demo::bake
