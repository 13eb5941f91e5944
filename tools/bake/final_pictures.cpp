#include "bake/final_pictures.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

#include "bake/text.h"

namespace demo::bake {

namespace {

constexpr int kCellsPerRow = 3;

Colour rgb(float r, float g, float b) { return Colour{r, g, b, 1.f}; }

int cellEdge(int i) { return i * kBoxMapSize / kCellsPerRow; }

// The scene adds a glow of its picture over itself (about 1.3 times a blur
// of it), so a flat area ends up some 2.3 times as bright as painted: the
// maps are painted at half strength, and only the lights go near white.
constexpr float kExposure = 0.5f;

// The light painted into each face, as if lit from above and in front.
float faceLight(BoxCell cell) {
  switch (cell) {
  case kCellPosY: return kExposure;
  case kCellPosZ: return 0.88f * kExposure;
  case kCellNegX: return 0.8f * kExposure;
  case kCellPosX: return 0.7f * kExposure;
  case kCellNegZ: return 0.62f * kExposure;
  case kCellNegY: return 0.45f * kExposure;
  case kCellTrimLit: return kExposure;
  case kCellTrimSide: return 0.76f * kExposure;
  default: return 0.52f * kExposure;
  }
}

// One face being painted: a picture at `density` base pixels per scene unit,
// painted at `detail`, in face units (x right, y down from the top-left
// corner). Markings go on `paint` (worn away in places when composed), lights
// on `light` (not worn).
struct Face {
  Face(float widthUnits, float heightUnits, float pixelsPerUnit, int detail)
      : w(widthUnits), h(heightUnits), density(pixelsPerUnit), k(static_cast<float>(detail)),
        base(Image::atDetail(std::max(8, static_cast<int>(std::lround(w * density))),
                             std::max(8, static_cast<int>(std::lround(h * density))), 3, detail)),
        paint(Image::atDetail(base.baseWidth(), base.baseHeight(), 4, detail, Colour{0, 0, 0, 0})),
        light(Image::atDetail(base.baseWidth(), base.baseHeight(), 4, detail, Colour{0, 0, 0, 0})) {}

  // Face units to base pixels, and to the pixels held.
  float px(float units) const { return units * density; }
  float fine(float units) const { return px(units) * k; }
  void rect(Image &layer, float x0, float y0, float x1, float y1, const Colour &c) {
    layer.fillRect(px(x0), px(y0), px(x1), px(y1), c);
  }
  // Lettering centred on (cx, cy), `height` units per em.
  void text(Image &layer, const std::string &s, float cx, float cy, float height, const char *font, const Colour &c,
            float tracking = 0.f) {
    drawTextCentred(layer, s, px(cx), px(cy), std::max(6, static_cast<int>(std::lround(px(height)))), font, c,
                    px(tracking));
  }
  void triangle(Image &layer, float ax, float ay, float bx, float by, float cx, float cy, const Colour &c) {
    ax = fine(ax), ay = fine(ay), bx = fine(bx), by = fine(by), cx = fine(cx), cy = fine(cy);
    auto edge = [](float x0, float y0, float x1, float y1, float x, float y) {
      float ex = x1 - x0, ey = y1 - y0;
      return ((x - x0) * ey - (y - y0) * ex) / std::hypot(ex, ey);
    };
    float sign = edge(ax, ay, bx, by, cx, cy) > 0.f ? 1.f : -1.f;
    int xa = static_cast<int>(std::min({ax, bx, cx})) - 1, xb = static_cast<int>(std::max({ax, bx, cx})) + 1;
    int ya = static_cast<int>(std::min({ay, by, cy})) - 1, yb = static_cast<int>(std::max({ay, by, cy})) + 1;
    for (int y = ya; y <= yb; ++y)
      for (int x = xa; x <= xb; ++x) {
        float fx = x + 0.5f, fy = y + 0.5f;
        float inside = std::min({sign * edge(ax, ay, bx, by, fx, fy), sign * edge(bx, by, cx, cy, fx, fy),
                                 sign * edge(cx, cy, ax, ay, fx, fy)});
        layer.blend(x, y, c, clamp01(inside + 0.5f));
      }
  }
  void ring(Image &layer, float cx, float cy, float radius, float width, const Colour &c) {
    float r = fine(radius), half = fine(width) * 0.5f, x0 = fine(cx), y0 = fine(cy);
    for (int y = static_cast<int>(y0 - r - half - 2); y <= static_cast<int>(y0 + r + half + 2); ++y)
      for (int x = static_cast<int>(x0 - r - half - 2); x <= static_cast<int>(x0 + r + half + 2); ++x) {
        float d = std::hypot(x + 0.5f - x0, y + 0.5f - y0);
        layer.blend(x, y, c, clamp01(half - std::fabs(d - r) + 0.5f));
      }
  }
  void disc(Image &layer, float cx, float cy, float radius, const Colour &c) {
    layer.fillCircle(px(cx), px(cy), px(radius), c);
  }
  void line(Image &layer, float x0, float y0, float x1, float y1, float width, const Colour &c) {
    layer.line(px(x0), px(y0), px(x1), px(y1), px(width), c);
  }

