#include "bake/text.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <GL/glu.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <memory>

namespace demo::bake {

const char *const kFontSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const char *const kFontSansBold = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
const char *const kFontSerifBold = "/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf";
const char *const kFontMonoBold = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf";

namespace {

struct FontFace {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  FontFace(const char *path, int pixelSize) {
    if (FT_Init_FreeType(&library) != 0) {
      library = nullptr;
      return;
    }
    if (FT_New_Face(library, path, 0, &face) != 0) {
      std::fprintf(stderr, "bake: %s: cannot load the font (is fonts-dejavu-core installed?)\n", path);
      face = nullptr;
      return;
    }
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelSize));
  }
  ~FontFace() {
    if (face)
      FT_Done_Face(face);
    if (library)
      FT_Done_FreeType(library);
  }
  FontFace(const FontFace &) = delete;
  FontFace &operator=(const FontFace &) = delete;
};

// Lays the string out: calls f(glyphSlot, penX) for each glyph it loads.
template <class F> void layout(FontFace &font, const std::string &text, float tracking, FT_Int32 flags, F f) {
  float pen = 0.f;
  FT_UInt previous = 0;
  for (unsigned char ch : text) {
    FT_UInt index = FT_Get_Char_Index(font.face, ch);
    if (previous && index && FT_HAS_KERNING(font.face)) {
      FT_Vector kern;
      FT_Get_Kerning(font.face, previous, index, FT_KERNING_DEFAULT, &kern);
      pen += static_cast<float>(kern.x) / 64.f;
    }
    if (FT_Load_Glyph(font.face, index, flags) != 0)
      continue;
    f(font.face->glyph, pen);
    pen += static_cast<float>(font.face->glyph->advance.x) / 64.f + tracking;
    previous = index;
  }
}

} // namespace

bool layoutGlyphs(const std::string &text, int pixelSize, const char *fontPath, float tracking, int detail,
                  std::vector<GlyphInk> &glyphs) {
  glyphs.clear();
  FontFace font(fontPath, pixelSize);
  if (!font.face)
    return false;
  FT_Face face = font.face;
  const FT_Matrix scale{static_cast<FT_Fixed>(detail) << 16, 0, 0, static_cast<FT_Fixed>(detail) << 16};
  float pen = 0.f;
  FT_UInt previous = 0;
  for (unsigned char ch : text) {
    GlyphInk glyph;
    const FT_UInt index = FT_Get_Char_Index(face, ch);
    if (previous && index && FT_HAS_KERNING(face)) {
      FT_Vector kern;
      FT_Get_Kerning(face, previous, index, FT_KERNING_DEFAULT, &kern);
      pen += static_cast<float>(kern.x) / 64.f;
    }
    if (FT_Load_Glyph(face, index, FT_LOAD_RENDER) != 0) {
      glyphs.push_back(std::move(glyph)); // a character the font cannot give: no ink, no advance
      continue;
    }
    const FT_GlyphSlot slot = face->glyph;
    const float advance = static_cast<float>(slot->advance.x) / 64.f;
    const int penX = static_cast<int>(std::floor(pen));
    glyph.baseLeft = penX + slot->bitmap_left;
    glyph.baseTop = -slot->bitmap_top;
    glyph.baseWidth = static_cast<int>(slot->bitmap.width);
    glyph.baseRows = static_cast<int>(slot->bitmap.rows);
    // Above detail 1 the outline hinted at pixelSize, scaled about the pen.
    bool inked = detail == 1;
    if (!inked && FT_Load_Glyph(face, index, FT_LOAD_DEFAULT) == 0 && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
      FT_Outline_Transform(&slot->outline, &scale);
      inked = FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) == 0;
    }
    if (inked) {
      glyph.left = penX * detail + slot->bitmap_left;
      glyph.top = -slot->bitmap_top;
      glyph.width = static_cast<int>(slot->bitmap.width);
      glyph.rows = static_cast<int>(slot->bitmap.rows);
      glyph.coverage.resize(static_cast<size_t>(glyph.width) * glyph.rows);
      for (int r = 0; r < glyph.rows; ++r)
        for (int c = 0; c < glyph.width; ++c)
          glyph.coverage[static_cast<size_t>(r) * glyph.width + c] = slot->bitmap.buffer[r * slot->bitmap.pitch + c];
    }
    pen += advance + tracking;
    previous = index;
    glyphs.push_back(std::move(glyph));
  }
  return true;
}

