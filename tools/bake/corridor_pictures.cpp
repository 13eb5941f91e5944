#include "bake/corridor_pictures.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "bake/bake_math.h"
#include "bake/text.h"

namespace demo::bake {

namespace {

Colour rgb(float r, float g, float b) { return Colour{r, g, b, 1.f}; }

// Distance between a and b on a circle of the given period.
float wrapDistance(float a, float b, float period) {
  float d = std::fmod(std::fabs(a - b), period);
  return std::min(d, period - d);
}

float fract(float v) { return v - std::floor(v); }

// A base position wrapped into a repeat of `period` base pixels, the cut
// falling between base pixels: -0.5 <= result < period - 0.5. At whole
// positions it is the position modulo the period.
float wrapCell(float v, float period) {
  const float u = v + 0.5f;
  return u - std::floor(u / period) * period - 0.5f;
}

// Signed distance from (px, py) to a rounded rectangle (centre, half sizes,
// corner radius): negative inside.
float roundedRectDistance(float px, float py, float cx, float cy, float hw, float hh, float radius) {
  float qx = std::fabs(px - cx) - (hw - radius), qy = std::fabs(py - cy) - (hh - radius);
  float outside = std::hypot(std::max(qx, 0.f), std::max(qy, 0.f));
  return outside + std::min(std::max(qx, qy), 0.f) - radius;
}

// Coverage of a shape from its signed distance in base pixels, antialiased
// over one pixel of the picture (a base pixel at detail 1, finer above).
float coverage(float signedDistance, int detail) { return clamp01(0.5f - signedDistance * static_cast<float>(detail)); }

// The ramp clamp01(v), one base pixel wide, narrowed to one pixel of the
// picture round its middle.
float ramp(float v, int detail) {
  return detail == 1 ? clamp01(v) : clamp01((v - 0.5f) * static_cast<float>(detail) + 0.5f);
}

// Calls f(px, py, x, y) for every pixel of the region x0 <= x < x1,
// y0 <= y < y1 (base pixels), row by row from the top: px, py the pixel
// itself, x, y its basePosition.
template <class F> void forPixels(const Image &image, int x0, int y0, int x1, int y1, F f) {
  const int d = image.detail;
  for (int py = y0 * d; py < y1 * d; ++py) {
    const float y = basePosition(py, d);
    for (int px = x0 * d; px < x1 * d; ++px)
      f(px, py, basePosition(px, d), y);
  }
}

// A round bolt head lit from the upper left: darkens or lightens `c`.
Colour bolt(const Colour &c, float dx, float dy, float radius) {
  float r = std::hypot(dx, dy);
  if (r > radius + 1.f)
    return c;
  if (r > radius) // a dark ring round the head
    return scaled(c, 0.55f + 0.45f * (r - radius));
  float lit = (-dx - dy) / (radius * 1.4142f); // -1 .. 1
  return scaled(c, 1.05f + 0.45f * lit);
}

// Copies the alpha of `text` (at the target's detail) into `target` as paint
// of colour c, centred on base pixel (centreX, centreY) and turned a quarter
// so that it reads on the corridor's side walls: their screen-up is the
// atlas's +x and their screen-right its -y.
void paintTurnedText(Image &target, const Image &text, int centreX, int centreY, const Colour &c) {
  const int d = target.detail;
  const int x0 = (centreX - text.baseHeight() / 2) * d, y0 = (centreY - text.baseWidth() / 2) * d;
  for (int ty = 0; ty < text.height; ++ty)
    for (int tx = 0; tx < text.width; ++tx) {
      float a = text.get(tx, ty).a;
      if (a > 0.f)
        target.blend(x0 + (text.height - 1 - ty), y0 + (text.width - 1 - tx), c, a);
    }
}

// A copy of an RGBA picture's alpha, widened by `grow` base pixels and
// softened by a blur of `soften`, with `padding` base pixels on every side:
// the rim or glow behind lettering, at the text's detail.
Image haloOf(const Image &text, int grow, int soften, int padding) {
  const int d = text.detail;
  grow *= d;
  padding *= d;
  Image halo(text.width + 2 * padding, text.height + 2 * padding, 4, Colour{1, 1, 1, 0});
  halo.detail = d;
  // widened[r]: the greatest alpha along each row within r pixels, r = 0 ..
  // grow, in the halo's columns; the disc is a maximum of these over its
  // rows.
  const int w = halo.width;
  std::vector<std::vector<uint8_t>> widened(static_cast<size_t>(grow) + 1,
                                            std::vector<uint8_t>(static_cast<size_t>(w) * text.height, 0));
  for (int y = 0; y < text.height; ++y)
    for (int x = 0; x < text.width; ++x)
      widened[0][static_cast<size_t>(y) * w + x + padding] =
          text.data[(static_cast<size_t>(y) * text.width + x) * text.channels + 3];
  for (int r = 1; r <= grow; ++r) {
    const std::vector<uint8_t> &narrow = widened[static_cast<size_t>(r) - 1];
    const std::vector<uint8_t> &alpha = widened[0];
    std::vector<uint8_t> &wide = widened[static_cast<size_t>(r)];
    for (int y = 0; y < text.height; ++y) {
      const size_t row = static_cast<size_t>(y) * w;
      for (int x = 0; x < w; ++x) {
        uint8_t best = narrow[row + x];
        if (x - r >= 0)
          best = std::max(best, alpha[row + x - r]);
        if (x + r < w)
          best = std::max(best, alpha[row + x + r]);
        wide[row + x] = best;
      }
    }
  }
  std::vector<int> reach(static_cast<size_t>(2 * grow + 1));
  for (int dy = -grow; dy <= grow; ++dy) {
    int r = 0;
    while ((r + 1) * (r + 1) + dy * dy <= grow * grow)
      ++r;
    reach[static_cast<size_t>(dy + grow)] = r;
  }
  for (int y = 0; y < halo.height; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t best = 0;
      for (int dy = -grow; dy <= grow; ++dy) {
        const int sy = y - padding + dy;
        if (sy < 0 || sy >= text.height)
          continue;
        best = std::max(best, widened[static_cast<size_t>(reach[static_cast<size_t>(dy + grow)])]
                                     [static_cast<size_t>(sy) * w + x]);
      }
      halo.set(x, y, Colour{1, 1, 1, static_cast<float>(best) / 255.f});
    }
  halo.blur(soften);
  return halo;
}

// Blends the alpha of `mask` into `target` with its top-left corner at pixel
// (x0, y0) of the target, as colour c; both at the same detail.
void paintMask(Image &target, const Image &mask, int x0, int y0, const Colour &c, float opacity = 1.f) {
  for (int y = 0; y < mask.height; ++y)
    for (int x = 0; x < mask.width; ++x) {
      float a = mask.get(x, y).a * opacity;
      if (a > 0.f)
        target.blend(x0 + x, y0 + y, c, a);
    }
}

// Gives every fully transparent pixel of an RGBA picture above detail 1 the
// colour of the paint in its base pixel (the mean of the others, weighted by
// their alpha), as the base pixel has at detail 1: filtered, the picture
// then pulls no black in round the edges of its shapes.
void fillTransparent(Image &image) {
  const int d = image.detail;
  if (d == 1 || image.channels != 4)
    return;
  for (int cy = 0; cy < image.baseHeight(); ++cy)
    for (int cx = 0; cx < image.baseWidth(); ++cx) {
      float r = 0.f, g = 0.f, b = 0.f, weight = 0.f;
      for (int y = cy * d; y < (cy + 1) * d; ++y)
        for (int x = cx * d; x < (cx + 1) * d; ++x) {
          Colour c = image.get(x, y);
          r += c.r * c.a;
          g += c.g * c.a;
          b += c.b * c.a;
          weight += c.a;
        }
      if (weight <= 0.f)
        continue;
      for (int y = cy * d; y < (cy + 1) * d; ++y)
        for (int x = cx * d; x < (cx + 1) * d; ++x)
          if (image.data[(static_cast<size_t>(y) * image.width + x) * 4 + 3] == 0)
            image.set(x, y, Colour{r / weight, g / weight, b / weight, 0.f});
    }
}

// --- The corridor atlas --------------------------------------------------

// Every pixel of an atlas column from f(x, y) -> Colour, x counted from the
// column's left edge, the full height of the atlas; x and y are base
// positions (image.h).
template <class F> void paintColumn(Image &atlas, const AtlasColumn &column, F f) {
  paintRegion(atlas, column.x0, 0, column.x1, kCorridorAtlasSize,
              [&](float x, float y) { return f(x - column.x0, y); });
}

// Diagonal stripes `width` base pixels wide across x + y, the first one
// starting at x + y = 0: whether (x, y) lies in an even one.
bool evenStripe(float x, float y, float width) { return wrapCell(x + y, 2.f * width) < width - 0.5f; }

// Side-wall column: per 128-row panel a lower kick plate with a hazard band
// and an upper plate carrying a vent, a stencilled number, a lit screen or a
// warning sign. u runs from the floor side (x = 0) up.
void paintWallColumn(Image &atlas) {
  const int x0 = kWallColumn.x0, width = kWallColumn.x1 - kWallColumn.x0;
  const int detail = atlas.detail;
  constexpr int kPlateSeam = 90; // between the kick plate and the upper plate
  paintColumn(atlas, kWallColumn, [&](float x, float y) {
    const float py = wrapCell(y, kCorridorPanelRows);
    float n = fbm(x / 32.f, y / 32.f, 101, 5, 0.55f, 16);
    Colour c = x < kPlateSeam - 0.5f ? rgb(0.33f, 0.35f, 0.39f) : rgb(0.43f, 0.47f, 0.53f);
    c = scaled(c, 0.82f + 0.36f * n);
    const float ridge = wrapCell(x, 12.f);
    if (x < kPlateSeam - 12.5f && ridge < 1.5f) // ridges across the kick plate
      c = scaled(c, ridge < 0.5f ? 0.7f : 1.2f);
    if (x >= kPlateSeam - 12.5f && x < kPlateSeam - 2.5f) { // hazard band
      bool yellow = evenStripe(x, y, 7.f);
      c = yellow ? scaled(rgb(0.86f, 0.66f, 0.12f), 0.8f + 0.3f * n) : rgb(0.07f, 0.07f, 0.08f);
    }
    // Seams: panel ends, the plate seam and the wall's own edges.
    float seam = std::min({wrapDistance(py, 0.f, kCorridorPanelRows), std::fabs(x - (kPlateSeam - 0.5f)), x,
                           width - 1.f - x});
    if (seam < 1.5f)
      c = scaled(c, 0.3f);
    else if (seam < 2.5f)
      c = scaled(c, 1.3f);
    // Rivets along the panel ends and the plate seam.
    for (float ry : {5.f, kCorridorPanelRows - 5.f}) {
      float rx = std::round((x - 8.f) / 16.f) * 16.f + 8.f;
      c = bolt(c, x - rx, py - ry, 2.2f);
    }
    float sy = std::round((py - 8.f) / 16.f) * 16.f + 8.f;
    c = bolt(c, x - (kPlateSeam + 5.f), py - sy, 2.f);
    // Grime: rust-brown streaks running down from the top, dirt near the floor.
    float streak = fbm(x / 48.f, y / 2.f, 102, 3, 0.5f, 256);
    float drip = smoothstep(0.55f, 0.8f, streak) * (0.3f + 0.7f * x / width);
    c = mix(c, scaled(rgb(0.32f, 0.2f, 0.12f), 0.6f + 0.6f * n), 0.45f * drip);
    c = scaled(c, 0.55f + 0.45f * smoothstep(0.f, 46.f, x));
    return c;
  });

  // The upper plate's fixture, one kind per panel.
  for (int panel = 0; panel < kCorridorAtlasSize / kCorridorPanelRows; ++panel) {
    const float top = static_cast<float>(panel * kCorridorPanelRows);
    const float cx = x0 + 142.f, cy = top + 64.f;
    switch (panel) {
    case 0: { // a vent with slats
      atlas.fillRect(cx - 36, cy - 44, cx + 36, cy + 44, rgb(0.05f, 0.05f, 0.06f));
      for (float sx = cx - 33; sx < cx + 32; sx += 6) {
        atlas.fillRect(sx, cy - 42, sx + 3, cy + 42, rgb(0.3f, 0.32f, 0.35f));
        atlas.fillRect(sx, cy - 42, sx + 1, cy + 42, rgb(0.55f, 0.58f, 0.62f));
      }
      atlas.strokeRect(cx - 38, cy - 46, cx + 38, cy + 46, 2.f, rgb(0.2f, 0.21f, 0.24f));
      break;
    }
    case 1: { // a stencilled section number
      Image label = renderText("C-07", 40, kFontMonoBold, 0, 2.f, detail);
      paintTurnedText(atlas, label, static_cast<int>(cx), static_cast<int>(cy), Colour{0.9f, 0.84f, 0.58f, 0.9f});
      Image small = renderText("DECK 4", 16, kFontSansBold, 0, 2.f, detail);
      paintTurnedText(atlas, small, static_cast<int>(cx - 34), static_cast<int>(cy), Colour{0.9f, 0.84f, 0.58f, 0.75f});
      break;
    }
    case 2: { // a lit status screen: bars rising up the wall
      atlas.fillRect(cx - 38, cy - 48, cx + 38, cy + 48, rgb(0.06f, 0.07f, 0.08f));
      forPixels(atlas, static_cast<int>(cx - 32), static_cast<int>(cy - 42), static_cast<int>(cx + 32),
                static_cast<int>(cy + 42), [&](int px, int py, float x, float y) {
                  float glow = 0.75f + 0.25f * std::sin(y * 0.5f);
                  Colour screen = rgb(0.1f * glow, 0.55f * glow, 0.62f * glow);
                  if (baseCell(x) % 4 == 0)
                    screen = scaled(screen, 0.7f);
                  atlas.set(px, py, screen);
                });
      Rng rng(23);
      for (float by = cy - 38; by < cy + 36; by += 8) {
        float h = rng.range(12.f, 56.f);
        atlas.fillRect(cx - 28, by, cx - 28 + h, by + 5, rgb(0.55f, 1.f, 0.92f));
      }
      atlas.glow(cx, cy, 60.f, Colour{0.1f, 0.35f, 0.4f, 0.6f}, 2.f);
      break;
    }
    default: { // a warning sign: a triangle pointing up the wall
      const float apexX = cx + 36, baseX = cx - 28, halfBase = 36;
      forPixels(atlas, static_cast<int>(baseX - 4), static_cast<int>(cy - halfBase - 4),
                static_cast<int>(apexX + 4) + 1, static_cast<int>(cy + halfBase + 4) + 1,
                [&](int px, int py, float x, float y) {
                  float t = (apexX - (x + 0.5f)) / (apexX - baseX); // 0 at the apex, 1 at the base
                  float half = halfBase * t;
                  float inside = std::min({half - std::fabs(y + 0.5f - cy), (x + 0.5f) - baseX, t * 40.f});
                  if (inside > -1.f)
                    atlas.blend(px, py, rgb(0.08f, 0.08f, 0.08f), ramp(inside + 1.f, detail));
                  if (inside > 4.f)
                    atlas.blend(px, py, rgb(0.95f, 0.74f, 0.1f), ramp(inside - 4.f, detail));
                });
      Image mark = renderText("!", 44, kFontSansBold, 0, 0.f, detail);
      paintTurnedText(atlas, mark, static_cast<int>(cx - 6), static_cast<int>(cy), rgb(0.06f, 0.06f, 0.06f));
      break;
    }
    }
  }
}

// Floor column: diamond tread plate, hazard stripes along both edges, worn
// bright down the middle.
void paintFloorColumn(Image &atlas) {
  const int width = kFloorColumn.x1 - kFloorColumn.x0;
  paintColumn(atlas, kFloorColumn, [&](float x, float y) {
    float n = fbm(x / 32.f, y / 32.f, 201, 5, 0.55f, 16);
    Colour c = scaled(rgb(0.3f, 0.31f, 0.33f), 0.8f + 0.4f * n);
    // Raised bars, alternating direction cell by cell (16 base pixels).
    int cellX = static_cast<int>(std::floor((x + 0.5f) / 16.f)), cellY = static_cast<int>(std::floor((y + 0.5f) / 16.f));
    float lx = wrapCell(x, 16.f) - 7.5f, ly = wrapCell(y, 16.f) - 7.5f;
    if ((cellX + cellY) % 2)
      lx = -lx;
    float across = (lx - ly) * 0.7071f, along = (lx + ly) * 0.7071f;
    if (std::fabs(along) < 5.5f && std::fabs(across) < 1.8f)
      c = scaled(c, across < 0.f ? 1.45f : 1.15f);
    else if (std::fabs(along) < 6.f && across >= 1.8f && across < 2.8f)
      c = scaled(c, 0.6f);
    // Wear: polished where feet go, darker dirt elsewhere.
    float centre = 1.f - std::fabs(x - width * 0.5f) / (width * 0.5f);
    float wear = fbm(x / 16.f, y / 16.f, 202, 4, 0.5f, 32);
    c = mix(c, rgb(0.55f, 0.56f, 0.57f), 0.35f * centre * smoothstep(0.5f, 0.75f, wear));
    c = scaled(c, 0.75f + 0.25f * smoothstep(0.2f, 0.6f, wear));
    if (x < 11.5f || x >= width - 12.5f) {
      bool yellow = evenStripe(x, y, 16.f);
      c = yellow ? scaled(rgb(0.85f, 0.64f, 0.1f), 0.7f + 0.4f * n) : rgb(0.06f, 0.06f, 0.07f);
    }
    const int cell = baseCell(x);
    if (cell == 12 || cell == width - 13 || cell == 0 || cell == width - 1)
      c = scaled(c, 0.3f);
    return c;
  });
}

// Ceiling column: dark panels round a light strip that breaks at each
// fixture end.
void paintCeilingColumn(Image &atlas) {
  const int width = kCeilingColumn.x1 - kCeilingColumn.x0;
  const float mid = width * 0.5f;
  paintColumn(atlas, kCeilingColumn, [&](float x, float y) {
    float n = fbm(x / 32.f, y / 32.f, 301, 5, 0.55f, 16);
    Colour c = scaled(rgb(0.27f, 0.29f, 0.33f), 0.8f + 0.4f * n);
    float py = wrapCell(y, 64.f);
    float seam = std::min(wrapDistance(py, 0.f, 64.f), std::min(x, width - 1.f - x));
    if (seam < 1.5f)
      c = scaled(c, 0.35f);
    c = bolt(c, x - 6.f, py - 6.f, 1.8f);
    c = bolt(c, x - (width - 7.f), py - 6.f, 1.8f);
    float d = std::fabs(x + 0.5f - mid);
    float fixture = wrapCell(y, kCorridorPanelRows);
    bool gap = fixture < 9.5f || fixture > kCorridorPanelRows - 9.5f;
    if (d < 14.f) { // housing
      c = rgb(0.16f, 0.17f, 0.19f);
      if (!gap && d < 10.f) { // lens with louvres
        c = rgb(0.9f, 0.96f, 1.f);
        if (baseCell(y) % 8 == 0)
          c = rgb(0.62f, 0.72f, 0.78f);
      }
    } else if (!gap) {
      float glow = std::exp(-(d - 14.f) / 9.f);
      c.r += 0.3f * glow;
      c.g += 0.38f * glow;
      c.b += 0.42f * glow;
    }
    return c;
  });
}

// Rib column: painted gunmetal with bevelled edges, bolts and chipped paint.
// u runs across the rib's face, v along its perimeter.
void paintRibColumn(Image &atlas) {
  const int width = kRibColumn.x1 - kRibColumn.x0;
  paintColumn(atlas, kRibColumn, [&](float x, float y) {
    float n = fbm(x / 32.f, y / 32.f, 401, 5, 0.55f, 16);
    Colour c = scaled(rgb(0.3f, 0.32f, 0.36f), 0.8f + 0.4f * n);
    float chip = fbm(x / 8.f, y / 8.f, 402, 4, 0.5f, 64);
    if (chip > 0.72f)
      c = scaled(rgb(0.58f, 0.58f, 0.6f), 0.85f + 0.3f * n);
    if (x < 2.5f || x >= width - 3.5f)
      c = scaled(c, x < 2.5f ? 1.35f : 0.6f);
    float by = std::round((y - 16.f) / 32.f) * 32.f + 16.f;
    c = bolt(c, x - 11.f, y - by, 3.f);
    c = bolt(c, x - (width - 12.f), y - by, 3.f);
    return c;
  });
}

void paintHazardColumn(Image &atlas) {
  const int width = kHazardColumn.x1 - kHazardColumn.x0;
  paintColumn(atlas, kHazardColumn, [&](float x, float y) {
    float n = fbm(x / 16.f, y / 16.f, 501, 4, 0.55f, 32);
    bool yellow = evenStripe(x, y, 16.f);
    Colour c = yellow ? rgb(0.9f, 0.7f, 0.12f) : rgb(0.07f, 0.07f, 0.08f);
    if (n > 0.68f)
      c = mix(c, rgb(0.45f, 0.45f, 0.47f), 0.7f); // worn to bare metal
    c = scaled(c, 0.8f + 0.3f * n);
    if (x < 1.5f || x >= width - 2.5f)
      c = scaled(c, 0.4f);
    return c;
  });
}

void paintLampColumn(Image &atlas) {
  const int width = kLampColumn.x1 - kLampColumn.x0;
  paintColumn(atlas, kLampColumn, [&](float x, float y) {
    Colour c = rgb(0.94f, 0.98f, 1.f);
    if (wrapCell(y, 16.f) < 1.5f)
      c = rgb(0.6f, 0.7f, 0.76f);
    if (x < 1.5f || x >= width - 2.5f)
      c = rgb(0.2f, 0.22f, 0.25f);
    return c;
  });
}

} // namespace

Image paintCorridorAtlas(int detail) {
  Image atlas = Image::atDetail(kCorridorAtlasSize, kCorridorAtlasSize, 3, detail);
  paintWallColumn(atlas);
  paintFloorColumn(atlas);
  paintCeilingColumn(atlas);
  paintRibColumn(atlas);
  paintHazardColumn(atlas);
  paintLampColumn(atlas);
  return atlas;
}

// --- Metaball textures ----------------------------------------------------

Image paintMetaballEnvironment(int detail) {
  return sphereMap(512, [](float dx, float dy, float dz) {
    // A tall steel hall: dark floor, a bright band at eye height, rows of
    // strip lights overhead and two coloured windows at the sides.
    Colour c;
    if (dy >= 0.f) {
      c = mix(rgb(0.42f, 0.46f, 0.55f), rgb(0.1f, 0.12f, 0.18f), std::pow(dy, 0.6f));
    } else {
      c = mix(rgb(0.3f, 0.3f, 0.34f), rgb(0.05f, 0.05f, 0.07f), std::pow(-dy, 0.5f));
    }
    float band = std::exp(-(dy / 0.07f) * (dy / 0.07f));
    c = mix(c, rgb(1.f, 0.86f, 0.7f), 0.85f * band);
    if (dy > 0.04f) { // ceiling plane y = 1: strips of light running along z
      float px = dx / dy, pz = dz / dy;
      float distance = std::hypot(px, pz);
      float acrossStrip = wrapDistance(px, 0.8f, 1.6f);
      float alongStrip = fract(pz / 1.4f);
      float lit = smoothstep(0.2f, 0.12f, acrossStrip) * smoothstep(0.f, 0.08f, alongStrip) *
                  smoothstep(0.75f, 0.67f, alongStrip);
      float fade = 1.f / (1.f + 0.04f * distance * distance);
      c = mix(c, rgb(1.f, 1.f, 1.f), lit * fade);
      float beam = wrapDistance(pz, 0.f, 2.8f);
      if (beam < 0.06f) // dark girders across the ceiling
        c = scaled(c, 0.4f + 0.6f * fade * 0.5f);
    } else if (dy < -0.04f) { // floor plane y = -1: a faint cyan grid
      float px = dx / -dy, pz = dz / -dy;
      float grid = std::min(wrapDistance(px, 0.f, 1.f), wrapDistance(pz, 0.f, 1.f));
      float fade = 1.f / (1.f + 0.1f * (px * px + pz * pz));
      c = mix(c, rgb(0.2f, 0.75f, 0.85f), smoothstep(0.04f, 0.f, grid) * fade * 0.7f);
    }
    auto window = [&](float wx, float wy, float wz, float size) {
      float d = std::hypot(dx - wx, std::hypot(dy - wy, dz - wz));
      return std::exp(-(d / size) * (d / size));
    };
    c = mix(c, rgb(0.25f, 0.85f, 1.f), 0.9f * window(-0.85f, 0.25f, 0.2f, 0.35f));
    c = mix(c, rgb(1.f, 0.45f, 0.3f), 0.85f * window(0.8f, 0.15f, -0.4f, 0.4f));
    c = mix(c, rgb(1.f, 1.f, 0.95f), 0.9f * window(0.15f, 0.55f, 0.75f, 0.2f)); // key light behind the viewer
    float grain = valueNoise3(dx * 6.f, dy * 6.f, dz * 6.f, 601);
    return scaled(c, 0.9f + 0.2f * grain);
  }, detail);
}


Image paintRingPattern(int detail) {
  constexpr int kSize = 256;
  Image image = paintImage(
      kSize, kSize,
      [](float x, float y) {
        float n = fbm(x / 32.f, y / 32.f, 701, 4, 0.5f, 8);
        return scaled(rgb(0.93f, 0.91f, 0.87f), 0.93f + 0.1f * n);
      },
      detail);
  struct Ring {
    float x, y, radius, width;
    Colour colour;
    bool filled;
  };
  const std::array<Colour, 4> palette = {rgb(0.42f, 0.52f, 0.7f), rgb(0.86f, 0.55f, 0.3f), rgb(0.38f, 0.38f, 0.44f),
                                         rgb(0.45f, 0.7f, 0.72f)};
  Rng rng(71);
  std::vector<Ring> rings;
  for (int i = 0; i < 30; ++i) {
    Ring r;
    r.x = rng.range(0.f, kSize);
    r.y = rng.range(0.f, kSize);
    r.radius = i < 6 ? rng.range(26.f, 44.f) : rng.range(5.f, 22.f);
    r.width = std::max(1.5f, r.radius * rng.range(0.12f, 0.28f));
    r.colour = palette[static_cast<size_t>(rng.below(static_cast<int>(palette.size())))];
    r.filled = rng.uniform() < 0.3f;
    rings.push_back(r);
  }
  for (const Ring &r : rings)
    for (int oy = -1; oy <= 1; ++oy) // drawn nine times so the tile wraps
      for (int ox = -1; ox <= 1; ++ox) {
        float cx = r.x + ox * kSize, cy = r.y + oy * kSize;
        int xa = std::max(0, static_cast<int>(cx - r.radius - r.width - 3));
        int xb = std::min(kSize - 1, static_cast<int>(cx + r.radius + r.width + 3));
        int ya = std::max(0, static_cast<int>(cy - r.radius - r.width - 3));
        int yb = std::min(kSize - 1, static_cast<int>(cy + r.radius + r.width + 3));
        forPixels(image, xa, ya, xb + 1, yb + 1, [&](int px, int py, float x, float y) {
          float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy);
          if (r.filled)
            image.blend(px, py, r.colour, 0.22f * coverage(d - r.radius, detail));
          float shadow = std::hypot(x + 0.5f - cx - 1.5f, y + 0.5f - cy - 1.5f);
          image.blend(px, py, rgb(0.f, 0.f, 0.f),
                      0.15f * coverage(std::fabs(shadow - r.radius) - r.width * 0.5f, detail));
          image.blend(px, py, r.colour, coverage(std::fabs(d - r.radius) - r.width * 0.5f, detail));
          // A thin highlight on each ring's inner edge.
          image.blend(px, py, rgb(1.f, 1.f, 1.f),
                      0.5f * coverage(std::fabs(d - (r.radius - r.width * 0.3f)) - 0.5f, detail) *
                          clamp01((cx - x - (cy - y)) / r.radius));
        });
      }
  return image;
}

