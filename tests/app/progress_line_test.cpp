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
std::string written(bool inPlace, double fps, double seconds) {
  std::FILE *file = std::tmpfile();
  ProgressLine line(file, inPlace);
  for (long n = 0; n <= static_cast<long>(seconds * fps); ++n)
    line.afterFrame(static_cast<float>(n / fps), n / fps);
  line.finish();
  std::string text(static_cast<size_t>(std::ftell(file)), '\0');
  std::rewind(file);
  text.resize(std::fread(text.data(), 1, text.size(), file));
  std::fclose(file);
  return text;
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