Image renderText(const std::string &text, int pixelSize, const char *fontPath, int padding, float tracking,
                 int detail) {
  std::vector<GlyphInk> glyphs;
  if (!layoutGlyphs(text, pixelSize, fontPath, tracking, detail, glyphs))
    return Image();
  // The ink's bounds, from the detail-1 glyphs at every detail.
  float minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f;
  for (const GlyphInk &g : glyphs) {
    if (g.baseWidth == 0)
      continue;
    const float x0 = static_cast<float>(g.baseLeft), y0 = static_cast<float>(g.baseTop);
    minX = std::min(minX, x0);
    maxX = std::max(maxX, x0 + g.baseWidth);
    minY = std::min(minY, y0);
    maxY = std::max(maxY, y0 + g.baseRows);
  }
  if (minX > maxX)
    return Image::atDetail(1 + 2 * padding, 1 + 2 * padding, 4, detail, Colour{1, 1, 1, 0});
  Image image = Image::atDetail(static_cast<int>(maxX - minX) + 2 * padding,
                                static_cast<int>(maxY - minY) + 2 * padding, 4, detail, Colour{1, 1, 1, 0});
  for (const GlyphInk &g : glyphs) {
    const int ox = g.left + (padding - static_cast<int>(minX)) * detail;
    const int oy = g.top + (padding - static_cast<int>(minY)) * detail;
    for (int r = 0; r < g.rows; ++r)
      for (int c = 0; c < g.width; ++c) {
        float a = g.coverage[static_cast<size_t>(r) * g.width + c] / 255.f;
        if (a <= 0.f)
          continue;
        int x = ox + c, y = oy + r;
        Colour d = image.get(x, y);
        image.set(x, y, Colour{1, 1, 1, std::max(d.a, a)});
      }
  }
  return image;
}

float drawTextCentred(Image &target, const std::string &text, float cx, float cy, int pixelSize, const char *font,
                      const Colour &colour, float tracking) {
  Image glyphs = renderText(text, pixelSize, font, 0, tracking, target.detail);
  if (glyphs.empty())
    return 0.f;
  // The corner on the base pixel it takes at detail 1.
  const int d = target.detail;
  int x0 = static_cast<int>(std::lround(cx - glyphs.baseWidth() * 0.5f)) * d;
  int y0 = static_cast<int>(std::lround(cy - glyphs.baseHeight() * 0.5f)) * d;
  for (int y = 0; y < glyphs.height; ++y)
    for (int x = 0; x < glyphs.width; ++x) {
      float a = glyphs.get(x, y).a;
      if (a > 0.f)
        target.blend(x0 + x, y0 + y, colour, a);
    }
  return static_cast<float>(glyphs.baseWidth());
}

// --- Solid text ---------------------------------------------------------------

namespace {

struct Contour {
  std::vector<std::pair<double, double>> points; // closed; last != first
};

struct OutlineCollector {
  std::vector<Contour> contours;
  double offsetX = 0.0;
  double lastX = 0.0, lastY = 0.0;
  static constexpr int kCurveSteps = 6;

