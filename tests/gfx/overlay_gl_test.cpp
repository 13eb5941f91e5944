#include <GL/glew.h>

#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

#include "gfx/overlay.h"
#include "gfx/texture.h"
#include "gl_fixture.h"
#include "draw/draw.h"

namespace demo::test {
namespace {

// A picture whose every texel says where it is: red and green are the low
// bytes of x and of the row counted from the top, blue holds their high bits.
// Data row 0 is the picture's top row, as the loaders upload it.
std::vector<uint8_t> coordinatePicture(int w, int h) {
  std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
  for (int row = 0; row < h; ++row)
    for (int x = 0; x < w; ++x) {
      uint8_t *p = &rgb[(static_cast<size_t>(row) * w + x) * 3];
      p[0] = static_cast<uint8_t>(x & 255);
      p[1] = static_cast<uint8_t>(row & 255);
      p[2] = static_cast<uint8_t>((x >> 8) | ((row >> 8) << 4));
    }
  return rgb;
}

struct TexelPos {
  int x, row;
};

TexelPos decode(const Rgb &c) { return {c.r | ((c.b & 15) << 8), c.g | ((c.b >> 4) << 8)}; }

// A picture of four vertical stripes (red, green, blue, white, left to
// right) whose lower half also has its colours halved.
std::vector<uint8_t> stripePicture(int w, int h) {
  static const uint8_t kColours[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
  std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
  for (int row = 0; row < h; ++row)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c)
        rgb[(static_cast<size_t>(row) * w + x) * 3 + c] =
            static_cast<uint8_t>(kColours[x * 4 / w][c] / (row < h / 2 ? 1 : 2));
  return rgb;
}

std::vector<float> matrix(GLenum which) {
  std::vector<float> m(16);
  glGetFloatv(which, m.data());
  return m;
}

GLint integer(GLenum which) {
  GLint v = 0;
  glGetIntegerv(which, &v);
  return v;
}

bool near(const Rgb &c, int r, int g, int b, int tolerance = 2) {
  return std::abs(c.r - r) <= tolerance && std::abs(c.g - g) <= tolerance && std::abs(c.b - b) <= tolerance;
}

class OverlayTest : public GLTest {
protected:
  void TearDown() override {
    if (picture_.textureId)
      glDeleteTextures(1, &picture_.textureId);
    GLTest::TearDown();
  }

  // Uploads the picture with nearest filtering (texel values come through
  // unmixed) and a mipmap chain, as every loaded picture has one.
  void makePicture(const std::vector<uint8_t> &rgb, int w, int h) {
    glGenTextures(1, &picture_.textureId);
    glBindTexture(GL_TEXTURE_2D, picture_.textureId);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, w, h, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    glGenerateMipmap(GL_TEXTURE_2D);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glBindTexture(GL_TEXTURE_2D, 0);
    picture_.width = w;
    picture_.height = h;
    picture_.loaded = true;
  }

