#include "bake/image.h"

#include "gfx/png_writer.h"

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace demo::bake {

float clamp01(float v) { return v < 0.f ? 0.f : (v > 1.f ? 1.f : v); }

float smoothstep(float edge0, float edge1, float x) {
  float t = clamp01((x - edge0) / (edge1 - edge0));
  return t * t * (3.f - 2.f * t);
}

Colour mix(const Colour &a, const Colour &b, float t) {
  return Colour{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Colour scaled(const Colour &c, float k) { return Colour{c.r * k, c.g * k, c.b * k, c.a}; }

namespace {
uint8_t toByte(float v) { return static_cast<uint8_t>(std::lround(clamp01(v) * 255.f)); }
float toFloat(uint8_t v) { return static_cast<float>(v) / 255.f; }
} // namespace

Image::Image(int w, int h, int ch, Colour fill) : width(w), height(h), channels(ch) {
  data.resize(static_cast<size_t>(w) * static_cast<size_t>(h) * static_cast<size_t>(ch));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      set(x, y, fill);
}

Image Image::atDetail(int baseWidth, int baseHeight, int ch, int detail, Colour fill) {
  Image image(baseWidth * detail, baseHeight * detail, ch, fill);
  image.detail = detail;
  return image;
}

Colour Image::get(int x, int y) const {
  x = std::clamp(x, 0, width - 1);
  y = std::clamp(y, 0, height - 1);
  const uint8_t *p = &data[(static_cast<size_t>(y) * width + x) * channels];
  return Colour{toFloat(p[0]), toFloat(p[1]), toFloat(p[2]), channels == 4 ? toFloat(p[3]) : 1.f};
}

void Image::set(int x, int y, const Colour &c) {
  if (!inside(x, y))
    return;
  uint8_t *p = &data[(static_cast<size_t>(y) * width + x) * channels];
  p[0] = toByte(c.r);
  p[1] = toByte(c.g);
  p[2] = toByte(c.b);
  if (channels == 4)
    p[3] = toByte(c.a);
}

void Image::blend(int x, int y, const Colour &c, float coverage) {
  if (!inside(x, y))
    return;
  float a = clamp01(c.a * coverage);
  if (a <= 0.f)
    return;
  Colour d = get(x, y);
  Colour out;
  if (channels == 4) {
    float outA = a + d.a * (1.f - a);
    if (outA <= 0.f) {
      set(x, y, Colour{0, 0, 0, 0});
      return;
    }
    out.r = (c.r * a + d.r * d.a * (1.f - a)) / outA;
    out.g = (c.g * a + d.g * d.a * (1.f - a)) / outA;
    out.b = (c.b * a + d.b * d.a * (1.f - a)) / outA;
    out.a = outA;
  } else {
    out = mix(d, c, a);
    out.a = 1.f;
  }
  set(x, y, out);
}

void Image::add(int x, int y, const Colour &c, float weight) {
  if (!inside(x, y))
    return;
  Colour d = get(x, y);
  d.r += c.r * weight;
  d.g += c.g * weight;
  d.b += c.b * weight;
  if (channels == 4)
    d.a = std::max(d.a, clamp01(c.a * weight));
  set(x, y, d);
}

void Image::fillRect(float x0, float y0, float x1, float y1, const Colour &c) {
  const float d = static_cast<float>(detail);
  x0 *= d;
  y0 *= d;
  x1 *= d;
  y1 *= d;
  if (x1 < x0)
    std::swap(x0, x1);
  if (y1 < y0)
    std::swap(y0, y1);
  int ix0 = static_cast<int>(std::floor(x0)), ix1 = static_cast<int>(std::ceil(x1));
  int iy0 = static_cast<int>(std::floor(y0)), iy1 = static_cast<int>(std::ceil(y1));
  for (int y = std::max(iy0, 0); y < std::min(iy1, height); ++y) {
    float cy = std::min(y + 1.f, y1) - std::max(static_cast<float>(y), y0);
    for (int x = std::max(ix0, 0); x < std::min(ix1, width); ++x) {
      float cx = std::min(x + 1.f, x1) - std::max(static_cast<float>(x), x0);
      blend(x, y, c, clamp01(cx) * clamp01(cy));
    }
  }
}

void Image::fillCircle(float cx, float cy, float radius, const Colour &c) {
  const float k = static_cast<float>(detail);
  cx *= k;
  cy *= k;
  radius *= k;
  int x0 = static_cast<int>(std::floor(cx - radius - 1)), x1 = static_cast<int>(std::ceil(cx + radius + 1));
  int y0 = static_cast<int>(std::floor(cy - radius - 1)), y1 = static_cast<int>(std::ceil(cy + radius + 1));
  for (int y = std::max(y0, 0); y < std::min(y1, height); ++y)
    for (int x = std::max(x0, 0); x < std::min(x1, width); ++x) {
      float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy);
      blend(x, y, c, clamp01(radius - d + 0.5f));
    }
}

void Image::strokeRect(float x0, float y0, float x1, float y1, float w, const Colour &c) {
  fillRect(x0, y0, x1, y0 + w, c);
  fillRect(x0, y1 - w, x1, y1, c);
  fillRect(x0, y0 + w, x0 + w, y1 - w, c);
  fillRect(x1 - w, y0 + w, x1, y1 - w, c);
}

void Image::line(float x0, float y0, float x1, float y1, float w, const Colour &c) {
  const float dt = static_cast<float>(detail);
  x0 *= dt;
  y0 *= dt;
  x1 *= dt;
  y1 *= dt;
  float half = w * dt * 0.5f;
  int bx0 = static_cast<int>(std::floor(std::min(x0, x1) - half - 1));
  int bx1 = static_cast<int>(std::ceil(std::max(x0, x1) + half + 1));
  int by0 = static_cast<int>(std::floor(std::min(y0, y1) - half - 1));
  int by1 = static_cast<int>(std::ceil(std::max(y0, y1) + half + 1));
  float dx = x1 - x0, dy = y1 - y0;
  float len2 = dx * dx + dy * dy;
  for (int y = std::max(by0, 0); y < std::min(by1, height); ++y)
    for (int x = std::max(bx0, 0); x < std::min(bx1, width); ++x) {
      float px = x + 0.5f - x0, py = y + 0.5f - y0;
      float t = len2 > 0.f ? std::clamp((px * dx + py * dy) / len2, 0.f, 1.f) : 0.f;
      float d = std::hypot(px - t * dx, py - t * dy);
      blend(x, y, c, clamp01(half - d + 0.5f));
    }
}

void Image::glow(float cx, float cy, float radius, const Colour &c, float falloff) {
  const float dt = static_cast<float>(detail);
  cx *= dt;
  cy *= dt;
  radius *= dt;
  int x0 = static_cast<int>(std::floor(cx - radius)), x1 = static_cast<int>(std::ceil(cx + radius));
  int y0 = static_cast<int>(std::floor(cy - radius)), y1 = static_cast<int>(std::ceil(cy + radius));
  for (int y = std::max(y0, 0); y < std::min(y1, height); ++y)
    for (int x = std::max(x0, 0); x < std::min(x1, width); ++x) {
      float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy) / radius;
      if (d < 1.f)
        add(x, y, c, std::pow(1.f - d, falloff) * c.a);
    }
}

Image Image::rgb() const {
  Image out(width, height, 3);
  out.detail = detail;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      Colour c = get(x, y);
      c.a = 1.f;
      out.set(x, y, c);
    }
  return out;
}

