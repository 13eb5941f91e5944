#include <GL/glew.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include <SDL.h>

#include "base/frame_size.h"
#include "gfx/overlay.h"
#include "gfx/render_target.h"
#include "gl_fixture.h"
#include "draw/draw.h"

namespace demo::test {
namespace {

GLint integer(GLenum which) {
  GLint v = 0;
  glGetIntegerv(which, &v);
  return v;
}

std::vector<GLint> viewport() {
  std::vector<GLint> v(4);
  glGetIntegerv(GL_VIEWPORT, v.data());
  return v;
}

std::vector<float> floats(GLenum which, int count) {
  std::vector<float> v(static_cast<size_t>(count));
  glGetFloatv(which, v.data());
  return v;
}

bool near(const Rgb &c, int r, int g, int b, int tolerance = 1) {
  return std::abs(c.r - r) <= tolerance && std::abs(c.g - g) <= tolerance && std::abs(c.b - b) <= tolerance;
}

// Fills the frame's lower-left w x h pixels with RGB rows, bottom row first.
void drawIntoFrame(const std::vector<uint8_t> &rgb, int w, int h) {
  glDisable(GL_DEPTH_TEST);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glWindowPos2i(0, 0);
  glDrawPixels(w, h, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  glEnable(GL_DEPTH_TEST);
}

// Every pixel a different colour: x and y in the low bytes, high bits in blue.
std::vector<uint8_t> coordinateFrame(int w, int h) {
  std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t *p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
      p[0] = static_cast<uint8_t>(x & 255);
      p[1] = static_cast<uint8_t>(y & 255);
      p[2] = static_cast<uint8_t>((x >> 8) | ((y >> 8) << 4));
    }
  return rgb;
}

std::vector<uint8_t> noise(int w, int h) {
  std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
  uint32_t state = 12345;
  for (uint8_t &v : rgb) {
    state = state * 1664525u + 1013904223u;
    v = static_cast<uint8_t>(state >> 24);
  }
  return rgb;
}

// Clears the whole frame to one opaque colour, which stays the clear colour.
void clearFrame(float r, float g, float b) {
  glClearColor(r, g, b, 1.f);
  glClear(GL_COLOR_BUFFER_BIT);
}

// Clears the w x h box at (x, y) to one opaque colour, which stays the clear
// colour; scissoring is off again afterwards.
void clearBox(int x, int y, int w, int h, float r, float g, float b) {
  glEnable(GL_SCISSOR_TEST);
  glScissor(x, y, w, h);
  clearFrame(r, g, b);
  glDisable(GL_SCISSOR_TEST);
}

// Clears the frame to black, then one pixel to grey `value`.
void dot(int x, int y, int value) {
  clearFrame(0.f, 0.f, 0.f);
  const float v = static_cast<float>(value) / 255.f;
  clearBox(x, y, 1, 1, v, v, v);
  glClearColor(0.f, 0.f, 0.f, 1.f);
}

// What a blur leaves behind whatever it drew: no blending or texturing, depth
// testing on, white colour, the modelview current and the projection as found.
void expectBlurLeftItsState(const std::vector<float> &projection) {
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_EQ(floats(GL_CURRENT_COLOR, 4), (std::vector<float>{1.f, 1.f, 1.f, 1.f}));
  EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);
  EXPECT_EQ(floats(GL_PROJECTION_MATRIX, 16), projection);
}

// The first w x h texels of the target's texture, RGBA, bottom row first.
std::vector<uint8_t> texels(const RenderTarget &target) {
  std::vector<uint8_t> all(static_cast<size_t>(target.texWidth) * target.texHeight * 4);
  glBindTexture(GL_TEXTURE_2D, target.textureId);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, all.data());
  return all;
}

class RenderTargetTest : public GLTest {
protected:
  RenderTarget &target(int w, int h) {
    targets_.push_back(std::make_unique<RenderTarget>(w, h));
    return *targets_.back();
  }

  // A new w x h target holding a copy of the frame's lower-left corner.
  RenderTarget &copyOfFrame(int w, int h) {
    RenderTarget &t = target(w, h);
    t.copyFromScreen();
    return t;
  }

