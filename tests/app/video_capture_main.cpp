// The program's video capture from the outside: `demo --capture FILE` run
// on the baked data set, its files read back with FFmpeg's demuxers and
// decoders, the pictures against a PNG capture of the same times and the
// sound against the music itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/music_stream.h"
#include "base/byte_reader.h"
#include "gfx/texture.h"
#include "support/test_files.h"
#include "support/video_reader.h"

namespace demo {
namespace {

// Tumbling letters and the jelly: motion, glow and fine edges. (The logo's
// saturated red letters lose most to 4:2:0 colour: about 37 dB even lossless.)
constexpr float kFrom = 100.f;

// Runs the program on the baked data; its exit status, and what it said on
// standard error in `said`.
int runDemo(const std::string &arguments, const test::TempDir &dir, std::string *said = nullptr) {
  const std::string errors = dir.file("stderr.txt");
  const std::string command = std::string("'") + DEMO_PROGRAM + "' --data '" + DEMO_BAKED_DATA_DIR + "' " +
                              arguments + " 2> '" + errors + "'";
  const int status = std::system(command.c_str());
  std::vector<uint8_t> text;
  if (said && readWholeFile(errors, text))
    *said = std::string(text.begin(), text.end());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class VideoCapture : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    dir_ = new test::TempDir;
    ASSERT_EQ(runDemo("--capture '" + dir_->file("frames") + "' --fps 30 --from 100 --to 102 --only 101", *dir_), 0);
    pictureAt101_ = decodePng(dir_->file("frames/frame-000030.png").c_str());
    std::string error;
    ASSERT_TRUE(decodeOggFile(std::string(DEMO_BAKED_DATA_DIR) + "/01.ogg", music_, &error)) << error;
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  static test::TempDir *dir_;
  static PngImage pictureAt101_;
  static DecodedAudio music_;
};
test::TempDir *VideoCapture::dir_ = nullptr;
PngImage VideoCapture::pictureAt101_;
DecodedAudio VideoCapture::music_;

TEST_F(VideoCapture, MP4AndMatroskaHoldTheRangesPicturesWithTheMusicFromItsFirstFrame) {
  ASSERT_EQ(pictureAt101_.width, 800);
  ASSERT_EQ(pictureAt101_.channels, 3);
  for (const char *name : {"show.mp4", "show.mkv"}) {
    SCOPED_TRACE(name);
    const std::string path = dir_->file(name);
    ASSERT_EQ(runDemo("--capture '" + path + "' --fps 30 --from 100 --to 102", *dir_), 0);
    for (const auto &entry : std::filesystem::directory_iterator(dir_->path()))
      EXPECT_EQ(entry.path().filename().string().find(".part"), std::string::npos) << entry.path();

    const test::Pictures pictures = test::playPictures(path, 30);
    const test::Sound sound = test::playSound(path);
    ASSERT_TRUE(pictures.params && sound.params);
    const AVCodecParameters &v = *pictures.params, &a = *sound.params;
    EXPECT_EQ(std::vector<int>({v.codec_id, v.format, v.width, v.height, v.color_range, v.color_space,
                                v.color_primaries, v.color_trc}),
              std::vector<int>({AV_CODEC_ID_H264, AV_PIX_FMT_YUV420P, 800, 600, AVCOL_RANGE_MPEG, AVCOL_SPC_BT709,
                                AVCOL_PRI_BT709, AVCOL_TRC_BT709}));
    EXPECT_EQ(std::vector<int>({a.codec_id, a.sample_rate, a.ch_layout.nb_channels}),
              std::vector<int>({AV_CODEC_ID_AAC, 44100, 2}));
    EXPECT_EQ(pictures.count, 60);
    EXPECT_NEAR(pictures.end - pictures.start, 2.0, 1.0 / 30);
    EXPECT_GE(test::psnr(pictures.rgb, pictureAt101_.data), 35.0) << "picture 30 against the PNG of 101 s";

    // The sound at the first picture's time is the music at 100 s.
    const long first = std::lround((pictures.start - sound.start) * 44100);
    ASSERT_GE(first, 0);
    EXPECT_NEAR(static_cast<double>(sound.samples.size()) / 2 - first, 2.0 * 44100, 44100 / 30.0);
    const int16_t *atFrom = music_.samples.data() + static_cast<size_t>(kFrom * 44100) * 2;
    const test::Alignment aligned = test::alignSound(sound.samples, static_cast<size_t>(first), atFrom, 4096, 2, 64);
    EXPECT_EQ(aligned.lag, 0);
    EXPECT_LT(aligned.error, 0.05);
  }
}

TEST_F(VideoCapture, SizeGivesAWiderVideoWithBlackBarsBesideThePicture) {
  const std::string path = dir_->file("wide.mp4");
  ASSERT_EQ(runDemo("--capture '" + path + "' --fps 30 --from 101 --to 101.02 --size 1920x1080", *dir_), 0);
  const test::Pictures pictures = test::playPictures(path, 0);
  ASSERT_EQ(pictures.count, 1);
  ASSERT_EQ(pictures.rgb.size(), 1920u * 1080 * 3);
  std::vector<uint8_t> middle;
  int brightestBar = 0;
  for (size_t row = 0; row < 1080; ++row) {
    const uint8_t *px = &pictures.rgb[row * 1920 * 3];
    brightestBar = std::max({brightestBar, int(*std::max_element(px, px + 236 * 3)),
                             int(*std::max_element(px + 1684 * 3, px + 1920 * 3))}); // the scaler's reach aside
    middle.insert(middle.end(), px + 240 * 3, px + 1680 * 3);
  }
  EXPECT_LE(brightestBar, 2);
  // The picture between, brought back to 800 x 600, is the PNG of that time.
  const uint8_t *planes[1] = {middle.data()};
  const int strides[1] = {1440 * 3};
  EXPECT_GE(test::psnr(test::toRgb(AV_PIX_FMT_RGB24, planes, strides, 1440, 1080, 800, 600, SWS_AREA),
                       pictureAt101_.data),
            30.0);
}

// How many rows a rising edge takes from 10 % to 90 % of its step, at the
// first row of column `x` (from the top) brighter than `threshold`: the
// bar above it is the low level, the brightest of the 4 rows from there
// the high one. Negative where the step is under 30 levels.
double riseAt(const std::vector<uint8_t> &rgb, int width, int x, int threshold) {
  auto luma = [&](int row) {
    const uint8_t *p = &rgb[(static_cast<size_t>(row) * width + x) * 3];
    return 0.2126 * p[0] + 0.7152 * p[1] + 0.0722 * p[2];
  };
  int edge = 4;
  while (edge < 400 && luma(edge) <= threshold)
    ++edge;
  const double low = luma(edge - 4);
  double high = 0.0;
  for (int r = edge; r < edge + 4; ++r)
    high = std::max(high, luma(r));
  if (high - low < 30.0)
    return -1.0;
  // Where the profile first crosses a level, between rows.
  auto crossing = [&](double level) {
    for (int r = edge - 4; r < edge + 4; ++r)
      if (luma(r + 1) >= level)
        return r + (level - luma(r)) / std::max(luma(r + 1) - luma(r), 1e-9);
    return static_cast<double>(edge + 4);
  };
  return crossing(low + 0.9 * (high - low)) - crossing(low + 0.1 * (high - low));
}

TEST_F(VideoCapture, ASizedVideoDrawsItsPictureAtThatSizeSoEdgesStaySharp) {
  // The water room's letterbox: the top bar's lower edge, 113.4 rows of the
  // 1080 down, over the room's panels.
  const std::string path = dir_->file("sharp.mp4");
  ASSERT_EQ(runDemo("--capture '" + path + "' --fps 30 --from 21.05 --to 21.07 --size 1920x1080", *dir_), 0);
  const test::Pictures pictures = test::playPictures(path, 0);
  ASSERT_EQ(pictures.rgb.size(), 1920u * 1080 * 3);
  std::vector<double> rises;
  for (int x = 260; x < 1660; x += 7) {
    const double rise = riseAt(pictures.rgb, 1920, x, 10);
    if (rise >= 0.0)
      rises.push_back(rise);
  }
  ASSERT_GE(rises.size(), 40u) << "the bar's edge is not where it should be";
  std::sort(rises.begin(), rises.end());
  const double median = rises[rises.size() / 2];
  std::printf("10-90 %% rise of the bar's edge: median %.2f rows over %zu columns\n", median, rises.size());
  // Drawn at 1440 x 1080 the edge falls between two rows (0.85 here); the
  // 800 x 600 picture stretched 1.8 times with Lanczos spreads it over 1.65.
  EXPECT_LE(median, 1.25);
}

TEST_F(VideoCapture, TheFinestQualityIsStillHighProfile420ThatEveryPlayerTakes) {
  const std::string path = dir_->file("finest.mkv");
  ASSERT_EQ(runDemo("--capture '" + path + "' --quality 0 --fps 30 --from 101 --to 101.2", *dir_), 0);
  const test::Pictures pictures = test::playPictures(path, 0);
  ASSERT_TRUE(pictures.params);
  EXPECT_EQ(pictures.params->profile, FF_PROFILE_H264_HIGH);
  EXPECT_EQ(pictures.params->format, AV_PIX_FMT_YUV420P);
  EXPECT_EQ(pictures.count, 6);
  EXPECT_GE(test::psnr(pictures.rgb, pictureAt101_.data), 40.0);
}

TEST_F(VideoCapture, WhatCannotBeWrittenStopsWithOneLineAndLeavesNothing) {
  std::string said;
  EXPECT_EQ(runDemo("--capture '" + dir_->file("missing/show.mp4") + "' --from 100 --to 101", *dir_, &said), 1);
  EXPECT_NE(said.find("missing/show.mp4"), std::string::npos) << said;
  EXPECT_EQ(said.find('\n'), said.size() - 1) << "one line: " << said;
  EXPECT_FALSE(std::filesystem::exists(dir_->file("missing")));

  EXPECT_EQ(runDemo("--capture '" + dir_->file("only.mp4") + "' --only 101", *dir_, &said), 2);
  EXPECT_NE(said.find("--only"), std::string::npos) << said;
  EXPECT_FALSE(std::filesystem::exists(dir_->file("only.mp4")));
}

} // namespace
} // namespace demo
