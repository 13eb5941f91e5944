#include <GL/glew.h>

#include <cstdint>
#include <vector>

#include "gl_fixture.h"
#include "scene/ebr_mesh.h"

namespace demo::test {
namespace {

using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

// With identity matrices the frame is [-1, 1] in x and y: x = -1 is pixel
// column 0 and x = 1 column 800, y likewise over 600 rows.
class EbrMeshGL : public GLTest {
protected:
  // A counter-clockwise quad at z = 0 as two triangles, all four corners
  // given the texture coordinate (u, t).
  static bool addQuad(EbrMesh &mesh, float x0, float y0, float x1, float y1, float u = 0.f, float t = 0.f) {
    return mesh.addPart("", {{x0, y0, 0}, {x1, y0, 0}, {x1, y1, 0}, {x0, y1, 0}}, {u, t, u, t, u, t, u, t},
                        {0, 1, 2, 0, 2, 3});
  }

  // Pixels whose red channel is above 128 inside the rectangle [x0, x1) x [y0, y1).
  int brightPixels(int x0, int y0, int x1, int y1) {
    const std::vector<uint8_t> frame = readFrame();
    int count = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x)
        count += frame[(static_cast<size_t>(y) * 800 + static_cast<size_t>(x)) * 3] > 128;
    return count;
  }

  void expectClientArraysDisabled() {
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_NORMAL_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
  }
};

TEST_F(EbrMeshGL, PartDrawCoversExactlyItsTrianglesAndLeavesClientArraysDisabled) {
  // x in [-0.5, 0.5], y in [-0.5, 0.5]: columns 200..599, rows 150..449.
  EbrMesh mesh;
  ASSERT_TRUE(addQuad(mesh, -0.5f, -0.5f, 0.5f, 0.5f));
  mesh.parts[0]->draw();
  EXPECT_EQ(takeGlError(), static_cast<unsigned>(GL_NO_ERROR));
  expectClientArraysDisabled();
  EXPECT_EQ(brightPixels(0, 0, 800, 600), 400 * 300);
  EXPECT_EQ(brightPixels(200, 150, 600, 450), 400 * 300);
}

TEST_F(EbrMeshGL, MeshDrawDrawsEveryPartWithItsOwnNormals) {
  // Lit by the default light along +z (diffuse 0.8 of white). The right
  // part's normals are turned away, leaving only the 0.2 x 0.2 ambient: it is
  // drawn, but dark. Pointers left on the first part would light it too.
  EbrMesh mesh;
  ASSERT_TRUE(addQuad(mesh, -0.9f, -0.5f, -0.1f, 0.5f));
  ASSERT_TRUE(addQuad(mesh, 0.1f, -0.5f, 0.9f, 0.5f));
  for (Vec3 &n : mesh.parts[1]->normals)
    n = Vec3{0.f, 0.f, -1.f};
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  mesh.draw();
  glDisable(GL_LIGHT0);
  glDisable(GL_LIGHTING);
  EXPECT_EQ(takeGlError(), static_cast<unsigned>(GL_NO_ERROR));
  expectClientArraysDisabled();
  const Rgb left = pixel(200, 300);
  const Rgb right = pixel(600, 300);
  EXPECT_GT(left.r, 180);
  EXPECT_GT(right.r, 0);
  EXPECT_LT(right.r, 40);
  EXPECT_EQ(pixel(400, 300).r, 0);  // the gap between them
}

TEST_F(EbrMeshGL, MeshDrawGivesEveryPartItsOwnTextureCoordinates) {
  // A 1 x 2 texture: row t < 0.5 red, row t > 0.5 green.
  const uint8_t texels[] = {255, 0, 0, 255, 0, 255, 0, 255};
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glEnable(GL_TEXTURE_2D);
  EbrMesh mesh;
  ASSERT_TRUE(addQuad(mesh, -0.9f, -0.5f, -0.1f, 0.5f, 0.5f, 0.25f));
  ASSERT_TRUE(addQuad(mesh, 0.1f, -0.5f, 0.9f, 0.5f, 0.5f, 0.75f));
  mesh.draw();
  glDisable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, 0);
  glDeleteTextures(1, &texture);
  EXPECT_EQ(takeGlError(), static_cast<unsigned>(GL_NO_ERROR));
  const Rgb left = pixel(200, 300);
  const Rgb right = pixel(600, 300);
  EXPECT_EQ(left.r, 255);
  EXPECT_EQ(left.g, 0);
  EXPECT_EQ(right.r, 0);
  EXPECT_EQ(right.g, 255);
}

TEST_F(EbrMeshGL, MeshThatFailedToLoadDrawsNothing) {
  CaptureStderr();
  EbrMesh mesh("/nonexistent/dir/kubedritt.ebr");
  GetCapturedStderr();
  glEnableClientState(GL_VERTEX_ARRAY);  // left as the caller had it
  mesh.draw();
  EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY));
  glDisableClientState(GL_VERTEX_ARRAY);
  EXPECT_EQ(takeGlError(), static_cast<unsigned>(GL_NO_ERROR));
  std::vector<uint8_t> frame = readFrame();
  EXPECT_EQ(frame, std::vector<uint8_t>(frame.size(), 0));
}

} // namespace
} // namespace demo::test
