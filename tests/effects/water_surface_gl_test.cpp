#include <GL/glew.h>

#include <cstdint>
#include <vector>

#include "effects/water_surface.h"
#include "gl_fixture.h"

namespace demo::test {
namespace {

// Grid units straight onto the frame: x 0..130 over the 800 columns, y 0..130
// over the 600 rows, so the drawn quads (1..128) cover about columns 6..787
// and rows 5..590. Unlit, in the fixture's white.
class WaterSurfaceGL : public GLTest {
protected:
  void SetUp() override {
    GLTest::SetUp();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, 130.0, 0.0, 130.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
  }

  bool lit(int x, int y) { return pixel(x, y).r > 128; }
};

TEST_F(WaterSurfaceGL, DrawsRowsAndColumnsOneTo128AndLeavesTheClientArraysOff) {
  WaterSurface water;
  water.computeNormals();
  water.draw();
  EXPECT_EQ(takeGlError(), static_cast<unsigned>(GL_NO_ERROR));
  EXPECT_TRUE(lit(400, 300));
  EXPECT_TRUE(lit(10, 10));
  EXPECT_TRUE(lit(785, 588));
  EXPECT_FALSE(lit(2, 300));    // column 0
  EXPECT_FALSE(lit(797, 300));  // column 129
  EXPECT_FALSE(lit(400, 1));    // row 0
  EXPECT_FALSE(lit(400, 597));  // row 129
  EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
  EXPECT_FALSE(glIsEnabled(GL_NORMAL_ARRAY));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
  void *pointer = nullptr;
  glGetPointerv(GL_VERTEX_ARRAY_POINTER, &pointer);
  EXPECT_EQ(pointer, static_cast<void *>(water.vertices.data()));
  glGetPointerv(GL_NORMAL_ARRAY_POINTER, &pointer);
  EXPECT_EQ(pointer, static_cast<void *>(water.normals.data()));
}

TEST_F(WaterSurfaceGL, DrawPlacesEachVertexAtItsSoftClampedHeight) {
  // A slab 0.2 deep: the left half, raised to height 100 (elevation 0.45),
  // falls outside it and is clipped; the right half at rest is drawn.
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0.0, 130.0, 0.0, 130.0, -0.2, 0.2);
  glMatrixMode(GL_MODELVIEW);
  WaterSurface water;
  for (int y = 0; y < WaterSurface::kSide; ++y)
    for (int x = 0; x < 65; ++x)
      water.cell(x, y).height = 100.f;
  water.computeNormals();
  water.draw();
  EXPECT_EQ(takeGlError(), static_cast<unsigned>(GL_NO_ERROR));
  EXPECT_FALSE(lit(200, 300));
  EXPECT_TRUE(lit(600, 300));
  EXPECT_FLOAT_EQ(water.vertices[static_cast<size_t>(40 * WaterSurface::kSide + 10)].z, 0.45f);
}

TEST_F(WaterSurfaceGL, DrawLightsEachVertexWithItsNormal) {
  // The default light shines along -z onto the grid: normals (0, 0, 1) get
  // the full diffuse part, normals along x only the ambient one.
  WaterSurface water;
  water.computeNormals();
  for (int y = 1; y < WaterSurface::kSide - 1; ++y)
    for (int x = 65; x < WaterSurface::kSide - 1; ++x)
      water.normals[static_cast<size_t>(y * WaterSurface::kSide + x)] = Vec3{1.f, 0.f, 0.f};
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  water.draw();
  glDisable(GL_LIGHT0);
  glDisable(GL_LIGHTING);
  EXPECT_EQ(takeGlError(), static_cast<unsigned>(GL_NO_ERROR));
  EXPECT_GT(pixel(200, 300).r, 180);
  EXPECT_LT(pixel(600, 300).r, 40);
  EXPECT_GT(pixel(600, 300).r, 0);  // drawn, but only by the ambient light
}

} // namespace
} // namespace demo::test
