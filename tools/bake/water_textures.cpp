#include "bake/water_textures.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "bake/bake_math.h"
#include "bake/text.h"
#include "bake/water_room.h"

namespace demo::bake {

namespace {

constexpr float kTwoPi = 2.f * kPi;

Colour rgb(float r, float g, float b) { return Colour{r, g, b, 1.f}; }
Colour rgba(float r, float g, float b, float a) { return Colour{r, g, b, a}; }
Colour add(const Colour &a, const Colour &b, float k = 1.f) {
  return Colour{a.r + b.r * k, a.g + b.g * k, a.b + b.b * k, a.a};
}
float fract(float x) { return x - std::floor(x); }

// A size x size RGB tile (base pixels) at `detail` from f(u, v) -> Colour,
// u and v at pixel centres in 0..1.
template <class F> Image paintTile(int size, int detail, F f) {
  return paintImage(
      size, size, [&](float x, float y) { return f((x + 0.5f) / size, (y + 0.5f) / size); }, detail);
}

// Every pixel of an atlas cell from f(u, v), u and v at pixel centres in
// 0..1 across the cell.
template <class F> void paintCell(Image &image, const AtlasCell &cell, F f) {
  const int w = cell.x1 - cell.x0, h = cell.y1 - cell.y0;
  paintRegion(image, cell.x0, cell.y0, cell.x1, cell.y1,
              [&](float px, float py) { return f((px - cell.x0 + 0.5f) / w, (py - cell.y0 + 0.5f) / h); });
}

// Tileable fbm over the unit square with `cells` lattice cells across.
float tiled(float u, float v, int cells, uint32_t seed, int octaves, float gain = 0.5f) {
  return fbm(u * cells, v * cells, seed, octaves, gain, cells);
}

// Tileable value noise with its own cell count on each axis (for streaks:
// many cells across, few down). Lattice values come from valueNoise at whole
// numbers, where it returns the lattice value itself.
float streakNoise(float u, float v, int cellsU, int cellsV, uint32_t seed) {
  const float x = fract(u) * cellsU, y = fract(v) * cellsV;
  const int ix = static_cast<int>(x), iy = static_cast<int>(y);
  auto lattice = [&](int i, int j) {
    return valueNoise(static_cast<float>(i % cellsU), static_cast<float>(j % cellsV), seed);
  };
  auto fade = [](float t) { return t * t * (3.f - 2.f * t); };
  const float fx = fade(x - ix), fy = fade(y - iy);
  const float a = lattice(ix, iy) + (lattice(ix + 1, iy) - lattice(ix, iy)) * fx;
  const float b = lattice(ix, iy + 1) + (lattice(ix + 1, iy + 1) - lattice(ix, iy + 1)) * fx;
  return a + (b - a) * fy;
}

// A round rivet or bolt head: a soft shadow below right, the head, and a
// highlight above left.
void rivet(Image &image, float cx, float cy, float radius, const Colour &head, float light = 1.f) {
  image.fillCircle(cx + radius * 0.35f, cy + radius * 0.45f, radius * 1.15f, rgba(0.f, 0.f, 0.f, 0.55f));
  image.fillCircle(cx, cy, radius, head);
  image.fillCircle(cx - radius * 0.3f, cy - radius * 0.3f, radius * 0.45f,
                   rgba(std::min(1.f, head.r * 1.8f + 0.08f * light), std::min(1.f, head.g * 1.8f + 0.08f * light),
                        std::min(1.f, head.b * 1.8f + 0.08f * light), 0.8f));
}

// Rust running down from a point: a thin streak that fades as it goes.
// Positions and sizes in base pixels. The width wavers once a base pixel
// down (one random number each); the finer rows of a step each follow the
// wobble and the fade at their own height.
void rustStreak(Image &image, float x, float y, float lengthPx, float widthPx, float strength, Rng &rng) {
  const int d = image.detail;
  const float fd = static_cast<float>(d);
  for (int i = 0; i < static_cast<int>(lengthPx); ++i) {
    const float jitter = 0.7f + 0.6f * rng.uniform();
    for (int s = 0; s < d; ++s) {
      const float along = static_cast<float>(i) + basePosition(s, d);
      const float t = along / lengthPx;
      const float w = widthPx * (1.f - 0.6f * t) * jitter;
      const float a = strength * (1.f - t) * (1.f - t);
      const float wobble = std::sin(along * 0.21f + x) * 0.6f;
      // Pixel k of the row lies k / detail base pixels off the streak's middle.
      const int centre = static_cast<int>((x + wobble) * fd);
      const int py = (static_cast<int>(y * fd) + i * d + s) % image.height;
      for (int k = static_cast<int>(-w * fd); k <= static_cast<int>(w * fd); ++k) {
        const float edge = 1.f - std::fabs(static_cast<float>(k) / fd) / (w + 0.5f);
        const int px = (centre + k + image.width) % image.width;
        image.blend(px, py, rgba(0.30f, 0.12f, 0.04f, a * edge));
      }
    }
  }
}

// `count` rust streaks from random points of a square tile, their lengths
// and widths drawn from the given ranges.
void rustStreaks(Image &image, uint64_t seed, int count, float minLength, float maxLength, float minWidth,
                 float maxWidth, float strength) {
  const int size = image.baseWidth();
  Rng rng(seed);
  for (int k = 0; k < count; ++k)
    rustStreak(image, rng.range(0.f, size), rng.range(0.f, size), rng.range(minLength, maxLength),
               rng.range(minWidth, maxWidth), strength, rng);
}

// A filled rectangle with a border of `width` pixels drawn over its edge.
void framedRect(Image &image, float x0, float y0, float x1, float y1, const Colour &fill, float width,
                const Colour &border) {
  image.fillRect(x0, y0, x1, y1, fill);
  image.strokeRect(x0, y0, x1, y1, width, border);
}

// Text stencilled onto a surface: the font's coverage, worn by noise. With
// `downwards` the text is turned a quarter clockwise, reading down the
// picture (along a cable whose length runs down v). Centre and sizes in base
// pixels; the letters are rendered at the picture's detail.
void stencil(Image &image, const std::string &text, float cx, float cy, int pixelSize, const char *font,
             const Colour &colour, uint32_t seed, float wear = 0.35f, bool downwards = false) {
  const int d = image.detail;
  const Image glyphs = renderText(text, pixelSize, font, 2, pixelSize * 0.06f, d);
  if (glyphs.empty())
    return;
  const int bw = downwards ? glyphs.baseHeight() : glyphs.baseWidth();
  const int bh = downwards ? glyphs.baseWidth() : glyphs.baseHeight();
  const int w = downwards ? glyphs.height : glyphs.width, h = downwards ? glyphs.width : glyphs.height;
  const int ox = static_cast<int>(cx - bw * 0.5f) * d, oy = static_cast<int>(cy - bh * 0.5f) * d;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const float coverage = downwards ? glyphs.get(y, glyphs.height - 1 - x).a : glyphs.get(x, y).a;
      if (coverage <= 0.f)
        continue;
      const float n = fbm(basePosition(ox + x, d) * 0.08f, basePosition(oy + y, d) * 0.08f, seed, 3);
      const float keep = smoothstep(wear - 0.1f, wear + 0.1f, n);
      image.blend(ox + x, oy + y, colour, coverage * keep);
    }
}

// Light across a round section: `around` 0..1 of the way round; the light
// comes from one side with a narrow sheen.
float roundShade(float around, float sheen) {
  const float c = std::cos(kTwoPi * (around - 0.2f));
  return 0.45f + 0.4f * c + sheen * std::pow(std::max(0.f, c), 12.f);
}
// Light on the four flat faces of a beam (a quarter of `around` each), with
// worn, brighter edges where the faces meet.
float faceShade(float around, float &edge) {
  const int face = std::min(3, static_cast<int>(around * 4.f));
  static const float kFace[4] = {1.05f, 0.78f, 0.6f, 0.88f};
  const float d = std::fabs(around * 4.f - std::round(around * 4.f)); // distance to an edge, in faces
  edge = 1.f - smoothstep(0.0f, 0.035f, d);
  return kFace[face];
}

// Chipped paint over bare rusty steel: 1 where the paint holds.
float paintHolds(float u, float v, uint32_t seed, float amount, int cells = 16) {
  const float n = tiled(u, v, cells, seed, 5, 0.55f);
  return smoothstep(amount - 0.04f, amount + 0.04f, n);
}

Colour rustColour(float u, float v, uint32_t seed) {
  const float n = tiled(u, v, 16, seed, 4);
  return mix(rgb(0.12f, 0.06f, 0.03f), rgb(0.25f, 0.11f, 0.045f), n);
}

} // namespace

