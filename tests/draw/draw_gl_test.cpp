#include <GL/glew.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <utility>
#include <vector>

#include "draw/draw.h"
#include "gl_fixture.h"

namespace demo::test {
namespace {

using draw::Cap;
using draw::Factor;
using draw::MatrixMode;
using draw::Primitive;

class DrawGL : public GLTest {
protected:
  static void expectMatchesGL(const draw::Mat4 &m, GLenum which) {
    GLfloat gl[16];
    glGetFloatv(which, gl);
    for (int i = 0; i < 16; ++i)
      EXPECT_NEAR(m[static_cast<size_t>(i)], gl[i], 1e-5f * std::max(1.f, std::fabs(gl[i]))) << "element " << i;
  }
  static void expectBothStacksMatchGL() {
    expectMatchesGL(draw::state().current(MatrixMode::ModelView), GL_MODELVIEW_MATRIX);
    expectMatchesGL(draw::state().current(MatrixMode::Projection), GL_PROJECTION_MATRIX);
  }
  // GL's fog defaults, which the fixture leaves to the tests.
  static void restoreFogDefaults() {
    glFogi(GL_FOG_MODE, GL_EXP);
    glFogf(GL_FOG_START, 0.f);
    glFogf(GL_FOG_END, 1.f);
    glFogf(GL_FOG_DENSITY, 1.f);
    glFogfv(GL_FOG_COLOR, std::array<float, 4>{}.data());
  }
  // Pixel coordinates: (0, 0) at the bottom left, 800 x 600.
  static void pixelSpace(double zNear = -1.0, double zFar = 1.0) {
    draw::matrixMode(MatrixMode::Projection);
    draw::ortho(0.0, 800.0, 0.0, 600.0, zNear, zFar);
    draw::matrixMode(MatrixMode::ModelView);
  }
  static void quad(float x0, float y0, float x1, float y1, float z = 0.f) {
    draw::vertex(x0, y0, z);
    draw::vertex(x1, y0, z);
    draw::vertex(x1, y1, z);
    draw::vertex(x0, y1, z);
  }
  void expectPixel(int x, int y, int r, int g, int b, int tolerance = 0) {
    const Rgb p = pixel(x, y);
    EXPECT_NEAR(p.r, r, tolerance) << "at " << x << ", " << y;
    EXPECT_NEAR(p.g, g, tolerance) << "at " << x << ", " << y;
    EXPECT_NEAR(p.b, b, tolerance) << "at " << x << ", " << y;
  }
};

TEST_F(DrawGL, PoppingTheLastMatrixKeepsItAsGLDoes) {
  draw::translate(1.f, 2.f, 3.f);
  draw::popMatrix();
  EXPECT_EQ(takeGlError(), static_cast<unsigned>(GL_STACK_UNDERFLOW));
  expectBothStacksMatchGL();
}

TEST_F(DrawGL, ModelViewTransformsAndPushPopMatchGL) {
  const float m[16] = {1.f, 0.2f, 0.f, 0.f, -0.3f, 0.9f, 0.1f, 0.f, 0.f, 0.4f, 1.1f, 0.f, 5.f, -6.f, 7.f, 1.f};
  draw::translate(1.5f, -2.f, -9.f);
  draw::rotate(33.f, 1.f, 2.f, 3.f); // an axis of length > 1
  draw::scale(2.f, 0.5f, -1.f);
  draw::multMatrix(m);
  expectBothStacksMatchGL();
  draw::pushMatrix();
  draw::rotate(-120.f, 0.f, 0.f, 1.f);
  draw::translate(0.f, 4.f, 0.f);
  expectBothStacksMatchGL();
  draw::popMatrix();
  expectBothStacksMatchGL();
  draw::loadIdentity();
  expectBothStacksMatchGL();
  EXPECT_TRUE(noGlError());
}

TEST_F(DrawGL, PerspectiveAndOrthoMatchGLUOnTheProjectionStack) {
  draw::translate(0.f, 0.f, -4.f);
  draw::matrixMode(MatrixMode::Projection);
  draw::perspective(2.5, 16.0 / 9.0, 0.05, 4000.0); // a narrow field of view
  expectBothStacksMatchGL();
  draw::pushMatrix();
  draw::ortho(-3.0, 5.0, -1.0, 2.0, 0.5, 30.0);
  expectBothStacksMatchGL();
  draw::popMatrix();
  draw::loadIdentity();
  draw::perspective(120.0, 0.75, 1.0, 10.0);
  expectBothStacksMatchGL();
  draw::loadIdentity();
  draw::matrixMode(MatrixMode::ModelView);
  EXPECT_TRUE(noGlError());
}

TEST_F(DrawGL, LookAtMatchesGLUWithAnUpVectorNotPerpendicularToTheView) {
  draw::lookAt(3.0, 4.0, 5.0, -1.0, 0.5, 2.0, 0.3, 1.0, 0.8);
  expectBothStacksMatchGL();
  draw::loadIdentity();
  draw::rotate(20.f, 0.f, 1.f, 0.f);
  draw::lookAt(0.0, 0.0, 10.0, 0.0, 0.0, 0.0, 0.0, 1.0, 100.0); // up almost along the view
  expectBothStacksMatchGL();
}

TEST_F(DrawGL, LightPositionIsFixedInEyeSpaceWhenSet) {
  const float point[4] = {1.f, 2.f, -3.f, 1.f}, direction[4] = {0.f, 1.f, 1.f, 0.f};
  draw::lookAt(2.0, 3.0, 6.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
  draw::scale(1.f, 2.f, 1.f);
  draw::light(1, draw::LightParam::Position, point);
  draw::matrixMode(MatrixMode::Projection); // the modelview applies in any mode
  draw::scale(3.f, 3.f, 3.f);
  draw::light(2, draw::LightParam::Position, direction);
  draw::loadIdentity();
  draw::matrixMode(MatrixMode::ModelView);
  draw::loadIdentity();
  draw::translate(9.f, 9.f, 9.f);
  for (int i : {1, 2}) {
    GLfloat gl[4];
    glGetLightfv(static_cast<GLenum>(GL_LIGHT0 + i), GL_POSITION, gl);
    for (int k = 0; k < 4; ++k)
      EXPECT_NEAR(draw::state().lights[static_cast<size_t>(i)].eyePosition[static_cast<size_t>(k)], gl[k], 1e-5f)
          << "light " << i << " component " << k;
  }
}

TEST_F(DrawGL, LinearFogAndDensityMatchGL) {
  const float colour[4] = {0.1f, 0.2f, 0.3f, 0.4f};
  draw::linearFog(2.f, 9.f, colour);
  draw::fogDensity(0.35f);
  const draw::Fog &fog = draw::state().fog;
  GLfloat start = 0.f, end = 0.f, density = 0.f, glColour[4];
  glGetFloatv(GL_FOG_START, &start);
  glGetFloatv(GL_FOG_END, &end);
  glGetFloatv(GL_FOG_DENSITY, &density);
  glGetFloatv(GL_FOG_COLOR, glColour);
  EXPECT_EQ(glInteger(GL_FOG_MODE), fog.linear ? GL_LINEAR : GL_EXP);
  EXPECT_EQ(fog.start, start);
  EXPECT_EQ(fog.end, end);
  EXPECT_EQ(fog.density, density);
  for (int k = 0; k < 4; ++k)
    EXPECT_EQ(fog.colour[static_cast<size_t>(k)], glColour[k]);
  restoreFogDefaults();
}

TEST_F(DrawGL, LinearFogMixesInTheFogColourByEyeDistance) {
  const float blue[4] = {0.f, 0.f, 1.f, 1.f};
  pixelSpace(0.0, 20.0);
  draw::linearFog(2.f, 10.f, blue);
  draw::enable(Cap::Fog);
  draw::colour(1.f, 0.f, 0.f, 1.f);
  draw::begin(Primitive::Quads);
  quad(100.f, 100.f, 300.f, 300.f, -5.f);
  draw::end();
  draw::disable(Cap::Fog);
  const draw::Fog &fog = draw::state().fog;
  const float f = (fog.end - 5.f) / (fog.end - fog.start);
  expectPixel(200, 200, static_cast<int>(std::lround(255.f * f)), 0, static_cast<int>(std::lround(255.f * (1.f - f))),
              2);
  restoreFogDefaults();
}

TEST_F(DrawGL, SphereMapSetsTheGenerationModeAndBothEnablesAsGL) {
  draw::sphereMap(true);
  GLint modeS = 0, modeT = 0;
  glGetTexGeniv(GL_S, GL_TEXTURE_GEN_MODE, &modeS);
  glGetTexGeniv(GL_T, GL_TEXTURE_GEN_MODE, &modeT);
  EXPECT_EQ(draw::state().sphereMap[0], modeS == GL_SPHERE_MAP && modeT == GL_SPHERE_MAP);
  EXPECT_TRUE(draw::isEnabled(Cap::TextureGenS) && glIsEnabled(GL_TEXTURE_GEN_S));
  EXPECT_TRUE(draw::isEnabled(Cap::TextureGenT) && glIsEnabled(GL_TEXTURE_GEN_T));
  draw::sphereMap(false);
  EXPECT_FALSE(draw::isEnabled(Cap::TextureGenS) || glIsEnabled(GL_TEXTURE_GEN_S));
  EXPECT_FALSE(draw::isEnabled(Cap::TextureGenT) || glIsEnabled(GL_TEXTURE_GEN_T));
  glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
  glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
}

TEST_F(DrawGL, IndexedQuadsReadIndicesAbove65535) {
  std::vector<float> positions(70000 * 3, 0.f); // unused positions all at the origin
  const float corners[4][2] = {{400.f, 300.f}, {600.f, 300.f}, {600.f, 500.f}, {400.f, 500.f}};
  const uint32_t indices[4] = {69996, 69997, 69998, 69999};
  for (int i = 0; i < 4; ++i) {
    positions[indices[i] * 3] = corners[i][0];
    positions[indices[i] * 3 + 1] = corners[i][1];
  }
  pixelSpace();
  draw::colour(0.f, 1.f, 0.f, 1.f);
  draw::IndexedArrays arrays;
  arrays.primitive = Primitive::Quads;
  arrays.positions = positions.data();
  arrays.indices = indices;
  arrays.count = 4;
  draw::drawIndexed(arrays);
  expectPixel(401, 301, 0, 255, 0);
  expectPixel(598, 498, 0, 255, 0);
  expectPixel(500, 502, 0, 0, 0);
  EXPECT_TRUE(noGlError());
}

TEST_F(DrawGL, QuadsBatchFillsItsQuadsWithTheColoursGivenPerVertex) {
  glShadeModel(GL_SMOOTH);
  pixelSpace();
  draw::begin(Primitive::Quads);
  draw::colour(1.f, 0.f, 0.f, 1.f);
  quad(100.f, 100.f, 200.f, 200.f);
  draw::colour(uint8_t{0}, uint8_t{255}, uint8_t{0});
  quad(200.f, 100.f, 300.f, 200.f);
  draw::end();
  expectPixel(101, 101, 255, 0, 0);
  expectPixel(198, 198, 255, 0, 0);
  expectPixel(201, 150, 0, 255, 0); // beside the second quad's first vertex
  expectPixel(298, 198, 0, 255, 0);
  expectPixel(302, 150, 0, 0, 0);
  expectPixel(150, 202, 0, 0, 0);
}

TEST_F(DrawGL, ColourGivenInABatchStaysCurrentAfterIt) {
  for (bool afterLastVertex : {false, true}) {
    draw::begin(Primitive::Triangles);
    draw::colour(0.25f, 0.5f, 0.75f, 1.f);
    quad(0.f, 0.f, 0.f, 0.f); // degenerate: nothing drawn
    if (afterLastVertex)
      draw::colour(0.5f, 0.f, 1.f, 0.5f);
    draw::end();
    GLfloat gl[4];
    glGetFloatv(GL_CURRENT_COLOR, gl);
    for (int k = 0; k < 4; ++k)
      EXPECT_FLOAT_EQ(draw::state().colour[static_cast<size_t>(k)], gl[k]) << "component " << k;
    EXPECT_EQ(draw::state().colour[3], afterLastVertex ? 0.5f : 1.f);
  }
}

const std::pair<Cap, GLenum> kCaps[] = {
    {Cap::Blend, GL_BLEND},        {Cap::CullFace, GL_CULL_FACE},        {Cap::DepthTest, GL_DEPTH_TEST},
    {Cap::Fog, GL_FOG},            {Cap::Lighting, GL_LIGHTING},         {Cap::Light0, GL_LIGHT0},
    {Cap::Light1, GL_LIGHT1},      {Cap::Light2, GL_LIGHT2},             {Cap::Light3, GL_LIGHT3},
    {Cap::Light4, GL_LIGHT4},      {Cap::Light5, GL_LIGHT5},             {Cap::Light6, GL_LIGHT6},
    {Cap::Light7, GL_LIGHT7},      {Cap::Normalize, GL_NORMALIZE},       {Cap::ScissorTest, GL_SCISSOR_TEST},
    {Cap::Texture2D, GL_TEXTURE_2D}, {Cap::TextureGenS, GL_TEXTURE_GEN_S}, {Cap::TextureGenT, GL_TEXTURE_GEN_T},
    {Cap::VertexProgramArb, GL_VERTEX_PROGRAM_ARB}, {Cap::FragmentProgramArb, GL_FRAGMENT_PROGRAM_ARB}};

TEST_F(DrawGL, IsEnabledAgreesWithGLForEveryCap) {
  static_assert(std::size(kCaps) == static_cast<size_t>(Cap::Count));
  for (const auto &[cap, name] : kCaps)
    draw::enable(cap);
  for (size_t i = 0; i < std::size(kCaps); i += 3)
    draw::disable(kCaps[i].first);
  draw::disable(Cap::Light7);
  for (const auto &[cap, name] : kCaps)
    EXPECT_EQ(draw::isEnabled(cap), glIsEnabled(name) == GL_TRUE) << "cap " << static_cast<int>(cap);
  for (const auto &[cap, name] : kCaps)
    draw::disable(cap);
  for (Cap cap : {Cap::DepthTest, Cap::Normalize, Cap::CullFace})
    draw::enable(cap);
}

TEST_F(DrawGL, TextureEnableIsAnsweredForTheActiveUnit) {
  draw::activeTexture(1);
  draw::enable(Cap::Texture2D);
  draw::activeTexture(0);
  EXPECT_EQ(draw::isEnabled(Cap::Texture2D), glIsEnabled(GL_TEXTURE_2D) == GL_TRUE);
  draw::activeTexture(1);
  draw::disable(Cap::Texture2D);
  draw::activeTexture(0);
}

TEST_F(DrawGL, BlendFunctionAgreesWithGLForEveryFactorPair) {
  const std::pair<Factor, GLenum> factors[] = {
      {Factor::Zero, GL_ZERO},         {Factor::One, GL_ONE},
      {Factor::SrcAlpha, GL_SRC_ALPHA}, {Factor::OneMinusSrcAlpha, GL_ONE_MINUS_SRC_ALPHA},
      {Factor::DstColor, GL_DST_COLOR}, {Factor::OneMinusDstColor, GL_ONE_MINUS_DST_COLOR},
      {Factor::SrcColor, GL_SRC_COLOR}, {Factor::OneMinusSrcColor, GL_ONE_MINUS_SRC_COLOR}};
  auto glFactor = [&](Factor f) {
    return static_cast<int>(std::find_if(std::begin(factors), std::end(factors), [f](auto &p) { return p.first == f; })
                                ->second);
  };
  for (const auto &source : factors)
    for (const auto &destination : factors) {
      draw::blendFunc(source.first, destination.first);
      EXPECT_EQ(glInteger(GL_BLEND_SRC_RGB), glFactor(draw::state().blendSource));
      EXPECT_EQ(glInteger(GL_BLEND_DST_RGB), glFactor(draw::state().blendDestination));
    }
  draw::blendFunc(Factor::One, Factor::Zero);
}

TEST_F(DrawGL, BoundTexturePerUnitAgreesWithGL) {
  GLuint names[2] = {0, 0};
  glGenTextures(2, names);
  draw::activeTexture(1);
  draw::bindTexture(names[1]);
  draw::activeTexture(0);
  draw::bindTexture(names[0]);
  EXPECT_EQ(glInteger(GL_ACTIVE_TEXTURE), static_cast<int>(GL_TEXTURE0));
  for (int unit : {0, 1}) {
    glActiveTexture(static_cast<GLenum>(GL_TEXTURE0 + unit));
    EXPECT_EQ(draw::state().boundTexture[static_cast<size_t>(unit)],
              static_cast<uint32_t>(glInteger(GL_TEXTURE_BINDING_2D)))
        << "unit " << unit;
  }
  glActiveTexture(GL_TEXTURE0);
  for (int unit : {1, 0}) {
    draw::activeTexture(unit);
    draw::bindTexture(0);
  }
  glDeleteTextures(2, names);
}

} // namespace
} // namespace demo::test
