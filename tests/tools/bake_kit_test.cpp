// The baker's kit: meshes face outwards, pictures survive the show's own
// decoders, and the same seed always paints the same picture.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "bake/image.h"
#include "bake/mesh_builder.h"
#include "bake/text.h"
#include "gfx/texture.h"
#include "scene/ebr_mesh.h"
#include "scene/scene.h"
#include "support/test_files.h"

namespace demo::bake {
namespace {

Vec3 sub(const Vec3 &a, const Vec3 &b) { return Vec3{a.x - b.x, a.y - b.y, a.z - b.z}; }
float dot(const Vec3 &a, const Vec3 &b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// Every triangle's winding agrees with its vertices' normals: with culling on,
// the show sees exactly the faces that point at it.
void expectOutwardWinding(const MeshData &mesh, const char *what) {
  ASSERT_EQ(mesh.indices.size() % 3, 0u) << what;
  ASSERT_EQ(mesh.normals.size(), mesh.positions.size()) << what;
  ASSERT_EQ(mesh.uvs.size(), 2 * mesh.positions.size()) << what;
  int wrong = 0, checked = 0;
  for (size_t t = 0; t < mesh.indices.size(); t += 3) {
    const Vec3 &a = mesh.positions[mesh.indices[t]], &b = mesh.positions[mesh.indices[t + 1]],
               &c = mesh.positions[mesh.indices[t + 2]];
    Vec3 face = cross(sub(b, a), sub(c, a));
    if (std::sqrt(dot(face, face)) < 1e-6f)
      continue; // degenerate slivers have no side
    ++checked;
    Vec3 n = mesh.normals[mesh.indices[t]];
    if (dot(face, n) <= 0.f)
      ++wrong;
  }
  EXPECT_GT(checked, 0) << what;
  EXPECT_EQ(wrong, 0) << what << ": " << wrong << " of " << checked << " triangles face inwards";
}

TEST(BakeMeshes, PrimitivesFaceTheWayTheirNormalsSay) {
  expectOutwardWinding(makeBox(Vec3{2, 3, 4}), "box");
  expectOutwardWinding(makeRoom(Vec3{10, 10, 10}), "room");
  expectOutwardWinding(makeCylinder(2, 5, 16, 3, false, 1, 1, true), "cylinder");
  expectOutwardWinding(makeCylinder(2, 5, 16, 3, true), "tunnel");
  expectOutwardWinding(makeSphere(3, 16, 8), "sphere");
  expectOutwardWinding(makeIcosphere(3, 2), "icosphere");
  expectOutwardWinding(makeTorus(5, 1, 24, 12), "torus");
  expectOutwardWinding(makeGrid(10, 10, 4, 4), "grid");
}

TEST(BakeMeshes, RoomNormalsPointInwards) {
  MeshData room = makeRoom(Vec3{10, 10, 10});
  for (size_t i = 0; i < room.positions.size(); ++i)
    EXPECT_LT(dot(room.positions[i], room.normals[i]), 0.f);
}

TEST(BakeMeshes, ExtrudedTextIsClosedAndFacesOutwards) {
  MeshData text = extrudeText("Qo8", 20.f, 4.f, kFontSansBold);
  ASSERT_FALSE(text.positions.empty()) << "is fonts-dejavu-core installed?";
  expectOutwardWinding(text, "text");
  Vec3 lo, hi;
  text.bounds(lo, hi);
  EXPECT_NEAR(lo.z, -4.f, 1e-5f);
  EXPECT_NEAR(hi.z, 0.f, 1e-5f);
  EXPECT_NEAR(lo.x, -hi.x, 1e-3f); // centred
  EXPECT_NEAR(lo.y, -hi.y, 1e-3f);
  for (float uv : text.uvs)
    EXPECT_TRUE(std::isfinite(uv));
}

TEST(BakeMeshes, AppendPlacesAndKeepsIndicesLocal) {
  MeshData a = makeBox(Vec3{1, 1, 1});
  MeshData both = a;
  both.append(a, place(Vec3{10, 0, 0}));
  ASSERT_EQ(both.positions.size(), 2 * a.positions.size());
  EXPECT_NEAR(both.positions[a.positions.size()].x, a.positions[0].x + 10.f, 1e-5f);
  for (size_t i = a.indices.size(); i < both.indices.size(); ++i)
    EXPECT_GE(both.indices[i], a.positions.size());
  expectOutwardWinding(both, "appended");
}

TEST(BakeMeshes, PlaceTurnsCounterClockwiseAboutItsAxis) {
  MeshData point;
  point.addVertex(Vec3{1, 0, 0}, Vec3{1, 0, 0}, 0, 0);
  point.transform(place(Vec3{0, 0, 0}, Vec3{0, 0, 1}, 3.14159265f / 2));
  EXPECT_NEAR(point.positions[0].x, 0.f, 1e-5f);
  EXPECT_NEAR(point.positions[0].y, 1.f, 1e-5f); // +x turns to +y about +z
}

TEST(BakeMeshes, ConversionsKeepTheArrays) {
  MeshData box = makeBox(Vec3{2, 2, 2}, 2.f);
  auto node = toMeshNode(box, "Box1", 3);
  EXPECT_EQ(*node->name, "Box1");
  EXPECT_EQ(node->vertexCount, static_cast<int32_t>(box.positions.size()));
  ASSERT_EQ(node->submeshCount, 1);
  EXPECT_EQ(node->submeshes[0].materialIndex, 3);
  EXPECT_EQ(node->submeshes[0].indexCount, static_cast<int32_t>(box.indices.size()));
  EXPECT_EQ(node->texCoords, box.uvs);

  EbrMesh ebr;
  ASSERT_TRUE(addToEbr(ebr, box, "box"));
  ASSERT_EQ(ebr.partCount, 1);
  EXPECT_EQ(ebr.parts[0]->texCoords, box.uvs);
  EXPECT_EQ(ebr.parts[0]->triangleCount, static_cast<int32_t>(box.indices.size() / 3));
}

TEST(BakePictures, JpegAndPngReadBackThroughTheShowsDecoders) {
  test::TempDir dir;
  Image image(33, 17, 3, Colour{0.2f, 0.4f, 0.6f, 1.f});
  image.fillRect(0, 0, 10, 17, Colour{1, 0, 0, 1});
  test::writeFile(dir.file("a.jpg"), encodeJpeg(image, 95));
  JpegImage jpeg = loadJpeg(dir.file("a.jpg").c_str());
  ASSERT_EQ(jpeg.width, 33);
  ASSERT_EQ(jpeg.height, 17);
  EXPECT_NEAR(jpeg.data[0], 255, 12);                 // the red strip on the left
  EXPECT_NEAR(jpeg.data[(5 * 33 + 30) * 3 + 2], 153, 12); // the blue-grey rest

  Image rgba(8, 4, 4, Colour{1, 1, 1, 0});
  rgba.set(1, 2, Colour{1, 0.5f, 0, 0.5f});
  test::writeFile(dir.file("b.png"), encodePng(rgba));
  PngImage png = decodePng(dir.file("b.png").c_str());
  ASSERT_EQ(png.channels, 4);
  ASSERT_EQ(png.width, 8);
  const uint8_t *p = &png.data[(2 * 8 + 1) * 4];
  EXPECT_EQ(p[0], 255);
  EXPECT_EQ(p[1], 128);
  EXPECT_EQ(p[3], 128);
  EXPECT_EQ(png.data[3], 0); // transparent elsewhere
}

TEST(BakePictures, SameSeedSamePicture) {
  auto paint = [](uint64_t seed) {
    Rng rng(seed);
    Image image(64, 64, 3);
    for (int i = 0; i < 20; ++i)
      image.fillCircle(rng.range(0, 64), rng.range(0, 64), rng.range(1, 8),
                       Colour{rng.uniform(), rng.uniform(), rng.uniform(), 1});
    return encodePng(image);
  };
  EXPECT_EQ(paint(7), paint(7));
  EXPECT_NE(paint(7), paint(8));
}

TEST(BakePictures, TileableNoiseHasNoSeam) {
  const int period = 8;
  for (float y = 0.f; y < 8.f; y += 0.37f) {
    EXPECT_NEAR(fbm(0.f, y, 3, 4, 0.5f, period), fbm(static_cast<float>(period), y, 3, 4, 0.5f, period), 1e-5f);
    EXPECT_NEAR(valueNoise(y, 0.f, 5, period), valueNoise(y, static_cast<float>(period), 5, period), 1e-6f);
  }
}

TEST(BakePictures, NoiseStaysInRange) {
  for (int i = 0; i < 2000; ++i) {
    float x = i * 0.173f, y = i * 0.291f;
    float v = fbm(x, y, 11, 5);
    ASSERT_GE(v, 0.f);
    ASSERT_LE(v, 1.f);
    float w = valueNoise3(x, y, x - y, 4);
    ASSERT_GE(w, 0.f);
    ASSERT_LE(w, 1.f);
  }
}

TEST(BakePictures, RngCoversItsRange) {
  Rng rng(1);
  std::set<int> seen;
  for (int i = 0; i < 1000; ++i) {
    float u = rng.uniform();
    ASSERT_GE(u, 0.f);
    ASSERT_LT(u, 1.f);
    seen.insert(rng.below(10));
  }
  EXPECT_EQ(seen.size(), 10u);
}

TEST(BakePictures, SphereMapLooksUpTheReflectedDirection) {
  // The centre of a sphere map reflects straight back at the viewer (+z).
  // Texture t grows with the reflection's y and row 0 is t = 0, so the
  // stored picture's lower half looks up.
  Image map = sphereMap(65, [](float x, float y, float z) {
    return Colour{clamp01(x * 0.5f + 0.5f), clamp01(y * 0.5f + 0.5f), clamp01(z * 0.5f + 0.5f), 1};
  });
  Colour centre = map.get(32, 32);
  EXPECT_NEAR(centre.b, 1.f, 0.02f);
  EXPECT_GT(map.get(32, 54).g, 0.8f); // low in the picture: the reflection looks up
  EXPECT_LT(map.get(32, 10).g, 0.2f); // high in the picture: it looks down
}

TEST(BakeText, RenderedTextIsWhiteInkOnTransparency) {
  Image text = renderText("kestrane", 32, kFontSansBold, 2);
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.channels, 4);
  EXPECT_GT(text.width, text.height * 3);
  float ink = 0.f;
  for (int y = 0; y < text.height; ++y)
    for (int x = 0; x < text.width; ++x)
      ink += text.get(x, y).a;
  EXPECT_GT(ink, 50.f);
  EXPECT_EQ(text.get(0, 0).a, 0.f); // the padding is empty
}

} // namespace
} // namespace demo::bake
