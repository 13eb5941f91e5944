#include "effects/water_surface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <set>

#include "reference/water_literal.h"

namespace demo::test {
namespace {

constexpr int kSide = WaterSurface::kSide;

size_t indexOf(const WaterSurface &w, int x, int y) {
  return static_cast<size_t>(&w.cell(x, y) - w.cells.data());
}

size_t at(int x, int y) { return static_cast<size_t>(y * kSide + x); }

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

double energy(const WaterSurface &w) {
  double e = 0.0;
  for (const WaterCell &c : w.cells)
    e += static_cast<double>(c.height) * c.height + static_cast<double>(c.velocity) * c.velocity;
  return e;
}

// --- the mirrored lookup ---------------------------------------------------

TEST(WaterLookup, ReflectsAtEveryEdgeAndCornerWithoutRepeatingTheEdge) {
  const WaterSurface w;
  // {asked x, y, cell x, y}
  const int cases[][4] = {{-1, 5, 1, 5},     {130, 5, 128, 5},   {129, 5, 129, 5},   {0, 5, 0, 5},
                          {5, -1, 5, 1},     {5, 130, 5, 128},   {5, 129, 5, 129},   {-1, -1, 1, 1},
                          {130, -1, 128, 1}, {-1, 130, 1, 128},  {130, 130, 128, 128}, {129, 129, 129, 129}};
  for (const auto &c : cases)
    EXPECT_EQ(indexOf(w, c[0], c[1]), at(c[2], c[3])) << c[0] << "," << c[1];
}

TEST(WaterLookup, AgreesWithTheSingleReflectionOverItsWholeRange) {
  WaterSurface w;
  WaterLiteral plain;
  for (int c = -129; c <= 258; ++c) {
    EXPECT_EQ(indexOf(w, c, 7), static_cast<size_t>(&plain.cell(c, 7) - plain.cells.data())) << c;
    EXPECT_EQ(indexOf(w, 7, c), static_cast<size_t>(&plain.cell(7, c) - plain.cells.data())) << c;
  }
}

TEST(WaterLookup, FarCoordinatesKeepReflectingInsideTheGrid) {
  const WaterSurface w;
  EXPECT_EQ(indexOf(w, 259, 0), at(1, 0));   // past 258: the mirror at 0 again
  EXPECT_EQ(indexOf(w, -259, 0), at(1, 0));
  EXPECT_EQ(indexOf(w, 0, 516), at(0, 0));   // two full periods
  for (int c : {INT_MIN, INT_MIN + 1, INT_MAX, 100000, -100000}) {
    EXPECT_LT(indexOf(w, c, c), static_cast<size_t>(WaterSurface::kCellCount)) << c;
  }
}

// --- drops -----------------------------------------------------------------

TEST(WaterDrop, ChangesExactlyTheOpenDiscAndAddsStrengthTimesRadiusSquaredAtTheCentre) {
  WaterSurface w;
  const float s = 0.05f;
  w.addDrop(0.5f, 0.5f, 0.1f, s);  // centre (65, 65), radius 13 cells
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      const int d2 = (x - 65) * (x - 65) + (y - 65) * (y - 65);
      const WaterCell &c = w.cells[at(x, y)];
      EXPECT_EQ(c.height, 0.f);
      if (d2 < 169) {
        EXPECT_GT(c.velocity, 0.f) << x << "," << y;
      } else {
        EXPECT_EQ(c.velocity, 0.f) << x << "," << y;
      }
    }
  }
  EXPECT_FLOAT_EQ(w.cells[at(65, 65)].velocity, (13.f * s) * (13.f * s));
  w.step();
  EXPECT_LT(w.cells[at(65, 65)].height, 0.f);
}

TEST(WaterDrop, IsCutOffAtTheGridEdgeWithoutWrappingOrMirroring) {
  WaterSurface w;
  w.addDrop(0.f, 0.5f, 0.1f, 0.05f);  // centre (0, 65): only the right half-disc
  int changed = 0, expected = 0;
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      const bool inside = x * x + (y - 65) * (y - 65) < 169;
      expected += inside;
      changed += w.cells[at(x, y)].velocity != 0.f;
      if (!inside) {
        EXPECT_EQ(w.cells[at(x, y)].velocity, 0.f) << x << "," << y;
      }
    }
  }
  EXPECT_EQ(changed, expected);
  // A centre one cell beyond the far corner leaves a quarter-disc.
  WaterSurface corner;
  corner.addDrop(1.f, 1.f, 0.1f, 0.05f);  // centre (130, 130)
  EXPECT_GT(corner.cells[at(129, 129)].velocity, 0.f);
  EXPECT_EQ(corner.cells[at(0, 0)].velocity, 0.f);
  EXPECT_EQ(corner.cells[at(129, 117)].velocity, 0.f);  // 13 cells from the centre
}

