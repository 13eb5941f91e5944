// draw::scaleImage and draw::buildMipmaps against GLU itself: gluScaleImage's
// bytes and the levels gluBuild2DMipmaps uploads (read back from the texture
// it built) must be the same, byte for byte, for the data set's pictures and
// for small synthetic ones at the edges of the algorithm.
#include <GL/glew.h>
#include <GL/glu.h>

#include "draw/image_scaling.h"

#include <filesystem>
#include <string>
#include <vector>

#include "gfx/texture.h"
#include "gl_fixture.h"

namespace demo::test {
namespace {

using Bytes = std::vector<uint8_t>;

GLenum formatOf(int channels) { return channels == 4 ? GL_RGBA : GL_RGB; }

// The first difference, and how many bytes differ.
::testing::AssertionResult sameBytes(const Bytes &ours, const Bytes &glu) {
  if (ours.size() != glu.size())
    return ::testing::AssertionFailure() << ours.size() << " bytes, GLU " << glu.size();
  size_t first = ours.size(), count = 0;
  for (size_t i = 0; i < ours.size(); ++i)
    if (ours[i] != glu[i] && count++ == 0)
      first = i;
  if (count == 0)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << count << " bytes differ, the first at " << first << ": "
                                       << int(ours[first]) << ", GLU " << int(glu[first]);
}

// Deterministic noise, so every case has every byte value in play.
Bytes noise(int width, int height, int channels, uint32_t seed) {
  Bytes bytes(size_t(width) * height * channels);
  for (uint8_t &b : bytes)
    b = uint8_t((seed = seed * 1664525u + 1013904223u) >> 24);
  return bytes;
}

int powerOfTwoAtLeast(int n) {
  int p = 1;
  while (p < n)
    p *= 2;
  return p;
}

class ImageScalingGL : public GLTest {
protected:
  // gluScaleImage with tight rows both ways, as texture.cpp calls it.
  static Bytes gluScaled(const Bytes &pixels, int w, int h, int channels, int newW, int newH) {
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    Bytes out(size_t(newW) * newH * channels);
    const GLenum format = formatOf(channels);
    EXPECT_EQ(gluScaleImage(format, w, h, GL_UNSIGNED_BYTE, pixels.data(), newW, newH, GL_UNSIGNED_BYTE, out.data()),
              0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    return out;
  }

  // Every level gluBuild2DMipmaps uploaded, read back.
  static std::vector<draw::MipLevel> gluMipmaps(const Bytes &pixels, int w, int h, int channels) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    const GLenum format = formatOf(channels);
    EXPECT_EQ(gluBuild2DMipmaps(GL_TEXTURE_2D, channels, w, h, format, GL_UNSIGNED_BYTE, pixels.data()), 0);
    std::vector<draw::MipLevel> levels;
    for (int level = 0;; ++level) {
      GLint lw = 0, lh = 0;
      glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &lw);
      glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &lh);
      if (lw == 0 || lh == 0)
        break;
      levels.push_back({lw, lh, Bytes(size_t(lw) * lh * channels)});
      glGetTexImage(GL_TEXTURE_2D, level, format, GL_UNSIGNED_BYTE, levels.back().pixels.data());
      if (lw == 1 && lh == 1)
        break;
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glBindTexture(GL_TEXTURE_2D, 0);
    glDeleteTextures(1, &name);
    return levels;
  }

  void expectScaledAsGlu(const std::string &what, const Bytes &pixels, int w, int h, int channels, int newW,
                         int newH) {
    EXPECT_TRUE(sameBytes(draw::scaleImage(pixels.data(), w, h, channels, newW, newH),
                          gluScaled(pixels, w, h, channels, newW, newH)))
        << what << " " << w << "x" << h << " -> " << newW << "x" << newH;
  }

  void expectMipmapsAsGlu(const std::string &what, const Bytes &pixels, int w, int h, int channels) {
    const std::vector<draw::MipLevel> glu = gluMipmaps(pixels, w, h, channels);
    const std::vector<draw::MipLevel> ours =
        draw::buildMipmaps(pixels.data(), w, h, channels, glInteger(GL_MAX_TEXTURE_SIZE));
    ASSERT_EQ(ours.size(), glu.size()) << what << " " << w << "x" << h;
    for (size_t i = 0; i < ours.size(); ++i) {
      EXPECT_EQ(ours[i].width, glu[i].width) << what << " level " << i;
      EXPECT_EQ(ours[i].height, glu[i].height) << what << " level " << i;
      EXPECT_TRUE(sameBytes(ours[i].pixels, glu[i].pixels))
          << what << " " << w << "x" << h << " level " << i << " (" << glu[i].width << "x" << glu[i].height << ")";
    }
    EXPECT_TRUE(noGlError()) << what;
  }

