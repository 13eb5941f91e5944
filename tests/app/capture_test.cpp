#include "app/capture.h"
#include "app/options.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_files.h"

namespace demo {
namespace {

TEST(CaptureRange, FramesStartBeforeTheEndOfTheRange) {
  EXPECT_EQ(captureFrameCount(0.f, 1.f, 60), 60u);
  EXPECT_EQ(captureFrameCount(0.f, 1.01f, 60), 61u);
  EXPECT_EQ(captureFrameCount(10.f, 10.5f, 30), 15u);
  EXPECT_EQ(captureFrameCount(5.f, 5.f, 60), 0u);
  EXPECT_EQ(captureFrameCount(6.f, 5.f, 60), 0u);
  size_t n = captureFrameCount(39.57f, 59.37f, 60);
  EXPECT_LT(captureFrameTime(39.57f, 60, n - 1), 59.37f);
  EXPECT_GE(captureFrameTime(39.57f, 60, n), 59.37f);
}

TEST(CaptureRange, FrameTimeIsFromPlusNOverFps) {
  EXPECT_FLOAT_EQ(captureFrameTime(0.f, 60, 0), 0.f);
  EXPECT_FLOAT_EQ(captureFrameTime(100.f, 30, 45), 101.5f);
  EXPECT_FLOAT_EQ(captureFrameTime(0.f, 60, 15900), 265.f);
}

TEST(CaptureRange, OnlyPicksTheNearestFramesClampedAndSorted) {
  std::vector<size_t> frames = framesNearest({2.f, 0.51f, 0.49f, -5.f, 100.f, 2.004f}, 0.f, 10.f, 10);
  EXPECT_EQ(frames, (std::vector<size_t>{0, 5, 20, 99}));
  EXPECT_TRUE(framesNearest({1.f}, 3.f, 3.f, 60).empty());
}

TEST(CaptureOnly, DrawsFromOneSecondBeforeEachListedFrame) {
  const std::vector<size_t> selected = framesNearest({2.f, 10.f}, 0.f, 20.f, 30);
  ASSERT_EQ(selected, (std::vector<size_t>{60, 300}));
  EXPECT_FALSE(captureFrameDrawn(selected, 0.f, 30, 29));
  EXPECT_TRUE(captureFrameDrawn(selected, 0.f, 30, 30));
  EXPECT_TRUE(captureFrameDrawn(selected, 0.f, 30, 60));
  EXPECT_FALSE(captureFrameDrawn(selected, 0.f, 30, 61));
  EXPECT_TRUE(captureFrameDrawn(selected, 0.f, 30, 270));
  EXPECT_FALSE(captureFrameDrawn(selected, 0.f, 30, 301));
  EXPECT_TRUE(captureFrameDrawn({}, 0.f, 30, 301));
}

TEST(CaptureOptions, ParsesTheCaptureFamily) {
  Options options;
  int code = -1;
  const char *args[] = {"demo", "--capture", "/tmp/x", "--fps", "30", "--from", "10", "--to", "12.5",
                        "--only", "10.5,11,12"};
  ASSERT_TRUE(parseOptions(11, args, options, code));
  EXPECT_TRUE(options.capturing());
  EXPECT_EQ(options.fps, 30);
  EXPECT_FLOAT_EQ(options.from, 10.f);
  EXPECT_FLOAT_EQ(options.to, 12.5f);
  EXPECT_EQ(options.only, (std::vector<float>{10.5f, 11.f, 12.f}));
}

TEST(CaptureOptions, RefusesEmptyRangesAndStrayCaptureOptions) {
  Options options;
  int code = -1;
  testing::internal::CaptureStderr();
  const char *empty[] = {"demo", "--capture", "/tmp/x", "--from", "20", "--to", "10"};
  EXPECT_FALSE(parseOptions(7, empty, options, code));
  EXPECT_NE(code, 0);
  Options other;
  const char *stray[] = {"demo", "--fps", "30"};
  EXPECT_FALSE(parseOptions(3, stray, other, code));
  EXPECT_NE(code, 0);
  const char *start[] = {"demo", "--start", "300"};
  EXPECT_FALSE(parseOptions(3, start, other, code));
  testing::internal::GetCapturedStderr();
}

TEST(CaptureOptions, AVideoTakesASizeAndAQualityButNotSingleFrames) {
  Options options;
  int code = -1;
  const char *video[] = {"demo", "--capture", "/tmp/show.MKV", "--size", "1920x1080", "--quality", "23"};
  ASSERT_TRUE(parseOptions(7, video, options, code));
  EXPECT_TRUE(options.capturingVideo());
  EXPECT_EQ(options.videoWidth, 1920);
  EXPECT_EQ(options.videoHeight, 1080);
  EXPECT_EQ(options.quality, 23);

  testing::internal::CaptureStderr();
  const char *only[] = {"demo", "--capture", "/tmp/show.mp4", "--only", "10"};
  EXPECT_FALSE(parseOptions(5, only, options, code));
  EXPECT_EQ(code, 2);
  const char *sizeForPictures[] = {"demo", "--capture", "/tmp/frames", "--size", "640x480"};
  EXPECT_FALSE(parseOptions(5, sizeForPictures, options, code));
  const char *worstQuality[] = {"demo", "--capture", "/tmp/show.mp4", "--quality", "52"};
  EXPECT_FALSE(parseOptions(5, worstQuality, options, code));
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("capture into a directory"), std::string::npos) << said;
}

TEST(CaptureOptions, VideoSizesAreEvenAndWithinWhatH264Level52Holds) {
  int width = 1, height = 1;
  EXPECT_TRUE(parseVideoSize("16X4096", width, height));
  EXPECT_EQ(width, 16);
  EXPECT_EQ(height, 4096);
  for (const char *fits : {"3840x2160", "4096x2304", "2880x2160", "3840x2400"})
    EXPECT_TRUE(parseVideoSize(fits, width, height)) << fits;
  for (const char *bad : {"", "x", "800x", "x600", "801x600", "800x601", "14x600", "4098x600", "800x600x2",
                          "-800x600", "800 x 600", "99999999999x2", "800*600", "8192x8192", "4096x3072",
                          "3840x2464"}) {
    EXPECT_FALSE(parseVideoSize(bad, width, height)) << bad;
  }
  EXPECT_EQ(width, 3840) << "a refused size leaves the old one";
}

// Parses `args` after "demo"; the exit code, and what was said in `said`.
int parse(std::vector<const char *> args, Options &options, std::string *said = nullptr) {
  args.insert(args.begin(), "demo");
  int code = -1;
  testing::internal::CaptureStderr();
  const bool runs = parseOptions(static_cast<int>(args.size()), args.data(), options, code);
  const std::string text = testing::internal::GetCapturedStderr();
  if (said)
    *said = text;
  return runs ? -1 : code;
}

TEST(CaptureOptions, NotANumberAndInfinityAreRefusedByEveryNumberOption) {
  for (const char *option : {"--start", "--from", "--to", "--only", "--fps", "--quality", "--display"}) {
    for (const char *value : {"nan", "inf", "1e999"}) {
      SCOPED_TRACE(std::string(option) + " " + value);
      Options options;
      std::string said;
      EXPECT_EQ(parse({"--capture", "/tmp/x.mp4", option, value}, options, &said), 2);
      EXPECT_NE(said.find(option), std::string::npos) << said;
    }
  }
}

TEST(CaptureOptions, ARangePastTheShowIsClippedToItAndEmptyAfterThatIsAUsageError) {
  Options options;
  std::string said;
  EXPECT_EQ(parse({"--capture", "/tmp/x", "--from", "264.5", "--to", "300", "--fps", "10"}, options, &said), -1);
  EXPECT_FLOAT_EQ(options.to, 265.f);
  EXPECT_NE(said.find("clipped to the show: 264.5 to 265 s"), std::string::npos) << said;
  EXPECT_EQ(captureFrameCount(options.from, options.to, options.fps), 5u);

  Options whole;
  EXPECT_EQ(parse({"--capture", "/tmp/x", "--to", "265"}, whole, &said), -1);
  EXPECT_EQ(said, "") << "nothing to say when nothing was clipped";
  for (const char *from : {"265", "264.99999"}) {
    Options late;
    EXPECT_EQ(parse({"--capture", "/tmp/x", "--from", from, "--to", "300"}, late, &said), 2) << from;
  }
}

TEST(CaptureOptions, ANameIsAVideoADirectoryOrRefused) {
  test::TempDir dir;
  std::filesystem::create_directories(dir.file("frames.d"));
  for (const std::string &accepted : {dir.file("frames.d"), dir.file("new.d/"), dir.file("frames"),
                                     dir.file("show.MP4"), dir.file("show.mkv"), dir.file(".hidden")}) {
    Options options;
    EXPECT_EQ(parse({"--capture", accepted.c_str()}, options), -1) << accepted;
  }
  for (const std::string &refused : {dir.file("x.avi"), dir.file("x.mov"), dir.file(".mp4"), dir.file("show.mp4.png")}) {
    Options options;
    std::string said;
    EXPECT_EQ(parse({"--capture", refused.c_str()}, options, &said), 2) << refused;
    EXPECT_NE(said.find("FILE.mp4 or FILE.mkv"), std::string::npos) << said;
  }
}

TEST(CaptureProgress, CountsFramesAndEstimatesWhatIsLeft) {
  EXPECT_EQ(captureProgressText(0, 100, 0.0), "capture [                        ] 0/100 frames");
  // 5 fps: 75 frames left take 15 s.
  EXPECT_EQ(captureProgressText(25, 100, 5.0), "capture [######                  ] 25/100 frames  5.0 fps  0:15 left");
  EXPECT_EQ(captureProgressText(7950, 7950, 30.0),
            "capture [########################] 7950/7950 frames  30.0 fps  0:00 left");
  EXPECT_NE(captureProgressText(10, 7950, 1.0).find("132:20 left"), std::string::npos);
  EXPECT_EQ(captureSteppingText(2, 5, 131.42f), "capture [#########               ] 2/5 frames  stepping to 131.4 s");
}

} // namespace
} // namespace demo
