// gl_fixture.h - the one headless GL fixture every GL test shares.
//
// The first GLTest of a process opens the real GLWindow, hidden, 800 x 600,
// without an audio device. Without a display it uses SDL's offscreen driver
// (EGL on llvmpipe). Every test starts from the show's initial GL state and
// reads pixels back from the 800 x 600 frame buffer.
#pragma once

#include <gtest/gtest.h>

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
};

} // namespace demo::test
