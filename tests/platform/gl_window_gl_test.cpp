#include "gl_fixture.h"

#include <GL/glew.h>
#include <SDL.h>

#include <algorithm>
#include <string>

#include "draw/draw.h"
#include "show/show.h"
#include "platform/gl_window.h"

namespace demo::test {
namespace {

class GLWindowTest : public GLTest {};

void pushEscape() {
  SDL_Event event{};
  event.type = SDL_KEYDOWN;
  event.key.keysym.sym = SDLK_ESCAPE;
  event.key.keysym.scancode = SDL_SCANCODE_ESCAPE;
  event.key.state = SDL_PRESSED;
  SDL_PushEvent(&event);
}

// A screen that does not exist is said in one line that lists the screens
// there are, and the window opens on the first.
TEST_F(GLWindowTest, AScreenThatDoesNotExistIsNamedAndTheFirstIsUsed) {
  WindowOptions options;
  options.hidden = true;
  options.display = 7;
  testing::internal::CaptureStderr();
  {
    GLWindow second(800, 600, 32, false, "Demo", options);
    EXPECT_TRUE(second.isOpen());
    EXPECT_EQ(second.displayIndex(), 0);
  }
  const std::string err = testing::internal::GetCapturedStderr();
  glWindow().makeCurrent();
  EXPECT_EQ(err.rfind("quintervale: there is no screen 7; the screens here are 0 (", 0), 0u) << err;
  EXPECT_NE(err.find("the show opens on screen 0\n"), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

TEST_F(GLWindowTest, FrameBufferIs800x600RgbWithDepthAndStencil) {
  GLint fbo = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING, &fbo);
  EXPECT_EQ(static_cast<unsigned>(fbo), glWindow().framebuffer());
  GLint red = 0, alpha = -1, depth = 0, stencil = 0, width = 0, height = 0;
  glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_FRAMEBUFFER_ATTACHMENT_RED_SIZE, &red);
  glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_FRAMEBUFFER_ATTACHMENT_ALPHA_SIZE, &alpha);
  glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE, &depth);
  glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT, GL_FRAMEBUFFER_ATTACHMENT_STENCIL_SIZE, &stencil);
  EXPECT_EQ(red, 8);
  // ES copies only the channels the frame has, so its frame has alpha too.
  EXPECT_EQ(alpha, glWindow().drawRenderer() == draw::Renderer::Es ? 8 : 0);
  EXPECT_EQ(depth, 24);
  EXPECT_EQ(stencil, 8);
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 800);
  EXPECT_EQ(viewport[3], 600);
  (void)width;
  (void)height;
}

TEST_F(GLWindowTest, CopiesOfTheFrameReadAlphaOne) {
  // Alpha 0 cannot be stored (classic: the frame has no alpha; ES: the
  // backend never writes it).
  draw::clearColour(0.2f, 0.4f, 0.6f, 0.f);
  draw::clear(draw::kClearColour);
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, 4, 4);
  EXPECT_TRUE(noGlError());
  uint8_t texels[4 * 4 * 4] = {};
  if (glWindow().drawRenderer() == draw::Renderer::Es) {
    // ES has no glGetTexImage: the texture is read through a frame buffer.
    GLuint reader = 0;
    glGenFramebuffers(1, &reader);
    glBindFramebuffer(GL_FRAMEBUFFER, reader);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 4, 4, GL_RGBA, GL_UNSIGNED_BYTE, texels);
    glWindow().bindFramebuffer();
    glDeleteFramebuffers(1, &reader);
  } else {
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
  }
  EXPECT_EQ(texels[3], 255);
  EXPECT_NEAR(texels[0], 51, 1);
  glDeleteTextures(1, &texture);
}

TEST_F(GLWindowTest, InitialStateHasDepthTestNormalizeAndCulling) {
  // A fresh window, to see exactly what construction leaves.
  WindowOptions options;
  options.hidden = true;
  GLWindow second(320, 200, 32, false, "Demo", options);
  ASSERT_TRUE(second.isOpen());
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_TRUE(glIsEnabled(GL_NORMALIZE));
  EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 320);
  EXPECT_EQ(viewport[3], 200);
  second.close();
  second.close(); // a second close finds nothing left to release
  EXPECT_FALSE(second.isOpen());
  EXPECT_FALSE(second.update());
}

TEST_F(GLWindowTest, UpdateWithoutEventsPresentsAndKeepsTheFrameBuffer) {
  glClearColor(1.f, 0.f, 0.f, 1.f);
  glClear(GL_COLOR_BUFFER_BIT);
  EXPECT_TRUE(glWindow().update());
  GLint fbo = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING, &fbo);
  EXPECT_EQ(static_cast<unsigned>(fbo), glWindow().framebuffer());
  Rgb p = pixel(400, 300);
  EXPECT_EQ(p.r, 255); // the picture survives the present
  GLfloat clear[4];
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  EXPECT_EQ(clear[0], 1.f); // and so does the show's clear colour
  EXPECT_EQ(clear[1], 0.f);
}

TEST_F(GLWindowTest, EscapeEndsTheRunOnceThenTheWindowGoesOn) {
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  pushEscape();
  EXPECT_FALSE(glWindow().update());
  EXPECT_TRUE(glWindow().update());
}

TEST_F(GLWindowTest, ClosingTheWindowEndsEveryLaterUpdate) {
  WindowOptions options;
  options.hidden = true;
  GLWindow second(64, 64, 32, false, "Demo", options);
  ASSERT_TRUE(second.isOpen());
  SDL_Event event{};
  event.type = SDL_QUIT;
  SDL_PushEvent(&event);
  EXPECT_FALSE(second.update());
  EXPECT_FALSE(second.update());
  EXPECT_FALSE(second.update());
}

TEST_F(GLWindowTest, ReadPixelsReturnsTheWholeFrameBottomRowFirst) {
  glEnable(GL_SCISSOR_TEST);
  glClearColor(0.f, 0.f, 0.f, 1.f);
  glClear(GL_COLOR_BUFFER_BIT);
  glScissor(0, 0, 800, 1);
  glClearColor(0.f, 1.f, 0.f, 1.f);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);
  std::vector<uint8_t> rgb;
  glWindow().readPixels(rgb);
  ASSERT_EQ(rgb.size(), 800u * 600u * 3u);
  EXPECT_EQ(rgb[1], 255);                // bottom row is green
  EXPECT_EQ(rgb[800 * 3 + 1], 0);        // the row above is not
  EXPECT_EQ(rgb[rgb.size() - 2], 0);     // nor the top row
}

TEST_F(GLWindowTest, ErrorLinePrintsOnlyTheFirstPendingError) {
  testing::internal::CaptureStdout();
  EXPECT_EQ(reportGlError(stdout), 0u);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

  glEnable(0xFFFF);           // GL_INVALID_ENUM (1280)
  glBindTexture(0xFFFF, 1);   // another error in the same frame
  testing::internal::CaptureStdout();
  EXPECT_EQ(reportGlError(stdout), static_cast<unsigned>(GL_INVALID_ENUM));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "ERROR! 1280  \n");
  while (glGetError() != GL_NO_ERROR) {
  }
}

} // namespace
} // namespace demo::test