  Texture picture_;
};

// ------------------------------------------------------------------ drawAt

TEST_F(OverlayTest, DrawAtOriginCoversTheScreenTexelForPixel) {
  makePicture(coordinatePicture(800, 600), 800, 600);
  // Depth that would hide it does not apply.
  glClearDepth(0.0);
  glClear(GL_DEPTH_BUFFER_BIT);
  glClearDepth(1.0);
  picture_.drawAt(0, 0, 1);

  const std::vector<uint8_t> frame = readFrame();
  int wrong = 0;
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 800; ++x) {
      const uint8_t *p = &frame[(static_cast<size_t>(y) * 800 + x) * 3];
      TexelPos t = decode(Rgb{p[0], p[1], p[2]});
      if (t.x != x || t.row != 599 - y) {
        if (wrong++ == 0)
          ADD_FAILURE() << "pixel (" << x << ", " << y << ") shows texel (" << t.x << ", row " << t.row << ")";
      }
    }
  EXPECT_EQ(wrong, 0);
  // The corners show the picture's corners, top row at the top.
  EXPECT_EQ(decode(pixel(0, 599)).row, 0);
  EXPECT_EQ(decode(pixel(799, 0)).x, 799);
  EXPECT_EQ(decode(pixel(799, 0)).row, 599);
}

TEST_F(OverlayTest, DrawAtScaleTwoShowsTheCentreHalfEnlarged) {
  makePicture(coordinatePicture(800, 600), 800, 600);
  picture_.drawAt(0, 0, 2);

  // Pixel (x, y) shows texel (200 + x / 2, 150 + y / 2 from the bottom).
  for (int y : {0, 1, 150, 299, 300, 451, 598, 599})
    for (int x : {0, 1, 200, 399, 400, 601, 798, 799}) {
      TexelPos t = decode(pixel(x, y));
      EXPECT_NEAR(t.x, 200 + x / 2, 1) << "x " << x << " y " << y;
      EXPECT_NEAR(t.row, 449 - y / 2, 1) << "x " << x << " y " << y;
    }
}

TEST_F(OverlayTest, DrawAtPlacesThePictureAtItsOwnPixelSize) {
  makePicture(coordinatePicture(64, 32), 64, 32);
  picture_.drawAt(100, 200, 1);

  // Covers x 100..163, y 200..231; nothing drawn around it.
  EXPECT_EQ(decode(pixel(100, 200)).x, 0);
  EXPECT_EQ(decode(pixel(100, 200)).row, 31);
  EXPECT_EQ(decode(pixel(163, 231)).x, 63);
  EXPECT_EQ(decode(pixel(163, 231)).row, 0);
  for (auto [x, y] : {std::pair{99, 200}, {164, 200}, {100, 199}, {100, 232}})
    EXPECT_TRUE(near(pixel(x, y), 0, 0, 0, 0)) << x << ", " << y;
}

TEST_F(OverlayTest, DrawAtIsModulatedByTheColourAndLeavesBlendingAlone) {
  makePicture(std::vector<uint8_t>(16 * 16 * 3, 255), 16, 16);
  glColor4f(0.5f, 1.f, 0.25f, 1.f);
  picture_.drawAt(0, 0, 1);
  EXPECT_TRUE(near(pixel(8, 8), 128, 255, 64));

  // Blending set by the caller applies and stays on.
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE);
  glColor4f(0.25f, 0.f, 0.f, 1.f);
  picture_.drawAt(0, 0, 1);
  EXPECT_TRUE(near(pixel(8, 8), 191, 255, 64));
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  EXPECT_EQ(integer(GL_BLEND_SRC_RGB), GL_ONE);
  EXPECT_EQ(integer(GL_BLEND_DST_RGB), GL_ONE);
}

// ------------------------------------------------------------------ drawSprite

TEST_F(OverlayTest, DrawSpriteOfZeroSizeDrawsNothing) {
  makePicture(std::vector<uint8_t>(16 * 16 * 3, 255), 16, 16);
  picture_.drawSprite(0, 0, 0, 600, 1, 1, 0, 0);
  picture_.drawSprite(0, 0, 800, 0, 1, 1, 0, 0);
  const std::vector<uint8_t> frame = readFrame();
  EXPECT_EQ(std::vector<uint8_t>(frame.size(), 0), frame);
}

TEST_F(OverlayTest, DrawSpriteFillsExactlyItsRectangle) {
  makePicture(std::vector<uint8_t>(16 * 16 * 3, 255), 16, 16);
  picture_.drawSprite(100, 50, 200, 100, 1, 1, 0, 0);
  EXPECT_TRUE(near(pixel(100, 50), 255, 255, 255, 0));
  EXPECT_TRUE(near(pixel(299, 149), 255, 255, 255, 0));
  for (auto [x, y] : {std::pair{99, 50}, {300, 149}, {100, 49}, {100, 150}})
    EXPECT_TRUE(near(pixel(x, y), 0, 0, 0, 0)) << x << ", " << y;
}

TEST_F(OverlayTest, DrawSpriteHalfSpanStretchesTheLeftHalf) {
  makePicture(stripePicture(64, 64), 64, 64);
  picture_.drawSprite(0, 0, 800, 600, 0.5f, 1, 0, 0);
  // Red then green across, blue and white never; vStart 0 is the top edge,
  // so the picture's full-strength upper half is at the top.
  EXPECT_TRUE(near(pixel(100, 500), 255, 0, 0));
  EXPECT_TRUE(near(pixel(700, 500), 0, 255, 0));
  EXPECT_TRUE(near(pixel(100, 100), 128, 0, 0));
  EXPECT_TRUE(near(pixel(700, 100), 0, 128, 0));
  for (int x = 0; x < 800; x += 7)
    EXPECT_EQ(pixel(x, 300).b, 0) << x;
}

