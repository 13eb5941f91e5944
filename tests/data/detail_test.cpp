// A data set baked at detail 2 draws its screen pictures where the build's
// detail-1 set draws them, at the same size; a picture that is not at its
// set's detail is reported.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "show/loading.h"
#include "bake/bake.h"
#include "bake/image.h"
#include "base/data_path.h"
#include "base/message.h"
#include "gfx/texture.h"
#include "gl_fixture.h"
#include "support/baked_data.h"

namespace demo::test {
namespace {

// The groups that paint the pictures drawn here, baked once at detail 2.
const std::string &detailTwoSet() {
  static TempDir dir;
  static bool baked = false;
  if (!baked) {
    bake::BakeContext context(dir.path(), false, 2);
    bake::bakeStartAndEnd(context);
    bake::bakeEvent(context);
    bake::bakeLetters(context);
    context.writeText(kDataDetailFile, "2\n");
    baked = !context.failed();
  }
  return dir.path();
}

bake::Image asImage(const std::vector<uint8_t> &frame) {
  bake::Image image(800, 600, 3);
  image.data = frame;
  return image;
}

class DetailSetGl : public GLTest {
protected:
  void TearDown() override {
    setDataDirectory("");
    GLTest::TearDown();
  }

  // The frame of `draw` with "data/..." in `dir`.
  template <class Draw> std::vector<uint8_t> frameWith(const std::string &dir, Draw draw) {
    setDataDirectory(dir);
    glClearColor(0.2f, 0.1f, 0.3f, 1.f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    draw();
    return readFrame();
  }
};

TEST_F(DetailSetGl, LoadingScreenTitleCreditAndEndLogoLandWhereDetailOneDrawsThem) {
  const std::string fine = detailTwoSet();
  ASSERT_FALSE(fine.empty());
  auto overlay = [](const char *name, float x, float y, float scale) {
    return [=]() {
      Texture picture(name, 0);
      EXPECT_EQ(picture.detail, dataDetail());
      glEnable(GL_BLEND);
      glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
      picture.drawAt(x, y, scale);
      glDisable(GL_BLEND);
    };
  };
  auto loading = []() {
    LoadingPictures pictures;
    pictures.screen = std::make_unique<Texture>("data/loadingscreen.jpg", 0);
    pictures.bar = std::make_unique<Texture>("data/loadingbar.png", 0);
    drawLoadingFrame(pictures, kLoadingStages[5]);
  };
  struct Case {
    const char *what;
    std::function<void()> draw;
  };
  const Case cases[] = {
      {"loading screen", loading},
      {"title overlay", overlay("data/overlays/logo_quintervale.png", 0.f, 250.f, 1.f)},
      {"credit", overlay("data/credits/code.png", 300.f, 200.f, 1.f)},
      {"end logo", overlay("data/endlogo.png", 144.f, 236.f, 1.2f)},
  };
  for (const Case &c : cases) {
    const std::vector<uint8_t> one = frameWith(DEMO_BAKED_DATA_DIR, c.draw);
    const std::vector<uint8_t> two = frameWith(fine, c.draw);
    ASSERT_TRUE(noGlError()) << c.what;
    const double figure = bake::psnr(asImage(two), asImage(one));
    std::printf("detail 2 against 1, %-15s PSNR %.2f dB\n", c.what, figure);
    EXPECT_GE(figure, 30.0) << c.what;
  }
}

TEST_F(DetailSetGl, APictureNotAtItsSetsDetailIsReportedAndDrawnAtItsOwn) {
  TempDir dir;
  std::filesystem::copy(detailTwoSet(), dir.path(), std::filesystem::copy_options::recursive);
  std::filesystem::copy_file(bakedFile("credits/code.png"), dir.file("credits/code.png"),
                             std::filesystem::copy_options::overwrite_existing);
  setDataDirectory(dir.path());
  forgetReportedFiles();
  testing::internal::CaptureStderr();
  Texture wrong("data/credits/code.png", 0);
  Texture right("data/credits/gfx1.png", 0);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("credits/code.png: the picture is 256 x 128; in a detail-2 data set it is 512 x 256"),
            std::string::npos)
      << said;
  EXPECT_EQ(said.find("gfx1.png"), std::string::npos) << said;
  EXPECT_NE(wrong.textureId, 0u);
  // Drawn at the detail its size says, where the set's own picture would be;
  // a size that is no detail of it is taken at the set's detail.
  EXPECT_EQ(wrong.detail, 1);
  EXPECT_EQ(wrong.baseWidth(), 256.f);
  EXPECT_EQ(right.detail, 2);
  EXPECT_EQ(right.baseWidth(), 256.f);
  bake::Image odd(300, 150, 4);
  test::writeFile(dir.file("credits/gfx2.png"), bake::encodePng(odd));
  Texture other("data/credits/gfx2.png", 0);
  EXPECT_EQ(other.detail, 2);
  EXPECT_EQ(other.baseWidth(), 150.f);
}

} // namespace
} // namespace demo::test
