// metaball_field.h - the corridor's metaballs: a scalar field sampled on a
// fixed cubic grid, to which each ball adds an inverse-square contribution,
// turned into triangles at the level 1.0 by marching cubes.
//
// Use, once per frame, in this order:
//   field.clearValues();
//   field.addBall(cx, cy, cz, r);        // per ball, or addBalls for all at once
//   field.updateNormals();
//   field.drawSurface();                 // one draw:: Triangles batch
// or, without drawing, polygonise() into a buffer the caller owns (the surface
// comes out exactly as drawSurface submits it).
//
// A cell's corner is "below" when its value is below 1.0 (exactly 1.0, or
// NaN, is not); cells with corners on both sides get triangles from the
// classic marching-cubes tables, vertices interpolated along the cell edges.
//
// Ball centres and radii are in grid-index units: a single ball of radius r
// has its surface r grid steps from its centre. Point (i, j, k) sits at
// (2i/n - 1, 2j/n - 1, 1 - 2k/n): z is mirrored, falling as k grows.
//
// The field knows nothing of how the balls move, nor of textures or shader
// programs: the scene sets those before drawSurface. Everything is rebuilt
// from scratch each frame; nothing allocates after construction.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/math.h"
#include "effects/marching_cubes_tables.h"

namespace demo {

// One grid point: seven floats, in this order.
struct FieldPoint {
  Vec3 position;  // fixed, set at construction
  Vec3 normal;    // from the gradient; zero until updateNormals writes it
  float value;    // the field, cleared and re-accumulated every frame
};

static_assert(sizeof(FieldPoint) == 7 * sizeof(float) && offsetof(FieldPoint, value) == 6 * sizeof(float),
              "a FieldPoint is seven packed floats: position, normal, value");

// One cube of the grid: its eight corners, numbered as kCellCorners says.
struct FieldCell {
  FieldPoint *corners[8];
};

// One ball: centre and radius in grid-index units.
struct Metaball {
  float x, y, z, r;
};

// One vertex of the surface as drawSurface submits it: the second texture
// coordinate is (position.x, position.y).
struct SurfaceVertex {
  Vec3 position;
  Vec3 normal;
};

class MetaballField {
public:
  // Grid sizes outside this range are refused.
  static constexpr int kMinSize = 2;
  static constexpr int kMaxSize = 256;

  // Allocates the n^3 points and (n-1)^3 cells, sets the positions and the
  // corner references; values and normals start at zero. Throws
  // std::invalid_argument when n is outside [kMinSize, kMaxSize].
  explicit MetaballField(int n);
  // The cells point into the points: a copy would point into the original.
  MetaballField(const MetaballField &) = delete;
  MetaballField &operator=(const MetaballField &) = delete;

  int size() const { return size_; }
  // Point (i, j, k) is points()[i + n j + n^2 k]; cell (i, j, k) is
  // cells()[i + (n-1) j + (n-1)^2 k]. Both arrays stay where they are for
  // the field's whole life.
  FieldPoint *points() { return points_.data(); }
  const FieldPoint *points() const { return points_.data(); }
  int pointCount() const { return static_cast<int>(points_.size()); }
  FieldPoint &point(int i, int j, int k) { return points_[index(i, j, k)]; }
  const FieldPoint &point(int i, int j, int k) const { return points_[index(i, j, k)]; }
  const FieldCell *cells() const { return cells_.data(); }
  int cellCount() const { return static_cast<int>(cells_.size()); }

  // Sets every value to 0; positions and normals stay.
  void clearValues();

  // Adds r^2 / max(d^2, 1e-6) to every point of the ball's box: the
  // box reaches e = 5r from the centre on each axis, its bounds c - e and
  // c + e truncated toward zero and clamped to [0, n-1], the upper bound
  // exclusive. So points with index n-1 on any axis never get anything,
  // index 0 can. A ball whose box lies outside the grid, or with a NaN
  // centre or radius, changes nothing.
  void addBall(float cx, float cy, float cz, float r);
  // The same as addBall for each of count balls in turn (the values come out
  // bit for bit equal), but each row of points is read and written once per
  // batch of up to kMaxBatch balls rather than once per ball. A count of 0
  // or less adds nothing.
  static constexpr int kMaxBatch = 8;
  void addBalls(const Metaball *balls, int count);

