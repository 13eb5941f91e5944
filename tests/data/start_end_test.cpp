// The loading screen, its bar and the end logo, read back with the show's
// readers and drawn the way the show draws them.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>

#include "bake/bake.h"
#include "gfx/texture.h"
#include "gl_fixture.h"
#include "support/baked_data.h"

namespace demo::test {
namespace {

// The bar's strip on the screen (y up) and on the picture (rows top first).
constexpr int kBarX = 157, kBarY = 265, kBarW = 514, kBarH = 45;
constexpr int kBarTopRow = 600 - kBarY - kBarH; // 290

int brightness(const uint8_t *rgb) { return rgb[0] + rgb[1] + rgb[2]; }

TEST(LoadingPictures, ScreenLeavesAPlainTrackWhereTheBarGoes) {
  JpegImage screen = loadJpeg(bakedFile("loadingscreen.jpg").c_str());
  ASSERT_FALSE(screen.empty());
  ASSERT_EQ(screen.width, 800);
  ASSERT_EQ(screen.height, 600);
  ASSERT_EQ(screen.stride, 2400);
  auto at = [&](int x, int row) { return &screen.data[static_cast<size_t>(row) * screen.stride + x * 3]; };
  // Inside the strip (a few pixels in from its edges) the track is dark and
  // plain, so each step of the bar reads against it.
  for (int row = kBarTopRow + 4; row < kBarTopRow + kBarH - 4; ++row)
    for (int x = kBarX + 4; x < kBarX + kBarW - 4; ++x)
      ASSERT_LT(brightness(at(x, row)), 90) << "at " << x << ", row " << row;
  // Above it stands the lettering: bright ink between the top and the track.
  int letters = 0;
  for (int row = 60; row < kBarTopRow - 6; ++row)
    for (int x = 0; x < 800; ++x)
      letters += brightness(at(x, row)) > 600;
  EXPECT_GT(letters, 3000);
}

TEST(LoadingPictures, BarIsOpaqueAlongItsLengthWithSoftEnds) {
  PngImage bar = decodePng(bakedFile("loadingbar.png").c_str());
  ASSERT_FALSE(bar.empty());
  ASSERT_EQ(bar.channels, 4);
  EXPECT_EQ(bar.width, kBarW); // shown one to one at every step
  EXPECT_EQ(bar.height, kBarH);
  auto alpha = [&](int x, int y) { return bar.data[(static_cast<size_t>(y) * bar.width + x) * 4 + 3]; };
  for (int x = 12; x < bar.width - 12; ++x)
    ASSERT_EQ(alpha(x, bar.height / 2), 255) << "column " << x;
  EXPECT_EQ(alpha(0, 0), 0);
  EXPECT_EQ(alpha(bar.width - 1, bar.height - 1), 0);
}

TEST(EndPictures, EndLogoIsLightOnBlackAndCentred) {
  PngImage logo = decodePng(bakedFile("endlogo.png").c_str());
  ASSERT_FALSE(logo.empty());
  ASSERT_EQ(logo.width, 512);
  ASSERT_EQ(logo.height, 128);
  auto at = [&](int x, int y) { return &logo.data[(static_cast<size_t>(y) * logo.width + x) * logo.channels]; };
  // It is added over the last frame: black adds nothing, so the edges are black.
  for (int y = 0; y < logo.height; ++y)
    for (int x = 0; x < logo.width; x += (y == 0 || y == logo.height - 1) ? 1 : logo.width - 1)
      ASSERT_LT(brightness(at(x, y)), 12) << "at " << x << ", " << y;
  double weight = 0.0, cx = 0.0, cy = 0.0;
  int peak = 0;
  for (int y = 0; y < logo.height; ++y)
    for (int x = 0; x < logo.width; ++x) {
      int b = brightness(at(x, y));
      peak = std::max(peak, b);
      weight += b;
      cx += static_cast<double>(b) * x;
      cy += static_cast<double>(b) * y;
    }
  ASSERT_GT(weight, 0.0);
  EXPECT_GT(peak, 600);
  EXPECT_NEAR(cx / weight, 255.5, 12.0);
  EXPECT_NEAR(cy / weight, 63.5, 20.0);
}

class LoadingScreenGl : public GLTest {
protected:
  // One loading frame as the show draws it, with the bar w pixels wide.
  std::vector<uint8_t> loadingFrame(Texture &screen, Texture &bar, float w) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    screen.drawAt(0, 0, 1);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    bar.drawSprite(kBarX, kBarY, w, kBarH, w / kBarW, 1, 0, 0);
    glDisable(GL_BLEND);
    return readFrame();
  }
};

TEST_F(LoadingScreenGl, TheFullBarCoversTheTrackAndNothingElse) {
  Texture screen(bakedFile("loadingscreen.jpg").c_str(), 0);
  Texture bar(bakedFile("loadingbar.png").c_str(), 0);
  ASSERT_NE(screen.textureId, 0u);
  ASSERT_NE(bar.textureId, 0u);
  std::vector<uint8_t> empty = loadingFrame(screen, bar, 0.f);
  std::vector<uint8_t> full = loadingFrame(screen, bar, static_cast<float>(kBarW));
  ASSERT_EQ(takeGlError(), 0u);
  auto at = [](std::vector<uint8_t> &frame, int x, int y) { return &frame[(static_cast<size_t>(y) * 800 + x) * 3]; };
  // Every changed pixel lies in the bar's rectangle (a pixel of filtering
  // allowed), and the bar's middle row is clearly lit over the dark track.
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 800; ++x) {
      const uint8_t *a = at(empty, x, y), *b = at(full, x, y);
      bool changed = std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]) > 6;
      bool inside = x >= kBarX - 1 && x <= kBarX + kBarW && y >= kBarY - 1 && y <= kBarY + kBarH;
      ASSERT_TRUE(!changed || inside) << "bar spills at " << x << ", " << y;
    }
  for (int x = kBarX + 12; x < kBarX + kBarW - 12; x += 10) {
    EXPECT_LT(brightness(at(empty, x, kBarY + kBarH / 2)), 90) << "column " << x;
    EXPECT_GT(brightness(at(full, x, kBarY + kBarH / 2)), 300) << "column " << x;
  }
}

TEST(StartEndBake, BakingAgainWritesTheSameBytes) {
  std::vector<std::string> written;
  expectBakingAgainWritesTheSameBytes(bake::bakeStartAndEnd, written);
  std::set<std::string> names(written.begin(), written.end());
  EXPECT_EQ(names, (std::set<std::string>{"loadingscreen.jpg", "loadingbar.png", "endlogo.png"}));
}

} // namespace
} // namespace demo::test
