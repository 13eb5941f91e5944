// Textures on a real GL context: sizes, formats and parameters of the uploads,
// row order, and the binding helpers' state.
#include <GL/glew.h>

#include "gfx/texture.h"

#include <algorithm>
#include <array>
#include <string>

#include "gl_fixture.h"
#include "support/picture_writer.h"
#include "support/test_files.h"

namespace demo::test {
namespace {

class TextureGL : public GLTest {
protected:
  TempDir dir;

  std::string png(const char *name, int w, int h, int channels, const std::vector<uint8_t> &pixels) {
    const std::string path = dir.file(name);
    EXPECT_TRUE(writePng(path, w, h, channels, pixels));
    return path;
  }
  std::string jpeg(const char *name, int w, int h, const std::vector<uint8_t> &rgb) {
    const std::string path = dir.file(name);
    EXPECT_TRUE(writeJpeg(path, w, h, 3, rgb));
    return path;
  }

  GLint levelParam(unsigned name, int level, GLenum what) {
    glBindTexture(GL_TEXTURE_2D, name);
    GLint v = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, what, &v);
    return v;
  }
  GLint texParam(unsigned name, GLenum what) {
    glBindTexture(GL_TEXTURE_2D, name);
    GLint v = -1;
    glGetTexParameteriv(GL_TEXTURE_2D, what, &v);
    return v;
  }
  // Level 0 as RGBA, row 0 first (row 0 is t = 0).
  std::vector<uint8_t> level0(unsigned name) {
    const GLint w = levelParam(name, 0, GL_TEXTURE_WIDTH), h = levelParam(name, 0, GL_TEXTURE_HEIGHT);
    std::vector<uint8_t> out(size_t(w) * size_t(h) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    return out;
  }
  static GLint integer(GLenum what) {
    GLint v = -1;
    glGetIntegerv(what, &v);
    return v;
  }
};

std::vector<uint8_t> solid(int w, int h, std::vector<uint8_t> pixel) {
  std::vector<uint8_t> out;
  for (int i = 0; i < w * h; ++i)
    out.insert(out.end(), pixel.begin(), pixel.end());
  return out;
}

TEST_F(TextureGL, PngLevelZeroIsScaledUpToPowersOfTwo) {
  struct Case {
    int w, h, texW, texH;
  } cases[] = {{1, 1, 1, 1}, {4, 2, 4, 2}, {5, 3, 8, 4}, {17, 1, 32, 1}, {64, 33, 64, 64}};
  for (const Case &c : cases) {
    const std::string path = png("p.png", c.w, c.h, 3, solid(c.w, c.h, {10, 20, 30}));
    Texture t(path.c_str(), 0);
    ASSERT_NE(t.textureId, 0u) << c.w << "x" << c.h;
    EXPECT_EQ(t.width, c.w);
    EXPECT_EQ(t.height, c.h);
    EXPECT_TRUE(t.pixels.empty());
    EXPECT_EQ(levelParam(t.textureId, 0, GL_TEXTURE_WIDTH), c.texW);
    EXPECT_EQ(levelParam(t.textureId, 0, GL_TEXTURE_HEIGHT), c.texH);
    const auto texels = level0(t.textureId);
    EXPECT_EQ(texels[0], 10);
    EXPECT_EQ(texels[texels.size() - 2], 30);
  }
  EXPECT_EQ(takeGlError(), GLenum(GL_NO_ERROR));
}

TEST_F(TextureGL, PngWithAlphaUploadsRgbaOtherwiseRgb) {
  Texture rgb(png("rgb.png", 4, 4, 3, solid(4, 4, {1, 2, 3})).c_str(), 0);
  Texture rgba(png("rgba.png", 4, 4, 4, solid(4, 4, {1, 2, 3, 77})).c_str(), 0);
  PngLayout keyed;
  keyed.width = 2;
  keyed.height = 2;
  keyed.colorType = 3;
  keyed.bitDepth = 8;
  keyed.palette = {9, 9, 9};
  keyed.paletteAlpha = {100};
  keyed.rows = {0, 0, 0, 0};
  ASSERT_TRUE(writePng(dir.file("keyed.png"), keyed));
  Texture palette(dir.file("keyed.png").c_str(), 0);

  EXPECT_EQ(levelParam(rgb.textureId, 0, GL_TEXTURE_INTERNAL_FORMAT), GL_RGB);
  EXPECT_EQ(levelParam(rgb.textureId, 0, GL_TEXTURE_ALPHA_SIZE), 0);
  EXPECT_EQ(levelParam(rgba.textureId, 0, GL_TEXTURE_INTERNAL_FORMAT), GL_RGBA);
  EXPECT_EQ(level0(rgba.textureId)[3], 77);
  EXPECT_EQ(levelParam(palette.textureId, 0, GL_TEXTURE_INTERNAL_FORMAT), GL_RGBA);
  EXPECT_EQ(level0(palette.textureId)[3], 100);
}

TEST_F(TextureGL, ParametersFollowTheLoader) {
  Texture p(png("p.png", 8, 8, 3, solid(8, 8, {0, 0, 0})).c_str(), 0);
  EXPECT_EQ(texParam(p.textureId, GL_TEXTURE_WRAP_S), GL_REPEAT);
  EXPECT_EQ(texParam(p.textureId, GL_TEXTURE_WRAP_T), GL_REPEAT);
  EXPECT_EQ(texParam(p.textureId, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
  EXPECT_EQ(texParam(p.textureId, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
  EXPECT_EQ(levelParam(p.textureId, 3, GL_TEXTURE_WIDTH), 1); // mipmaps down to 1 x 1

  int w = 0, h = 0;
  const unsigned bound =
      pngBind(dir.file("p.png").c_str(), draw::TextureValue::ClampToEdge, draw::TextureValue::LinearMipmapLinear,
              draw::TextureValue::Nearest, &w, &h);
  EXPECT_EQ(texParam(bound, GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
  EXPECT_EQ(texParam(bound, GL_TEXTURE_WRAP_T), GL_CLAMP_TO_EDGE);
  EXPECT_EQ(texParam(bound, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
  EXPECT_EQ(texParam(bound, GL_TEXTURE_MAG_FILTER), GL_NEAREST);
  EXPECT_EQ(w, 8);

  Texture j(jpeg("j.jpg", 8, 8, solid(8, 8, {50, 50, 50})).c_str(), 0);
  EXPECT_EQ(texParam(j.textureId, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_NEAREST);
  EXPECT_EQ(texParam(j.textureId, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
  EXPECT_EQ(texParam(j.textureId, GL_TEXTURE_WRAP_S), GL_REPEAT);
  EXPECT_EQ(texParam(j.textureId, GL_TEXTURE_WRAP_T), GL_REPEAT);
  EXPECT_EQ(levelParam(j.textureId, 0, GL_TEXTURE_ALPHA_SIZE), 0); // 3 components
  EXPECT_GT(levelParam(j.textureId, 0, GL_TEXTURE_BLUE_SIZE), 0);
  EXPECT_EQ(levelParam(j.textureId, 3, GL_TEXTURE_WIDTH), 1);
}

TEST_F(TextureGL, LoadingLeavesTheNewTextureBoundAndAlignmentAsItWas) {
  glPixelStorei(GL_UNPACK_ALIGNMENT, 2);
  glPixelStorei(GL_PACK_ALIGNMENT, 8);
  Texture p(png("odd.png", 3, 3, 3, solid(3, 3, {1, 1, 1})).c_str(), 0);
  EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), GLint(p.textureId));
  Texture j(jpeg("odd.jpg", 7, 3, solid(7, 3, {1, 1, 1})).c_str(), 0);
  EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), GLint(j.textureId));
  EXPECT_EQ(integer(GL_UNPACK_ALIGNMENT), 2);
  EXPECT_EQ(integer(GL_PACK_ALIGNMENT), 8);
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

// Left half red, right half blue, 33 pixels wide: with 4-byte row padding the
// halves would drift sideways from row to row.
TEST_F(TextureGL, OddWidthJpegUploadsUnskewed) {
  std::vector<uint8_t> rgb;
  for (int y = 0; y < 17; ++y)
    for (int x = 0; x < 33; ++x)
      rgb.insert(rgb.end(), {uint8_t(x < 16 ? 255 : 0), 0, uint8_t(x < 16 ? 0 : 255)});
  Texture t(jpeg("odd.jpg", 33, 17, rgb).c_str(), 0);
  ASSERT_NE(t.textureId, 0u);
  EXPECT_EQ(t.width, 33);
  EXPECT_EQ(t.height, 17);
  EXPECT_EQ(t.pixels, loadJpeg(dir.file("odd.jpg").c_str()).data);
  const GLint w = levelParam(t.textureId, 0, GL_TEXTURE_WIDTH), h = levelParam(t.textureId, 0, GL_TEXTURE_HEIGHT);
  const auto texels = level0(t.textureId);
  for (int y = 0; y < h; ++y) {
    const uint8_t *left = &texels[size_t(y * w) * 4], *right = &texels[size_t(y * w + w - 1) * 4];
    EXPECT_GT(left[0], 200) << "row " << y;
    EXPECT_LT(left[2], 60) << "row " << y;
    EXPECT_LT(right[0], 60) << "row " << y;
    EXPECT_GT(right[2], 200) << "row " << y;
  }
}

// A JPEG cut off in its scan is drawn as the decoder recovers it (and its
// normal map too), not left empty.
TEST_F(TextureGL, JpegCutOffInItsScanLoadsAtItsSize) {
  std::vector<uint8_t> busy; // detail everywhere, so that most of the file is scan
  for (int i = 0; i < 40 * 24 * 3; ++i)
    busy.push_back(uint8_t((i * 97) ^ (i >> 3)));
  std::vector<uint8_t> bytes = readFile(jpeg("whole.jpg", 40, 24, busy));
  bytes.resize(bytes.size() * 2 / 3);
  for (int normalMap : {0, 1}) {
    const std::string path = dir.file("cut" + std::to_string(normalMap) + ".jpg");
    writeFile(path, bytes);
    testing::internal::CaptureStderr();
    Texture t(path.c_str(), normalMap);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(t.textureId, 0u) << normalMap;
    EXPECT_EQ(t.width, 40);
    EXPECT_EQ(t.height, 24);
    EXPECT_EQ(t.pixels.size(), size_t(40 * 24 * 3));
    EXPECT_EQ(err.rfind(path + ": ", 0), 0u) << err;
  }
}

// The picture's top row is row 0 of the texture data (t = 0) for both loaders.
TEST_F(TextureGL, TopRowOfThePictureIsAtTZero) {
  std::vector<uint8_t> rgb;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x)
      rgb.insert(rgb.end(), {uint8_t(y < 8 ? 255 : 0), 0, uint8_t(y < 8 ? 0 : 255)});
  Texture p(png("top.png", 16, 16, 3, rgb).c_str(), 0);
  Texture j(jpeg("top.jpg", 16, 16, rgb).c_str(), 0);
  for (const Texture *t : {&p, &j}) {
    const auto texels = level0(t->textureId);
    EXPECT_GT(texels[0], 200); // row 0: red
    EXPECT_LT(texels[2], 60);
    EXPECT_LT(texels[texels.size() - 4], 60); // last row: blue
    EXPECT_GT(texels[texels.size() - 2], 200);
  }
}

TEST_F(TextureGL, SignatureBeatsTheExtension) {
  Texture p(png("really_png.jpg", 6, 2, 4, solid(6, 2, {5, 6, 7, 8})).c_str(), 0);
  EXPECT_NE(p.textureId, 0u);
  EXPECT_EQ(p.width, 6);
  EXPECT_TRUE(p.pixels.empty()); // PNG path: no bytes kept
  EXPECT_EQ(levelParam(p.textureId, 0, GL_TEXTURE_INTERNAL_FORMAT), GL_RGBA);

  Texture j(jpeg("really_jpeg.png", 6, 2, solid(6, 2, {90, 90, 90})).c_str(), 0);
  EXPECT_NE(j.textureId, 0u);
  EXPECT_EQ(j.pixels.size(), size_t(6 * 2 * 3));
  EXPECT_EQ(texParam(j.textureId, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_NEAREST);
}

TEST_F(TextureGL, NormalMapReplacesTheJpegBytesBeforeUpload) {
  std::vector<uint8_t> rgb;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      rgb.insert(rgb.end(), {uint8_t(x * 30), uint8_t(y * 30), 0});
  const std::string path = jpeg("height.jpg", 8, 8, rgb);
  Texture t(path.c_str(), 1);
  const JpegImage decoded = loadJpeg(path.c_str());
  EXPECT_EQ(t.pixels, heightToNormalMap(decoded.data, 8, 8));
  const auto texels = level0(t.textureId);
  EXPECT_EQ(texels[2], 255);
  EXPECT_EQ(texels[0], t.pixels[0]);
  EXPECT_EQ(texels[1], t.pixels[1]);

  Texture pngIgnoresIt(png("h.png", 2, 2, 3, solid(2, 2, {40, 40, 40})).c_str(), 1);
  EXPECT_EQ(level0(pngIgnoresIt.textureId)[0], 40);
}

TEST_F(TextureGL, BindUnitLeavesUnitZeroActive) {
  Texture t(png("b.png", 2, 2, 3, solid(2, 2, {1, 2, 3})).c_str(), 0);
  glBindTexture(GL_TEXTURE_2D, 0);
  t.bindUnit(1);
  EXPECT_EQ(integer(GL_ACTIVE_TEXTURE), GL_TEXTURE0);
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), 0);
  glActiveTexture(GL_TEXTURE1);
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), GLint(t.textureId));
  glActiveTexture(GL_TEXTURE0);

  t.unbindUnit(1);
  EXPECT_EQ(integer(GL_ACTIVE_TEXTURE), GL_TEXTURE0);
  glActiveTexture(GL_TEXTURE1);
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), GLint(t.textureId));
  glActiveTexture(GL_TEXTURE0);
  EXPECT_EQ(takeGlError(), GLenum(GL_NO_ERROR));
}

TEST_F(TextureGL, UnbindKeepsTheBindingAndBorrowedNamesBind) {
  Texture t(png("b.png", 2, 2, 3, solid(2, 2, {1, 2, 3})).c_str(), 0);
  glBindTexture(GL_TEXTURE_2D, 0);
  t.bind();
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), GLint(t.textureId));
  t.unbind();
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), GLint(t.textureId));

  Texture borrowed;
  borrowed.textureId = t.textureId;
  glBindTexture(GL_TEXTURE_2D, 0);
  borrowed.bind();
  EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), GLint(t.textureId));
  borrowed.unbind();
}

} // namespace
} // namespace demo::test
