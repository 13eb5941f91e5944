// texture.h - the show's one picture type: an OpenGL 2D texture from a JPEG
// or PNG file.
//
// Use:
//   Texture logo("data/logo.png", 0);      // loads at once
//   logo.bind();  ...draw...  logo.unbind();
//   logo.drawAt(0, 0, 1);                   // 2D overlay in screen pixels (overlay.cpp)
//
// The file's signature decides the decoder (PNG magic or JPEG SOI), not the
// case of its extension; an unknown signature is reported and the texture
// stays empty. Both decoders put the picture's top row at t = 0.
//
// - JPEG (libjpeg-turbo): decoded to RGB (grey files too), uploaded with
//   a mipmap chain scaled as GLU's mipmap builder scales it
//   (draw::textureMipmapped), minifying filter LinearMipmapNearest, magnifying
//   Linear, wrap left at Repeat. The decoded bytes stay in `pixels` (rows top first, 3
//   bytes a pixel, no padding) for scenes that read colours from them. With
//   normalMap 1 the red channel is taken as a height map and replaced by its
//   normal map before the upload. A file that cannot be opened shows "Unable
//   to load JPG File!" with the path as caption (the standard-error line adds
//   the system's reason); a broken file is reported on stderr; either way
//   textureId stays 0. A damaged file that the decoder recovers (cut off in its
//   scan, a corrupt marker, a broken marker after the last row) loads with
//   the grey or garbled blocks libjpeg makes of it, and one line names it and
//   says so.
// - PNG (libpng, pngBind): palette, grey, 16-bit and tRNS expanded to 8-bit
//   RGB/RGBA, scaled up to powers of two, mipmapped, uploaded as RGBA when the
//   file has alpha and RGB otherwise; wrap Repeat, filters Linear. No
//   bytes are kept. A file that cannot be loaded leaves textureId 0 (and a line
//   on stderr). A file cut off or broken in its image data is drawn down to
//   the last row that decodes, the rest transparent (black in a picture
//   without alpha), and one line says from which row (PngImage::damage).
//
// An empty Texture (default constructor) has no GL texture; another texture's
// name may be stored in textureId and it then binds like any other.
//
// Paths go through resolveDataPath ("data/..." means the data directory), and
// messages name the path that was opened, once per file. A picture of the
// data set is painted at the set's detail (dataDetail): drawAt and the
// callers that size things from a picture use baseWidth()/baseHeight(), so a
// detail-2 picture lands where its detail-1 picture does; one whose size is
// not its base size (dataSetPictureSize) times the detail is reported, and
// drawn at the detail its size says (1, 2 or 4 times its base size), else at
// the set's.
// Drawing state: a successful load (and pngBind) leaves the new texture bound
// on the active unit; the pixel pack/unpack alignment is put back as it was;
// the texturing enables are not touched. A file that cannot be opened or
// decoded makes no drawing call.
// What it does not do: free its GL texture (textures live as long as the show).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "draw/draw.h"

namespace demo {

class Texture {
public:
  Texture();
  Texture(const char *path, int normalMap);
  Texture(const Texture &) = delete;
  Texture &operator=(const Texture &) = delete;

  void load(const char *path, int normalMap);

  // Texturing on (Cap::Texture2D) and bound on the active unit.
  void bind();
  // Texturing off; the binding stays.
  void unbind();
  // Bind and enable on `unit`; leaves unit 0 active.
  void bindUnit(int unit);
  // Bind and disable on `unit`; leaves unit 0 active.
  void unbindUnit(int unit);

  // Screen overlays (overlay.cpp). Positions and sizes in pixels of the
  // 800 x 600 base picture, origin bottom-left (overlay.h).
  void drawAt(float x, float y, float scale);
  void drawSprite(float x, float y, float w, float h, float uSpan, float vSpan, float uStart, float vStart);

  // The texture memory every picture loaded so far took, mipmaps included
  // (for memory reports; textures are never freed).
  static size_t allocatedBytes();

  // The size the picture is drawn at by drawAt, in base pixels: its own size
  // over its detail.
  float baseWidth() const { return static_cast<float>(width) / static_cast<float>(detail); }
  float baseHeight() const { return static_cast<float>(height) / static_cast<float>(detail); }

  bool loaded = false;
  unsigned textureId = 0;
  int width = 0;  // the file's own size, in pixels
  int height = 0;
  // Pixels per base pixel on each axis: the data set's detail for a picture
  // of the set ("data/..."; a picture of another detail, its own), else 1.
  int detail = 1;
  std::vector<uint8_t> pixels; // JPEG only: RGB rows, top first
};

// A decoded JPEG: stride = 3 * width bytes a row, top row first.
struct JpegImage {
  int stride = 0;
  int width = 0;
  int height = 0;
  std::vector<uint8_t> data;
  bool empty() const { return data.empty(); }
};

// Decodes a JPEG file to RGB. A file that cannot be opened shows "Unable to
// load JPG File!" (caption: the path; the standard-error line adds the
// system's reason); a broken file is reported on stderr as "<path>: <reason>".
// Both return an empty image. A damaged file that the decoder recovers returns
// the recovered picture, and "<path>: <libjpeg's warning> (the picture is drawn
// as the decoder recovered it)" is said once.
JpegImage loadJpeg(const char *path);

// The normal map of a height image (red byte of each RGB pixel), same size:
// R = (H(x,y) - H(x+d,y) + 255) / 2, G = (H(x,y) - H(x,y+d) + 255) / 2,
// B = 255, neighbours wrapping at the right and bottom edges; d is the
// picture's detail (the neighbour one base pixel away).
std::vector<uint8_t> heightToNormalMap(const std::vector<uint8_t> &rgb, int width, int height, int detail = 1);

// A decoded PNG, 8 bits a channel, 3 (RGB) or 4 (RGBA) channels, top row first.
struct PngImage {
  int width = 0;
  int height = 0;
  int channels = 0;
  std::vector<uint8_t> data;
  // Empty for a whole picture. For a file cut off or broken in its image data,
  // the one line to say about it ("the picture is damaged from row N of H
  // (...); ..."): the rows above row N are as they decoded (scrambled data
  // can give a row or two of noise just above), every byte from row N on is
  // 0 (transparent with 4 channels, black with 3). An interlaced picture has
  // no complete row before its last pass and is then all 0.
  std::string damage;
  bool empty() const { return data.empty(); }
};

// Decodes a PNG file, expanding palette, grey, 16-bit and tRNS to 8-bit RGB or
// RGBA. Returns an empty image (and `error` says why) when it cannot: missing
// ("cannot open: <system's reason>"), not a PNG, over the size limits
// ("picture too large (W x H): over the limit of ..."), or broken before its
// image data. Damage in the image data still returns the picture (`damage`).
PngImage decodePng(const char *path, std::string *error = nullptr);

// The contract of the show's PNG loader: decode, scale up to powers of two,
// build mipmaps, upload RGBA with alpha else RGB, set wrap and filters. Returns
// the new texture name (0 on failure) and the file's own size.
unsigned pngBind(const char *path, draw::TextureValue wrap, draw::TextureValue minFilter,
                 draw::TextureValue magFilter, int *width, int *height);

// What a file's first bytes say it is.
enum class PictureKind { Png, Jpeg, Unknown };
PictureKind pictureKind(const uint8_t *bytes, size_t count);

} // namespace demo
