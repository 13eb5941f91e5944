#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <numeric>
#include <random>
#include <set>
#include <stdexcept>
#include <tuple>
#include <utility>
#include <vector>

#include "effects/metaball_field.h"
#include "reference/metaball_literal.h"
#include "scenes/corridor_scene.h"

namespace demo::test {
namespace {

constexpr int kSize = 40;

FieldPoint &pointAt(MetaballField &field, int i, int j, int k) {
  const int n = field.size();
  FieldPoint &p = field.point(i, j, k);
  EXPECT_EQ(&p, field.points() + i + n * j + n * n * k);
  return p;
}

// Every point, for range-for.
std::vector<FieldPoint> allPoints(const MetaballField &field) {
  return std::vector<FieldPoint>(field.points(), field.points() + field.pointCount());
}

// The surface cell by cell, in index order, through polygoniseCell.
std::vector<SurfaceVertex> cellByCell(const MetaballField &field) {
  std::vector<SurfaceVertex> surface;
  SurfaceVertex out[3 * kMaxTrianglesPerCell];
  for (int c = 0; c < field.cellCount(); ++c) {
    const int triangles = MetaballField::polygoniseCell(field.cells()[c], out);
    surface.insert(surface.end(), out, out + 3 * triangles);
  }
  return surface;
}

std::vector<SurfaceVertex> surfaceOf(MetaballField &field, int capacity = 4096) {
  std::vector<SurfaceVertex> surface;
  std::vector<SurfaceVertex> buffer(3 * static_cast<size_t>(capacity));
  int nextCell = 0;
  while (nextCell < field.cellCount()) {
    const int triangles = field.polygonise(buffer.data(), capacity, nextCell);
    surface.insert(surface.end(), buffer.begin(), buffer.begin() + 3 * triangles);
  }
  return surface;
}

bool sameBits(const void *a, const void *b, size_t bytes) { return std::memcmp(a, b, bytes) == 0; }

// The surface as an indexed mesh: vertices closer than a tolerance are one
// (neighbouring cells compute a shared edge vertex from opposite ends).
struct Mesh {
  std::vector<Vec3> vertices;
  std::vector<std::array<int, 3>> triangles;
};

Mesh weld(const std::vector<SurfaceVertex> &surface, float tolerance) {
  Mesh mesh;
  std::map<std::tuple<long, long, long>, std::vector<int>> buckets;
  auto key = [&](float v) { return static_cast<long>(std::floor(v / tolerance)); };
  for (size_t t = 0; t < surface.size(); t += 3) {
    std::array<int, 3> triangle{};
    for (int c = 0; c < 3; ++c) {
      const Vec3 p = surface[t + c].position;
      const long x = key(p.x), y = key(p.y), z = key(p.z);
      int found = -1;
      for (long dx = -1; dx <= 1 && found < 0; ++dx)
        for (long dy = -1; dy <= 1 && found < 0; ++dy)
          for (long dz = -1; dz <= 1 && found < 0; ++dz) {
            auto bucket = buckets.find({x + dx, y + dy, z + dz});
            if (bucket == buckets.end())
              continue;
            for (int id : bucket->second) {
              const Vec3 q = mesh.vertices[id];
              if (std::fabs(p.x - q.x) <= tolerance && std::fabs(p.y - q.y) <= tolerance &&
                  std::fabs(p.z - q.z) <= tolerance)
                found = id;
            }
          }
      if (found < 0) {
        found = static_cast<int>(mesh.vertices.size());
        mesh.vertices.push_back(p);
        buckets[{x, y, z}].push_back(found);
      }
      triangle[c] = found;
    }
    mesh.triangles.push_back(triangle);
  }
  return mesh;
}

// Closed and consistently wound: every directed edge appears exactly once
// and its reverse exactly once; no triangle collapses.
::testing::AssertionResult closedAndOriented(const Mesh &mesh) {
  std::map<std::pair<int, int>, int> directed;
  for (const auto &t : mesh.triangles) {
    if (t[0] == t[1] || t[1] == t[2] || t[0] == t[2])
      return ::testing::AssertionFailure() << "a triangle collapses to an edge";
    for (int c = 0; c < 3; ++c)
      ++directed[{t[c], t[(c + 1) % 3]}];
  }
  for (const auto &[edge, count] : directed) {
    const auto reverse = directed.find({edge.second, edge.first});
    if (count != 1 || reverse == directed.end() || reverse->second != 1)
      return ::testing::AssertionFailure() << "edge " << edge.first << "-" << edge.second << " is used " << count
                                           << " times, its reverse "
                                           << (reverse == directed.end() ? 0 : reverse->second) << " times";
  }
  return ::testing::AssertionSuccess();
}

int componentCount(const Mesh &mesh) {
  std::vector<int> parent(mesh.vertices.size());
  std::iota(parent.begin(), parent.end(), 0);
  auto root = [&](int v) {
    while (parent[v] != v)
      v = parent[v] = parent[parent[v]];
    return v;
  };
  for (const auto &t : mesh.triangles)
    for (int c = 1; c < 3; ++c)
      parent[root(t[c])] = root(t[0]);
  int count = 0;
  for (size_t v = 0; v < parent.size(); ++v)
    count += root(static_cast<int>(v)) == static_cast<int>(v);
  return count;
}

// ---- The tables ----

TEST(MetaballTables, EdgeTableMarksExactlyTheEdgesWhoseCornersDiffer) {
  EXPECT_EQ(kEdgeTable[0], 0);
  EXPECT_EQ(kEdgeTable[255], 0);
  EXPECT_EQ(kEdgeTable[1], 0x109);
  EXPECT_EQ(kEdgeTable[2], 0x203);
  EXPECT_EQ(kEdgeTable[3], 0x30a);
  for (int code = 0; code < 256; ++code)
    for (int e = 0; e < 12; ++e) {
      const bool differ = ((code >> kEdgeCorners[e][0]) & 1) != ((code >> kEdgeCorners[e][1]) & 1);
      EXPECT_EQ((kEdgeTable[code] >> e) & 1, differ ? 1 : 0) << "code " << code << " edge " << e;
    }
  for (int code = 0; code < 256; ++code)
    EXPECT_EQ(kEdgeTable[code] & ~0xfff, 0) << "code " << code;
}

TEST(MetaballTables, EdgesJoinCornersOneStepApart) {
  for (int e = 0; e < 12; ++e) {
    int steps = 0;
    for (int axis = 0; axis < 3; ++axis)
      steps += std::abs(kCellCorners[kEdgeCorners[e][0]][axis] - kCellCorners[kEdgeCorners[e][1]][axis]);
    EXPECT_EQ(steps, 1) << "edge " << e;
  }
}

TEST(MetaballTables, EveryTriangleRowUsesExactlyTheMarkedEdges) {
  for (int code = 0; code < 256; ++code) {
    const int32_t *row = kTriangleTable[code];
    int entries = 0;
    while (entries < 16 && row[entries] != -1)
      ++entries;
    ASSERT_LT(entries, 16) << "row " << code << " has no terminator";
    ASSERT_EQ(entries % 3, 0) << "row " << code;
    for (int e = entries; e < 16; ++e)
      EXPECT_EQ(row[e], -1) << "row " << code << " entry " << e;
    int used = 0;
    for (int e = 0; e < entries; ++e) {
      ASSERT_GE(row[e], 0) << "row " << code;
      ASSERT_LT(row[e], 12) << "row " << code;
      used |= 1 << row[e];
    }
    EXPECT_EQ(used, kEdgeTable[code]) << "row " << code;
    for (int t = 0; t < entries; t += 3)
      EXPECT_TRUE(row[t] != row[t + 1] && row[t + 1] != row[t + 2] && row[t] != row[t + 2])
          << "row " << code << " triangle " << t / 3 << " repeats an edge";
  }
}

TEST(MetaballTables, RowsMatchTheClassicTable) {
  const std::vector<std::pair<int, std::vector<int>>> known = {
      {0, {}},
      {1, {0, 8, 3}},
      {2, {0, 1, 9}},
      {3, {1, 8, 3, 9, 8, 1}},
      {7, {2, 8, 3, 2, 10, 8, 10, 9, 8}},
      {8, {3, 11, 2}},
      {254, {0, 3, 8}},
      {255, {}},
  };
  for (const auto &[code, entries] : known) {
    std::vector<int> row;
    for (int e = 0; kTriangleTable[code][e] != -1; ++e)
      row.push_back(kTriangleTable[code][e]);
    EXPECT_EQ(row, entries) << "row " << code;
  }
}

// Binary fields (values 0 or 2) put every vertex exactly at an edge midpoint,
// so shared vertices weld exactly; with the grid's outer points below the
// level the surface must close up whatever the pattern inside.
TEST(MetaballTables, RandomFieldsGiveClosedConsistentlyWoundSurfaces) {
  std::mt19937 random(12345);
  for (int trial = 0; trial < 60; ++trial) {
    MetaballField field(8);
    const int n = field.size();
    for (int k = 0; k < n; ++k)
      for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
          const bool outer = i == 0 || j == 0 || k == 0 || i == n - 1 || j == n - 1 || k == n - 1;
          pointAt(field, i, j, k).value = (!outer && random() % 2) ? 2.0f : 0.0f;
        }
    const std::vector<SurfaceVertex> surface = surfaceOf(field);
    ASSERT_FALSE(surface.empty());
    EXPECT_TRUE(closedAndOriented(weld(surface, 1e-6f))) << "trial " << trial;
  }
}

// ---- The grid ----

TEST(MetaballFieldGrid, PointsSitOnTheGridWithZMirrored) {
  MetaballField field(kSize);
  ASSERT_EQ(field.pointCount(), 64000);
  ASSERT_EQ(field.cellCount(), 59319);
  struct Expected {
    int i, j, k;
    float x, y, z;
  };
  for (const Expected &e : {Expected{0, 0, 0, -1.0f, -1.0f, 1.0f}, Expected{39, 39, 39, 0.95f, 0.95f, -0.95f},
                            Expected{20, 10, 5, 0.0f, -0.5f, 0.75f}}) {
    const FieldPoint &p = pointAt(field, e.i, e.j, e.k);
    EXPECT_NEAR(p.position.x, e.x, 1e-6f);
    EXPECT_NEAR(p.position.y, e.y, 1e-6f);
    EXPECT_NEAR(p.position.z, e.z, 1e-6f);
  }
  for (const FieldPoint &p : allPoints(field)) {
    EXPECT_EQ(p.value, 0.0f);
    EXPECT_TRUE(p.normal.x == 0.0f && p.normal.y == 0.0f && p.normal.z == 0.0f);
  }
}

TEST(MetaballFieldGrid, CellsReferenceTheirCornersInTableOrder) {
  MetaballField field(kSize);
  const int m = kSize - 1;
  for (const auto &[i, j, k] : {std::tuple{0, 0, 0}, std::tuple{m - 1, m - 1, m - 1}, std::tuple{7, 30, 12}}) {
    const FieldCell &cell = field.cells()[i + m * j + m * m * k];
    for (int c = 0; c < 8; ++c)
      EXPECT_EQ(cell.corners[c],
                &pointAt(field, i + kCellCorners[c][0], j + kCellCorners[c][1], k + kCellCorners[c][2]))
          << "cell " << i << "," << j << "," << k << " corner " << c;
  }
}

TEST(MetaballFieldGrid, RefusesSizesOutsideTheSupportedRange) {
  for (int n : {-5, 0, 1, MetaballField::kMaxSize + 1})
    EXPECT_THROW(MetaballField field(n), std::invalid_argument) << n;
  MetaballField smallest(2);
  EXPECT_EQ(smallest.cellCount(), 1);
}

// ---- Balls ----

TEST(MetaballBalls, NoBallLeavesEveryValueZeroAndEmitsNothing) {
  MetaballField field(kSize);
  field.addBall(20, 20, 20, 5);
  field.clearValues();
  field.updateNormals();
  for (const FieldPoint &p : allPoints(field)) {
    ASSERT_EQ(p.value, 0.0f);
    ASSERT_TRUE(p.normal.x == 0.0f && p.normal.y == 0.0f && p.normal.z == 0.0f);  // flat: zero, not NaN
  }
  std::vector<SurfaceVertex> buffer(3 * kMaxTrianglesPerCell);
  int nextCell = 0;
  EXPECT_EQ(field.polygonise(buffer.data(), kMaxTrianglesPerCell, nextCell), 0);
  EXPECT_EQ(nextCell, field.cellCount());
  EXPECT_TRUE(cellByCell(field).empty());
}

TEST(MetaballBalls, ContributionIsRSquaredOverDistanceSquared) {
  MetaballField field(kSize);
  field.clearValues();
  field.addBall(10.5f, 12.25f, 9.0f, 2.0f);
  EXPECT_EQ(pointAt(field, 11, 12, 9).value, 4.0f / ((0.5f * 0.5f + 0.25f * 0.25f) + 0.0f));
  EXPECT_EQ(pointAt(field, 10, 14, 11).value, 4.0f / ((0.25f + 1.75f * 1.75f) + 4.0f));
  field.addBall(12.0f, 12.0f, 9.0f, 1.0f);
  EXPECT_EQ(pointAt(field, 11, 12, 9).value, 4.0f / (0.25f + 0.0625f) + 1.0f / 1.0f);
}

TEST(MetaballBalls, BoxBoundsTruncateAndExcludeTheUpperBound) {
  MetaballField field(kSize);
  field.clearValues();
  field.addBall(10.0f, 10.0f, 10.0f, 1.0f);  // box 5 .. 15, 15 excluded
  EXPECT_EQ(pointAt(field, 4, 10, 10).value, 0.0f);
  EXPECT_EQ(pointAt(field, 5, 10, 10).value, 1.0f / 25.0f);
  EXPECT_EQ(pointAt(field, 14, 10, 10).value, 1.0f / 16.0f);
  EXPECT_EQ(pointAt(field, 15, 10, 10).value, 0.0f);
  EXPECT_EQ(pointAt(field, 10, 15, 10).value, 0.0f);
  EXPECT_EQ(pointAt(field, 10, 10, 15).value, 0.0f);
  EXPECT_GT(pointAt(field, 5, 5, 5).value, 0.0f);

  field.clearValues();
  field.addBall(10.9f, 10.0f, 10.0f, 1.0f);  // 5.9 .. 15.9 truncate to 5 .. 15
  EXPECT_EQ(pointAt(field, 4, 10, 10).value, 0.0f);
  EXPECT_GT(pointAt(field, 5, 10, 10).value, 0.0f);
  EXPECT_GT(pointAt(field, 14, 10, 10).value, 0.0f);
  EXPECT_EQ(pointAt(field, 15, 10, 10).value, 0.0f) << "4.1 from the centre, but past the truncated bound";
}

TEST(MetaballBalls, BoxIsClampedToTheGridAndTheFarFacesStayZero) {
  MetaballField field(kSize);
  field.clearValues();
  field.addBall(0.5f, 20.0f, 20.0f, 2.0f);   // reaches below index 0
  field.addBall(36.0f, 36.0f, 36.0f, 6.0f);  // reaches past index 39 on every axis
  EXPECT_GT(pointAt(field, 0, 20, 20).value, 0.0f);
  EXPECT_GT(pointAt(field, 38, 38, 38).value, 1.0f);
  field.updateNormals();
  for (int k = 0; k < kSize; ++k)
    for (int j = 0; j < kSize; ++j)
      for (int i = 0; i < kSize; ++i) {
        const FieldPoint &p = pointAt(field, i, j, k);
        if (i == kSize - 1 || j == kSize - 1 || k == kSize - 1) {
          ASSERT_EQ(p.value, 0.0f) << i << "," << j << "," << k;
        }
        if (i == 0 || j == 0 || k == 0 || i == kSize - 1 || j == kSize - 1 || k == kSize - 1) {
          ASSERT_TRUE(p.normal.x == 0.0f && p.normal.y == 0.0f && p.normal.z == 0.0f) << i << "," << j << "," << k;
        }
      }
  // The cut surface never reaches the far faces.
  for (const SurfaceVertex &v : surfaceOf(field)) {
    EXPECT_LT(v.position.x, 0.95f);
    EXPECT_LT(v.position.y, 0.95f);
    EXPECT_GT(v.position.z, -0.95f);
  }
}

TEST(MetaballBalls, BallOutsideTheGridOrNotANumberChangesNothing) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  MetaballField field(kSize);
  field.clearValues();
  field.addBall(100.0f, 100.0f, 100.0f, 1.0f);
  field.addBall(-50.0f, 20.0f, 20.0f, 3.0f);
  field.addBall(20.0f, 20.0f, 60.0f, 2.0f);  // its box starts at 50: clamped to 39 .. 39
  field.addBall(1e30f, -1e30f, 20.0f, 2.0f);
  field.addBall(nan, 20.0f, 20.0f, 5.0f);
  field.addBall(20.0f, 20.0f, 20.0f, nan);
  field.addBall(inf, 20.0f, 20.0f, 5.0f);
  field.addBall(20.0f, 20.0f, 20.0f, -3.0f);  // a negative reach: the box is empty
  for (const FieldPoint &p : allPoints(field))
    ASSERT_EQ(p.value, 0.0f);
}

