// A window of each renderer, opened on its own: the context it asked for,
// the debug output of the modern and es renderers, and the frame presented
// and read back whole through every reader the show uses. They draw nothing
// but clears, so they hold the window to its promises whatever backend draws.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "draw/draw.h"
#include "draw/renderer.h"
#include "platform/frame_sampler.h"
#include "platform/gl_window.h"
#include "platform/pixel_readback.h"

namespace demo::draw {
// A failing parameterised test names its renderer ("es").
void PrintTo(Renderer renderer, std::ostream *out) { *out << rendererName(renderer); }
} // namespace demo::draw

namespace demo::test {
namespace {

using draw::Renderer;

int glInteger(GLenum which) {
  GLint value = 0;
  glGetIntegerv(which, &value);
  return value;
}

bool versionStartsWith(const char *prefix) {
  const GLubyte *version = glGetString(GL_VERSION);
  return version && std::string(reinterpret_cast<const char *>(version)).rfind(prefix, 0) == 0;
}

int frameAlphaBits() {
  GLint size = -1;
  glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_FRAMEBUFFER_ATTACHMENT_ALPHA_SIZE,
                                        &size);
  return size;
}

// RGB of pixel (x, y) in a bottom-first frame `width` pixels wide.
std::vector<int> at(const std::vector<uint8_t> &rgb, int width, int x, int y) {
  const size_t i = (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3;
  return {rgb[i], rgb[i + 1], rgb[i + 2]};
}

std::string nameOf(const ::testing::TestParamInfo<Renderer> &param) { return draw::rendererName(param.param); }

// Boundaries first: a classic window is what it always was, even after a
// window that asked SDL for another context. (SDL forgets what it was asked
// when its video closes; the first window keeps it open, as the GL tests'
// shared window does.)
TEST(RendererWindowGL, ClassicIsACompatibilityContextEvenAfterAModernWindow) {
  const std::unique_ptr<GLWindow> first = openHeadlessWindow(Renderer::Classic);
  openHeadlessWindow(Renderer::Modern)->close();
  const std::unique_ptr<GLWindow> window = openHeadlessWindow(Renderer::Classic);
  ASSERT_TRUE(window->isOpen());
  EXPECT_FALSE(versionStartsWith("OpenGL ES"));
  // Below 3.2 there are no profiles: the whole context is compatibility.
  EXPECT_TRUE(glInteger(GL_MAJOR_VERSION) * 10 + glInteger(GL_MINOR_VERSION) < 32 ||
              (glInteger(GL_CONTEXT_PROFILE_MASK) & GL_CONTEXT_COMPATIBILITY_PROFILE_BIT));
  EXPECT_FALSE(glInteger(GL_CONTEXT_FLAGS) & GL_CONTEXT_FLAG_DEBUG_BIT);
  EXPECT_FALSE(window->debugOutput());
  EXPECT_EQ(frameAlphaBits(), 0);
}

TEST(RendererWindowGL, ModernIsA33CoreDebugContextAndEsAnEs3OneWithAlphaOne) {
  {
    const std::unique_ptr<GLWindow> modern = openHeadlessWindow(Renderer::Modern);
    ASSERT_TRUE(modern->isOpen());
    EXPECT_FALSE(versionStartsWith("OpenGL ES"));
    EXPECT_GE(glInteger(GL_MAJOR_VERSION) * 10 + glInteger(GL_MINOR_VERSION), 33);
    EXPECT_TRUE(glInteger(GL_CONTEXT_PROFILE_MASK) & GL_CONTEXT_CORE_PROFILE_BIT);
    EXPECT_TRUE(glInteger(GL_CONTEXT_FLAGS) & GL_CONTEXT_FLAG_DEBUG_BIT);
    EXPECT_TRUE(modern->debugOutput()) << "llvmpipe has KHR_debug";
    EXPECT_EQ(frameAlphaBits(), 0);
  }
  const std::unique_ptr<GLWindow> es = openHeadlessWindow(Renderer::Es);
  ASSERT_TRUE(es->isOpen());
  EXPECT_TRUE(versionStartsWith("OpenGL ES 3"));
  EXPECT_TRUE(es->debugOutput());
  EXPECT_EQ(frameAlphaBits(), 8);
  // The backend never writes alpha, so only the window sets it: with every
  // colour write off, a frame of a new size still reads alpha 1 all over.
  draw::colourMask(false);
  ASSERT_TRUE(es->setFrameSize(FrameSize{1000, 750}));
  draw::colourMask(true);
  std::vector<uint8_t> rgba(1000u * 750u * 4u, 0);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, 1000, 750, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  size_t notOne = 0;
  for (size_t i = 3; i < rgba.size(); i += 4)
    notOne += rgba[i] != 255;
  EXPECT_EQ(notOne, 0u);
  EXPECT_EQ(es->debugErrors(), 0u);
}

class DebugOutputGL : public ::testing::TestWithParam<Renderer> {};

// An error is one line on stderr at once, and counted, for the whole run.
TEST_P(DebugOutputGL, EachErrorIsOneLineAndCounted) {
  const std::unique_ptr<GLWindow> window = openHeadlessWindow(GetParam());
  ASSERT_TRUE(window->isOpen() && window->debugOutput());
  ASSERT_EQ(window->debugErrors(), 0u);
  testing::internal::CaptureStderr();
  glEnable(0xFFFF); // GL_INVALID_ENUM
  const std::string line = testing::internal::GetCapturedStderr();
  EXPECT_EQ(line.rfind("quintervale: GL error: ", 0), 0u) << line;
  EXPECT_GT(line.size(), std::string("quintervale: GL error: \n").size()) << "no message in " << line;
  EXPECT_EQ(line.find('\n'), line.size() - 1) << line;
  EXPECT_EQ(window->debugErrors(), 1u);
  testing::internal::CaptureStderr();
  glBindTexture(0xFFFF, 1);
  glDisable(0xFFFF);
  testing::internal::GetCapturedStderr();
  while (glGetError() != GL_NO_ERROR) {
  }
  window->close();
  EXPECT_EQ(window->debugErrors(), 3u);
}

INSTANTIATE_TEST_SUITE_P(ModernAndEs, DebugOutputGL, ::testing::Values(Renderer::Modern, Renderer::Es), nameOf);

class RendererFrameGL : public ::testing::TestWithParam<Renderer> {};

// A frame cleared to one colour with another over its bottom-left quarter
// (a shifted, flipped or wrongly strided read shows), presented by a shown
// window (offscreen: nobody sees it) and then read through the window, the
// pixel buffers and the sampler, each giving the same picture.
TEST_P(RendererFrameGL, PresentedAndReadBackByEveryReaderUnchanged) {
  WindowOptions options;
  options.vsync = false;
  options.renderer = GetParam();
  if (!std::getenv("SDL_VIDEODRIVER") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
  GLWindow window(800, 600, 32, false, "Demo", options);
  ASSERT_TRUE(window.isOpen());
  const int w = 800, h = 600;
  draw::clearColour(0.2f, 0.4f, 0.6f, 1.f);
  draw::clear(draw::kClearColour);
  draw::scissor(0, 0, w / 2, h / 2);
  draw::enable(draw::Cap::ScissorTest);
  draw::clearColour(1.f, 0.f, 0.2f, 1.f);
  draw::clear(draw::kClearColour);
  draw::disable(draw::Cap::ScissorTest);
  EXPECT_TRUE(window.update());
  const std::vector<int> outside{51, 102, 153}, quarter{255, 0, 51};

  std::vector<uint8_t> frame;
  window.readPixels(frame);
  ASSERT_EQ(frame.size(), 800u * 600u * 3u);
  EXPECT_EQ(at(frame, w, 0, 0), quarter);
  EXPECT_EQ(at(frame, w, w / 2 - 1, h / 2 - 1), quarter);
  EXPECT_EQ(at(frame, w, w / 2, h / 2 - 1), outside);
  EXPECT_EQ(at(frame, w, w - 1, h - 1), outside);

  PixelReadback readback(window.framebuffer(), w, h, GetParam());
  readback.start();
  std::vector<uint8_t> read;
  ASSERT_TRUE(readback.take(read));
  EXPECT_TRUE(read == frame) << "the pixel buffers' frame differs from the window's";
  FrameSampler(w, h, w, h, GetParam()).read(read);
  EXPECT_TRUE(read == frame) << "the sampler's whole frame differs from the window's";
  FrameSampler(w, h, w / 2, h / 2, GetParam()).read(read);
  ASSERT_EQ(read.size(), 400u * 300u * 3u);
  EXPECT_EQ(at(read, w / 2, w / 4 - 1, h / 4 - 1), quarter);
  EXPECT_EQ(at(read, w / 2, w / 4, h / 4), outside);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  EXPECT_EQ(window.debugErrors(), 0u);
}

INSTANTIATE_TEST_SUITE_P(EachRenderer, RendererFrameGL,
                         ::testing::Values(Renderer::Classic, Renderer::Modern, Renderer::Es), nameOf);

} // namespace
} // namespace demo::test
