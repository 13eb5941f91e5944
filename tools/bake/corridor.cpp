// The corridor metaball scene's files: the corridor mesh "Box59" in
// gang.gsp and its atlas, the metaballs' two textures and their program, and
// the intro pictures and the group's logo.
//
// The scene draws Box59 under glTranslatef(-60, 0, 0), glScalef(1.3, 1.3,
// -2.6) and flies a camera along world +y at 30 units per unit of travel:
// eye x between -30 and 90 (a sideways swing), eye z between -200 and 0 (a
// slow bob), looking 120 units ahead at (0, y + 120, -100) with +z up. So the
// corridor is laid out in world units round that path and converted into
// mesh coordinates at the end: world (x, y, z) is mesh ((x + 60) / 1.3,
// y / 1.3, -z / 2.6). The mirror in z turns the winding round, and normals go
// through the transpose of the scale so that the scene's normal matrix (with
// GL_NORMALIZE) gives back the world normals.
#include "bake/bake.h"

#include <array>
#include <cmath>
#include <memory>

#include "bake/bake_math.h"
#include "bake/corridor_pictures.h"
#include "bake/mesh_builder.h"
#include "scene/scene.h"

namespace demo::bake {

namespace {

// The section, world units: an octagon round the camera's swing (x -30..90)
// and bob (z -200..0) with at least 48 units to spare inside the ribs.
constexpr int kSides = 8;
const std::array<std::array<float, 2>, kSides> kSection = {{
    {{190.f, -200.f}}, // right wall, bottom
    {{190.f, 0.f}},    // right wall, top
    {{120.f, 70.f}},   // ceiling, right
    {{-60.f, 70.f}},   // ceiling, left
    {{-130.f, 0.f}},   // left wall, top
    {{-130.f, -200.f}}, // left wall, bottom
    {{-60.f, -270.f}}, // floor, left
    {{120.f, -270.f}}, // floor, right
}};
constexpr float kCentreX = 30.f, kCentreZ = -100.f;

constexpr float kRibSpacing = 104.f;             // one wall panel
constexpr float kTileLength = 4.f * kRibSpacing; // one atlas tile along v
constexpr int kFirstTile = -1;                   // starts behind the first eye position (y = 0)
constexpr int kTileCount = 101;                  // to world y = 41600: fog hides the end
constexpr float kRibInset = 22.f, kRibThickness = 10.f;
constexpr float kBulkheadInset = 38.f, kBulkheadThickness = 24.f;
constexpr int kBulkheadEvery = 8;

// The scene's fixed model transform.
constexpr float kShiftX = -60.f, kScaleXY = 1.3f, kScaleZ = -2.6f;

float atlasU(const AtlasColumn &column, float t) {
  // One texel in from the column's edges, so linear filtering never picks up
  // the neighbouring column.
  return (column.x0 + 1.f + t * (column.x1 - column.x0 - 2.f)) / kCorridorAtlasSize;
}

// Collects the corridor in world units and stores it in mesh units.
class CorridorBuilder {
public:
  uint32_t vertex(const Vec3 &world, const Vec3 &worldNormal, float u, float v) {
    Vec3 p{(world.x - kShiftX) / kScaleXY, world.y / kScaleXY, world.z / kScaleZ};
    Vec3 n{worldNormal.x * kScaleXY, worldNormal.y * kScaleXY, worldNormal.z * kScaleZ};
    normalize(n);
    return mesh.addVertex(p, n, u, v);
  }
  // A triangle counter-clockwise seen from its normal's side in the world;
  // the mirror makes it clockwise in mesh units, so it is stored reversed.
  void triangle(uint32_t a, uint32_t b, uint32_t c) { mesh.addTriangle(a, c, b); }
  // A flat quad; the corners go round in either direction, the normal decides.
  void quad(const std::array<Vec3, 4> &corners, const Vec3 &normal, const std::array<float, 8> &uv) {
    Vec3 face = cross(corners[1] - corners[0], corners[2] - corners[0]);
    uint32_t i[4];
    for (int k = 0; k < 4; ++k)
      i[k] = vertex(corners[k], normal, uv[2 * k], uv[2 * k + 1]);
    if (dot(face, normal) >= 0.f) {
      triangle(i[0], i[1], i[2]);
      triangle(i[0], i[2], i[3]);
    } else {
      triangle(i[0], i[2], i[1]);
      triangle(i[0], i[3], i[2]);
    }
  }

