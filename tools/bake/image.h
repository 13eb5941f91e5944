// image.h - pictures in memory for the baker, and the small kit of drawing,
// noise and colour helpers the asset groups paint with.
//
// Image holds 8-bit pixels, 3 (RGB) or 4 (RGBA) channels, rows top first,
// the way the show's decoders hand pictures to OpenGL. Colours in the helpers
// are floats 0..1 (Colour); they are rounded and clamped when stored.
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
  Image(int width, int height, int channels, Colour fill = Colour{0.f, 0.f, 0.f, 1.f});

  int width = 0;
  int height = 0;
  int channels = 0;
  std::vector<uint8_t> data; // width * height * channels, rows top first

  bool empty() const { return data.empty(); }
  bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  Colour get(int x, int y) const; // clamped to the edges
  void set(int x, int y, const Colour &c);
  // Blends c over the pixel with weight c.a * coverage (alpha: "over").
  void blend(int x, int y, const Colour &c, float coverage = 1.f);
  // Adds c * weight to the pixel's rgb (clamped).
  void add(int x, int y, const Colour &c, float weight = 1.f);

  // Shapes, antialiased at their edges; coordinates in pixels, y down.
  void fillRect(float x0, float y0, float x1, float y1, const Colour &c);
  void fillCircle(float cx, float cy, float radius, const Colour &c);
  void strokeRect(float x0, float y0, float x1, float y1, float width, const Colour &c);
  void line(float x0, float y0, float x1, float y1, float width, const Colour &c);
  // A soft round glow: weight (1 - d / radius)^falloff, added.
  void glow(float cx, float cy, float radius, const Colour &c, float falloff = 2.f);

  // Draws `src` with its top-left corner at (x, y), blending by its alpha.
  void draw(const Image &src, int x, int y, float opacity = 1.f);
  // An RGB copy (alpha dropped) or an RGBA copy (alpha 1 where there was none).
  Image rgb() const;
  Image rgba() const;
  // Box-filtered resample to a new size.
  Image resized(int newWidth, int newHeight) const;
  // Gaussian-ish blur (three box passes) of the given radius in pixels.
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

// Every pixel of the region x0 <= x < x1, y0 <= y < y1 set to f(x, y), a
// Colour, row by row from the top.
template <class F> void paintRegion(Image &image, int x0, int y0, int x1, int y1, F f) {
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      image.set(x, y, f(x, y));
}

// A new RGB picture with every pixel from f(x, y).
template <class F> Image paintImage(int width, int height, F f) {
  Image image(width, height, 3);
  paintRegion(image, 0, 0, width, height, f);
  return image;
}

// A sphere environment map: pixel (x, y) of a size x size picture maps to the
// direction the sphere-map texgen of OpenGL reflects into it; `sky` gives
// the colour seen in that direction (eye space: x right, y up, z towards the
// viewer). The show's loaders put a picture's top row at t = 0 and GL's t
// grows with the reflection's y, so "up" lands in the lower half of the
// stored picture. Pixels outside the disc repeat the rim colour.
template <class Sky> Image sphereMap(int size, Sky sky) {
  Image image(size, size, 3);
  for (int py = 0; py < size; ++py) {
    for (int px = 0; px < size; ++px) {
      float s = (px + 0.5f) / size * 2.f - 1.f;
      float t = (py + 0.5f) / size * 2.f - 1.f;
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

} // namespace demo::bake