  float w, h, density;
  float k; // pixels held per base pixel
  Image base, paint, light;
};

// --- Markings ---------------------------------------------------------------

void barcode(Face &f, float cx, float cy, float width, float height, const std::string &digits, uint32_t seed) {
  const float x0 = cx - width * 0.5f, y0 = cy - height * 0.5f;
  f.rect(f.paint, x0, y0, x0 + width, y0 + height, rgb(0.9f, 0.9f, 0.86f));
  Rng rng(seed);
  const float barTop = y0 + height * 0.12f, barBottom = y0 + height * 0.7f;
  for (float x = x0 + width * 0.08f; x < x0 + width * 0.92f;) {
    float bar = width * rng.range(0.008f, 0.03f);
    if (rng.uniform() < 0.6f)
      f.rect(f.paint, x, barTop, x + bar, barBottom, rgb(0.05f, 0.05f, 0.05f));
    x += bar + width * rng.range(0.008f, 0.02f);
  }
  f.text(f.paint, digits, cx, y0 + height * 0.85f, height * 0.2f, kFontMonoBold, rgb(0.05f, 0.05f, 0.05f));
}

void hazardBand(Face &f, float x0, float y0, float x1, float y1, const Colour &dark) {
  const float stripe = (y1 - y0) * 1.2f;
  const int d = f.paint.detail;
  for (int y = static_cast<int>(f.fine(y0)); y < static_cast<int>(f.fine(y1)); ++y)
    for (int x = static_cast<int>(f.fine(x0)); x < static_cast<int>(f.fine(x1)); ++x) {
      float t = (basePosition(x, d) + basePosition(y, d)) / f.px(stripe);
      bool yellow = (static_cast<int>(std::floor(t)) & 1) == 0;
      f.paint.blend(x, y, yellow ? rgb(0.93f, 0.74f, 0.1f) : dark);
    }
}

// The "this way up" sign: two arrows over a bar.
void arrowsUp(Face &f, float cx, float cy, float size, const Colour &c) {
  for (float dx : {-0.25f, 0.25f}) {
    float x = cx + dx * size;
    f.rect(f.paint, x - size * 0.07f, cy - size * 0.15f, x + size * 0.07f, cy + size * 0.32f, c);
    f.triangle(f.paint, x - size * 0.2f, cy - size * 0.12f, x + size * 0.2f, cy - size * 0.12f, x, cy - size * 0.45f, c);
  }
  f.rect(f.paint, cx - size * 0.48f, cy + size * 0.38f, cx + size * 0.48f, cy + size * 0.48f, c);
}

void warningSign(Face &f, float cx, float cy, float size, const Colour &border, const Colour &fill) {
  const float top = cy - size * 0.5f, bottom = cy + size * 0.4f;
  f.triangle(f.paint, cx - size * 0.55f, bottom, cx + size * 0.55f, bottom, cx, top, border);
  f.triangle(f.paint, cx - size * 0.4f, bottom - size * 0.08f, cx + size * 0.4f, bottom - size * 0.08f, cx,
             top + size * 0.18f, fill);
  f.text(f.paint, "!", cx, cy + size * 0.05f, size * 0.45f, kFontSansBold, border);
}

// A plate of slots with dark depths and lit lips.
void vent(Face &f, float x0, float y0, float x1, float y1) {
  f.rect(f.paint, x0, y0, x1, y1, rgb(0.12f, 0.12f, 0.13f));
  const float pitch = (y1 - y0) / 7.f;
  for (int i = 0; i < 7; ++i) {
    float y = y0 + pitch * (i + 0.2f);
    f.rect(f.paint, x0 + pitch * 0.4f, y, x1 - pitch * 0.4f, y + pitch * 0.45f, rgb(0.02f, 0.02f, 0.02f));
    f.rect(f.paint, x0 + pitch * 0.4f, y + pitch * 0.45f, x1 - pitch * 0.4f, y + pitch * 0.6f,
           rgb(0.55f, 0.55f, 0.55f));
  }
}

// Two raised diagonal braces across the panel, lit from the upper left.
void crossBrace(Face &f, float m, const Colour &paint) {
  for (int k = 0; k < 2; ++k) {
    float x0 = k == 0 ? m : f.w - m, x1 = k == 0 ? f.w - m : m;
    f.line(f.paint, x0, m + 0.4f, x1, f.h - m + 0.4f, 2.6f, Colour{0, 0, 0, 0.45f});
    f.line(f.paint, x0, m, x1, f.h - m, 2.2f, scaled(paint, 1.15f));
    f.line(f.paint, x0, m - 0.7f, x1, f.h - m - 0.7f, 0.35f, Colour{1, 1, 1, 0.35f});
  }
}

// Glowing circuit traces from the edges in to a ring at the centre.
void circuit(Face &f, const Colour &glowColour, uint32_t seed) {
  Rng rng(seed);
  const float cx = f.w * 0.5f, cy = f.h * 0.5f, ringRadius = f.w * 0.2f;
  for (int i = 0; i < 14; ++i) {
    float angle = 6.2831853f * (i + rng.range(0.f, 0.6f)) / 14.f;
    float ex = cx + std::cos(angle) * f.w * 0.42f, ey = cy + std::sin(angle) * f.h * 0.42f;
    float mx = cx + std::cos(angle) * (ringRadius + f.w * 0.04f), my = cy + std::sin(angle) * (ringRadius + f.h * 0.04f);
    // An elbow: straight along one axis, then diagonal to the ring.
    float kx = rng.uniform() < 0.5f ? mx : ex, ky = rng.uniform() < 0.5f ? ey : my;
    f.line(f.light, ex, ey, kx, ky, 0.35f, glowColour);
    f.line(f.light, kx, ky, mx, my, 0.35f, glowColour);
    f.disc(f.light, ex, ey, 0.55f, glowColour);
  }
  f.ring(f.light, cx, cy, ringRadius, 0.8f, glowColour);
  f.disc(f.light, cx, cy, ringRadius * 0.45f, scaled(glowColour, 0.8f));
  f.disc(f.light, cx, cy, ringRadius * 0.25f, rgb(0.9f, 1.f, 1.f));
}

// --- One face ------------------------------------------------------------

void markCargo(Face &f, BoxCell cell, const BoxDesign &d, float m) {
  const Colour &mark = d.marking;
  switch (cell) {
  case kCellPosZ:
    f.text(f.paint, d.id, f.w * 0.4f, f.h * 0.36f, 9.f, kFontMonoBold, mark, 0.4f);
    f.text(f.paint, "CARGO   2400 KG", f.w * 0.4f, f.h * 0.58f, 2.4f, kFontSansBold, mark, 0.2f);
    barcode(f, f.w * 0.82f, f.h * 0.5f, 11.f, 7.f, "4 017302 240016", d.seed + 1);
    hazardBand(f, m + 1.f, f.h - m - 5.f, f.w - m - 1.f, f.h - m - 1.f, rgb(0.06f, 0.06f, 0.06f));
    break;
  case kCellNegZ:
    arrowsUp(f, f.w * 0.22f, f.h * 0.42f, 11.f, mark);
    f.text(f.paint, "THIS SIDE UP", f.w * 0.22f, f.h * 0.72f, 2.2f, kFontSansBold, mark);
    f.text(f.paint, d.id, f.w * 0.64f, f.h * 0.38f, 6.f, kFontMonoBold, mark, 0.3f);
    f.text(f.paint, "KESTRANE FREIGHT", f.w * 0.64f, f.h * 0.58f, 2.4f, kFontSansBold, mark, 0.2f);
    break;
  case kCellPosX:
  case kCellNegX:
    crossBrace(f, m + 1.f, d.paint);
    f.rect(f.paint, f.w * 0.5f - 7.f, f.h * 0.5f - 3.5f, f.w * 0.5f + 7.f, f.h * 0.5f + 3.5f, rgb(0.62f, 0.63f, 0.6f));
    f.text(f.paint, d.id + "  03-2417", f.w * 0.5f, f.h * 0.5f - 1.f, 1.6f, kFontMonoBold, rgb(0.1f, 0.1f, 0.1f));
    f.text(f.paint, "GROSS 2400 KG", f.w * 0.5f, f.h * 0.5f + 1.6f, 1.3f, kFontMonoBold, rgb(0.1f, 0.1f, 0.1f));
    break;
  case kCellPosY:
    f.text(f.paint, d.id.substr(d.id.size() - 2), f.w * 0.5f, f.h * 0.45f, 20.f, kFontMonoBold, mark);
    arrowsUp(f, f.w * 0.15f, f.h * 0.22f, 6.f, mark);
    arrowsUp(f, f.w * 0.85f, f.h * 0.22f, 6.f, mark);
    f.text(f.paint, "DO NOT STACK", f.w * 0.5f, f.h * 0.8f, 2.6f, kFontSansBold, mark, 0.3f);
    break;
  default:
    f.text(f.paint, d.id, f.w * 0.5f, f.h * 0.5f, 3.f, kFontMonoBold, mark);
    break;
  }
}

void markCanister(Face &f, BoxCell cell, const BoxDesign &d, float m) {
  const Colour &mark = d.marking;
  switch (cell) {
  case kCellPosZ:
    hazardBand(f, m, m + 1.f, f.w - m, m + 6.f, mark);
    hazardBand(f, m, f.h - m - 6.f, f.w - m, f.h - m - 1.f, mark);
    warningSign(f, f.w * 0.5f, f.h * 0.33f, 12.f, mark, rgb(0.97f, 0.85f, 0.3f));
    f.text(f.paint, "FUEL CELLS", f.w * 0.5f, f.h * 0.5f, 3.f, kFontSansBold, mark, 0.2f);
    f.text(f.paint, d.id, f.w * 0.5f, f.h * 0.6f, 5.f, kFontMonoBold, mark, 0.2f);
    barcode(f, f.w * 0.5f, f.h * 0.73f, 14.f, 5.f, "4 017302 020051", d.seed + 2);
    break;
  case kCellNegZ:
    hazardBand(f, m, m + 1.f, f.w - m, m + 6.f, mark);
    hazardBand(f, m, f.h - m - 6.f, f.w - m, f.h - m - 1.f, mark);
    f.text(f.paint, d.id, f.w * 0.5f, f.h * 0.42f, 6.f, kFontMonoBold, mark, 0.2f);
    f.text(f.paint, "MAX STACK 2", f.w * 0.5f, f.h * 0.55f, 2.4f, kFontSansBold, mark);
    break;
  case kCellPosX:
  case kCellNegX:
    vent(f, m + 3.f, f.h * 0.2f, f.w - m - 3.f, f.h * 0.45f);
    hazardBand(f, m, f.h - m - 6.f, f.w - m, f.h - m - 1.f, mark);
    f.text(f.paint, "02", f.w * 0.5f, f.h * 0.62f, 7.f, kFontMonoBold, mark);
    break;
  case kCellPosY:
    f.ring(f.paint, f.w * 0.5f, f.h * 0.5f, f.w * 0.33f, 1.6f, scaled(d.paint, 0.6f));
    f.ring(f.paint, f.w * 0.5f, f.h * 0.5f, f.w * 0.33f - 1.f, 0.4f, Colour{1, 1, 1, 0.4f});
    for (int i = 0; i < 8; ++i) {
      float a = 6.2831853f * i / 8.f;
      f.disc(f.paint, f.w * 0.5f + std::cos(a) * f.w * 0.39f, f.h * 0.5f + std::sin(a) * f.h * 0.39f, 0.8f,
             rgb(0.25f, 0.25f, 0.27f));
    }
    f.text(f.paint, "02", f.w * 0.5f, f.h * 0.5f, 7.f, kFontMonoBold, mark);
    break;
  default:
    break;
  }
}

void markInstruments(Face &f, BoxCell cell, const BoxDesign &d, float m) {
  const Colour &mark = d.marking;
  const Colour dark = rgb(0.16f, 0.16f, 0.18f);
  switch (cell) {
  case kCellPosZ:
    f.rect(f.paint, f.w * 0.5f - 8.f, 2.6f, f.w * 0.5f + 8.f, 4.8f, dark); // handle
    f.rect(f.paint, f.w * 0.5f - 8.f, 2.6f, f.w * 0.5f + 8.f, 3.f, rgb(0.5f, 0.5f, 0.52f));
    for (float x : {6.f, f.w - 6.f}) { // latches
      f.rect(f.paint, x - 2.5f, 3.5f, x + 2.5f, 9.f, dark);
      f.rect(f.paint, x - 1.8f, 4.2f, x + 1.8f, 6.f, rgb(0.6f, 0.6f, 0.62f));
    }
    f.text(f.paint, "INSTRUMENTS", f.w * 0.5f, 8.2f, 2.2f, kFontSansBold, mark, 0.2f);
    f.rect(f.paint, m, f.h - m - 1.6f, f.w - m, f.h - m - 0.8f, mark);
    break;
  case kCellNegZ:
    f.text(f.paint, d.id, f.w * 0.5f, f.h * 0.45f, 4.5f, kFontMonoBold, mark, 0.2f);
    f.rect(f.paint, m, f.h - m - 1.6f, f.w - m, f.h - m - 0.8f, mark);
    break;
  case kCellPosX:
  case kCellNegX:
    f.text(f.paint, "04", f.w * 0.5f, f.h * 0.45f, 6.f, kFontMonoBold, mark);
    f.rect(f.paint, m, f.h - m - 1.6f, f.w - m, f.h - m - 0.8f, mark);
    break;
  case kCellPosY: {
    f.text(f.paint, d.id, f.w * 0.5f, f.h * 0.33f, 7.f, kFontMonoBold, mark, 0.4f);
    barcode(f, f.w * 0.5f, f.h * 0.66f, 22.f, 6.5f, "KX 04 220 4180 77", d.seed + 3);
    const float c = 4.f, t = 0.8f; // corner marks
    for (int k = 0; k < 4; ++k) {
      float x = (k & 1) ? f.w - m - 1.f : m + 1.f, y = (k & 2) ? f.h - m - 1.f : m + 1.f;
      float sx = (k & 1) ? -1.f : 1.f, sy = (k & 2) ? -1.f : 1.f;
      f.rect(f.paint, x, y, x + sx * c, y + sy * t, mark);
      f.rect(f.paint, x, y, x + sx * t, y + sy * c, mark);
    }
    break;
  }
  default:
    break;
  }
}

void markPowerCell(Face &f, BoxCell cell, const BoxDesign &d, float m) {
  if (cell == kCellNegY)
    return;
  circuit(f, d.marking, d.seed + static_cast<uint32_t>(cell) * 31u);
  if (cell == kCellPosY) {
    f.text(f.paint, "05", f.w * 0.5f, f.h * 0.84f, 2.4f, kFontMonoBold, scaled(d.marking, 0.8f));
    return;
  }
  f.text(f.paint, d.id, f.w * 0.5f, f.h - m - 1.6f, 1.5f, kFontMonoBold, scaled(d.marking, 0.85f), 0.1f);
  f.text(f.paint, "HANDLE WITH CARE", f.w * 0.5f, m + 1.2f, 0.95f, kFontSansBold, scaled(d.marking, 0.75f));
}

Image paintFace(const BoxDesign &d, BoxCell cell, float width, float height, float density, int detail) {
  Face f(width, height, density, detail);
  const bool side = cell == kCellPosX || cell == kCellNegX || cell == kCellPosZ || cell == kCellNegZ;
  const float margin = std::min(width, height) * 0.09f;
  const uint32_t seed = d.seed * 17u + static_cast<uint32_t>(cell);
  const Image &img = f.base;
  // Paint: the colour with mottling, a raised inner panel, grime low down.
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) {
      float ux = basePosition(x, detail) / density, uy = basePosition(y, detail) / density;
      float n = fbm(ux / 6.f, uy / 6.f, seed, 4, 0.55f);
      Colour c = scaled(d.paint, 0.84f + 0.3f * n);
      bool inPanel = ux > margin && ux < width - margin && uy > margin && uy < height - margin;
      if (inPanel)
        c = scaled(c, 1.04f);
      float toEdge = std::min({ux, uy, width - ux, height - uy});
      float chip = fbm(ux / 1.2f, uy / 1.2f, seed + 5u, 3, 0.5f);
      if (chip > 0.64f + 0.16f * smoothstep(0.f, 3.f, toEdge)) // worn through at the edges
        c = scaled(rgb(0.52f, 0.52f, 0.54f), 0.8f + 0.4f * n);
      if (side)
        c = scaled(c, 1.f - 0.3f * smoothstep(0.55f, 1.f, uy / height) * (0.5f + n));
      f.base.set(x, y, c);
    }
  // The panel's bevel: lit on the top and left, shaded on the bottom and right.
  const float bevel = 0.4f;
  f.rect(f.base, margin, margin, width - margin, margin + bevel, Colour{1, 1, 1, 0.35f});
  f.rect(f.base, margin, margin, margin + bevel, height - margin, Colour{1, 1, 1, 0.3f});
  f.rect(f.base, margin, height - margin - bevel, width - margin, height - margin, Colour{0, 0, 0, 0.45f});
  f.rect(f.base, width - margin - bevel, margin, width - margin, height - margin, Colour{0, 0, 0, 0.4f});