// --- The bars --------------------------------------------------------------

Image paintOutermostBars(int detail) {
  const int size = 512;
  Image image = paintTile(size, detail, [&](float u, float v) {
    float edge;
    const float shade = faceShade(u, edge);
    const float n = tiled(u, v, 8, 11, 5);
    const float streak = streakNoise(u, v, 64, 3, 12);
    Colour paint = mix(rgb(0.10f, 0.12f, 0.15f), rgb(0.17f, 0.19f, 0.23f), n);
    paint = scaled(paint, 0.85f + 0.3f * streak);
    const float holds = paintHolds(u, v, 13, 0.26f + 0.25f * edge);
    Colour c = mix(rustColour(u, v, 14), paint, holds);
    c = scaled(c, shade);
    // Worn edges catch the light.
    c = add(c, rgb(0.16f, 0.16f, 0.17f), edge * 0.6f * holds);
    // Grime collects in long runs.
    c = scaled(c, 0.8f + 0.2f * streakNoise(u, v, 32, 2, 15));
    return c;
  });
  // A bolted splice plate across every face once a repeat.
  for (int face = 0; face < 4; ++face) {
    const float x0 = face * 128.f + 14.f, x1 = face * 128.f + 114.f;
    image.fillRect(x0, 300.f, x1, 372.f, rgba(0.f, 0.f, 0.f, 0.35f));
    framedRect(image, x0 - 2.f, 296.f, x1 - 2.f, 368.f, rgba(0.15f, 0.17f, 0.2f, 0.85f), 1.5f,
               rgba(0.3f, 0.31f, 0.32f, 0.5f));
    for (int row = 0; row < 2; ++row)
      for (int col = 0; col < 3; ++col)
        rivet(image, x0 + 14.f + col * 34.f, 314.f + row * 36.f, 5.f, rgb(0.2f, 0.2f, 0.22f));
  }
  rustStreaks(image, 16, 14, 40.f, 160.f, 1.f, 3.f, 0.45f);
  return image;
}

Image paintSecondBars(int detail) {
  const int size = 512;
  Image image = paintTile(size, detail, [&](float u, float v) {
    float edge;
    const float shade = faceShade(u, edge);
    const float n = tiled(u, v, 8, 21, 5);
    Colour paint = mix(rgb(0.17f, 0.065f, 0.04f), rgb(0.26f, 0.1f, 0.05f), n);
    const float holds = paintHolds(u, v, 22, 0.26f + 0.2f * edge);
    Colour c = mix(mix(rgb(0.1f, 0.07f, 0.05f), rgb(0.2f, 0.1f, 0.05f), tiled(u, v, 32, 23, 3)), paint, holds);
    c = scaled(c, shade * (0.75f + 0.35f * streakNoise(u, v, 48, 4, 24)));
    c = add(c, rgb(0.2f, 0.12f, 0.08f), edge * 0.5f * holds);
    return c;
  });
  // Rivet rows down the middle of each face, and a stencilled load mark.
  for (int face = 0; face < 4; ++face) {
    const float cx = face * 128.f + 64.f;
    for (int k = 0; k < 16; ++k) {
      rivet(image, cx - 30.f, 16.f + k * 32.f, 4.f, rgb(0.24f, 0.09f, 0.05f));
      rivet(image, cx + 30.f, 16.f + k * 32.f, 4.f, rgb(0.24f, 0.09f, 0.05f));
    }
  }
  stencil(image, "SWL 20 T", 64.f, 200.f, 18, kFontSansBold, rgba(0.75f, 0.72f, 0.62f, 0.85f), 25);
  stencil(image, "K-07", 320.f, 420.f, 26, kFontSansBold, rgba(0.75f, 0.72f, 0.62f, 0.85f), 26);
  rustStreaks(image, 27, 18, 30.f, 120.f, 1.f, 2.5f, 0.5f);
  return image;
}

Image paintLowerBars(int detail) {
  const int size = 256;
  Image image = paintTile(size, detail, [&](float u, float v) {
    const float shade = roundShade(u, 0.5f);
    const float n = tiled(u, v, 8, 31, 5);
    Colour paint = mix(rgb(0.36f, 0.27f, 0.03f), rgb(0.46f, 0.36f, 0.06f), n);
    const float holds = paintHolds(u, v, 32, 0.3f);
    Colour c = mix(mix(rgb(0.09f, 0.08f, 0.07f), rgb(0.22f, 0.11f, 0.05f), tiled(u, v, 16, 33, 3)), paint, holds);
    // Hand grime: darker in long smears along the rail.
    c = scaled(c, shade * (0.7f + 0.35f * streakNoise(u, v, 16, 2, 34)));
    // Black hazard bands now and then.
    const float band = fract(v * 2.f);
    if (band > 0.78f && band < 0.94f) {
      const float stripe = fract((u * 4.f + v * 8.f));
      if (stripe < 0.5f)
        c = mix(c, scaled(rgb(0.03f, 0.03f, 0.03f), shade), holds);
    }
    return c;
  });
  return image;
}

