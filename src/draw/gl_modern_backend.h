// gl_modern_backend.h - the drawing interface without the fixed-function
// pipeline: OpenGL 3.3 core or OpenGL ES 3.0 (WebGL 2's API).
//
// Batches and indexed arrays stream into vertex buffers (quads become two
// triangles each, 32-bit indices kept), and one program does for every draw
// what the fixed pipeline did for the state the show uses: the matrices,
// per-vertex lighting with the show's lights and material, linear fog from
// the eye distance, sphere-map coordinates and the texture matrices, the
// current colour, modulate on units 0 and 1, and the point size. Everything it
// needs is read from the drawing State at each draw; the state a core context
// still has (blending, depth, culling, scissor, masks, viewport, textures)
// is handed to the same GL calls as the classic backend makes.
//
// Shader programs given to it are fragment programs in the show's GLSL 1.20
// dialect (gl_TexCoord[0..1], gl_Color, gl_FragColor, texture2D); it compiles
// them in its own version with the same meaning and links them with its
// vertex stage, so the program sees what the fixed vertex stage gave it.
//
// Where the core profile's and OpenGL ES 3.0's rules differ from the
// compatibility profile's:
// - GL_CLAMP does not exist: Clamp wraps as clamp to border (the same texels
//   for coordinates from 0 to 1, the only ones the show clamps). OpenGL ES
//   3.0 has a border only with EXT/OES_texture_border_clamp (or from ES
//   3.2); without one (WebGL 2) Clamp is ClampToEdge, and a linearly filtered
//   edge texel is no longer blended with the transparent black border: the
//   top and bottom rows of the loading bar and the corridor's bands then
//   differ by up to 2 and 76 levels;
// - the frame is RGBA, its alpha kept at 1 (colour writes never touch alpha),
//   so copies into RGB and RGBA textures read alpha 1 as the classic frame's
//   RGB buffer gives it.
//
// It needs a current context of its kind with its entry points loaded
// (GLEW), which the window provides.
#pragma once

#include <memory>

#include "draw/draw.h"

namespace demo::draw {

// Which API the backend draws with.
enum class ModernApi : uint8_t { Core33, Es30 };

std::unique_ptr<Backend> makeModernBackend(ModernApi api);

// Whether the current context (OpenGL 3.0 or later, core or ES) lists the
// extension `name`.
bool hasExtension(const char *name);

} // namespace demo::draw
