// The gentle mode's pass on real frames: a strobe drawn into the frame
// buffer comes out safe by the meter, frames that need nothing are left
// exactly as drawn, and the GL state the next frame starts from is the one
// the show left.
#include <GL/glew.h>

#include <vector>

#include "gfx/flash_guard.h"
#include "gl_fixture.h"
#include "inspect/flash_meter.h"
#include "draw/draw.h"

namespace demo::test {
namespace {

std::vector<float> floats(GLenum which, int count) {
  std::vector<float> v(static_cast<size_t>(count));
  glGetFloatv(which, v.data());
  return v;
}

class FlashGuardTest : public GLTest {};

TEST_F(FlashGuardTest, AStrobeComesOutSafeAndTheNextFrameFindsTheStateItLeft) {
  // State a scene might leave: a tilted model-view, additive blending, a
  // half-transparent colour, texturing on, the projection current.
  draw::matrixMode(draw::MatrixMode::ModelView);
  draw::loadIdentity();
  glRotatef(30.f, 0.f, 0.f, 1.f);
  draw::enable(draw::Cap::Blend);
  draw::blendFunc(draw::Factor::One, draw::Factor::One);
  draw::colour(0.2f, 0.3f, 0.4f, 0.5f);
  draw::enable(draw::Cap::Texture2D);
  draw::activeTexture(1);
  draw::matrixMode(draw::MatrixMode::Projection);
  const std::vector<float> modelView = floats(GL_MODELVIEW_MATRIX, 16);
  const std::vector<float> colour = floats(GL_CURRENT_COLOR, 4);

  FlashGuard guard(glWindow().frame(), glWindow().drawRenderer());
  FlashMeter meter(30.0, 0.0);
  int darkened = 0;
  for (int n = 0; n < 90; ++n) {
    // White and black in turn, ten flashes a second at 30 fps.
    const float v = (n / 3) % 2 ? 1.f : 0.f;
    draw::clearColour(v, v, v, 1.f);
    draw::clear(draw::kClearColour);
    const FrameCorrection c = guard.limit(n == 0 ? 0.f : 1.f / 30.f);
    const std::vector<uint8_t> frame = readFrame();
    if (c.darken == 0) { // shown exactly as drawn
      EXPECT_EQ(frame[0], v > 0.f ? 255 : 0) << n;
    }
    darkened += c.darken > 0;
    meter.add(measureLevels(frame.data(), 800, 600), static_cast<size_t>(n));
  }
  const FlashReport report = meter.report();
  EXPECT_TRUE(report.safe());
  EXPECT_LE(report.most.whole, 3.f);
  EXPECT_GT(darkened, 0);

  EXPECT_EQ(glInteger(GL_MATRIX_MODE), GL_PROJECTION);
  EXPECT_EQ(floats(GL_MODELVIEW_MATRIX, 16), modelView);
  EXPECT_EQ(floats(GL_CURRENT_COLOR, 4), colour);
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  EXPECT_EQ(glInteger(GL_ACTIVE_TEXTURE), GL_TEXTURE1);
  draw::activeTexture(0);
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST)); // the show's, as the fixture set it
  EXPECT_EQ(glInteger(GL_BLEND_SRC), GL_ONE);
  EXPECT_EQ(glInteger(GL_BLEND_DST), GL_ONE);
  EXPECT_EQ(glInteger(GL_PACK_ALIGNMENT), 4);
  EXPECT_EQ(static_cast<unsigned>(glInteger(GL_DRAW_FRAMEBUFFER_BINDING)), glWindow().framebuffer());
  EXPECT_EQ(static_cast<unsigned>(glInteger(GL_READ_FRAMEBUFFER_BINDING)), glWindow().framebuffer());
  EXPECT_TRUE(noGlError());
  draw::matrixMode(draw::MatrixMode::ModelView);
  draw::loadIdentity();
}

} // namespace
} // namespace demo::test