// --- Cables ----------------------------------------------------------------

Image paintBoxCables(int detail) {
  const int size = 512;
  Image image = paintTile(size, detail, [&](float u, float v) {
    const float shade = roundShade(u, 0.45f);
    Colour sheath = mix(rgb(0.08f, 0.1f, 0.14f), rgb(0.12f, 0.14f, 0.18f), tiled(u, v, 8, 41, 4));
    // An orange tracer along the lit side, and shallow ribs round the sheath.
    const float tracer = smoothstep(0.045f, 0.03f, std::fabs(u - 0.3f));
    sheath = mix(sheath, rgb(0.5f, 0.2f, 0.04f), tracer);
    const float rib = 0.93f + 0.07f * std::sin(v * size * kTwoPi / 24.f);
    Colour c = scaled(sheath, shade * rib);
    // A little dust on top.
    c = add(c, rgb(0.05f, 0.05f, 0.045f), smoothstep(0.6f, 0.85f, tiled(u, v, 32, 42, 3)) * (0.3f + 0.7f * shade));
    return c;
  });
  // The maker's print along the sheath, and cable ties round it.
  for (int k = 0; k < 2; ++k)
    stencil(image, "KESTRANE 4G2.5", 120.f, 150.f + k * 256.f, 18, kFontMonoBold, rgba(0.62f, 0.6f, 0.55f, 0.85f),
            43 + k, 0.25f, true);
  for (int k = 0; k < 2; ++k) {
    const float y = 16.f + k * 256.f;
    paintRegion(image, 0, static_cast<int>(y), size, static_cast<int>(y) + 14, [&](float x, float) {
      return scaled(rgb(0.5f, 0.5f, 0.48f), roundShade((x + 0.5f) / size, 0.6f) * 0.9f);
    });
    image.fillRect(100.f, y - 5.f, 130.f, y + 19.f, rgb(0.4f, 0.4f, 0.38f)); // the tie's lock
  }
  return image;
}

Image paintThickCables(int detail) {
  const int size = 256;
  Image image = paintTile(size, detail, [&](float u, float v) {
    const float shade = roundShade(u, 1.1f);
    Colour rubber = mix(rgb(0.035f, 0.035f, 0.04f), rgb(0.07f, 0.07f, 0.075f), tiled(u, v, 8, 51, 5));
    // Fine striations along the length from the extruder.
    rubber = scaled(rubber, 0.85f + 0.3f * streakNoise(u, v, 64, 2, 52));
    Colour c = scaled(rubber, shade);
    c = add(c, rgb(0.09f, 0.085f, 0.08f), smoothstep(0.55f, 0.8f, tiled(u, v, 16, 53, 4)) * 0.6f);
    // A yellow marker band once a repeat.
    if (v > 0.46f && v < 0.52f)
      c = scaled(rgb(0.45f, 0.34f, 0.04f), 0.35f + 0.75f * shade);
    return c;
  });
  stencil(image, "HV 11 KV", 128.f, 180.f, 16, kFontSansBold, rgba(0.6f, 0.6f, 0.56f, 0.7f), 54, 0.3f);
  return image;
}

// --- The shell and the hung box --------------------------------------------

namespace {

// A bay of wall, 64 units wide and 110 tall (cell 512 x 1024): concrete with
// form-tie holes above, a pair of pipes, corrugated cladding, a painted dado
// with a hazard band, and a caged lamp whose light washes down the wall.
void paintWallBay(Image &image, const AtlasCell &cell) {
  const int w = cell.x1 - cell.x0, h = cell.y1 - cell.y0;
  const float lampX = 0.5f, lampY = 0.2f;
  paintCell(image, cell, [&](float u, float v) {
    Colour c;
    const float grit = tiled(u, v * 2.f, 16, 61, 5);
    if (v < 0.34f) { // concrete
      c = mix(rgb(0.08f, 0.085f, 0.09f), rgb(0.15f, 0.15f, 0.15f), grit);
      c = scaled(c, 0.75f + 0.35f * streakNoise(u, v, 24, 3, 62)); // water stains
      // Form panels: faint joints.
      const float jx = std::fabs(fract(u * 2.f) - 0.5f), jy = std::fabs(fract(v / 0.34f * 2.f) - 0.5f);
      if (jx > 0.49f || jy > 0.485f)
        c = scaled(c, 0.6f);
    } else if (v < 0.74f) { // corrugated cladding
      const float rib = std::sin(u * kTwoPi * 16.f);
      c = mix(rgb(0.09f, 0.1f, 0.1f), rgb(0.15f, 0.16f, 0.15f), tiled(u, v, 8, 63, 4));
      c = scaled(c, 0.82f + 0.25f * rib);
      const float holds = paintHolds(u, v, 64, 0.28f);
      c = mix(scaled(rustColour(u, v, 65), 0.8f + 0.2f * rib), c, holds);
      c = scaled(c, 0.7f + 0.4f * streakNoise(u, v, 32, 2, 66));
    } else { // painted dado
      c = mix(rgb(0.06f, 0.09f, 0.08f), rgb(0.1f, 0.13f, 0.11f), grit);
      if (v > 0.86f && v < 0.9f) // hazard band
        c = fract(u * 12.f - v * 30.f) < 0.5f ? rgb(0.4f, 0.31f, 0.04f) : rgb(0.03f, 0.03f, 0.03f);
      c = scaled(c, 0.65f + 0.35f * paintHolds(u, v, 67, 0.22f));
      c = scaled(c, 1.f - 0.45f * smoothstep(0.9f, 1.f, v)); // grime at the foot
    }
    // The lamp's wash: brightest just below it, fanning out down the wall.
    const float dx = (u - lampX) * 0.58f, dy = v - lampY;
    const float wash =
        dy > -0.05f ? std::exp(-(dx * dx) / (0.006f + 0.05f * std::max(0.f, dy))) * std::exp(-std::max(0.f, dy) * 2.8f)
                    : std::exp(-(dx * dx + dy * dy) * 300.f);
    c = add(c, rgb(0.30f, 0.27f, 0.2f), wash * 0.75f);
    c = scaled(c, 0.8f + 0.3f * (1.f - v)); // the ceiling lamps light the top more
    return c;
  });
  // Form-tie holes in the concrete.
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 4; ++col)
      image.fillCircle(cell.x0 + 64.f + col * 128.f, cell.y0 + 60.f + row * 110.f, 5.f,
                       rgba(0.02f, 0.02f, 0.02f, 0.8f));
  // Two pipes across the bay with round shading and a flange.
  for (int k = 0; k < 2; ++k) {
    const float y0 = cell.y0 + h * 0.345f + k * 34.f, y1 = y0 + 24.f;
    paintRegion(image, cell.x0, static_cast<int>(y0), cell.x1, static_cast<int>(y1), [&](float px, float py) {
      const float a = (py - y0) / (y1 - y0);
      const float s = 0.4f + 0.6f * std::sin(a * kPi) * (1.f - 0.5f * a);
      const float n = tiled((px - cell.x0 + 0.5f) / w, a, 8, 68 + k, 3);
      Colour c = k == 0 ? rgb(0.16f, 0.12f, 0.07f) : rgb(0.08f, 0.12f, 0.16f);
      return scaled(c, s * (0.8f + 0.4f * n));
    });
    image.fillRect(cell.x0 + 300.f, y0 - 4.f, cell.x0 + 312.f, y1 + 4.f, rgb(0.14f, 0.14f, 0.13f));
  }
  // The caged lamp: a bright core with a halo, bars across it.
  const float lx = cell.x0 + lampX * w, ly = cell.y0 + lampY * h;
  image.fillRect(lx - 34.f, ly - 30.f, lx + 34.f, ly - 16.f, rgb(0.1f, 0.1f, 0.1f));
  image.glow(lx, ly, 120.f, rgba(0.5f, 0.45f, 0.35f, 1.f), 2.5f);
  image.fillCircle(lx, ly, 18.f, rgb(1.f, 0.96f, 0.85f));
  for (int k = -2; k <= 2; ++k)
    image.line(lx + k * 8.f, ly - 20.f, lx + k * 8.f, ly + 20.f, 2.f, rgba(0.08f, 0.08f, 0.08f, 0.9f));
  // A warning sign on the dado.
  const float sx = cell.x0 + 120.f, sy = cell.y0 + h * 0.8f;
  framedRect(image, sx - 40.f, sy - 30.f, sx + 40.f, sy + 30.f, rgb(0.42f, 0.34f, 0.05f), 3.f,
             rgb(0.03f, 0.03f, 0.03f));
  stencil(image, "DANGER", sx, sy - 10.f, 16, kFontSansBold, rgb(0.03f, 0.03f, 0.03f), 69, 0.1f);
  stencil(image, "DEEP WATER", sx, sy + 12.f, 11, kFontSansBold, rgb(0.03f, 0.03f, 0.03f), 70, 0.1f);
}

