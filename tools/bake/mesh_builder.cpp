#include "bake/mesh_builder.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include "bake/bake_math.h"
#include "scene/ebr_mesh.h"
#include "scene/scene.h"

namespace demo::bake {

namespace {


Vec3 transformPoint(const Matrix4 &m, const Vec3 &p) {
  return Vec3{m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12], m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
              m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]};
}

Vec3 transformDirection(const Matrix4 &m, const Vec3 &d) {
  Vec3 r{m[0] * d.x + m[4] * d.y + m[8] * d.z, m[1] * d.x + m[5] * d.y + m[9] * d.z,
         m[2] * d.x + m[6] * d.y + m[10] * d.z};
  normalize(r);
  return r;
}

// Visits every cell of a lattice of (rows + 1) x (columns + 1) vertices
// numbered row by row: f(row, a, b, c, d) with a, b neighbours along a row
// and c, d the two below them on the next row.
template <class F> void forEachCell(int rows, int columns, F f) {
  for (int r = 0; r < rows; ++r)
    for (int s = 0; s < columns; ++s) {
      uint32_t a = static_cast<uint32_t>(r * (columns + 1) + s), b = a + 1;
      uint32_t c = a + static_cast<uint32_t>(columns + 1), d = c + 1;
      f(r, a, b, c, d);
    }
}
} // namespace

uint32_t MeshData::addVertex(const Vec3 &p, const Vec3 &n, float u, float v) {
  positions.push_back(p);
  normals.push_back(n);
  uvs.push_back(u);
  uvs.push_back(v);
  return static_cast<uint32_t>(positions.size() - 1);
}

void MeshData::addTriangle(uint32_t a, uint32_t b, uint32_t c) {
  indices.push_back(a);
  indices.push_back(b);
  indices.push_back(c);
}

void MeshData::addQuad(uint32_t a, uint32_t b, uint32_t c, uint32_t d, bool reversed) {
  if (reversed) {
    addTriangle(a, d, c);
    addTriangle(a, c, b);
  } else {
    addTriangle(a, b, c);
    addTriangle(a, c, d);
  }
}

void MeshData::append(const MeshData &other, const Matrix4 &m) {
  const uint32_t base = static_cast<uint32_t>(positions.size());
  for (size_t i = 0; i < other.positions.size(); ++i) {
    positions.push_back(transformPoint(m, other.positions[i]));
    normals.push_back(transformDirection(m, other.normals[i]));
  }
  uvs.insert(uvs.end(), other.uvs.begin(), other.uvs.end());
  for (uint32_t index : other.indices)
    indices.push_back(base + index);
}

void MeshData::computeNormals() {
  std::vector<Vec3> sum(positions.size(), Vec3{0.f, 0.f, 0.f});
  for (size_t t = 0; t + 2 < indices.size(); t += 3) {
    uint32_t a = indices[t], b = indices[t + 1], c = indices[t + 2];
    Vec3 n = cross(positions[b] - positions[a], positions[c] - positions[a]);
    sum[a] = sum[a] + n;
    sum[b] = sum[b] + n;
    sum[c] = sum[c] + n;
  }
  for (Vec3 &n : sum)
    normalize(n);
  normals = sum;
}

void MeshData::transform(const Matrix4 &m) {
  for (Vec3 &p : positions)
    p = transformPoint(m, p);
  for (Vec3 &n : normals)
    n = transformDirection(m, n);
}

void MeshData::bounds(Vec3 &min, Vec3 &max) const {
  min = max = positions.empty() ? Vec3{0.f, 0.f, 0.f} : positions[0];
  for (const Vec3 &p : positions) {
    min = Vec3{std::min(min.x, p.x), std::min(min.y, p.y), std::min(min.z, p.z)};
    max = Vec3{std::max(max.x, p.x), std::max(max.y, p.y), std::max(max.z, p.z)};
  }
}

