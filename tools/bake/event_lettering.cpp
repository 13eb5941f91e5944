#include "bake/event_lettering.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "bake/text.h"

namespace demo::bake {

const LetterStyle kTitleStyle = {
    Colour{1.f, 1.f, 1.f, 1.f},        // top: white
    Colour{0.55f, 0.8f, 1.f, 1.f},     // bottom: ice blue
    Colour{0.02f, 0.04f, 0.14f, 0.9f}, // navy rim
    2.f,
    Colour{0.25f, 0.55f, 1.f, 0.6f}, // blue halo
    10,
};

WordLayout::WordLayout(const std::string &text, int pixelSize, const char *font, float tracking, int detail)
    : detail_(detail) {
  // The glyphs as renderText lays them out, with their positions relative to
  // the pen's start on the baseline (y down), then shifted into the ink box.
  // At a higher detail each glyph's outline, hinted for the base size, is
  // scaled up and rendered with the finer pixels, so the letters keep their
  // shapes and places and only their edges are finer.
  std::vector<GlyphInk> ink;
  if (!layoutGlyphs(text, pixelSize, font, tracking, detail, ink))
    return;
  int minX = 1 << 30, minY = 1 << 30, maxX = -(1 << 30), maxY = -(1 << 30);
  for (GlyphInk &g : ink) {
    if (g.baseWidth > 0 && g.baseRows > 0) {
      minX = std::min(minX, g.baseLeft);
      maxX = std::max(maxX, g.baseLeft + g.baseWidth);
      minY = std::min(minY, g.baseTop);
      maxY = std::max(maxY, g.baseTop + g.baseRows);
    }
    Glyph glyph;
    glyph.left = g.left;
    glyph.top = g.top;
    glyph.width = g.width;
    glyph.rows = g.rows;
    glyph.coverage = std::move(g.coverage);
    glyphs_.push_back(std::move(glyph));
  }

  if (minX >= maxX) {
    glyphs_.clear();
    return;
  }
  // The base ink box, in pixels of the detail: the finer glyphs lie inside
  // it, as their outlines lie inside the base pixels they cover.
  for (Glyph &glyph : glyphs_) {
    glyph.left -= minX * detail;
    glyph.top -= minY * detail;
  }
  width_ = (maxX - minX) * detail;
  height_ = (maxY - minY) * detail;
  baseline_ = -minY * detail;
}

Image WordLayout::render(size_t count, int padding) const {
  padding *= detail_;
  Image image(width_ + 2 * padding, height_ + 2 * padding, 4, Colour{1.f, 1.f, 1.f, 0.f});
  image.detail = detail_;
  for (size_t i = 0; i < std::min(count, glyphs_.size()); ++i) {
    const Glyph &glyph = glyphs_[i];
    for (int r = 0; r < glyph.rows; ++r)
      for (int c = 0; c < glyph.width; ++c) {
        uint8_t a = glyph.coverage[static_cast<size_t>(r) * glyph.width + c];
        if (a == 0)
          continue;
        int x = glyph.left + c + padding, y = glyph.top + r + padding;
        if (!image.inside(x, y))
          continue; // (a finer glyph's ink stays inside its base pixels)
        // Neighbouring glyphs may touch: keep the stronger coverage.
        uint8_t &alpha = image.data[(static_cast<size_t>(y) * image.width + x) * 4 + 3];
        alpha = std::max(alpha, a);
      }
  }
  return image;
}

Image styleLetters(const Image &coverage, const LetterStyle &style) {
  const int w = coverage.width, h = coverage.height, detail = coverage.detail;
  auto ink = [&](int x, int y) {
    return coverage.inside(x, y) ? static_cast<float>(coverage.data[(static_cast<size_t>(y) * w + x) * 4 + 3]) / 255.f
                                 : 0.f;
  };

  // The halo: the ink blurred; the blur spreads alpha only.
  Image blurred = coverage;
  blurred.blur(std::max(1, style.glowRadius / 2));

  Image out(w, h, 4, Colour{style.glow.r, style.glow.g, style.glow.b, 0.f});
  out.detail = detail;
  // The rim's disc: every offset within reach with its weight, the centre
  // first (ink there of full strength settles the rim at once). Its outer
  // edge fades over one base pixel, as at detail 1, out to edgeWidth base
  // pixels from the ink's edge.
  const float fineDetail = static_cast<float>(detail);
  const float edgeWidth = style.edgeWidth * fineDetail;
  const int reach = static_cast<int>(std::ceil(edgeWidth)) + 1;
  struct Tap {
    int dx, dy;
    float weight;
  };
  std::vector<Tap> disc;
  for (int dy = -reach; dy <= reach; ++dy)
    for (int dx = -reach; dx <= reach; ++dx) {
      float d = std::sqrt(static_cast<float>(dx * dx + dy * dy));
      float weight = clamp01((edgeWidth + 0.5f - d) / fineDetail);
      if (weight > 0.f)
        disc.push_back(Tap{dx, dy, weight});
    }
  std::stable_sort(disc.begin(), disc.end(), [](const Tap &p, const Tap &q) { return p.weight > q.weight; });
  // Where there is any ink at all: a summed-area table of inked pixels, so
  // that the far surroundings skip the disc.
  std::vector<int> inked(static_cast<size_t>(w + 1) * (h + 1), 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      inked[static_cast<size_t>(y + 1) * (w + 1) + x + 1] = inked[static_cast<size_t>(y) * (w + 1) + x + 1] +
                                                             inked[static_cast<size_t>(y + 1) * (w + 1) + x] -
                                                             inked[static_cast<size_t>(y) * (w + 1) + x] +
                                                             (ink(x, y) > 0.f ? 1 : 0);
  auto anyInk = [&](int x0, int y0, int x1, int y1) { // inclusive, clamped to the picture
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, w - 1);
    y1 = std::min(y1, h - 1);
    if (x0 > x1 || y0 > y1)
      return false;
    return inked[static_cast<size_t>(y1 + 1) * (w + 1) + x1 + 1] - inked[static_cast<size_t>(y0) * (w + 1) + x1 + 1] -
               inked[static_cast<size_t>(y1 + 1) * (w + 1) + x0] + inked[static_cast<size_t>(y0) * (w + 1) + x0] >
           0;
  };
  // The fill's gradient runs from the top row's centre to the bottom row's,
  // in base pixels.
  const float rows = static_cast<float>(h) / static_cast<float>(detail) - 1.f;
  for (int y = 0; y < h; ++y) {
    const float t = h > 1 ? clamp01(basePosition(y, detail) / rows) : 0.f;
    const Colour fillRow = mix(style.top, style.bottom, t);
    for (int x = 0; x < w; ++x) {
      // 1. Halo.
      const float blurredInk = static_cast<float>(blurred.data[(static_cast<size_t>(y) * w + x) * 4 + 3]) / 255.f;
      float glowAlpha = style.glow.a * std::min(1.f, 1.6f * blurredInk);
      out.set(x, y, Colour{style.glow.r, style.glow.g, style.glow.b, glowAlpha});
      // 2. Rim: the ink dilated by edgeWidth (antialiased disc).
      float rim = 0.f;
      if (anyInk(x - reach, y - reach, x + reach, y + reach))
        for (const Tap &tap : disc) {
          if (tap.weight <= rim)
            break; // no ink can raise it any more
          rim = std::max(rim, ink(x + tap.dx, y + tap.dy) * tap.weight);
        }
      if (rim > 0.f)
        out.blend(x, y, style.edge, rim);
      // 3. Fill, lit from the top left: a soft bevel from the ink's slope
      // across two base pixels.
      float a = ink(x, y);
      if (a > 0.f) {
        float slope = ink(x - detail, y - detail) - ink(x + detail, y + detail);
        Colour fill = scaled(fillRow, 1.f - 0.3f * std::max(0.f, slope));
        fill = mix(fill, Colour{1.f, 1.f, 1.f, 1.f}, 0.5f * std::max(0.f, -slope));
        fill.a = 1.f;
        out.blend(x, y, fill, a);
      }
    }
  }
  return out;
}

namespace {

// Where a picture `size` pixels long centred on `centre` (base pixels)
// starts: a picture of whole base pixels on the base pixel it starts on at
// detail 1, any other on the nearest pixel.
int centredStart(float centre, int size, int detail) {
  if (size % detail == 0)
    return static_cast<int>(std::lround(centre - static_cast<float>(size / detail) * 0.5f)) * detail;
  return static_cast<int>(std::lround(centre * static_cast<float>(detail) - static_cast<float>(size) * 0.5f));
}

} // namespace

void drawCentred(Image &target, const Image &picture, float cx, float cy) {
  drawAtPixel(target, picture, centredStart(cx, picture.width, target.detail),
              centredStart(cy, picture.height, target.detail));
}

void drawAtPixel(Image &target, const Image &picture, int x, int y) {
  for (int sy = 0; sy < picture.height; ++sy)
    for (int sx = 0; sx < picture.width; ++sx)
      target.blend(x + sx, y + sy, picture.get(sx, sy));
}

} // namespace demo::bake