TEST(MetaballBalls, BallOnAGridPointStaysFinite) {
  MetaballField field(kSize);
  field.clearValues();
  field.addBall(20.0f, 20.0f, 20.0f, 5.3f);  // no grid point exactly on the level
  EXPECT_EQ(pointAt(field, 20, 20, 20).value, 5.3f * 5.3f / 1e-6f);
  field.updateNormals();
  for (const FieldPoint &p : allPoints(field))
    ASSERT_TRUE(std::isfinite(p.value) && std::isfinite(p.normal.x) && std::isfinite(p.normal.y) &&
                std::isfinite(p.normal.z));
  const std::vector<SurfaceVertex> surface = surfaceOf(field);
  ASSERT_FALSE(surface.empty());
  for (const SurfaceVertex &v : surface)
    ASSERT_TRUE(std::isfinite(v.position.x + v.position.y + v.position.z + v.normal.x + v.normal.y + v.normal.z));
  EXPECT_TRUE(closedAndOriented(weld(surface, 1e-5f)));
}

TEST(MetaballBalls, BatchEqualsOneBallAtATime) {
  std::vector<Metaball> balls;
  std::mt19937 random(7);
  std::uniform_real_distribution<float> position(-8.0f, 48.0f), radius(0.5f, 7.0f);
  for (int b = 0; b < 2 * MetaballField::kMaxBatch + 3; ++b)
    balls.push_back({position(random), position(random), position(random), radius(random)});
  balls[3] = {100.0f, 100.0f, 100.0f, 1.0f};  // adds nothing, in the middle of a batch
  MetaballField oneByOne(kSize), batched(kSize);
  oneByOne.clearValues();
  batched.clearValues();
  for (const Metaball &b : balls)
    oneByOne.addBall(b.x, b.y, b.z, b.r);
  batched.addBalls(balls.data(), static_cast<int>(balls.size()));
  for (int p = 0; p < oneByOne.pointCount(); ++p)
    ASSERT_TRUE(sameBits(&oneByOne.points()[p].value, &batched.points()[p].value, sizeof(float))) << "point " << p;
}