  void moveTo(double x, double y) {
    contours.emplace_back();
    point(x, y);
  }
  void point(double x, double y) {
    contours.back().points.emplace_back(x + offsetX, y);
    lastX = x;
    lastY = y;
  }
  void lineTo(double x, double y) { point(x, y); }
  void conicTo(double cx, double cy, double x, double y) {
    double x0 = lastX, y0 = lastY;
    for (int i = 1; i <= kCurveSteps; ++i) {
      double t = static_cast<double>(i) / kCurveSteps, u = 1.0 - t;
      point(u * u * x0 + 2 * u * t * cx + t * t * x, u * u * y0 + 2 * u * t * cy + t * t * y);
    }
  }
  void cubicTo(double c1x, double c1y, double c2x, double c2y, double x, double y) {
    double x0 = lastX, y0 = lastY;
    for (int i = 1; i <= kCurveSteps; ++i) {
      double t = static_cast<double>(i) / kCurveSteps, u = 1.0 - t;
      point(u * u * u * x0 + 3 * u * u * t * c1x + 3 * u * t * t * c2x + t * t * t * x,
            u * u * u * y0 + 3 * u * u * t * c1y + 3 * u * t * t * c2y + t * t * t * y);
    }
  }
};

int ftMoveTo(const FT_Vector *to, void *user) {
  static_cast<OutlineCollector *>(user)->moveTo(to->x / 64.0, to->y / 64.0);
  return 0;
}
int ftLineTo(const FT_Vector *to, void *user) {
  static_cast<OutlineCollector *>(user)->lineTo(to->x / 64.0, to->y / 64.0);
  return 0;
}
int ftConicTo(const FT_Vector *c, const FT_Vector *to, void *user) {
  static_cast<OutlineCollector *>(user)->conicTo(c->x / 64.0, c->y / 64.0, to->x / 64.0, to->y / 64.0);
  return 0;
}
int ftCubicTo(const FT_Vector *c1, const FT_Vector *c2, const FT_Vector *to, void *user) {
  static_cast<OutlineCollector *>(user)->cubicTo(c1->x / 64.0, c1->y / 64.0, c2->x / 64.0, c2->y / 64.0, to->x / 64.0,
                                                 to->y / 64.0);
  return 0;
}

// Collects the triangles the GLU tessellator emits for one face.
struct TessSink {
  std::vector<std::array<double, 3> *> owned;
  std::vector<const double *> vertices; // triangle corners, in order
  GLenum mode = 0;
  std::vector<const double *> strip;
  ~TessSink() {
    for (auto *p : owned)
      delete p;
  }
};

void GLAPIENTRY tessBegin(GLenum mode, void *data) {
  auto *sink = static_cast<TessSink *>(data);
  sink->mode = mode;
  sink->strip.clear();
}
void GLAPIENTRY tessVertex(void *vertex, void *data) {
  static_cast<TessSink *>(data)->strip.push_back(static_cast<const double *>(vertex));
}
void GLAPIENTRY tessEnd(void *data) {
  auto *sink = static_cast<TessSink *>(data);
  auto &s = sink->strip;
  if (sink->mode == GL_TRIANGLES) {
    for (size_t i = 0; i + 2 < s.size(); i += 3)
      sink->vertices.insert(sink->vertices.end(), {s[i], s[i + 1], s[i + 2]});
  } else if (sink->mode == GL_TRIANGLE_FAN) {
    for (size_t i = 1; i + 1 < s.size(); ++i)
      sink->vertices.insert(sink->vertices.end(), {s[0], s[i], s[i + 1]});
  } else if (sink->mode == GL_TRIANGLE_STRIP) {
    for (size_t i = 0; i + 2 < s.size(); ++i) {
      if (i % 2 == 0)
        sink->vertices.insert(sink->vertices.end(), {s[i], s[i + 1], s[i + 2]});
      else
        sink->vertices.insert(sink->vertices.end(), {s[i + 1], s[i], s[i + 2]});
    }
  }
}
void GLAPIENTRY tessCombine(GLdouble coords[3], void *[4], GLfloat[4], void **out, void *data) {
  auto *sink = static_cast<TessSink *>(data);
  auto *p = new std::array<double, 3>{coords[0], coords[1], coords[2]};
  sink->owned.push_back(p);
  *out = p->data();
}

} // namespace