  // Lower-left w x h of the frame against RGB rows; returns how many pixels
  // differ by more than the tolerance in some channel.
  int mismatches(const std::vector<uint8_t> &expected, int w, int h, int tolerance) {
    const std::vector<uint8_t> frame = readFrame();
    int wrong = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        for (int c = 0; c < 3; ++c)
          if (std::abs(frame[(static_cast<size_t>(y) * 800 + x) * 3 + c] -
                       expected[(static_cast<size_t>(y) * w + x) * 3 + c]) > tolerance) {
            ++wrong;
            break;
          }
    return wrong;
  }

  std::vector<std::unique_ptr<RenderTarget>> targets_;
};

// ------------------------------------------------------------------ construction

TEST_F(RenderTargetTest, SizesRoundUpToPowersOfTwo) {
  struct Case {
    int w, h, texW, texH;
    float uMax, vMax;
  };
  for (const Case &c : {Case{1, 1, 2, 2, 0.5f, 0.5f}, Case{256, 256, 256, 256, 1.f, 1.f},
                        Case{64, 128, 64, 128, 1.f, 1.f}, Case{800, 450, 1024, 512, 0.78125f, 0.87890625f},
                        Case{800, 600, 1024, 1024, 0.78125f, 0.5859375f}}) {
    SCOPED_TRACE(testing::Message() << c.w << " x " << c.h);
    RenderTarget &t = target(c.w, c.h);
    EXPECT_EQ(t.width, c.w);
    EXPECT_EQ(t.height, c.h);
    EXPECT_EQ(t.texWidth, c.texW);
    EXPECT_EQ(t.texHeight, c.texH);
    EXPECT_FLOAT_EQ(t.uMax, c.uMax);
    EXPECT_FLOAT_EQ(t.vMax, c.vMax);
    EXPECT_EQ(t.screenWidth, 800);
    EXPECT_EQ(t.screenHeight, 600);
    EXPECT_NE(t.textureId, 0u);
    EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), static_cast<GLint>(t.textureId));
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    EXPECT_EQ(w, c.texW);
    EXPECT_EQ(h, c.texH);
  }
  GLint filter = 0, wrap = 0;
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrap);
  EXPECT_EQ(filter, GL_LINEAR);
  EXPECT_EQ(wrap, GL_REPEAT);
}

// ------------------------------------------------------------------ ownership

// A large copy's mipmap levels are counted with it, and freed with it.
TEST_F(RenderTargetTest, ADestroyedTargetDeletesItsTextureAndGivesBackItsBytes) {
  const size_t before = RenderTarget::allocatedBytes();
  GLuint name = 0;
  {
    const FrameSize frame = FrameSize::atScale(2.0);
    const RenderTarget t(frame.width, frame.height, TargetStorage::Rgb, frame);
    ASSERT_EQ(t.mipLevels, 1);
    name = t.textureId;
    EXPECT_GT(RenderTarget::allocatedBytes(), before + static_cast<size_t>(t.texWidth) * t.texHeight * 4);
  }
  EXPECT_FALSE(glIsTexture(name));
  EXPECT_EQ(RenderTarget::allocatedBytes(), before);
}

TEST_F(RenderTargetTest, AMovedFromTargetFreesNothingAndTheNewOwnerFreesOnce) {
  const size_t before = RenderTarget::allocatedBytes();
  GLuint name = 0;
  {
    std::optional<RenderTarget> from(std::in_place, 64, 64);
    name = from->textureId;
    const RenderTarget to(std::move(*from));
    EXPECT_EQ(from->textureId, 0u);
    EXPECT_EQ(to.textureId, name);
    EXPECT_EQ(to.width, 64);
    from.reset();
    EXPECT_TRUE(glIsTexture(name)) << "the moved-from target deleted the texture it gave away";
    EXPECT_EQ(RenderTarget::allocatedBytes(), before + 64 * 64 * 4);
  }
  EXPECT_FALSE(glIsTexture(name));
  EXPECT_EQ(RenderTarget::allocatedBytes(), before);
  EXPECT_TRUE(noGlError());
}

