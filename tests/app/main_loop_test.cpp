#include "app/main_loop.h"
#include "app/options.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace demo {
namespace {

TEST(FrameClock, FirstFrameStartsFromZero) {
  FrameClock clock;
  EXPECT_EQ(clock.time, 0.f);
  EXPECT_EQ(clock.previousTime, 0.f);
  clock.advance(0.016f);
  EXPECT_FLOAT_EQ(clock.dt, 0.016f);
  EXPECT_FLOAT_EQ(clock.time, 0.016f);
  EXPECT_FLOAT_EQ(clock.previousTime, 0.016f);
}

TEST(FrameClock, DtIsTheDifferenceOfConsecutiveReadings) {
  FrameClock clock;
  clock.advance(1.0f);
  clock.advance(1.25f);
  EXPECT_FLOAT_EQ(clock.dt, 0.25f);
  clock.advance(1.25f);
  EXPECT_EQ(clock.dt, 0.f);
}

TEST(ShowOver, EndsOnlyOnceTheLastFrameReached265) {
  EXPECT_FALSE(showOver(0.f));
  EXPECT_FALSE(showOver(264.999f));
  EXPECT_TRUE(showOver(265.f));
  EXPECT_TRUE(showOver(300.f));
}

TEST(ShowOver, AFrameReading265IsStillRenderedThenTheLoopStops) {
  // Frame n reads 265.01: the test at the top of frame n used the previous
  // time, so frame n renders; the test of frame n + 1 stops.
  FrameClock clock;
  clock.advance(264.99f);
  EXPECT_FALSE(showOver(clock.time));
  clock.advance(265.01f);
  EXPECT_TRUE(showOver(clock.time));
}

int parse(std::vector<const char *> args, Options &options, bool &run) {
  int code = -1;
  run = parseOptions(static_cast<int>(args.size()), args.data(), options, code);
  return code;
}

TEST(Options, NoArgumentsMeansFullScreenWithVsync) {
  Options options;
  bool run = false;
  EXPECT_EQ(parse({"demo"}, options, run), 0);
  EXPECT_TRUE(run);
  EXPECT_FALSE(options.window);
  EXPECT_TRUE(options.vsync);
  EXPECT_TRUE(options.dataDir.empty());
}

TEST(Options, WindowNoVsyncAndDataDirectory) {
  Options options;
  bool run = false;
  EXPECT_EQ(parse({"demo", "--window", "--no-vsync", "--data", "/srv/data"}, options, run), 0);
  EXPECT_TRUE(run);
  EXPECT_TRUE(options.window);
  EXPECT_FALSE(options.vsync);
  EXPECT_EQ(options.dataDir, "/srv/data");
}

TEST(Options, HelpEndsTheRunWithSuccess) {
  Options options;
  bool run = true;
  testing::internal::CaptureStdout();
  EXPECT_EQ(parse({"demo", "--help"}, options, run), 0);
  std::string help = testing::internal::GetCapturedStdout();
  EXPECT_FALSE(run);
  EXPECT_NE(help.find("--window"), std::string::npos);
  EXPECT_NE(help.find("--data"), std::string::npos);
}

TEST(Options, UnknownOptionOrMissingValueIsAUsageError) {
  Options options;
  bool run = true;
  testing::internal::CaptureStderr();
  EXPECT_NE(parse({"demo", "--fullscreen-please"}, options, run), 0);
  EXPECT_FALSE(run);
  EXPECT_NE(parse({"demo", "--data"}, options, run), 0);
  EXPECT_FALSE(run);
  testing::internal::GetCapturedStderr();
}

} // namespace
} // namespace demo
