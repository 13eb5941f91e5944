#include "app/main_loop.h"
#include "app/options.h"
#include "platform/gl_window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
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
  EXPECT_EQ(parse({"demo", "--window", "--no-vsync", "--data", "/srv/data", "--reduce-flashing"}, options, run), 0);
  EXPECT_TRUE(run);
  EXPECT_TRUE(options.window);
  EXPECT_FALSE(options.vsync);
  EXPECT_EQ(options.dataDir, "/srv/data");
  EXPECT_TRUE(options.reduceFlashing);
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
  // What each renderer asks of the driver.
  for (const char *said : {"--renderer classic|modern|es", "compatibility profile", "3.3 core", "ES 3.0"})
    EXPECT_NE(help.find(said), std::string::npos) << said;
  // The warning, and the way to the gentle mode, before the options.
  const size_t warning = help.find("flashing and strobing light");
  ASSERT_NE(warning, std::string::npos);
  EXPECT_LT(warning, help.find("--window"));
  EXPECT_LT(help.find("--reduce-flashing"), help.find("--window"));
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

// The picture's size: --scale wins; a sized video draws its own picture;
// the live show takes the screen's on a graphics card and 800 x 600 on a
// software renderer unless native is asked for; nothing goes below 800 x 600.
TEST(Options, ScaleDecidesThePictureSizeAndEachRunHasItsDefault) {
  const FrameSize screen{1440, 1080};
  auto sizeFor = [&](std::vector<const char *> argv, bool software) {
    Options options;
    bool run = false;
    EXPECT_EQ(parse(std::move(argv), options, run), 0);
    const FrameSize f = frameSizeFor(options, screen, software);
    return std::vector<int>{f.width, f.height};
  };
  EXPECT_EQ(sizeFor({"demo"}, false), (std::vector<int>{1440, 1080}));
  EXPECT_EQ(sizeFor({"demo"}, true), (std::vector<int>{800, 600}));
  EXPECT_EQ(sizeFor({"demo", "--scale", "native"}, true), (std::vector<int>{1440, 1080}));
  EXPECT_EQ(sizeFor({"demo", "--scale", "1"}, false), (std::vector<int>{800, 600}));
  EXPECT_EQ(sizeFor({"demo", "--scale", "2.5"}, true), (std::vector<int>{2000, 1500}));
  EXPECT_EQ(sizeFor({"demo", "--capture", "out", "--scale", "1.8"}, false), (std::vector<int>{1440, 1080}));
  EXPECT_EQ(sizeFor({"demo", "--capture", "a.mp4", "--size", "1920x1080"}, false), (std::vector<int>{1440, 1080}));
  EXPECT_EQ(sizeFor({"demo", "--capture", "a.mp4", "--size", "640x480"}, false), (std::vector<int>{800, 600}));
  EXPECT_EQ(sizeFor({"demo", "--capture", "a.mp4", "--size", "1920x1080", "--scale", "1"}, false),
            (std::vector<int>{800, 600}));

  Options options;
  bool run = true;
  testing::internal::CaptureStderr();
  for (const char *bad : {"0.5", "9", "2x", "nan", ""})
    EXPECT_EQ(parse({"demo", "--scale", bad}, options, run), 2) << bad;
  EXPECT_EQ(parse({"demo", "--capture", "out", "--scale", "native"}, options, run), 2);
  testing::internal::GetCapturedStderr();
}

// DEMO_RENDERER as a test sets it (nullptr: unset), put back afterwards.
struct RendererVariable {
  explicit RendererVariable(const char *value) : had(std::getenv("DEMO_RENDERER") != nullptr) {
    if (had)
      saved = std::getenv("DEMO_RENDERER");
    value ? setenv("DEMO_RENDERER", value, 1) : unsetenv("DEMO_RENDERER");
  }
  ~RendererVariable() { had ? setenv("DEMO_RENDERER", saved.c_str(), 1) : unsetenv("DEMO_RENDERER"); }
  bool had;
  std::string saved;
};

// Classic unless asked: --renderer names one, else DEMO_RENDERER does (one
// naming nothing matters only then); anything else is a usage error that
// names the choices.
TEST(Options, RendererIsClassicUnlessTheOptionOrDemoRendererNamesAnother) {
  auto rendererOf = [](std::vector<const char *> argv, const char *variable, std::string *err = nullptr) {
    const RendererVariable set(variable);
    Options options;
    options.renderer = draw::Renderer::Modern; // "classic" has to be chosen
    bool run = false;
    testing::internal::CaptureStderr();
    const int code = parse(std::move(argv), options, run);
    const std::string said = testing::internal::GetCapturedStderr();
    if (err)
      *err = said;
    return run && code == 0 ? draw::rendererName(options.renderer) : code == 2 ? "usage error" : "?";
  };
  EXPECT_STREQ(rendererOf({"demo"}, nullptr), "classic");
  EXPECT_STREQ(rendererOf({"demo"}, ""), "classic");
  EXPECT_STREQ(rendererOf({"demo"}, "es"), "es");
  EXPECT_STREQ(rendererOf({"demo", "--renderer", "modern"}, nullptr), "modern");
  EXPECT_STREQ(rendererOf({"demo", "--capture", "out", "--renderer", "classic"}, "es"), "classic");
  EXPECT_STREQ(rendererOf({"demo", "--renderer", "es"}, "vulkan"), "es");
  std::string err;
  for (const char *bad : {"vulkan", "Modern", ""}) {
    EXPECT_STREQ(rendererOf({"demo", "--renderer", bad}, nullptr, &err), "usage error") << bad;
    EXPECT_NE(err.find("'" + std::string(bad) + "' is not a renderer: give classic, modern or es"), std::string::npos)
        << err;
  }
  EXPECT_STREQ(rendererOf({"demo", "--renderer"}, nullptr), "usage error");
  EXPECT_STREQ(rendererOf({"demo", "--window"}, "gl4", &err), "usage error");
  EXPECT_NE(err.find("DEMO_RENDERER: 'gl4' is not a renderer: set it to classic, modern or es"), std::string::npos)
      << err;
}

TEST(Options, OnlyMesasCpuRenderersCountAsSoftware) {
  EXPECT_TRUE(isSoftwareRenderer("llvmpipe (LLVM 15.0.6, 256 bits)"));
  EXPECT_TRUE(isSoftwareRenderer("Mesa X11 SWRAST"));
  EXPECT_FALSE(isSoftwareRenderer("AMD Radeon RX 6600 (radeonsi, navi23, LLVM 15.0.6, DRM 3.49)"));
}

} // namespace
} // namespace demo