// With no context current (the window closed first) the delete reaches
// nothing, and the texture stays with the context.
TEST_F(RenderTargetTest, ATargetDestroyedWithNoContextCurrentLeavesTheContextAlone) {
  SDL_Window *window = SDL_GL_GetCurrentWindow();
  SDL_GLContext context = SDL_GL_GetCurrentContext();
  ASSERT_NE(context, nullptr);
  std::optional<RenderTarget> t(std::in_place, 16, 16);
  const GLuint name = t->textureId;
  ASSERT_EQ(SDL_GL_MakeCurrent(window, nullptr), 0);
  t.reset();
  ASSERT_EQ(SDL_GL_MakeCurrent(window, context), 0);
  EXPECT_TRUE(glIsTexture(name));
  // What the window's close would have freed with the context.
  glDeleteTextures(1, &name);
}

// ------------------------------------------------------------------ copy and draw

TEST_F(RenderTargetTest, CopyThenDrawReproducesTheFrameUpright) {
  const std::vector<uint8_t> picture = coordinateFrame(800, 600);
  drawIntoFrame(picture, 800, 600);
  RenderTarget &screen = copyOfFrame(800, 600);
  glClear(GL_COLOR_BUFFER_BIT);
  screen.draw();
  EXPECT_EQ(mismatches(picture, 800, 600, 1), 0);
}

// Only Rgba storage keeps the unused area transparent after a copy, which the
// closing tiles' blended edges fade into; Rgb reads alpha 1 there. (That
// copies hold the frame exactly is CopyThenDrawReproducesTheFrameUpright.)
TEST_F(RenderTargetTest, OnlyRgbaStorageKeepsTheUnusedAreaTransparent) {
  clearFrame(1.f, 1.f, 1.f);
  for (TargetStorage storage : {TargetStorage::Rgb, TargetStorage::Rgba}) {
    const bool rgba = storage == TargetStorage::Rgba;
    targets_.push_back(std::make_unique<RenderTarget>(800, 600, storage));
    RenderTarget &t = *targets_.back();
    t.copyFromScreen();
    const std::vector<uint8_t> all = texels(t);
    for (auto [x, y] : {std::pair{0, 0}, std::pair{800, 0}, std::pair{0, 600}, std::pair{1023, 1023}}) {
      const uint8_t *p = &all[(static_cast<size_t>(y) * t.texWidth + x) * 4];
      const bool area = x < 800 && y < 600;
      EXPECT_EQ((std::vector<int>{p[0], p[3]}), (std::vector<int>{area ? 255 : 0, area || !rgba ? 255 : 0}))
          << (rgba ? "rgba " : "rgb ") << x << ", " << y;
    }
  }
}

// drawBack skips the draw exactly where it would leave every pixel as it is:
// each state texelsDrawAsTheyAre accepts really draws the copy back
// unchanged, each one it refuses really changes the frame.
TEST_F(RenderTargetTest, DrawBackIsSkippedExactlyWhereTheCopyWouldChangeNoPixel) {
  enum State { Plain, AlphaOver, Additive, Tinted, Fog, TextureMatrix };
  const std::vector<uint8_t> picture = noise(800, 600);
  RenderTarget &screen = target(800, 600);
  for (State state : {Plain, AlphaOver, Additive, Tinted, Fog, TextureMatrix}) {
    SCOPED_TRACE(state);
    const bool invisible = state == Plain || state == AlphaOver;
    std::vector<uint8_t> frames[2]; // after draw(), after drawBack()
    for (int back = 0; back < 2; ++back) {
      drawIntoFrame(picture, 800, 600);
      screen.copyFromScreen();
      draw::pushAttributes(draw::kAllGroups);
      draw::enable(draw::Cap::Blend);
      if (state == AlphaOver)
        draw::blendFunc(draw::Factor::SrcAlpha, draw::Factor::OneMinusSrcAlpha);
      else if (state == Additive)
        draw::blendFunc(draw::Factor::One, draw::Factor::One);
      else
        draw::disable(draw::Cap::Blend);
      draw::colour(1.f, state == Tinted ? 0.5f : 1.f, 1.f, 1.f);
      // The quad, at eye depth 0, lies wholly in the (black) fog.
      const float black[4] = {0.f, 0.f, 0.f, 0.f};
      draw::linearFog(-1.f, 0.f, black);
      if (state == Fog)
        draw::enable(draw::Cap::Fog);
      draw::matrixMode(draw::MatrixMode::Texture);
      draw::translate(state == TextureMatrix ? 1.f / 1024.f : 0.f, 0.f, 0.f);
      draw::matrixMode(draw::MatrixMode::ModelView);
      if (back) {
        EXPECT_EQ(texelsDrawAsTheyAre(), invisible);
        screen.drawBack();
      } else {
        screen.draw();
      }
      frames[back] = readFrame();
      EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
      EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
      EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);
      draw::popAttributes();
      draw::matrixMode(draw::MatrixMode::Texture);
      draw::loadIdentity();
      draw::matrixMode(draw::MatrixMode::ModelView);
    }
    EXPECT_EQ(frames[0] == picture, invisible);
    EXPECT_EQ(frames[1], frames[0]);
  }
}

