#include <GL/glew.h>

#include <cmath>

#include "gl_fixture.h"
#include "scene/view.h"
#include "support/matrix_checks.h"

namespace demo::test {
namespace {

class ViewGL : public GLTest {
protected:
  static Matrix4 read(GLenum which) {
    Matrix4 m;
    glGetFloatv(which, m.m);
    return m;
  }

  static void expectMapsTo(const Matrix4 &m, float x, float y, float z, float ex, float ey, float ez) {
    EXPECT_NEAR(m[0] * x + m[4] * y + m[8] * z + m[12], ex, 1e-4f);
    EXPECT_NEAR(m[1] * x + m[5] * y + m[9] * z + m[13], ey, 1e-4f);
    EXPECT_NEAR(m[2] * x + m[6] * y + m[10] * z + m[14], ez, 1e-4f);
  }

  // Leftovers that setView must replace, not multiply onto.
  static void dirtyMatrices() {
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(5.f, 6.f, 7.f);
    glMatrixMode(GL_PROJECTION);
    glScalef(2.f, 3.f, 4.f);
  }
};

TEST_F(ViewGL, SetViewLoadsPerspectiveToFarPlane3500AndLeavesModelviewCurrent) {
  dirtyMatrices();
  setView(10.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 1.f, 0.f, 60.f, 4.f / 3.f);
  GLint mode = 0;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(mode, GL_MODELVIEW);
  expectMatrix(read(GL_PROJECTION_MATRIX), perspective(60.0, 4.0 / 3.0, 1.0, 3500.0), 1e-4f);
  EXPECT_EQ(takeGlError(), static_cast<unsigned>(GL_NO_ERROR));
}

TEST_F(ViewGL, SetViewLooksFromEyeToCentreWithUpVector) {
  dirtyMatrices();
  setView(10.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 1.f, 0.f, 45.f, 1.f);
  const Matrix4 mv = read(GL_MODELVIEW_MATRIX);
  expectMapsTo(mv, 10.f, 0.f, 0.f, 0.f, 0.f, 0.f);   // the eye is the origin
  expectMapsTo(mv, 0.f, 0.f, 0.f, 0.f, 0.f, -10.f);  // the centre lies ahead, down -z
  expectMapsTo(mv, 10.f, 1.f, 0.f, 0.f, 1.f, 0.f);   // up stays up
  expectMapsTo(mv, 10.f, 0.f, -1.f, 1.f, 0.f, 0.f);  // -z of the world is to the right
}

TEST_F(ViewGL, SetViewClipUsesTheGivenPlanes) {
  dirtyMatrices();
  setViewClip(0.f, 2.f, 5.f, 0.f, 2.f, 0.f, 0.f, 1.f, 0.f, 90.f, 16.f / 9.f, 0.5f, 100.f);
  GLint mode = 0;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(mode, GL_MODELVIEW);
  expectMatrix(read(GL_PROJECTION_MATRIX), perspective(90.0, 16.0 / 9.0, 0.5, 100.0), 1e-5f);
  expectMapsTo(read(GL_MODELVIEW_MATRIX), 0.f, 2.f, 0.f, 0.f, 0.f, -5.f);
}

TEST_F(ViewGL, SphereMapSwitchesOnlyTextureGenerationOfSAndT) {
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  for (bool texturing : {false, true}) {
    SCOPED_TRACE(texturing ? "GL_TEXTURE_2D on" : "GL_TEXTURE_2D off");
    texturing ? glEnable(GL_TEXTURE_2D) : glDisable(GL_TEXTURE_2D);

    enableSphereMap();
    GLint modeS = 0, modeT = 0;
    glGetTexGeniv(GL_S, GL_TEXTURE_GEN_MODE, &modeS);
    glGetTexGeniv(GL_T, GL_TEXTURE_GEN_MODE, &modeT);
    EXPECT_EQ(modeS, GL_SPHERE_MAP);
    EXPECT_EQ(modeT, GL_SPHERE_MAP);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_GEN_S));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_GEN_T));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_R));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_Q));
    EXPECT_EQ(glIsEnabled(GL_TEXTURE_2D) == GL_TRUE, texturing);

    disableSphereMap();
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_T));
    EXPECT_EQ(glIsEnabled(GL_TEXTURE_2D) == GL_TRUE, texturing);

    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), texture);
  }
  EXPECT_EQ(takeGlError(), static_cast<unsigned>(GL_NO_ERROR));
  glDeleteTextures(1, &texture);
}

} // namespace
} // namespace demo::test