Image Image::rgba() const {
  Image out(width, height, 4);
  out.detail = detail;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      out.set(x, y, get(x, y));
  return out;
}

Image Image::resized(int newWidth, int newHeight) const {
  Image out(newWidth, newHeight, channels);
  out.detail = detail;
  float sx = static_cast<float>(width) / newWidth, sy = static_cast<float>(height) / newHeight;
  for (int y = 0; y < newHeight; ++y)
    for (int x = 0; x < newWidth; ++x) {
      int ax = static_cast<int>(x * sx), bx = std::max(ax + 1, static_cast<int>((x + 1) * sx));
      int ay = static_cast<int>(y * sy), by = std::max(ay + 1, static_cast<int>((y + 1) * sy));
      Colour sum{0, 0, 0, 0};
      int n = 0;
      for (int yy = ay; yy < by; ++yy)
        for (int xx = ax; xx < bx; ++xx) {
          Colour c = get(xx, yy);
          sum.r += c.r;
          sum.g += c.g;
          sum.b += c.b;
          sum.a += c.a;
          ++n;
        }
      out.set(x, y, Colour{sum.r / n, sum.g / n, sum.b / n, sum.a / n});
    }
  return out;
}

void Image::blur(int radius) {
  if (radius <= 0 || empty())
    return;
  // Each pass's box, from `lo` to `hi` pixels about the centre: 2 radius + 1
  // pixels at detail 1. At a higher detail each box spans the same 2 radius
  // + 1 base pixels, an even number of pixels: the first pass reaches one
  // pixel further left (up), the second one further right (down), and the
  // third, centred, is one pixel narrower.
  int reach[3][2] = {{-radius, radius}, {-radius, radius}, {-radius, radius}};
  if (detail > 1) {
    const int half = (2 * radius + 1) * detail / 2;
    reach[0][0] = -half;
    reach[0][1] = half - 1;
    reach[1][0] = -half + 1;
    reach[1][1] = half;
    reach[2][0] = -half + 1;
    reach[2][1] = half - 1;
  }
  std::vector<float> a(data.begin(), data.end()), b(a.size());
  const int ch = channels;
  for (int pass = 0; pass < 3; ++pass) {
    const int lo = reach[pass][0], hi = reach[pass][1];
    for (int dir = 0; dir < 2; ++dir) {
      const int n = dir == 0 ? width : height, lines = dir == 0 ? height : width;
      for (int l = 0; l < lines; ++l)
        for (int c = 0; c < ch; ++c) {
          auto at = [&](int i) -> size_t {
            i = std::clamp(i, 0, n - 1);
            int x = dir == 0 ? i : l, y = dir == 0 ? l : i;
            return (static_cast<size_t>(y) * width + x) * ch + c;
          };
          float sum = 0.f;
          for (int i = lo; i <= hi; ++i)
            sum += a[at(i)];
          for (int i = 0; i < n; ++i) {
            b[at(i)] = sum / (hi - lo + 1);
            sum += a[at(i + hi + 1)] - a[at(i + lo)];
          }
        }
      std::swap(a, b);
    }
  }
  for (size_t i = 0; i < data.size(); ++i)
    data[i] = static_cast<uint8_t>(std::clamp(std::lround(a[i]), 0L, 255L));
}