TEST_F(RenderTargetTest, CopyTakesOnlyTheLowerLeftArea) {
  // Green below row 450, red above; an 800 x 450 copy stretched over the
  // screen shows green only.
  clearFrame(1.f, 0.f, 0.f);
  clearBox(0, 0, 800, 450, 0.f, 1.f, 0.f);
  RenderTarget &wide = copyOfFrame(800, 450);
  wide.draw();
  // (The outermost rows are left out: a stretched draw filters them with
  // the texture's unused rows, which wrap round.)
  for (int y : {1, 300, 449, 450, 598})
    for (int x : {0, 400, 799})
      EXPECT_TRUE(near(pixel(x, y), 0, 255, 0)) << x << ", " << y;
}

TEST_F(RenderTargetTest, CopyRestoresTheScreenViewport) {
  RenderTarget &t = target(64, 64);
  t.setViewport();
  EXPECT_EQ(viewport(), (std::vector<GLint>{0, 0, 64, 64}));
  t.copyFromScreen();
  EXPECT_EQ(viewport(), (std::vector<GLint>{0, 0, 800, 600}));
  EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), static_cast<GLint>(t.textureId));
  EXPECT_EQ(takeGlError(), static_cast<unsigned>(GL_NO_ERROR));
}

TEST_F(RenderTargetTest, DrawLeavesTexturingOffDepthOnMatricesKept) {
  RenderTarget &t = target(64, 64);
  glMatrixMode(GL_PROJECTION);
  glOrtho(-3, 5, -2, 7, 1, 9);
  glMatrixMode(GL_MODELVIEW);
  glTranslatef(1, 2, 3);
  glDisable(GL_DEPTH_TEST);
  const std::vector<float> projection = floats(GL_PROJECTION_MATRIX, 16);
  const std::vector<float> modelView = floats(GL_MODELVIEW_MATRIX, 16);
  glMatrixMode(GL_PROJECTION);

  t.draw();

  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);
  EXPECT_EQ(floats(GL_PROJECTION_MATRIX, 16), projection);
  EXPECT_EQ(floats(GL_MODELVIEW_MATRIX, 16), modelView);
  EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), static_cast<GLint>(t.textureId));
}

// Copies read alpha 1, so alpha-weighted draws give the full colour.
TEST_F(RenderTargetTest, DrawTintedOverBlackGivesTheTintedColour) {
  clearFrame(1.f, 1.f, 1.f);
  RenderTarget &t = copyOfFrame(800, 600);
  clearFrame(0.f, 0.f, 0.f);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  t.drawTinted(1.f, 0.5f, 0.25f, 1.f);
  EXPECT_TRUE(near(pixel(400, 300), 255, 128, 64));
  // Colour and blending stay as the call left them.
  EXPECT_EQ(floats(GL_CURRENT_COLOR, 4), (std::vector<float>{1.f, 0.5f, 0.25f, 1.f}));
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
}