// ---- Normals ----

TEST(MetaballNormals, PointAwayFromTheBallInIndexSpace) {
  MetaballField field(kSize);
  field.clearValues();
  field.addBall(20.5f, 20.5f, 20.5f, 5.0f);
  field.updateNormals();
  EXPECT_GT(pointAt(field, 27, 20, 20).normal.x, 0.95f);
  EXPECT_LT(pointAt(field, 20, 14, 20).normal.y, -0.95f);
  // Further along k means lower model z, yet the normal's z is positive:
  // z is not mirrored like the positions.
  const FieldPoint &behind = pointAt(field, 20, 20, 27);
  EXPECT_LT(behind.position.z, -0.025f);
  EXPECT_GT(behind.normal.z, 0.95f);
  for (int k = 1; k < kSize - 1; k += 5)
    for (int j = 1; j < kSize - 1; j += 3)
      for (int i = 1; i < kSize - 1; i += 2) {
        const Vec3 n = pointAt(field, i, j, k).normal;
        EXPECT_NEAR(n.x * n.x + n.y * n.y + n.z * n.z, 1.0f, 1e-5f);
      }
}

// ---- The surface ----

TEST(MetaballSurface, SingleBallIsAClosedSphereOfItsRadius) {
  MetaballField field(kSize);
  field.clearValues();
  field.addBall(20.5f, 20.5f, 20.5f, 6.0f);
  field.updateNormals();
  const std::vector<SurfaceVertex> surface = surfaceOf(field);
  ASSERT_GT(surface.size(), 300u);
  const Mesh mesh = weld(surface, 1e-5f);
  EXPECT_TRUE(closedAndOriented(mesh));
  EXPECT_EQ(componentCount(mesh), 1);
  const Vec3 centre = {0.025f, 0.025f, -0.025f};  // index 20.5, z mirrored
  double sum = 0.0;
  for (const Vec3 &p : mesh.vertices) {
    const float d = std::sqrt((p.x - centre.x) * (p.x - centre.x) + (p.y - centre.y) * (p.y - centre.y) +
                              (p.z - centre.z) * (p.z - centre.z));
    EXPECT_NEAR(d, 0.3f, 0.3f * 0.03f);
    sum += d;
  }
  EXPECT_NEAR(sum / mesh.vertices.size(), 0.3, 0.3 * 0.01);
}