  switch (d.kind) {
  case BoxKind::Cargo: markCargo(f, cell, d, margin); break;
  case BoxKind::Canister: markCanister(f, cell, d, margin); break;
  case BoxKind::Instruments: markInstruments(f, cell, d, margin); break;
  case BoxKind::PowerCell: markPowerCell(f, cell, d, margin); break;
  }

  // Scratches over everything painted so far.
  Rng rng(seed + 9u);
  for (int i = 0; i < 40; ++i) {
    float x0 = rng.range(0.f, width), y0 = rng.range(0.f, height);
    float angle = rng.range(0.f, 3.14159f), length = rng.range(0.5f, 4.f);
    f.line(f.paint, x0, y0, x0 + std::cos(angle) * length, y0 + std::sin(angle) * length, 0.12f,
           Colour{0.8f, 0.8f, 0.78f, 0.35f});
  }

  // Compose: worn markings, glow round the lights, light falling off to the
  // edges of the face, and the face's own strength of light.
  Image glow = f.light;
  const bool lit = std::any_of(f.light.data.begin(), f.light.data.end(), [](uint8_t v) { return v != 0; });
  if (lit)
    glow.blur(static_cast<int>(std::max(2.f, density * 0.8f)));
  Image out = Image::atDetail(img.baseWidth(), img.baseHeight(), 3, detail);
  const float strength = faceLight(cell);
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) {
      float ux = basePosition(x, detail) / density, uy = basePosition(y, detail) / density;
      Colour c = f.base.get(x, y);
      Colour p = f.paint.get(x, y);
      float wear = smoothstep(0.3f, 0.42f, fbm(ux / 1.5f, uy / 1.5f, seed + 7u, 3, 0.5f));
      c = mix(c, Colour{p.r, p.g, p.b, 1.f}, p.a * (0.35f + 0.65f * wear));
      float toEdge = std::min({ux, uy, width - ux, height - uy});
      c = scaled(c, strength * (0.62f + 0.38f * smoothstep(0.f, 2.5f, toEdge)));
      if (side)
        c = scaled(c, 1.06f - 0.14f * uy / height);
      if (lit) {
        Colour l = f.light.get(x, y), g = glow.get(x, y);
        c = mix(c, Colour{l.r, l.g, l.b, 1.f}, l.a);
        c.r += g.r * g.a * 0.5f;
        c.g += g.g * g.a * 0.5f;
        c.b += g.b * g.a * 0.5f;
      }
      out.set(x, y, c);
    }
  return out;
}