TEST_F(RenderTargetTest, DrawAdditiveAddsAndSwitchesBlendingOff) {
  clearFrame(100.f / 255.f, 50.f / 255.f, 200.f / 255.f);
  RenderTarget &t = copyOfFrame(800, 600);

  clearFrame(0.f, 0.f, 0.f);
  t.drawAdditive(1.f, 1.f, 1.f, 1.f);
  EXPECT_TRUE(near(pixel(10, 590), 100, 50, 200));

  clearFrame(20.f / 255.f, 20.f / 255.f, 20.f / 255.f);
  t.drawAdditiveWhite();
  EXPECT_TRUE(near(pixel(790, 10), 120, 70, 220));

  // Weighted by colour times alpha.
  clearFrame(0.f, 0.f, 0.f);
  t.drawAdditive(1.f, 0.5f, 1.f, 0.5f);
  EXPECT_TRUE(near(pixel(400, 300), 50, 13, 100));

  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  EXPECT_EQ(floats(GL_CURRENT_COLOR, 4), (std::vector<float>{1.f, 1.f, 1.f, 1.f}));
  EXPECT_EQ(integer(GL_BLEND_SRC_RGB), GL_SRC_ALPHA);
  EXPECT_EQ(integer(GL_BLEND_DST_RGB), GL_ONE);
}

TEST_F(RenderTargetTest, CopyToShrinksIntoTheSmallTarget) {
  // Left half red, right half blue.
  clearFrame(1.f, 0.f, 0.f);
  clearBox(400, 0, 400, 600, 0.f, 0.f, 1.f);
  RenderTarget &screen = target(800, 600);
  RenderTarget &glow = target(64, 64);
  screen.copyFromScreen();
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE);

  screen.copyTo(glow);

  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  EXPECT_EQ(viewport(), (std::vector<GLint>{0, 0, 800, 600}));
  // The shrunk picture is in the frame's corner ...
  EXPECT_TRUE(near(pixel(5, 60), 255, 0, 0));
  EXPECT_TRUE(near(pixel(58, 3), 0, 0, 255));
  // ... and in the small target, which draws it back full size.
  clearFrame(0.f, 0.f, 0.f);
  glow.draw();
  EXPECT_TRUE(near(pixel(100, 300), 255, 0, 0));
  EXPECT_TRUE(near(pixel(700, 300), 0, 0, 255));
}

// A frame at scale 2 (each pixel of a noise picture drawn as 2 x 2) copied
// and shrunk into a glow target gives what the 800 x 600 picture gives: the
// shrink reads the copy's mipmap at the base picture's level. A plain
// linear read would take every sixth texel and alias.
TEST_F(RenderTargetTest, AFrameAtScaleTwoShrinksIntoAGlowTargetAsItsBasePictureDoes) {
  const std::vector<uint8_t> base = noise(800, 600);
  drawIntoFrame(base, 800, 600);
  RenderTarget &baseCopy = copyOfFrame(800, 600);
  RenderTarget &baseGlow = target(256, 256);
  baseCopy.copyTo(baseGlow);
  const std::vector<uint8_t> fromBase = readFrame();

  std::vector<uint8_t> doubled(static_cast<size_t>(1600) * 1200 * 3);
  for (int y = 0; y < 1200; ++y)
    for (int x = 0; x < 1600; ++x)
      for (int c = 0; c < 3; ++c)
        doubled[(static_cast<size_t>(y) * 1600 + x) * 3 + c] = base[(static_cast<size_t>(y / 2) * 800 + x / 2) * 3 + c];
  const FrameSize scaled = FrameSize::atScale(2.0);
  ASSERT_TRUE(glWindow().setFrameSize(scaled));
  struct BackToBase {
    ~BackToBase() { glWindow().setFrameSize(FrameSize()); }
  } backToBase;
  drawIntoFrame(doubled, 1600, 1200);
  targets_.push_back(std::make_unique<RenderTarget>(1600, 1200, TargetStorage::Rgb, scaled));
  RenderTarget &copy = *targets_.back();
  targets_.push_back(std::make_unique<RenderTarget>(256, 256, TargetStorage::Rgb, scaled));
  RenderTarget &glow = *targets_.back();
  // The copy's texture is its area and a margin, not 2048 x 2048; the glow
  // target is as at scale 1.
  EXPECT_EQ(copy.texWidth, 1616);
  EXPECT_EQ(copy.texHeight, 1216);
  EXPECT_EQ(glow.texWidth, 256);
  copy.copyFromScreen();
  copy.copyTo(glow);
  EXPECT_EQ(viewport(), (std::vector<GLint>{0, 0, 1600, 1200}));
  const std::vector<uint8_t> fromScaled = readFrame();

  int wrong = 0;
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256 * 3; ++x)
      wrong += std::abs(fromScaled[static_cast<size_t>(y) * 1600 * 3 + x] -
                        fromBase[static_cast<size_t>(y) * 800 * 3 + x]) > 1;
  EXPECT_EQ(wrong, 0);
}

