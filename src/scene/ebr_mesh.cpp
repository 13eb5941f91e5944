#include "scene/ebr_mesh.h"

#include <cstdio>
#include <limits>
#include <utility>

#include "base/data_path.h"
#include "base/message.h"
#include "base/byte_reader.h"
#include "draw/draw.h"

namespace demo {

namespace {

// Sizes in the file.
constexpr size_t kPartHeaderBytes = 12;  // V, T, L
constexpr size_t kVertexBytes = 20;      // x, y, z, u, v
constexpr size_t kTriangleBytes = 12;    // three indices
constexpr size_t kMaxNameBytes = 100;

constexpr size_t kMaxCount = static_cast<size_t>(std::numeric_limits<int32_t>::max());

// One part's triangles, through its three arrays.
void drawPart(const EbrPart &part) {
  draw::IndexedArrays arrays;
  arrays.primitive = draw::Primitive::Triangles;
  arrays.positions = reinterpret_cast<const float *>(part.positions.data());
  arrays.normals = reinterpret_cast<const float *>(part.normals.data());
  arrays.texCoords = part.texCoords.data();
  arrays.indices = part.indices.data();
  arrays.count = 3 * part.triangleCount;
  draw::drawIndexed(arrays);
}

// cross(b - a, c - a), the same arithmetic as cross() in math.h, written out
// here so the per-frame loop keeps it in registers: through the out-of-line
// call every edge went to the stack and was read back in a different width,
// which stalled on store forwarding and made the loop about twice as slow.
inline Vec3 faceNormal(const Vec3 &a, const Vec3 &b, const Vec3 &c) {
  const float e1x = b.x - a.x, e1y = b.y - a.y, e1z = b.z - a.z;
  const float e2x = c.x - a.x, e2y = c.y - a.y, e2z = c.z - a.z;
  return Vec3{e1y * e2z - e1z * e2y, e1z * e2x - e1x * e2z, e1x * e2y - e1y * e2x};
}

bool indicesBelow(const std::vector<uint32_t> &indices, size_t vertexCount) {
  for (uint32_t i : indices)
    if (i >= vertexCount)
      return false;
  return true;
}

// One part record; null when the record is cut short or does not add up.
std::unique_ptr<EbrPart> readPart(ByteReader &in) {
  const int32_t v = in.i32();
  const int32_t t = in.i32();
  const int32_t l = in.i32();
  if (!in.ok() || v < 0 || t < 0 || !in.fits(l, 1))
    return nullptr;
  std::string name(static_cast<size_t>(l), '\0');
  in.bytes(name.data(), name.size());
  // The vertex and triangle records must both be there before either array
  // is allocated (V and T are below 2^31, so the sum cannot overflow).
  const int64_t bodyBytes = static_cast<int64_t>(v) * static_cast<int64_t>(kVertexBytes) +
                            static_cast<int64_t>(t) * static_cast<int64_t>(kTriangleBytes);
  if (!in.fits(bodyBytes, 1))
    return nullptr;

  auto part = std::make_unique<EbrPart>(v, t, std::move(name));
  for (int32_t i = 0; i < v; ++i) {
    Vec3 &p = part->positions[static_cast<size_t>(i)];
    p.x = in.f32();
    p.y = in.f32();
    p.z = in.f32();
    part->texCoords[2 * static_cast<size_t>(i)] = in.f32();
    part->texCoords[2 * static_cast<size_t>(i) + 1] = 1.f - in.f32();
  }
  // Read as unsigned: a negative index becomes >= 2^31, above any V.
  for (uint32_t &index : part->indices)
    index = in.u32();
  if (!in.ok() || !indicesBelow(part->indices, static_cast<size_t>(v)))
    return nullptr;
  part->recomputeNormals();
  return part;
}

// Whether a part's arrays and counts describe a valid record.
bool validPart(const EbrPart &part) {
  const size_t v = part.positions.size();
  return part.vertexCount >= 0 && part.triangleCount >= 0 && static_cast<size_t>(part.vertexCount) == v &&
         part.normals.size() == v && part.texCoords.size() == 2 * v &&
         part.indices.size() == 3 * static_cast<size_t>(part.triangleCount) && part.name.size() <= kMaxNameBytes &&
         indicesBelow(part.indices, v);
}

} // namespace

// ---- EbrPart ----------------------------------------------------------------

EbrPart::EbrPart(int32_t vertices, int32_t triangles, std::string partName)
    : name(std::move(partName)), vertexCount(vertices < 0 ? 0 : vertices),
      triangleCount(triangles < 0 ? 0 : triangles), positions(static_cast<size_t>(vertexCount), Vec3{0.f, 0.f, 0.f}),
      normals(static_cast<size_t>(vertexCount), Vec3{0.f, 0.f, 0.f}), texCoords(2 * static_cast<size_t>(vertexCount), 0.f),
      indices(3 * static_cast<size_t>(triangleCount), 0u) {}

void EbrPart::draw() const { drawPart(*this); }

void EbrPart::recomputeNormals() {
  for (Vec3 &n : normals)
    n = Vec3{0.f, 0.f, 0.f};
  // Each face adds cross(b - a, c - a) to its three corners: the cross
  // product's length is twice the triangle's area, so a vertex's normal leans
  // towards its larger neighbours, and its direction follows the winding
  // (counter-clockwise seen from the front points at the viewer).
  const size_t count = indices.size() - indices.size() % 3;
  for (size_t i = 0; i < count; i += 3) {
    const uint32_t a = indices[i], b = indices[i + 1], c = indices[i + 2];
    const Vec3 n = faceNormal(positions[a], positions[b], positions[c]);
    for (uint32_t corner : {a, b, c}) {
      normals[corner].x += n.x;
      normals[corner].y += n.y;
      normals[corner].z += n.z;
    }
  }
  // Each component times 1 / length; a zero sum (a vertex no triangle uses)
  // stays (0, 0, 0) instead of becoming NaN.
  for (Vec3 &n : normals)
    normalize(n);
}

// ---- EbrMesh ----------------------------------------------------------------

EbrMesh::EbrMesh(const std::string &path) {
  std::vector<uint8_t> bytes;
  const std::string file = resolveDataPath(path.c_str());
  if (!readWholeFile(file, bytes)) {
    showMessage("Error: .ebr file not found", file.c_str());
    return;
  }
  ByteReader in(bytes);
  const int32_t p = in.i32();
  std::vector<std::unique_ptr<EbrPart>> read;
  // Every part record needs at least its 12-byte header.
  bool ok = in.ok() && in.fits(p, kPartHeaderBytes);
  if (ok) {
    read.reserve(static_cast<size_t>(p));
    for (int32_t i = 0; i < p && ok; ++i) {
      read.push_back(readPart(in));
      ok = read.back() != nullptr;
    }
  }
  if (!ok) {
    std::fprintf(stderr, "%s: corrupt or truncated file\n", file.c_str());
    std::fflush(stderr);
    return;
  }
  parts = std::move(read);
  partCount = p;
}

void EbrMesh::draw() const {
  if (parts.empty())
    return;
  for (const auto &part : parts)
    drawPart(*part);
}

void EbrMesh::recomputeNormals() {
  for (auto &part : parts)
    part->recomputeNormals();
}

bool EbrMesh::addPart(std::string partName, std::vector<Vec3> positions, std::vector<float> texCoords,
                      std::vector<uint32_t> indices) {
  const size_t v = positions.size();
  if (v > kMaxCount || texCoords.size() != 2 * v || indices.size() % 3 != 0 || indices.size() / 3 > kMaxCount ||
      partName.size() > kMaxNameBytes || parts.size() >= kMaxCount || !indicesBelow(indices, v))
    return false;
  auto part = std::make_unique<EbrPart>(static_cast<int32_t>(v), static_cast<int32_t>(indices.size() / 3),
                                        std::move(partName));
  // Moved in whole: the sizes are already the final ones.
  part->positions = std::move(positions);
  part->texCoords = std::move(texCoords);
  part->indices = std::move(indices);
  part->recomputeNormals();
  parts.push_back(std::move(part));
  partCount = static_cast<int32_t>(parts.size());
  return true;
}

// ---- writing ----------------------------------------------------------------

std::vector<uint8_t> writeEbr(const EbrMesh &mesh) {
  if (mesh.partCount < 0 || static_cast<size_t>(mesh.partCount) != mesh.parts.size())
    return {};
  for (const auto &part : mesh.parts)
    if (!part || !validPart(*part))
      return {};

  ByteWriter out;
  out.i32(mesh.partCount);
  for (const auto &part : mesh.parts) {
    out.i32(part->vertexCount);
    out.i32(part->triangleCount);
    out.i32(static_cast<int32_t>(part->name.size()));
    out.raw(part->name.data(), part->name.size());
    for (size_t i = 0; i < part->positions.size(); ++i) {
      out.f32(part->positions[i].x);
      out.f32(part->positions[i].y);
      out.f32(part->positions[i].z);
      out.f32(part->texCoords[2 * i]);
      out.f32(1.f - part->texCoords[2 * i + 1]);
    }
    for (uint32_t index : part->indices)
      out.u32(index);
  }
  return std::move(out.bytes());
}

bool saveEbr(const EbrMesh &mesh, const std::string &path) {
  const std::vector<uint8_t> bytes = writeEbr(mesh);
  const char *problem = nullptr;
  if (bytes.empty())
    problem = "mesh arrays do not form a valid EBR file (counts, sizes, indices or a name over 100 bytes); "
              "nothing written";
  else if (!writeWholeFile(path, bytes))
    problem = "cannot write";
  if (problem) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), problem);
    std::fflush(stderr);
    return false;
  }
  return true;
}

} // namespace demo
