#include "app/progress_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace demo {
namespace {

TEST(ProgressText, NamesTheTimeThePartAndTheRate) {
  EXPECT_EQ(progressText(100.04f, 250, 10.0), "show 100.0 s of 265 s  letters     25.0 fps");
  EXPECT_EQ(progressText(239.f, 1, 0.0), "show 239.0 s of 265 s  quick cuts   0.0 fps");
  EXPECT_EQ(progressText(39.57f, 3, 1.0), "show  39.6 s of 265 s  -            3.0 fps"); // between parts
}

// What a ProgressLine wrote, frame by frame at `fps` frames a second of real
// time for `seconds`, with show time = real time.
// What was written to `file`, which is then closed.
std::string readBack(std::FILE *file) {
  std::string text(static_cast<size_t>(std::ftell(file)), '\0');
  std::rewind(file);
  text.resize(std::fread(text.data(), 1, text.size(), file));
  std::fclose(file);
  return text;
}

std::string written(bool inPlace, double fps, double seconds) {
  std::FILE *file = std::tmpfile();
  ProgressLine line(file, inPlace);
  for (long n = 0; n <= static_cast<long>(seconds * fps); ++n)
    line.afterFrame(static_cast<float>(n / fps), n / fps);
  line.finish();
  return readBack(file);
}

size_t count(const std::string &text, char c) {
  size_t n = 0;
  for (char x : text)
    n += x == c;
  return n;
}

TEST(ProgressLine, ALogGetsALineEveryTenSeconds) {
  const std::string text = written(false, 30.0, 35.0);
  EXPECT_EQ(count(text, '\n'), 3u) << text; // at 10, 20 and 30 s
  EXPECT_EQ(count(text, '\r'), 0u);
  EXPECT_EQ(text.substr(0, text.find('\n')), "show  10.0 s of 265 s  water       30.0 fps");
}

// A part that draws slower than the ones before: the line gives the rate of
// the last second, not the average since the start.
TEST(ProgressLine, TheRateIsTheLastSecondsNotTheAverageSinceTheStart) {
  std::FILE *file = std::tmpfile();
  ProgressLine line(file, false);
  double wall = 0.0;
  for (int n = 0; n <= 20 * 60; ++n, wall = n / 60.0) // 20 s at 60 fps
    line.afterFrame(static_cast<float>(wall), wall);
  for (int n = 1; n <= 10 * 26; ++n) // then 10 s at 26 fps
    line.afterFrame(static_cast<float>(20.0 + n / 26.0), 20.0 + n / 26.0);
  EXPECT_EQ(readBack(file), "show  10.0 s of 265 s  water       60.0 fps\n"
                  "show  20.0 s of 265 s  water       60.0 fps\n"
                  "show  30.0 s of 265 s  water       26.0 fps\n");
}

TEST(RecentFrameRate, CountsTheFramesOfTheLastSecondAndAlwaysTheLastTwo) {
  RecentFrameRate rate;
  EXPECT_EQ(rate.frames(), 0);
  EXPECT_EQ(rate.seconds(), 0.0);
  rate.add(5.0);
  EXPECT_EQ(rate.frames(), 0); // one frame is no rate yet
  for (int n = 1; n <= 90; ++n)
    rate.add(5.0 + n / 30.0); // three seconds at 30 fps
  EXPECT_EQ(rate.frames(), 30);
  EXPECT_NEAR(rate.seconds(), 1.0, 1e-9);
  rate.add(12.0); // a stall of four seconds reads as one frame in four
  EXPECT_EQ(rate.frames(), 1);
  EXPECT_NEAR(rate.seconds(), 4.0, 1e-9);
  for (int n = 1; n <= 2000; ++n)
    rate.add(12.0 + n / 1000.0); // faster than the ring holds a second of
  EXPECT_EQ(rate.frames(), RecentFrameRate::kCapacity - 1);
  EXPECT_NEAR(rate.frames() / rate.seconds(), 1000.0, 1e-6);
}

TEST(ProgressLine, ATerminalLineIsRewrittenInPlaceAndEndedOnce) {
  const std::string text = written(true, 30.0, 5.0);
  EXPECT_GE(count(text, '\r'), 15u) << text; // four a second
  EXPECT_LE(count(text, '\r'), 21u) << text;
  EXPECT_EQ(count(text, '\n'), 1u);
  EXPECT_EQ(text.back(), '\n');
  EXPECT_EQ(written(true, 30.0, 0.1), ""); // too short to say anything
}

} // namespace
} // namespace demo
