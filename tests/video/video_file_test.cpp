// The video file as FFmpeg's own demuxers and decoders play it back: streams,
// tags, pictures and the music starting with the first picture; a picture of
// another shape sharp between black bars; failures that leave nothing.
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

// Colour ramps and ridges sliding right 4 pixels a picture, rows bottom
// first as OpenGL gives them (or top first).
std::vector<uint8_t> slidingPicture(int width, int height, int n, bool topFirst = false) {
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0, moved = 1000 - 4 * n; x < width; ++x, ++moved) {
      uint8_t *px = &rgb[(static_cast<size_t>(topFirst ? height - 1 - y : y) * width + x) * 3];
      px[0] = static_cast<uint8_t>(moved / 4);
      px[1] = static_cast<uint8_t>(y / 3);
      px[2] = static_cast<uint8_t>(std::abs((moved + 2 * y) % 40 - 20) * 10);
    }
  return rgb;
}

// Two chirps, one a channel: no period for a wrong alignment to hide in.
std::vector<int16_t> chirps(size_t frames) {
  std::vector<int16_t> music(frames * 2);
  for (size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    music[2 * i] = static_cast<int16_t>(12000 * std::sin(2 * M_PI * (200 * t + 1000 * t * t)));
    music[2 * i + 1] = static_cast<int16_t>(12000 * std::sin(2 * M_PI * (3000 * t - 600 * t * t)));
  }
  return music;
}

TEST(VideoFile, MP4AndMatroskaPlayBackThePicturesAndTheMusicFromTheFirstFrame) {
  test::TempDir dir;
  const std::vector<int16_t> music = chirps(2 * kRate);
  int files = 0;
  for (const char *name : {"show.mp4", "show.MKV"}) {
    SCOPED_TRACE(name);
    VideoFile video;
    ASSERT_TRUE(video.open(dir.file(name), {800, 600, 30, kDefaultVideoQuality}, music.data(), 2 * kRate, kRate, 2));
    for (int n = 0; n < 60; ++n)
      ASSERT_TRUE(video.addFrame(slidingPicture(800, 600, n).data(), 800, 600)) << video.error();
    ASSERT_TRUE(video.finish()) << video.error();
    EXPECT_EQ(video.framesWritten(), 60);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), ++files); // nothing temporary

    const test::Pictures p = playPictures(dir.file(name), 20);
    const test::Sound played = test::playSound(dir.file(name));
    const double audioStart = played.start;
    const std::vector<float> &sound = played.samples; // interleaved
    ASSERT_TRUE(p.params && played.params);
    const AVCodecParameters &v = *p.params, &a = *played.params;
    EXPECT_EQ(std::vector<int>({v.codec_id, v.format, v.width, v.height, v.color_range, v.color_space,
                                v.color_primaries, v.color_trc}),
              std::vector<int>({AV_CODEC_ID_H264, AV_PIX_FMT_YUV420P, 800, 600, AVCOL_RANGE_MPEG, AVCOL_SPC_BT709,
                                AVCOL_PRI_BT709, AVCOL_TRC_BT709}));
    EXPECT_EQ(std::vector<int>({a.codec_id, a.sample_rate, a.ch_layout.nb_channels}),
              std::vector<int>({AV_CODEC_ID_AAC, kRate, 2}));
    EXPECT_EQ(p.count, 60);
    EXPECT_NEAR(p.end - p.start, 2.0, 1.0 / 30);
    EXPECT_GE(psnr(p.rgb, slidingPicture(800, 600, 20, true)), 35.0);

    // The music's first sample plays with the first picture: the first 4096
    // samples match best with no lag, the music `lag` samples late.
    const long start = std::lround((p.start - audioStart) * kRate);
    ASSERT_GE(start, 0);
    EXPECT_NEAR(static_cast<double>(sound.size()) / 2 - start, 2.0 * kRate, kRate / 30.0);
    const test::Alignment aligned = test::alignSound(sound, static_cast<size_t>(start), music.data(), 4096, 2, 32);
    EXPECT_EQ(aligned.lag, 0);
    // The native AAC encoder's first frame or two are coarse (about 10 dB,
    // then 25-35); a slip of one sample alone costs 8 dB at 3 kHz.
    EXPECT_LT(aligned.error, 0.05);
  }
}

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
  const std::vector<int16_t> music = chirps(kRate);
  const std::vector<uint8_t> picture = slidingPicture(64, 48, 0);
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