uint32_t Rng::next() {
  // xorshift64* : small, fast and the same everywhere.
  state_ ^= state_ >> 12;
  state_ ^= state_ << 25;
  state_ ^= state_ >> 27;
  return static_cast<uint32_t>((state_ * 0x2545F4914F6CDD1Dull) >> 32);
}

float Rng::uniform() { return static_cast<float>(next() >> 8) * (1.f / 16777216.f); }
float Rng::range(float lo, float hi) { return lo + (hi - lo) * uniform(); }
int Rng::below(int n) { return n <= 0 ? 0 : static_cast<int>(next() % static_cast<uint32_t>(n)); }

namespace {

uint32_t hash3(int x, int y, int z, uint32_t seed) {
  uint32_t h = seed * 0x27D4EB2Du ^ static_cast<uint32_t>(x) * 0x85EBCA6Bu ^ static_cast<uint32_t>(y) * 0xC2B2AE35u ^
               static_cast<uint32_t>(z) * 0x165667B1u;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return h;
}

float lattice(int x, int y, int z, uint32_t seed) { return static_cast<float>(hash3(x, y, z, seed) >> 8) / 16777215.f; }

float fade(float t) { return t * t * t * (t * (t * 6.f - 15.f) + 10.f); }

int wrap(int i, int period) {
  if (period <= 0)
    return i;
  i %= period;
  return i < 0 ? i + period : i;
}

} // namespace

