// Frames read back through pixel buffers come out whole, in the order they
// were drawn, each as it was when its read started, not as the frame buffer
// is when it is taken.
#include <GL/glew.h>

#include <cstdint>
#include <vector>

#include "platform/pixel_readback.h"
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

TEST_F(PixelReadbackGL, FramesComeOutInOrderAsTheyWereWhenStartedAndTheOldestIsDroppedWhenFull) {
  PixelReadback readback(glWindow().framebuffer(), glWindow().width(), glWindow().height(),
                         glWindow().drawRenderer());
  std::vector<uint8_t> taken;
  EXPECT_FALSE(readback.take(taken)) << "nothing started yet";
  std::vector<std::vector<uint8_t>> drawn, out;
  for (int n = 0; n < 5; ++n) {
    drawFrame(n);
    drawn.push_back(readFrame());
    readback.start();
    if (n < 3 && readback.pending() > 1) { // frames 0 and 1 as they go; 2 waits, 3 and 4 fill the buffers
      ASSERT_TRUE(readback.take(taken));
      out.push_back(taken);
    }
  }
  EXPECT_EQ(readback.pending(), PixelReadback::kBuffers);
  while (readback.pending() > 0) {
    ASSERT_TRUE(readback.take(taken));
    out.push_back(taken);
  }
  ASSERT_EQ(out.size(), 4u);
  EXPECT_TRUE(out[0] == drawn[0] && out[1] == drawn[1]);
  EXPECT_TRUE(out[2] == drawn[3] && out[3] == drawn[4]) << "frame 2 was dropped for frame 4";
  EXPECT_FALSE(readback.take(taken));
  EXPECT_TRUE(noGlError());
}

} // namespace
} // namespace demo::test