TEST(MetaballSurface, NearBallsMergeAndFarBallsStaySeparate) {
  const float r = 4.0f;
  for (const auto &[apart, pieces] : {std::pair{2.4f * r, 1}, std::pair{3.4f * r, 2}}) {
    MetaballField field(kSize);
    field.clearValues();
    field.addBall(20.5f - apart / 2, 20.5f, 20.5f, r);
    field.addBall(20.5f + apart / 2, 20.5f, 20.5f, r);
    field.updateNormals();
    const Mesh mesh = weld(surfaceOf(field), 1e-5f);
    EXPECT_TRUE(closedAndOriented(mesh)) << apart;
    EXPECT_EQ(componentCount(mesh), pieces) << "balls " << apart << " apart";
  }
}

TEST(MetaballSurface, CornerExactlyAtTheLevelOrNaNCountsAsNotBelow) {
  MetaballField field(2);
  const FieldCell &cell = field.cells()[0];
  SurfaceVertex out[3 * kMaxTrianglesPerCell];
  cell.corners[0]->value = 1.0f;  // code 254: every corner but 0 below
  ASSERT_EQ(MetaballField::polygoniseCell(cell, out), 1);
  for (int v = 0; v < 3; ++v)
    EXPECT_TRUE(sameBits(&out[v].position, &cell.corners[0]->position, sizeof(Vec3))) << v;
  cell.corners[0]->value = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(MetaballField::polygoniseCell(cell, out), 1);
  cell.corners[0]->value = 0.999f;  // code 255
  EXPECT_EQ(MetaballField::polygoniseCell(cell, out), 0);
}

