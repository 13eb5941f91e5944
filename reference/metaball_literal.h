// metaball_literal.h - the metaball field written the plain way, one step
// per rule, as the yardstick for MetaballField: the benchmark times both,
// the tests check that both give the same field and the same triangles.
//
// Use: LiteralMetaballs field(40); then clearValues, addBall per ball,
// updateNormals and polygonise(buffer) with a buffer of maxVertices().
// The balls themselves come from the corridor scene (corridorBalls).
//
// It keeps the field's few deliberate choices (distance floor, zero normal
// for a flat gradient) so the outputs compare bit for bit, and otherwise does
// nothing clever: every ball walks its whole box point by point, every cell is
// classified from its eight corners. Header-only; not part of the show.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "effects/metaball_field.h"

namespace demo::literal {

class LiteralMetaballs {
public:
  int size;
  std::vector<FieldPoint> points;
  std::vector<FieldCell> cells;
  int32_t edgeTable[256];  // from its rule, not copied

  explicit LiteralMetaballs(int n) : size(n), points(static_cast<size_t>(n) * n * n) {
    for (int k = 0; k < n; ++k)
      for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
          FieldPoint &p = at(i, j, k);
          p.position = {2.0f * i / n - 1.0f, 2.0f * j / n - 1.0f, 1.0f - 2.0f * k / n};
          p.normal = {0.0f, 0.0f, 0.0f};
          p.value = 0.0f;
        }
    for (int k = 0; k < n - 1; ++k)
      for (int j = 0; j < n - 1; ++j)
        for (int i = 0; i < n - 1; ++i) {
          FieldCell cell;
          for (int c = 0; c < 8; ++c)
            cell.corners[c] = &at(i + kCellCorners[c][0], j + kCellCorners[c][1], k + kCellCorners[c][2]);
          cells.push_back(cell);
        }
    for (int code = 0; code < 256; ++code) {
      edgeTable[code] = 0;
      for (int e = 0; e < 12; ++e)
        if (((code >> kEdgeCorners[e][0]) & 1) != ((code >> kEdgeCorners[e][1]) & 1))
          edgeTable[code] |= 1 << e;
    }
  }
  LiteralMetaballs(const LiteralMetaballs &) = delete;
  LiteralMetaballs &operator=(const LiteralMetaballs &) = delete;

  FieldPoint &at(int i, int j, int k) {
    return points[static_cast<size_t>(i) + static_cast<size_t>(size) * j + static_cast<size_t>(size) * size * k];
  }
  size_t maxVertices() const { return cells.size() * 3 * kMaxTrianglesPerCell; }

  void clearValues() {
    for (FieldPoint &p : points)
      p.value = 0.0f;
  }

  void addBall(float cx, float cy, float cz, float r) {
    const float e = 5 * r;
    int lo[3] = {static_cast<int>(cx - e), static_cast<int>(cy - e), static_cast<int>(cz - e)};
    int hi[3] = {static_cast<int>(cx + e), static_cast<int>(cy + e), static_cast<int>(cz + e)};
    for (int axis = 0; axis < 3; ++axis) {
      lo[axis] = std::clamp(lo[axis], 0, size - 1);
      hi[axis] = std::clamp(hi[axis], 0, size - 1);
    }
    for (int k = lo[2]; k < hi[2]; ++k)
      for (int j = lo[1]; j < hi[1]; ++j)
        for (int i = lo[0]; i < hi[0]; ++i) {
          const float d2 = (cx - i) * (cx - i) + (cy - j) * (cy - j) + (cz - k) * (cz - k);
          at(i, j, k).value += r * r / std::max(d2, 1e-6f);
        }
  }

  void updateNormals() {
    for (int k = 1; k <= size - 2; ++k)
      for (int j = 1; j <= size - 2; ++j)
        for (int i = 1; i <= size - 2; ++i) {
          const float gx = at(i - 1, j, k).value - at(i + 1, j, k).value;
          const float gy = at(i, j - 1, k).value - at(i, j + 1, k).value;
          const float gz = at(i, j, k - 1).value - at(i, j, k + 1).value;
          const float length = std::sqrt(gx * gx + gy * gy + gz * gz);
          const float scale = length > 0.0f ? 1.0f / length : 0.0f;
          at(i, j, k).normal = {gx * scale, gy * scale, gz * scale};
        }
  }

  static SurfaceVertex interpolateEdge(const FieldPoint &a, const FieldPoint &b) {
    const float mu = (1.0f - a.value) / (b.value - a.value);
    SurfaceVertex v;
    v.position.x = a.position.x + mu * (b.position.x - a.position.x);
    v.position.y = a.position.y + mu * (b.position.y - a.position.y);
    v.position.z = a.position.z + mu * (b.position.z - a.position.z);
    v.normal.x = a.normal.x + mu * (b.normal.x - a.normal.x);
    v.normal.y = a.normal.y + mu * (b.normal.y - a.normal.y);
    v.normal.z = a.normal.z + mu * (b.normal.z - a.normal.z);
    return v;
  }

  // Appends the cell's triangles at out and advances it.
  int polygoniseCell(const FieldCell &cell, SurfaceVertex *&out) const {
    int code = 0;
    for (int c = 0; c < 8; ++c)
      if (cell.corners[c]->value < 1.0f)
        code |= 1 << c;
    const int32_t m = edgeTable[code];
    if (m == 0)
      return 0;
    SurfaceVertex slot[12];
    for (int e = 0; e < 12; ++e)
      if (m & (1 << e))
        slot[e] = interpolateEdge(*cell.corners[kEdgeCorners[e][0]], *cell.corners[kEdgeCorners[e][1]]);
    int triangles = 0;
    for (int t = 0; kTriangleTable[code][t] != -1; t += 3) {
      for (int v = 0; v < 3; ++v)
        *out++ = slot[kTriangleTable[code][t + v]];
      ++triangles;
    }
    return triangles;
  }

  // Every cell in index order; out must hold maxVertices().
  int polygonise(SurfaceVertex *out) const {
    int triangles = 0;
    for (const FieldCell &cell : cells)
      triangles += polygoniseCell(cell, out);
    return triangles;
  }
};


} // namespace demo::literal
