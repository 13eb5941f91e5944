#include "bake/event_lettering.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace demo::bake {

const LetterStyle kTitleStyle = {
    Colour{1.f, 1.f, 1.f, 1.f},        // top: white
    Colour{0.55f, 0.8f, 1.f, 1.f},     // bottom: ice blue
    Colour{0.02f, 0.04f, 0.14f, 0.9f}, // navy rim
    2.f,
    Colour{0.25f, 0.55f, 1.f, 0.6f}, // blue halo
    10,
};

WordLayout::WordLayout(const std::string &text, int pixelSize, const char *font, float tracking) {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  if (FT_Init_FreeType(&library) != 0)
    return;
  if (FT_New_Face(library, font, 0, &face) != 0) {
    std::fprintf(stderr, "bake: %s: cannot load the font (is fonts-dejavu-core installed?)\n", font);
    FT_Done_FreeType(library);
    return;
  }
  FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelSize));

  // Glyph bitmaps with their positions relative to the pen's start on the
  // baseline (y down), then shifted into the ink box.
  float pen = 0.f;
  FT_UInt previous = 0;
  int minX = 1 << 30, minY = 1 << 30, maxX = -(1 << 30), maxY = -(1 << 30);
  for (unsigned char ch : text) {
    Glyph glyph;
    FT_UInt index = FT_Get_Char_Index(face, ch);
    if (previous && index && FT_HAS_KERNING(face)) {
      FT_Vector kern;
      FT_Get_Kerning(face, previous, index, FT_KERNING_DEFAULT, &kern);
      pen += static_cast<float>(kern.x) / 64.f;
    }
    if (FT_Load_Glyph(face, index, FT_LOAD_RENDER) == 0) {
      FT_GlyphSlot slot = face->glyph;
      glyph.left = static_cast<int>(std::floor(pen)) + slot->bitmap_left;
      glyph.top = -slot->bitmap_top;
      glyph.width = static_cast<int>(slot->bitmap.width);
      glyph.rows = static_cast<int>(slot->bitmap.rows);
      glyph.coverage.resize(static_cast<size_t>(glyph.width) * glyph.rows);
      for (int r = 0; r < glyph.rows; ++r)
        for (int c = 0; c < glyph.width; ++c)
          glyph.coverage[static_cast<size_t>(r) * glyph.width + c] =
              slot->bitmap.buffer[r * slot->bitmap.pitch + c];
      if (glyph.width > 0 && glyph.rows > 0) {
        minX = std::min(minX, glyph.left);
        maxX = std::max(maxX, glyph.left + glyph.width);
        minY = std::min(minY, glyph.top);
        maxY = std::max(maxY, glyph.top + glyph.rows);
      }
      pen += static_cast<float>(slot->advance.x) / 64.f + tracking;
      previous = index;
    }
    glyphs_.push_back(std::move(glyph));
  }
  FT_Done_Face(face);
  FT_Done_FreeType(library);

  if (minX >= maxX) {
    glyphs_.clear();
    return;
  }
  for (Glyph &glyph : glyphs_) {
    glyph.left -= minX;
    glyph.top -= minY;
  }
  width_ = maxX - minX;
  height_ = maxY - minY;
  baseline_ = -minY;
}

Image WordLayout::render(size_t count, int padding) const {
  Image image(width_ + 2 * padding, height_ + 2 * padding, 4, Colour{1.f, 1.f, 1.f, 0.f});
  for (size_t i = 0; i < std::min(count, glyphs_.size()); ++i) {
    const Glyph &glyph = glyphs_[i];
    for (int r = 0; r < glyph.rows; ++r)
      for (int c = 0; c < glyph.width; ++c) {
        uint8_t a = glyph.coverage[static_cast<size_t>(r) * glyph.width + c];
        if (a == 0)
          continue;
        int x = glyph.left + c + padding, y = glyph.top + r + padding;
        // Neighbouring glyphs may touch: keep the stronger coverage.
        uint8_t &alpha = image.data[(static_cast<size_t>(y) * image.width + x) * 4 + 3];
        alpha = std::max(alpha, a);
      }
  }
  return image;
}

Image styleLetters(const Image &coverage, const LetterStyle &style) {
  const int w = coverage.width, h = coverage.height;
  auto ink = [&](int x, int y) { return coverage.inside(x, y) ? coverage.get(x, y).a : 0.f; };

  // The halo: the ink blurred; the blur spreads alpha only.
  Image halo = coverage;
  halo.blur(std::max(1, style.glowRadius / 2));

  Image out(w, h, 4, Colour{style.glow.r, style.glow.g, style.glow.b, 0.f});
  const int reach = static_cast<int>(std::ceil(style.edgeWidth)) + 1;
  for (int y = 0; y < h; ++y) {
    const float t = h > 1 ? static_cast<float>(y) / static_cast<float>(h - 1) : 0.f;
    const Colour fillRow = mix(style.top, style.bottom, t);
    for (int x = 0; x < w; ++x) {
      // 1. Halo.
      float glowAlpha = style.glow.a * std::min(1.f, 1.6f * halo.get(x, y).a);
      out.set(x, y, Colour{style.glow.r, style.glow.g, style.glow.b, glowAlpha});
      // 2. Rim: the ink dilated by edgeWidth (antialiased disc).
      float rim = 0.f;
      for (int dy = -reach; dy <= reach; ++dy)
        for (int dx = -reach; dx <= reach; ++dx) {
          float a = ink(x + dx, y + dy);
          if (a <= rim)
            continue;
          float d = std::sqrt(static_cast<float>(dx * dx + dy * dy));
          rim = std::max(rim, a * clamp01(style.edgeWidth + 0.5f - d));
        }
      if (rim > 0.f)
        out.blend(x, y, style.edge, rim);
      // 3. Fill, lit from the top left: a soft bevel from the ink's slope.
      float a = ink(x, y);
      if (a > 0.f) {
        float slope = ink(x - 1, y - 1) - ink(x + 1, y + 1);
        Colour fill = scaled(fillRow, 1.f - 0.3f * std::max(0.f, slope));
        fill = mix(fill, Colour{1.f, 1.f, 1.f, 1.f}, 0.5f * std::max(0.f, -slope));
        fill.a = 1.f;
        out.blend(x, y, fill, a);
      }
    }
  }
  return out;
}

void drawCentred(Image &target, const Image &picture, float cx, float cy) {
  int x0 = static_cast<int>(std::lround(cx - picture.width * 0.5f));
  int y0 = static_cast<int>(std::lround(cy - picture.height * 0.5f));
  target.draw(picture, x0, y0);
}

} // namespace demo::bake