// Trim metal: brushed along u, bolts along the middle, in one strength of
// light; `size` base pixels a side.
Image paintTrim(const BoxDesign &d, BoxCell cell, int size, int detail) {
  Image out = Image::atDetail(size, size, 3, detail);
  const float strength = faceLight(cell);
  for (int py = 0; py < out.height; ++py)
    for (int px = 0; px < out.width; ++px) {
      const float x = basePosition(px, detail), y = basePosition(py, detail);
      float n = fbm(x / 40.f, y / 40.f, d.seed + 40u, 4, 0.5f);
      float brush = valueNoise(x / 30.f, y / 1.2f, d.seed + 41u);
      Colour c = scaled(rgb(0.34f, 0.35f, 0.37f), (0.8f + 0.3f * n + 0.12f * brush) * strength);
      float by = std::fmod(x, 56.f) - 28.f, bx = y - size * 0.5f;
      float r = std::hypot(by, bx);
      if (r < 7.f)
        c = scaled(c, 1.1f + 0.4f * (-by - bx) / 10.f);
      else if (r < 9.f)
        c = scaled(c, 0.55f);
      out.set(px, py, c);
    }
  return out;
}

// The weights of a resample along one axis, from `from` base pixels to `to`
// at `detail` (above 1): for each pixel of the result, the source pixels it
// averages and how much of each, by area. At detail 1 the cells come from
// Image::resized, whose windows start and end on whole source pixels; that
// sets the picture on average half a source pixel up and to the left (half
// a result pixel where it enlarges). The finer pictures are shifted as much,
// so that they lie where the picture at detail 1 lies.
struct Tap {
  int source;
  float weight;
};
std::vector<std::vector<Tap>> resampleTaps(int from, int to, int detail) {
  const float scale = static_cast<float>(from) / static_cast<float>(to);
  const float k = static_cast<float>(detail);
  const float shift = -0.5f * std::min(scale, 1.f); // base source pixels
  const float last = static_cast<float>(from * detail);
  std::vector<std::vector<Tap>> taps(static_cast<size_t>(to * detail));
  for (int j = 0; j < to * detail; ++j) {
    float a = static_cast<float>(j) * scale + shift * k, b = a + scale;
    if (b - a < 1.f) { // enlarging: at least one source pixel's width
      const float mid = (a + b) * 0.5f;
      a = mid - 0.5f;
      b = mid + 0.5f;
    }
    a = std::clamp(a, 0.f, last - 1.f);
    b = std::clamp(b, a + 1.f, last);
    float total = 0.f;
    for (int i = static_cast<int>(std::floor(a)); i < static_cast<int>(std::ceil(b)); ++i) {
      const float wgt = std::min(b, i + 1.f) - std::max(a, static_cast<float>(i));
      if (wgt > 0.f) {
        taps[static_cast<size_t>(j)].push_back(Tap{i, wgt});
        total += wgt;
      }
    }
    for (Tap &t : taps[static_cast<size_t>(j)])
      t.weight /= total;
  }
  return taps;
}