MeshData extrudeText(const std::string &text, float height, float depth, const char *fontPath, float tracking) {
  MeshData mesh;
  const int emPixels = 256; // outline units: 1/64 pixel at this size
  FontFace font(fontPath, emPixels);
  if (!font.face)
    return mesh;
  OutlineCollector collector;
  FT_Outline_Funcs funcs{ftMoveTo, ftLineTo, ftConicTo, ftCubicTo, 0, 0};
  layout(font, text, tracking * emPixels / height, FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING,
         [&](FT_GlyphSlot g, float pen) {
           collector.offsetX = pen;
           FT_Outline_Decompose(&g->outline, &funcs, &collector);
         });
  // Drop duplicate closing points.
  for (Contour &c : collector.contours) {
    auto &p = c.points;
    p.erase(std::unique(p.begin(), p.end()), p.end());
    while (p.size() > 1 && p.front() == p.back())
      p.pop_back();
  }
  double minX = 1e18, maxX = -1e18, minY = 1e18, maxY = -1e18;
  for (const Contour &c : collector.contours)
    for (auto &[x, y] : c.points) {
      minX = std::min(minX, x);
      maxX = std::max(maxX, x);
      minY = std::min(minY, y);
      maxY = std::max(maxY, y);
    }
  if (minX > maxX)
    return mesh;
  const double scale = height / static_cast<double>(emPixels);
  const double cx = (minX + maxX) * 0.5, cy = (minY + maxY) * 0.5;
  auto toX = [&](double x) { return static_cast<float>((x - cx) * scale); };
  auto toY = [&](double y) { return static_cast<float>((y - cy) * scale); };
  auto toU = [&](double x) { return static_cast<float>((x - minX) / (maxX - minX)); };
  auto toV = [&](double y) { return static_cast<float>((maxY - y) / (maxY - minY)); };

  // Front and back faces through the tessellator (non-zero winding, as
  // TrueType fills).
  TessSink sink;
  GLUtesselator *tess = gluNewTess();
  gluTessCallback(tess, GLU_TESS_BEGIN_DATA, reinterpret_cast<void(GLAPIENTRY *)()>(tessBegin));
  gluTessCallback(tess, GLU_TESS_VERTEX_DATA, reinterpret_cast<void(GLAPIENTRY *)()>(tessVertex));
  gluTessCallback(tess, GLU_TESS_END_DATA, reinterpret_cast<void(GLAPIENTRY *)()>(tessEnd));
  gluTessCallback(tess, GLU_TESS_COMBINE_DATA, reinterpret_cast<void(GLAPIENTRY *)()>(tessCombine));
  gluTessProperty(tess, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_NONZERO);
  gluTessNormal(tess, 0.0, 0.0, 1.0);
  std::vector<std::array<double, 3>> points;
  size_t total = 0;
  for (const Contour &c : collector.contours)
    total += c.points.size();
  points.reserve(total); // addresses stay put while the tessellator holds them
  gluTessBeginPolygon(tess, &sink);
  for (const Contour &c : collector.contours) {
    if (c.points.size() < 3)
      continue;
    gluTessBeginContour(tess);
    for (auto &[x, y] : c.points) {
      points.push_back({x, y, 0.0});
      gluTessVertex(tess, points.back().data(), points.back().data());
    }
    gluTessEndContour(tess);
  }
  gluTessEndPolygon(tess);
  gluDeleteTess(tess);

  for (size_t i = 0; i + 2 < sink.vertices.size(); i += 3) {
    const double *a = sink.vertices[i], *b = sink.vertices[i + 1], *c = sink.vertices[i + 2];
    // Keep counter-clockwise as seen from +z.
    double area = (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]);
    if (area < 0)
      std::swap(b, c);
    const double *tri[3] = {a, b, c};
    uint32_t front[3], back[3];
    for (int k = 0; k < 3; ++k) {
      front[k] = mesh.addVertex(Vec3{toX(tri[k][0]), toY(tri[k][1]), 0.f}, Vec3{0, 0, 1}, toU(tri[k][0]), toV(tri[k][1]));
      back[k] = mesh.addVertex(Vec3{toX(tri[k][0]), toY(tri[k][1]), -depth}, Vec3{0, 0, -1}, toU(tri[k][0]),
                               toV(tri[k][1]));
    }
    mesh.addTriangle(front[0], front[1], front[2]);
    mesh.addTriangle(back[0], back[2], back[1]);
  }

  // Sides: one quad per outline segment, normal pointing out of the ink.
  // TrueType outer contours run clockwise, so the outward normal of a
  // segment (dx, dy) is (-dy, dx) rotated... computed from the contour's
  // orientation instead, so either convention works.
  for (const Contour &c : collector.contours) {
    const auto &p = c.points;
    if (p.size() < 3)
      continue;
    double signedArea = 0.0;
    for (size_t i = 0; i < p.size(); ++i) {
      const auto &a = p[i], &b = p[(i + 1) % p.size()];
      signedArea += a.first * b.second - b.first * a.second;
    }
    // For a counter-clockwise contour the ink is on the left, so the outside
    // is on the right: (dy, -dx). Holes run the other way round and flip.
    double orient = signedArea > 0 ? 1.0 : -1.0;
    float along = 0.f;
    for (size_t i = 0; i < p.size(); ++i) {
      const auto &a = p[i], &b = p[(i + 1) % p.size()];
      double dx = b.first - a.first, dy = b.second - a.second;
      double len = std::hypot(dx, dy);
      if (len <= 0.0)
        continue;
      Vec3 n{static_cast<float>(orient * dy / len), static_cast<float>(-orient * dx / len), 0.f};
      float u0 = along, u1 = along + static_cast<float>(len * scale) / height;
      along = u1;
      uint32_t a0 = mesh.addVertex(Vec3{toX(a.first), toY(a.second), 0.f}, n, u0, 0.f);
      uint32_t b0 = mesh.addVertex(Vec3{toX(b.first), toY(b.second), 0.f}, n, u1, 0.f);
      uint32_t a1 = mesh.addVertex(Vec3{toX(a.first), toY(a.second), -depth}, n, u0, 1.f);
      uint32_t b1 = mesh.addVertex(Vec3{toX(b.first), toY(b.second), -depth}, n, u1, 1.f);
      // Outward-facing counter-clockwise order depends on the direction of travel.
      mesh.addQuad(a0, a1, b1, b0, orient < 0);
    }
  }
  return mesh;
}

} // namespace demo::bake
