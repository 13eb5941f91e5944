// text.h - lettering for the baker, from Debian's DejaVu fonts through
// FreeType: flat text as pictures (credits, overlays, logos) and solid text
// as meshes (extruded glyph outlines, tessellated with the GLU tessellator).
//
// Fonts come from fonts-dejavu-core, which the setup script installs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bake/image.h"
#include "bake/mesh_builder.h"

namespace demo::bake {

extern const char *const kFontSans;
extern const char *const kFontSansBold;
extern const char *const kFontSerifBold;
extern const char *const kFontMonoBold;

// The text rendered white on transparent (RGBA, alpha = coverage), `pixelSize`
// pixels per em, tight round the ink plus `padding` pixels on every side.
// `tracking` adds that many pixels between letters. Empty image when the font
// cannot be loaded (a line on stderr). At `detail` the sizes are base pixels
// and the picture is exactly the detail-1 picture's size times the detail:
// the line is laid out and hinted as at detail 1, and each letter's outline
// is scaled up and rasterised on the finer pixels.
Image renderText(const std::string &text, int pixelSize, const char *font, int padding = 0, float tracking = 0.f,
                 int detail = 1);

// One character of a line as renderText lays it out (kerning, tracking, each
// glyph on the pen's whole base pixel): its ink, coverage bytes (rows x
// width) at the detail, and where that lies from the pen's start on the
// baseline (y down) in pixels of the detail; and where its detail-1 ink lies,
// in base pixels (a line's ink box is made of those at every detail, the
// finer ink lying inside it). A blank character, or one the font cannot
// give, has no ink.
struct GlyphInk {
  int left = 0, top = 0, width = 0, rows = 0;
  std::vector<uint8_t> coverage;
  int baseLeft = 0, baseTop = 0, baseWidth = 0, baseRows = 0;
};
// The characters of `text`, one GlyphInk each, in order; false (with a line
// on stderr) when the font cannot be loaded.
bool layoutGlyphs(const std::string &text, int pixelSize, const char *font, float tracking, int detail,
                  std::vector<GlyphInk> &glyphs);

// Draws text into `target` centred on (cx, baseline-centred cy), tinted
// `colour` (alpha scales the coverage), at the target's detail; positions,
// sizes and the returned drawn width are in base pixels.
float drawTextCentred(Image &target, const std::string &text, float cx, float cy, int pixelSize, const char *font,
                      const Colour &colour, float tracking = 0.f);

// Solid letters: the glyph outlines of `text` at `height` units per em,
// extruded `depth` units along -z (front face at z = 0 facing +z), centred on
// the origin in x and y. Front and back faces are tessellated; the sides have
// flat normals per segment. UVs: front and back map the text's bounding box
// to [0, 1] (v down); sides run u along the outline, v across the depth.
MeshData extrudeText(const std::string &text, float height, float depth, const char *font, float tracking = 0.f);

} // namespace demo::bake