TEST(WaterDrop, OddArgumentsGiveWhatThePlainLoopGives) {
  // Zero, negative, huge and NaN radii, centres far outside, NaN centres.
  const float cases[][4] = {{0.5f, 0.5f, 0.f, 1.f},     {0.5f, 0.5f, -0.1f, 0.05f},
                            {0.2f, 0.7f, 1e7f, 1e-9f},  {5.f, 0.5f, 0.1f, 0.05f},
                            {-0.2f, -0.2f, 0.3f, 0.05f}, {0.5f, 0.5f, std::nanf(""), 1.f},
                            {std::nanf(""), 0.5f, 0.1f, 1.f}, {2e6f, 0.5f, 1.f, 1.f}};
  for (const auto &c : cases) {
    WaterSurface w;
    WaterLiteral plain;
    w.addDrop(c[0], c[1], c[2], c[3]);
    plain.addDrop(c[0], c[1], c[2], c[3]);
    EXPECT_EQ(std::memcmp(w.cells.data(), plain.cells.data(), w.cells.size() * sizeof(WaterCell)), 0)
        << c[0] << " " << c[1] << " " << c[2] << " " << c[3];
  }
  WaterSurface none;
  none.addDrop(0.5f, 0.5f, 0.f, 1.f);
  EXPECT_EQ(energy(none), 0.0);
}

// --- the step --------------------------------------------------------------

TEST(WaterStep, FlatSurfaceAtRestStaysExactlyFlat) {
  WaterSurface w;
  for (int i = 0; i < 500; ++i)
    w.step();
  for (const WaterCell &c : w.cells) {
    ASSERT_EQ(c.height, 0.f);
    ASSERT_EQ(c.velocity, 0.f);
  }
}

TEST(WaterStep, UniformSurfaceStaysUniformAndSettlesBackToRest) {
  // The weights sum to 0.8: a flat surface at H gains 0.2 H / 7 a step.
  WaterSurface w;
  w.reset(10.f);
  w.step();
  EXPECT_NEAR(w.cells[0].height, 10.f - 2.f / 7.f, 1e-5f);
  for (int i = 1; i < 2000; ++i)
    w.step();
  for (const WaterCell &c : w.cells) {
    ASSERT_TRUE(sameBits(c.height, w.cells[0].height));
    ASSERT_TRUE(sameBits(c.velocity, w.cells[0].velocity));
  }
  EXPECT_LT(std::fabs(w.cells[0].height), 0.01f);
}

TEST(WaterStep, RipplesTravelAtMostOneCellPerStep) {
  // The disc of radius 13 about (65, 65) lies within columns and rows 53..77.
  WaterSurface w;
  w.addDrop(0.5f, 0.5f, 0.1f, 0.05f);
  const int steps = 20;
  for (int i = 0; i < steps; ++i)
    w.step();
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      const bool reachable = x >= 53 - steps && x <= 77 + steps && y >= 53 - steps && y <= 77 + steps;
      if (!reachable) {
        ASSERT_EQ(w.cells[at(x, y)].height, 0.f) << x << "," << y;
      }
    }
  }
  EXPECT_NE(w.cells[at(53 - steps + 1, 65)].height, 0.f);
}

TEST(WaterStep, SingleDropSpreadsSymmetrically) {
  // Before the ripple meets an edge the field is symmetric about the drop's
  // row and column and its diagonal. The stencil adds the mirrored neighbours
  // in a different order, so equal means equal to float rounding.
  WaterSurface w;
  w.addDrop(0.5f, 0.5f, 0.1f, 0.05f);
  for (int i = 0; i < 40; ++i)
    w.step();
  float peak = 0.f;
  for (const WaterCell &c : w.cells)
    peak = std::max(peak, std::fabs(c.height));
  ASSERT_GT(peak, 0.f);
  const float tolerance = 1e-5f * peak;
  for (int a = 0; a <= 55; ++a) {
    for (int b = 0; b <= 55; ++b) {
      const float h = w.cells[at(65 + a, 65 + b)].height;
      ASSERT_NEAR(w.cells[at(65 - a, 65 + b)].height, h, tolerance) << a << "," << b;
      ASSERT_NEAR(w.cells[at(65 + a, 65 - b)].height, h, tolerance) << a << "," << b;
      ASSERT_NEAR(w.cells[at(65 + b, 65 + a)].height, h, tolerance) << a << "," << b;
    }
  }
  EXPECT_NE(w.cells[at(65 + 45, 65)].height, 0.f);  // it did spread past the disc
}

