// The render scale from the outside: `demo --capture DIR --scale 2` against
// the same frames at scale 1, one frame of every part of the show. The
// picture at scale 2 must be the same picture (box-filtered down 2 x it
// matches the scale-1 frame) and a sharper one (more fine detail than the
// scale-1 frame scaled up 2 x with Lanczos, which is all a stretched picture
// can give); with a data set baked at detail 2 its pictures are sharper too.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "gfx/texture.h"
#include "support/test_files.h"
#include "support/video_reader.h"

namespace demo {
namespace {

enum class Pictures {
  Small, // geometry fills the frame
  Large, // a baked picture fills much of the frame, and is shown larger than its pixels
  Only,  // nothing but pictures: a render scale alone cannot sharpen it
};
struct PartFrame {
  const char *part;
  float time;
  int frame; // at 60 frames a second from 0
  Pictures pictures;
};
// Water, logo (and its plate), water again, letters (and a credit), event,
// corridor (and the greetings of its intro), final boxes, quick cuts and the
// ending (and its logo). The final boxes' maps are large, but shown smaller
// than their detail-1 pixels even at scale 2 (a face's ~340 texels on ~250
// pixels), so the mipmaps give the same level from either set.
constexpr PartFrame kParts[] = {
    {"water", 20.f, 1200, Pictures::Small},        {"logo", 45.f, 2700, Pictures::Small},
    {"logo plate", 47.f, 2820, Pictures::Large},   {"water again", 70.f, 4200, Pictures::Small},
    {"credit", 85.f, 5100, Pictures::Large},       {"letters", 100.f, 6000, Pictures::Small},
    {"event", 140.f, 8400, Pictures::Small},       {"greetings", 165.f, 9900, Pictures::Only},
    {"corridor", 190.f, 11400, Pictures::Small},   {"final", 230.f, 13800, Pictures::Small},
    {"quick cuts", 245.f, 14700, Pictures::Small}, {"ending", 259.f, 15540, Pictures::Small},
    {"end logo", 260.f, 15600, Pictures::Only}};

int runDemo(const std::string &arguments) {
  const std::string command =
      std::string("'") + DEMO_PROGRAM + "' --data '" + DEMO_BAKED_DATA_DIR + "' " + arguments + " >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// RGB (top row first) of frame n of a capture; empty when missing.
std::vector<uint8_t> frameOf(const std::string &dir, int n, int width, int height) {
  char name[32];
  std::snprintf(name, sizeof name, "/frame-%06d.png", n);
  const PngImage png = decodePng((dir + name).c_str());
  if (png.width != width || png.height != height || png.channels != 3)
    return {};
  return png.data;
}

std::vector<uint8_t> scaled(const std::vector<uint8_t> &rgb, int width, int height, int toWidth, int toHeight,
                            int flags) {
  const uint8_t *planes[1] = {rgb.data()};
  const int strides[1] = {width * 3};
  return test::toRgb(AV_PIX_FMT_RGB24, planes, strides, width, height, toWidth, toHeight, flags);
}

struct Area {
  int x0 = 1, y0 = 1, x1 = 1 << 30, y1 = 1 << 30; // the pixels x0 <= x < x1, y0 <= y < y1
};

// The mean absolute Laplacian of the luma (Rec. 709 weights) over `area`:
// how much fine detail a picture holds there.
double detail(const std::vector<uint8_t> &rgb, int width, int height, Area area = {}) {
  std::vector<double> y(static_cast<size_t>(width) * height);
  for (size_t i = 0; i < y.size(); ++i)
    y[i] = 0.2126 * rgb[3 * i] + 0.7152 * rgb[3 * i + 1] + 0.0722 * rgb[3 * i + 2];
  double sum = 0.0;
  long count = 0;
  for (int r = std::max(area.y0, 1); r + 1 < std::min(area.y1 + 1, height); ++r)
    for (int c = std::max(area.x0, 1); c + 1 < std::min(area.x1 + 1, width); ++c) {
      const size_t i = static_cast<size_t>(r) * width + c;
      sum += std::abs(4.0 * y[i] - y[i - 1] - y[i + 1] - y[i - width] - y[i + width]);
      ++count;
    }
  return count > 0 ? sum / static_cast<double>(count) : 0.0;
}

// The box round the pixels where two frames of the same size differ (by more
// than 16 levels a channel on average): what a data set's pictures cover.
Area differing(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b, int width, int height) {
  Area box{width, height, 0, 0};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const size_t i = (static_cast<size_t>(y) * width + x) * 3;
      if (std::abs(a[i] - b[i]) + std::abs(a[i + 1] - b[i + 1]) + std::abs(a[i + 2] - b[i + 2]) > 48) {
        box.x0 = std::min(box.x0, x);
        box.y0 = std::min(box.y0, y);
        box.x1 = std::max(box.x1, x + 1);
        box.y1 = std::max(box.y1, y + 1);
      }
    }
  return box;
}

// Every part at scale 1 and at scale 2 from the build's data set, and at
// scale 2 from a data set baked at detail 2. The captures take minutes, and
// ctest runs each test in a process of its own: one test makes them and
// checks them in turn.
class RenderScale : public testing::Test {
protected:
  static void SetUpTestSuite() {
    dir_ = new test::TempDir;
    std::string only;
    for (const PartFrame &part : kParts)
      only += (only.empty() ? "" : ",") + std::to_string(part.time);
    // From 1 s: the loading frames are not needed.
    captured_ = runDemo("--capture '" + dir_->file("one") + "' --from 1 --only " + only) == 0 &&
                runDemo("--capture '" + dir_->file("two") + "' --from 1 --scale 2 --only " + only) == 0 &&
                run("'" + std::string(DEMO_BAKE_PROGRAM) + "' --detail 2 '" + dir_->file("set") + "'") == 0 &&
                run("'" + std::string(DEMO_PROGRAM) + "' --data '" + dir_->file("set") + "' --capture '" +
                    dir_->file("fine") + "' --from 1 --scale 2 --only " + only) == 0;
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  static int run(const std::string &command) {
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // Frame `part` of capture `name` (one: 800 x 600, else 1600 x 1200).
  static std::vector<uint8_t> frame(const char *name, const PartFrame &part) {
    const bool base = std::string(name) == "one";
    return frameOf(dir_->file(name), part.frame - 60, base ? 800 : 1600, base ? 600 : 1200); // from 1 s
  }

  static void everyPartAtScaleTwoIsTheSamePictureWithFinerDetail();
  static void theDetailTwoSetGivesTheSamePictureWithSharperPictures();
  static void aScaleTwoPictureTakesTheDetailTwoSetBesideTheProgram();

  static test::TempDir *dir_;
  static bool captured_;
};
test::TempDir *RenderScale::dir_ = nullptr;
bool RenderScale::captured_ = false;

void RenderScale::everyPartAtScaleTwoIsTheSamePictureWithFinerDetail() {
  std::vector<double> ratios;
  for (const PartFrame &part : kParts) {
    const std::vector<uint8_t> one = frame("one", part);
    const std::vector<uint8_t> two = frame("two", part);
    ASSERT_FALSE(one.empty()) << part.part;
    ASSERT_FALSE(two.empty()) << part.part << ": no 1600 x 1200 frame";
    const double psnr = test::psnr(scaled(two, 1600, 1200, 800, 600, SWS_AREA), one);
    const double ratio = detail(two, 1600, 1200) / detail(scaled(one, 800, 600, 1600, 1200, SWS_LANCZOS), 1600, 1200);
    std::printf("%-12s %6.1f s  PSNR %5.1f dB  detail ratio %.2f\n", part.part, static_cast<double>(part.time), psnr,
                ratio);
    EXPECT_GE(psnr, 30.0) << part.part;
    if (part.pictures == Pictures::Only)
      continue;
    EXPECT_GE(ratio, 1.1) << part.part;
    ratios.push_back(ratio);
  }
  std::sort(ratios.begin(), ratios.end());
  EXPECT_GE(ratios[ratios.size() / 2], 1.3) << "median detail ratio";
}

// The detail-2 set at scale 2: the same picture (boxed down it matches the
// scale-1 frame), and where large pictures are shown (the logo plate, a
// credit, the greetings, the end logo) more fine detail than the detail-1
// set gives at the same scale, over the area they cover (a credit is a
// 256 x 128 sprite: most of its frame is the same from either set).
void RenderScale::theDetailTwoSetGivesTheSamePictureWithSharperPictures() {
  for (const PartFrame &part : kParts) {
    const std::vector<uint8_t> one = frame("one", part);
    const std::vector<uint8_t> two = frame("two", part);
    const std::vector<uint8_t> fine = frame("fine", part);
    ASSERT_FALSE(fine.empty()) << part.part << ": no 1600 x 1200 frame with the detail-2 set";
    ASSERT_FALSE(two.empty() || one.empty()) << part.part;
    const double psnr = test::psnr(scaled(fine, 1600, 1200, 800, 600, SWS_AREA), one);
    const Area pictures = differing(two, fine, 1600, 1200);
    const double whole = detail(fine, 1600, 1200) / detail(two, 1600, 1200);
    const double covered = detail(fine, 1600, 1200, pictures) / std::max(detail(two, 1600, 1200, pictures), 1e-9);
    std::printf("%-12s %6.1f s  detail 2: PSNR %5.1f dB  detail ratio against detail 1 %.2f, %.2f where the "
                "pictures are\n",
                part.part, static_cast<double>(part.time), psnr, whole, covered);
    EXPECT_GE(psnr, 30.0) << part.part;
    if (part.pictures != Pictures::Small) {
      EXPECT_GE(covered, 1.2) << part.part;
    }
  }
}

// Without --data, a program with data/ and data-detail2/ beside it draws a
// picture of scale 2 with the detail-2 set, says so with --progress, and the
// frame is the one --data gives.
void RenderScale::aScaleTwoPictureTakesTheDetailTwoSetBesideTheProgram() {
  const std::string home = dir_->file("home");
  std::filesystem::create_directory(home);
  std::filesystem::copy_file(DEMO_PROGRAM, home + "/demo");
  std::filesystem::create_directory_symlink(DEMO_BAKED_DATA_DIR, home + "/data");
  std::filesystem::create_directory_symlink(dir_->file("set"), home + "/data-detail2");
  const std::string log = dir_->file("home.log");
  const int status = std::system(("'" + home + "/demo' --capture '" + dir_->file("picked") +
                                  "' --from 46 --only 47 --scale 2 --progress >'" + log + "' 2>&1")
                                     .c_str());
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  const std::vector<uint8_t> said = test::readFile(log);
  EXPECT_NE(std::string(said.begin(), said.end()).find("pictures of detail 2, from " + home + "/data-detail2"),
            std::string::npos);
  const PartFrame plate = kParts[2];
  ASSERT_STREQ(plate.part, "logo plate");
  EXPECT_EQ(frameOf(dir_->file("picked"), 60, 1600, 1200), frame("fine", plate));
}

TEST_F(RenderScale, ScaleTwoIsTheSamePictureSharperAndTheDetailTwoSetSharpensItsPictures) {
  ASSERT_TRUE(captured_);
  {
    SCOPED_TRACE("scale 2 against scale 1");
    everyPartAtScaleTwoIsTheSamePictureWithFinerDetail();
  }
  {
    SCOPED_TRACE("the detail-2 set against the detail-1 set at scale 2");
    theDetailTwoSetGivesTheSamePictureWithSharperPictures();
  }
  {
    SCOPED_TRACE("the set beside the program");
    aScaleTwoPictureTakesTheDetailTwoSetBesideTheProgram();
  }
}

} // namespace
} // namespace demo