  MeshData mesh;
};

Vec3 sectionPoint(int corner, float y) {
  const auto &p = kSection[static_cast<size_t>(corner % kSides)];
  return Vec3{p[0], y, p[1]};
}

// The inward normal of side i (from corner i to corner i + 1).
Vec3 sideNormal(int side) {
  Vec3 a = sectionPoint(side, 0.f), b = sectionPoint(side + 1, 0.f);
  Vec3 n{-(b.z - a.z), 0.f, b.x - a.x};
  normalize(n);
  Vec3 toCentre{kCentreX - a.x, 0.f, kCentreZ - a.z};
  return dot(n, toCentre) < 0.f ? n * -1.f : n;
}

// Corner i moved `inset` units inwards from both of its sides.
Vec3 insetPoint(int corner, float inset, float y) {
  Vec3 na = sideNormal((corner + kSides - 1) % kSides), nb = sideNormal(corner);
  Vec3 p = sectionPoint(corner, y) + (na + nb) * (inset / (1.f + dot(na, nb)));
  p.y = y;
  return p;
}

float sideLength(int side) {
  Vec3 d = sectionPoint(side + 1, 0.f) - sectionPoint(side, 0.f);
  return std::sqrt(dot(d, d));
}

// The walls: one quad per side per tile. Each side's u range in its column
// runs from its floor-side edge up; the left half counts v backwards so that
// lettering reads the same way up on both walls.
void addShell(CorridorBuilder &b) {
  struct SideMap {
    AtlasColumn column;
    float t0, t1;   // u at corner i and at corner i + 1, inside the column
    float vSign;    // +1 on the right half, -1 on the left
  };
  const std::array<SideMap, kSides> maps = {{
      {kWallColumn, 0.f, 1.f, 1.f},     // right wall
      {kWallColumn, 0.5f, 1.f, 1.f},    // upper right slope
      {kCeilingColumn, 1.f, 0.f, 1.f},  // ceiling
      {kWallColumn, 1.f, 0.5f, -1.f},   // upper left slope
      {kWallColumn, 1.f, 0.f, -1.f},    // left wall
      {kWallColumn, 0.5f, 0.f, -1.f},   // lower left slope
      {kFloorColumn, 0.f, 1.f, 1.f},    // floor
      {kWallColumn, 0.f, 0.5f, 1.f},    // lower right slope
  }};
  for (int tile = kFirstTile; tile < kFirstTile + kTileCount; ++tile) {
    const float y0 = tile * kTileLength, y1 = y0 + kTileLength;
    for (int side = 0; side < kSides; ++side) {
      const SideMap &m = maps[static_cast<size_t>(side)];
      float u0 = atlasU(m.column, m.t0), u1 = atlasU(m.column, m.t1);
      float v0 = m.vSign * y0 / kTileLength, v1 = m.vSign * y1 / kTileLength;
      b.quad({sectionPoint(side, y0), sectionPoint(side + 1, y0), sectionPoint(side + 1, y1), sectionPoint(side, y1)},
             sideNormal(side), {u0, v0, u1, v0, u1, v1, u0, v1});
    }
  }
}

// A frame round the section at y: front and back faces (u across the
// frame, v along its perimeter) and the inner faces.
void addRib(CorridorBuilder &b, float y, float inset, float thickness, const AtlasColumn &faceColumn) {
  const float front = y - thickness * 0.5f, back = y + thickness * 0.5f;
  float arc = 0.f;
  for (int side = 0; side < kSides; ++side) {
    const float a0 = arc / kTileLength, a1 = (arc + sideLength(side)) / kTileLength;
    arc += sideLength(side);
    const float uOut = atlasU(faceColumn, 0.f), uIn = atlasU(faceColumn, 1.f);
    for (float face : {front, back}) {
      Vec3 normal{0.f, face == front ? -1.f : 1.f, 0.f};
      b.quad({sectionPoint(side, face), sectionPoint(side + 1, face), insetPoint(side + 1, inset, face),
              insetPoint(side, inset, face)},
             normal, {uOut, a0, uOut, a1, uIn, a1, uIn, a0});
    }
    const float uFront = atlasU(kRibColumn, 0.f), uBack = atlasU(kRibColumn, 1.f);
    b.quad({insetPoint(side, inset, front), insetPoint(side + 1, inset, front), insetPoint(side + 1, inset, back),
            insetPoint(side, inset, back)},
           sideNormal(side), {uFront, a0, uFront, a1, uBack, a1, uBack, a0});
  }
}

// A strip lamp hanging under the ceiling, centred at y.
void addLamp(CorridorBuilder &b, float y) {
  const float x0 = 10.f, x1 = 50.f, y0 = y - 30.f, y1 = y + 30.f, z0 = 58.f, z1 = 70.f;
  const float lu0 = atlasU(kLampColumn, 0.f), lu1 = atlasU(kLampColumn, 1.f);
  const float v0 = y0 / kTileLength, v1 = y1 / kTileLength;
  b.quad({Vec3{x0, y0, z0}, Vec3{x1, y0, z0}, Vec3{x1, y1, z0}, Vec3{x0, y1, z0}}, Vec3{0.f, 0.f, -1.f},
         {lu0, v0, lu1, v0, lu1, v1, lu0, v1});
  const float ru0 = atlasU(kRibColumn, 0.f), ru1 = atlasU(kRibColumn, 1.f);
  const float across = (x1 - x0) / kTileLength;
  b.quad({Vec3{x0, y0, z0}, Vec3{x0, y1, z0}, Vec3{x0, y1, z1}, Vec3{x0, y0, z1}}, Vec3{-1.f, 0.f, 0.f},
         {ru0, v0, ru0, v1, ru1, v1, ru1, v0});
  b.quad({Vec3{x1, y0, z0}, Vec3{x1, y1, z0}, Vec3{x1, y1, z1}, Vec3{x1, y0, z1}}, Vec3{1.f, 0.f, 0.f},
         {ru0, v0, ru0, v1, ru1, v1, ru1, v0});
  b.quad({Vec3{x0, y0, z0}, Vec3{x1, y0, z0}, Vec3{x1, y0, z1}, Vec3{x0, y0, z1}}, Vec3{0.f, -1.f, 0.f},
         {ru0, 0.f, ru0, across, ru1, across, ru1, 0.f});
  b.quad({Vec3{x0, y1, z0}, Vec3{x1, y1, z0}, Vec3{x1, y1, z1}, Vec3{x0, y1, z1}}, Vec3{0.f, 1.f, 0.f},
         {ru0, 0.f, ru0, across, ru1, across, ru1, 0.f});
}

// A pipe along y, smooth-shaded, one section per tile: `side` is the slope
// it lies on, `along` where on it (0..1), `radius` its size.
void addPipe(CorridorBuilder &b, int side, float along, float radius) {
  constexpr int kSegments = 8;
  Vec3 a = sectionPoint(side, 0.f), c = sectionPoint(side + 1, 0.f);
  Vec3 centre = a + (c - a) * along + sideNormal(side) * (radius + 3.f);
  for (int tile = kFirstTile; tile < kFirstTile + kTileCount; ++tile) {
    const float y0 = tile * kTileLength, y1 = y0 + kTileLength;
    uint32_t first = 0;
    for (int ring = 0; ring < 2; ++ring)
      for (int s = 0; s <= kSegments; ++s) {
        float angle = 2.f * 3.14159265f * s / kSegments;
        Vec3 n{std::cos(angle), 0.f, std::sin(angle)};
        Vec3 p = centre + n * radius;
        p.y = ring == 0 ? y0 : y1;
        uint32_t index = b.vertex(p, n, atlasU(kRibColumn, static_cast<float>(s) / kSegments),
                                  p.y / kTileLength);
        if (ring == 0 && s == 0)
          first = index;
      }
    for (int s = 0; s < kSegments; ++s) {
      uint32_t p0 = first + static_cast<uint32_t>(s), p1 = p0 + 1;
      uint32_t q0 = p0 + kSegments + 1, q1 = q0 + 1;
      // Angle runs from +x towards +z; with y out of the ring that is
      // clockwise seen from outside, hence this order.
      b.triangle(p0, q0, p1);
      b.triangle(p1, q0, q1);
    }
  }
}

MeshData buildCorridor() {
  CorridorBuilder b;
  addShell(b);
  const float start = kFirstTile * kTileLength, end = start + kTileCount * kTileLength;
  int rib = 0;
  for (float y = start + kRibSpacing; y < end; y += kRibSpacing, ++rib) {
    if (rib % kBulkheadEvery == 0)
      addRib(b, y, kBulkheadInset, kBulkheadThickness, kHazardColumn);
    else
      addRib(b, y, kRibInset, kRibThickness, kRibColumn);
    addLamp(b, y + kRibSpacing * 0.5f);
  }
  addPipe(b, 7, 0.3f, 9.f); // lower right slope
  addPipe(b, 7, 0.72f, 6.f);
  addPipe(b, 5, 0.28f, 6.f); // lower left slope
  addPipe(b, 5, 0.7f, 9.f);
  addPipe(b, 1, 0.5f, 5.f); // cable conduits on the upper slopes
  addPipe(b, 3, 0.5f, 5.f);
  return b.mesh;
}

} // namespace

void bakeCorridor(BakeContext &context) {
  context.group("corridor");

  Scene corridor;
  auto material = std::make_unique<Material>();
  material->ambient = {0.6f, 0.6f, 0.6f, 1.f};
  material->diffuse = {1.f, 1.f, 1.f, 1.f};
  material->textureNames[0] = "data/vegg.png";
  corridor.addMaterial(std::move(material));
  corridor.addChild(toMeshNode(buildCorridor(), "Box59", 0));
  context.writeGsp("gang.gsp", corridor);
  context.writePng("vegg.png", paintCorridorAtlas(context.detail()));

  context.writeJpeg("envmap_metaballs.jpg", paintMetaballEnvironment(context.detail()));
  context.writeJpeg("ooo.jpg", paintRingPattern(context.detail()));
  context.writeText("metaballsfp.txt", metaballProgramSource());

  context.writeJpeg("marker.jpg", paintMarker(context.detail()));
  context.writePng("greetings.png", paintGreetings(context.detail()));
  context.writePng("overlays/o_kestrane.png", paintGroupLogo(context.detail()));
  // The dark bands' texture, overlays/o_border.png, comes with the letter
  // scene's files, which load it first.
}

} // namespace demo::bake