namespace {
MeshData box(const Vec3 &size, float uvScale, bool inward) {
  MeshData mesh;
  const float hx = size.x * 0.5f, hy = size.y * 0.5f, hz = size.z * 0.5f;
  // Each face: normal, and the two axes u (right) and v (down) seen from outside.
  struct Face {
    Vec3 n, u, v;
  };
  const Face faces[6] = {
      {{0, 0, 1}, {1, 0, 0}, {0, -1, 0}},  {{0, 0, -1}, {-1, 0, 0}, {0, -1, 0}},
      {{1, 0, 0}, {0, 0, -1}, {0, -1, 0}}, {{-1, 0, 0}, {0, 0, 1}, {0, -1, 0}},
      {{0, 1, 0}, {1, 0, 0}, {0, 0, 1}},   {{0, -1, 0}, {1, 0, 0}, {0, 0, -1}},
  };
  for (const Face &f : faces) {
    Vec3 centre{f.n.x * hx, f.n.y * hy, f.n.z * hz};
    Vec3 du{f.u.x * hx, f.u.y * hy, f.u.z * hz}, dv{f.v.x * hx, f.v.y * hy, f.v.z * hz};
    Vec3 normal = inward ? f.n * -1.f : f.n;
    uint32_t i0 = mesh.addVertex((centre - du) + dv * -1.f, normal, 0.f, 0.f);
    uint32_t i1 = mesh.addVertex((centre + du) + dv * -1.f, normal, uvScale, 0.f);
    uint32_t i2 = mesh.addVertex((centre + du) + dv, normal, uvScale, uvScale);
    uint32_t i3 = mesh.addVertex((centre - du) + dv, normal, 0.f, uvScale);
    // Seen from outside, top-left, top-right, bottom-right, bottom-left is
    // clockwise; the counter-clockwise order is i0, i3, i2 / i0, i2, i1.
    mesh.addQuad(i0, i1, i2, i3, !inward);
  }
  return mesh;
}
} // namespace

MeshData makeBox(const Vec3 &size, float uvScale) { return box(size, uvScale, false); }
MeshData makeRoom(const Vec3 &size, float uvScale) { return box(size, uvScale, true); }

MeshData makeCylinder(float radius, float length, int segments, int rings, bool inward, float uRepeat, float vRepeat,
                      bool caps) {
  MeshData mesh;
  for (int r = 0; r <= rings; ++r) {
    float y = length * static_cast<float>(r) / rings;
    for (int s = 0; s <= segments; ++s) {
      float a = 2.f * kPi * static_cast<float>(s) / segments;
      Vec3 n{std::cos(a), 0.f, std::sin(a)};
      mesh.addVertex(Vec3{radius * n.x, y, radius * n.z}, inward ? n * -1.f : n,
                     uRepeat * static_cast<float>(s) / segments, vRepeat * static_cast<float>(r) / rings);
    }
  }
  forEachCell(rings, segments, [&](int, uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    // With the angle running from +x towards +z, (a, c, b) faces outwards.
    if (inward) {
      mesh.addTriangle(a, b, c);
      mesh.addTriangle(b, d, c);
    } else {
      mesh.addTriangle(a, c, b);
      mesh.addTriangle(b, c, d);
    }
  });
  if (caps) {
    for (int end = 0; end < 2; ++end) {
      float y = end == 0 ? 0.f : length;
      Vec3 n{0.f, end == 0 ? -1.f : 1.f, 0.f};
      uint32_t centre = mesh.addVertex(Vec3{0.f, y, 0.f}, n, 0.5f, 0.5f);
      uint32_t first = static_cast<uint32_t>(mesh.vertexCount());
      for (int s = 0; s <= segments; ++s) {
        float a = 2.f * kPi * static_cast<float>(s) / segments;
        mesh.addVertex(Vec3{radius * std::cos(a), y, radius * std::sin(a)}, n, 0.5f + 0.5f * std::cos(a),
                       0.5f + 0.5f * std::sin(a));
      }
      for (int s = 0; s < segments; ++s) {
        uint32_t p = first + static_cast<uint32_t>(s), q = p + 1;
        if (end == 0)
          mesh.addTriangle(centre, p, q);
        else
          mesh.addTriangle(centre, q, p);
      }
    }
  }
  return mesh;
}

MeshData makeSphere(float radius, int segments, int rings) {
  MeshData mesh;
  for (int r = 0; r <= rings; ++r) {
    float phi = kPi * static_cast<float>(r) / rings;
    for (int s = 0; s <= segments; ++s) {
      float theta = 2.f * kPi * static_cast<float>(s) / segments;
      Vec3 n{std::sin(phi) * std::cos(theta), std::cos(phi), std::sin(phi) * std::sin(theta)};
      mesh.addVertex(n * radius, n, static_cast<float>(s) / segments, static_cast<float>(r) / rings);
    }
  }
  forEachCell(rings, segments, [&](int r, uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    if (r != 0)
      mesh.addTriangle(a, b, c);
    if (r != rings - 1)
      mesh.addTriangle(b, d, c);
  });
  return mesh;
}

