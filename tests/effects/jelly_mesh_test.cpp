#include "effects/jelly_mesh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "reference/jelly_literal.h"

namespace demo::test {
namespace {

// A one-part mesh of loose points (no triangles, so every normal is 0).
EbrMesh pointMesh(const std::vector<Vec3> &points) {
  EbrMesh mesh;
  EXPECT_TRUE(mesh.addPart("points", points, std::vector<float>(2 * points.size(), 0.f), {}));
  return mesh;
}

bool sameBits(const Vec3 &a, const Vec3 &b) { return std::memcmp(&a, &b, sizeof(Vec3)) == 0; }

double distance(const Vec3 &a, const Vec3 &b) {
  const double dx = double(a.x) - b.x, dy = double(a.y) - b.y, dz = double(a.z) - b.z;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

std::vector<int32_t> neighbourList(const JellyMesh &jelly, int32_t i) {
  const int32_t *n = jelly.neighbours(i);
  return std::vector<int32_t>(n, n + jelly.nodes()[i].neighbourCount);
}

double weightSum(const JellyMesh &jelly, int32_t i) {
  double sum = 0.0;
  for (int32_t n = 0; n < jelly.nodes()[i].neighbourCount; ++n)
    sum += jelly.weights(i)[n];
  return sum;
}

Vec3 totalVelocity(const JellyMesh &jelly) {
  double x = 0.0, y = 0.0, z = 0.0;
  for (const JellyNode &node : jelly.nodes()) {
    x += node.velocity.x;
    y += node.velocity.y;
    z += node.velocity.z;
  }
  return Vec3{float(x), float(y), float(z)};
}

// ---- Construction -----------------------------------------------------------

TEST(JellyMesh, NeighbourDistancesExcludeBothBoundaries) {
  const float tiny = 1e-11f;
  const float justAboveTiny = std::nextafter(tiny, 1.f);
  const float justBelowTen = std::nextafter(10.f, 0.f);
  EbrMesh mesh = pointMesh({
      {0, 0, 0},
      {tiny, 0, 0},              // 1: at exactly 1e-11, the same point
      {0, justAboveTiny, 0},     // 2: just inside
      {0, 0, 10},                // 3: at exactly 10
      {0, 0, -justBelowTen},     // 4: just inside
      {0, 0, 0},                 // 5: the same position
      {-6, -8, 0},               // 6: 10 away along a diagonal
  });
  JellyMesh jelly(mesh);
  EXPECT_EQ(neighbourList(jelly, 0), (std::vector<int32_t>{2, 4}));
  // Weights 10 - d, scaled to sum 1: the nearly coincident point takes
  // almost everything.
  EXPECT_NEAR(jelly.weights(0)[0], (10.0 - justAboveTiny) / (20.0 - justAboveTiny - justBelowTen), 1e-6);
  EXPECT_NEAR(jelly.weights(0)[1], (10.0 - justBelowTen) / (20.0 - justAboveTiny - justBelowTen), 1e-9);
  EXPECT_GT(jelly.weights(0)[1], 0.f);
  // Coincident vertices are not linked in either direction.
  EXPECT_EQ(neighbourList(jelly, 5), (std::vector<int32_t>{2, 4}));
}

TEST(JellyMesh, NeighboursAreEveryOtherVertexInRangeWeightedByCloseness) {
  EbrMesh mesh = literal::jellyBlob(6, 20.f);
  const std::vector<Vec3> &p = mesh.parts[0]->positions;
  JellyMesh jelly(mesh);
  for (int32_t i = 0; i < jelly.nodeCount(); ++i) {
    std::vector<int32_t> expected;
    double sum = 0.0;
    for (int32_t j = 0; j < jelly.nodeCount(); ++j) {
      const double d = distance(p[i], p[j]);
      // Pairs within a float step of 10 may go either way; the blob has none.
      ASSERT_GT(std::fabs(d - 10.0), 1e-4);
      if (j != i && d < 10.0) {
        expected.push_back(j);
        sum += 10.0 - d;
      }
    }
    ASSERT_EQ(neighbourList(jelly, i), expected) << "node " << i;
    EXPECT_NEAR(weightSum(jelly, i), 1.0, 1e-5);
    for (size_t n = 0; n < expected.size(); ++n)
      EXPECT_NEAR(jelly.weights(i)[n], (10.0 - distance(p[i], p[expected[n]])) / sum, 1e-6);
  }
}

TEST(JellyMesh, VertexWithNothingWithinTenHasNoNeighbours) {
  EbrMesh mesh = pointMesh({{0, 0, 0}, {1, 0, 0}, {0, 10, 0}, {30, 0, 0}});
  JellyMesh jelly(mesh);
  EXPECT_EQ(jelly.nodes()[2].neighbourCount, 0);
  EXPECT_EQ(jelly.nodes()[3].neighbourCount, 0);
  EXPECT_EQ(neighbourList(jelly, 0), (std::vector<int32_t>{1}));
  EXPECT_EQ(jelly.weights(0)[0], 1.f);
}

// 1,101 points 0.005 apart on a line: everyone is within 5.5 of everyone.
std::vector<Vec3> crowd() {
  std::vector<Vec3> points;
  for (int i = 0; i <= 1100; ++i)
    points.push_back(Vec3{0.005f * static_cast<float>(i), 0.f, 0.f});
  return points;
}

TEST(JellyMesh, KeepsTheFirstThousandNeighboursFound) {
  EbrMesh mesh = pointMesh(crowd());
  JellyMesh jelly(mesh);
  const auto range = [](int32_t from, int32_t to, int32_t skip) {
    std::vector<int32_t> r;
    for (int32_t j = from; j < to; ++j)
      if (j != skip)
        r.push_back(j);
    return r;
  };
  EXPECT_EQ(neighbourList(jelly, 0), range(1, 1001, -1));
  EXPECT_EQ(neighbourList(jelly, 500), range(0, 1001, 500));
  EXPECT_EQ(neighbourList(jelly, 1100), range(0, 1000, -1));
  // Only the kept ones are weighed.
  for (int32_t i : {0, 500, 1100})
    EXPECT_NEAR(weightSum(jelly, i), 1.0, 1e-5) << "node " << i;
}

TEST(JellyMesh, MeshWithoutPartsGivesAnInertJelly) {
  EbrMesh mesh;
  JellyMesh jelly(mesh);
  EXPECT_EQ(jelly.nodeCount(), 0);
  jelly.poke(Vec3{0, 0, 0}, Vec3{1, 0, 0}, 100.f);
  jelly.step();
  EXPECT_TRUE(mesh.parts.empty());
}

// ---- Poke -------------------------------------------------------------------

TEST(JellyMesh, PokeKicksAlongDirectionByRadiusMinusDistance) {
  const float justInside = std::nextafter(15.f, 0.f);
  EbrMesh mesh = pointMesh({{0, 0, 0}, {0, 15, 0}, {0, 0, -20}, {6, 8, 0}, {0, -justInside, 0}});
  JellyMesh jelly(mesh);
  const Vec3 d{1.f, -2.f, 0.5f};
  jelly.poke(jelly.nodes()[0].position, d, 15.f);
  const auto &n = jelly.nodes();
  EXPECT_TRUE(sameBits(n[0].velocity, Vec3{15.f, -30.f, 7.5f}));
  EXPECT_TRUE(sameBits(n[3].velocity, Vec3{5.f, -10.f, 2.5f}));  // 10 away
  EXPECT_GT(n[4].velocity.x, 0.f);                                 // just inside
  EXPECT_LT(n[4].velocity.x, 1e-5f);
  EXPECT_EQ(n[4].velocity.y, -2.f * n[4].velocity.x);
  for (int i : {1, 2}) {  // 15 and 20 away
    EXPECT_EQ(n[i].velocity.x, 0.f);
    EXPECT_EQ(n[i].velocity.y, 0.f);
    EXPECT_EQ(n[i].velocity.z, 0.f);
  }
  // Kicks add up, and only velocities change.
  jelly.poke(Vec3{0, 0, 0}, d, 15.f);
  EXPECT_TRUE(sameBits(n[0].velocity, Vec3{30.f, -60.f, 15.f}));
  EXPECT_TRUE(sameBits(n[0].position, Vec3{0.f, 0.f, 0.f}));
  EXPECT_TRUE(sameBits(mesh.parts[0]->positions[3], Vec3{6.f, 8.f, 0.f}));
}

// ---- Step -------------------------------------------------------------------

TEST(JellyMesh, MeshAtRestStaysExactlyAtRest) {
  EbrMesh mesh = literal::jellyBlob(8, 20.f);
  const EbrPart loaded = *mesh.parts[0];
  JellyMesh jelly(mesh);
  ASSERT_EQ(jelly.nodeCount(), loaded.vertexCount);
  for (int s = 0; s < 50; ++s)
    jelly.step();
  for (int32_t i = 0; i < jelly.nodeCount(); ++i) {
    const JellyNode &node = jelly.nodes()[i];
    EXPECT_TRUE(sameBits(node.rest, loaded.positions[i])) << "node " << i;
    EXPECT_TRUE(sameBits(node.normal, loaded.normals[i])) << "node " << i;
    EXPECT_TRUE(sameBits(node.position, node.rest)) << "node " << i;
    EXPECT_TRUE(sameBits(node.velocity, Vec3{0.f, 0.f, 0.f})) << "node " << i;
    EXPECT_TRUE(sameBits(mesh.parts[0]->positions[i], loaded.positions[i])) << "node " << i;
  }
}

TEST(JellyMesh, SpreadingWorksInPlaceInIndexOrder) {
  // Two nodes 5 apart, each the other's only neighbour (weight 1). Node 0
  // moves at 1 along x; the springs are slack in the first step. Each round:
  // node 0 hands 0.3 of its velocity to node 1 and keeps 0.7, then node 1
  // hands on 0.3 of what it has by then, including node 0's gift:
  //   round 1: (0.7, 0.3)        -> (0.79, 0.21)
  //   round 2: (0.553, 0.447)    -> (0.6871, 0.3129)
  //   round 3: (0.48097, 0.51903) -> (0.636679, 0.363321)
  // (A pass that read the old velocities would end at (0.532, 0.468).)
  EbrMesh mesh = pointMesh({{0, 0, 0}, {5, 0, 0}});
  JellyMesh jelly(mesh);
  jelly.poke(Vec3{-10, 0, 0}, Vec3{1, 0, 0}, 11.f);  // node 0 only: h = 1
  ASSERT_EQ(jelly.nodes()[1].velocity.x, 0.f);
  jelly.step();
  const auto &n = jelly.nodes();
  EXPECT_NEAR(n[0].position.x, 0.00636679, 1e-7);
  EXPECT_NEAR(n[1].position.x, 5.00363321, 1e-6);
  EXPECT_NEAR(n[0].velocity.x, 0.636679 * 0.99, 1e-6);
  EXPECT_NEAR(n[1].velocity.x, 0.363321 * 0.99, 1e-6);
  EXPECT_EQ(n[0].velocity.y, 0.f);
  EXPECT_EQ(n[1].velocity.z, 0.f);
}

TEST(JellyMesh, SpreadingConservesTotalVelocity) {
  // In the first step after a kick every spring is slack, so the three
  // spreading passes alone act, and only the final 0.99 is lost.
  EbrMesh mesh = literal::jellyBlob(8, 20.f);
  JellyMesh jelly(mesh);
  jelly.poke(jelly.nodes()[7].position, Vec3{0.f, 0.f, 40.f}, 15.f);
  jelly.poke(jelly.nodes()[300].position, Vec3{-25.f, 10.f, 0.f}, 12.f);
  const Vec3 before = totalVelocity(jelly);
  double magnitude = 0.0;
  int kicked = 0;
  for (const JellyNode &node : jelly.nodes()) {
    magnitude += std::fabs(node.velocity.x) + std::fabs(node.velocity.y) + std::fabs(node.velocity.z);
    kicked += node.velocity.z != 0.f || node.velocity.x != 0.f;
  }
  ASSERT_GT(kicked, 20);
  jelly.step();
  const Vec3 after = totalVelocity(jelly);
  const double tolerance = 1e-5 * magnitude;
  EXPECT_NEAR(after.x, 0.99 * before.x, tolerance);
  EXPECT_NEAR(after.y, 0.99 * before.y, tolerance);
  EXPECT_NEAR(after.z, 0.99 * before.z, tolerance);
  // And it did spread: more nodes move than were kicked.
  int moving = 0;
  for (const JellyNode &node : jelly.nodes())
    moving += node.velocity.z != 0.f || node.velocity.x != 0.f;
  EXPECT_GT(moving, kicked);
}

TEST(JellyMesh, LoneNodeOnlyFeelsItsSpring) {
  // Node 0 has no neighbour; its 0.3 share per round goes nowhere, and after
  // the first step its spring pulls it back by 0.03 |d| d per round.
  EbrMesh mesh = pointMesh({{100, 0, 0}, {0, 0, 0}, {3, 0, 0}});
  JellyMesh jelly(mesh);
  jelly.poke(Vec3{100, 0, 0}, Vec3{0, 0, 1000}, 1.f);
  double z = 0.0, v = 1000.0;
  for (int s = 0; s < 4; ++s) {
    const double kick = 0.03 * std::fabs(z) * -z;
    for (int round = 0; round < 3; ++round)
      v = (v + kick) * 0.7;
    z += 0.01 * v;
    v *= 0.99;
    jelly.step();
    const JellyNode &lone = jelly.nodes()[0];
    EXPECT_NEAR(lone.position.z, z, 1e-4 * std::fabs(z)) << "step " << s;
    EXPECT_NEAR(lone.velocity.z, v, 1e-4 * std::fabs(v)) << "step " << s;
    EXPECT_EQ(lone.position.x, 100.f);
    for (int i : {1, 2}) {
      EXPECT_TRUE(sameBits(jelly.nodes()[i].position, jelly.nodes()[i].rest));
      EXPECT_TRUE(sameBits(jelly.nodes()[i].velocity, Vec3{0.f, 0.f, 0.f}));
    }
  }
}

TEST(JellyMesh, OnlyTheFirstPartIsSimulatedAndWritten) {
  // The second part, a copy of the blob shifted by 0.5, lies among the first
  // part's vertices; none of it may become a node, a neighbour, or move.
  EbrMesh mesh = literal::jellyBlob(4, 20.f);
  EbrPart copy = *mesh.parts[0];
  for (Vec3 &p : copy.positions)
    p.x += 0.5f;
  ASSERT_TRUE(mesh.addPart("other", copy.positions, copy.texCoords, copy.indices));
  JellyMesh jelly(mesh);
  ASSERT_EQ(jelly.nodeCount(), copy.vertexCount);
  for (int32_t i = 0; i < jelly.nodeCount(); ++i)
    for (int32_t n = 0; n < jelly.nodes()[i].neighbourCount; ++n)
      ASSERT_LT(jelly.neighbours(i)[n], jelly.nodeCount());
  for (int32_t i = 0; i < jelly.nodeCount(); i += 5)
    jelly.poke(jelly.nodes()[i].position, Vec3{3.f, 4.f, 5.f}, 15.f);
  for (int s = 0; s < 3; ++s)
    jelly.step();
  int moved = 0;
  for (int32_t i = 0; i < jelly.nodeCount(); ++i) {
    EXPECT_TRUE(sameBits(mesh.parts[0]->positions[i], jelly.nodes()[i].position)) << "node " << i;
    EXPECT_TRUE(sameBits(mesh.parts[1]->positions[i], copy.positions[i])) << "vertex " << i;
    moved += !sameBits(jelly.nodes()[i].position, jelly.nodes()[i].rest);
  }
  EXPECT_GT(moved, jelly.nodeCount() / 2);
}

// ---- Against the literal version ----------------------------------------------

// Steps both versions side by side with the letter scene's kicks (three nodes,
// 350 x their normal, radius 15) every `beatEvery` steps and requires the same
// floats in every node and in the mesh after every step.
void expectSameAsLiteral(EbrMesh &mine, EbrMesh &theirs, int steps, int beatEvery) {
  JellyMesh jelly(mine);
  literal::JellyMesh reference(theirs);
  ASSERT_EQ(jelly.nodeCount(), reference.nodeCount);
  for (int32_t i = 0; i < jelly.nodeCount(); ++i) {
    const literal::JellyNode &r = reference.nodes[i];
    ASSERT_EQ(jelly.nodes()[i].neighbourCount, r.neighbourCount) << "node " << i;
    ASSERT_EQ(std::memcmp(jelly.neighbours(i), r.neighbours, sizeof(int32_t) * r.neighbourCount), 0);
    ASSERT_EQ(std::memcmp(jelly.weights(i), r.weights, sizeof(float) * r.neighbourCount), 0);
  }
  uint32_t seed = 7u;
  for (int s = 0; s < steps; ++s) {
    if (s % beatEvery == 0)
      for (int kick = 0; kick < 3; ++kick) {
        seed = seed * 1664525u + 1013904223u;
        const int32_t n = static_cast<int32_t>((seed >> 8) % static_cast<uint32_t>(jelly.nodeCount()));
        const Vec3 at = jelly.nodes()[n].position, normal = jelly.nodes()[n].normal;
        const Vec3 dir{350.f * normal.x, 350.f * normal.y, 350.f * normal.z};
        jelly.poke(at, dir, 15.f);
        reference.poke(at, dir, 15.f);
      }
    jelly.step();
    reference.step();
    for (int32_t i = 0; i < jelly.nodeCount(); ++i) {
      const JellyNode &a = jelly.nodes()[i];
      const literal::JellyNode &b = reference.nodes[i];
      ASSERT_TRUE(sameBits(a.position, b.position)) << "step " << s << " node " << i;
      ASSERT_TRUE(sameBits(a.velocity, b.velocity)) << "step " << s << " node " << i;
      ASSERT_TRUE(sameBits(mine.parts[0]->positions[i], theirs.parts[0]->positions[i])) << "step " << s;
    }
  }
}

TEST(JellyMesh, MatchesTheLiteralVersionBitForBit) {
  EbrMesh mine = literal::jellyBlob(12, 20.f), theirs = literal::jellyBlob(12, 20.f);
  expectSameAsLiteral(mine, theirs, 100, 10);
}

TEST(JellyMesh, MatchesTheLiteralVersionWithFullNeighbourLists) {
  // Nearly every node has a full list of 1,000. Loose points have no normals,
  // so they get one by hand to give the kicks a direction.
  EbrMesh mine = pointMesh(crowd()), theirs = pointMesh(crowd());
  for (EbrMesh *m : {&mine, &theirs})
    for (Vec3 &n : m->parts[0]->normals)
      n = Vec3{0.f, 0.6f, 0.8f};
  expectSameAsLiteral(mine, theirs, 20, 5);
}

TEST(JellyMesh, MatchesTheLiteralVersionOnScatteredPoints) {
  // An odd number of points strewn through a box: lone nodes, nodes with a few
  // neighbours, consecutive nodes that are and are not linked.
  std::vector<Vec3> points;
  uint32_t seed = 99u;
  const auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<float>(seed >> 8) * (90.f / 16777216.f);
  };
  for (int i = 0; i < 301; ++i) {
    const float x = next(), y = next(), z = next();
    points.push_back(Vec3{x, y, z});
  }
  EbrMesh mine = pointMesh(points), theirs = pointMesh(points);
  {
    JellyMesh probe(mine);
    int lone = 0, linkedPairs = 0;
    for (int32_t i = 0; i < probe.nodeCount(); ++i) {
      lone += probe.nodes()[i].neighbourCount == 0;
      const std::vector<int32_t> n = neighbourList(probe, i);
      linkedPairs += i % 2 == 0 && std::find(n.begin(), n.end(), i + 1) != n.end();
    }
    ASSERT_GT(lone, 10);
    ASSERT_GT(linkedPairs, 0);
  }
  for (EbrMesh *m : {&mine, &theirs})
    for (size_t i = 0; i < points.size(); ++i)
      m->parts[0]->normals[i] = Vec3{0.f, i % 2 ? 0.6f : -0.6f, 0.8f};
  expectSameAsLiteral(mine, theirs, 60, 4);
}

} // namespace
} // namespace demo::test
