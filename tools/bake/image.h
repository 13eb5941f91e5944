// image.h - pictures in memory for the baker, and the small kit of drawing,
// noise and colour helpers the asset groups paint with.
//
// Image holds 8-bit pixels, 3 (RGB) or 4 (RGBA) channels, rows top first,
// the way the show's decoders hand pictures to OpenGL. Colours in the helpers
// are floats 0..1 (Colour); they are rounded and clamped when stored.
//
// Detail: every picture is designed at one size, its base size (a 256 x 256
// wall, the 800 x 600 loading screen), and can be painted at 1, 2 or 4 times
// that detail. A picture at detail d holds d x d pixels for each base pixel.
// Its shapes (fillRect, fillCircle, line, glow, blur, text) take
// coordinates and lengths in base pixels and are drawn with the finer
// pixels, so one painter makes the same picture at every detail; get, set,
// blend and add address the pixels themselves. At detail 1 every length is
// multiplied by 1, so a picture is what it has always been, byte for byte.
//
// Rng is the only source of randomness in the baker (a fixed-seed
// xorshift-multiply generator): the same seed gives the same numbers on
// every machine. The noise functions are pure functions of their arguments.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace demo::bake {

struct Colour {
  float r = 0.f, g = 0.f, b = 0.f, a = 1.f;
};

Colour mix(const Colour &a, const Colour &b, float t);
Colour scaled(const Colour &c, float k); // rgb times k, alpha kept
float clamp01(float v);
float smoothstep(float edge0, float edge1, float x);

class Image {
public:
  Image() = default;
  // A picture of width x height pixels, at detail 1.
  Image(int width, int height, int channels, Colour fill = Colour{0.f, 0.f, 0.f, 1.f});
  // A picture of baseWidth x baseHeight base pixels painted at `detail`: it
  // holds (baseWidth * detail) x (baseHeight * detail) pixels.
  static Image atDetail(int baseWidth, int baseHeight, int channels, int detail,
                        Colour fill = Colour{0.f, 0.f, 0.f, 1.f});

  int width = 0;  // pixels held
  int height = 0;
  int channels = 0;
  int detail = 1; // pixels per base pixel, on each axis
  std::vector<uint8_t> data; // width * height * channels, rows top first

  int baseWidth() const { return width / detail; }
  int baseHeight() const { return height / detail; }

  bool empty() const { return data.empty(); }
  bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  Colour get(int x, int y) const; // clamped to the edges
  void set(int x, int y, const Colour &c);
  // Blends c over the pixel with weight c.a * coverage (alpha: "over").
  void blend(int x, int y, const Colour &c, float coverage = 1.f);
  // Adds c * weight to the pixel's rgb (clamped).
  void add(int x, int y, const Colour &c, float weight = 1.f);

  // Shapes, antialiased at their edges; coordinates and widths in base
  // pixels, y down.
  void fillRect(float x0, float y0, float x1, float y1, const Colour &c);
  void fillCircle(float cx, float cy, float radius, const Colour &c);
  void strokeRect(float x0, float y0, float x1, float y1, float width, const Colour &c);
  void line(float x0, float y0, float x1, float y1, float width, const Colour &c);
  // A soft round glow: weight (1 - d / radius)^falloff, added.
  void glow(float cx, float cy, float radius, const Colour &c, float falloff = 2.f);

  // An RGB copy (alpha dropped) or an RGBA copy (alpha 1 where there was none),
  // at the same detail.
  Image rgb() const;
  Image rgba() const;
  // Box-filtered resample to a new size in pixels (the detail is kept: give
  // base sizes times `detail`).
  Image resized(int newWidth, int newHeight) const;
  // Gaussian-ish blur (three box passes) of the given radius in base pixels:
  // each box spans 2 radius + 1 base pixels at every detail.
  void blur(int radius);
};

// Deterministic random numbers.
class Rng {
public:
  explicit Rng(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) {}
  uint32_t next();
  float uniform();                    // [0, 1)
  float range(float lo, float hi);    // [lo, hi)
  int below(int n);                   // 0 .. n-1

private:
  uint64_t state_;
};