// `src` resampled to a cell of w x h base pixels at the picture's detail (at
// detail 1, by Image::resized).
Image fitCell(const Image &src, int w, int h) {
  const int d = src.detail;
  if (d == 1)
    return src.resized(w, h);
  const auto across = resampleTaps(src.baseWidth(), w, d), down = resampleTaps(src.baseHeight(), h, d);
  const int ch = src.channels;
  // Across first, into floats, then down.
  std::vector<float> rows(static_cast<size_t>(w * d) * src.height * ch);
  for (int y = 0; y < src.height; ++y)
    for (int x = 0; x < w * d; ++x)
      for (const Tap &t : across[static_cast<size_t>(x)]) {
        const uint8_t *p = &src.data[(static_cast<size_t>(y) * src.width + t.source) * ch];
        float *q = &rows[(static_cast<size_t>(y) * w * d + x) * ch];
        for (int c = 0; c < ch; ++c)
          q[c] += p[c] * t.weight;
      }
  Image out = Image::atDetail(w, h, ch, d);
  for (int y = 0; y < out.height; ++y)
    for (int x = 0; x < out.width; ++x) {
      float sum[4] = {0.f, 0.f, 0.f, 0.f};
      for (const Tap &t : down[static_cast<size_t>(y)])
        for (int c = 0; c < ch; ++c)
          sum[c] += rows[(static_cast<size_t>(t.source) * out.width + x) * ch + c] * t.weight;
      uint8_t *p = &out.data[(static_cast<size_t>(y) * out.width + x) * ch];
      for (int c = 0; c < ch; ++c)
        p[c] = static_cast<uint8_t>(std::clamp(std::lround(sum[c]), 0L, 255L));
    }
  return out;
}

} // namespace

