// picture_writer.h - small PNG and JPEG files for the picture loader tests.
//
// writePng writes exactly the PNG layout asked for (any colour type, bit depth,
// palette, tRNS, interlacing), so the loader's expansions can be checked one
// by one. writeJpeg writes a baseline JPEG of any size, grey, RGB or CMYK, at
// quality 100 without chroma subsampling, so decoded colours stay within a few
// steps of the input. Neither is used by the show itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace demo::test {

struct PngLayout {
  int width = 1;
  int height = 1;
  int colorType = 2;       // PNG colour type: 0 grey, 2 RGB, 3 palette, 4 grey+alpha, 6 RGBA
  int bitDepth = 8;        // 1, 2, 4, 8 or 16
  bool interlaced = false; // Adam7
  // Samples exactly as the file stores them: rows top first, each row packed
  // to (width * channels * bitDepth + 7) / 8 bytes, 16-bit samples big-endian.
  std::vector<uint8_t> rows;
  std::vector<uint8_t> palette;        // RGB triples (colour type 3)
  std::vector<uint8_t> paletteAlpha;   // tRNS for a palette: alpha of the first entries
  bool transparentColour = false;      // tRNS for grey/RGB: the one transparent colour
  uint16_t transparent[3] = {0, 0, 0}; // grey in [0]; or R, G, B
};

// Returns false when libpng refuses the layout or the file cannot be written.
bool writePng(const std::string &path, const PngLayout &layout);

// An 8-bit RGB (channels 3) or RGBA (channels 4) PNG, rows top first.
bool writePng(const std::string &path, int width, int height, int channels,
              const std::vector<uint8_t> &pixels);

// components: 1 (grey), 3 (RGB) or 4 (CMYK). pixels: rows top first, no padding.
bool writeJpeg(const std::string &path, int width, int height, int components,
               const std::vector<uint8_t> &pixels, int quality = 100);

// Rewrites the size in a PNG's IHDR (and its CRC), for corrupt-header tests.
void setPngHeaderSize(std::vector<uint8_t> &png, uint32_t width, uint32_t height);
// Rewrites the size in a baseline JPEG's SOF0 marker.
void setJpegHeaderSize(std::vector<uint8_t> &jpeg, uint16_t width, uint16_t height);

} // namespace demo::test