// ------------------------------------------------------------------ blur

TEST_F(RenderTargetTest, BlurOfRadiusZeroAndIntensityOneIsTheIdentity) {
  const std::vector<uint8_t> picture = noise(128, 96);
  drawIntoFrame(picture, 128, 96);
  RenderTarget &t = copyOfFrame(128, 96);

  t.blur(2, 0, 1.f, 1.f);

  EXPECT_EQ(mismatches(picture, 128, 96, 1), 0);
  // The texture holds the same image.
  const std::vector<uint8_t> all = texels(t);
  int wrong = 0;
  for (int y = 0; y < 96; ++y)
    for (int x = 0; x < 128; ++x)
      for (int c = 0; c < 3; ++c)
        if (std::abs(all[(static_cast<size_t>(y) * t.texWidth + x) * 4 + c] -
                     picture[(static_cast<size_t>(y) * 128 + x) * 3 + c]) > 1)
          ++wrong;
  EXPECT_EQ(wrong, 0);
}

TEST_F(RenderTargetTest, BlurWithoutPassesOnlyResetsColourBlendAndTexturing) {
  clearFrame(1.f, 0.f, 0.f);
  RenderTarget &t = target(64, 64);
  glClearColor(0.5f, 0.25f, 0.f, 1.f);
  glViewport(0, 0, 100, 100);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ZERO);
  glEnable(GL_TEXTURE_2D);
  glColor4f(0.3f, 0.6f, 0.9f, 0.5f);
  glDisable(GL_DEPTH_TEST);
  const std::vector<float> projection = floats(GL_PROJECTION_MATRIX, 16);
  const std::vector<uint8_t> before = texels(t);

  for (int passes : {0, -1})
    t.blurPass(passes, 2, 1.f, 1.f, 1.f, 0.f);

  expectBlurLeftItsState(projection);
  EXPECT_EQ(integer(GL_BLEND_SRC_RGB), GL_SRC_ALPHA);
  EXPECT_EQ(integer(GL_BLEND_DST_RGB), GL_ONE);
  // Untouched: clear colour, viewport, the frame and the texture.
  EXPECT_EQ(floats(GL_COLOR_CLEAR_VALUE, 4), (std::vector<float>{0.5f, 0.25f, 0.f, 1.f}));
  EXPECT_EQ(viewport(), (std::vector<GLint>{0, 0, 100, 100}));
  EXPECT_TRUE(near(pixel(10, 10), 255, 0, 0, 0));
  EXPECT_EQ(texels(t), before);
}

TEST_F(RenderTargetTest, BlurLeavesTheRestOfTheFrameClearColourAndScreenViewport) {
  for (bool program : {true, false}) {
    RenderTarget::useBlurProgram(program);
    RenderTarget &t = target(64, 64);
    clearFrame(0.5f, 0.25f, 0.f);
    t.copyFromScreen();
    glClearColor(0.2f, 0.2f, 0.2f, 1.f);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-3, 5, -2, 7, 1, 9);
    const std::vector<float> projection = floats(GL_PROJECTION_MATRIX, 16);
    const GLint projectionDepth = integer(GL_PROJECTION_STACK_DEPTH);
    const GLint modelViewDepth = integer(GL_MODELVIEW_STACK_DEPTH);

    t.blur(1, 1, 1.f, 1.f);

    EXPECT_EQ(floats(GL_COLOR_CLEAR_VALUE, 4), (std::vector<float>{0.f, 0.f, 0.f, 1.f}));
    EXPECT_EQ(viewport(), (std::vector<GLint>{0, 0, 800, 600}));
    // The corner holds the blurred image; the rest of the frame is untouched.
    EXPECT_TRUE(near(pixel(30, 30), 128, 64, 0)) << program;
    EXPECT_TRUE(near(pixel(700, 500), 128, 64, 0)) << program;
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST)) << program;
    expectBlurLeftItsState(projection);
    EXPECT_EQ(integer(GL_PROJECTION_STACK_DEPTH), projectionDepth);
    EXPECT_EQ(integer(GL_MODELVIEW_STACK_DEPTH), modelViewDepth);
    EXPECT_EQ(takeGlError(), static_cast<unsigned>(GL_NO_ERROR));
  }
  RenderTarget::useBlurProgram(true);
}