// A bay of ceiling, 64 x 64 units: a steel deck with ribs, two fluorescent
// lamp strips in their housings.
void paintCeilingBay(Image &image, const AtlasCell &cell) {
  const int w = cell.x1 - cell.x0;
  paintCell(image, cell, [&](float u, float v) {
    const float rib = std::sin(v * kTwoPi * 8.f);
    Colour c = mix(rgb(0.05f, 0.055f, 0.06f), rgb(0.1f, 0.1f, 0.11f), tiled(u, v, 8, 71, 4));
    c = scaled(c, 0.8f + 0.2f * rib);
    // The lamps light the deck round them.
    float light = 0.f;
    for (float lu : {0.25f, 0.75f})
      light += std::exp(-(u - lu) * (u - lu) * 60.f) * (0.6f + 0.4f * std::exp(-(v - 0.5f) * (v - 0.5f) * 6.f));
    c = add(c, rgb(0.2f, 0.21f, 0.23f), light * 0.7f);
    if (u < 0.01f || u > 0.99f || v < 0.01f || v > 0.99f)
      c = scaled(c, 0.5f);
    return c;
  });
  for (float lu : {0.25f, 0.75f}) {
    const float x = cell.x0 + lu * w;
    image.fillRect(x - 16.f, cell.y0 + 40.f, x + 16.f, cell.y1 - 40.f, rgb(0.12f, 0.12f, 0.13f));
    image.fillRect(x - 10.f, cell.y0 + 48.f, x + 10.f, cell.y1 - 48.f, rgb(0.85f, 0.9f, 1.f));
    image.fillRect(x - 5.f, cell.y0 + 50.f, x + 5.f, cell.y1 - 50.f, rgb(1.f, 1.f, 1.f));
    for (float y = cell.y0 + 80.f; y < cell.y1 - 60.f; y += 64.f) // clips across the tube
      image.fillRect(x - 12.f, y, x + 12.f, y + 4.f, rgb(0.2f, 0.2f, 0.2f));
  }
}

// A floor slab, 32 x 16 units: dark concrete, wet patches with a sheen, oil,
// a painted walkway line and joints at the edges.
void paintFloorSlab(Image &image, const AtlasCell &cell) {
  paintCell(image, cell, [&](float u, float v) {
    const float grit = tiled(u * 2.f, v, 32, 81, 5);
    Colour c = mix(rgb(0.055f, 0.055f, 0.06f), rgb(0.12f, 0.12f, 0.12f), grit);
    const float wet = smoothstep(0.52f, 0.6f, tiled(u, v, 4, 82, 4));
    c = mix(c, rgb(0.03f, 0.04f, 0.05f), wet * 0.7f);
    c = add(c, rgb(0.1f, 0.12f, 0.15f), wet * smoothstep(0.5f, 0.9f, tiled(u, v, 16, 83, 3)) * 0.8f);
    const float oil = smoothstep(0.62f, 0.7f, tiled(u + 0.3f, v, 8, 84, 3));
    c = mix(c, rgb(0.02f, 0.02f, 0.025f), oil * 0.6f);
    if (v > 0.08f && v < 0.13f) // walkway line
      c = mix(c, rgb(0.38f, 0.3f, 0.05f), paintHolds(u, v, 85, 0.35f) * 0.9f);
    if (u < 0.006f || u > 0.994f || v < 0.012f || v > 0.988f)
      c = scaled(c, 0.35f);
    return c;
  });
  // A drain grate.
  const float gx = cell.x0 + 400.f, gy = cell.y0 + 170.f;
  image.fillRect(gx - 36.f, gy - 36.f, gx + 36.f, gy + 36.f, rgb(0.02f, 0.02f, 0.02f));
  for (int k = -3; k <= 3; ++k)
    image.fillRect(gx - 34.f, gy + k * 10.f - 2.f, gx + 34.f, gy + k * 10.f + 2.f, rgb(0.14f, 0.14f, 0.15f));
  image.strokeRect(gx - 38.f, gy - 38.f, gx + 38.f, gy + 38.f, 3.f, rgb(0.16f, 0.16f, 0.16f));
}