TEST(WaterStep, RipplesDieDown) {
  WaterSurface w;
  w.addDrop(0.5f, 0.5f, 0.1f, 0.05f);
  double peak = 0.0;
  for (int i = 0; i < 200; ++i) {
    w.step();
    peak = std::max(peak, energy(w));
  }
  double previous = energy(w);
  for (int i = 200; i < 2000; i += 200) {
    for (int k = 0; k < 200; ++k)
      w.step();
    const double e = energy(w);
    EXPECT_LT(e, previous) << "after " << i + 200 << " steps";
    previous = e;
  }
  EXPECT_LT(previous, 1e-5 * peak);
}

// --- softClamp -------------------------------------------------------------

TEST(WaterSoftClamp, FixedPointsSlopeAndSymmetry) {
  EXPECT_EQ(WaterSurface::softClamp(0.f), 0.f);
  EXPECT_FLOAT_EQ(WaterSurface::softClamp(100.f), 0.45f);
  EXPECT_FLOAT_EQ(WaterSurface::softClamp(-100.f), -0.45f);
  EXPECT_NEAR(WaterSurface::softClamp(1e-3f) / 1e-3f, 0.009f, 1e-7f);
  // Increasing, up to the rounding of the quotient (a few float steps).
  float previous = -1.f;
  for (float v = -1e9f; v < 1e9f; v = v > -1.f && v < 1.f ? v + 0.01f : (v < 0.f ? v * 0.99f : v * 1.01f)) {
    const float r = WaterSurface::softClamp(v);
    ASSERT_EQ(WaterSurface::softClamp(-v), -r) << v;
    ASSERT_GE(r, previous - 5e-7f * std::fabs(previous)) << v;
    previous = std::max(previous, r);
  }
  EXPECT_GT(previous, 0.899f);
}

TEST(WaterSoftClamp, NoInputReachesPointNine) {
  // In float the plain quotient rounds to 0.900000036 near 1.864e9, and
  // infinity would give NaN; both are held at 0.9f, just below 0.9.
  const uint32_t overshootBits = 0x4ede38eeu;  // 1.86413645e9
  float plainOvershoot;
  std::memcpy(&plainOvershoot, &overshootBits, sizeof plainOvershoot);
  const float u = 0.01f * plainOvershoot;
  ASSERT_GT(0.9f * u / (std::fabs(u) + 1.f), 0.9f);  // what the curve guards against
  for (float v : {plainOvershoot, 1e20f, std::numeric_limits<float>::max(),
                  std::numeric_limits<float>::infinity()}) {
    EXPECT_EQ(WaterSurface::softClamp(v), 0.9f) << v;
    EXPECT_EQ(WaterSurface::softClamp(-v), -0.9f) << v;
  }
  for (uint32_t bits = 0; bits < 0x7f800000u; bits += 997) {
    float v;
    std::memcpy(&v, &bits, sizeof v);
    ASSERT_LT(std::fabs(static_cast<double>(WaterSurface::softClamp(v))), 0.9) << v;
  }
  EXPECT_TRUE(std::isnan(WaterSurface::softClamp(std::nanf(""))));
}

TEST(WaterSoftClamp, ElevationsAreTheSoftClampedHeightsForOddValuesToo) {
  WaterSurface w;
  const float odd[] = {0.f, -0.f, 1e-40f, 3.f, -250.f, 1.86413645e9f, -1e35f,
                       std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                       std::nanf("")};
  for (size_t k = 0; k < w.cells.size(); ++k)
    w.cells[k].height = odd[k % (sizeof odd / sizeof odd[0])];
  w.updateElevations();
  for (size_t k = 0; k < w.cells.size(); ++k) {
    const float expected = WaterSurface::softClamp(w.cells[k].height);
    ASSERT_TRUE(sameBits(w.vertices[k].z, expected) || (std::isnan(expected) && std::isnan(w.vertices[k].z)))
        << k;
    ASSERT_EQ(w.vertices[k].x, static_cast<float>(k % kSide));
    ASSERT_EQ(w.vertices[k].y, static_cast<float>(k / kSide));
  }
}

// --- normals ---------------------------------------------------------------

