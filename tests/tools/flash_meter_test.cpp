// The flash meter on made-up captures whose flashing is known: strobes at
// 2, 3, 4 and 10 flashes a second, flashes in one quarter, in a small area,
// too small a swing, slow fades, flicker above the darker bound, a red
// strobe; then a capture directory and a video read back from disk.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "gfx/png_writer.h"
#include "inspect/flash_meter.h"
#include "support/test_files.h"
#include "video/video_file.h"

namespace demo::test {
namespace {

constexpr int kW = 32, kH = 24;

struct Colour {
  uint8_t r, g, b;
};

// A frame of one colour, with an optional rectangle of another.
std::vector<uint8_t> frame(Colour ground, Colour patch = {}, int x0 = 0, int y0 = 0, int x1 = 0, int y1 = 0) {
  std::vector<uint8_t> rgb(static_cast<size_t>(kW) * kH * 3);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const bool in = x >= x0 && x < x1 && y >= y0 && y < y1;
      const Colour c = in ? patch : ground;
      uint8_t *p = &rgb[(static_cast<size_t>(y) * kW + x) * 3];
      p[0] = c.r, p[1] = c.g, p[2] = c.b;
    }
  return rgb;
}

// `seconds` of frames at `fps`, frame n made by `make(n)`.
FlashReport measure(double fps, double seconds, const std::function<std::vector<uint8_t>(int)> &make,
                    double from = 0.0) {
  FlashMeter meter(fps, from);
  const int frames = static_cast<int>(std::lround(fps * seconds));
  for (int n = 0; n < frames; ++n)
    meter.add(measureLevels(make(n).data(), kW, kH), static_cast<size_t>(n));
  return meter.report();
}

// Black and white in turn, `hz` flashes (two changes each) a second.
std::function<std::vector<uint8_t>(int)> strobe(double hz, double fps, Colour on = {255, 255, 255},
                                                 Colour off = {0, 0, 0}) {
  return [=](int n) { return static_cast<long>(std::floor(2.0 * hz * n / fps)) % 2 ? frame(on) : frame(off); };
}

TEST(FlashMeter, StrobesUpToThreeFlashesASecondAreSafeFourAndTenAreNot) {
  for (double fps : {30.0, 60.0}) {
    const FlashReport two = measure(fps, 3.0, strobe(2, fps));
    const FlashReport three = measure(fps, 3.0, strobe(3, fps));
    const FlashReport four = measure(fps, 3.0, strobe(4, fps));
    const FlashReport ten = measure(fps, 3.0, strobe(10, fps));
    EXPECT_EQ(two.most.whole, 2.f) << fps;
    EXPECT_TRUE(two.safe()) << fps;
    EXPECT_EQ(three.most.whole, 3.f) << fps;
    EXPECT_TRUE(three.safe()) << fps;
    EXPECT_EQ(four.most.whole, 4.f) << fps;
    EXPECT_FALSE(four.safe()) << fps;
    EXPECT_EQ(ten.most.whole, 10.f) << fps;
    EXPECT_FALSE(ten.safe()) << fps;
    // A strobe over the whole frame flashes in every quarter too.
    EXPECT_EQ(ten.most.quarter, 10.f) << fps;
    EXPECT_EQ(ten.most.red, 0.f) << fps;
  }
}

TEST(FlashMeter, AQuarterThatFlashesIsUnsafeWhereTheWholeFrameIsNot) {
  // The top-left quarter goes from black to a grey of luminance 0.32 and
  // back ten times a second: the whole frame's mean moves by 0.08.
  const FlashReport report = measure(30, 2.0, [](int n) {
    return n % 3 == 1 ? frame({0, 0, 0}, {154, 154, 154}, 0, 0, kW / 2, kH / 2) : frame({0, 0, 0});
  });
  EXPECT_EQ(report.most.whole, 0.f);
  EXPECT_EQ(report.most.quarter, 10.f);
  EXPECT_FALSE(report.safe());
  ASSERT_FALSE(report.seconds.empty());
  EXPECT_EQ(report.seconds[0].quarters[0], 10.f); // top left
  EXPECT_EQ(report.seconds[0].quarters[3], 0.f);
  EXPECT_TRUE(report.seconds[0].over());
}

TEST(FlashMeter, SmallAreasAndSmallSwingsAreSafe) {
  // A 2 x 2 white square strobing at 10 Hz: 2 % of its quarter.
  const FlashReport spot =
      measure(30, 2.0, [](int n) { return n % 2 ? frame({0, 0, 0}, {255, 255, 255}, 4, 4, 6, 6) : frame({0, 0, 0}); });
  EXPECT_EQ(spot.most.quarter, 0.f);
  EXPECT_TRUE(spot.safe());
  // The whole frame flickering by 0.05 of luminance at 15 Hz.
  const FlashReport flicker =
      measure(30, 2.0, [](int n) { return n % 2 ? frame({100, 100, 100}) : frame({75, 75, 75}); });
  EXPECT_EQ(flicker.most.whole, 0.f);
  EXPECT_TRUE(flicker.safe());
}

TEST(FlashMeter, SlowFadesAndFlickerAboveTheDarkerBoundAreSafe) {
  // Black to white and back, a second each way, three times: six
  // transitions in six seconds.
  const FlashReport fades = measure(30, 6.0, [](int n) {
    const int phase = n % 60;
    const int v = phase < 30 ? phase * 255 / 29 : (59 - phase) * 255 / 29;
    return frame({static_cast<uint8_t>(v), static_cast<uint8_t>(v), static_cast<uint8_t>(v)});
  });
  EXPECT_LE(fades.most.whole, 1.f);
  EXPECT_TRUE(fades.safe());
  // Luminance 0.85 and 1 in turn: both states bright, no flash however fast.
  const FlashReport bright =
      measure(30, 2.0, [](int n) { return n % 2 ? frame({255, 255, 255}) : frame({238, 238, 238}); });
  EXPECT_EQ(bright.most.whole, 0.f);
  EXPECT_TRUE(bright.safe());
}

TEST(FlashMeter, ARedStrobeIsUnsafeEvenWhereItsLuminanceHardlyChanges) {
  // A dark saturated red (linear R 0.30: luminance 0.065, red value 98)
  // and black, 10 Hz.
  const FlashReport red = measure(30, 2.0, strobe(10, 30, {150, 0, 0}));
  EXPECT_EQ(red.most.whole, 0.f);
  EXPECT_EQ(red.most.red, 10.f);
  EXPECT_FALSE(red.safe());
  // The same change to a colour that is not saturated red is no red flash.
  const FlashReport pink = measure(30, 2.0, strobe(10, 30, {150, 90, 90}));
  EXPECT_EQ(pink.most.red, 0.f);
}

TEST(FlashMeter, SecondsAreTheShowsAndUnsafeSpansSayWhen) {
  // 10 Hz from 44.5 s to 45.5 s of the show, dark before and after.
  const FlashReport report = measure(30, 4.0, [](int n) {
    return n >= 45 && n < 75 ? strobe(10, 30)(n) : frame({0, 0, 0});
  }, 43.0);
  ASSERT_EQ(report.seconds.size(), 4u);
  EXPECT_EQ(report.seconds[0].second, 43);
  EXPECT_GT(report.seconds[1].whole, 3.f);
  EXPECT_GT(report.seconds[2].whole, 3.f);
  EXPECT_EQ(report.seconds[3].whole, 0.f);
  ASSERT_EQ(report.unsafe.size(), 1u);
  EXPECT_NEAR(report.unsafe[0].first, 44.5, 0.1);
  EXPECT_NEAR(report.unsafe[0].second, 45.5, 0.1);
  const InspectJson json = describeFlashes(report);
  EXPECT_EQ(json["verdict"], "unsafe");
  ASSERT_EQ(json["parts"].size(), 1u);
  EXPECT_EQ(json["parts"][0]["name"], "logo");
  EXPECT_EQ(json["parts"][0]["secondsOver"]["whole"], 2);
}

TEST(FlashMeter, FramesOutOfOrderAndGapsDoNotBreakTheCount) {
  // 10 Hz for a second, a frame numbered back in time, then a jump of a
  // minute (a capture with --only): the late frame is the next one, and
  // the count starts afresh after the gap instead of taking the change
  // across it for a transition.
  FlashMeter meter(30, 0.0);
  for (size_t n = 0; n < 30; ++n)
    meter.add(measureLevels(strobe(10, 30)(static_cast<int>(n)).data(), kW, kH), n);
  meter.add(measureLevels(frame({255, 255, 255}).data(), kW, kH), 3);
  for (size_t n = 1800; n < 1830; ++n)
    meter.add(measureLevels(frame(n == 1800 ? Colour{0, 0, 0} : Colour{255, 255, 255}).data(), kW, kH), n);
  const FlashReport report = meter.report();
  EXPECT_EQ(report.frames, 61u);
  EXPECT_EQ(report.gaps, 1u);
  EXPECT_EQ(report.seconds.size(), 61u);
  EXPECT_EQ(report.seconds.back().whole, 0.5f); // the one rise after the gap
  EXPECT_FALSE(report.safe());
}

TEST(FlashMeter, ReadsACaptureDirectoryAndAVideo) {
  const TempDir dir;
  const std::string shots = dir.path() + "/shots";
  std::filesystem::create_directories(shots);
  // A --capture directory from 10 s at 30 fps: 4 Hz for two seconds.
  std::ofstream listing(shots + "/frames.txt");
  for (int n = 0; n < 60; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%06d.png", n);
    std::vector<uint8_t> rgb = strobe(4, 30)(n);
    ASSERT_TRUE(writePngFile(shots + name, rgb.data(), kW, kH, 3, 1));
    listing << n << ' ' << 10.0 + n / 30.0 << '\n';
  }
  listing.close();
  FlashReport fromPictures;
  std::string error;
  ASSERT_TRUE(measureFlashes(shots, FlashInput{}, fromPictures, error)) << error;
  EXPECT_EQ(fromPictures.fps, 30.0);
  EXPECT_NEAR(fromPictures.from, 10.0, 1e-6);
  EXPECT_EQ(fromPictures.most.whole, 4.f);

  // A video of the same strobe at 10 Hz, read back through its decoder.
  const std::string path = dir.path() + "/strobe.mp4";
  VideoFile video;
  VideoSettings settings;
  settings.width = 64, settings.height = 48, settings.fps = 30;
  ASSERT_TRUE(video.open(path, settings, nullptr, 0, 44100, 2)) << video.error();
  for (int n = 0; n < 60; ++n)
    ASSERT_TRUE(video.addFrame(strobe(10, 30)(n).data(), kW, kH)) << video.error();
  ASSERT_TRUE(video.finish()) << video.error();
  FlashReport fromVideo;
  ASSERT_TRUE(measureFlashes(path, FlashInput{}, fromVideo, error)) << error;
  EXPECT_EQ(fromVideo.frames, 60u);
  EXPECT_EQ(fromVideo.fps, 30.0);
  EXPECT_EQ(fromVideo.most.whole, 10.f);

  EXPECT_FALSE(measureFlashes(dir.path() + "/none.mp4", FlashInput{}, fromVideo, error));
  EXPECT_NE(error.find("none.mp4"), std::string::npos);
}

} // namespace
} // namespace demo::test
