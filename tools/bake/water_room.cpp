#include "bake/water_room.h"

#include <algorithm>
#include <cmath>

#include "bake/bake_math.h"
#include "bake/image.h"
#include "scene/scene.h"

namespace demo::bake {

const WaterMeshName kWaterMeshes[8] = {
    {"aller ytterste stenger", "vannscene/aller_ytterste_stenger.jpg"},
    {"andre stenger", "vannscene/andre_stenger.jpg"},
    {"kabler rundt boks", "vannscene/kabler_rundt_boks.jpg"},
    {"nedre stenger", "vannscene/nedre_stenger.jpg"},
    {"takboks", "vannscene/takboks.jpg"},
    {"tank", "vannscene/tank.jpg"},
    {"tykke kabler", "vannscene/tykke_kabler.jpg"},
    {"ytterstenger og skjermer", "vannscene/ytterstenger_og_skjermer.jpg"},
};
const char *const kWaterCameras[4] = {"Camera01", "Camera02", "Camera03", "Camera05"};
const char *const kWaterCameraTargets[4] = {"Camera01.Target", "Camera02.Target", "Camera03.Target", "Camera05.Target"};

namespace {

// Adds the quad a-b-c-d (in order round its edge) as two triangles wound so
// that they face the way the vertices' normals point.
void addFacingQuad(MeshData &mesh, uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  const std::vector<Vec3> &p = mesh.positions;
  const std::vector<Vec3> &n = mesh.normals;
  Vec3 face = cross(p[c] - p[a], p[d] - p[b]);
  Vec3 wanted = n[a] + n[b] + n[c] + n[d];
  if (dot(face, wanted) >= 0.f) {
    mesh.addTriangle(a, b, c);
    mesh.addTriangle(a, c, d);
  } else {
    mesh.addTriangle(a, c, b);
    mesh.addTriangle(a, d, c);
  }
}

void addFacingTriangle(MeshData &mesh, uint32_t a, uint32_t b, uint32_t c) {
  const std::vector<Vec3> &p = mesh.positions;
  Vec3 face = cross(p[b] - p[a], p[c] - p[a]);
  if (dot(face, mesh.normals[a] + mesh.normals[b] + mesh.normals[c]) >= 0.f)
    mesh.addTriangle(a, b, c);
  else
    mesh.addTriangle(a, c, b);
}

// Texture coordinates of a point `around` (0..1) of the way round a section
// and `along` scene units down its length.
void sweepCoords(const SweepUv &uv, float around, float along, float &u, float &v) {
  float a = uv.aroundStart + (uv.aroundEnd - uv.aroundStart) * around;
  float l = along / uv.lengthPerRepeat + uv.lengthOffset;
  u = uv.lengthAlongU ? l : a;
  v = uv.lengthAlongU ? a : l;
}

} // namespace

UvRect cellUv(const AtlasCell &cell, int width, int height) {
  const float w = static_cast<float>(width), h = static_cast<float>(height);
  return UvRect{(cell.x0 + 1.f) / w, (cell.y0 + 1.f) / h, (cell.x1 - 1.f) / w, (cell.y1 - 1.f) / h};
}

void addPanel(MeshData &mesh, const Vec3 &origin, const Vec3 &uDir, const Vec3 &vDir, float uLength, float vLength,
              float tileU, float tileV, const UvRect &rect) {
  const Vec3 normal = unit(cross(vDir, uDir));
  const int nu = std::max(1, static_cast<int>(std::ceil(uLength / tileU - 1e-4f)));
  const int nv = std::max(1, static_cast<int>(std::ceil(vLength / tileV - 1e-4f)));
  for (int j = 0; j < nv; ++j)
    for (int i = 0; i < nu; ++i) {
      const float a0 = i * tileU, a1 = std::min((i + 1) * tileU, uLength);
      const float b0 = j * tileV, b1 = std::min((j + 1) * tileV, vLength);
      const float fu = (a1 - a0) / tileU, fv = (b1 - b0) / tileV;
      const float u0 = rect.u0, u1 = rect.u0 + (rect.u1 - rect.u0) * fu;
      const float v0 = rect.v0, v1 = rect.v0 + (rect.v1 - rect.v0) * fv;
      uint32_t tl = mesh.addVertex(origin + uDir * a0 + vDir * b0, normal, u0, v0);
      uint32_t tr = mesh.addVertex(origin + uDir * a1 + vDir * b0, normal, u1, v0);
      uint32_t br = mesh.addVertex(origin + uDir * a1 + vDir * b1, normal, u1, v1);
      uint32_t bl = mesh.addVertex(origin + uDir * a0 + vDir * b1, normal, u0, v1);
      // Seen from the front, top-left, bottom-left, bottom-right turns
      // counter-clockwise.
      mesh.addTriangle(tl, bl, br);
      mesh.addTriangle(tl, br, tr);
    }
}

void addBeam(MeshData &mesh, const Vec3 &a, const Vec3 &b, const Vec3 &side, float width, float depth,
             const SweepUv &uv) {
  const Vec3 axis = unit(b - a);
  const float len = length(b - a);
  const Vec3 s = unit(side - axis * dot(side, axis));
  const Vec3 t = cross(axis, s);
  // The four faces in turn round the axis: +s, +t, -s, -t; each runs from
  // the corner before it to the corner after it.
  const Vec3 normals[4] = {s, t, s * -1.f, t * -1.f};
  const float half[4] = {width * 0.5f, depth * 0.5f, width * 0.5f, depth * 0.5f};
  const float perimeter = 2.f * (width + depth);
  float around = 0.f;
  for (int k = 0; k < 4; ++k) {
    const Vec3 &n = normals[k], &next = normals[(k + 1) % 4];
    const float e = half[(k + 1) % 4];
    const Vec3 start = n * half[k] - next * e, end = n * half[k] + next * e;
    const float a0 = around / perimeter, a1 = (around + 2.f * e) / perimeter;
    around += 2.f * e;
    float u, v;
    sweepCoords(uv, a0, 0.f, u, v);
    uint32_t i0 = mesh.addVertex(a + start, n, u, v);
    sweepCoords(uv, a1, 0.f, u, v);
    uint32_t i1 = mesh.addVertex(a + end, n, u, v);
    sweepCoords(uv, a1, len, u, v);
    uint32_t i2 = mesh.addVertex(b + end, n, u, v);
    sweepCoords(uv, a0, len, u, v);
    uint32_t i3 = mesh.addVertex(b + start, n, u, v);
    addFacingQuad(mesh, i0, i1, i2, i3);
  }
  // End caps show a little patch of the picture.
  for (int end = 0; end < 2; ++end) {
    const Vec3 centre = end == 0 ? a : b;
    const Vec3 n = end == 0 ? axis * -1.f : axis;
    const float hw = width * 0.5f, hd = depth * 0.5f;
    const Vec3 corners[4] = {s * hw + t * hd, s * -hw + t * hd, s * -hw + t * -hd, s * hw + t * -hd};
    const float cu[4] = {0.f, 0.25f, 0.25f, 0.f}, cl[4] = {0.f, 0.f, 1.f, 1.f};
    uint32_t idx[4];
    for (int k = 0; k < 4; ++k) {
      float u, v;
      sweepCoords(uv, cu[k], cl[k] * std::min(width, depth), u, v);
      idx[k] = mesh.addVertex(centre + corners[k], n, u, v);
    }
    addFacingQuad(mesh, idx[0], idx[1], idx[2], idx[3]);
  }
}

void addGirder(MeshData &mesh, const Vec3 &a, const Vec3 &b, const Vec3 &side, float flangeWidth, float height,
               const SweepUv &uv) {
  const Vec3 axis = unit(b - a);
  const Vec3 s = unit(side - axis * dot(side, axis));
  const Vec3 t = cross(axis, s);
  const float flange = std::max(0.3f, height * 0.12f);
  const float web = std::max(0.25f, flangeWidth * 0.12f);
  const Vec3 up = t * (height * 0.5f - flange * 0.5f);
  addBeam(mesh, a + up, b + up, s, flangeWidth, flange, uv);
  addBeam(mesh, a - up, b - up, s, flangeWidth, flange, uv);
  addBeam(mesh, a, b, s, web, height - 2.f * flange, uv);
}

void addTube(MeshData &mesh, const std::vector<Vec3> &path, float radius, int sides, const SweepUv &uv, bool caps) {
  const size_t n = path.size();
  if (n < 2 || sides < 3)
    return;
  std::vector<Vec3> tangents(n);
  for (size_t i = 0; i < n; ++i) {
    const Vec3 &prev = path[i == 0 ? 0 : i - 1], &next = path[i + 1 < n ? i + 1 : n - 1];
    tangents[i] = unit(next - prev);
  }
  // A first normal across the tangent, then carried along the path by
  // removing its component along each new tangent (no twist at bends).
  const Vec3 t0 = tangents[0];
  Vec3 normal = std::fabs(t0.y) < 0.9f ? Vec3{0.f, 1.f, 0.f} : Vec3{1.f, 0.f, 0.f};
  const uint32_t first = static_cast<uint32_t>(mesh.vertexCount());
  float along = 0.f;
  for (size_t i = 0; i < n; ++i) {
    if (i > 0)
      along += length(path[i] - path[i - 1]);
    const Vec3 &t = tangents[i];
    normal = unit(normal - t * dot(normal, t));
    const Vec3 binormal = cross(t, normal);
    for (int s = 0; s <= sides; ++s) {
      const float angle = 2.f * kPi * static_cast<float>(s) / sides;
      const Vec3 dir = normal * std::cos(angle) + binormal * std::sin(angle);
      float u, v;
      sweepCoords(uv, static_cast<float>(s) / sides, along, u, v);
      mesh.addVertex(path[i] + dir * radius, dir, u, v);
    }
  }
  const uint32_t ring = static_cast<uint32_t>(sides + 1);
  for (size_t i = 0; i + 1 < n; ++i)
    for (uint32_t s = 0; s < static_cast<uint32_t>(sides); ++s) {
      uint32_t a = first + static_cast<uint32_t>(i) * ring + s;
      addFacingQuad(mesh, a, a + 1, a + 1 + ring, a + ring);
    }
  if (!caps)
    return;
  for (int end = 0; end < 2; ++end) {
    const size_t i = end == 0 ? 0 : n - 1;
    const Vec3 capNormal = end == 0 ? tangents[0] * -1.f : tangents[n - 1];
    float u, v;
    sweepCoords(uv, 0.5f, 0.f, u, v);
    const uint32_t centre = mesh.addVertex(path[i], capNormal, u, v);
    const uint32_t rim = static_cast<uint32_t>(mesh.vertexCount());
    for (int s = 0; s <= sides; ++s) {
      const Vec3 &p = mesh.positions[first + static_cast<uint32_t>(i) * ring + static_cast<uint32_t>(s)];
      sweepCoords(uv, static_cast<float>(s) / sides, radius, u, v);
      mesh.addVertex(p, capNormal, u, v);
    }
    for (uint32_t s = 0; s < static_cast<uint32_t>(sides); ++s)
      addFacingTriangle(mesh, centre, rim + s, rim + s + 1);
  }
}

void addLathe(MeshData &mesh, const Vec3 &base, const std::vector<std::pair<float, float>> &profile, int segments,
              const SweepUv &uv) {
  const size_t n = profile.size();
  if (n < 2 || segments < 3)
    return;
  auto same = [&](size_t i, size_t j) {
    return profile[i].first == profile[j].first && profile[i].second == profile[j].second;
  };
  const uint32_t first = static_cast<uint32_t>(mesh.vertexCount());
  const uint32_t ring = static_cast<uint32_t>(segments + 1);
  float along = 0.f;
  for (size_t i = 0; i < n; ++i) {
    if (i > 0)
      along += std::hypot(profile[i].first - profile[i - 1].first, profile[i].second - profile[i - 1].second);
    // The tangent of the profile here; a repeated point makes a crease, each
    // copy taking the tangent of its own side.
    const size_t prev = (i > 0 && !same(i - 1, i)) ? i - 1 : i;
    const size_t next = (i + 1 < n && !same(i + 1, i)) ? i + 1 : i;
    float dr = profile[next].first - profile[prev].first, dh = profile[next].second - profile[prev].second;
    float nr = dh, nh = -dr; // the profile turned a quarter away from the axis
    const float k = std::hypot(nr, nh);
    if (k > 0.f) {
      nr /= k;
      nh /= k;
    }
    for (int s = 0; s <= segments; ++s) {
      const float angle = 2.f * kPi * static_cast<float>(s) / segments;
      const float c = std::cos(angle), sn = std::sin(angle);
      const float r = profile[i].first;
      float u, v;
      sweepCoords(uv, static_cast<float>(s) / segments, along, u, v);
      mesh.addVertex(base + Vec3{r * c, profile[i].second, r * sn}, Vec3{nr * c, nh, nr * sn}, u, v);
    }
  }
  for (size_t i = 0; i + 1 < n; ++i) {
    if (same(i, i + 1))
      continue;
    for (uint32_t s = 0; s < static_cast<uint32_t>(segments); ++s) {
      uint32_t a = first + static_cast<uint32_t>(i) * ring + s;
      if (profile[i].first == 0.f) // a pole: one triangle a segment
        addFacingTriangle(mesh, a, a + ring + 1, a + ring);
      else if (profile[i + 1].first == 0.f)
        addFacingTriangle(mesh, a, a + 1, a + ring);
      else
        addFacingQuad(mesh, a, a + 1, a + 1 + ring, a + ring);
    }
  }
}

std::vector<Vec3> hangingCurve(const Vec3 &a, const Vec3 &b, float sag, int points) {
  std::vector<Vec3> out;
  for (int i = 0; i < points; ++i) {
    const float t = static_cast<float>(i) / (points - 1);
    out.push_back(a + (b - a) * t - Vec3{0.f, 4.f * sag * t * (1.f - t), 0.f});
  }
  return out;
}

namespace {

// A loop round a rectangle (half sides hx, hz at height y) with rounded
// corners, closed (the last point repeats the first).
std::vector<Vec3> roundedLoop(float hx, float hz, float y, float corner, int cornerPoints) {
  std::vector<Vec3> out;
  const float cx[4] = {hx - corner, -(hx - corner), -(hx - corner), hx - corner};
  const float cz[4] = {hz - corner, hz - corner, -(hz - corner), -(hz - corner)};
  for (int c = 0; c < 4; ++c)
    for (int i = 0; i < cornerPoints; ++i) {
      const float angle = kPi * 0.5f * (c + static_cast<float>(i) / (cornerPoints - 1));
      out.push_back(Vec3{cx[c] + corner * std::cos(angle), y, cz[c] + corner * std::sin(angle)});
    }
  out.push_back(out.front());
  return out;
}

// A bent path through the given corners, each corner rounded by `radius`.
std::vector<Vec3> bentPath(const std::vector<Vec3> &corners, float radius) {
  std::vector<Vec3> out;
  out.push_back(corners.front());
  for (size_t i = 1; i + 1 < corners.size(); ++i) {
    const Vec3 in = unit(corners[i] - corners[i - 1]), outDir = unit(corners[i + 1] - corners[i]);
    const float r =
        std::min({radius, length(corners[i] - corners[i - 1]) * 0.45f, length(corners[i + 1] - corners[i]) * 0.45f});
    const Vec3 p0 = corners[i] - in * r, p2 = corners[i] + outDir * r;
    for (int k = 0; k <= 4; ++k) { // a quadratic curve round the corner
      const float t = k / 4.f;
      out.push_back(p0 * ((1 - t) * (1 - t)) + corners[i] * (2 * t * (1 - t)) + p2 * (t * t));
    }
  }
  out.push_back(corners.back());
  return out;
}

const Vec3 kX{1.f, 0.f, 0.f}, kY{0.f, 1.f, 0.f}, kZ{0.f, 0.f, 1.f};

// The picture round the whole section, repeating every `length` units along
// the bar or cable.
SweepUv repeatingEvery(float length) {
  SweepUv uv;
  uv.lengthPerRepeat = length;
  return uv;
}

// The columns of the outermost bays: every kBay units down the hall.
constexpr float kBay = 48.f;
constexpr float kFirstBayZ = 166.f;
constexpr float kColumnX = 119.f;

std::vector<float> bayPositions() {
  std::vector<float> out;
  for (float z = kFirstBayZ; z > kHallFarZ + 20.f; z -= kBay)
    out.push_back(z);
  return out;
}

// 0: the outermost bars. Wall columns and roof beams in every bay, far down
// the hall into the fog, with knee braces and base plates.
MeshData outermostBars() {
  MeshData m;
  const SweepUv uv = repeatingEvery(28.f);
  for (float z : bayPositions()) {
    for (float side : {-1.f, 1.f}) {
      const float x = side * kColumnX;
      addGirder(m, Vec3{x, kHallFloorY, z}, Vec3{x, kHallCeilingY - 8.f, z}, kZ, 7.f, 6.f, uv);
      addBeam(m, Vec3{x, kHallFloorY, z}, Vec3{x, kHallFloorY + 1.2f, z}, kZ, 11.f, 9.f, uv);
      addBeam(m, Vec3{x, 66.f, z}, Vec3{side * 96.f, kHallCeilingY - 8.f, z}, kZ, 2.4f, 2.4f, uv);
    }
    addGirder(m, Vec3{-kHallHalfWidth, kHallCeilingY - 4.f, z}, Vec3{kHallHalfWidth, kHallCeilingY - 4.f, z}, kZ, 5.f,
              8.f, uv);
  }
  // The doorway's frame.
  const float z = kBulkheadZ + 3.f;
  for (float side : {-1.f, 1.f})
    addGirder(m, Vec3{side * (kDoorHalfWidth + 3.f), kHallFloorY, z}, Vec3{side * (kDoorHalfWidth + 3.f), kDoorTopY, z},
              kX, 6.f, 5.f, uv);
  addGirder(m, Vec3{-kDoorHalfWidth - 6.f, kDoorTopY + 3.f, z}, Vec3{kDoorHalfWidth + 6.f, kDoorTopY + 3.f, z}, kZ, 5.f,
            6.f, uv);
  return m;
}

// 1: the second bars. A travelling crane (rails on brackets along both walls,
// a bridge of two girders with end trucks and a trolley), and the four
// hangers of the machinery box with their cross braces.
MeshData secondBars() {
  MeshData m;
  const SweepUv uv = repeatingEvery(20.f);
  const float railY = 74.f, railX = 108.f;
  for (float side : {-1.f, 1.f}) {
    addGirder(m, Vec3{side * railX, railY, kHallNearZ - 2.f}, Vec3{side * railX, railY, kHallFarZ + 30.f}, kX, 4.f, 5.f,
              uv);
    for (float z : bayPositions())
      addBeam(m, Vec3{side * (kColumnX - 3.f), railY - 3.5f, z}, Vec3{side * (railX - 1.f), railY - 3.5f, z}, kZ, 2.f,
              2.f, uv);
  }
  const float bridgeY = railY + 6.5f;
  for (float z : {-52.f, -61.f})
    addGirder(m, Vec3{-railX, bridgeY, z}, Vec3{railX, bridgeY, z}, kZ, 4.f, 7.f, uv);
  for (float side : {-1.f, 1.f})
    addBeam(m, Vec3{side * railX, railY + 3.f, -49.f}, Vec3{side * railX, railY + 3.f, -64.f}, kY, 6.f, 5.f, uv);
  addBeam(m, Vec3{-24.f, bridgeY + 4.f, -50.f}, Vec3{-24.f, bridgeY + 4.f, -63.f}, kY, 9.f, 6.f, uv);
  // The box hangs from four girders with X braces between them.
  const float h = kBoxHalfSide - 3.f;
  const Vec3 corners[4] = {{h, 0.f, h}, {-h, 0.f, h}, {-h, 0.f, -h}, {h, 0.f, -h}};
  for (const Vec3 &c : corners)
    addGirder(m, Vec3{c.x, kBoxTopY, c.z}, Vec3{c.x, kHallCeilingY, c.z}, kX, 3.f, 3.f, uv);
  for (int k = 0; k < 4; ++k) {
    const Vec3 &c0 = corners[k], &c1 = corners[(k + 1) % 4];
    const Vec3 along = unit(c1 - c0);
    const Vec3 outward = unit(cross(along, kY)) * -1.f;
    addBeam(m, Vec3{c0.x, kBoxTopY + 1.f, c0.z}, Vec3{c1.x, kHallCeilingY - 1.f, c1.z}, outward, 0.8f, 1.2f, uv);
    addBeam(m, Vec3{c1.x, kBoxTopY + 1.f, c1.z}, Vec3{c0.x, kHallCeilingY - 1.f, c0.z}, outward, 0.8f, 1.2f, uv);
  }
  return m;
}

// 2: cables round the box: three bands of three cables wound round it, loops
// hanging under it, and feeds climbing to the ceiling.
MeshData cablesRoundBox() {
  MeshData m;
  const SweepUv uv = repeatingEvery(6.f);
  const float r = 0.65f;
  int strand = 0;
  for (float bandY : {49.f, 56.5f, 64.f})
    for (int k = 0; k < 3; ++k, ++strand) {
      SweepUv strandUv = uv; // each strand's print starts at a different place
      strandUv.lengthOffset = 0.37f * strand;
      addTube(m, roundedLoop(kBoxHalfSide + r, kBoxHalfSide + r, bandY + k * 1.35f, 1.6f, 5), r, 8, strandUv);
    }
  // Loops hanging from the underside, along all four edges.
  Rng rng(71);
  for (int edge = 0; edge < 4; ++edge)
    for (int k = 0; k < 3; ++k) {
      const float a = -20.f + 14.f * k + rng.range(-2.f, 2.f), b = a + rng.range(7.f, 12.f);
      const float e = kBoxHalfSide - 1.5f;
      auto onEdge = [&](float t) {
        switch (edge) {
        case 0:
          return Vec3{t, kBoxBottomY, e};
        case 1:
          return Vec3{t, kBoxBottomY, -e};
        case 2:
          return Vec3{e, kBoxBottomY, t};
        default:
          return Vec3{-e, kBoxBottomY, t};
        }
      };
      addTube(m, hangingCurve(onEdge(a), onEdge(b), rng.range(3.f, 8.f), 14), 0.5f, 7, uv);
    }
  // Feeds from the top of the box up to the ceiling, bowing outwards.
  for (int k = 0; k < 6; ++k) {
    const float angle = 0.4f + k * 1.05f;
    const float x = std::cos(angle) * 14.f, z = std::sin(angle) * 14.f;
    std::vector<Vec3> path;
    for (int i = 0; i <= 10; ++i) {
      const float t = i / 10.f;
      const float bow = std::sin(t * kPi) * 3.f;
      path.push_back(Vec3{x * (1.f + bow * 0.05f), kBoxTopY + t * (kHallCeilingY - kBoxTopY), z * (1.f + bow * 0.05f)});
    }
    addTube(m, path, 0.55f, 7, uv);
  }
  return m;
}

// 3: the lower bars. A railing round the tank top, a ladder up its side and
// a pool ladder down into the water.
MeshData lowerBars() {
  MeshData m;
  const SweepUv uv = repeatingEvery(8.f);
  const float rail = 40.f, postR = 0.4f;
  for (float y : {7.f, 11.5f})
    addTube(m, roundedLoop(rail, rail, y, 1.5f, 4), postR, 8, uv);
  for (int side = 0; side < 4; ++side)
    for (int k = 0; k < 16; ++k) {
      const float t = -rail + 2.f * rail * k / 16.f;
      const Vec3 p = side == 0   ? Vec3{t, 0.f, rail}
                     : side == 1 ? Vec3{-t, 0.f, -rail}
                     : side == 2 ? Vec3{rail, 0.f, -t}
                                 : Vec3{-rail, 0.f, t};
      addTube(m, {Vec3{p.x, kTankTopY, p.z}, Vec3{p.x, 11.5f, p.z}}, postR, 8, uv, true);
    }
  // A ladder up the +z face, over the railing's height.
  for (float x : {18.f, 24.f})
    addTube(m,
            bentPath({Vec3{x, kHallFloorY, kTankHalfSide + 3.f}, Vec3{x, kTankTopY + 2.f, kTankHalfSide + 3.f},
                      Vec3{x, 12.f, kTankHalfSide - 2.f}},
                     2.5f),
            0.45f, 8, uv, true);
  for (float y = kHallFloorY + 2.f; y < kTankTopY; y += 2.6f)
    addTube(m, {Vec3{18.f, y, kTankHalfSide + 3.f}, Vec3{24.f, y, kTankHalfSide + 3.f}}, 0.3f, 6, uv);
  // A pool ladder hooked over the -z rim, down into the water.
  const float inner = kTankInnerHalfSide;
  for (float x : {-16.f, -11.f})
    addTube(m,
            bentPath({Vec3{x, kWaterLevel - 8.f, -inner + 1.2f}, Vec3{x, kTankTopY + 3.f, -inner + 1.2f},
                      Vec3{x, kTankTopY + 3.f, -inner - 3.f}, Vec3{x, kTankTopY, -inner - 3.f}},
                     1.5f),
            0.35f, 8, uv, true);
  for (float y = kWaterLevel - 6.f; y < kTankTopY; y += 2.2f)
    addTube(m, {Vec3{-16.f, y, -inner + 1.2f}, Vec3{-11.f, y, -inner + 1.2f}}, 0.25f, 6, uv);
  return m;
}

// 4: the ceiling box: the hall's shell (floor, walls, ceiling, the end wall
// behind the cameras' start; the far end is left open to the fog) and the
// machinery box hung over the pool, all from one atlas.
MeshData ceilingBox() {
  MeshData m;
  const int size = kShellPictureSize;
  const UvRect wall = cellUv(kShellWallCell, size, size), ceiling = cellUv(kShellCeilingCell, size, size);
  const UvRect floor = cellUv(kShellFloorCell, size, size), housing = cellUv(kShellHousingCell, size, size);
  const float w = kHallHalfWidth, top = kHallCeilingY, bottom = kHallFloorY;
  const float hallLength = kHallNearZ - kHallFarZ, height = top - bottom;
  // Floor, facing up, and ceiling, facing down.
  addPanel(m, Vec3{-w, bottom, kHallFarZ}, kX, kZ, 2.f * w, hallLength, 32.f, 16.f, floor);
  addPanel(m, Vec3{-w, top, kHallNearZ}, kX, kZ * -1.f, 2.f * w, hallLength, 64.f, 64.f, ceiling);
  // Side walls facing in, bays starting at the near end.
  addPanel(m, Vec3{-w, top, kHallNearZ}, kZ * -1.f, kY * -1.f, hallLength, height, 64.f, height, wall);
  addPanel(m, Vec3{w, top, kHallFarZ}, kZ, kY * -1.f, hallLength, height, 64.f, height, wall);
  // The near end wall, facing down the hall.
  addPanel(m, Vec3{w, top, kHallNearZ}, kX * -1.f, kY * -1.f, 2.f * w, height, 64.f, height, wall);
  // A bulkhead across the hall with a wide doorway: the hall goes on through
  // it into the fog.
  const float door = kDoorHalfWidth, lintel = kDoorTopY;
  addPanel(m, Vec3{-w, top, kBulkheadZ}, kX, kY * -1.f, w - door, height, 64.f, height, wall);
  addPanel(m, Vec3{door, top, kBulkheadZ}, kX, kY * -1.f, w - door, height, 64.f, height, wall);
  addPanel(m, Vec3{-door, top, kBulkheadZ}, kX, kY * -1.f, 2.f * door, top - lintel, 64.f, height, wall);
  // The hung box: four sides and the underside, and a smaller unit below.
  auto boxSides = [&](float half, float y0, float y1, float tile) {
    const float h = half;
    addPanel(m, Vec3{-h, y1, h}, kX, kY * -1.f, 2 * h, y1 - y0, tile, y1 - y0, housing);
    addPanel(m, Vec3{h, y1, -h}, kX * -1.f, kY * -1.f, 2 * h, y1 - y0, tile, y1 - y0, housing);
    addPanel(m, Vec3{h, y1, h}, kZ * -1.f, kY * -1.f, 2 * h, y1 - y0, tile, y1 - y0, housing);
    addPanel(m, Vec3{-h, y1, -h}, kZ, kY * -1.f, 2 * h, y1 - y0, tile, y1 - y0, housing);
    addPanel(m, Vec3{-h, y0, h}, kX, kZ * -1.f, 2 * h, 2 * h, tile, tile * 0.5f, housing);
  };
  boxSides(kBoxHalfSide, kBoxBottomY, kBoxTopY, 2.f * kBoxHalfSide);
  addPanel(m, Vec3{-kBoxHalfSide, kBoxTopY, -kBoxHalfSide}, kX, kZ, 2 * kBoxHalfSide, 2 * kBoxHalfSide,
           2 * kBoxHalfSide, kBoxHalfSide, housing);
  boxSides(14.f, kBoxBottomY - 6.f, kBoxBottomY, 14.f);
  return m;
}

// 5: the tank. Square steel walls round the pool with a coping, stiffening
// ribs and a foot, four domed silos, and the pipes between them.
MeshData tank() {
  MeshData m;
  const SweepUv uv = repeatingEvery(24.f);
  const float o = kTankHalfSide, i = kTankInnerHalfSide, topY = kTankTopY, foot = kHallFloorY;
  const UvRect plates{0.f, 0.f, 1.f, 1.f};
  // Outer walls facing out, inner walls facing the pool (reaching well below
  // the water), and the top between them.
  const float outerH = topY - foot, innerH = topY - (kWaterLevel - 9.f);
  addPanel(m, Vec3{-o, topY, o}, kX, kY * -1.f, 2 * o, outerH, 24.f, 24.f, plates);
  addPanel(m, Vec3{o, topY, -o}, kX * -1.f, kY * -1.f, 2 * o, outerH, 24.f, 24.f, plates);
  addPanel(m, Vec3{o, topY, o}, kZ * -1.f, kY * -1.f, 2 * o, outerH, 24.f, 24.f, plates);
  addPanel(m, Vec3{-o, topY, -o}, kZ, kY * -1.f, 2 * o, outerH, 24.f, 24.f, plates);
  addPanel(m, Vec3{i, topY, i}, kX * -1.f, kY * -1.f, 2 * i, innerH, 24.f, 24.f, plates);
  addPanel(m, Vec3{-i, topY, -i}, kX, kY * -1.f, 2 * i, innerH, 24.f, 24.f, plates);
  addPanel(m, Vec3{-i, topY, i}, kZ * -1.f, kY * -1.f, 2 * i, innerH, 24.f, 24.f, plates);
  addPanel(m, Vec3{i, topY, -i}, kZ, kY * -1.f, 2 * i, innerH, 24.f, 24.f, plates);
  // The coping: a flat lip of beams round the top, standing proud of both walls.
  const float c = (o + i) * 0.5f, lipW = o - i + 2.2f;
  addBeam(m, Vec3{-o - 1.1f, topY + 0.6f, c}, Vec3{o + 1.1f, topY + 0.6f, c}, kZ, lipW, 1.2f, uv);
  addBeam(m, Vec3{-o - 1.1f, topY + 0.6f, -c}, Vec3{o + 1.1f, topY + 0.6f, -c}, kZ, lipW, 1.2f, uv);
  addBeam(m, Vec3{c, topY + 0.6f, -i + 1.1f}, Vec3{c, topY + 0.6f, i - 1.1f}, kX, lipW, 1.2f, uv);
  addBeam(m, Vec3{-c, topY + 0.6f, -i + 1.1f}, Vec3{-c, topY + 0.6f, i - 1.1f}, kX, lipW, 1.2f, uv);
  // Ribs down the outer walls and a foot round the bottom.
  for (int k = 1; k < 8; ++k) {
    const float t = -o + 2.f * o * k / 8.f;
    addBeam(m, Vec3{t, foot, o + 0.8f}, Vec3{t, topY, o + 0.8f}, kX, 1.6f, 1.6f, uv);
    addBeam(m, Vec3{t, foot, -o - 0.8f}, Vec3{t, topY, -o - 0.8f}, kX, 1.6f, 1.6f, uv);
    addBeam(m, Vec3{o + 0.8f, foot, t}, Vec3{o + 0.8f, topY, t}, kZ, 1.6f, 1.6f, uv);
    addBeam(m, Vec3{-o - 0.8f, foot, t}, Vec3{-o - 0.8f, topY, t}, kZ, 1.6f, 1.6f, uv);
  }
  addBeam(m, Vec3{-o - 2.f, foot + 1.f, o + 1.f}, Vec3{o + 2.f, foot + 1.f, o + 1.f}, kZ, 2.f, 2.f, uv);
  addBeam(m, Vec3{-o - 2.f, foot + 1.f, -o - 1.f}, Vec3{o + 2.f, foot + 1.f, -o - 1.f}, kZ, 2.f, 2.f, uv);
  addBeam(m, Vec3{o + 1.f, foot + 1.f, -o}, Vec3{o + 1.f, foot + 1.f, o}, kX, 2.f, 2.f, uv);
  addBeam(m, Vec3{-o - 1.f, foot + 1.f, -o}, Vec3{-o - 1.f, foot + 1.f, o}, kX, 2.f, 2.f, uv);
  // Silos: a foot ring, the shell, a shoulder, a dome and a hatch on top.
  const SweepUv siloUv = repeatingEvery(24.f);
  const std::vector<std::pair<float, float>> silo = {
      {17.f, 0.f},  {17.f, 2.f},  {17.f, 2.f},  {15.f, 2.f},  {15.f, 2.f}, {15.f, 62.f}, {14.3f, 66.f},
      {12.f, 70.f}, {8.f, 73.5f}, {3.f, 74.8f}, {3.f, 74.8f}, {3.f, 77.f}, {3.f, 77.f},  {0.f, 77.f}};
  for (float x : {-92.f, 92.f})
    for (float z : {-100.f, 100.f}) {
      SweepUv u = siloUv;
      u.aroundEnd = 4.f; // about 24 units of shell per repeat round the 94-unit girth
      addLathe(m, Vec3{x, foot, z}, silo, 32, u);
      // A pipe from the silo's side over to the tank.
      const float sx = x > 0 ? x - 15.5f : x + 15.5f;
      const float tx = x > 0 ? o + 0.5f : -o - 0.5f;
      const float tz = z > 0 ? 22.f : -22.f;
      addTube(m,
              bentPath({Vec3{sx, 20.f, z}, Vec3{sx - (x > 0 ? 6.f : -6.f), 20.f, z},
                        Vec3{sx - (x > 0 ? 6.f : -6.f), -4.f, z}, Vec3{sx - (x > 0 ? 6.f : -6.f), -4.f, tz},
                        Vec3{tx, -4.f, tz}},
                       5.f),
              1.8f, 12, uv, true);
    }
  return m;
}

// 6: thick cables, hung from the box to the walls and the end wall, and
// laid along the floor from the tank's foot to the walls.
MeshData thickCables() {
  MeshData m;
  const SweepUv uv = repeatingEvery(12.f);
  const float r = 1.3f;
  struct Span {
    Vec3 a, b;
    float sag;
  };
  const Span spans[] = {
      {{kBoxHalfSide + 1.f, 47.f, -14.f}, {kHallHalfWidth - 1.f, 66.f, -44.f}, 16.f},
      {{kBoxHalfSide + 1.f, 47.f, 12.f}, {kHallHalfWidth - 1.f, 62.f, 40.f}, 10.f},
      {{-kBoxHalfSide - 1.f, 47.f, -8.f}, {-kHallHalfWidth + 1.f, 64.f, -30.f}, 18.f},
      {{-kBoxHalfSide - 1.f, 47.f, 18.f}, {-kHallHalfWidth + 1.f, 70.f, 60.f}, 22.f},
      {{8.f, 47.f, kBoxHalfSide + 1.f}, {30.f, 74.f, kHallNearZ - 1.f}, 26.f},
      {{-12.f, 47.f, -kBoxHalfSide - 1.f}, {-40.f, 66.f, -150.f}, 24.f},
  };
  for (const Span &s : spans)
    addTube(m, hangingCurve(s.a, s.b, s.sag, 28), r, 10, uv, true);
  // Floor runs: out of the tank's foot, along the floor, up the wall.
  const float y = kHallFloorY + r;
  const float o = kTankHalfSide + 2.5f;
  const std::vector<std::vector<Vec3>> runs = {
      {{o, y, 6.f}, {70.f, y, 6.f}, {70.f, y, 30.f}, {kHallHalfWidth - r, y, 30.f}, {kHallHalfWidth - r, 20.f, 30.f}},
      {{o, y, 9.f},
       {66.f, y, 9.f},
       {66.f, y, -36.f},
       {kHallHalfWidth - r, y, -36.f},
       {kHallHalfWidth - r, 26.f, -36.f}},
      {{-o, y, -4.f},
       {-60.f, y, -4.f},
       {-60.f, y, 54.f},
       {-kHallHalfWidth + r, y, 54.f},
       {-kHallHalfWidth + r, 18.f, 54.f}},
      {{-12.f, y, o}, {-12.f, y, 120.f}, {-40.f, y, 150.f}, {-40.f, y, kHallNearZ - r}, {-40.f, 30.f, kHallNearZ - r}},
  };
  for (const auto &run : runs)
    addTube(m, bentPath(run, 6.f), r, 10, uv, true);
  return m;
}

// 7: outer bars and screens. Masts and rails beside the pool carry screens
// facing the water; more screens hang on the side and end walls.
MeshData outerBarsAndScreens() {
  MeshData m;
  const int size = kScreenPictureSize;
  SweepUv bar;
  const UvRect band = cellUv(kScreenBarBand, size, size);
  bar.aroundStart = band.v0;
  bar.aroundEnd = band.v1;
  bar.lengthAlongU = true;
  bar.lengthPerRepeat = 16.f;
  // An L-shaped gantry of masts and rails on the far and left sides of the
  // pool; the near and right sides stay open for the cameras.
  const float ring = 58.f, mastTop = 40.f, railY = 32.f;
  for (const Vec3 &p : {Vec3{-ring, 0, ring}, Vec3{-ring, 0, 0}, Vec3{-ring, 0, -ring}, Vec3{ring, 0, -ring}})
    addBeam(m, Vec3{p.x, kHallFloorY, p.z}, Vec3{p.x, mastTop, p.z}, kX, 2.6f, 2.6f, bar);
  addBeam(m, Vec3{-ring, railY, -ring}, Vec3{-ring, railY, ring}, kX, 1.6f, 1.6f, bar);
  addBeam(m, Vec3{-ring, railY, -ring}, Vec3{ring, railY, -ring}, kY, 1.6f, 1.6f, bar);

  // A screen: a bezel box and, just in front of it, the picture of one cell.
  int screen = 0;
  auto addScreen = [&](const Vec3 &centre, const Vec3 &facing, float w, float h, float tilt) {
    const Vec3 right = unit(cross(kY, facing));
    Vec3 up = kY * std::cos(tilt) + facing * std::sin(tilt);
    const Vec3 front = unit(cross(right, up));
    up = cross(front, right);
    addBeam(m, centre - front * 1.2f, centre, up, h + 1.4f, w + 1.4f, bar);
    const UvRect cell = cellUv(kScreenCells[screen++ % 4], size, size);
    const Vec3 corner = centre + front * 0.05f - right * (w * 0.5f) + up * (h * 0.5f);
    addPanel(m, corner, right, up * -1.f, w, h, w, h, cell);
    // A bracket back to whatever holds it.
    addBeam(m, centre - front * 1.2f, centre - front * 3.5f + up * (h * 0.5f), right, 0.8f, 0.8f, bar);
  };
  const float sy = 22.f;
  for (float z : {-29.f, 29.f})
    addScreen(Vec3{-ring + 2.f, sy, z}, Vec3{1.f, 0.f, 0.f}, 20.f, 13.f, 0.18f);
  for (float x : {-29.f, 29.f})
    addScreen(Vec3{x, sy, -ring + 2.f}, Vec3{0.f, 0.f, 1.f}, 20.f, 13.f, 0.18f);
  for (float x : {-48.f, 48.f})
    addScreen(Vec3{x, 38.f, kHallNearZ - 3.5f}, Vec3{0.f, 0.f, -1.f}, 40.f, 26.f, 0.f);
  for (float z : {-98.f, 94.f}) {
    addScreen(Vec3{kHallHalfWidth - 3.5f, 34.f, z}, Vec3{-1.f, 0.f, 0.f}, 30.f, 19.f, 0.1f);
    addScreen(Vec3{-kHallHalfWidth + 3.5f, 34.f, z}, Vec3{1.f, 0.f, 0.f}, 30.f, 19.f, 0.1f);
  }
  return m;
}

// Camera paths: smooth curves through control points (Catmull-Rom, evenly
// spaced in time), or for Camera03 an arc round the pool.
struct PathPoint {
  float time;
  Vec3 eye, target;
};

const PathPoint kCamera01Path[] = {
    {0.f, {-45.f, 24.f, 160.f}, {0.f, 2.f, 20.f}},     {1.f, {-30.f, 18.f, 102.f}, {2.f, -2.f, -5.f}},
    {2.f, {-13.f, 17.f, 52.f}, {8.f, 2.f, -40.f}},     {3.f, {3.f, 7.5f, 10.f}, {12.f, -4.f, -90.f}},
    {4.f, {13.f, 6.5f, -18.f}, {0.f, -12.f, -150.f}},  {5.f, {20.f, 8.f, -28.f}, {-18.f, 10.f, -210.f}},
    {6.f, {24.f, 12.f, -36.f}, {-24.f, 28.f, -230.f}},
};
const PathPoint kCamera02Path[] = {
    {0.f, {-95.f, 40.f, -125.f}, {0.f, 10.f, 0.f}},
    {3.f, {-80.f, 34.f, -140.f}, {0.f, 14.f, 0.f}},
    {6.f, {-60.f, 30.f, -150.f}, {0.f, 18.f, 0.f}},
};
const PathPoint kCamera05Path[] = {
    {0.f, {70.f, 86.f, 150.f}, {0.f, 42.f, 0.f}},        {1.f, {46.f, 76.f, 92.f}, {0.f, 30.f, 0.f}},
    {2.f, {36.f, 60.f, 52.f}, {0.f, 10.f, -10.f}},       {3.f, {13.f, 25.f, 31.f}, {0.f, 0.f, -40.f}},
    {4.f, {-2.f, 11.f, -8.f}, {-10.f, -14.f, -110.f}},   {5.f, {-8.f, 18.f, -70.f}, {-18.f, 8.f, -200.f}},
    {6.f, {-14.f, 21.f, -118.f}, {-22.f, 28.f, -270.f}},
};

template <size_t N> void evaluatePath(const PathPoint (&path)[N], float t, Vec3 &eye, Vec3 &target) {
  size_t i = 0;
  while (i + 2 < N && t > path[i + 1].time)
    ++i;
  const PathPoint &p1 = path[i], &p2 = path[i + 1];
  const PathPoint &p0 = path[i == 0 ? 0 : i - 1], &p3 = path[i + 2 < N ? i + 2 : N - 1];
  const float f = std::clamp((t - p1.time) / (p2.time - p1.time), 0.f, 1.f);
  auto spline = [f](const Vec3 &a, const Vec3 &b, const Vec3 &c, const Vec3 &d) {
    const float f2 = f * f, f3 = f2 * f;
    return (b * 2.f + (c - a) * f + (a * 2.f - b * 5.f + c * 4.f - d) * f2 + (b * 3.f - a - c * 3.f + d) * f3) * 0.5f;
  };
  eye = spline(p0.eye, p1.eye, p2.eye, p3.eye);
  target = spline(p0.target, p1.target, p2.target, p3.target);
}

void cameraAt(int camera, float t, Vec3 &eye, Vec3 &target) {
  switch (camera) {
  case 0:
    evaluatePath(kCamera01Path, t, eye, target);
    return;
  case 1:
    evaluatePath(kCamera02Path, t, eye, target);
    return;
  case 2: {
    // An arc round the pool outside the ring of screen masts, sinking as it goes,
    // with the eye on the hung box and then on the water.
    const float angle = 0.45f + 0.3f * t;
    const float radius = 92.f - 2.f * t;
    eye = Vec3{radius * std::sin(angle), 42.f - 3.f * t, radius * std::cos(angle)};
    target = Vec3{-6.f * std::sin(angle), 24.f - 4.f * t, -6.f * std::cos(angle)};
    return;
  }
  default:
    evaluatePath(kCamera05Path, t, eye, target);
    return;
  }
}

} // namespace

Vec3 waterCameraEye(int camera, float seconds) {
  Vec3 eye, target;
  cameraAt(camera, seconds, eye, target);
  return eye;
}

Vec3 waterCameraTarget(int camera, float seconds) {
  Vec3 eye, target;
  cameraAt(camera, seconds, eye, target);
  return target;
}

std::vector<MeshData> buildWaterRoom() {
  std::vector<MeshData> meshes;
  meshes.push_back(outermostBars());
  meshes.push_back(secondBars());
  meshes.push_back(cablesRoundBox());
  meshes.push_back(lowerBars());
  meshes.push_back(ceilingBox());
  meshes.push_back(tank());
  meshes.push_back(thickCables());
  meshes.push_back(outerBarsAndScreens());
  return meshes;
}

namespace {

std::unique_ptr<Material> roomMaterial(const std::string &texture, float shade, float gloss) {
  auto material = std::make_unique<Material>();
  material->ambient = {shade * 0.4f, shade * 0.4f, shade * 0.45f, 1.f};
  material->diffuse = {shade, shade, shade * 1.05f, 1.f};
  material->specular = {0.9f, 0.9f, 0.9f, 1.f};
  material->glossiness = gloss;
  material->specularLevel = gloss * 0.5f;
  material->textureNames[0] = "data/" + texture;
  return material;
}

// A node holding still at the start of the path, with position keys every
// kWaterKeyStep seconds from 0 to kWaterKeyEnd.
void addPathKeys(SceneNode &node, int camera, bool target) {
  std::vector<NodeKey> keys;
  const int steps = static_cast<int>(std::lround(kWaterKeyEnd / kWaterKeyStep));
  for (int k = 0; k <= steps; ++k) {
    const float t = k * kWaterKeyStep;
    NodeKey key;
    key.time = static_cast<int32_t>(std::lround(t * 3000.f));
    key.position = target ? waterCameraTarget(camera, t) : waterCameraEye(camera, t);
    keys.push_back(key);
  }
  NodeKey rest;
  rest.position = keys.front().position;
  node.setRestTransform(rest);
  node.setPositionKeys(std::move(keys));
}

} // namespace

std::unique_ptr<Scene> buildWaterScene() {
  auto scene = std::make_unique<Scene>();
  std::vector<MeshData> meshes = buildWaterRoom();
  const float shades[8] = {0.6f, 0.7f, 0.8f, 0.9f, 0.6f, 0.7f, 0.3f, 0.8f};
  const float gloss[8] = {0.3f, 0.25f, 0.4f, 0.5f, 0.1f, 0.35f, 0.2f, 0.6f};
  for (int i = 0; i < 8; ++i) {
    scene->addChild(toMeshNode(meshes[static_cast<size_t>(i)], kWaterMeshes[i].node, i));
    scene->addMaterial(roomMaterial(kWaterMeshes[i].texture, shades[i], gloss[i]));
  }
  const float fov[4] = {50.f, 50.f, 46.f, 58.f};
  for (int c = 0; c < 4; ++c) {
    auto camera = std::make_unique<CameraNode>();
    camera->name = kWaterCameras[c];
    camera->fov = fov[c];
    camera->targetName = kWaterCameraTargets[c];
    addPathKeys(*camera, c, false);
    scene->addChild(std::move(camera));
    auto target = std::make_unique<SceneNode>();
    target->name = kWaterCameraTargets[c];
    addPathKeys(*target, c, true);
    scene->addChild(std::move(target));
  }
  return scene;
}

} // namespace demo::bake