// A side of the hung machinery box, 52 x 26 units: access panels with
// rivets, louvres, a warning plate, indicator lamps and a stencilled number.
void paintHousing(Image &image, const AtlasCell &cell) {
  const int w = cell.x1 - cell.x0;
  paintCell(image, cell, [&](float u, float v) {
    Colour c = mix(rgb(0.1f, 0.12f, 0.11f), rgb(0.17f, 0.19f, 0.17f), tiled(u, v, 8, 91, 5));
    c = mix(scaled(rustColour(u, v, 92), 0.8f), c, paintHolds(u, v, 93, 0.27f));
    c = scaled(c, 0.75f + 0.35f * streakNoise(u, v, 40, 3, 94));
    c = scaled(c, 0.75f + 0.4f * (1.f - v)); // lit from the lamps above
    return c;
  });
  // Access panels, each outlined by a seam and studded with rivets.
  const int panels = 4;
  const float pw = static_cast<float>(w) / panels;
  for (int k = 0; k < panels; ++k) {
    const float x0 = cell.x0 + k * pw + 6.f, x1 = cell.x0 + (k + 1) * pw - 6.f;
    const float y0 = cell.y0 + 10.f, y1 = cell.y1 - 10.f;
    image.strokeRect(x0, y0, x1, y1, 2.f, rgba(0.f, 0.f, 0.f, 0.7f));
    image.strokeRect(x0 + 2.f, y0 + 2.f, x1 + 2.f, y1 + 2.f, 1.f, rgba(0.35f, 0.37f, 0.35f, 0.35f));
    for (float x = x0 + 8.f; x < x1 - 4.f; x += 18.f) {
      rivet(image, x, y0 + 8.f, 2.6f, rgb(0.16f, 0.18f, 0.16f));
      rivet(image, x, y1 - 8.f, 2.6f, rgb(0.16f, 0.18f, 0.16f));
    }
  }
  // Louvres on the second panel.
  for (int k = 0; k < 9; ++k) {
    const float y = cell.y0 + 50.f + k * 16.f, x0 = cell.x0 + pw + 20.f, x1 = cell.x0 + 2.f * pw - 20.f;
    image.fillRect(x0, y, x1, y + 8.f, rgb(0.01f, 0.01f, 0.01f));
    image.fillRect(x0, y + 8.f, x1, y + 11.f, rgba(0.3f, 0.32f, 0.3f, 0.6f));
  }
  // A warning plate and the unit's number on the third panel.
  const float cx = cell.x0 + 2.5f * pw;
  image.fillRect(cx - 46.f, cell.y0 + 40.f, cx + 46.f, cell.y0 + 86.f, rgb(0.44f, 0.35f, 0.05f));
  stencil(image, "HIGH VOLTAGE", cx, cell.y0 + 63.f, 11, kFontSansBold, rgb(0.03f, 0.03f, 0.03f), 95, 0.1f);
  stencil(image, "P-3", cx, cell.y0 + 160.f, 56, kFontSansBold, rgba(0.7f, 0.68f, 0.6f, 0.8f), 96);
  // Indicator lamps and a gauge on the last panel.
  const float gx = cell.x0 + 3.5f * pw;
  const Colour lamps[3] = {rgb(1.f, 0.15f, 0.1f), rgb(0.2f, 1.f, 0.3f), rgb(1.f, 0.7f, 0.1f)};
  for (int k = 0; k < 3; ++k) {
    const float lx = gx - 30.f + k * 30.f, ly = cell.y0 + 60.f;
    image.glow(lx, ly, 20.f, lamps[k], 2.f);
    image.fillCircle(lx, ly, 6.f, lamps[k]);
    image.fillCircle(lx - 2.f, ly - 2.f, 2.f, rgb(1.f, 1.f, 1.f));
  }
  image.fillCircle(gx, cell.y0 + 150.f, 34.f, rgb(0.05f, 0.05f, 0.05f));
  image.fillCircle(gx, cell.y0 + 150.f, 30.f, rgb(0.55f, 0.55f, 0.5f));
  for (int k = 0; k <= 8; ++k) {
    const float a = kPi * (0.75f + 1.5f * k / 8.f);
    image.line(gx + std::cos(a) * 22.f, cell.y0 + 150.f + std::sin(a) * 22.f, gx + std::cos(a) * 28.f,
               cell.y0 + 150.f + std::sin(a) * 28.f, 1.5f, rgb(0.05f, 0.05f, 0.05f));
  }
  image.line(gx, cell.y0 + 150.f, gx + 20.f, cell.y0 + 136.f, 2.f, rgb(0.6f, 0.05f, 0.03f));
}

} // namespace

Image paintShell(int detail) {
  Image image = Image::atDetail(kShellPictureSize, kShellPictureSize, 3, detail);
  paintWallBay(image, kShellWallCell);
  paintCeilingBay(image, kShellCeilingCell);
  paintFloorSlab(image, kShellFloorCell);
  paintHousing(image, kShellHousingCell);
  return image;
}

// --- The tank --------------------------------------------------------------

Image paintTank(int detail) {
  const int size = 512;
  // Plates of 256 x 128 pixels, each row shifted by half a plate; plates and
  // seams are whole base pixels.
  Image image = Image::atDetail(size, size, 3, detail);
  paintRegion(image, 0, 0, size, size, [&](float px, float py) {
    const float u = (px + 0.5f) / size, v = (py + 0.5f) / size;
    const int x = baseCell(px), y = baseCell(py);
    const int row = y / 128;
    const int plate = ((x + (row % 2) * 128) / 256) % 2 + 2 * row;
    const float tint = 0.88f + 0.24f * valueNoise(static_cast<float>(plate), 0.5f, 101);
    Colour paint = mix(rgb(0.05f, 0.085f, 0.085f), rgb(0.095f, 0.14f, 0.135f), tiled(u, v, 8, 102, 5));
    const float holds = paintHolds(u, v, 103, 0.24f);
    Colour c = mix(rustColour(u, v, 104), scaled(paint, tint), holds);
    c = scaled(c, 0.72f + 0.4f * streakNoise(u, v, 48, 4, 105));
    // Seams: a dark groove with a lit lip below it.
    const int sy = y % 128, sx = (x + (row % 2) * 128) % 256;
    if (sy < 3 || sx < 3)
      c = scaled(c, 0.35f);
    else if (sy < 6 || sx < 6)
      c = add(c, rgb(0.06f, 0.07f, 0.07f));
    return c;
  });
  // Rivet rows along every seam, each bleeding a little rust.
  Rng rng(106);
  for (int row = 0; row < 4; ++row) {
    const float y = row * 128.f + 12.f;
    for (float x = 8.f; x < size; x += 16.f) {
      rivet(image, x, y, 3.2f, rgb(0.1f, 0.17f, 0.16f));
      if (rng.uniform() < 0.18f)
        rustStreak(image, x, y + 4.f, rng.range(20.f, 90.f), 1.5f, 0.55f, rng);
    }
    const float shift = (row % 2) * 128.f;
    for (int k = 0; k < 2; ++k) {
      const float x = std::fmod(k * 256.f - shift + 12.f + size, static_cast<float>(size));
      for (float yy = row * 128.f + 24.f; yy < row * 128.f + 124.f; yy += 16.f)
        rivet(image, x, yy, 3.2f, rgb(0.1f, 0.17f, 0.16f));
    }
  }
  // A maker's plate and a level gauge strip.
  framedRect(image, 330.f, 160.f, 420.f, 208.f, rgb(0.2f, 0.2f, 0.18f), 2.f, rgb(0.05f, 0.05f, 0.05f));
  stencil(image, "KESTRANE", 375.f, 176.f, 12, kFontSansBold, rgb(0.05f, 0.05f, 0.05f), 107, 0.1f);
  stencil(image, "TANK 3", 375.f, 194.f, 12, kFontSansBold, rgb(0.05f, 0.05f, 0.05f), 108, 0.1f);
  for (int k = 0; k < 12; ++k)
    image.fillRect(60.f, 280.f + k * 18.f, k % 3 == 0 ? 84.f : 74.f, 283.f + k * 18.f, rgba(0.7f, 0.68f, 0.6f, 0.7f));
  return image;
}