MeshData makeIcosphere(float radius, int subdivisions) {
  const float t = (1.f + std::sqrt(5.f)) * 0.5f;
  std::vector<Vec3> points = {{-1, t, 0}, {1, t, 0}, {-1, -t, 0}, {1, -t, 0}, {0, -1, t}, {0, 1, t},
                              {0, -1, -t}, {0, 1, -t}, {t, 0, -1}, {t, 0, 1}, {-t, 0, -1}, {-t, 0, 1}};
  std::vector<uint32_t> tris = {0, 11, 5, 0, 5, 1, 0, 1, 7, 0, 7, 10, 0, 10, 11, 1, 5, 9, 5, 11, 4, 11, 10, 2, 10, 7, 6, 7, 1, 8,
                                3, 9, 4, 3, 4, 2, 3, 2, 6, 3, 6, 8, 3, 8, 9, 4, 9, 5, 2, 4, 11, 6, 2, 10, 8, 6, 7, 9, 8, 1};
  for (Vec3 &p : points)
    normalize(p);
  for (int level = 0; level < subdivisions; ++level) {
    std::map<std::pair<uint32_t, uint32_t>, uint32_t> middles;
    auto middle = [&](uint32_t a, uint32_t b) {
      auto key = std::make_pair(std::min(a, b), std::max(a, b));
      auto it = middles.find(key);
      if (it != middles.end())
        return it->second;
      Vec3 m = (points[a] + points[b]) * 0.5f;
      normalize(m);
      points.push_back(m);
      uint32_t index = static_cast<uint32_t>(points.size() - 1);
      middles[key] = index;
      return index;
    };
    std::vector<uint32_t> next;
    for (size_t i = 0; i < tris.size(); i += 3) {
      uint32_t a = tris[i], b = tris[i + 1], c = tris[i + 2];
      uint32_t ab = middle(a, b), bc = middle(b, c), ca = middle(c, a);
      next.insert(next.end(), {a, ab, ca, b, bc, ab, c, ca, bc, ab, bc, ca});
    }
    tris.swap(next);
  }
  MeshData mesh;
  for (const Vec3 &n : points) {
    float u = 0.5f + std::atan2(n.z, n.x) / (2.f * kPi);
    float v = std::acos(std::clamp(n.y, -1.f, 1.f)) / kPi;
    mesh.addVertex(n * radius, n, u, v);
  }
  mesh.indices = tris;
  return mesh;
}

MeshData makeTorus(float majorRadius, float minorRadius, int segments, int sides) {
  MeshData mesh;
  for (int s = 0; s <= segments; ++s) {
    float a = 2.f * kPi * static_cast<float>(s) / segments;
    Vec3 centre{majorRadius * std::cos(a), majorRadius * std::sin(a), 0.f};
    for (int k = 0; k <= sides; ++k) {
      float b = 2.f * kPi * static_cast<float>(k) / sides;
      Vec3 n{std::cos(b) * std::cos(a), std::cos(b) * std::sin(a), std::sin(b)};
      mesh.addVertex(centre + n * minorRadius, n, static_cast<float>(s) / segments,
                     static_cast<float>(k) / sides);
    }
  }
  forEachCell(segments, sides, [&](int, uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    mesh.addTriangle(a, c, b);
    mesh.addTriangle(b, c, d);
  });
  return mesh;
}

MeshData makeGrid(float width, float height, int columns, int rows) {
  MeshData mesh;
  for (int r = 0; r <= rows; ++r)
    for (int c = 0; c <= columns; ++c) {
      float u = static_cast<float>(c) / columns, v = static_cast<float>(r) / rows;
      mesh.addVertex(Vec3{(u - 0.5f) * width, (0.5f - v) * height, 0.f}, Vec3{0.f, 0.f, 1.f}, u, v);
    }
  forEachCell(rows, columns, [&](int, uint32_t a, uint32_t b, uint32_t c, uint32_t d) { mesh.addQuad(a, c, d, b); });
  return mesh;
}

std::unique_ptr<MeshNode> toMeshNode(const MeshData &mesh, const std::string &name, int32_t materialIndex) {
  auto node = std::make_unique<MeshNode>();
  node->name = name;
  node->resizeVertices(static_cast<int32_t>(mesh.vertexCount()));
  node->positions = mesh.positions;
  node->normals = mesh.normals;
  node->texCoords = mesh.uvs;
  node->texCoords1 = mesh.uvs;
  Submesh submesh;
  submesh.materialIndex = materialIndex;
  submesh.setIndices(mesh.indices);
  node->addSubmesh(std::move(submesh));
  return node;
}

bool addToEbr(EbrMesh &ebr, const MeshData &mesh, const std::string &partName) {
  return ebr.addPart(partName, mesh.positions, mesh.uvs, mesh.indices);
}

Matrix4 place(const Vec3 &at, const Vec3 &axis, float angle, const Vec3 &scale) {
  // A rotation about `axis` by `angle` (counter-clockwise, right-handed). The
  // show's quaternion matrix turns the opposite way, so the quaternion of
  // -angle gives the textbook rotation.
  Vec3 a = axis;
  normalize(a);
  float s = std::sin(-angle * 0.5f);
  Quat q{a.x * s, a.y * s, a.z * s, std::cos(-angle * 0.5f)};
  return multiply(multiply(translation(at), quatToMatrix(q)), scaling(scale));
}

} // namespace demo::bake
