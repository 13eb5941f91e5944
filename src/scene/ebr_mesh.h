// ebr_mesh.h - static triangle meshes in the show's EBR format: reading them,
// computing their normals, drawing them with client-side vertex arrays, and
// writing them (for the data baker).
//
// An EBR file is little-endian with no magic, version or padding:
//   int32 P (number of parts), then P part records, each:
//     int32 V (vertices), int32 T (triangles), int32 L (name length, 0..100),
//     L name bytes (no terminator),
//     V vertex records: float x, y, z, u, v,
//     T triangles: three int32 vertex indices each, 0..V-1.
// Normals are not stored; they are computed from the triangles on load.
//
// Use:
//   EbrMesh tunnel("data/tunnel.ebr");   // loads at once
//   ...bind a texture, set matrices...
//   tunnel.draw();
//   // deforming: write positions in place, then
//   tunnel.recomputeNormals();
//
// Loading reads the whole file into memory and checks every count, name
// length and index against the bytes really there before allocating:
// - a file that cannot be opened shows "Error: .ebr file not found" with the
//   path (as given) as caption, and the mesh has zero parts;
// - a negative count, a count larger than what the remaining bytes can hold,
//   a truncated record or an index outside [0, V) prints
//   "<path>: corrupt or truncated file" on stderr and the mesh has zero parts
//   (never a partial mesh).
// The format allows names of 0 to 100 bytes; a longer name that is really in
// the file is read (and, like every name, otherwise unused). Bytes after the
// last part are ignored. Paths go through resolveDataPath ("data/...").
//
// In memory each part keeps texture coordinates as GL uses them, (u, 1 - v);
// the writer stores 1 - t back. A mesh that was loaded writes out and reads
// back with identical arrays. A file's v comes back bit for bit where 1 - v is
// exact in float (every v in [0.5, 1], every multiple of 2^-24 in [0, 1]);
// other values come back within half a float step of 1 (at most 2^-25 for v
// in [0, 1]) and are stable from then on.
//
// All arrays are sized once, when a part is made, and never reallocated:
// scenes hold on to them, overwrite positions in place and call
// recomputeNormals every frame, which allocates nothing. The counts equal the
// array sizes; nothing but positions (and normals, through recomputeNormals)
// is meant to change after a part is made.
//
// The draw calls need the window's drawing context current (and, with the
// classic backend, no buffer object bound to the array or element array
// targets; the show binds none). Each is one draw::drawIndexed of the part's
// positions, normals and texture coordinates (unit 0); the classic backend
// leaves all three client arrays disabled and their pointers aimed at the
// last part drawn. Nothing else is touched:
// matrices, textures, colour, blending and lighting are the caller's.
//
// What it does not do: keep the file, free anything early (meshes live as
// long as the show), or check indices again after loading.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/math.h"

namespace demo {

class EbrPart {
public:
  // A part of vertexCount vertices and triangleCount triangles, every array
  // zero-filled at its final size. Negative counts count as 0.
  EbrPart(int32_t vertexCount, int32_t triangleCount, std::string name = std::string());

  // The part's triangles: one draw::drawIndexed of 3 x triangleCount 32-bit
  // indices over its positions, normals and texture coordinates.
  void draw() const;

  // Sets every normal to the normalised sum of the face normals
  // cross(b - a, c - a) of the triangles that use it. The face normals are not
  // normalised first, so larger triangles weigh more; a counter-clockwise
  // triangle's normal points towards the viewer. A vertex that no triangle
  // uses (or whose sums cancel) keeps the normal (0, 0, 0). Allocates nothing.
  void recomputeNormals();

  std::string name;  // read and kept for the writer; nothing else uses it
  int32_t vertexCount;
  int32_t triangleCount;
  std::vector<Vec3> positions;     // vertexCount
  std::vector<Vec3> normals;       // vertexCount
  std::vector<float> texCoords;    // 2 * vertexCount: (u, 1 - v) pairs
  std::vector<uint32_t> indices;   // 3 * triangleCount: consecutive triples
};

class EbrMesh {
public:
  // A mesh with no parts, to be filled with addPart (the data baker).
  EbrMesh() = default;
  // Loads the file; see the top of this header for what goes wrong how.
  explicit EbrMesh(const std::string &path);

  EbrMesh(const EbrMesh &) = delete;
  EbrMesh &operator=(const EbrMesh &) = delete;
  EbrMesh(EbrMesh &&) = default;
  EbrMesh &operator=(EbrMesh &&) = default;

  // Every part in order, enabling the three client arrays once before the
  // first and disabling them once after the last. A mesh with no parts makes
  // no GL call at all.
  void draw() const;

  // recomputeNormals of every part, in order. Allocates nothing.
  void recomputeNormals();

  // Appends a part built from arrays (texCoords as held in memory: (u, 1 - v)
  // pairs) and computes its normals. False, and the mesh unchanged, when the
  // arrays do not make a part: texCoords not 2 per vertex, indices not whole
  // triples, an index outside [0, vertex count), a count over 2^31 - 1, or a
  // name longer than 100 bytes.
  bool addPart(std::string partName, std::vector<Vec3> positions, std::vector<float> texCoords,
               std::vector<uint32_t> indices);

  int32_t partCount = 0;
  std::vector<std::unique_ptr<EbrPart>> parts;  // partCount parts, file order
};

// The mesh in EBR layout. Empty (a valid file is at least 4 bytes) when the
// mesh does not describe a valid file: partCount differs from the number of
// parts, a part's array sizes differ from its counts, an index is outside
// [0, vertexCount), or a name is longer than 100 bytes.
std::vector<uint8_t> writeEbr(const EbrMesh &mesh);

// writeEbr to a file. False, with "<path>: <reason>" on stderr, when the mesh
// is not valid (nothing is written then) or the file cannot be written.
bool saveEbr(const EbrMesh &mesh, const std::string &path);

} // namespace demo
