// water_textures.h - the pictures of the water scene: the eight materials of
// the tank room, the pool's sphere environment map, and the three pictures
// the scene loads without drawing (a height map, a logo, a square).
//
// The water scene draws its room with lighting off, in white fog, and then
// adds a blurred copy of the frame over itself (roughly doubling every broad
// area's brightness). So these pictures carry the room's light themselves and
// are painted dark: surfaces at 0.05 to 0.3, with lamps, screens and worn
// edges as the only bright spots, which the glow turns into halos.
//
// Use: each function paints one picture from fixed seeds; the same call
// always gives the same pixels. Sizes are the ones water_room.h lays its
// texture coordinates out for (the atlases' cells are defined there), in
// base pixels: at `detail` (image.h) a picture holds detail x detail pixels
// for each of them and shows the same thing more finely.
//
// What it does not do: write files (bakeWater in water.cpp does).
#pragma once

#include "bake/image.h"

namespace demo::bake {

// The room's materials, one per mesh of kWaterMeshes (same order).
Image paintOutermostBars(int detail = 1);  // blue-grey painted steel, chipped to rust, bolt plates
Image paintSecondBars(int detail = 1);     // red-oxide girders with rivet rows and load marks
Image paintBoxCables(int detail = 1);      // cable sheathing: tracer stripe, print, ribbing, ties
Image paintLowerBars(int detail = 1);      // worn safety-yellow railing paint
Image paintShell(int detail = 1);          // the atlas of walls, ceiling lamps, floor and the hung box
Image paintTank(int detail = 1);           // riveted teal steel plates, rust streaks
Image paintThickCables(int detail = 1);    // black rubber with a sheen and marker bands
Image paintScreensAndBars(int detail = 1); // four glowing screens over a band of dark bar steel

// The pool's reflection: a sphere map of the dim hall (lamp strips above, the
// foggy far end ahead, screen glows at the horizon).
Image paintWaterEnvironment(int detail = 1);
// A tileable ripple height picture (grey), which the scene turns into a
// normal map on loading.
Image paintWaterBump(int detail = 1);
// The group's name in bevelled chrome letters.
Image paintLogo3d(int detail = 1);
// A bevelled, softly glowing square.
Image paintSquare(int detail = 1);

} // namespace demo::bake