// --- Screens ---------------------------------------------------------------

namespace {

// Shared finish of every screen: scanlines (a base pixel each), a vignette
// and a thin bezel shadow.
void screenFinish(Image &image, const AtlasCell &cell) {
  const int w = cell.x1 - cell.x0, h = cell.y1 - cell.y0;
  const int d = image.detail;
  for (int py = cell.y0 * d; py < cell.y1 * d; ++py)
    for (int px = cell.x0 * d; px < cell.x1 * d; ++px) {
      const float x = basePosition(px, d), y = basePosition(py, d);
      const float u = (x - cell.x0 + 0.5f) / w * 2.f - 1.f, v = (y - cell.y0 + 0.5f) / h * 2.f - 1.f;
      float k = (baseCell(y) % 2 == 0) ? 1.f : 0.72f;
      k *= 1.f - 0.35f * (u * u * u * u + v * v * v * v);
      const float edge = std::min({x - cell.x0, cell.x1 - 1 - x, y - cell.y0, cell.y1 - 1 - y}) / 6.f;
      k *= std::min(1.f, 0.3f + edge);
      Colour c = image.get(px, py);
      image.set(px, py, scaled(c, k));
    }
}

// A green oscilloscope: grid, two traces, glowing.
void paintScope(Image &image, const AtlasCell &cell) {
  const int w = cell.x1 - cell.x0, h = cell.y1 - cell.y0;
  image.fillRect(cell.x0, cell.y0, cell.x1, cell.y1, rgb(0.01f, 0.06f, 0.03f));
  for (int k = 1; k < 8; ++k)
    image.line(cell.x0 + k * w / 8.f, cell.y0, cell.x0 + k * w / 8.f, cell.y1, 1.f, rgba(0.1f, 0.4f, 0.2f, 0.5f));
  for (int k = 1; k < 6; ++k)
    image.line(cell.x0, cell.y0 + k * h / 6.f, cell.x1, cell.y0 + k * h / 6.f, 1.f, rgba(0.1f, 0.4f, 0.2f, 0.5f));
  // The traces are drawn a pixel step at a time, so finer pictures follow
  // their wiggles more closely.
  const int d = image.detail;
  const int steps = w * d;
  Image trace = Image::atDetail(w, h, 3, d);
  for (int pass = 0; pass < 2; ++pass) {
    float px = 0.f, py = 0.f;
    for (int i = 0; i <= steps; ++i) {
      const float t = static_cast<float>(i) / steps;
      const float yv = pass == 0 ? 0.35f * std::sin(t * kTwoPi * 3.f) * std::exp(-t * 1.2f) + 0.08f * std::sin(t * 80.f)
                                 : 0.18f * std::sin(t * kTwoPi * 7.f + 1.f) + 0.1f * std::sin(t * kTwoPi * 2.f);
      const float x = t * w, y = h * (pass == 0 ? 0.42f : 0.75f) - yv * h * 0.5f;
      if (i > 0)
        trace.line(px, py, x, y, 2.f, pass == 0 ? rgb(0.5f, 1.f, 0.6f) : rgb(0.7f, 1.f, 0.3f));
      px = x;
      py = y;
    }
  }
  Image halo = trace;
  halo.blur(5);
  for (int y = 0; y < h * d; ++y)
    for (int x = 0; x < w * d; ++x) {
      image.add(cell.x0 * d + x, cell.y0 * d + y, halo.get(x, y), 1.4f);
      image.add(cell.x0 * d + x, cell.y0 * d + y, trace.get(x, y), 1.f);
    }
  stencil(image, "CH1 2V/DIV", cell.x0 + 50.f, cell.y0 + 14.f, 11, kFontMonoBold, rgb(0.4f, 0.9f, 0.5f), 111, 0.f);
  screenFinish(image, cell);
}

// Amber bar graphs with a scale.
void paintBars(Image &image, const AtlasCell &cell) {
  const int w = cell.x1 - cell.x0, h = cell.y1 - cell.y0;
  image.fillRect(cell.x0, cell.y0, cell.x1, cell.y1, rgb(0.06f, 0.03f, 0.01f));
  Rng rng(112);
  const int bars = 14;
  for (int k = 0; k < bars; ++k) {
    const float level = 0.25f + 0.65f * rng.uniform();
    const float x0 = cell.x0 + 18.f + k * (w - 30.f) / bars, x1 = x0 + (w - 30.f) / bars - 4.f;
    const float top = cell.y1 - 22.f - level * (h - 50.f);
    for (float y = cell.y1 - 22.f; y > top; y -= 6.f) {
      const float hot = (cell.y1 - 22.f - y) / (h - 50.f);
      image.fillRect(x0, y - 4.f, x1, y, mix(rgb(0.9f, 0.5f, 0.05f), rgb(1.f, 0.25f, 0.05f), hot));
    }
    image.glow((x0 + x1) * 0.5f, top, 14.f, rgba(0.5f, 0.25f, 0.05f, 1.f), 2.f);
  }
  image.line(cell.x0 + 14.f, cell.y1 - 20.f, cell.x1 - 8.f, cell.y1 - 20.f, 1.5f, rgb(0.8f, 0.5f, 0.1f));
  stencil(image, "FLOW  L/S", cell.x0 + 60.f, cell.y0 + 14.f, 11, kFontMonoBold, rgb(1.f, 0.65f, 0.15f), 113, 0.f);
  screenFinish(image, cell);
}

// A cyan status console.
void paintConsole(Image &image, const AtlasCell &cell) {
  const int d = image.detail;
  image.fillRect(cell.x0, cell.y0, cell.x1, cell.y1, rgb(0.01f, 0.04f, 0.07f));
  const char *lines[] = {"KESTRANE WTR CTRL", "PUMP 01    RUN",   "PUMP 02    RUN", "PUMP 03    --",
                         "LEVEL    -2.75 M",  "TEMP      11.4 C", "FLOW      0.82", "> STATUS NOMINAL"};
  for (int k = 0; k < 8; ++k) {
    const Image text = renderText(lines[k], 12, kFontMonoBold, 1, 0.f, d);
    const int ox = (cell.x0 + 12) * d, oy = (cell.y0 + 10 + k * 21) * d;
    const Colour colour = k == 0 ? rgb(0.6f, 1.f, 1.f) : (k == 3 ? rgb(1.f, 0.4f, 0.3f) : rgb(0.3f, 0.85f, 1.f));
    for (int y = 0; y < text.height; ++y)
      for (int x = 0; x < text.width; ++x) {
        const float a = text.get(x, y).a;
        if (a > 0.f)
          image.add(ox + x, oy + y, colour, a);
      }
  }
  image.fillRect(cell.x0 + 118.f, cell.y0 + 160.f, cell.x0 + 126.f, cell.y0 + 174.f, rgb(0.4f, 0.95f, 1.f));
  screenFinish(image, cell);
}

// A sonar-like sweep over the pool with rings and echoes.
void paintSweep(Image &image, const AtlasCell &cell) {
  const int w = cell.x1 - cell.x0, h = cell.y1 - cell.y0;
  const float cx = w * 0.5f, cy = h * 0.54f, r = h * 0.42f;
  paintRegion(image, cell.x0, cell.y0, cell.x1, cell.y1, [&](float px, float py) {
    const float x = px - cell.x0 + 0.5f - cx, y = py - cell.y0 + 0.5f - cy;
    const float d = std::hypot(x, y) / r;
    Colour c = rgb(0.01f, 0.04f, 0.05f);
    if (d < 1.f) {
      float angle = std::atan2(y, x) / kTwoPi;
      angle = fract(angle - 0.15f);
      c = add(c, rgb(0.1f, 0.6f, 0.5f), std::pow(angle, 6.f) * 0.8f * (0.3f + 0.7f * d));
      if (std::fabs(fract(d * 4.f) - 0.5f) > 0.47f)
        c = add(c, rgb(0.1f, 0.35f, 0.3f));
    }
    return c;
  });
  image.line(cell.x0 + cx - r, cell.y0 + cy, cell.x0 + cx + r, cell.y0 + cy, 1.f, rgba(0.1f, 0.4f, 0.35f, 0.8f));
  image.line(cell.x0 + cx, cell.y0 + cy - r, cell.x0 + cx, cell.y0 + cy + r, 1.f, rgba(0.1f, 0.4f, 0.35f, 0.8f));
  Rng rng(114);
  for (int k = 0; k < 7; ++k) {
    const float a = rng.range(0.f, kTwoPi), d = rng.range(0.2f, 0.9f) * r;
    image.glow(cell.x0 + cx + std::cos(a) * d, cell.y0 + cy + std::sin(a) * d, 10.f, rgba(0.5f, 1.f, 0.8f, 1.f), 2.f);
  }
  stencil(image, "SONAR  RNG 40", cell.x0 + 64.f, cell.y0 + 12.f, 11, kFontMonoBold, rgb(0.4f, 1.f, 0.85f), 115, 0.f);
  screenFinish(image, cell);
}

} // namespace