TEST(MetaballSurface, InterpolationStartsAtTheFirstPointAndKeepsNormalLength) {
  FieldPoint a = {{0.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f}, 0.5f};
  FieldPoint b = {{0.1f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, 2.5f};
  const SurfaceVertex v = MetaballField::interpolateEdge(a, b);
  EXPECT_FLOAT_EQ(v.position.x, 0.025f);
  EXPECT_FLOAT_EQ(v.normal.x, 0.75f);
  EXPECT_FLOAT_EQ(v.normal.y, 0.25f);  // not renormalised
}

TEST(MetaballSurface, PolygoniseInPiecesEqualsOnePassAndCellByCell) {
  MetaballField field(kSize);
  field.clearValues();
  for (const Metaball &b : corridorBalls(40.0f))
    field.addBall(b.x, b.y, b.z, b.r);
  field.updateNormals();
  const std::vector<SurfaceVertex> expected = cellByCell(field);
  ASSERT_FALSE(expected.empty());
  for (int capacity : {kMaxTrianglesPerCell, 6, 17, 1 << 16}) {
    const std::vector<SurfaceVertex> pieces = surfaceOf(field, capacity);
    ASSERT_EQ(pieces.size(), expected.size()) << capacity;
    EXPECT_TRUE(sameBits(pieces.data(), expected.data(), pieces.size() * sizeof(SurfaceVertex))) << capacity;
  }
}

// Grids wider than 64 points keep a row's sides of the level in several
// words; cell 63 needs bits from both. The first two balls' surfaces cross
// x = 63.5 and 63.8.
TEST(MetaballSurface, WideGridsPolygoniseAcrossWordBoundaries) {
  MetaballField field(72);
  for (const Metaball &b : {Metaball{59.5f, 50.0f, 50.0f, 4.0f}, Metaball{68.3f, 20.3f, 60.0f, 4.5f},
                            Metaball{12.0f, 60.0f, 30.0f, 3.0f}, Metaball{66.5f, 65.0f, 67.0f, 3.0f}})
    field.addBall(b.x, b.y, b.z, b.r);
  field.updateNormals();
  const std::vector<SurfaceVertex> expected = cellByCell(field);
  ASSERT_FALSE(expected.empty());
  const std::vector<SurfaceVertex> surface = surfaceOf(field, 7);
  ASSERT_EQ(surface.size(), expected.size());
  EXPECT_TRUE(sameBits(surface.data(), expected.data(), surface.size() * sizeof(SurfaceVertex)));
}

TEST(MetaballSurface, PolygoniseRefusesATooSmallBufferOrAStrayCursor) {
  MetaballField field(kSize);
  std::vector<SurfaceVertex> buffer(3 * kMaxTrianglesPerCell);
  int nextCell = 0;
  EXPECT_THROW(field.polygonise(buffer.data(), kMaxTrianglesPerCell - 1, nextCell), std::invalid_argument);
  nextCell = -1;
  EXPECT_THROW(field.polygonise(buffer.data(), kMaxTrianglesPerCell, nextCell), std::invalid_argument);
  nextCell = field.cellCount() + 1;
  EXPECT_THROW(field.polygonise(buffer.data(), kMaxTrianglesPerCell, nextCell), std::invalid_argument);
  nextCell = field.cellCount();
  EXPECT_EQ(field.polygonise(buffer.data(), kMaxTrianglesPerCell, nextCell), 0);
}

// ---- Against the literal version ----

TEST(MetaballLiteral, CorridorFramesMatchBitForBit) {
  MetaballField field(kSize), batched(kSize);
  literal::LiteralMetaballs reference(kSize);
  std::vector<SurfaceVertex> referenceSurface(reference.maxVertices());
  ASSERT_TRUE(sameBits(field.points(), reference.points.data(), reference.points.size() * sizeof(FieldPoint)));
  // T = 0 puts every ball on a grid point; 35.87 is the switch of the ball clock.
  for (float T : {0.0f, 0.5f, 17.3f, 35.87f, 36.0f, 61.2f, 99.9f}) {
    const std::array<Metaball, 5> balls = corridorBalls(T);
    field.clearValues();
    batched.clearValues();
    reference.clearValues();
    for (const Metaball &b : balls) {
      field.addBall(b.x, b.y, b.z, b.r);
      reference.addBall(b.x, b.y, b.z, b.r);
    }
    batched.addBalls(balls.data(), static_cast<int>(balls.size()));
    field.updateNormals();
    batched.updateNormals();
    reference.updateNormals();
    for (size_t p = 0; p < reference.points.size(); ++p) {
      ASSERT_TRUE(sameBits(&field.points()[p], &reference.points[p], sizeof(FieldPoint))) << "T " << T << " point " << p;
      ASSERT_TRUE(sameBits(&batched.points()[p], &reference.points[p], sizeof(FieldPoint))) << "T " << T << " point " << p;
    }
    const int triangles = reference.polygonise(referenceSurface.data());
    ASSERT_GT(triangles, 0);
    const std::vector<SurfaceVertex> surface = surfaceOf(field);
    ASSERT_EQ(surface.size(), 3 * static_cast<size_t>(triangles)) << "T " << T;
    EXPECT_TRUE(sameBits(surface.data(), referenceSurface.data(), surface.size() * sizeof(SurfaceVertex))) << "T " << T;
  }
}

} // namespace
} // namespace demo::test