TEST_F(RenderTargetTest, DotSpreadsIntoABoxWhoseWeightsSumToTheIntensity) {
  dot(32, 32, 250);
  RenderTarget &t = copyOfFrame(64, 64);

  // Horizontal: five taps of 250 / 5.
  t.blurPass(1, 2, 1.f, 1.f, 1.f, 0.f);
  for (int x = 28; x <= 36; ++x) {
    const int expected = (x >= 30 && x <= 34) ? 50 : 0;
    EXPECT_TRUE(near(pixel(x, 32), expected, expected, expected)) << x;
  }
  EXPECT_TRUE(near(pixel(32, 31), 0, 0, 0, 0));
  EXPECT_TRUE(near(pixel(32, 33), 0, 0, 0, 0));

  // Then vertical: a 5 x 5 box of 250 / 25.
  t.blurPass(1, 2, 1.f, 1.f, 0.f, 1.f);
  int sum = 0;
  for (int y = 26; y <= 38; ++y)
    for (int x = 26; x <= 38; ++x) {
      const bool inside = std::abs(x - 32) <= 2 && std::abs(y - 32) <= 2;
      const Rgb c = pixel(x, y);
      EXPECT_NEAR(c.g, inside ? 10 : 0, 1) << x << ", " << y;
      sum += c.g;
    }
  EXPECT_NEAR(sum, 250, 12);
}

TEST_F(RenderTargetTest, IntensityAboveOneBrightensEveryPass) {
  clearFrame(40.f / 255.f, 40.f / 255.f, 40.f / 255.f);
  RenderTarget &t = copyOfFrame(32, 32);
  t.blurPass(2, 1, 1.f, 1.5f, 1.f, 0.f); // three taps of 0.5: x1.5, twice
  EXPECT_TRUE(near(pixel(16, 16), 90, 90, 90, 2));
  // A tap weighs at most 1 (GL clamps the colour): one tap of "2" is x1.
  t.blurPass(1, 0, 1.f, 2.f, 1.f, 0.f);
  EXPECT_TRUE(near(pixel(16, 16), 90, 90, 90, 2));
}

// The vertical step is measured in widths: on a target twice as wide as it
// is high, spread 2 puts the vertical taps 1 pixel apart.
TEST_F(RenderTargetTest, VerticalTapsOfAWideTargetUseTheHorizontalStep) {
  dot(64, 32, 240);
  RenderTarget &t = copyOfFrame(128, 64);
  t.blurPass(1, 1, 2.f, 1.f, 0.f, 1.f);
  for (int y = 29; y <= 35; ++y) {
    const int expected = (y >= 31 && y <= 33) ? 80 : 0;
    EXPECT_TRUE(near(pixel(64, y), expected, expected, expected)) << y;
  }
}

TEST_F(RenderTargetTest, TapsDoNotWrapAroundTheEdges) {
  dot(0, 20, 250);
  RenderTarget &t = copyOfFrame(64, 64);
  t.blurPass(1, 2, 1.f, 1.f, 1.f, 0.f);
  for (int x : {0, 1, 2})
    EXPECT_TRUE(near(pixel(x, 20), 50, 50, 50)) << x;
  for (int x : {3, 61, 62, 63})
    EXPECT_TRUE(near(pixel(x, 20), 0, 0, 0, 0)) << x;
}

} // namespace
} // namespace demo::test