// Value noise on a lattice, smoothly interpolated, in [0, 1]. With a period
// (in lattice cells) it tiles, so a texture on GL_REPEAT shows no seam.
float valueNoise(float x, float y, uint32_t seed, int period = 0);
// Sum of `octaves` noise layers, each twice the frequency and `gain` the
// amplitude of the last, normalised to [0, 1].
float fbm(float x, float y, uint32_t seed, int octaves, float gain = 0.5f, int period = 0);
// 3D value noise in [0, 1] (for environment maps, which have no seam to hide).
float valueNoise3(float x, float y, float z, uint32_t seed);

// Where pixel i (0-based) of a picture at `detail` lies, in base pixels: the
// base coordinate of its centre, less half a base pixel. At detail 1 that is
// i itself; at detail 2 pixels 0 and 1 are -0.25 and 0.25, so a painter that
// takes the centre as (x + 0.5) sees 0.25 and 0.75 of base pixel 0.
inline float basePosition(int i, int detail) {
  return detail == 1 ? static_cast<float>(i) : (static_cast<float>(i) + 0.5f) / static_cast<float>(detail) - 0.5f;
}
// The base pixel a basePosition lies in (for patterns that are whole base
// pixels: dashes, per-pixel grain, pixel-art).
inline int baseCell(float x) { return static_cast<int>(std::floor(x + 0.5f)); }

// Every pixel of the region x0 <= x < x1, y0 <= y < y1 (base pixels) set to
// f(x, y), a Colour, row by row from the top; x and y are the pixel's
// basePosition (whole numbers at detail 1, finer steps above).
template <class F> void paintRegion(Image &image, int x0, int y0, int x1, int y1, F f) {
  const int d = image.detail;
  for (int y = y0 * d; y < y1 * d; ++y) {
    const float by = basePosition(y, d);
    for (int x = x0 * d; x < x1 * d; ++x)
      image.set(x, y, f(basePosition(x, d), by));
  }
}

// A new RGB picture of width x height base pixels at `detail`, every pixel
// from f(x, y) as in paintRegion.
template <class F> Image paintImage(int width, int height, F f, int detail = 1) {
  Image image = Image::atDetail(width, height, 3, detail);
  paintRegion(image, 0, 0, width, height, f);
  return image;
}

// A sphere environment map: pixel (x, y) of a size x size picture maps to the
// direction the sphere-map texgen of OpenGL reflects into it; `sky` gives
// the colour seen in that direction (eye space: x right, y up, z towards the
// viewer). The show's loaders put a picture's top row at t = 0 and GL's t
// grows with the reflection's y, so "up" lands in the lower half of the
// stored picture. Pixels outside the disc repeat the rim colour. At `detail`
// the picture has size * detail pixels a side, sampling the same directions
// more finely.
template <class Sky> Image sphereMap(int size, Sky sky, int detail = 1) {
  Image image = Image::atDetail(size, size, 3, detail);
  const int pixels = size * detail;
  for (int py = 0; py < pixels; ++py) {
    for (int px = 0; px < pixels; ++px) {
      float s = (px + 0.5f) / pixels * 2.f - 1.f;
      float t = (py + 0.5f) / pixels * 2.f - 1.f;
      float r2 = s * s + t * t;
      if (r2 > 1.f) {
        float k = 1.f / std::sqrt(r2);
        s *= k * 0.999f;
        t *= k * 0.999f;
        r2 = s * s + t * t;
      }
      // The sphere map's normal at (s, t) reflects the view vector (0, 0, -1)
      // into r = (2 nz nx, 2 nz ny, 2 nz^2 - 1).
      float nz = std::sqrt(std::max(0.f, 1.f - r2));
      float dx = 2.f * nz * s, dy = 2.f * nz * t, dz = 2.f * nz * nz - 1.f;
      image.set(px, py, sky(dx, dy, dz));
    }
  }
  return image;
}

// Encoders (libjpeg-turbo and libpng), deterministic. JPEG is always written
// with three components; PNG with the image's own channel count.
std::vector<uint8_t> encodeJpeg(const Image &image, int quality);
std::vector<uint8_t> encodePng(const Image &image);

// How close two pictures of the same size and channels are: the peak
// signal-to-noise ratio in dB over every channel (alpha included), infinity
// for identical pictures, 0 when the sizes differ.
double psnr(const Image &a, const Image &b);

} // namespace demo::bake
