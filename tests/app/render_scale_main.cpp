// The render scale from the outside: `demo --capture DIR --scale 2` against
// the same frames at scale 1, one frame of every part of the show. The
// picture at scale 2 must be the same picture (box-filtered down 2 x it
// matches the scale-1 frame) and a sharper one (more fine detail than the
// scale-1 frame scaled up 2 x with Lanczos, which is all a stretched picture
// can give).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "gfx/texture.h"
#include "support/test_files.h"
#include "support/video_reader.h"

namespace demo {
namespace {

struct PartFrame {
  const char *part;
  float time;
  int frame; // at 60 frames a second from 0
};
// Water, logo, water again, letters, event, corridor, final boxes, quick
// cuts and the ending.
constexpr PartFrame kParts[] = {{"water", 20.f, 1200},    {"logo", 45.f, 2700},      {"water again", 70.f, 4200},
                                {"letters", 100.f, 6000}, {"event", 140.f, 8400},    {"corridor", 190.f, 11400},
                                {"final", 230.f, 13800},  {"quick cuts", 245.f, 14700}, {"ending", 259.f, 15540}};

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

// The mean absolute Laplacian of the luma (Rec. 709 weights): how much fine
// detail a picture holds.
double detail(const std::vector<uint8_t> &rgb, int width, int height) {
  std::vector<double> y(static_cast<size_t>(width) * height);
  for (size_t i = 0; i < y.size(); ++i)
    y[i] = 0.2126 * rgb[3 * i] + 0.7152 * rgb[3 * i + 1] + 0.0722 * rgb[3 * i + 2];
  double sum = 0.0;
  for (int r = 1; r + 1 < height; ++r)
    for (int c = 1; c + 1 < width; ++c) {
      const size_t i = static_cast<size_t>(r) * width + c;
      sum += std::abs(4.0 * y[i] - y[i - 1] - y[i + 1] - y[i - width] - y[i + width]);
    }
  return sum / (static_cast<double>(width - 2) * (height - 2));
}

TEST(RenderScale, EveryPartAtScaleTwoIsTheSamePictureWithFinerDetail) {
  const test::TempDir dir;
  std::string only;
  for (const PartFrame &part : kParts)
    only += (only.empty() ? "" : ",") + std::to_string(part.time);
  // From 1 s: the loading frames are not needed.
  ASSERT_EQ(runDemo("--capture '" + dir.file("one") + "' --from 1 --only " + only), 0);
  ASSERT_EQ(runDemo("--capture '" + dir.file("two") + "' --from 1 --scale 2 --only " + only), 0);

  std::vector<double> ratios;
  for (const PartFrame &part : kParts) {
    const int n = part.frame - 60; // the capture starts at 1 s
    const std::vector<uint8_t> one = frameOf(dir.file("one"), n, 800, 600);
    const std::vector<uint8_t> two = frameOf(dir.file("two"), n, 1600, 1200);
    ASSERT_FALSE(one.empty()) << part.part;
    ASSERT_FALSE(two.empty()) << part.part << ": no 1600 x 1200 frame";
    const double psnr = test::psnr(scaled(two, 1600, 1200, 800, 600, SWS_AREA), one);
    const double ratio = detail(two, 1600, 1200) / detail(scaled(one, 800, 600, 1600, 1200, SWS_LANCZOS), 1600, 1200);
    std::printf("%-12s %6.1f s  PSNR %5.1f dB  detail ratio %.2f\n", part.part, static_cast<double>(part.time), psnr,
                ratio);
    EXPECT_GE(psnr, 30.0) << part.part;
    EXPECT_GE(ratio, 1.1) << part.part;
    ratios.push_back(ratio);
  }
  std::sort(ratios.begin(), ratios.end());
  EXPECT_GE(ratios[ratios.size() / 2], 1.3) << "median detail ratio";
}

} // namespace
} // namespace demo