float valueNoise(float x, float y, uint32_t seed, int period) {
  int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
  float fx = fade(x - ix), fy = fade(y - iy);
  float v00 = lattice(wrap(ix, period), wrap(iy, period), 0, seed);
  float v10 = lattice(wrap(ix + 1, period), wrap(iy, period), 0, seed);
  float v01 = lattice(wrap(ix, period), wrap(iy + 1, period), 0, seed);
  float v11 = lattice(wrap(ix + 1, period), wrap(iy + 1, period), 0, seed);
  return (v00 + (v10 - v00) * fx) + ((v01 + (v11 - v01) * fx) - (v00 + (v10 - v00) * fx)) * fy;
}

float fbm(float x, float y, uint32_t seed, int octaves, float gain, int period) {
  float sum = 0.f, amplitude = 1.f, total = 0.f;
  for (int o = 0; o < octaves; ++o) {
    sum += valueNoise(x, y, seed + static_cast<uint32_t>(o) * 1013u, period) * amplitude;
    total += amplitude;
    amplitude *= gain;
    x *= 2.f;
    y *= 2.f;
    period *= 2;
  }
  return sum / total;
}

float valueNoise3(float x, float y, float z, uint32_t seed) {
  int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y)), iz = static_cast<int>(std::floor(z));
  float fx = fade(x - ix), fy = fade(y - iy), fz = fade(z - iz);
  auto l = [&](int dx, int dy, int dz) { return lattice(ix + dx, iy + dy, iz + dz, seed); };
  auto lerp = [](float a, float b, float t) { return a + (b - a) * t; };
  float x00 = lerp(l(0, 0, 0), l(1, 0, 0), fx), x10 = lerp(l(0, 1, 0), l(1, 1, 0), fx);
  float x01 = lerp(l(0, 0, 1), l(1, 0, 1), fx), x11 = lerp(l(0, 1, 1), l(1, 1, 1), fx);
  return lerp(lerp(x00, x10, fy), lerp(x01, x11, fy), fz);
}

// --- Encoders ---------------------------------------------------------------

std::vector<uint8_t> encodeJpeg(const Image &image, int quality) {
  Image rgbImage = image.channels == 3 ? image : image.rgb();
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char *buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(rgbImage.width);
  cinfo.image_height = static_cast<JDIMENSION>(rgbImage.height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  cinfo.dct_method = JDCT_ISLOW; // the same bytes on every machine
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(&rgbImage.data[static_cast<size_t>(cinfo.next_scanline) * rgbImage.width * 3]);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::vector<uint8_t> out(buffer, buffer + size);
  jpeg_destroy_compress(&cinfo);
  std::free(buffer);
  return out;
}

double psnr(const Image &a, const Image &b) {
  if (a.width != b.width || a.height != b.height || a.channels != b.channels || a.data.empty())
    return 0.0;
  double sum = 0.0;
  for (size_t i = 0; i < a.data.size(); ++i) {
    const double e = static_cast<double>(a.data[i]) - static_cast<double>(b.data[i]);
    sum += e * e;
  }
  if (sum == 0.0)
    return std::numeric_limits<double>::infinity();
  return 10.0 * std::log10(255.0 * 255.0 * static_cast<double>(a.data.size()) / sum);
}

std::vector<uint8_t> encodePng(const Image &image) {
  return demo::encodePng(image.data.data(), image.width, image.height, image.channels, 9);
}

} // namespace demo::bake
