#include "bake/icon.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <system_error>
#include <vector>

#include "bake/event_lettering.h"
#include "bake/text.h"
#include "base/byte_reader.h"

namespace demo::bake {

namespace {

// Proportions, as fractions of the icon's side.
constexpr float kTileMargin = 1.f / 16.f; // round the tile, on every side
constexpr float kTileCorner = 0.19f;      // the corners' radius, of the tile's side
constexpr float kLetterEm = 0.72f;        // the letter's pixels per em

// The tile: deep blue at the top to navy at the bottom, under the title's
// blue halo, with a thin light line just inside its outline that keeps it
// apart from a dark desktop.
const Colour kTileTop{0.09f, 0.2f, 0.5f, 1.f};
const Colour kTileBottom{0.02f, 0.04f, 0.15f, 1.f};
const Colour kTileEdgeTop{0.55f, 0.78f, 1.f, 0.55f};
const Colour kTileEdgeBottom{0.3f, 0.5f, 1.f, 0.2f};

// The title's first letter, as the first of its pictures shows it: the whole
// word cannot be read at 48 pixels.
constexpr char kLetter = kTitleWord[0];

struct Tile {
  float lo, hi;  // the square's first and last edge on both axes
  float corner;  // corner radius
  float edge;    // width of the light line inside the outline
};

Tile tileFor(float size) {
  const float lo = size * kTileMargin, hi = size - lo;
  return Tile{lo, hi, (hi - lo) * kTileCorner, std::max(1.f, size / 128.f)};
}

int letterPixelsFor(int size) { return static_cast<int>(std::lround(static_cast<float>(size) * kLetterEm)); }

// The title style for letters of `letterPixels` per em: its rim and halo in
// proportion to the letters, as they stand to the title's.
LetterStyle styleFor(int letterPixels) {
  LetterStyle style = kTitleStyle;
  const float k = static_cast<float>(letterPixels) / static_cast<float>(kTitlePixels);
  style.edgeWidth *= k;
  style.glowRadius = std::max(1, static_cast<int>(std::lround(static_cast<float>(style.glowRadius) * k)));
  return style;
}

// Signed distance from (x, y) to the tile's outline, negative inside.
float tileDistance(const Tile &tile, float x, float y) {
  const float centre = (tile.lo + tile.hi) * 0.5f, inner = (tile.hi - tile.lo) * 0.5f - tile.corner;
  const float qx = std::fabs(x - centre) - inner, qy = std::fabs(y - centre) - inner;
  const float outside = std::hypot(std::max(qx, 0.f), std::max(qy, 0.f));
  return outside + std::min(std::max(qx, qy), 0.f) - tile.corner;
}

void paintTile(Image &icon) {
  const Tile tile = tileFor(static_cast<float>(icon.width));
  for (int y = 0; y < icon.height; ++y) {
    const float py = static_cast<float>(y) + 0.5f;
    const float t = clamp01((py - tile.lo) / (tile.hi - tile.lo));
    const Colour base = mix(kTileTop, kTileBottom, t), edge = mix(kTileEdgeTop, kTileEdgeBottom, t);
    for (int x = 0; x < icon.width; ++x) {
      const float d = tileDistance(tile, static_cast<float>(x) + 0.5f, py);
      const float inside = clamp01(0.5f - d);
      if (inside <= 0.f)
        continue;
      const float band = inside * clamp01(d + tile.edge + 0.5f);
      Colour c = mix(base, edge, edge.a * band);
      c.a = inside;
      icon.set(x, y, c);
    }
  }
}

// --- The scalable icon ------------------------------------------------------------

struct FontFile {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  explicit FontFile(const char *path) {
    if (FT_Init_FreeType(&library) != 0) {
      library = nullptr;
      std::fprintf(stderr, "bake: FreeType cannot be started\n");
      return;
    }
    if (FT_New_Face(library, path, 0, &face) != 0) {
      std::fprintf(stderr, "bake: %s: cannot load the font (is fonts-dejavu-core installed?)\n", path);
      face = nullptr;
    }
  }
  ~FontFile() {
    if (face)
      FT_Done_Face(face);
    if (library)
      FT_Done_FreeType(library);
  }
  FontFile(const FontFile &) = delete;
  FontFile &operator=(const FontFile &) = delete;
};

// A number for SVG: two decimals at most, no trailing zeros.
std::string svgNumber(float v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", static_cast<double>(v));
  std::string s = text;
  while (s.back() == '0')
    s.pop_back();
  if (s.back() == '.')
    s.pop_back();
  return s == "-0" ? "0" : s;
}

std::string svgColour(const Colour &c) {
  char text[8];
  auto byte = [](float v) { return static_cast<int>(std::lround(clamp01(v) * 255.f)); };
  std::snprintf(text, sizeof text, "#%02x%02x%02x", byte(c.r), byte(c.g), byte(c.b));
  return text;
}

// Path data from an outline in 26.6 pixels (y up): each point moved by
// (dx, dy) after flipping y; every contour closed.
struct PathWriter {
  std::string d;
  float dx = 0.f, dy = 0.f;
  void command(char c, std::initializer_list<const FT_Vector *> points) {
    if (!d.empty())
      d += ' ';
    d += c;
    for (const FT_Vector *p : points) {
      d += ' ' + svgNumber(dx + static_cast<float>(p->x) / 64.f);
      d += ' ' + svgNumber(dy - static_cast<float>(p->y) / 64.f);
    }
  }
  static PathWriter &of(void *user) { return *static_cast<PathWriter *>(user); }
};

std::string outlinePath(FT_Outline &outline, float dx, float dy) {
  FT_Outline_Funcs funcs{};
  funcs.move_to = [](const FT_Vector *to, void *user) {
    PathWriter &path = PathWriter::of(user);
    if (!path.d.empty())
      path.d += " Z";
    path.command('M', {to});
    return 0;
  };
  funcs.line_to = [](const FT_Vector *to, void *user) {
    PathWriter::of(user).command('L', {to});
    return 0;
  };
  funcs.conic_to = [](const FT_Vector *control, const FT_Vector *to, void *user) {
    PathWriter::of(user).command('Q', {control, to});
    return 0;
  };
  funcs.cubic_to = [](const FT_Vector *control1, const FT_Vector *control2, const FT_Vector *to, void *user) {
    PathWriter::of(user).command('C', {control1, control2, to});
    return 0;
  };
  PathWriter path;
  path.dx = dx;
  path.dy = dy;
  if (FT_Outline_Decompose(&outline, &funcs, &path) != 0)
    return std::string();
  if (!path.d.empty())
    path.d += " Z";
  return path.d;
}

bool writeFile(const std::string &path, const std::vector<uint8_t> &bytes) {
  std::string reason;
  if (writeWholeFile(path, bytes, &reason))
    return true;
  std::fprintf(stderr, "bake: %s: cannot write: %s\n", path.c_str(), reason.c_str());
  return false;
}

} // namespace

Image paintIcon(int size) {
  const int letterPixels = letterPixelsFor(size);
  WordLayout letter(std::string(1, kLetter), letterPixels, kFontSansBold);
  if (letter.empty())
    return Image();
  Image icon(size, size, 4, Colour{0.f, 0.f, 0.f, 0.f});
  paintTile(icon);
  // The letter's ink box centred on the tile, its halo round it.
  const LetterStyle style = styleFor(letterPixels);
  const int padding = style.glowRadius;
  drawAtPixel(icon, styleLetters(letter.render(1, padding), style), (size - letter.width()) / 2 - padding,
              (size - letter.height()) / 2 - padding);
  return icon;
}

std::string iconSvg() {
  FontFile font(kFontSansBold);
  if (!font.face)
    return std::string();
  const int letterPixels = letterPixelsFor(kIconSvgSize);
  FT_Set_Pixel_Sizes(font.face, 0, static_cast<FT_UInt>(letterPixels));
  const FT_UInt index = FT_Get_Char_Index(font.face, static_cast<unsigned char>(kLetter));
  if (index == 0 || FT_Load_Glyph(font.face, index, FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING) != 0 ||
      font.face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) {
    std::fprintf(stderr, "bake: %s: no outline for '%c'\n", kFontSansBold, kLetter);
    return std::string();
  }
  FT_Outline &outline = font.face->glyph->outline;
  // The outline's box centred on the tile, as the pictures centre the ink.
  FT_BBox box;
  FT_Outline_Get_CBox(&outline, &box);
  const float half = static_cast<float>(kIconSvgSize) * 0.5f;
  const float dx = half - static_cast<float>(box.xMin + box.xMax) / 128.f;
  const float dy = half + static_cast<float>(box.yMin + box.yMax) / 128.f;
  const std::string d = outlinePath(outline, dx, dy);
  if (d.empty()) {
    std::fprintf(stderr, "bake: %s: the outline of '%c' cannot be read\n", kFontSansBold, kLetter);
    return std::string();
  }

  const Tile tile = tileFor(static_cast<float>(kIconSvgSize));
  const LetterStyle style = styleFor(letterPixels);
  // The fill's gradient spans the letter's picture, ink and halo room, as
  // styleLetters paints it.
  const float inkTop = dy - static_cast<float>(box.yMax) / 64.f, inkBottom = dy - static_cast<float>(box.yMin) / 64.f;
  const float padding = static_cast<float>(style.glowRadius);
  auto n = [](float v) { return svgNumber(v); };
  auto stop = [](const char *offset, const Colour &c) {
    return std::string("<stop offset=\"") + offset + "\" stop-color=\"" + svgColour(c) + "\" stop-opacity=\"" +
           svgNumber(c.a) + "\"/>";
  };
  auto verticalGradient = [&](const char *id, float y1, float y2, const Colour &top, const Colour &bottom) {
    return std::string("  <linearGradient id=\"") + id + "\" gradientUnits=\"userSpaceOnUse\" x1=\"0\" y1=\"" +
           n(y1) + "\" x2=\"0\" y2=\"" + n(y2) + "\">" + stop("0", top) + stop("1", bottom) +
           "</linearGradient>\n";
  };
  const std::string side = std::to_string(kIconSvgSize);
  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + side + "\" height=\"" + side +
         "\" viewBox=\"0 0 " + side + " " + side + "\">\n";
  svg += "<defs>\n";
  svg += verticalGradient("tile", tile.lo, tile.hi, kTileTop, kTileBottom);
  svg += verticalGradient("tile-edge", tile.lo, tile.hi, kTileEdgeTop, kTileEdgeBottom);
  svg += verticalGradient("letter", inkTop - padding, inkBottom + padding, style.top, style.bottom);
  svg += "  <filter id=\"halo\" x=\"-30%\" y=\"-30%\" width=\"160%\" height=\"160%\"><feGaussianBlur stdDeviation=\"" +
         n(padding * 0.5f) + "\"/></filter>\n";
  svg += "</defs>\n";
  const float inset = tile.edge * 0.5f;
  svg += "<rect x=\"" + n(tile.lo) + "\" y=\"" + n(tile.lo) + "\" width=\"" + n(tile.hi - tile.lo) + "\" height=\"" +
         n(tile.hi - tile.lo) + "\" rx=\"" + n(tile.corner) + "\" fill=\"url(#tile)\"/>\n";
  svg += "<rect x=\"" + n(tile.lo + inset) + "\" y=\"" + n(tile.lo + inset) + "\" width=\"" +
         n(tile.hi - tile.lo - tile.edge) + "\" height=\"" + n(tile.hi - tile.lo - tile.edge) + "\" rx=\"" +
         n(tile.corner - inset) + "\" fill=\"none\" stroke=\"url(#tile-edge)\" stroke-width=\"" + n(tile.edge) +
         "\"/>\n";
  // Halo, rim (the outer half of a stroke twice the rim's width; the fill
  // covers the inner half) and fill.
  svg += "<path fill=\"" + svgColour(style.glow) + "\" fill-opacity=\"" + n(style.glow.a) +
         "\" filter=\"url(#halo)\" d=\"" + d + "\"/>\n";
  svg += "<path fill=\"none\" stroke=\"" + svgColour(style.edge) + "\" stroke-opacity=\"" + n(style.edge.a) +
         "\" stroke-width=\"" + n(2.f * style.edgeWidth) + "\" stroke-linejoin=\"round\" d=\"" + d + "\"/>\n";
  svg += "<path fill=\"url(#letter)\" d=\"" + d + "\"/>\n";
  svg += "</svg>\n";
  return svg;
}

bool writeIcons(const std::string &dir) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) {
    std::fprintf(stderr, "bake: cannot create %s: %s\n", dir.c_str(), ec.message().c_str());
    return false;
  }
  const std::filesystem::path folder(dir);
  for (int size : kIconSizes) {
    Image icon = paintIcon(size);
    if (icon.empty())
      return false;
    const std::string name = std::string(kIconName) + "-" + std::to_string(size) + ".png";
    if (!writeFile((folder / name).string(), encodePng(icon)))
      return false;
  }
  const std::string svg = iconSvg();
  if (svg.empty())
    return false;
  return writeFile((folder / (std::string(kIconName) + ".svg")).string(),
                   std::vector<uint8_t>(svg.begin(), svg.end()));
}

} // namespace demo::bake