TEST_F(OverlayTest, DrawSpriteWindowStartsAtTheGivenTexel) {
  makePicture(stripePicture(64, 64), 64, 64);
  // The lower half of the picture, third and fourth stripes.
  picture_.drawSprite(0, 0, 800, 600, 0.5f, 0.5f, 0.5f, 0.5f);
  EXPECT_TRUE(near(pixel(100, 300), 0, 0, 128));
  EXPECT_TRUE(near(pixel(700, 300), 128, 128, 128));
}

TEST_F(OverlayTest, DrawSpriteWithNegativeHeightExtendsDownwards) {
  makePicture(stripePicture(64, 64), 64, 64);
  // The winding flips, so it shows only with culling off.
  glDisable(GL_CULL_FACE);
  picture_.drawSprite(0, 400, 800, -100, 1, 1, 0, 0);
  // Rows 300..399. vStart (the full-strength half) goes to the far edge,
  // y = 300, so the picture shows upside down.
  EXPECT_TRUE(near(pixel(10, 300), 255, 0, 0));
  EXPECT_TRUE(near(pixel(10, 399), 128, 0, 0));
  EXPECT_TRUE(near(pixel(10, 400), 0, 0, 0, 0));
  EXPECT_TRUE(near(pixel(10, 299), 0, 0, 0, 0));
}

TEST_F(OverlayTest, DrawSpriteSetsClampAndTrilinearOnTheTexture) {
  makePicture(std::vector<uint8_t>(16 * 16 * 3, 255), 16, 16);
  picture_.drawSprite(0, 0, 10, 10, 1, 1, 0, 0);
  glBindTexture(GL_TEXTURE_2D, picture_.textureId);
  GLint wrapS = 0, wrapT = 0, minFilter = 0, magFilter = 0;
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrapS);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrapT);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
  EXPECT_EQ(wrapS, GL_REPEAT);
  EXPECT_EQ(wrapT, GL_CLAMP);
  EXPECT_EQ(minFilter, GL_LINEAR_MIPMAP_LINEAR);
  EXPECT_EQ(magFilter, GL_NEAREST);
}

// Both overlays: depth test on, texturing off, model-view selected, both
// matrices and their stacks as before, whatever the caller had.
TEST_F(OverlayTest, OverlaysLeaveDepthTestTexturingAndMatrices) {
  makePicture(std::vector<uint8_t>(16 * 16 * 3, 255), 16, 16);
  for (int which = 0; which < 2; ++which) {
    SCOPED_TRACE(which == 0 ? "drawAt" : "drawSprite");
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-3, 5, -2, 7, 1, 9);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(1, 2, 3);
    glRotatef(30, 0, 0, 1);
    glMatrixMode(GL_TEXTURE); // a caller in another mode
    glDisable(GL_DEPTH_TEST);
    const std::vector<float> projection = matrix(GL_PROJECTION_MATRIX);
    const std::vector<float> modelView = matrix(GL_MODELVIEW_MATRIX);
    const GLint projectionDepth = integer(GL_PROJECTION_STACK_DEPTH);
    const GLint modelViewDepth = integer(GL_MODELVIEW_STACK_DEPTH);

    if (which == 0)
      picture_.drawAt(10, 10, 1.5f);
    else
      picture_.drawSprite(10, 10, 50, 50, 1, 1, 0, 0);

    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), static_cast<GLint>(picture_.textureId));
    EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);
    EXPECT_EQ(matrix(GL_PROJECTION_MATRIX), projection);
    EXPECT_EQ(matrix(GL_MODELVIEW_MATRIX), modelView);
    EXPECT_EQ(integer(GL_PROJECTION_STACK_DEPTH), projectionDepth);
    EXPECT_EQ(integer(GL_MODELVIEW_STACK_DEPTH), modelViewDepth);
    EXPECT_EQ(takeGlError(), static_cast<unsigned>(GL_NO_ERROR));
  }
}

// ------------------------------------------------------------------ drawFullScreenQuad

