// png_writer.h - writing pictures as PNG, for captures, reports and the baked
// data set. The rows are filtered here and compressed with libdeflate, about
// twice as fast as zlib at the captures' level and a few per cent smaller.
//
// Rows are given top first (or bottom first, see RowOrder), 8 bits a
// channel, 3 (RGB) or 4 (RGBA) channels. compressionLevel is 0-9 as in zlib (0 stores): captures use 1 (fast; every
// row filtered "up"), reports and the data set 9 (each row takes the filter
// whose bytes sum smallest). The same pixels and level always give the same
// bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace demo {

// The order of the rows handed in: top first (pictures), or bottom first as
// OpenGL reads frames back, which is then written the right way up without
// turning the rows over in memory first.
enum class RowOrder { TopFirst, BottomFirst };

std::vector<uint8_t> encodePng(const uint8_t *pixels, int width, int height, int channels, int compressionLevel,
                               RowOrder order = RowOrder::TopFirst);

// encodePng to a file, whole or not at all (see writeWholeFile). False when
// it cannot be written: with `error` given, the line that says so
// ("PATH: cannot write: No space left on device") goes there; without it, to
// standard error.
bool writePngFile(const std::string &path, const uint8_t *pixels, int width, int height, int channels,
                  int compressionLevel, RowOrder order = RowOrder::TopFirst, std::string *error = nullptr);

// Turns a frame read back from OpenGL (bottom row first, RGB) into rows top
// first, in place.
void flipRows(std::vector<uint8_t> &pixels, int width, int height, int channels);

} // namespace demo