// --- Intro pictures ------------------------------------------------------

Image paintMarker(int detail) {
  constexpr int kWidth = 800, kHeight = 680;
  Image image = Image::atDetail(kWidth, kHeight, 3, detail);
  const float fineStep = static_cast<float>(detail); // pixels per base pixel
  // Terrain heights once, then colour, hill shading and contour lines.
  const int pixelsX = image.width, pixelsY = image.height;
  std::vector<float> height(static_cast<size_t>(pixelsX) * pixelsY);
  forPixels(image, 0, 0, kWidth, kHeight, [&](int px, int py, float x, float y) {
    height[static_cast<size_t>(py) * pixelsX + px] = fbm(x / 170.f + 3.f, y / 170.f + 7.f, 801, 6, 0.5f);
  });
  auto h = [&](int px, int py) {
    px = std::clamp(px, 0, pixelsX - 1);
    py = std::clamp(py, 0, pixelsY - 1);
    return height[static_cast<size_t>(py) * pixelsX + px];
  };
  constexpr float kSea = 0.43f;
  forPixels(image, 0, 0, kWidth, kHeight, [&](int px, int py, float, float) {
    float e = h(px, py);
    // The height's change over two base pixels.
    float gx = (h(px + 1, py) - h(px - 1, py)) * fineStep, gy = (h(px, py + 1) - h(px, py - 1)) * fineStep;
    Colour c;
    if (e < kSea) {
      c = mix(rgb(0.04f, 0.12f, 0.2f), rgb(0.1f, 0.3f, 0.38f), smoothstep(0.3f, kSea, e));
    } else {
      float t = smoothstep(kSea, 0.72f, e);
      c = t < 0.5f ? mix(rgb(0.22f, 0.36f, 0.28f), rgb(0.55f, 0.52f, 0.36f), t * 2.f)
                   : mix(rgb(0.55f, 0.52f, 0.36f), rgb(0.86f, 0.84f, 0.78f), t * 2.f - 1.f);
      float shade = 0.85f + 18.f * (-gx - gy);
      c = scaled(c, std::clamp(shade, 0.55f, 1.25f));
    }
    // Contours every 1/28 of height, a heavier one every fifth; widths in
    // base pixels from the local slope.
    float slope = std::hypot(gx, gy) * 0.5f + 1e-5f;
    float level = e * 28.f;
    float distance = std::min(fract(level), 1.f - fract(level)) / (28.f * slope);
    bool major = static_cast<int>(std::floor(level + 0.5f)) % 5 == 0;
    float line = coverage(distance - (major ? 0.9f : 0.45f), detail);
    c = mix(c, e < kSea ? rgb(0.25f, 0.55f, 0.65f) : rgb(0.18f, 0.12f, 0.08f), line * (major ? 0.7f : 0.4f));
    c = mix(c, rgb(0.9f, 0.88f, 0.7f), 0.6f * coverage(std::fabs(e - kSea) / slope - 1.f, detail)); // the coast
    image.set(px, py, c);
  });
  // Grid and its coordinates.
  for (int g = 0; g <= kWidth; g += 100)
    image.fillRect(g - 0.6f, 0, g + 0.6f, kHeight, Colour{0.85f, 0.95f, 1.f, 0.3f});
  for (int g = kHeight % 100; g <= kHeight; g += 100)
    image.fillRect(0, g - 0.6f, kWidth, g + 0.6f, Colour{0.85f, 0.95f, 1.f, 0.3f});
  for (int i = 1; i < 8; ++i)
    drawTextCentred(image, std::to_string(40 + i * 5) + "E", i * 100.f, 14.f, 13, kFontMonoBold,
                    Colour{0.9f, 0.97f, 1.f, 0.8f});
  for (int i = 1; i < 7; ++i)
    drawTextCentred(image, std::to_string(70 - i * 5) + "N", 22.f, kHeight % 100 + i * 100.f - 12.f, 13,
                    kFontMonoBold, Colour{0.9f, 0.97f, 1.f, 0.8f});

  // The route to the pin: a dashed line with a dark casing.
  const float tipX = 430.f, tipY = 585.f;
  const std::array<std::array<float, 2>, 6> route = {
      {{{60.f, 660.f}}, {{170.f, 600.f}}, {{210.f, 500.f}}, {{320.f, 470.f}}, {{360.f, 560.f}}, {{tipX, tipY}}}};
  for (size_t i = 0; i + 1 < route.size(); ++i)
    image.line(route[i][0], route[i][1], route[i + 1][0], route[i + 1][1], 7.f, Colour{0.05f, 0.05f, 0.05f, 0.6f});
  float travelled = 0.f;
  for (size_t i = 0; i + 1 < route.size(); ++i) {
    float ax = route[i][0], ay = route[i][1], bx = route[i + 1][0], by = route[i + 1][1];
    float length = std::hypot(bx - ax, by - ay);
    for (float s = 0.f; s < length; s += 2.f, travelled += 2.f)
      if (std::fmod(travelled, 18.f) < 11.f) {
        float t0 = s / length, t1 = std::min(1.f, (s + 2.f) / length);
        image.line(ax + (bx - ax) * t0, ay + (by - ay) * t0, ax + (bx - ax) * t1, ay + (by - ay) * t1, 3.5f,
                   rgb(1.f, 0.86f, 0.3f));
      }
  }

  // Pulse rings round the tip, flattened like rings on the ground.
  for (int k = 0; k < 3; ++k) {
    float r = 34.f + 30.f * k;
    forPixels(image, static_cast<int>(tipX - r - 4), static_cast<int>(tipY - r * 0.4f - 4),
              static_cast<int>(tipX + r + 4) + 1, static_cast<int>(tipY + r * 0.4f + 4) + 1,
              [&](int px, int py, float x, float y) {
                float d = std::hypot((x + 0.5f - tipX) / r, (y + 0.5f - tipY) / (r * 0.4f)) * r;
                image.blend(px, py, rgb(0.45f, 0.95f, 1.f),
                            (0.85f - 0.25f * k) * coverage(std::fabs(d - r) - 1.6f, detail));
              });
  }

  // The pin: a teardrop (a disc and the two tangents down to the tip) with a
  // soft shadow falling to the lower right.
  const float headX = tipX, headY = tipY - 140.f, radius = 66.f;
  auto pinDistance = [&](float px, float py) {
    float disc = std::hypot(px - headX, py - headY) - radius;
    // The cone: the tangent lines from the tip meet the circle at angle a.
    float dx = px - tipX, dy = py - tipY;
    float along = -dy; // height above the tip
    float length = tipY - headY;
    float halfAngle = std::asin(radius / length);
    float side = std::fabs(dx) * std::cos(halfAngle) - along * std::sin(halfAngle);
    float tangent = length * std::cos(halfAngle) * std::cos(halfAngle); // height of the tangent points
    float cone = along < 0.f ? std::hypot(dx, dy) : (along > tangent ? 1e9f : side);
    return std::min(disc, cone);
  };
  // The shadow leans over: sheared to the right and squashed, then softened.
  const int shadowX = static_cast<int>(headX - radius), shadowY = static_cast<int>(headY - radius - 20);
  Image shadow = Image::atDetail(static_cast<int>(5 * radius), static_cast<int>(tipY + 30) - shadowY, 4, detail,
                                 Colour{0, 0, 0, 0});
  forPixels(shadow, 0, 0, shadow.baseWidth(), shadow.baseHeight(), [&](int px, int py, float x, float y) {
    float sx0 = shadowX + x - 40.f, sy0 = shadowY + y;
    float sy = tipY - (tipY - sy0) * 1.6f, sx = sx0 - (tipY - sy0) * 0.9f;
    shadow.set(px, py, Colour{0, 0, 0, 0.55f * coverage(pinDistance(sx, sy), detail)});
  });
  shadow.blur(6);
  paintMask(image, shadow, shadowX * detail, shadowY * detail, rgb(0.f, 0.f, 0.f));
  forPixels(image, static_cast<int>(headX - radius - 6), static_cast<int>(headY - radius - 6),
            static_cast<int>(headX + radius + 6), static_cast<int>(tipY + 6), [&](int px, int py, float x, float y) {
              float d = pinDistance(x + 0.5f, y + 0.5f);
              image.blend(px, py, rgb(0.08f, 0.02f, 0.02f), coverage(d - 3.f, detail));
              float light = clamp01(0.5f - ((x - headX) + (y - headY)) / (3.f * radius));
              Colour red = mix(rgb(0.62f, 0.06f, 0.05f), rgb(1.f, 0.36f, 0.28f), light);
              image.blend(px, py, red, coverage(d + 1.f, detail));
              float ring = std::hypot(x + 0.5f - headX, y + 0.5f - headY);
              image.blend(px, py, rgb(0.98f, 0.96f, 0.92f), coverage(ring - 28.f, detail));
              image.blend(px, py, rgb(0.62f, 0.06f, 0.05f), coverage(ring - 11.f, detail));
              // A gloss highlight on the upper left of the head.
              float gloss = std::hypot(x + 0.5f - (headX - 30.f), (y + 0.5f - (headY - 34.f)) * 1.6f);
              image.blend(px, py, rgb(1.f, 1.f, 1.f),
                          0.35f * coverage(gloss - 14.f, detail) * coverage(d + 2.f, detail));
            });

  // The place's label in a dark box beside the pin.
  const float boxX = headX + radius + 28.f, boxY = headY - 40.f;
  constexpr float kBoxWidth = 270.f;
  forPixels(image, static_cast<int>(boxX), static_cast<int>(boxY), static_cast<int>(boxX + kBoxWidth),
            static_cast<int>(boxY + 80), [&](int px, int py, float x, float y) {
              float d = roundedRectDistance(x + 0.5f, y + 0.5f, boxX + kBoxWidth * 0.5f, boxY + 40.f,
                                            kBoxWidth * 0.5f, 40.f, 10.f);
              image.blend(px, py, rgb(0.03f, 0.06f, 0.09f), 0.78f * coverage(d, detail));
              image.blend(px, py, rgb(1.f, 0.86f, 0.3f), coverage(std::fabs(d + 1.5f) - 1.f, detail));
            });
  image.line(headX + radius + 4.f, headY, boxX, boxY + 40.f, 2.5f, rgb(1.f, 0.86f, 0.3f));
  drawTextCentred(image, "QUINTERVALE", boxX + kBoxWidth * 0.5f, boxY + 28.f, 27, kFontSansBold, rgb(1.f, 1.f, 1.f), 1.f);
  drawTextCentred(image, "61.204 N   17.318 E", boxX + kBoxWidth * 0.5f, boxY + 58.f, 15, kFontMonoBold,
                  rgb(1.f, 0.86f, 0.3f));

  // A compass rose in the lower right.
  const float roseX = 700.f, roseY = 590.f;
  forPixels(image, static_cast<int>(roseX - 60), static_cast<int>(roseY - 60), static_cast<int>(roseX + 60) + 1,
            static_cast<int>(roseY + 60) + 1, [&](int px, int py, float x, float y) {
              float dx = x + 0.5f - roseX, dy = y + 0.5f - roseY;
              float r = std::hypot(dx, dy);
              image.blend(px, py, rgb(0.9f, 0.95f, 1.f), 0.8f * coverage(std::fabs(r - 44.f) - 1.f, detail));
              // Four points: |dx| + 4 |dy| < 52 and the same turned.
              float star = std::min(std::fabs(dx) * 4.f + std::fabs(dy), std::fabs(dx) + std::fabs(dy) * 4.f) - 54.f;
              Colour point =
                  (dy < 0.f && std::fabs(dx) < std::fabs(dy)) ? rgb(0.95f, 0.3f, 0.22f) : rgb(0.92f, 0.94f, 0.96f);
              image.blend(px, py, scaled(point, dx < 0.f ? 1.f : 0.75f), coverage(star / 4.f, detail));
            });
  drawTextCentred(image, "N", roseX, roseY - 72.f, 20, kFontSansBold, rgb(0.95f, 0.97f, 1.f));
  drawTextCentred(image, "SECTOR MAP 7", 110.f, 46.f, 18, kFontSansBold, Colour{1.f, 1.f, 1.f, 0.85f}, 2.f);

  // Vignette.
  forPixels(image, 0, 0, kWidth, kHeight, [&](int px, int py, float x, float y) {
    float dx = (x - kWidth * 0.5f) / (kWidth * 0.5f), dy = (y - kHeight * 0.5f) / (kHeight * 0.5f);
    image.set(px, py, scaled(image.get(px, py), 1.05f - 0.3f * (dx * dx + dy * dy) * 0.5f));
  });
  return image;
}

