#include <GL/glew.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "effects/metaball_field.h"
#include "gl_fixture.h"

namespace demo::test {
namespace {

// Shows what reaches the shader: red and green are unit 1's coordinate mapped
// from -1..1 to 0..1, blue the normal's z mapped the same way.
const char *kVertexShader = R"(#version 120
varying vec2 unitOne;
varying float normalZ;
void main() {
  unitOne = gl_MultiTexCoord1.xy;
  normalZ = gl_Normal.z;
  gl_Position = ftransform();
}
)";
const char *kFragmentShader = R"(#version 120
varying vec2 unitOne;
varying float normalZ;
void main() {
  gl_FragColor = vec4(unitOne * 0.5 + 0.5, normalZ * 0.5 + 0.5, 1.0);
}
)";

GLuint compile(GLenum type, const char *source) {
  const GLuint shader = glCreateShader(type);
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  GLint ok = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  EXPECT_EQ(ok, GL_TRUE) << "shader did not compile";
  return shader;
}

// A ball of radius 6 whose centre is at model (0, 0, -0.0125): a disc of
// radius 0.3 around the middle of the frame with identity matrices.
void buildOneBall(MetaballField &field) {
  field.clearValues();
  field.addBall(20.0f, 20.0f, 20.25f, 6.0f);
  field.updateNormals();
}

std::vector<SurfaceVertex> surfaceOf(MetaballField &field) {
  std::vector<SurfaceVertex> surface(3 * 65536);
  int nextCell = 0;
  const int triangles = field.polygonise(surface.data(), 65536, nextCell);
  EXPECT_EQ(nextCell, field.cellCount());
  surface.resize(3 * static_cast<size_t>(triangles));
  return surface;
}

class MetaballFieldGLTest : public GLTest {
protected:
  void SetUp() override {
    GLTest::SetUp();
    glDisable(GL_CULL_FACE);  // as the corridor scene draws it
  }
};

TEST_F(MetaballFieldGLTest, OneBallDrawsADiscWhereItSits) {
  MetaballField field(40);
  buildOneBall(field);
  const size_t vertices = surfaceOf(field).size();
  EXPECT_EQ(3 * static_cast<size_t>(field.drawSurface()), vertices);
  EXPECT_EQ(takeGlError(), static_cast<unsigned>(GL_NO_ERROR));
  // Radius 0.3: 120 pixels across, 90 up and down.
  for (const auto &[x, y] : {std::pair{400, 300}, std::pair{500, 300}, std::pair{300, 300}, std::pair{400, 375},
                             std::pair{400, 225}, std::pair{470, 350}})
    EXPECT_EQ(pixel(x, y).r, 255) << x << "," << y << " should be inside";
  for (const auto &[x, y] : {std::pair{540, 300}, std::pair{260, 300}, std::pair{400, 405}, std::pair{400, 195},
                             std::pair{0, 0}})
    EXPECT_EQ(pixel(x, y).r, 0) << x << "," << y << " should be outside";
}

TEST_F(MetaballFieldGLTest, FeedbackShowsTheBufferedTrianglesInOrder) {
  MetaballField field(40);
  buildOneBall(field);
  const std::vector<SurfaceVertex> surface = surfaceOf(field);
  ASSERT_FALSE(surface.empty());
  const size_t triangles = surface.size() / 3;
  std::vector<GLfloat> feedback(triangles * 11 + 16);
  glFeedbackBuffer(static_cast<GLsizei>(feedback.size()), GL_3D, feedback.data());
  glRenderMode(GL_FEEDBACK);
  EXPECT_EQ(static_cast<size_t>(field.drawSurface()), triangles);
  const GLint used = glRenderMode(GL_RENDER);
  ASSERT_EQ(static_cast<size_t>(used), triangles * 11) << "one polygon token, a count and three points each";
  for (size_t t = 0; t < triangles; ++t) {
    const GLfloat *record = &feedback[t * 11];
    ASSERT_EQ(record[0], static_cast<GLfloat>(GL_POLYGON_TOKEN));
    ASSERT_EQ(record[1], 3.0f);
    for (int v = 0; v < 3; ++v) {
      const Vec3 p = surface[3 * t + v].position;
      const GLfloat *w = record + 2 + 3 * v;
      ASSERT_NEAR(w[0], (p.x + 1.0f) * 400.0f, 1e-2f) << "triangle " << t;
      ASSERT_NEAR(w[1], (p.y + 1.0f) * 300.0f, 1e-2f) << "triangle " << t;
      ASSERT_NEAR(w[2], (p.z + 1.0f) * 0.5f, 1e-4f) << "triangle " << t;
    }
  }
}

TEST_F(MetaballFieldGLTest, TheShaderSeesThePointAsUnitOneCoordinateAndTheFieldNormal) {
  const GLuint program = glCreateProgram();
  const GLuint vertex = compile(GL_VERTEX_SHADER, kVertexShader);
  const GLuint fragment = compile(GL_FRAGMENT_SHADER, kFragmentShader);
  glAttachShader(program, vertex);
  glAttachShader(program, fragment);
  glLinkProgram(program);
  GLint linked = GL_FALSE;
  glGetProgramiv(program, GL_LINK_STATUS, &linked);
  ASSERT_EQ(linked, GL_TRUE);

  MetaballField field(40);
  buildOneBall(field);
  glUseProgram(program);
  glDepthFunc(GL_LESS);
  field.drawSurface();
  glUseProgram(0);
  glDeleteProgram(program);
  glDeleteShader(vertex);
  glDeleteShader(fragment);
  EXPECT_EQ(takeGlError(), static_cast<unsigned>(GL_NO_ERROR));

  // Unit 1's coordinate is the surface point's own x and y.
  for (const auto &[x, y] : {std::pair{400, 300}, std::pair{480, 320}, std::pair{330, 250}, std::pair{410, 370}}) {
    const Rgb c = pixel(x, y);
    const float modelX = (x + 0.5f) / 400.0f - 1.0f;
    const float modelY = (y + 0.5f) / 300.0f - 1.0f;
    EXPECT_NEAR(c.r, (modelX * 0.5f + 0.5f) * 255.0f, 2.0f) << x << "," << y;
    EXPECT_NEAR(c.g, (modelY * 0.5f + 0.5f) * 255.0f, 2.0f) << x << "," << y;
  }
  // The nearest side (lowest z, highest k) faces the viewer, but the
  // normal's z is taken along k, not mirrored: it arrives as +1.
  EXPECT_GT(pixel(400, 300).b, 245);
}

} // namespace
} // namespace demo::test