CellRect boxCell(BoxCell cell) {
  const int col = static_cast<int>(cell) % kCellsPerRow, row = static_cast<int>(cell) / kCellsPerRow;
  const float size = static_cast<float>(kBoxMapSize);
  return CellRect{(cellEdge(col) + 2.f) / size, (cellEdge(row) + 2.f) / size, (cellEdge(col + 1) - 2.f) / size,
                  (cellEdge(row + 1) - 2.f) / size};
}

Image paintBoxMap(const BoxDesign &design, int detail) {
  Image map = Image::atDetail(kBoxMapSize, kBoxMapSize, 3, detail);
  const Vec3 &s = design.size;
  // About 400 pixels along the box's longest side (a cell is 341).
  const float density = 400.f / std::max({s.x, s.y, s.z});
  const std::array<std::array<float, 2>, 6> faceSizes = {
      {{{s.z, s.y}}, {{s.z, s.y}}, {{s.x, s.z}}, {{s.x, s.z}}, {{s.x, s.y}}, {{s.x, s.y}}}};
  for (int cell = 0; cell < kCellsPerRow * kCellsPerRow; ++cell) {
    const int col = cell % kCellsPerRow, row = cell / kCellsPerRow;
    const int x0 = cellEdge(col), y0 = cellEdge(row);
    const int w = cellEdge(col + 1) - x0, h = cellEdge(row + 1) - y0;
    Image picture;
    if (cell < 6) {
      const auto &size = faceSizes[static_cast<size_t>(cell)];
      picture = fitCell(paintFace(design, static_cast<BoxCell>(cell), size[0], size[1], density, detail), w, h);
    } else {
      picture = fitCell(paintTrim(design, static_cast<BoxCell>(cell), std::max(w, h), detail), w, h);
    }
    for (int y = 0; y < picture.height; ++y)
      for (int x = 0; x < picture.width; ++x)
        map.set(x0 * detail + x, y0 * detail + y, picture.get(x, y));
  }
  return map;
}

} // namespace demo::bake