TEST(WaterNormals, FlatSurfacesPointStraightUpAndTheBorderStaysZero) {
  for (float height : {0.f, 37.f, -5000.f}) {
    WaterSurface w;
    w.reset(height);
    w.computeNormals();
    for (int y = 0; y < kSide; ++y) {
      for (int x = 0; x < kSide; ++x) {
        const Vec3 &n = w.normals[at(x, y)];
        const bool border = x == 0 || y == 0 || x == kSide - 1 || y == kSide - 1;
        ASSERT_EQ(n.x, 0.f);
        ASSERT_EQ(n.y, 0.f);
        ASSERT_EQ(n.z, border ? 0.f : 1.f) << x << "," << y;
      }
    }
  }
}

TEST(WaterNormals, LeanTowardsTheHigherNeighbour) {
  // h = 3 (x - 65): at column 65 the neighbours' elevations are
  // +-0.9 x 0.03 / 1.03, so n.x = 0.05243 / |(0.05243, 0, 0.155)| = 0.3204.
  WaterSurface w;
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x)
      w.cells[at(x, y)].height = 3.f * static_cast<float>(x - 65);
  w.computeNormals();
  const Vec3 n = w.normals[at(65, 40)];
  EXPECT_NEAR(n.x, 0.3204f, 1e-4f);
  EXPECT_EQ(n.y, 0.f);
  EXPECT_NEAR(n.x * n.x + n.y * n.y + n.z * n.z, 1.f, 1e-6f);
  // The outer rows feed the normals beside them: a raised row 0 tilts row 1
  // towards -y.
  WaterSurface edge;
  for (int x = 0; x < kSide; ++x)
    edge.cells[at(x, 0)].height = 50.f;
  edge.computeNormals();
  EXPECT_LT(edge.normals[at(40, 1)].y, -0.5f);
  EXPECT_EQ(edge.normals[at(40, 2)].y, 0.f);
}

// --- the mesh --------------------------------------------------------------

TEST(WaterMesh, QuadsCoverRowsAndColumnsOneTo128ColumnByColumn) {
  const WaterSurface w;
  ASSERT_EQ(w.indexCount, 64516);
  ASSERT_EQ(w.indices.size(), 64516u);
  const uint32_t first[] = {131, 132, 262, 261, 261, 262, 392, 391};
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(w.indices[static_cast<size_t>(i)], first[i]);
  EXPECT_EQ(w.indices[127 * 4], 132u);  // column 2 starts after 127 quads
  EXPECT_EQ(w.indices[64515], 128u * 130u + 127u);
  std::set<uint32_t> corners;
  for (size_t q = 0; q < w.indices.size(); q += 4) {
    corners.insert(w.indices[q]);
    for (size_t c = 0; c < 4; ++c) {
      const uint32_t k = w.indices[q + c];
      ASSERT_GE(k % 130, 1u);
      ASSERT_LE(k % 130, 128u);
      ASSERT_GE(k / 130, 1u);
      ASSERT_LE(k / 130, 128u);
    }
  }
  EXPECT_EQ(corners.size(), 127u * 127u);
  EXPECT_EQ(w.indices, WaterLiteral().indices);
}

// --- against the plain version --------------------------------------------

TEST(WaterReference, MatchesThePlainVersionBitForBitOver200Frames) {
  // Three drops a frame (some reaching past the edges), step, normals and
  // elevations, from a surface that does not start at rest.
  auto w = std::make_unique<WaterSurface>();
  auto plain = std::make_unique<WaterLiteral>();
  w->reset(3.f);
  plain->reset(3.f);
  std::mt19937 random(11);
  std::uniform_real_distribution<float> where(-0.1f, 1.1f), size(0.f, 0.2f), strength(0.f, 2.f);
  for (int frame = 0; frame < 200; ++frame) {
    for (int d = 0; d < 3; ++d) {
      const float x = where(random), y = where(random), r = size(random), s = strength(random);
      w->addDrop(x, y, r, s);
      plain->addDrop(x, y, r, s);
    }
    w->step();
    plain->step();
    w->computeNormals();
    plain->computeNormals();
    w->updateElevations();
    plain->updateElevations();
    ASSERT_EQ(std::memcmp(w->cells.data(), plain->cells.data(), w->cells.size() * sizeof(WaterCell)), 0)
        << "frame " << frame;
    ASSERT_EQ(std::memcmp(w->normals.data(), plain->normals.data(), w->normals.size() * sizeof(Vec3)), 0)
        << "frame " << frame;
    ASSERT_EQ(std::memcmp(w->vertices.data(), plain->vertices.data(), w->vertices.size() * sizeof(Vec3)), 0)
        << "frame " << frame;
  }
  EXPECT_GT(energy(*w), 0.0);
}

} // namespace
} // namespace demo::test
