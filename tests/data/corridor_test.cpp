// The corridor metaball scene's files as the build baked them, read back
// with the show's own readers and checked against what the scene does with
// them: the flight path through Box59, the atlas the mesh maps into, the
// metaball program and textures, and the pictures drawn at fixed pixel
// positions.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "bake/bake.h"
#include "bake/corridor_pictures.h"
#include "gfx/cg_program.h"
#include "gfx/texture.h"
#include "gl_fixture.h"
#include "base/data_path.h"
#include "scene/scene.h"
#include "support/baked_data.h"

namespace demo::test {
namespace {

// The flight: eye x = 60 sin(swing) + 30 (swing is any angle), eye z =
// 100 sin(0.1 travel) - 100, eye y = 30 travel with travel >= 0.
constexpr float kEyeMinX = -30.f, kEyeMaxX = 90.f, kEyeMinZ = -200.f, kEyeMaxZ = 0.f;
// The metaballs come after the corridor without a depth clear, with their own
// projection (near 0.1, far 20; the far side of the balls is 2.2 units from
// their eye, window depth 0.959). The corridor's projection (near 1, far
// 2000) writes a smaller depth than that wherever the corridor is nearer than
// about 24 units, and cuts into the balls there.
constexpr float kClearance = 24.f;
// A quiet passage adds 14 + 60 x 0.25 units of travel a second at 60 frames a
// second; a thousand units of travel is 30000 world units.
constexpr float kLeastLength = 30000.f;

class CorridorData : public BakedDataTest {};

// Where the scene puts a mesh point: glTranslatef(-60, 0, 0), glScalef(1.3, 1.3, -2.6).
Vec3 toWorld(const Vec3 &p) { return Vec3{1.3f * p.x - 60.f, 1.3f * p.y, -2.6f * p.z}; }

MeshNode *corridorNode(Scene &scene) { return dynamic_cast<MeshNode *>(scene.findNode("Box59")); }

// The distance on the x-z plane between the triangle's projection and the
// rectangle [x0, x1] x [z0, z1]: 0 when they overlap (separating axes: the
// rectangle's two and the triangle's three edge normals), else the nearest
// of vertex to rectangle and rectangle corner to edge.
float sectionDistance(const std::array<Vec3, 3> &t, float x0, float x1, float z0, float z1) {
  auto separated = [&](float ax, float az) {
    float tMin = 1e30f, tMax = -1e30f, rMin = 1e30f, rMax = -1e30f;
    for (const Vec3 &p : t) {
      float d = p.x * ax + p.z * az;
      tMin = std::min(tMin, d);
      tMax = std::max(tMax, d);
    }
    for (float x : {x0, x1})
      for (float z : {z0, z1}) {
        float d = x * ax + z * az;
        rMin = std::min(rMin, d);
        rMax = std::max(rMax, d);
      }
    return tMax < rMin || rMax < tMin;
  };
  bool apart = separated(1.f, 0.f) || separated(0.f, 1.f);
  for (int i = 0; i < 3 && !apart; ++i) {
    const Vec3 &a = t[static_cast<size_t>(i)], &b = t[static_cast<size_t>((i + 1) % 3)];
    float ex = b.x - a.x, ez = b.z - a.z;
    apart = (ex != 0.f || ez != 0.f) && separated(-ez, ex);
  }
  if (!apart)
    return 0.f;
  float best = 1e30f;
  for (const Vec3 &p : t) {
    float dx = std::max({x0 - p.x, 0.f, p.x - x1}), dz = std::max({z0 - p.z, 0.f, p.z - z1});
    best = std::min(best, std::hypot(dx, dz));
  }
  for (int i = 0; i < 3; ++i) {
    const Vec3 &a = t[static_cast<size_t>(i)], &b = t[static_cast<size_t>((i + 1) % 3)];
    float ex = b.x - a.x, ez = b.z - a.z, len2 = ex * ex + ez * ez;
    for (float x : {x0, x1})
      for (float z : {z0, z1}) {
        float f = len2 > 0.f ? std::clamp(((x - a.x) * ex + (z - a.z) * ez) / len2, 0.f, 1.f) : 0.f;
        best = std::min(best, std::hypot(x - a.x - f * ex, z - a.z - f * ez));
      }
  }
  return best;
}

// --- The corridor mesh ------------------------------------------------------

TEST_F(CorridorData, Box59DrawsItsFirstSubmeshFromConsistentArrays) {
  Scene scene("data/gang.gsp");
  MeshNode *node = corridorNode(scene);
  ASSERT_NE(node, nullptr);
  ASSERT_GE(node->submeshCount, 1);
  const int32_t count = scene.submeshIndexCount(*node, 0);
  ASSERT_GT(count, 0);
  EXPECT_EQ(count % 3, 0);
  const uint32_t *indices = scene.submeshIndices(*node, 0);
  ASSERT_NE(indices, nullptr);
  const size_t vertices = scene.meshVertices(*node).size();
  EXPECT_EQ(scene.meshNormals(*node).size(), vertices);
  EXPECT_EQ(scene.meshTexCoords(*node).size(), 2 * vertices);
  EXPECT_TRUE(std::all_of(indices, indices + count, [&](uint32_t i) { return i < vertices; }));
}

TEST_F(CorridorData, CorridorRunsFromBehindTheFirstEyeToTensOfThousandsAhead) {
  Scene scene("data/gang.gsp");
  MeshNode *node = corridorNode(scene);
  ASSERT_NE(node, nullptr);
  float minY = 1e30f, maxY = -1e30f;
  for (const Vec3 &p : node->positions) {
    Vec3 w = toWorld(p);
    minY = std::min(minY, w.y);
    maxY = std::max(maxY, w.y);
  }
  EXPECT_LE(minY, -100.f);
  EXPECT_GE(maxY, kLeastLength + 500.f) << "the fog reaches 500 units past the eye";
}

TEST_F(CorridorData, WallsFloorAndCeilingEncloseThePathAllTheWay) {
  Scene scene("data/gang.gsp");
  MeshNode *node = corridorNode(scene);
  ASSERT_NE(node, nullptr);
  const Submesh &sub0 = node->submeshes[0];
  // Every 250 units, something on each of the four sides of the path spans it.
  const int stations = static_cast<int>(kLeastLength / 250.f) + 1;
  std::vector<std::array<bool, 4>> covered(static_cast<size_t>(stations), {false, false, false, false});
  for (size_t t = 0; t + 2 < sub0.indices.size(); t += 3) {
    Vec3 a = toWorld(node->positions[sub0.indices[t]]), b = toWorld(node->positions[sub0.indices[t + 1]]),
         c = toWorld(node->positions[sub0.indices[t + 2]]);
    float cx = (a.x + b.x + c.x) / 3.f, cz = (a.z + b.z + c.z) / 3.f;
    int side = cx < kEyeMinX ? 0 : cx > kEyeMaxX ? 1 : cz < kEyeMinZ ? 2 : cz > kEyeMaxZ ? 3 : -1;
    if (side < 0)
      continue;
    float y0 = std::min({a.y, b.y, c.y}), y1 = std::max({a.y, b.y, c.y});
    for (int s = std::max(0, static_cast<int>(std::ceil(y0 / 250.f))); s < stations && s * 250.f <= y1; ++s)
      covered[static_cast<size_t>(s)][static_cast<size_t>(side)] = true;
  }
  const char *names[4] = {"left wall", "right wall", "floor", "ceiling"};
  for (int s = 0; s < stations; ++s)
    for (int side = 0; side < 4; ++side)
      EXPECT_TRUE(covered[static_cast<size_t>(s)][static_cast<size_t>(side)])
          << names[side] << " missing at y = " << s * 250;
}

TEST_F(CorridorData, NothingComesCloseEnoughToTheFlightToCutTheMetaballs) {
  Scene scene("data/gang.gsp");
  MeshNode *node = corridorNode(scene);
  ASSERT_NE(node, nullptr);
  const Submesh &sub0 = node->submeshes[0];
  int intruders = 0;
  for (size_t t = 0; t + 2 < sub0.indices.size(); t += 3) {
    std::array<Vec3, 3> tri = {toWorld(node->positions[sub0.indices[t]]),
                               toWorld(node->positions[sub0.indices[t + 1]]),
                               toWorld(node->positions[sub0.indices[t + 2]])};
    if (sectionDistance(tri, kEyeMinX, kEyeMaxX, kEyeMinZ, kEyeMaxZ) < kClearance)
      ++intruders;
  }
  EXPECT_EQ(intruders, 0);
}

TEST_F(CorridorData, TrianglesWindTheWayTheirNormalsFace) {
  Scene scene("data/gang.gsp");
  MeshNode *node = corridorNode(scene);
  ASSERT_NE(node, nullptr);
  const Submesh &sub0 = node->submeshes[0];
  int wrong = 0, checked = 0;
  for (size_t t = 0; t + 2 < sub0.indices.size(); t += 3) {
    const Vec3 &a = node->positions[sub0.indices[t]], &b = node->positions[sub0.indices[t + 1]],
               &c = node->positions[sub0.indices[t + 2]];
    Vec3 face = cross(sub(b, a), sub(c, a));
    if (dot(face, face) < 1e-8f)
      continue;
    ++checked;
    if (dot(face, node->normals[sub0.indices[t]]) <= 0.f)
      ++wrong;
  }
  EXPECT_GT(checked, 1000);
  EXPECT_EQ(wrong, 0) << wrong << " of " << checked;
}

TEST_F(CorridorData, EveryTriangleSamplesOneColumnOfTheAtlas) {
  Scene scene("data/gang.gsp");
  MeshNode *node = corridorNode(scene);
  ASSERT_NE(node, nullptr);
  const std::array<bake::AtlasColumn, 6> columns = {bake::kWallColumn,   bake::kFloorColumn,  bake::kCeilingColumn,
                                                     bake::kRibColumn,    bake::kHazardColumn, bake::kLampColumn};
  auto columnOf = [&](float u) {
    for (size_t c = 0; c < columns.size(); ++c)
      if (u * bake::kCorridorAtlasSize > columns[c].x0 && u * bake::kCorridorAtlasSize < columns[c].x1)
        return static_cast<int>(c);
    return -1;
  };
  const Submesh &sub0 = node->submeshes[0];
  int straddling = 0;
  for (size_t t = 0; t + 2 < sub0.indices.size(); t += 3) {
    int c0 = columnOf(node->texCoords[2 * sub0.indices[t]]);
    int c1 = columnOf(node->texCoords[2 * sub0.indices[t + 1]]);
    int c2 = columnOf(node->texCoords[2 * sub0.indices[t + 2]]);
    if (c0 < 0 || c0 != c1 || c0 != c2)
      ++straddling;
  }
  EXPECT_EQ(straddling, 0);
}

TEST_F(CorridorData, WallAtlasIsAnOpaqueSquarePicture) {
  // From its second frame the corridor is drawn with blending left on
  // (source alpha): any alpha below 1 would let the black through.
  PngImage atlas = decodePng(resolveDataPath("data/vegg.png").c_str());
  ASSERT_FALSE(atlas.empty());
  EXPECT_EQ(atlas.width, bake::kCorridorAtlasSize);
  EXPECT_EQ(atlas.height, bake::kCorridorAtlasSize);
  if (atlas.channels == 4)
    for (size_t i = 3; i < atlas.data.size(); i += 4)
      ASSERT_EQ(atlas.data[i], 255) << "pixel " << i / 4;
  else
    EXPECT_EQ(atlas.channels, 3);
}

TEST_F(CorridorData, AtlasColumnsRepeatSeamlesslyAlongV) {
  PngImage atlas = decodePng(resolveDataPath("data/vegg.png").c_str());
  ASSERT_FALSE(atlas.empty());
  // The last row against the first compared with neighbouring rows inside.
  auto rowDifference = [&](int a, int b) {
    double sum = 0.0;
    for (int x = 0; x < atlas.width; ++x)
      for (int c = 0; c < atlas.channels; ++c)
        sum += std::abs(atlas.data[(static_cast<size_t>(a) * atlas.width + x) * atlas.channels + c] -
                        atlas.data[(static_cast<size_t>(b) * atlas.width + x) * atlas.channels + c]);
    return sum / (atlas.width * atlas.channels);
  };
  double inside = 0.0;
  for (int y = 1; y < atlas.height; ++y)
    inside = std::max(inside, rowDifference(y - 1, y));
  EXPECT_LE(rowDifference(atlas.height - 1, 0), inside);
}

// --- The metaballs -----------------------------------------------------------

TEST_F(CorridorData, MetaballTexturesAreThreeComponentPowerOfTwoSquares) {
  for (const char *name : {"data/envmap_metaballs.jpg", "data/ooo.jpg"}) {
    JpegImage image;
    ASSERT_NO_FATAL_FAILURE(loadThreeComponentJpeg(resolveDataPath(name), image)) << name;
    EXPECT_EQ(image.width, image.height) << name;
    EXPECT_TRUE(powerOfTwo(image.width)) << name;
  }
}

TEST_F(CorridorData, RingPatternWrapsWithoutASeam) {
  // Unit 1 repeats it across the balls (coordinates -1..1).
  JpegImage image = loadJpeg(resolveDataPath("data/ooo.jpg").c_str());
  ASSERT_FALSE(image.empty());
  auto at = [&](int x, int y, int c) {
    return static_cast<int>(image.data[static_cast<size_t>(y) * image.stride + 3 * x + c]);
  };
  auto columnDifference = [&](int a, int b) {
    double sum = 0.0;
    for (int y = 0; y < image.height; ++y)
      for (int c = 0; c < 3; ++c)
        sum += std::abs(at(a, y, c) - at(b, y, c));
    return sum / (3.0 * image.height);
  };
  auto rowDifference = [&](int a, int b) {
    double sum = 0.0;
    for (int x = 0; x < image.width; ++x)
      for (int c = 0; c < 3; ++c)
        sum += std::abs(at(x, a, c) - at(x, b, c));
    return sum / (3.0 * image.width);
  };
  double columns = 0.0, rows = 0.0;
  for (int i = 1; i < image.width; ++i) {
    columns += columnDifference(i - 1, i) / (image.width - 1);
    rows += rowDifference(i - 1, i) / (image.height - 1);
  }
  // JPEG blocks add a little at the picture's edges: allow twice the typical
  // step between neighbours.
  EXPECT_LE(columnDifference(image.width - 1, 0), 2.0 * columns + 1.0);
  EXPECT_LE(rowDifference(image.height - 1, 0), 2.0 * rows + 1.0);
}

class MetaballProgram : public BakedDataGLTest {
protected:
  void TearDown() override {
    glUseProgram(0);
    for (unsigned name : textures_)
      glDeleteTextures(1, &name);
    BakedDataGLTest::TearDown();
  }
  void solidTexture(int unit, uint8_t r, uint8_t g, uint8_t b) { textures_.push_back(makeSolidTexture(unit, r, g, b)); }
  std::vector<unsigned> textures_;
};

TEST_F(MetaballProgram, BakedProgramBuildsWithoutAnyMessage) {
  CgContext context;
  testing::internal::CaptureStdout();
  CgProgram program("data/metaballsfp.txt", &context, "main");
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_NE(program.program, 0u) << printed;
  // Only the listing's newline: no error text and an empty log.
  EXPECT_EQ(printed, "\n");
}

TEST_F(MetaballProgram, SamplesUnitZeroAndOneAndMultipliesThemByTheColour) {
  CgContext context;
  testing::internal::CaptureStdout();
  CgProgram program("data/metaballsfp.txt", &context, "main");
  testing::internal::GetCapturedStdout();
  ASSERT_NE(program.program, 0u);
  solidTexture(0, 255, 128, 255);
  solidTexture(1, 128, 255, 255);
  program.bind();
  glColor4f(1.f, 1.f, 0.5f, 1.f);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glBegin(GL_QUADS);
  const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
  for (const auto &c : corners) {
    glMultiTexCoord2f(GL_TEXTURE0, (c[0] + 1) / 2, (c[1] + 1) / 2);
    glMultiTexCoord2f(GL_TEXTURE1, (c[0] + 1) / 2, (c[1] + 1) / 2);
    glVertex2f(c[0], c[1]);
  }
  glEnd();
  program.unbind();
  Rgb c = pixel(400, 300);
  EXPECT_NEAR(c.r, 128, 3);
  EXPECT_NEAR(c.g, 128, 3);
  EXPECT_NEAR(c.b, 128, 3);
  EXPECT_EQ(takeGlError(), 0u);
}

// --- Pictures at fixed places ---------------------------------------------------

TEST_F(CorridorData, MarkerPictureCoversTheScreenTopWhenTheIntroEnds) {
  // drawAt(0, 300 - 10 T) at its own size until T = 35.87: its top edge must
  // still reach the screen's top row then.
  JpegImage marker;
  ASSERT_NO_FATAL_FAILURE(loadThreeComponentJpeg(resolveDataPath("data/marker.jpg"), marker));
  EXPECT_EQ(marker.width, 800);
  EXPECT_GE(300.f - 10.f * 35.87f + marker.height, 600.f);
}

TEST_F(CorridorData, GreetingsFillTheScreenAndLeaveItsBrightnessOnAverage) {
  // Blended with (GL_DST_COLOR, GL_SRC_ALPHA) at colour alpha 0.3, a pixel p
  // with alpha a scales the picture below by p + 0.3 a: transparent pixels
  // would black it out, and the mean factor should stay near 1.
  PngImage greetings = decodePng(resolveDataPath("data/greetings.png").c_str());
  ASSERT_FALSE(greetings.empty());
  EXPECT_EQ(greetings.width, 800);
  EXPECT_EQ(greetings.height, 600);
  double factor = 0.0;
  size_t count = 0;
  for (size_t i = 0; i < greetings.data.size(); i += static_cast<size_t>(greetings.channels)) {
    float a = greetings.channels == 4 ? greetings.data[i + 3] / 255.f : 1.f;
    ASSERT_GT(a, 0.99f) << "pixel " << i / greetings.channels;
    for (int c = 0; c < 3; ++c, ++count)
      factor += greetings.data[i + static_cast<size_t>(c)] / 255.0 + 0.3 * a;
  }
  factor /= static_cast<double>(count);
  EXPECT_GT(factor, 0.9);
  EXPECT_LT(factor, 1.15);
}

TEST_F(CorridorData, GroupLogoStandsCentredOnScreenAtItsRestingPlace) {
  PngImage logo = decodePng(resolveDataPath("data/overlays/o_kestrane.png").c_str());
  ASSERT_FALSE(logo.empty());
  ASSERT_EQ(logo.channels, 4);
  // Drawn with its lower-left corner at (-20, 160).
  EXPECT_LE(160 + logo.height, 600);
  double weight = 0.0, sumX = 0.0;
  int clear = 0;
  for (int y = 0; y < logo.height; ++y)
    for (int x = 0; x < logo.width; ++x) {
      int a = logo.data[(static_cast<size_t>(y) * logo.width + x) * 4 + 3];
      weight += a;
      sumX += static_cast<double>(a) * (x + 0.5);
      clear += a == 0;
    }
  ASSERT_GT(weight, 0.0);
  EXPECT_NEAR(sumX / weight - 20.0, 400.0, 8.0);
  EXPECT_GT(clear, logo.width * logo.height / 4);
}

TEST_F(CorridorData, BorderBandIsDarkAtItsOuterEdgeAndTilesSideways) {
  PngImage band = decodePng(resolveDataPath("data/overlays/o_border.png").c_str());
  ASSERT_FALSE(band.empty());
  ASSERT_EQ(band.channels, 4);
  auto alpha = [&](int x, int y) { return band.data[(static_cast<size_t>(y) * band.width + x) * 4 + 3]; };
  for (int x = 0; x < band.width; ++x) {
    EXPECT_EQ(alpha(x, band.height - 1), 255) << "v = 1 is the edge towards the screen border";
    EXPECT_LE(alpha(x, 0), 16) << "the inner edge fades out";
  }
  for (int y = 0; y < band.height; ++y)
    EXPECT_LE(std::abs(alpha(0, y) - alpha(band.width - 1, y)), 8) << "row " << y;
}

// --- Determinism -----------------------------------------------------------

TEST_F(CorridorData, BakingAgainWritesTheSameBytes) {
  expectBakingAgainWritesTheSameBytes(bake::bakeCorridor);
}

} // namespace
} // namespace demo::test
