// The event overlay scene's data: the spiky chrome ball, the grid the cube
// field stands on, the cube, their two environment maps, the colour map that
// scrolls across the cubes, the title spelled letter by letter and the event
// overlay.
//
// Scales as the scene uses them: the spike is drawn as it is (about 100 units
// across, its vertices lag by (0.02 |p|)^1.2 seconds, so the tips trail the
// core); the grid's positions are multiplied by 3 at load and by 10 when
// drawn, the cube's by 2 and by 10. The scene colours cube j < 1024 from
// colour map row j / 32, column (j mod 32 + scroll) mod 224, so the grid
// holds exactly 32 x 32 points in rows of 32, and the map's first 32 rows and
// 224 columns form one seamless strip.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "bake/bake.h"
#include "bake/bake_math.h"
#include "bake/event_lettering.h"
#include "bake/image.h"
#include "bake/mesh_builder.h"
#include "bake/text.h"
#include "scene/ebr_mesh.h"

namespace demo::bake {

namespace {

// --- Meshes -------------------------------------------------------------------

constexpr float kSpikeCore = 27.f;  // radius of the ball between the spikes
constexpr float kSpikeTip = 50.f;   // radius of the tips: 100 units across
constexpr float kSpikeFoot = 0.24f; // angular radius of a spike's foot

// A chrome ball with 42 spikes, one on each vertex of a once-divided
// icosahedron. The ball is finely divided (2,562 vertices) so each spike
// rises over a few rings of vertices with concave flanks.
MeshData makeSpikeBall() {
  MeshData ball = makeIcosphere(1.f, 4);
  // makeIcosphere appends the vertices of every subdivision level after the
  // previous ones: the first 42 are those of the once-divided icosahedron.
  const std::vector<Vec3> tips(ball.positions.begin(), ball.positions.begin() + 42);
  for (Vec3 &p : ball.positions) {
    float nearest = -1.f;
    for (const Vec3 &tip : tips)
      nearest = std::max(nearest, p.x * tip.x + p.y * tip.y + p.z * tip.z);
    float angle = std::acos(std::min(1.f, nearest));
    float rise = std::pow(std::max(0.f, 1.f - angle / kSpikeFoot), 1.8f);
    // A little unevenness on the ball so the reflections wander.
    float bump = 1.2f * (valueNoise3(p.x * 3.f + 7.f, p.y * 3.f, p.z * 3.f, 77u) - 0.5f) * (1.f - rise);
    float radius = kSpikeCore + bump + (kSpikeTip - kSpikeCore) * rise;
    p = Vec3{p.x * radius, p.y * radius, p.z * radius};
  }
  ball.computeNormals();
  return ball;
}

// Grid spacing before the scene's x 3 x 10: the ripple's phase sin(x + ...)
// then advances by 2 pi + 0.5 radians from cube to cube, which reads as a
// smooth wave 12.6 cubes long, and the cubes stand 68 units apart.
constexpr float kGridSpacing = (2.f * kPi + 0.5f) / 3.f;
constexpr int kGridPoints = 32;
// The field lies well under the spike, 420 units below it once drawn, so
// that the bass ripple (200 units per unit of bass level) lifts it towards
// the spike without sweeping the camera at z = 90.
constexpr float kGridHeight = -14.f;

// 32 x 32 points in a plane parallel to x-y, row by row from +y down, each row
// from -x to +x: point j is colour map row j / 32, column j mod 32.
MeshData makeCubeField() {
  const float size = kGridSpacing * static_cast<float>(kGridPoints - 1);
  MeshData grid = makeGrid(size, size, kGridPoints - 1, kGridPoints - 1);
  grid.transform(translation(Vec3{0.f, 0.f, kGridHeight}));
  return grid;
}

constexpr float kCubeHalf = 1.1f;    // 44 units once scaled by 2 and 10
constexpr float kCubeChamfer = 0.16f; // bevelled edges catch the reflections

// A cube with chamfered edges and corners, flat-shaded (every facet has its
// own vertices). Its 26 facets are the support sets of the 26 directions
// (faces, edges, corners) among the 24 face corners.
MeshData makeBevelledCube() {
  const float h = kCubeHalf, a = kCubeHalf - kCubeChamfer;
  std::vector<Vec3> corners;
  for (int axis = 0; axis < 3; ++axis)
    for (float s : {-1.f, 1.f})
      for (float u : {-a, a})
        for (float v : {-a, a}) {
          float c[3];
          c[axis] = s * h;
          c[(axis + 1) % 3] = u;
          c[(axis + 2) % 3] = v;
          corners.push_back(Vec3{c[0], c[1], c[2]});
        }
  MeshData cube;
  for (int dx = -1; dx <= 1; ++dx)
    for (int dy = -1; dy <= 1; ++dy)
      for (int dz = -1; dz <= 1; ++dz) {
        if (dx == 0 && dy == 0 && dz == 0)
          continue;
        Vec3 n{static_cast<float>(dx), static_cast<float>(dy), static_cast<float>(dz)};
        normalize(n);
        float best = -1e9f;
        for (const Vec3 &p : corners)
          best = std::max(best, p.x * n.x + p.y * n.y + p.z * n.z);
        std::vector<Vec3> facet;
        for (const Vec3 &p : corners)
          if (p.x * n.x + p.y * n.y + p.z * n.z > best - 1e-4f)
            facet.push_back(p);
        // Order the facet's corners counter-clockwise seen from outside.
        Vec3 centre{0.f, 0.f, 0.f};
        for (const Vec3 &p : facet)
          centre = Vec3{centre.x + p.x / facet.size(), centre.y + p.y / facet.size(), centre.z + p.z / facet.size()};
        Vec3 e1 = Vec3{facet[0].x - centre.x, facet[0].y - centre.y, facet[0].z - centre.z};
        normalize(e1);
        Vec3 e2 = cross(n, e1);
        auto angleOf = [&](const Vec3 &p) {
          Vec3 d{p.x - centre.x, p.y - centre.y, p.z - centre.z};
          return std::atan2(d.x * e2.x + d.y * e2.y + d.z * e2.z, d.x * e1.x + d.y * e1.y + d.z * e1.z);
        };
        std::sort(facet.begin(), facet.end(), [&](const Vec3 &p, const Vec3 &q) { return angleOf(p) < angleOf(q); });
        // Planar texture coordinates across the facet, 0..1 over the cube.
        std::vector<uint32_t> ids;
        for (const Vec3 &p : facet) {
          float u = 0.5f + 0.5f * (p.x * e1.x + p.y * e1.y + p.z * e1.z) / h;
          float v = 0.5f - 0.5f * (p.x * e2.x + p.y * e2.y + p.z * e2.z) / h;
          ids.push_back(cube.addVertex(p, n, u, v));
        }
        for (size_t i = 1; i + 1 < ids.size(); ++i)
          cube.addTriangle(ids[0], ids[i], ids[i + 1]);
      }
  return cube;
}

// --- Environment maps -----------------------------------------------------------

float dot3(float ax, float ay, float az, float bx, float by, float bz) { return ax * bx + ay * by + az * bz; }

// The spike's chrome reflects a dark laboratory hall: a hot sunset band on
// the horizon, rows of strip lights under a blue-black ceiling, a tiled
// floor with glowing seams, and one hard key light.
Image makeLabReflection(int detail) {
  return sphereMap(256, [](float dx, float dy, float dz) {
    float grain = 0.88f + 0.24f * valueNoise3(dx * 5.f, dy * 5.f, dz * 5.f, 311u);
    Colour c;
    if (dy >= 0.f) {
      Colour horizon{1.f, 0.42f, 0.16f, 1.f}, dusk{0.55f, 0.12f, 0.35f, 1.f}, ceiling{0.03f, 0.05f, 0.16f, 1.f};
      c = dy < 0.18f ? mix(horizon, dusk, dy / 0.18f) : mix(dusk, ceiling, smoothstep(0.18f, 0.55f, dy));
      c = scaled(c, grain);
      // Strip lights: six rows of panels round the hall, high up.
      float azimuth = std::atan2(dx, dz);
      float band = 1.f - smoothstep(0.035f, 0.06f, std::fabs(dy - 0.62f));
      float panel = std::fmod(azimuth / (2.f * kPi) * 12.f + 12.5f, 1.f);
      float lit = band * (1.f - smoothstep(0.3f, 0.36f, std::fabs(panel - 0.5f)));
      c = mix(c, Colour{0.95f, 0.97f, 1.f, 1.f}, lit);
    } else {
      // The floor: tiles seen from above, seams glowing magenta, fading out
      // into the distance.
      float fx = dx / -dy * 2.f, fz = dz / -dy * 2.f;
      float sx = std::fabs(fx - std::round(fx)), sz = std::fabs(fz - std::round(fz));
      float seam = 1.f - smoothstep(0.02f, 0.06f, std::min(sx, sz));
      float near = smoothstep(0.05f, 0.6f, -dy);
      c = scaled(Colour{0.07f, 0.06f, 0.09f, 1.f}, grain);
      c = mix(c, Colour{0.9f, 0.25f, 0.8f, 1.f}, seam * near * 0.45f);
      c = mix(c, Colour{0.5f, 0.2f, 0.12f, 1.f}, (1.f - smoothstep(0.f, 0.12f, -dy)) * 0.7f);
    }
    // The key light, above and to the right of the viewer.
    float key = dot3(dx, dy, dz, 0.45f, 0.5f, 0.74f);
    float spot = std::pow(std::max(0.f, key), 90.f);
    c = mix(c, Colour{1.f, 0.95f, 0.85f, 1.f}, clamp01(spot * 1.5f));
    return c;
  }, detail);
}

// The cubes' brushed grey: a soft studio, bright from above, darker below,
// with one large softbox so every face catches a different grey. The scene
// tints it (200, 200, 200) or (120, 120, 140 +- 9).
Image makeStudioReflection(int detail) {
  Image map = sphereMap(256, [](float dx, float dy, float dz) {
    float g = 0.16f + 0.26f * smoothstep(-0.7f, 0.8f, dy);
    g *= 0.9f + 0.2f * valueNoise3(dx * 4.f, dy * 4.f, dz * 4.f, 523u);
    float softbox = std::pow(std::max(0.f, dot3(dx, dy, dz, -0.5f, 0.6f, 0.62f)), 12.f);
    float rim = std::pow(std::max(0.f, dot3(dx, dy, dz, 0.7f, -0.1f, 0.7f)), 30.f);
    float horizon = 1.f - smoothstep(0.f, 0.08f, std::fabs(dy + 0.05f));
    float v = g + 0.5f * softbox + 0.3f * rim + 0.06f * horizon;
    return Colour{v * 0.97f, v * 0.98f, v, 1.f};
  }, detail);
  // Fine horizontal brushing.
  for (int y = 0; y < map.height; ++y)
    for (int x = 0; x < map.width; ++x) {
      float streak =
          0.96f + 0.08f * valueNoise(basePosition(x, detail) * 0.05f, basePosition(y, detail) * 1.7f, 91u);
      map.set(x, y, scaled(map.get(x, y), streak));
    }
  return map;
}

// --- The colour map ---------------------------------------------------------------

constexpr int kMapWidth = 256;
constexpr int kMapRows = 32;
constexpr int kMapPeriod = 224; // the scene wraps its columns here

// A scroller for the cube field: "KESTRANE" in bold capitals and a diamond,
// framed by dashed lines, bright on deep ultramarine. The scene only asks
// whether R + G + B > 500, so every pixel is kept clearly on one side
// (ink about 690, ground below 260); columns 224..255 repeat 0..31.
//
// At a detail above 1 the scene reads the mean colour of each detail x
// detail cell, so ink is decided per cell, on the base grid, and every pixel
// of a cell is on its side; the ink's gradient and the ground's noise are
// painted with the finer pixels. (Finer letter edges would pull the edge
// cells' means far off their colours at detail 1, and the map itself is
// never shown.)
Image makeUltramap(int detail) {
  // Which cells are ink.
  std::vector<bool> ink(static_cast<size_t>(kMapPeriod) * kMapRows, false);
  auto setInk = [&](int x, int y) {
    if (x >= 0 && x < kMapPeriod && y >= 0 && y < kMapRows)
      ink[static_cast<size_t>(y) * kMapPeriod + x] = true;
  };
  Image word = renderText("KESTRANE", 29, kFontSansBold, 0, 3.f);
  const int wordLeft = 8, wordTop = (kMapRows - word.height) / 2;
  for (int y = 0; y < word.height; ++y)
    for (int x = 0; x < word.width; ++x)
      if (word.get(x, y).a >= 0.5f)
        setInk(wordLeft + x, wordTop + y);
  // A diamond between the end of the word and its start.
  const float diamondX = 0.5f * static_cast<float>(wordLeft + word.width + kMapPeriod + wordLeft) - 0.5f;
  for (int y = 0; y < kMapRows; ++y)
    for (int x = 0; x < kMapPeriod; ++x)
      if (std::fabs(x - diamondX) + std::fabs(y - 15.5f) <= 8.f)
        setInk(x, y);
  // Dashed lines along the top and bottom rows: 4 on, 4 off, 28 dashes.
  for (int x = 0; x < kMapPeriod; ++x)
    if ((x / 4) % 2 == 0) {
      setInk(x, 0);
      setInk(x, kMapRows - 1);
    }

  const int d = detail;
  Image map = Image::atDetail(kMapWidth, kMapRows, 3, d);
  for (int y = 0; y < map.height; ++y)
    for (int x = 0; x < map.width; ++x) {
      const int column = x % (kMapPeriod * d);
      const float by = basePosition(y, d);
      const float t = by / (kMapRows - 1);
      Colour c;
      if (ink[static_cast<size_t>(y / d) * kMapPeriod + column / d]) {
        c = mix(Colour{0.78f, 0.95f, 1.f, 1.f}, Colour{1.f, 0.93f, 0.78f, 1.f}, t);
      } else {
        // Noise that repeats every 224 columns (7 cells of 32 pixels).
        float n = fbm(basePosition(column, d) / 32.f, by / 32.f, 404u, 3, 0.5f, 7);
        c = scaled(mix(Colour{0.04f, 0.1f, 0.48f, 1.f}, Colour{0.12f, 0.05f, 0.4f, 1.f}, t), 0.75f + 0.5f * n);
      }
      map.set(x, y, c);
    }
  return map;
}

// --- Lettering -------------------------------------------------------------------

constexpr int kOverlayWidth = 800, kOverlayHeight = 128;
constexpr int kLetterPadding = 14;

// The event overlay, drawn at (368, 0) from A = 148.44 on, when the letterbox
// bars are closed: the big line sits in the bottom bar (its lowest 75 rows),
// the small one just above it, right-aligned.
Image makeEventOverlay(int detail) {
  constexpr int kWidth = 432, kHeight = 128, kRightMargin = 24;
  const int d = detail;
  Image overlay = Image::atDetail(kWidth, kHeight, 4, d, Colour{1.f, 1.f, 1.f, 0.f});

  // The lines' ink boxes end kRightMargin base pixels from the right; their
  // pictures are placed in pixels (whole base pixels: a layout's sizes are
  // its detail times its sizes at detail 1).
  WordLayout big("PARTY VERSION", 40, kFontSansBold, 2.f, d);
  LetterStyle bigStyle = kTitleStyle;
  bigStyle.glowRadius = 8;
  Image bigText = styleLetters(big.render(big.letters(), 10), bigStyle);
  const int bigLeft = (kWidth - kRightMargin) * d - big.width() - 10 * d;
  const int bigTop = 104 * d - big.baseline() - 10 * d; // baseline on row 104
  drawAtPixel(overlay, bigText, bigLeft, bigTop);

  WordLayout small("a kestrane release", 20, kFontSans, 1.f, d);
  LetterStyle smallStyle{Colour{0.7f, 0.85f, 1.f, 1.f}, Colour{0.55f, 0.7f, 1.f, 1.f},
                         Colour{0.f, 0.02f, 0.1f, 0.8f}, 1.5f, Colour{0.2f, 0.4f, 1.f, 0.45f}, 5};
  Image smallText = styleLetters(small.render(small.letters(), 6), smallStyle);
  drawAtPixel(overlay, smallText, (kWidth - kRightMargin) * d - small.width() - 6 * d,
              44 * d - small.baseline() - 6 * d);

  // A warm accent line between the two, rows 51 and 52, fading out to the
  // left.
  for (int x = 0; x < (kWidth - kRightMargin) * d; ++x) {
    float fade = smoothstep(40.f, 260.f, basePosition(x, d));
    for (int y = 51 * d; y < 53 * d; ++y)
      overlay.blend(x, y, Colour{1.f, 0.55f, 0.2f, 1.f}, fade * (y < 52 * d ? 1.f : 0.5f));
  }
  return overlay;
}

} // namespace

void bakeEvent(BakeContext &context) {
  context.group("event overlay scene");

  EbrMesh spike;
  addToEbr(spike, makeSpikeBall(), "yollspike");
  context.writeEbr("yollspike.ebr", spike);
  EbrMesh grid;
  addToEbr(grid, makeCubeField(), "grid");
  context.writeEbr("grid.ebr", grid);
  EbrMesh cube;
  addToEbr(cube, makeBevelledCube(), "kubedritt");
  context.writeEbr("kubedritt.ebr", cube);

  const int detail = context.detail();
  context.writeJpeg("poopscience.jpg", makeLabReflection(detail));
  context.writeJpeg("grey.jpg", makeStudioReflection(detail));

  // Everything from here on is lettering. Without the fonts (the loader has
  // said why on stderr) nothing sensible can be drawn: the files are
  // reported as not written, which fails the bake.
  WordLayout title(kTitleWord, kTitlePixels, kFontSansBold, 3.f, detail);
  const std::string word = kTitleWord;
  if (title.empty()) {
    context.writeBytes("ultramap.jpg", {});
    for (size_t letters = 1; letters <= word.size(); ++letters)
      context.writeBytes("overlays/logo_" + word.substr(0, letters) + ".png", {});
    context.writeBytes("overlays/scene-event.png", {});
    return;
  }

  context.writeJpeg("ultramap.jpg", makeUltramap(detail), 95);

  // The title, one more letter per picture, each letter where it stands in
  // the whole word (the word centred on the 800 x 128 picture).
  for (size_t letters = 1; letters <= word.size(); ++letters) {
    Image overlay = Image::atDetail(kOverlayWidth, kOverlayHeight, 4, detail, Colour{1.f, 1.f, 1.f, 0.f});
    drawCentred(overlay, styleLetters(title.render(letters, kLetterPadding), kTitleStyle), kOverlayWidth * 0.5f,
                kOverlayHeight * 0.5f);
    context.writePng("overlays/logo_" + word.substr(0, letters) + ".png", overlay);
  }

  context.writePng("overlays/scene-event.png", makeEventOverlay(detail));
}

} // namespace demo::bake
