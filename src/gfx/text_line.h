// text_line.h - one line of plain text over the picture, for the viewer's
// time line: the 5 x 7 pixel font (pixel_font.h: capitals, digits and
// . : - /; small letters are drawn as capitals, anything else as a space)
// on a dark strip, in screen pixels of the 800 x 600 base picture (origin
// bottom-left), so it grows with the picture at a render scale.
//
// Leaves the GL state as it found it (attributes and both matrices pushed and
// popped).
#pragma once

#include <string>

#include "base/frame_size.h"

namespace demo {

// The 7 rows of the glyph the line draws for `c` (pixelGlyph of its
// capital for a letter), top first, 5 bits each (bit 4 the leftmost
// column); null for a character drawn as a space.
const unsigned char *glyphRows(char c);

// Draws `text` with its lower-left corner at (x, y), each font pixel
// `scale` screen pixels, white on a translucent black strip, over the whole
// of a frame of size `frame`.
void drawTextLine(const FrameSize &frame, const std::string &text, float x, float y, float scale);

} // namespace demo
