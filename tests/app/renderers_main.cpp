// The renderers from the outside: the same capture drawn by the classic
// renderer (OpenGL's compatibility profile), by the modern one (OpenGL 3.3
// core) and by OpenGL ES 3.0, one frame of every part of the show and the
// whole loading sequence. The 2D pictures (the loading screen and the end
// logo's picture over black) must be the same within one level; the 3D parts the same picture, within what two
// implementations of the same lighting, fog and texture coordinates differ
// by (PSNR). Every figure is printed.
#include <gtest/gtest.h>

#include <algorithm>
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
  int frame;     // at 60 frames a second from 0
  bool flat;     // pictures only, drawn as they are: within one level
};
constexpr PartFrame kParts[] = {
    {"water", 20.f, 1200, false},      {"logo", 45.f, 2700, false},       {"logo plate", 47.f, 2820, false},
    {"water again", 70.f, 4200, false}, {"credit", 85.f, 5100, false},     {"letters", 100.f, 6000, false},
    {"event", 140.f, 8400, false},     {"greetings", 165.f, 9900, false},  {"corridor", 190.f, 11400, false},
    {"final", 230.f, 13800, false},    {"quick cuts", 245.f, 14700, false}, {"ending", 259.f, 15540, false},
    {"end logo", 260.f, 15600, true}};
constexpr int kLoadingFrames = 95;

// RGB of a capture's PNG; empty when missing or not 800 x 600 RGB.
std::vector<uint8_t> picture(const std::string &path) {
  const PngImage png = decodePng(path.c_str());
  if (png.width != 800 || png.height != 600 || png.channels != 3)
    return {};
  return png.data;
}

std::string frameName(int n) {
  char name[32];
  std::snprintf(name, sizeof name, "/frame-%06d.png", n);
  return name;
}

std::string loadingName(int n) {
  char name[32];
  std::snprintf(name, sizeof name, "/loading-%02d.png", n);
  return name;
}

// The largest difference of one channel between two pictures of one size.
int largestDifference(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b) {
  int largest = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i)
    largest = std::max(largest, std::abs(static_cast<int>(a[i]) - static_cast<int>(b[i])));
  return largest;
}

// One capture per renderer, made once: the captures take minutes, and ctest
// runs each test in a process of its own, so one test makes and checks them.
class Renderers : public testing::Test {
protected:
  static void SetUpTestSuite() {
    dir_ = new test::TempDir;
    std::string only;
    for (const PartFrame &part : kParts)
      only += (only.empty() ? "" : ",") + std::to_string(part.time);
    for (const char *renderer : {"classic", "modern", "es"}) {
      const std::string log = dir_->file(std::string(renderer) + ".log");
      const std::string command = std::string("DEMO_RENDERER=") + renderer + " '" + DEMO_PROGRAM + "' --data '" +
                                  DEMO_BAKED_DATA_DIR + "' --capture '" + dir_->file(renderer) + "' --only " +
                                  only + " >'" + log + "' 2>&1";
      const int status = std::system(command.c_str());
      captured_ = captured_ && WIFEXITED(status) && WEXITSTATUS(status) == 0;
      const std::vector<uint8_t> text = test::readFile(log);
      logs_.emplace_back(text.begin(), text.end());
    }
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }

  // Each loading frame and flat part of `b` within one level of `a`'s, and
  // each 3D part at least `minimum` dB. Prints every figure.
  static void compare(const char *a, const char *b, double minimum) {
    int loadingLargest = 0;
    for (int n = 0; n < kLoadingFrames; ++n) {
      const std::vector<uint8_t> pa = picture(dir_->file(a) + loadingName(n));
      const std::vector<uint8_t> pb = picture(dir_->file(b) + loadingName(n));
      ASSERT_FALSE(pa.empty() || pb.empty()) << "loading frame " << n;
      loadingLargest = std::max(loadingLargest, largestDifference(pa, pb));
    }
    std::printf("%s against %s: loading frames differ by at most %d\n", b, a, loadingLargest);
    EXPECT_LE(loadingLargest, 1) << "the loading screen";
    for (const PartFrame &part : kParts) {
      const std::vector<uint8_t> pa = picture(dir_->file(a) + frameName(part.frame));
      const std::vector<uint8_t> pb = picture(dir_->file(b) + frameName(part.frame));
      ASSERT_FALSE(pa.empty() || pb.empty()) << part.part;
      const double psnr = test::psnr(pa, pb);
      const int largest = largestDifference(pa, pb);
      std::printf("%s against %s: %-11s %6.2f s  PSNR %6.2f dB, largest difference %d\n", b, a, part.part,
                  static_cast<double>(part.time), psnr, largest);
      if (part.flat)
        EXPECT_LE(largest, 1) << part.part;
      else
        EXPECT_GE(psnr, minimum) << part.part;
    }
  }

  static test::TempDir *dir_;
  static bool captured_;
  static std::vector<std::string> logs_;
};
test::TempDir *Renderers::dir_ = nullptr;
bool Renderers::captured_ = true;
std::vector<std::string> Renderers::logs_;

TEST_F(Renderers, ModernDrawsWhatClassicDrawsAndEsWhatModernDrawsWithoutAMessage) {
  ASSERT_TRUE(captured_) << logs_[0] << logs_[1] << logs_[2];
  // A capture says nothing but its progress: no GL error, no message line.
  for (size_t i = 1; i < logs_.size(); ++i)
    EXPECT_EQ(logs_[i].find("quintervale:"), std::string::npos) << logs_[i];
  compare("classic", "modern", 40.0);
  compare("modern", "es", 45.0);
}

} // namespace
} // namespace demo
