#include "base/frame_size.h"

#include <gtest/gtest.h>

#include <cmath>

namespace demo {
namespace {

TEST(FrameSize, TheLargestFourByThreePictureFitsTheScreenEitherWay) {
  struct Case {
    int w, h, width, height;
  };
  for (const Case &c : {Case{1920, 1080, 1440, 1080}, Case{1280, 1024, 1280, 960}, Case{1001, 700, 933, 700},
                        Case{640, 480, 800, 600}}) {
    const FrameSize f = FrameSize::largestInside(c.w, c.h);
    EXPECT_EQ(f.width, c.width) << c.w << " x " << c.h;
    EXPECT_EQ(f.height, c.height) << c.w << " x " << c.h;
  }
}

// At the base size every length is itself, so the drawing code's integer
// conversions give the pixels they always gave, fractions included.
TEST(FrameSize, LengthsAreThemselvesAtTheBaseAndExactAtWholeScales) {
  const FrameSize base;
  for (float v : {75.f, 10.5f, 10.5f + 1.f / 1048576.f, 0.1f, 599.99f}) {
    EXPECT_EQ(base.x(v), v);
    EXPECT_EQ(base.y(v), v);
    EXPECT_EQ(base.size(v), v);
  }
  // 1.8 is no float: 75 x 1.8f would truncate to 134.
  const FrameSize hd = FrameSize::largestInside(1920, 1080);
  EXPECT_EQ(hd.y(75.f), 135.f);
  EXPECT_EQ(hd.x(800.f), 1440.f);
  EXPECT_EQ(FrameSize::atScale(3.6).size(8.f), 28.8f);
}

TEST(FrameSize, BandsKeepTheBasePicturesRowsAndScaleSymmetrically) {
  // The base picture truncates: a bar of 10.75 rows starts at row 10 and
  // leaves (int)(600 - 21.5) = 578 rows.
  const PixelBox base = FrameSize().band(10.75f);
  EXPECT_EQ(base.y, 10);
  EXPECT_EQ(base.height, 578);
  for (double s : {1.0, 1.8, 2.0, 3.6}) {
    const FrameSize f = s == 1.8 ? FrameSize::largestInside(1920, 1080) : FrameSize::atScale(s);
    const PixelBox band = f.band(75.f);
    EXPECT_EQ(band.width, f.width);
    EXPECT_EQ(band.y, static_cast<int>(std::lround(75 * s))) << s;
    EXPECT_EQ(f.height - band.y - band.height, band.y) << "the bars differ at scale " << s;
  }
}

} // namespace
} // namespace demo
