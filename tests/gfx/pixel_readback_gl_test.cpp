// Frames read back through pixel buffers come out whole, in the order they
// were drawn, each as it was when its read started, not as the frame buffer
// is when it is taken.
#include <GL/glew.h>

#include <cstdint>
#include <vector>

#include "gfx/pixel_readback.h"
#include "gl_fixture.h"

namespace demo::test {
namespace {

class PixelReadbackGL : public GLTest {
protected:
  // A frame of its own: a clear colour and, over the bottom-left quarter,
  // another, so a flipped or shifted read shows.
  static void drawFrame(int n) {
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0.1f * static_cast<float>(n), 0.5f, 1.f - 0.1f * static_cast<float>(n), 1.f);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 400, 300);
    glClearColor(1.f, 0.f, 0.05f * static_cast<float>(n), 1.f);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
  }
};

TEST_F(PixelReadbackGL, FramesComeOutInOrderAsTheyWereWhenStarted) {
  PixelReadback readback(glWindow().framebuffer(), glWindow().width(), glWindow().height());
  std::vector<uint8_t> taken;
  EXPECT_FALSE(readback.take(taken)) << "nothing started yet";

  std::vector<std::vector<uint8_t>> drawn;
  std::vector<std::vector<uint8_t>> out;
  for (int n = 0; n < 5; ++n) {
    drawFrame(n);
    drawn.push_back(readFrame());
    readback.start();
    if (readback.pending() > 1) {
      ASSERT_TRUE(readback.take(taken));
      out.push_back(taken);
    }
  }
  EXPECT_EQ(readback.pending(), 1u);
  while (readback.pending() > 0) {
    ASSERT_TRUE(readback.take(taken));
    out.push_back(taken);
  }
  ASSERT_EQ(out.size(), drawn.size());
  for (size_t n = 0; n < drawn.size(); ++n)
    EXPECT_TRUE(out[n] == drawn[n]) << "frame " << n;
  EXPECT_FALSE(readback.take(taken));
  EXPECT_TRUE(noGlError());
}

TEST_F(PixelReadbackGL, StartingMoreThanItHoldsDropsTheOldest) {
  PixelReadback readback(glWindow().framebuffer(), glWindow().width(), glWindow().height());
  std::vector<std::vector<uint8_t>> drawn;
  for (int n = 0; n < static_cast<int>(PixelReadback::kBuffers) + 1; ++n) {
    drawFrame(n);
    drawn.push_back(readFrame());
    readback.start();
  }
  EXPECT_EQ(readback.pending(), PixelReadback::kBuffers);
  std::vector<uint8_t> taken;
  ASSERT_TRUE(readback.take(taken));
  EXPECT_TRUE(taken == drawn[1]) << "the first frame was dropped, the second is the oldest left";
  EXPECT_TRUE(noGlError());
}

} // namespace
} // namespace demo::test
