// mesh_builder.h - triangle meshes for the baker: primitives, transforms,
// normals, and conversion into the show's two mesh forms (a GSP MeshNode and
// an EBR part).
//
// MeshData keeps positions, normals, texture coordinates as the show draws
// them (t = 0 is the top row of the picture, the way the loaders upload) and
// counter-clockwise triangles (seen from outside). Builders make flat-shaded
// boxes (a vertex per face corner) and smooth curved shapes; append() merges
// meshes under a transform.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/math.h"

namespace demo {
class MeshNode;
class EbrMesh;
}

namespace demo::bake {

struct MeshData {
  std::vector<Vec3> positions;
  std::vector<Vec3> normals;
  std::vector<float> uvs; // u, v per vertex, as drawn
  std::vector<uint32_t> indices;

  size_t vertexCount() const { return positions.size(); }
  uint32_t addVertex(const Vec3 &p, const Vec3 &n, float u, float v);
  void addTriangle(uint32_t a, uint32_t b, uint32_t c);
  // The quad a-b-c-d (in order round its edge) as the triangles a-b-c and
  // a-c-d; `reversed` walks it the other way round (a-d-c, a-c-b).
  void addQuad(uint32_t a, uint32_t b, uint32_t c, uint32_t d, bool reversed = false);
  // Appends `other` with its positions and normals transformed by `m`.
  void append(const MeshData &other, const Matrix4 &m);
  void append(const MeshData &other) { append(other, identity()); }
  // Smooth, area-weighted normals from the triangles (zero stays zero).
  void computeNormals();
  // Every position moved by m (normals rotated with it, renormalised).
  void transform(const Matrix4 &m);
  void bounds(Vec3 &min, Vec3 &max) const;
};

// An axis-aligned box centred on the origin; every face maps the whole
// texture (u across, v down), or uvScale repeats of it.
MeshData makeBox(const Vec3 &size, float uvScale = 1.f);
// The same with faces pointing inwards (a room seen from inside).
MeshData makeRoom(const Vec3 &size, float uvScale = 1.f);
// A cylinder along +y from y = 0 to y = length; inward for tunnels. u runs
// round (uRepeat times), v along the length (vRepeat times). Caps optional.
MeshData makeCylinder(float radius, float length, int segments, int rings, bool inward, float uRepeat = 1.f,
                      float vRepeat = 1.f, bool caps = false);
// A UV sphere; u round, v from the top pole to the bottom.
MeshData makeSphere(float radius, int segments, int rings);
// A sphere from a subdivided icosahedron (evenly spaced vertices).
MeshData makeIcosphere(float radius, int subdivisions);
// A torus in the x-y plane round the z axis.
MeshData makeTorus(float majorRadius, float minorRadius, int segments, int sides);
// A flat grid in the x-y plane, (columns + 1) x (rows + 1) points, centred.
MeshData makeGrid(float width, float height, int columns, int rows);

// A GSP mesh node named `name` with one submesh using `materialIndex`.
std::unique_ptr<MeshNode> toMeshNode(const MeshData &mesh, const std::string &name, int32_t materialIndex);
// Appends the mesh to an EBR mesh as one part (false when it does not fit).
bool addToEbr(EbrMesh &ebr, const MeshData &mesh, const std::string &partName);

// Matrices for placing parts.
Matrix4 place(const Vec3 &at, const Vec3 &rotationAxis = Vec3{0.f, 1.f, 0.f}, float angleRadians = 0.f,
              const Vec3 &scale = Vec3{1.f, 1.f, 1.f});

} // namespace demo::bake