  // Both, as the show uploads a picture: scaled up to powers of two (the PNG
  // path), and mipmapped as it is (the JPEG path) and once scaled.
  void expectAllAsGlu(const std::string &what, const Bytes &pixels, int w, int h, int channels) {
    const int pw = powerOfTwoAtLeast(w), ph = powerOfTwoAtLeast(h);
    expectScaledAsGlu(what, pixels, w, h, channels, pw, ph);
    expectMipmapsAsGlu(what, pixels, w, h, channels);
    if (pw != w || ph != h)
      expectMipmapsAsGlu(what + " scaled", gluScaled(pixels, w, h, channels, pw, ph), pw, ph, channels);
  }
};

TEST_F(ImageScalingGL, ScaledAndMipmappedPicturesOfTheDataSetAreGlus) {
  int pictures = 0;
  for (const char *dir : {DEMO_BAKED_DATA_DIR, DEMO_BAKED_DATA_DIR "/overlays"})
    for (const auto &entry : std::filesystem::directory_iterator(dir)) {
      const std::string path = entry.path().string(), ext = entry.path().extension().string();
      if (ext == ".jpg") {
        const JpegImage image = loadJpeg(path.c_str());
        ASSERT_FALSE(image.empty()) << path;
        expectAllAsGlu(path, image.data, image.width, image.height, 3);
      } else if (ext == ".png") {
        const PngImage image = decodePng(path.c_str());
        ASSERT_FALSE(image.empty()) << path;
        expectAllAsGlu(path, image.data, image.width, image.height, image.channels);
      } else {
        continue;
      }
      ++pictures;
    }
  EXPECT_GE(pictures, 20);
}

TEST_F(ImageScalingGL, ScaledAndMipmappedSyntheticEdgeCasesAreGlus) {
  struct Case {
    int w, h, channels;
  };
  // 1 x N, N x 1, odd sides rounded up (3 x 5 -> 4 x 4) and down (5 x 3),
  // enlarged (3 x 3), one side already a power of two (3 x 4), powers of two
  // (12 x 12 -> 16 x 16, 64 x 32 as it is), alpha, shrunk (1000 x 700).
  for (const Case c : {Case{1, 1, 3}, Case{1, 7, 3}, Case{7, 1, 4}, Case{1, 13, 4}, Case{24, 1, 3}, Case{3, 5, 3},
                       Case{3, 3, 4}, Case{5, 3, 3}, Case{6, 11, 4}, Case{3, 4, 3}, Case{12, 12, 3}, Case{64, 32, 3},
                       Case{37, 23, 4}, Case{129, 65, 3}, Case{1000, 700, 3}}) {
    const std::string what = std::to_string(c.channels) + " channels";
    const Bytes pixels = noise(c.w, c.h, c.channels, uint32_t(c.w * 131 + c.h));
    expectAllAsGlu(what, pixels, c.w, c.h, c.channels);
    // Other sizes: halved exactly, shrunk, enlarged, stretched one way.
    for (const Case to : {Case{c.w / 2, c.h / 2, 0}, Case{c.w * 2 / 3, c.h / 3, 0}, Case{c.w + 3, c.h * 2 + 1, 0},
                          Case{1, c.h, 0}, Case{c.w, 1, 0}})
      if (to.w > 0 && to.h > 0)
        expectScaledAsGlu(what, pixels, c.w, c.h, c.channels, to.w, to.h);
  }
}

// GLU asks GL how large a texture may be, so the case of a picture over the
// limit takes sides over GL_MAX_TEXTURE_SIZE: both sides are halved until
// they fit, down to 1, and the box filter then spans several rows.
TEST_F(ImageScalingGL, MipmapsOfPicturesOverTheMaximumSizeAreGlus) {
  const int max = glInteger(GL_MAX_TEXTURE_SIZE);
  struct Case {
    int w, h, channels;
  };
  for (const Case c : {Case{2 * max, 1, 3}, Case{2 * max, 3, 4}, Case{2 * max - max / 4, 2, 3},
                       Case{3, 2 * max, 3}, Case{4 * max, 8, 3}})
    expectMipmapsAsGlu("over the maximum", noise(c.w, c.h, c.channels, 7), c.w, c.h, c.channels);
}

} // namespace
} // namespace demo::test
