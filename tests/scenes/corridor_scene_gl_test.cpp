// The corridor scene drawn headlessly with the baked data set.
#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "gfx/texture.h"
#include "gl_fixture.h"
#include "base/data_path.h"
#include "scene/gsp_file.h"
#include "scenes/corridor_scene.h"
#include "support/test_files.h"

namespace demo::test {
namespace {

class CorridorSceneGL : public BakedDataGLTest {
protected:
  ShowRandom random_; // the show's generator, fresh for each test


  // Points of 8 pixels, culling off, the colour white, no program.
  static void expectStateLeftByEveryFrame() {
    GLfloat size = 0.f, colour[4] = {0.f, 0.f, 0.f, 0.f};
    glGetFloatv(GL_POINT_SIZE, &size);
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(size, 8.f);
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_EQ(colour[0] + colour[1] + colour[2] + colour[3], 4.f);
    EXPECT_EQ(glInteger(GL_CURRENT_PROGRAM), 0);
  }
};

// Pearson correlation of two equally long series.
double correlation(const std::vector<double> &a, const std::vector<double> &b) {
  double ma = 0, mb = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    ma += a[i];
    mb += b[i];
  }
  ma /= static_cast<double>(a.size());
  mb /= static_cast<double>(b.size());
  double ab = 0, aa = 0, bb = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    ab += (a[i] - ma) * (b[i] - mb);
    aa += (a[i] - ma) * (a[i] - ma);
    bb += (b[i] - mb) * (b[i] - mb);
  }
  return ab / std::sqrt(aa * bb);
}