TEST_F(OverlayTest, FullScreenQuadFillsWithTheCurrentColour) {
  // Depth that would hide it and culling that would drop it do not apply.
  glClearDepth(0.0);
  glClear(GL_DEPTH_BUFFER_BIT);
  glClearDepth(1.0);
  glFrontFace(GL_CW);
  glColor3f(0.2f, 0.4f, 0.6f);
  drawFullScreenQuad();
  glFrontFace(GL_CCW);
  for (auto [x, y] : {std::pair{0, 0}, {799, 0}, {0, 599}, {799, 599}, {400, 300}})
    EXPECT_TRUE(near(pixel(x, y), 51, 102, 153, 1)) << x << ", " << y;
}

TEST_F(OverlayTest, FullScreenQuadLeavesProjectionModeCullingOffDepthOn) {
  glMatrixMode(GL_PROJECTION);
  glOrtho(-3, 5, -2, 7, 1, 9);
  glMatrixMode(GL_MODELVIEW);
  glTranslatef(1, 2, 3);
  glDisable(GL_DEPTH_TEST);
  const std::vector<float> projection = matrix(GL_PROJECTION_MATRIX);
  const std::vector<float> modelView = matrix(GL_MODELVIEW_MATRIX);
  const GLint projectionDepth = integer(GL_PROJECTION_STACK_DEPTH);
  const GLint modelViewDepth = integer(GL_MODELVIEW_STACK_DEPTH);

  drawFullScreenQuad();

  EXPECT_EQ(integer(GL_MATRIX_MODE), GL_PROJECTION);
  EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_EQ(matrix(GL_PROJECTION_MATRIX), projection);
  EXPECT_EQ(matrix(GL_MODELVIEW_MATRIX), modelView);
  EXPECT_EQ(integer(GL_PROJECTION_STACK_DEPTH), projectionDepth);
  EXPECT_EQ(integer(GL_MODELVIEW_STACK_DEPTH), modelViewDepth);
  EXPECT_EQ(takeGlError(), static_cast<unsigned>(GL_NO_ERROR));
}

// A flash at strength 0 is skipped, but only where it really changes no
// pixel: lit, or blended in a way that does not weight by its alpha, it
// still draws.
TEST_F(OverlayTest, OnlyDrawsThatCannotChangeAPixelAreSkipped) {
  draw::disable(draw::Cap::Texture2D);
  draw::enable(draw::Cap::Blend);
  draw::blendFunc(draw::Factor::SrcAlpha, draw::Factor::OneMinusSrcAlpha);
  draw::colour(1.f, 1.f, 1.f, 0.f);
  EXPECT_TRUE(blendedDrawIsInvisible());
  draw::colour(1.f, 1.f, 1.f, -0.5f); // GL clamps it to 0
  EXPECT_TRUE(blendedDrawIsInvisible());
  draw::blendFunc(draw::Factor::SrcAlpha, draw::Factor::One);
  EXPECT_TRUE(blendedDrawIsInvisible());

  draw::colour(1.f, 1.f, 1.f, 0.01f);
  EXPECT_FALSE(blendedDrawIsInvisible());
  draw::colour(1.f, 1.f, 1.f, 0.f);
  draw::blendFunc(draw::Factor::One, draw::Factor::One);
  EXPECT_FALSE(blendedDrawIsInvisible()) << "adds the colour whatever its alpha";
  draw::blendFunc(draw::Factor::SrcAlpha, draw::Factor::One);
  draw::enable(draw::Cap::Lighting);
  EXPECT_FALSE(blendedDrawIsInvisible()) << "lighting makes its own alpha";
  draw::disable(draw::Cap::Lighting);
  draw::disable(draw::Cap::Blend);
  EXPECT_FALSE(blendedDrawIsInvisible()) << "unblended, it paints";

  // Skipped or not, the quad leaves its state.
  draw::enable(draw::Cap::Blend);
  draw::clearColour(0.2f, 0.4f, 0.6f, 1.f);
  draw::clear(draw::kClearColour);
  draw::matrixMode(draw::MatrixMode::ModelView);
  drawFullScreenQuad();
  draw::disable(draw::Cap::Blend);
  EXPECT_TRUE(near(pixel(400, 300), 51, 102, 153, 0));
  GLint mode = 0;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(mode, GL_PROJECTION);
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  draw::colour(1.f, 1.f, 1.f, 1.f);
}

} // namespace
} // namespace demo::test