Image paintScreensAndBars(int detail) {
  const int size = kScreenPictureSize;
  Image image = Image::atDetail(size, size, 3, detail);
  paintScope(image, kScreenCells[0]);
  paintBars(image, kScreenCells[1]);
  paintConsole(image, kScreenCells[2]);
  paintSweep(image, kScreenCells[3]);
  // The bar band: length runs across (u), the way round down the band (v).
  const AtlasCell &band = kScreenBarBand;
  const int bh = band.y1 - band.y0;
  paintRegion(image, band.x0, band.y0, band.x1, band.y1, [&](float x, float y) {
    const float u = (x + 0.5f) / size, a = (y - band.y0 + 0.5f) / bh;
    float edge;
    const float shade = faceShade(a, edge);
    Colour c = mix(rgb(0.08f, 0.085f, 0.09f), rgb(0.14f, 0.145f, 0.15f), tiled(u, a, 8, 116, 4));
    c = scaled(c, shade * (0.8f + 0.3f * streakNoise(a, u, 4, 32, 117)));
    c = add(c, rgb(0.15f, 0.15f, 0.16f), edge * 0.6f);
    return c;
  });
  for (int k = 0; k < 4; ++k)
    for (int f = 0; f < 4; ++f)
      rivet(image, 64.f + k * 128.f, band.y0 + 16.f + f * 32.f, 4.f, rgb(0.16f, 0.16f, 0.17f));
  return image;
}

// --- The pool's reflection and the unseen pictures -------------------------

Image paintWaterEnvironment(int detail) {
  // Directions are in eye space: x right, y up, z towards the viewer. The
  // water mostly reflects what lies ahead and above, so the far foggy hall
  // fills the rim of the map and the lamps and the hung box its upper half;
  // the centre (looking straight back up) is the dark ceiling.
  const auto sky = [](float dx, float dy, float dz) {
    Colour c = mix(rgb(0.05f, 0.075f, 0.085f), rgb(0.11f, 0.15f, 0.16f), smoothstep(-0.9f, 0.2f, dy));
    // Teal light thrown up from the tank walls low round the horizon.
    c = add(c, rgb(0.03f, 0.08f, 0.075f), std::exp(-(dy + 0.15f) * (dy + 0.15f) * 12.f));
    // The far end: fog low ahead.
    const float ahead = smoothstep(0.f, -0.95f, dz);
    const float horizon = std::exp(-(dy - 0.05f) * (dy - 0.05f) * 10.f);
    c = add(c, rgb(0.42f, 0.45f, 0.48f), ahead * horizon * 0.75f);
    // Lamp strips on the ceiling, seen through the ceiling plane.
    if (dy > 0.08f) {
      const float px = dx / dy, pz = dz / dy;
      const float strip = std::exp(-std::pow(fract(px * 0.9f) - 0.5f, 2.f) * 400.f);
      const float gaps = smoothstep(0.2f, 0.3f, fract(pz * 0.45f));
      const float fade = smoothstep(0.08f, 0.4f, dy);
      c = add(c, rgb(0.85f, 0.92f, 1.f), strip * gaps * fade * 0.85f);
      // The hung box: a dark block overhead, edged by its warning lamps.
      if (std::fabs(px) < 0.55f && std::fabs(pz) < 0.55f && dy > 0.5f)
        c = mix(c, rgb(0.035f, 0.045f, 0.05f), 0.85f);
    }
    // Screens glowing at eye height round the pool.
    const float az = std::atan2(dx, -dz);
    const float glowBand = std::exp(-std::pow(dy - 0.15f, 2.f) * 60.f);
    const float screens[4][4] = {
        {-1.2f, 0.2f, 1.f, 0.5f}, {-0.3f, 1.f, 0.6f, 0.15f}, {0.6f, 0.2f, 0.9f, 1.f}, {2.2f, 0.3f, 1.f, 0.6f}};
    for (const auto &s : screens) {
      const float d = std::remainder(az - s[0], kTwoPi);
      c = add(c, rgb(s[1], s[2], s[3]), std::exp(-d * d * 40.f) * glowBand * 0.45f);
    }
    // Grime on everything reflected.
    const float n = valueNoise3(dx * 4.f, dy * 4.f, dz * 4.f, 121);
    return scaled(c, 0.85f + 0.3f * n);
  };
  return sphereMap(512, sky, detail);
}

