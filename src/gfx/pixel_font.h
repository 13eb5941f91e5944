// pixel_font.h - the one 5 x 7 pixel font: capitals, small letters, digits
// and . : - /, for the lines of text the show's tools draw (the viewer's time
// line, the labels of the contact sheet).
//
// A glyph is its 7 rows, top first, one byte a row, bit 4 the leftmost of its
// 5 columns; text advances 6 columns a character (one column of space).
//
// Use:
//   if (const uint8_t *rows = pixelGlyph(c))
//     for (int row = 0; row < kPixelFontHeight; ++row)
//       for (int column = 0; column < kPixelFontWidth; ++column)
//         if (rows[row] & (0x10 >> column)) ...light the dot...
//
// What it does not do: draw (text_line.h draws over the GL picture, the
// contact sheet into an RGB picture), or fold case: 'a' and 'A' are two
// glyphs, and a caller that wants one case maps the character first.
#pragma once

#include <cstdint>

namespace demo {

constexpr int kPixelFontWidth = 5;
constexpr int kPixelFontHeight = 7;
constexpr int kPixelFontAdvance = 6;

// The 7 rows of the glyph of `c`; null for a character the font does not have.
const uint8_t *pixelGlyph(char c);

} // namespace demo
