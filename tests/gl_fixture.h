// gl_fixture.h - the one headless GL fixture every GL test shares.
//
// The first GLTest of a process opens the real GLWindow, hidden, 800 x 600,
// without an audio device, drawn by the renderer DEMO_RENDERER names
// (classic when unset), so `DEMO_RENDERER=modern ctest` runs the GL tests on
// the modern backend. Without a display it uses SDL's offscreen driver
// (EGL on llvmpipe). Every test starts from the show's initial GL state and
// reads pixels back from the 800 x 600 frame buffer. BakedDataGLTest adds
// the baked data set, for the tests that draw whole scenes.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "platform/gl_window.h"

namespace demo::test {

struct Rgb {
  int r, g, b;
};

// The process's window, opened on first use.
GLWindow &glWindow();

class GLTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // The whole frame buffer, RGB, bottom row first (y = 0 is the bottom).
  std::vector<uint8_t> readFrame();
  // One pixel; (0, 0) is the bottom-left corner.
  Rgb pixel(int x, int y);
  // The GL error pending now (and clears it).
  unsigned takeGlError();
  // Succeeds when no GL error is pending (and clears it); the failure names
  // the error. EXPECT_TRUE(noGlError()) << "at " << time;
  ::testing::AssertionResult noGlError();

  // One integer of GL state (glGetIntegerv).
  static int glInteger(unsigned which);
  // The viewport: x, y, width, height.
  static std::array<int, 4> currentViewport();
  // The viewport covers the whole 800 x 600 window (its size checked).
  static void expectFullScreenViewport();

private:
  // The classic renderer's starting point, set in GL directly (the fixed
  // pipeline's state included); the drawing state is then reset to match.
  static void resetFixedFunction();
};

// A GLTest that draws from the baked data set: "data/..." names the files
// the build baked during the test, and the default directory again after it.
class BakedDataGLTest : public GLTest {
protected:
  void SetUp() override;
  void TearDown() override;
};

// Sums over a frame from readFrame() (800 x 600, RGB, bottom row first).
// Mean of r + g + b over the rows [y0, y1), 0 to 765.
double meanBrightness(const std::vector<uint8_t> &frame, int y0 = 0, int y1 = 600);
// The brightest channel of the brightest pixel of row y (0 for a black row).
int rowPeak(const std::vector<uint8_t> &frame, int y);

// A 2 x 2 texture of one colour on texture unit `unit`, bound and enabled
// there; unit 0 is left active. The caller deletes it.
unsigned makeSolidTexture(int unit, uint8_t r, uint8_t g, uint8_t b);

} // namespace demo::test