Image paintGreetings(int detail) {
  constexpr int kWidth = 800, kHeight = 600;
  constexpr float kNeutral = 0.7f; // times (0.7 + 0.3): the picture below stays as it is
  Image image = Image::atDetail(kWidth, kHeight, 3, detail, rgb(kNeutral, kNeutral, kNeutral));
  struct Line {
    const char *text;
    float x, y;
    int size;
  };
  // Greetings go to groups made up for this production.
  const std::array<Line, 15> lines = {{
      {"kestrane sends greetings to", 400.f, 62.f, 38},
      {"Brass Lantern", 230.f, 150.f, 30},
      {"Polygon Orchard", 570.f, 150.f, 30},
      {"Copper Owl", 230.f, 200.f, 30},
      {"Syntax Meadow", 570.f, 200.f, 30},
      {"Lumen Foundry", 230.f, 250.f, 30},
      {"Static Tide", 570.f, 250.f, 30},
      {"Paper Satellites", 230.f, 300.f, 30},
      {"Velvet Relay", 570.f, 300.f, 30},
      {"Glass Heron", 230.f, 350.f, 30},
      {"Tin Comet", 570.f, 350.f, 30},
      {"Northern Sprocket", 230.f, 400.f, 30},
      {"Amber Circuit", 570.f, 400.f, 30},
      {"and everyone at the party place", 400.f, 480.f, 26},
      {"- quintervale -", 400.f, 540.f, 22},
  }};
  for (const Line &line : lines) {
    Image text = renderText(line.text, line.size, kFontSansBold, 0, 1.f, detail);
    Image rim = haloOf(text, 3, 2, 6);
    // Centred on (x, y), on the base pixel it takes at detail 1.
    int x0 = static_cast<int>(std::lround(line.x - text.baseWidth() * 0.5f)) * detail;
    int y0 = static_cast<int>(std::lround(line.y - text.baseHeight() * 0.5f)) * detail;
    paintMask(image, rim, x0 - 6 * detail, y0 - 6 * detail, rgb(0.02f, 0.02f, 0.03f));
    paintMask(image, text, x0, y0, rgb(1.f, 1.f, 1.f));
  }
  // Two rules framing the title: a light row over a dark one.
  for (float y : {96.f, 512.f}) {
    const int row = static_cast<int>(y);
    forPixels(image, 120, row, 680, row + 2, [&](int px, int py, float x, float ry) {
      float fade = 1.f - std::fabs(x - 400.f) / 280.f;
      image.blend(px, py, baseCell(ry) == row ? rgb(1.f, 1.f, 1.f) : rgb(0.05f, 0.05f, 0.05f), fade);
    });
  }
  return image;
}

