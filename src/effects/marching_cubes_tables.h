// marching_cubes_tables.h - the classic marching-cubes tables in the
// numbering MetaballField uses: which corners make up a cell, which corners
// each edge joins, which edges a corner code crosses and the triangles it
// yields. Plain data, defined once in marching_cubes_tables.cpp.
#pragma once

#include <cstdint>

namespace demo {

// Corner c of cell (i, j, k) is point (i, j, k) + kCellCorners[c] (di, dj, dk).
extern const int kCellCorners[8][3];
// Edge e runs from corner kEdgeCorners[e][0] to corner kEdgeCorners[e][1].
extern const int kEdgeCorners[12][2];
// Indexed by a cell's corner code (bit c set when corner c's value is below
// 1.0): bit e is set when the two corners of edge e differ in the code.
extern const int32_t kEdgeTable[256];
// The classic marching-cubes triangle table in the numbering above: up to
// five triangles per code as triples of edge numbers, ended by -1 (and -1
// after that).
extern const int32_t kTriangleTable[256][16];

constexpr int kMaxTrianglesPerCell = 5;

} // namespace demo
