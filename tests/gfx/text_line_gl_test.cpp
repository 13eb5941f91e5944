// The viewer's time line: glyphs land on their font pixels, over a dark
// strip, and the GL state is left as found.
#include <GL/glew.h>

#include "gfx/text_line.h"
#include "gl_fixture.h"

namespace demo::test {
namespace {

class TextLineGL : public GLTest {};

TEST_F(TextLineGL, GlyphsLandOnTheirPixelsOverADarkStripAndTheStateIsKept) {
  glViewport(0, 0, 800, 600);
  glClearColor(1.f, 1.f, 1.f, 1.f);
  glClear(GL_COLOR_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  glEnable(GL_DEPTH_TEST);
  // "-": only the middle row (row 3 of 7) is lit; scale 4 from (100, 100).
  drawTextLine(FrameSize(), "a-", 100.f, 100.f, 4.f);
  const int left = 100 + 6 * 4; // the second glyph
  EXPECT_EQ(pixel(left + 10, 100 + 3 * 4 + 2).r, 255) << "the dash";
  EXPECT_LT(pixel(left + 10, 100 + 5 * 4 + 2).r, 110) << "the strip above the dash";
  EXPECT_EQ(pixel(100 + 2, 100 + 2).r, 255) << "the A's left column, its lowest row";
  EXPECT_LT(pixel(100 + 2, 100 + 6 * 4 + 2).r, 110) << "the A's top row is only in its middle";
  EXPECT_EQ(pixel(300, 300).r, 255) << "nothing far from the text";

  GLint mode = 0;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(mode, GL_PROJECTION);
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  EXPECT_TRUE(noGlError());
  EXPECT_EQ(glyphRows('a'), glyphRows('A'));
  EXPECT_EQ(glyphRows('%'), nullptr);
}

// At a render scale the line covers the same part of the picture: every
// position and font pixel doubles at scale 2.
TEST_F(TextLineGL, AtScaleTwoTheLineGrowsWithThePicture) {
  const FrameSize scaled = FrameSize::atScale(2.0);
  ASSERT_TRUE(glWindow().setFrameSize(scaled));
  glClearColor(1.f, 1.f, 1.f, 1.f);
  glClear(GL_COLOR_BUFFER_BIT);
  drawTextLine(scaled, "a-", 100.f, 100.f, 4.f);
  const int left = 100 + 6 * 4;
  const int dash = pixel(2 * (left + 10), 2 * (100 + 3 * 4 + 2)).r;
  const int strip = pixel(2 * (left + 10), 2 * (100 + 5 * 4 + 2)).r;
  glWindow().setFrameSize(FrameSize());
  EXPECT_EQ(dash, 255);
  EXPECT_LT(strip, 110) << "the strip above the dash, at twice its place";
}

} // namespace
} // namespace demo::test