Image paintGroupLogo(int detail) {
  constexpr int kWidth = 840, kHeight = 160;
  Image image = Image::atDetail(kWidth, kHeight, 4, detail, Colour{0.f, 0.f, 0.f, 0.f});
  Image word = renderText("kestrane", 80, kFontSansBold, 0, 5.f, detail);
  // Its corner in pixels of the picture, and its place and width in base
  // pixels.
  const int x0 = (kWidth - word.baseWidth()) / 2 * detail, y0 = (96 - word.baseHeight() / 2) * detail;
  const float wordX = static_cast<float>((kWidth - word.baseWidth()) / 2), wordWidth = static_cast<float>(word.baseWidth());
  // Lines running out from both sides of the word.
  forPixels(image, 20, 95, kWidth - 20, 97, [&](int px, int py, float x, float) {
    if (x > wordX - 24 && x < wordX + wordWidth + 24)
      return;
    float fade = x < wordX ? (x - 20.f) / (wordX - 44.f) : (kWidth - 20.f - x) / (kWidth - 44.f - wordX - wordWidth);
    image.blend(px, py, Colour{0.4f, 0.85f, 1.f, 0.8f}, clamp01(fade));
  });
  Image glow = haloOf(word, 6, 8, 20);
  paintMask(image, glow, x0 - 20 * detail, y0 - 20 * detail, rgb(0.15f, 0.6f, 1.f), 0.65f);
  Image rim = haloOf(word, 3, 1, 6);
  paintMask(image, rim, x0 - 6 * detail, y0 - 6 * detail, rgb(0.02f, 0.04f, 0.08f), 0.9f);
  for (int y = 0; y < word.height; ++y)
    for (int x = 0; x < word.width; ++x) {
      float a = word.get(x, y).a;
      if (a <= 0.f)
        continue;
      // Light above 52 % of the height, blue below, split between base rows.
      const float by = basePosition(y, detail);
      float t = by / word.baseHeight();
      Colour fill = static_cast<float>(baseCell(by)) / word.baseHeight() < 0.52f ? mix(rgb(1.f, 1.f, 1.f), rgb(0.78f, 0.93f, 1.f), t / 0.52f)
                              : mix(rgb(0.35f, 0.72f, 1.f), rgb(0.6f, 0.9f, 1.f), (t - 0.52f) / 0.48f);
      image.blend(x0 + x, y0 + y, fill, a);
    }
  drawTextCentred(image, "QUINTERVALE", kWidth * 0.5f, 146.f, 14, kFontSansBold, Colour{0.7f, 0.92f, 1.f, 0.95f},
                  10.f);
  fillTransparent(image);
  return image;
}

const char *metaballProgramSource() {
  return "#version 120\n"
         "// Metaball surface: the environment map on unit 0 (sphere-mapped\n"
         "// coordinates) times the ring pattern on unit 1 (the surface point's\n"
         "// x and y) times the primary colour, which carries the beat tint.\n"
         "uniform sampler2D environment;\n"
         "uniform sampler2D pattern;\n"
         "\n"
         "void main()\n"
         "{\n"
         "    vec4 reflection = texture2D(environment, gl_TexCoord[0].st);\n"
         "    vec4 surface = texture2D(pattern, gl_TexCoord[1].st);\n"
         "    gl_FragColor = reflection * surface * gl_Color;\n"
         "}\n";
}

} // namespace demo::bake