  // Rewrites the normal of every point with 1 <= i, j, k <= n-2 from the
  // central differences value(i-1) - value(i+1) (and likewise in j and k),
  // scaled to unit length. A zero gradient gives a zero normal. Points on
  // the outer faces keep their normal (zero).
  // Intentional: the differences run in index space, so the normal's x and y
  // point out of the blob in model space but its z points in (positions fall
  // with k, the normal's z does not); the scene's shading was made with it.
  void updateNormals();

  // Polygonises the whole grid into one draw::begin(Triangles) ... end()
  // batch: per vertex draw::multiTexCoord(1, x, y), draw::normal,
  // draw::vertex. Returns the number of triangles. Leaves the current normal
  // and unit 1 texture coordinate at the last vertex's; no other drawing
  // state changes. Needs a current drawing context.
  int drawSurface();

  // The triangles of one cell, submitted as drawSurface does (call it inside
  // draw::begin(draw::Primitive::Triangles)); returns their number. Leaves
  // the current normal and unit 1 texture coordinate at its last vertex's.
  int polygoniseCell(const FieldCell &cell);
  // The same without drawing: writes 3 vertices per triangle (at most
  // kMaxTrianglesPerCell triangles) to out and returns the triangle count.
  static int polygoniseCell(const FieldCell &cell, SurfaceVertex *out);

  // Where the field crosses 1.0 on the edge from a to b: both position and
  // normal are interpolated from a with mu = (1 - a.value) / (b.value -
  // a.value); the normal is not renormalised. Only meaningful when a and b
  // lie on opposite sides of 1.0.
  static SurfaceVertex interpolateEdge(const FieldPoint &a, const FieldPoint &b);

  // Polygonises cells in index order (i fastest, then j, then k) from
  // nextCell on into out, which has room for capacity triangles (3 vertices
  // each); stops before the first cell whose triangles would not fit, sets
  // nextCell to it (cellCount() when the grid is done) and returns the number
  // of triangles written. Start with nextCell = 0; calling again with the
  // updated cursor continues exactly where the last call stopped, so the
  // concatenated output equals drawSurface's (provided the values are not
  // changed in between). capacity must be at least
  // kMaxTrianglesPerCell (std::invalid_argument otherwise), so every call
  // makes progress.
  int polygonise(SurfaceVertex *out, int capacity, int &nextCell);

private:
  size_t index(int i, int j, int k) const {
    return static_cast<size_t>(i) + static_cast<size_t>(size_) * (j + static_cast<size_t>(size_) * k);
  }
  void addBatch(const Metaball *balls, int count);
  // Rebuilds the below-1.0 bit masks of point plane k into plane.
  void classifyPlane(int k, uint64_t *plane) const;
  // Copies the values of point plane k into n^2 contiguous floats.
  void copyPlaneValues(int k, float *plane) const;

  int size_;
  std::vector<FieldPoint> points_;
  std::vector<FieldCell> cells_;

  size_t cornerOffset_[8];  // point index of corner c minus that of corner 0

  // Scratch, sized once here so that no frame allocates:
  int words_;                         // 64-bit words per row of points
  std::vector<uint64_t> planeBits_;   // two planes: n rows of words_ each
  std::vector<float> rowScratch_;     // n floats: one row of values being accumulated
  std::vector<float> axisScratch_;    // per ball of a batch, squared distances per axis (3n each)
  std::vector<float> valueScratch_;   // three planes of values, contiguous, for the gradient
  std::vector<SurfaceVertex> drawBuffer_;  // drawSurface's batches
};

} // namespace demo