Image paintWaterBump(int detail) {
  // Rings spreading from a few drops, wrapped so the picture tiles, over a
  // fine chop.
  Rng rng(131);
  struct Drop {
    float x, y, wavelength, phase, reach;
  };
  std::vector<Drop> drops;
  for (int k = 0; k < 7; ++k)
    drops.push_back(Drop{rng.range(0.f, 1.f), rng.range(0.f, 1.f), rng.range(0.025f, 0.05f), rng.range(0.f, kTwoPi),
                         rng.range(0.2f, 0.4f)});
  return paintTile(256, detail, [&](float u, float v) {
    float hgt = 0.5f + 0.25f * (tiled(u, v, 8, 132, 4) - 0.5f);
    for (const Drop &d : drops) {
      float dx = std::fabs(u - d.x), dy = std::fabs(v - d.y);
      dx = std::min(dx, 1.f - dx);
      dy = std::min(dy, 1.f - dy);
      const float r = std::hypot(dx, dy);
      if (r < d.reach)
        hgt += 0.12f * std::cos(r / d.wavelength * kTwoPi + d.phase) * (1.f - r / d.reach) * (1.f - r / d.reach);
    }
    const float g = clamp01(hgt);
    return rgb(g, g, g);
  });
}

Image paintLogo3d(int detail) {
  const int width = 512, height = 256;
  const int d = detail;
  // A deep blue backdrop with a faint grid, its lines a base pixel wide.
  Image image = Image::atDetail(width, height, 3, d);
  paintRegion(image, 0, 0, width, height, [&](float x, float y) {
    const float u = (x + 0.5f) / width, v = (y + 0.5f) / height;
    Colour c = mix(rgb(0.02f, 0.03f, 0.07f), rgb(0.07f, 0.1f, 0.18f), 1.f - std::fabs(v - 0.5f) * 2.f);
    if (baseCell(x) % 32 == 0 || baseCell(y) % 32 == 0)
      c = add(c, rgb(0.03f, 0.05f, 0.09f));
    return scaled(c, 0.85f + 0.3f * fbm(u * 6.f, v * 3.f, 141, 3));
  });
  // The largest size whose lettering fits the picture with a margin.
  const std::string word = "kestrane";
  const float tracking = 4.f;
  int pixelSize = 100;
  Image text = renderText(word, pixelSize, kFontSansBold, 24, tracking);
  if (text.empty())
    return image;
  if (text.width > width - 24) {
    pixelSize = 100 * (width - 24) / text.width;
    text = renderText(word, pixelSize, kFontSansBold, 24, tracking);
  }
  // Finer letters are sized and placed like those at base detail.
  const int baseWidth = text.width, baseHeight = text.height;
  text = renderText(word, pixelSize, kFontSansBold, 24, tracking, d);
  // Height: the letter mask blurred, so the faces bevel towards the edges.
  Image height8 = text.rgb();
  for (int y = 0; y < text.height; ++y)
    for (int x = 0; x < text.width; ++x) {
      const float a = text.get(x, y).a;
      height8.set(x, y, rgb(a, a, a));
    }
  Image soft = height8;
  soft.blur(4);
  const int ox = (width - baseWidth) / 2 * d, oy = (height - baseHeight) / 2 * d;
  // A drop shadow first.
  Image shadow = height8;
  shadow.blur(7);
  for (int y = 0; y < text.height; ++y)
    for (int x = 0; x < text.width; ++x)
      image.blend(ox + x + 8 * d, oy + y + 10 * d, rgba(0.f, 0.f, 0.f, 0.8f), shadow.get(x, y).r);
  for (int y = 0; y < text.height; ++y)
    for (int x = 0; x < text.width; ++x) {
      const float a = text.get(x, y).a;
      if (a <= 0.f)
        continue;
      // The slope across a base pixel on either side (finer neighbours would
      // only add the 8-bit steps of the blurred height).
      const float hx = soft.get(x + d, y).r - soft.get(x - d, y).r;
      const float hy = soft.get(x, y + d).r - soft.get(x, y - d).r;
      Vec3 n{-hx * 3.f, hy * 3.f, 1.f};
      normalize(n);
      // Chrome: the letters mirror a bright sky over a dark horizon and warm
      // ground; the bevels tilt the mirror, and a key light glints on them.
      const float h = basePosition(y, d) / (text.height / static_cast<float>(d)) - 0.5f - 0.35f * n.y;
      Colour c;
      if (h < 0.f)
        c = mix(rgb(0.55f, 0.7f, 0.95f), rgb(0.95f, 0.97f, 1.f), smoothstep(0.f, -0.35f, h));
      else
        c = mix(rgb(0.12f, 0.08f, 0.06f), rgb(0.7f, 0.45f, 0.25f), smoothstep(0.02f, 0.3f, h));
      const float key = std::max(0.f, n.x * -0.4f + n.y * 0.5f + n.z * 0.77f);
      c = add(c, rgb(1.f, 0.95f, 0.85f), std::pow(key, 30.f) * 0.9f);
      image.blend(ox + x, oy + y, c, a);
    }
  return image;
}

Image paintSquare(int detail) {
  return paintTile(128, detail, [](float s, float t) {
    const float u = s * 2.f - 1.f, v = t * 2.f - 1.f;
    const float d = std::max(std::fabs(u), std::fabs(v)); // 0 centre, 1 edge
    float k = 0.f;
    if (d < 0.8f) // the face, with a soft glow towards the middle
      k = 0.55f + 0.45f * (1.f - d / 0.8f);
    else if (d < 0.92f) { // a bevel lit from the top left
      const bool lit = (std::fabs(u) > std::fabs(v)) ? u < 0.f : v < 0.f;
      k = lit ? 0.95f : 0.3f;
    } else { // a dark rim
      k = 1.f - d;
    }
    return rgb(k * 0.92f, k * 0.96f, k);
  });
}

} // namespace demo::bake