TEST_F(CorridorSceneGL, TheIntroShowsTheScrollingPictureUnderTheGreetings) {
  CorridorScene scene;
  ASSERT_EQ(scene.markerTexture().width, 800);
  ASSERT_GT(scene.markerTexture().height, 400);
  const PngImage greetings = decodePng("data/greetings.png");
  ASSERT_EQ(greetings.width, 800);
  ASSERT_EQ(greetings.height, 600);

  // Scene time 2 in one frame of silence (travel 6, as thirty frames would
  // leave it): T = 3.6, the picture's lower edge at y = 300 - 36.
  const Spectrum spectrum{};
  scene.render(2.f, 2.f, spectrum, random_);
  const std::vector<uint8_t> frame = readFrame();
  const int w = scene.markerTexture().width, h = scene.markerTexture().height;

  // What the picture and the greetings multiplied over it give on their own
  // (p (g + 0.3)), for the picture's lower edge at y0; the glow only adds.
  auto expected = [&](int x, int y, int c, int y0) {
    const int row = h - 1 - (y - y0);
    if (row < 0 || row >= h)
      return 0.0;
    const double p = scene.markerTexture().pixels[(static_cast<size_t>(row) * w + x) * 3 + c];
    const double g = greetings.data[(static_cast<size_t>(599 - y) * 800 + x) * greetings.channels + c] / 255.0;
    return std::min(255.0, p * (g + 0.3));
  };
  const int y0 = 264;
  std::vector<double> seen, atEdge, higher, lower;
  int darker = 0, total = 0;
  for (int y = y0 + 2; y < 600; y += 2)
    for (int x = 0; x < 800; x += 2)
      for (int c = 0; c < 3; ++c) {
        const double v = frame[(static_cast<size_t>(y) * 800 + x) * 3 + c];
        const double e = expected(x, y, c, y0);
        seen.push_back(v);
        atEdge.push_back(e);
        higher.push_back(expected(x, y, c, y0 + 20));
        lower.push_back(expected(x, y, c, y0 - 20));
        ++total;
        if (v < e - 24.0)
          ++darker;
      }
  const double match = correlation(seen, atEdge);
  EXPECT_GT(match, 0.9);
  EXPECT_GT(match, correlation(seen, higher) + 0.15);
  EXPECT_GT(match, correlation(seen, lower) + 0.15);
  // Nowhere much darker than the picture: the glow and the faint copy add.
  EXPECT_LT(darker, total / 30) << darker << " of " << total;

  // Intro frames leave blending off.
  EXPECT_TRUE(noGlError());
  expectStateLeftByEveryFrame();
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

// Silence up to scene time 25 in two frames (the flight as a steady 30
// frames a second would leave it): the last intro frame, then T = 45.
void renderToTwentyFive(CorridorScene &scene) {
  const Spectrum spectrum{};
  ShowRandom random;
  scene.render(19.9f, 19.9f, spectrum, random);
  scene.render(25.f, 5.1f, spectrum, random);
}

TEST_F(CorridorSceneGL, AfterTheSwitchTheCorridorAndTheDarkBandsAppear) {
  std::vector<uint8_t> withCorridor, without;
  {
    CorridorScene scene;
    ASSERT_NE(scene.corridorNode(), nullptr);
    ASSERT_GT(scene.corridorIndexCount(), 0);
    renderToTwentyFive(scene);
    withCorridor = readFrame();
    EXPECT_NEAR(scene.bass().travel, 3.f * 19.9f + 14.f * 5.1f, 1e-3f);

    // Corridor frames leave blending on for the overlays, light 0 on,
    // lighting and fog off.
    EXPECT_TRUE(noGlError());
    expectStateLeftByEveryFrame();
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(glInteger(GL_BLEND_SRC), GL_SRC_ALPHA);
    EXPECT_EQ(glInteger(GL_BLEND_DST), GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING) || glIsEnabled(GL_FOG));
  }

  // The same frames from a corridor file without "Box59": reported once, no
  // corridor arrays, and everything else still drawn.
  TempDir dir;
  for (const auto &entry : std::filesystem::directory_iterator(DEMO_BAKED_DATA_DIR))
    if (entry.path().filename() != "gang.gsp")
      std::filesystem::create_symlink(entry.path(), dir.file(entry.path().filename().string()));
  ASSERT_TRUE(saveGsp(Scene(), dir.file("gang.gsp")));
  setDataDirectory(dir.path());
  {
    testing::internal::CaptureStderr();
    CorridorScene scene;
    const std::string messages = testing::internal::GetCapturedStderr();
    EXPECT_NE(messages.find("no mesh named \"Box59\""), std::string::npos) << messages;
    EXPECT_EQ(scene.corridorNode(), nullptr);
    EXPECT_EQ(scene.corridorIndices(), nullptr);
    EXPECT_EQ(scene.corridorVertices(), nullptr);
    EXPECT_EQ(scene.corridorIndexCount(), 0);
    renderToTwentyFive(scene);
    without = readFrame();
    EXPECT_TRUE(noGlError());
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
  }

  // The corridor fills the screen around the balls: between the band rows
  // most pixels change when it is there, and it brightens the picture.
  int changed = 0, counted = 0;
  double litWith = 0, litWithout = 0;
  for (int y = 100; y < 500; ++y)
    for (int x = 0; x < 800; ++x) {
      const size_t i = (static_cast<size_t>(y) * 800 + x) * 3;
      int a = 0, b = 0;
      for (int c = 0; c < 3; ++c) {
        a += withCorridor[i + c];
        b += without[i + c];
      }
      ++counted;
      changed += std::abs(a - b) > 30;
      litWith += a;
      litWithout += b;
    }
  EXPECT_GT(changed, counted / 3);
  EXPECT_GT(litWith, 1.5 * litWithout);

  // Pair 5 at T = 45 in silence: 26 pixels thick, 17 from each edge, alpha
  // near 3, so its outer part is black right across (the texture's row of
  // slots lets a little through), on both edges, while the corridor shows
  // just inside it. Row brightness here is the mean of a channel.
  const DarkBand band = darkBand(5, 45.f, 0.f);
  ASSERT_NEAR(band.distance, 16.9f, 0.2f);
  ASSERT_NEAR(band.thickness, 26.1f, 0.2f);
  ASSERT_GT(band.alpha, 2.f);
  int bottomBlack = 0, topBlack = 0;
  for (int k = 1; k <= 10; ++k) {
    const double bottom = meanBrightness(withCorridor, 17 + k, 18 + k) / 3.0;
    const double top = meanBrightness(withCorridor, 583 - k, 584 - k) / 3.0;
    EXPECT_LT(bottom, 12.0) << "bottom row " << 17 + k;
    EXPECT_LT(top, 12.0) << "top row " << 583 - k;
    bottomBlack += bottom < 2.0;
    topBlack += top < 2.0;
  }
  EXPECT_GE(bottomBlack, 4);
  EXPECT_GE(topBlack, 4);
  EXPECT_GT(meanBrightness(withCorridor, 52, 53) / 3.0, 30.0);
  EXPECT_GT(meanBrightness(withCorridor, 548, 549) / 3.0, 30.0);
}

} // namespace
} // namespace demo::test
