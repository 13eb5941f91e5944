// The letter scene's files as the build baked them, read back with the show's
// own readers and checked against what the letter scene does with them.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "bake/bake.h"
#include "effects/jelly_mesh.h"
#include "gfx/texture.h"
#include "gl_fixture.h"
#include "base/data_path.h"
#include "scene/ebr_mesh.h"
#include "scene/view.h"
#include "scene/scene.h"
#include "support/baked_data.h"

namespace demo::test {
namespace {

class LettersData : public BakedDataTest {};

const char *const kLetterNames[] = {"Mesh29", "Mesh39", "Mesh52", "Text02"};

// --- The letters ------------------------------------------------------------------

TEST_F(LettersData, SceneHoldsTheFourLettersAndTheRing) {
  Scene scene("data/bokstavscene.gsp");
  for (const char *name : {"Mesh29", "Mesh39", "Mesh52", "Text02", "Torus02"}) {
    auto *mesh = dynamic_cast<MeshNode *>(scene.findNode(name));
    ASSERT_NE(mesh, nullptr) << name;
    ASSERT_GE(mesh->submeshCount, 1) << name;
    EXPECT_GT(mesh->submeshes[0].indexCount, 0) << name;
    EXPECT_EQ(mesh->submeshes[0].indexCount % 3, 0) << name;
  }
}

// The scene draws the cluster at twice and four times its size, 40 to 120
// units from the blob's centre, seen from 122 units away: each letter must be
// a few units tall and the cluster compact, in rest transforms alone.
TEST_F(LettersData, LettersAreSmallAndGatheredRoundTheClusterCentre) {
  Scene scene("data/bokstavscene.gsp");
  scene.updateTransforms(); // rest transforms only; the file has no lights
  for (const char *name : kLetterNames) {
    auto *mesh = dynamic_cast<MeshNode *>(scene.findNode(name));
    ASSERT_NE(mesh, nullptr) << name;
    float lo = 1e9f, hi = -1e9f, farthest = 0.f;
    for (const Vec3 &p : mesh->positions) {
      Vec3 w = transformPoint(mesh->world, p);
      lo = std::min(lo, p.y);
      hi = std::max(hi, p.y);
      farthest = std::max(farthest, length(w));
    }
    EXPECT_GT(hi - lo, 4.f) << name;
    EXPECT_LT(hi - lo, 16.f) << name;
    EXPECT_LT(farthest, 25.f) << name;
  }
}

// --- The jelly ----------------------------------------------------------------------

TEST_F(LettersData, JellyIsOneClosedWeldedBlobFacingOutwards) {
  EbrMesh blob("data/gummi.ebr");
  ASSERT_EQ(blob.partCount, 1);
  const EbrPart &part = *blob.parts[0];
  EXPECT_GT(part.vertexCount, 300);
  EXPECT_LE(part.vertexCount, 1500);
  // Closed and consistently wound: every directed edge appears once and its
  // reverse once.
  std::map<std::pair<uint32_t, uint32_t>, int> edges;
  for (int32_t t = 0; t < part.triangleCount; ++t)
    for (int k = 0; k < 3; ++k)
      ++edges[{part.indices[3 * t + k], part.indices[3 * t + (k + 1) % 3]}];
  for (const auto &[edge, count] : edges) {
    ASSERT_EQ(count, 1) << edge.first << "-" << edge.second;
    ASSERT_EQ(edges.count({edge.second, edge.first}), 1u) << "open edge " << edge.first << "-" << edge.second;
  }
  Vec3 centre{0.f, 0.f, 0.f};
  for (const Vec3 &p : part.positions)
    centre = Vec3{centre.x + p.x / part.vertexCount, centre.y + p.y / part.vertexCount, centre.z + p.z / part.vertexCount};
  for (int32_t i = 0; i < part.vertexCount; ++i)
    ASSERT_GT(dot(part.normals[i], sub(part.positions[i], centre)), 0.f) << "vertex " << i << " faces inwards";
}

// The jelly links vertices closer than 10 units: each must have some
// neighbours (or it would not wobble with the rest) and not hundreds (the
// step would crawl and every kick would smear over the whole blob).
TEST_F(LettersData, JellyVerticesAreAFewUnitsApartWithTensOfNeighbours) {
  EbrMesh blob("data/gummi.ebr");
  ASSERT_EQ(blob.partCount, 1);
  const EbrPart &part = *blob.parts[0];
  for (int32_t i = 0; i < part.vertexCount; ++i) {
    float nearest = 1e9f;
    for (int32_t j = 0; j < part.vertexCount; ++j)
      if (j != i)
        nearest = std::min(nearest, length(sub(part.positions[i], part.positions[j])));
    ASSERT_GT(nearest, 1.5f) << "vertex " << i;
    ASSERT_LT(nearest, 8.f) << "vertex " << i;
  }
  JellyMesh jelly(blob);
  for (int32_t i = 0; i < jelly.nodeCount(); ++i) {
    ASSERT_GE(jelly.nodes()[i].neighbourCount, 6) << "node " << i;
    ASSERT_LE(jelly.nodes()[i].neighbourCount, 60) << "node " << i;
  }
}

// A kick like one of the scene's (radius 15, 350 along the node's normal)
// raises a bulge: the vertices round the kicked one go out with it, the far
// side of the blob stays put, and the blob settles back to its rest shape.
TEST_F(LettersData, KickRaisesABulgeThatSettlesBack) {
  EbrMesh blob("data/gummi.ebr");
  ASSERT_EQ(blob.partCount, 1);
  for (int32_t k : {0, blob.parts[0]->vertexCount / 2}) {
    JellyMesh jelly(blob);
    const JellyNode kicked = jelly.nodes()[k];
    jelly.poke(kicked.position, Vec3{350.f * kicked.normal.x, 350.f * kicked.normal.y, 350.f * kicked.normal.z}, 15.f);
    for (int step = 0; step < 4; ++step)
      jelly.step();
    auto moved = [](const JellyNode &n) { return length(sub(n.position, n.rest)); };
    float centre = moved(jelly.nodes()[k]), near = 0.f, far = 0.f;
    int nearCount = 0, farCount = 0;
    for (const JellyNode &n : jelly.nodes()) {
      float r = length(sub(n.rest, kicked.rest));
      if (r > 0.f && r < 10.f) {
        near += moved(n);
        ++nearCount;
      } else if (r > 30.f) {
        far += moved(n);
        ++farCount;
      }
    }
    ASSERT_GT(nearCount, 0);
    ASSERT_GT(farCount, 0);
    EXPECT_GT(centre, 5.f) << "node " << k;
    EXPECT_GT(near / nearCount, 0.4f * centre) << "node " << k << ": a lone spike";
    EXPECT_LT(far / farCount, 0.05f * centre) << "node " << k << ": the whole blob moved";
    float most = 0.f;
    for (int step = 4; step < 900; ++step)
      jelly.step();
    for (const JellyNode &n : jelly.nodes())
      most = std::max(most, moved(n));
    EXPECT_LT(most, 1.f) << "node " << k;
  }
}

// --- Pictures ---------------------------------------------------------------------------

TEST_F(LettersData, SphereMapsAndTheSquirrelAreSquareThreeComponentJpegs) {
  for (const char *name : {"phong.jpg", "envmap_gummi.jpg", "ekorn.jpg"}) {
    JpegImage image;
    ASSERT_NO_FATAL_FAILURE(loadThreeComponentJpeg(bakedFile(name), image)) << name;
    EXPECT_EQ(image.width, image.height) << name;
    EXPECT_EQ(nextPowerOfTwo(image.width), image.width) << name;
  }
}

// The loader puts the picture's top row at t = 0 and sphere mapping takes t
// from the reflection's height, so light from above lands in the stored
// picture's lower half.
TEST_F(LettersData, PhongHighlightComesFromAbove) {
  JpegImage image = loadJpeg(bakedFile("phong.jpg").c_str());
  ASSERT_FALSE(image.empty());
  auto brightness = [&](int row0, int row1) {
    double sum = 0.0;
    for (int y = row0; y < row1; ++y)
      for (int x = 0; x < image.width * 3; ++x)
        sum += image.data[static_cast<size_t>(y) * image.stride + x];
    return sum;
  };
  EXPECT_GT(brightness(image.height / 2, image.height), 1.3 * brightness(0, image.height / 2));
}

TEST_F(LettersData, CreditsShareOneSizeThatFitsTheScreenAndDiffer) {
  PngImage code = decodePng(bakedFile("credits/code.png").c_str());
  ASSERT_FALSE(code.empty());
  EXPECT_LT(code.width, 800);
  EXPECT_LT(code.height, 600);
  std::vector<std::vector<uint8_t>> seen;
  for (const char *name : {"credits/code.png", "credits/music.png", "credits/gfx1.png", "credits/gfx2.png"}) {
    PngImage credit = decodePng(bakedFile(name).c_str());
    ASSERT_FALSE(credit.empty()) << name;
    EXPECT_EQ(credit.width, code.width) << name;
    EXPECT_EQ(credit.height, code.height) << name;
    ASSERT_EQ(credit.channels, 4) << name << " is drawn blended by its alpha";
    int clear = 0, solid = 0;
    for (size_t i = 3; i < credit.data.size(); i += 4) {
      clear += credit.data[i] == 0;
      solid += credit.data[i] > 230;
    }
    EXPECT_GT(clear, 0) << name;
    EXPECT_GT(solid, 200) << name << ": the lettering should be opaque";
    for (const auto &other : seen)
      EXPECT_NE(other, credit.data) << name;
    seen.push_back(credit.data);
  }
}

// The corridor scene draws the band with its bottom row at the screen edge
// and repeats it sideways.
TEST_F(LettersData, BorderBandIsOpaqueAtTheEdgeClearInsideAndTilesSideways) {
  PngImage band = decodePng(bakedFile("overlays/o_border.png").c_str());
  ASSERT_FALSE(band.empty());
  ASSERT_EQ(band.channels, 4);
  auto alpha = [&](int x, int y) { return band.data[(static_cast<size_t>(y) * band.width + x) * 4 + 3] / 255.f; };
  float top = 0.f, bottom = 0.f, seam = 0.f;
  for (int x = 0; x < band.width; ++x) {
    top += alpha(x, 0) / band.width;
    bottom += alpha(x, band.height - 1) / band.width;
  }
  for (int y = 0; y < band.height; ++y)
    seam = std::max(seam, std::abs(alpha(0, y) - alpha(band.width - 1, y)));
  EXPECT_LT(top, 0.05f);
  EXPECT_GT(bottom, 0.9f);
  EXPECT_LT(seam, 0.1f);
}

// --- The whole group ---------------------------------------------------------------------

TEST_F(LettersData, BakingAgainWritesTheSameFilesByteForByte) {
  std::vector<std::string> names;
  expectBakingAgainWritesTheSameBytes(bake::bakeLetters, names);
  EXPECT_EQ(names, (std::vector<std::string>{"bokstavscene.gsp", "credits/code.png", "credits/gfx1.png",
                                             "credits/gfx2.png", "credits/music.png", "ekorn.jpg", "envmap_gummi.jpg",
                                             "gummi.ebr", "overlays/o_border.png", "phong.jpg"}));
}

class LettersDataGL : public BakedDataGLTest {};

// At local time 0 the scene's view looks from (-70, 0, -100) straight at the
// origin: the blob, drawn with culling on, covers the middle of the screen.
TEST_F(LettersDataGL, TheBlobFillsTheMiddleOfTheSceneViewWithCullingOn) {
  EbrMesh blob("data/gummi.ebr");
  ASSERT_EQ(blob.partCount, 1);
  setViewClip(-70.f, 0.f, -100.f, 0.f, 0.f, 0.f, 0.f, 1.f, 0.f, 90.f, 1.3333334f, 1.f, 2000.f);
  glDisable(GL_TEXTURE_2D);
  glColor4f(1.f, 1.f, 1.f, 1.f);
  blob.draw();
  EXPECT_EQ(takeGlError(), 0u);
  for (int y = 260; y <= 340; y += 20)
    for (int x = 360; x <= 440; x += 20) {
      Rgb p = pixel(x, y);
      EXPECT_EQ(p.r + p.g + p.b, 3 * 255) << x << ", " << y;
    }
  Rgb corner = pixel(5, 5);
  EXPECT_EQ(corner.r + corner.g + corner.b, 0);
}

} // namespace
} // namespace demo::test
