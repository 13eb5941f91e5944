// water_surface.h - the rippling pool of the water scene: a 130 x 130 height
// field advanced by one explicit step per rendered frame, disturbed by round
// drops, and drawn as an environment-mapped quad mesh whose normals carry the
// ripples.
//
// Use (once per frame, in this order):
//   water.addDrop(x, y, radius, strength);   // as many as wanted (the scene: three)
//   water.step();
//   water.computeNormals();
//   ...bind the sphere map, enable sphere-map generation, set the matrices...
//   water.draw();
//
// The grid (cells), one vertex and one normal per cell, and the index array of
// the 127 x 127 drawn quads are sized once at construction and never resized;
// step, computeNormals, addDrop, updateElevations and draw allocate nothing.
// Everything but draw is plain C++ and runs without a GL context.
//
// Grid conventions: cell (x, y) is cells[y * 130 + x], x the column, y the
// row. Heights are raw units with 0 at rest; a positive velocity lowers the
// height. The vertices are (x, y, softClamp(height)) in grid units. Only rows
// and columns 1..128 are drawn and get normals; the outer ring of cells is
// simulated (the stencil reads it) but never shown, and its normals stay zero.
//
// What it does not do: keep time (one step per call, whatever the frame
// time), clamp or renormalise the heights, or change any drawing state in
// draw.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "base/math.h"

namespace demo {

struct WaterCell {
  float height;    // elevation in raw units; 0 is rest level
  float velocity;  // per-step change; positive lowers the height
};

class WaterSurface {
public:
  static constexpr int kSide = 130;
  static constexpr int kCellCount = kSide * kSide;         // 16,900
  static constexpr int kQuadSide = kSide - 3;              // 127 quads a row, rows 1..128
  static constexpr int kIndexCount = kQuadSide * kQuadSide * 4;  // 64,516

  // Sizes every array, lays the vertices out at (x, y, 0), builds the index
  // array and resets the grid to height 0. Border normals are zero.
  WaterSurface();

  // The cell at (x, y) through a mirror at the first and last row and column
  // that does not repeat the edge: -1 reads 1, 130 reads 128, 129 is itself.
  // The simulation only ever asks for -1..130; farther coordinates keep
  // reflecting (period 258), so any int lands inside the grid.
  WaterCell &cell(int x, int y) { return cells[static_cast<size_t>(mirror(y) * kSide + mirror(x))]; }
  const WaterCell &cell(int x, int y) const {
    return cells[static_cast<size_t>(mirror(y) * kSide + mirror(x))];
  }

  // Every cell: height = the given value, velocity = 0.
  void reset(float height);

  // A round disturbance centred at (x, y) with the given radius, all three as
  // fractions of the grid side (0..1). Every cell closer than the radius gets
  // (strength / R * (R^2 - d^2))^2 added to its velocity (R and d in cells),
  // a smooth bowl that pushes the surface down; (strength * R)^2 at the centre.
  // The disc is cut off at the grid's edges (no mirroring). Only the cells in
  // the disc's bounding square are visited.
  void addDrop(float x, float y, float radius, float strength);

  // One simulation step of the whole grid (see the .cpp for the stencil).
  void step();

  // Normals of rows and columns 1..128 from the soft-clamped heights of the
  // four neighbours; the border entries are left alone.
  void computeNormals();

  // The saturating height-to-elevation curve: u = 0.01 v, 0.9 u / (|u| + 1).
  // Odd, increasing, slope 0.009 at 0, softClamp(100) = 0.45. The result stays
  // within [-0.9f, 0.9f] (0.9f lies just below 0.9): in float the quotient
  // would round one step past 0.9 for |v| near 2e9 and give NaN for
  // infinities, so huge inputs are held at the bound. NaN stays NaN.
  static float softClamp(float v) {
    // One clamp a statement, so loops over many values stay branch-free.
    float u = 0.01f * v;
    u = u > 1e30f ? 1e30f : u;
    u = u < -1e30f ? -1e30f : u;
    float r = 0.9f * u / (std::fabs(u) + 1.f);
    r = r > 0.9f ? 0.9f : r;
    r = r < -0.9f ? -0.9f : r;
    return r;
  }

  // vertices[k].z = softClamp(cells[k].height) for every cell: the first half
  // of draw, apart so it can run and be tested without GL.
  void updateElevations();

  // updateElevations, then the mesh with the current drawing state: one
  // draw::drawIndexed of indexCount indices as Quads over vertices and
  // normals. No texture coordinates (the caller generates sphere-map ones);
  // colour, texturing, blending, lighting, fog and matrices are the caller's.
  // Needs the window's drawing context current (and, with the classic
  // backend, no buffer bound to the array or element array targets).
  void draw();

  std::vector<WaterCell> cells;    // kCellCount, row-major
  std::vector<Vec3> vertices;      // kCellCount, same order
  std::vector<Vec3> normals;       // kCellCount, same order; rows/columns 1..128 used
  std::vector<uint32_t> indices;   // kIndexCount: quads over rows/columns 1..128
  int indexCount = kIndexCount;

private:
  // Reflects a coordinate into 0..129: |c|, then 258 - c past 129.
  static int mirror(int c) {
    uint32_t a = c < 0 ? 0u - static_cast<uint32_t>(c) : static_cast<uint32_t>(c);
    a %= 2 * (kSide - 1);
    return static_cast<int>(a > static_cast<uint32_t>(kSide - 1) ? 2 * (kSide - 1) - a : a);
  }
};

} // namespace demo
