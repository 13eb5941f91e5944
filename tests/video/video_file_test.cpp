// The video file as FFmpeg's own decoders play it back: a picture of another
// shape sharp between black bars; failures that leave nothing. (Streams,
// tags, pictures and music are checked on the program's own captures.)
#include "video/video_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <vector>

#include "support/test_files.h"
#include "support/video_reader.h"

namespace demo {
namespace {

using test::playPictures;
using test::psnr;
using test::toRgb;

constexpr int kRate = 44100;

TEST(VideoFile, PicturesOfAnotherShapeSitSharpBetweenBlackBars) {
  EXPECT_EQ(placePicture(800, 600, 800, 600).width, 800);
  const VideoPlacement wide = placePicture(800, 600, 1920, 1080);
  EXPECT_EQ(std::vector<int>({wide.x, wide.y, wide.width, wide.height}), std::vector<int>({240, 0, 1440, 1080}));
  const VideoPlacement tall = placePicture(1920, 1080, 800, 600); // 450 high: bars of 74 and 76 keep it even
  EXPECT_EQ(std::vector<int>({tall.x, tall.y, tall.width, tall.height}), std::vector<int>({0, 74, 800, 450}));
  EXPECT_EQ(placePicture(1, 1000, 800, 600).width, 2);
  EXPECT_EQ(placePicture(0, 600, 800, 600).width, 0);

  // A zone plate, rings up to the finest the source holds, the same either
  // way up: a softer scaler or a picture a pixel off matches Lanczos badly.
  test::TempDir dir;
  std::vector<uint8_t> rings(800 * 600 * 3);
  for (size_t i = 0; i < rings.size(); ++i) {
    const double x = static_cast<double>(i / 3 % 800) - 399.5, y = static_cast<double>(i / 3 / 800) - 299.5;
    rings[i] = static_cast<uint8_t>(127.5 + 127.5 * std::cos((x * x + y * y) * M_PI / 1000));
  }
  VideoFile video;
  ASSERT_TRUE(video.open(dir.file("wide.mp4"), {1920, 1080, 30, kDefaultVideoQuality}, nullptr, 0, 0, 0));
  ASSERT_TRUE(video.addFrame(rings.data(), 800, 600));
  ASSERT_TRUE(video.finish()) << video.error();
  const test::Pictures p = playPictures(dir.file("wide.mp4"), 0);
  ASSERT_EQ(p.count, 1);
  EXPECT_EQ(p.file->nb_streams, 1u); // no music, no audio stream
  std::vector<uint8_t> middle, bars;
  for (auto row = p.rgb.begin(); row != p.rgb.end(); row += 1920 * 3) {
    bars.insert(bars.end(), row, row + 240 * 3);
    bars.insert(bars.end(), row + 1680 * 3, row + 1920 * 3);
    middle.insert(middle.end(), row + 240 * 3, row + 1680 * 3);
  }
  EXPECT_LE(*std::max_element(bars.begin(), bars.end()), 2);
  const uint8_t *plane[1] = {rings.data()};
  const int stride[1] = {800 * 3};
  const double lanczos = psnr(middle, toRgb(AV_PIX_FMT_RGB24, plane, stride, 800, 600, 1440, 1080, SWS_LANCZOS));
  EXPECT_GE(lanczos, 30.0);
  EXPECT_GE(lanczos, psnr(middle, toRgb(AV_PIX_FMT_RGB24, plane, stride, 800, 600, 1440, 1080, SWS_BICUBIC)) + 3.0);
}

TEST(VideoFile, RefusesWhatItCannotWriteAndLeavesNothingBehind) {
  EXPECT_TRUE(isVideoPath("a/show.Mp4") && isVideoPath("show.mkv"));
  EXPECT_FALSE(isVideoPath("show.mp4.png") || isVideoPath(".mp4") || isVideoPath("frames") || isVideoPath("a.mkv/"));

  test::TempDir dir;
  const std::vector<int16_t> music(2 * kRate, 1000);
  const std::vector<uint8_t> picture(64 * 48 * 3, 128);
  VideoFile video;
  EXPECT_FALSE(video.open(dir.file("missing/show.mp4"), {}, music.data(), kRate, kRate, 2));
  EXPECT_NE(video.error().find("missing/show.mp4"), std::string::npos) << video.error();
  EXPECT_FALSE(video.open(dir.file("show.avi"), {}, nullptr, 0, 0, 0));
  EXPECT_NE(video.error().find("show.avi"), std::string::npos) << video.error();
  EXPECT_FALSE(video.open(dir.file("show.mp4"), {802, 601, 30, 20}, nullptr, 0, 0, 0));
  EXPECT_FALSE(video.addFrame(picture.data(), 64, 48));

  // A name taken by a folder: everything works until the rename.
  std::filesystem::create_directory(dir.file("taken.mkv"));
  ASSERT_TRUE(video.open(dir.file("taken.mkv"), {64, 48, 30, 20}, music.data(), kRate, kRate, 2));
  ASSERT_TRUE(video.addFrame(picture.data(), 64, 48));
  EXPECT_FALSE(video.finish());
  EXPECT_NE(video.error().find("taken.mkv"), std::string::npos) << video.error();

  ASSERT_TRUE(video.open(dir.file("given-up.mp4"), {64, 48, 30, 20}, music.data(), kRate, kRate, 2));
  ASSERT_TRUE(video.addFrame(picture.data(), 64, 48));
  video.abandon();
  {
    VideoFile dropped; // and the destructor
    ASSERT_TRUE(dropped.open(dir.file("dropped.mkv"), {64, 48, 30, 20}, music.data(), kRate, kRate, 2));
    ASSERT_TRUE(dropped.addFrame(picture.data(), 64, 48));
  }
  std::vector<std::string> left;
  for (const auto &entry : std::filesystem::directory_iterator(dir.path()))
    left.push_back(entry.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>({"taken.mkv"}));
}

} // namespace
} // namespace demo
